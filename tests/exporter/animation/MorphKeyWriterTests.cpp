#include <vector>

#include <gtest/gtest.h>

#include "exporter/animation/HostScopes.h"
#include "exporter/animation/MorphKeyWriter.h"
#include "platform/host/Physique.h"
#include "platform/host/TriObject.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKMorphController.h"
#include "system/math/QxCompressedVector.h"

namespace {

std::vector<float> Times(CKMorphController& c)
{
    std::vector<float> times;
    for (int i = 0; i < c.GetKeyCount(); ++i)
        times.push_back(c.GetKey(i)->TimeStep);
    return times;
}

const QxVector* Positions(CKMorphController& c, int key)
{
    return static_cast<CKMorphKey*>(c.GetKey(key))->PosArray;
}

// Samples as (time, height of vertex 0, or a hold until the time).
TEST(MorphKeyWriter, EqualSamplesAreHeldAndWrittenOnlyBeforeAChange)
{
    struct Step
    {
        float time;
        float height; // < 0: HoldUntil(time)
    };
    struct Case
    {
        const char* name;
        std::vector<Step> steps;
        std::vector<float> times;
    };
    const Case cases[] = {
        {"a still tail adds nothing", {{0, 0}, {1, 1}, {2, 1}, {3, 1}}, {0, 1}},
        {"a hold ends where it ended", {{0, 0}, {1, 1}, {2, 1}, {3, 1}, {4, 2}}, {0, 1, 3, 4}},
        {"a validity holds until its end", {{0, 0}, {5, -1}, {9, 1}}, {0, 5, 9}},
        {"a hold before any sample does nothing", {{5, -1}, {6, 0}, {7, 1}}, {6, 7}},
        {"a hold not later than the sample does nothing", {{0, 0}, {0, -1}, {4, 1}}, {0, 4}},
        {"a held sample then a validity", {{0, 0}, {1, 0}, {6, -1}, {7, 3}}, {0, 6, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CKMorphController controller;
        MorphKeyWriter writer(&controller);
        EXPECT_EQ(writer.Controller(), &controller);
        for (const Step& s : c.steps) {
            if (s.height < 0) {
                writer.HoldUntil(s.time);
                continue;
            }
            QxVector* positions = writer.Positions(2);
            positions[0] = QxVector(0, s.height, 0);
            positions[1] = QxVector(1, 0, 0);
            CKDWORD* normals = writer.Normals(2);
            normals[0] = PackMorphNormal(QxVector(0, 1, 0));
            normals[1] = PackMorphNormal(QxVector(0, 0, s.height));
            EXPECT_TRUE(writer.Add(s.time, 2, true));
        }
        EXPECT_EQ(Times(controller), c.times);
        // A held key carries the held sample's positions and normals: each
        // key's normal 1 follows its height.
        for (int k = 0; k < controller.GetKeyCount(); ++k) {
            const auto* key = static_cast<CKMorphKey*>(controller.GetKey(k));
            ASSERT_NE(key->NormArray, nullptr);
            EXPECT_EQ(key->NormArray[1], PackMorphNormal(QxVector(0, 0, key->PosArray[0].y)));
        }
    }
}

TEST(MorphKeyWriter, AnotherVertexCountOrNoControllerAddsNothing)
{
    CKMorphController controller;
    MorphKeyWriter writer(&controller);
    auto fill = [&](int count, float last) {
        QxVector* p = writer.Positions(count);
        for (int i = 0; i < count; ++i)
            p[i] = QxVector((float) i, 1, 2);
        if (count > 0)
            p[count - 1].z = last;
    };
    fill(3, 9);
    EXPECT_FALSE(writer.Add(0, 0, false));
    // More vertices than filled.
    EXPECT_FALSE(writer.Add(0, 4, false));
    ASSERT_TRUE(writer.Add(0, 3, false));
    EXPECT_EQ(controller.GetMorphVertexCount(), 3);
    EXPECT_EQ(Positions(controller, 0)[2], QxVector(2, 1, 9));
    EXPECT_EQ(static_cast<CKMorphKey*>(controller.GetKey(0))->NormArray, nullptr);
    fill(2, 9);
    EXPECT_FALSE(writer.Add(1, 2, false));
    EXPECT_EQ(controller.GetKeyCount(), 1);
    // Positions equal but the last: a new key.
    fill(3, 10);
    ASSERT_TRUE(writer.Add(2, 3, false));
    EXPECT_EQ(controller.GetKeyCount(), 2);
    // Normals asked for without any filled: none stored.
    fill(3, 11);
    writer.Normals(0);
    ASSERT_TRUE(writer.Add(3, 3, true));
    EXPECT_EQ(static_cast<CKMorphKey*>(controller.GetKey(2))->NormArray, nullptr);

    MorphKeyWriter none(nullptr);
    none.Positions(3);
    EXPECT_FALSE(none.Add(0, 3, false));
    none.HoldUntil(4);
}

TEST(MorphKeyWriter, NormalsPackElevationLowAzimuthHigh)
{
    for (const QxVector& n : {QxVector(0, 1, 0), QxVector(1, 0, 0), QxVector(0, 0, -1), QxVector(0.6f, 0, 0.8f)}) {
        QxCompressedVector c;
        c.Set(n.x, n.y, n.z);
        EXPECT_EQ(PackMorphNormal(n), (CKDWORD) c.m_Elevation | ((CKDWORD) c.m_Azimuth << 16));
    }
    EXPECT_NE(PackMorphNormal(QxVector(1, 0, 0)), PackMorphNormal(QxVector(0, 1, 0)));
}

TEST(HostScopes, ConvertedObjectsAreDeletedOnlyWhenTemporary)
{
    // The sanitizer sees a temporary object left undeleted as a leak, a
    // kept one deleted as a bad free.
    TriObject kept;
    {
        ConvertedObject converted;
        converted.Reset(&kept, false);
        auto* temporary = new TriObject();
        temporary->MarkTemporary();
        // Resetting releases the one held before.
        converted.Reset(temporary, true);
        converted.Release();
        converted.Release();
    }
    // A temporary object held at the end of the scope goes with it.
    {
        ConvertedObject converted;
        auto* temporary = new TriObject();
        temporary->MarkTemporary();
        converted.Reset(temporary, true);
    }
}

TEST(HostScopes, PhysiqueInterfacesAreGivenBack)
{
    PhysiqueModifier physique;
    physique.Vertices().push_back(PhysiqueVertex());
    {
        PhysiqueAccess access(&physique, nullptr);
        EXPECT_NE(access.Export(), nullptr);
        // No node whose stack holds it: no context.
        EXPECT_EQ(access.Context(), nullptr);
    }
    EXPECT_EQ(physique.OpenInterfaces(), 0);
    PhysiqueAccess none(nullptr, nullptr);
    EXPECT_EQ(none.Export(), nullptr);
    PhysiqueVertexAccess noVertex(nullptr, 0);
    EXPECT_EQ(noVertex.Get(), nullptr);
}

} // namespace
