#include "render/animation/RCKSkin.h"

#include <gtest/gtest.h>

namespace {

// A vertex of the given (bone, weight) influences.
void SetInfluences(CKSkinVertexData* vertex, const std::vector<std::pair<int, float>>& influences)
{
    vertex->SetBoneCount((int) influences.size());
    for (int i = 0; i < (int) influences.size(); ++i) {
        vertex->SetBone(i, influences[(size_t) i].first);
        vertex->SetWeight(i, influences[(size_t) i].second);
    }
}

} // namespace

TEST(RCKSkin, LimitingKeepsTheHeaviestInfluencesInTheirOrder)
{
    RCKSkin skin;
    EXPECT_EQ(skin.GetMaxVertexInfluences(), 0);
    skin.SetVertexCount(2);
    SetInfluences(skin.GetVertexData(0), {{0, 0.1f}, {1, 0.4f}, {2, 0.2f}, {3, 0.4f}, {4, 0.3f}, {5, 0.2f}});
    SetInfluences(skin.GetVertexData(1), {{7, 1.0f}});
    skin.LimitVertexInfluences(4);
    EXPECT_EQ(skin.GetMaxVertexInfluences(), 4);
    const CKSkinVertexData* vertex = skin.GetVertexData(0);
    ASSERT_EQ(vertex->GetBoneCount(), 4);
    const int bones[] = {1, 2, 3, 4};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(vertex->GetBone(i), bones[i]) << "the earlier of two equal weights stays";
    float sum = 0.0f;
    for (int i = 0; i < 4; ++i)
        sum += vertex->GetWeight(i);
    EXPECT_NEAR(sum, 1.6f, 1e-6f) << "the kept weights add up to the former total";
    EXPECT_NEAR(vertex->GetWeight(0) / vertex->GetWeight(1), 2.0f, 1e-6f) << "in their proportions";
    EXPECT_EQ(skin.GetVertexData(1)->GetBoneCount(), 1);
    skin.SetVertexCount(3);
    EXPECT_EQ(skin.GetMaxVertexInfluences(), 0) << "new vertices, not limited yet";
}

TEST(RCKSkin, ACopyOwnsItsRecordsAndTheInverseFollowsTheMatrix)
{
    RCKSkin skin;
    QxMatrix m = QxMatrix::Identity();
    m[3][1] = 4.0f;
    skin.SetObjectInitMatrix(m);
    EXPECT_EQ(skin.GetInverseObjectInitMatrix()[3][1], -4.0f);
    skin.SetObjectInitMatrix(QxMatrix());
    EXPECT_EQ(skin.GetInverseObjectInitMatrix(), QxMatrix::Identity()) << "singular: identity";
    skin.SetBoneCount(2);
    skin.GetBoneData(1)->Flags = 9;
    skin.SetVertexCount(1);
    SetInfluences(skin.GetVertexData(0), {{1, 0.5f}});
    skin.SetNormalCount(1);
    skin.SetNormal(0, QxVector(0, 0, 1));
    skin.SetSkinParam(77);
    RCKSkin copy(skin);
    skin.GetVertexData(0)->SetWeight(0, 0.0f);
    EXPECT_EQ(copy.GetVertexData(0)->GetWeight(0), 0.5f);
    EXPECT_EQ(copy.GetBoneData(1)->Flags, 9u);
    EXPECT_EQ(copy.GetNormal(0), QxVector(0, 0, 1));
    EXPECT_EQ(copy.GetSkinParam(), 77u);
    EXPECT_EQ(copy.GetBoneData(2), nullptr);
    EXPECT_EQ(copy.GetNormal(5), QxVector::Zero());
}
