// Packed attribute values of every width against a plain array model, and
// the colour and normal packing.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "render/objects/pointcloud/CloudAttribute.h"
#include "render/objects/pointcloud/CloudPointCodec.h"

namespace {

TEST(CloudAttribute, EveryWidthReadsAndWritesEveryIndexLikeAnArray)
{
    std::mt19937 rng(5);
    for (int bits = 1; bits <= 32; ++bits) {
        const int count = 67;
        CloudAttribute a;
        a.Bits = bits;
        a.Mask = CloudAttribute::MaskOf(bits);
        a.Data.assign(CloudAttribute::ByteSize(count, bits), 0);
        std::vector<CKDWORD> model((size_t) count, 0);
        for (int round = 0; round < 4; ++round)
            for (int i = 0; i < count; ++i) {
                const int at = (int) (rng() % count);
                const CKDWORD v = (CKDWORD) rng();
                a.Set(at, v);
                model[at] = v & a.Mask;
            }
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(a.Get(i), model[i]) << bits << " bits, value " << i;
    }
}

TEST(CloudAttribute, TwentySevenAndThirtyOneBitValuesReachIntoTheFifthByte)
{
    for (int bits : {27, 31}) {
        CloudAttribute a;
        a.Bits = bits;
        a.Mask = CloudAttribute::MaskOf(bits);
        a.Data.assign(CloudAttribute::ByteSize(9, bits), 0);
        for (int i = 0; i < 9; ++i)
            a.Set(i, a.Mask - (CKDWORD) i);
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(a.Get(i), a.Mask - (CKDWORD) i) << bits << " bits, value " << i;
    }
}

TEST(CloudAttribute, AValueWiderThanTheAttributeLeavesItsNeighboursAlone)
{
    CloudAttribute a;
    a.Bits = 10;
    a.Mask = CloudAttribute::MaskOf(10);
    a.Data.assign(CloudAttribute::ByteSize(3, 10), 0);
    a.Set(0, 0x3FF);
    a.Set(2, 0x155);
    a.Set(1, 0xFFFFFFFF);
    EXPECT_EQ(a.Get(0), 0x3FFu);
    EXPECT_EQ(a.Get(1), 0x3FFu);
    EXPECT_EQ(a.Get(2), 0x155u);
    a.Set(1, 0);
    EXPECT_EQ(a.Get(0), 0x3FFu);
    EXPECT_EQ(a.Get(2), 0x155u);
}

TEST(CloudAttribute, IndicesBeyondTheDataReadZeroAndWriteNothing)
{
    CloudAttribute a;
    a.Bits = 8;
    a.Mask = 0xFF;
    a.Data.assign(CloudAttribute::ByteSize(2, 8), 0);
    const std::vector<CKBYTE> before = a.Data;
    a.Set(-1, 7);
    a.Set(1000, 7);
    a.SetFloat(1000, 1.0f);
    a.SetFloat(-1, 1.0f);
    EXPECT_EQ(a.Data, before);
    EXPECT_EQ(a.Get(-1), 0u);
    EXPECT_EQ(a.Get(1000), 0u);
    EXPECT_EQ(a.GetFloat(1000), 0.0f);
    EXPECT_EQ(CloudAttribute::ByteSize(3, 10), 7u);
    EXPECT_EQ(CloudAttribute::MaskOf(32), 0xFFFFFFFFu);
}

TEST(CloudAttribute, FloatsAreLittleEndianWordsByPoint)
{
    CloudAttribute a;
    a.Type = CLOUD_ATTRIBUTE_FLOAT;
    a.Data.assign(CloudAttribute::ByteSize(2, 32), 0);
    a.SetFloat(1, 1.0f);
    EXPECT_EQ(a.Data[4 + 3], 0x3F);
    EXPECT_EQ(a.Data[4 + 2], 0x80);
    EXPECT_EQ(a.GetFloat(1), 1.0f);
    EXPECT_EQ(a.GetFloat(0), 0.0f);
}

TEST(CloudPointCodec, ColoursKeepFiveSixFiveBits)
{
    EXPECT_EQ(CloudColorFrom565(CloudColorTo565(0xFF123456)), 0xFF103450u);
    EXPECT_EQ(CloudColorFrom565(CloudColorTo565(0xFFFF0000)), 0xFFF80000u);
    EXPECT_EQ(CloudColorTo565(0x00FFFFFF), 0xFFFFu);
    for (CKDWORD v = 0; v < 0x10000; v += 37)
        EXPECT_EQ(CloudColorTo565(CloudColorFrom565(v)), v);
}

TEST(CloudPointCodec, NormalsComeBackAsTheirTableEntryOnTheUpperSide)
{
    const QxVector* table = CloudNormalTable();
    EXPECT_EQ(table[0].x, -1.0f);
    EXPECT_EQ(table[0].z, 0.0f);
    EXPECT_EQ(table[31].x, 1.0f);
    const QxVector centre = table[(15 << 5) | 15];
    EXPECT_NEAR(centre.z, std::sqrt(1.0f - 2 * (1.0f / 31) * (1.0f / 31)), 1e-6f);
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> u(-1, 1);
    for (int i = 0; i < 500; ++i) {
        QxVector n(u(rng), u(rng), u(rng));
        n = n / QxMagnitude(n);
        const CKDWORD index = CloudNormalIndex(n);
        ASSERT_LT(index, 1024u);
        EXPECT_EQ(index & 31, (CKDWORD) ((n.x + 1) * 0.5f * 31));
        EXPECT_EQ(index >> 5, (CKDWORD) ((n.y + 1) * 0.5f * 31));
        EXPECT_GE(table[index].z, 0.0f) << "z is not kept";
    }
    EXPECT_EQ(CloudNormalIndex(QxVector(NAN, 5.0f, 0.0f)), 31u << 5);
}

} // namespace
