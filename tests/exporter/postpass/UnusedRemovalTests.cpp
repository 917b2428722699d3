#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "core/object/CKObjectIDList.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CKSprite3D.h"
#include "tests/exporter/postpass/PostPassTestSupport.h"

using UnusedRemoval = PostPassTest;

TEST_F(UnusedRemoval, KeepsWhatCreatedMeshesAndMaterialsUse)
{
    CKMaterial* onFaces = MakeMaterial("OnFaces");
    CKMaterial* onChannel = MakeMaterial("OnChannel");
    CKMaterial* onSprite = MakeMaterial("OnSprite");
    CKMaterial* unused = MakeMaterial("Unused");
    CKMaterial* onForeign = MakeMaterial("OnForeign");
    CKMesh* mesh = MakeStrip("Mesh", 2, {onFaces});
    mesh->AddChannel(onChannel, TRUE);
    auto* sprite = static_cast<CKSprite3D*>(m_Context->CreateObject(CKCID_SPRITE3D, "Sprite"));
    sprite->SetMaterial(onSprite);
    // A mesh the export did not make neither keeps nor loses anything.
    auto* foreign = static_cast<CKMesh*>(m_Context->CreateObject(CKCID_MESH, "Foreign"));
    foreign->SetVertexCount(3);
    foreign->SetFaceCount(1);
    foreign->SetFaceMaterial(0, onForeign);
    auto* foreignMaterial = static_cast<CKMaterial*>(m_Context->CreateObject(CKCID_MATERIAL, "ForeignMaterial"));

    CKTexture* first = m_Builder->CreateTexture(nullptr, "First", 0);
    CKTexture* bump = m_Builder->CreateTexture(nullptr, "Bump", 0);
    CKTexture* orphan = m_Builder->CreateTexture(nullptr, "Orphan", 0);
    CKTexture* ofUnused = m_Builder->CreateTexture(nullptr, "OfUnused", 0);
    onFaces->SetTexture(0, first);
    onChannel->SetTexture(2, bump);
    unused->SetTexture(0, ofUnused);
    CKObjectIDList saved;
    m_Builder->FinishObjects(&saved, FALSE, FALSE);
    const CK_ID spriteMaterialId = onSprite->GetID(), unusedId = unused->GetID(), foreignUserId = onForeign->GetID(),
                orphanId = orphan->GetID(), ofUnusedId = ofUnused->GetID();

    EXPECT_EQ(m_Builder->IsMaterialUnused(onFaces), nullptr);
    EXPECT_EQ(m_Builder->IsMaterialUnused(onChannel), nullptr);
    EXPECT_EQ(m_Builder->IsMaterialUnused(onSprite), onSprite);
    EXPECT_EQ(m_Builder->IsMaterialUnused(nullptr), nullptr);
    EXPECT_EQ(m_Builder->IsTextureUnused(bump), nullptr) << "a texture of stage 2 is used";
    EXPECT_EQ(m_Builder->IsTextureUnused(ofUnused), nullptr) << "its material still stands";

    m_Builder->RemoveUnusedMaterials();
    EXPECT_NE(m_Context->GetObject(onFaces->GetID()), nullptr);
    EXPECT_NE(m_Context->GetObject(onChannel->GetID()), nullptr);
    EXPECT_EQ(m_Context->GetObject(spriteMaterialId), nullptr) << "sprites are no users";
    EXPECT_EQ(m_Context->GetObject(unusedId), nullptr);
    EXPECT_EQ(m_Context->GetObject(foreignUserId), nullptr) << "a foreign mesh is no user";
    EXPECT_NE(m_Context->GetObject(foreignMaterial->GetID()), nullptr) << "nor is its material a candidate";
    EXPECT_FALSE(BuilderNames(unused, unusedId));
    EXPECT_FALSE(saved.FindID(unusedId));

    m_Builder->RemoveUnusedTextures();
    EXPECT_NE(m_Context->GetObject(first->GetID()), nullptr);
    EXPECT_NE(m_Context->GetObject(bump->GetID()), nullptr);
    EXPECT_EQ(m_Context->GetObject(orphanId), nullptr);
    EXPECT_EQ(m_Context->GetObject(ofUnusedId), nullptr) << "its only user went first";
    EXPECT_FALSE(BuilderNames(orphan, orphanId));
    EXPECT_FALSE(saved.FindID(ofUnusedId));
    EXPECT_EQ(m_Builder->IsTextureUnused(nullptr), nullptr);
}

TEST_F(UnusedRemoval, RemovedMaterialsLeaveTheChannelRecords)
{
    CKMaterial* base = MakeMaterial("Base");
    CKMaterial* layer = MakeMaterial("Layer");
    CKMaterial* kept = MakeMaterial("Kept");
    CKMaterial* keptLayer = MakeMaterial("KeptLayer");
    MakeStrip("Mesh", 1, {kept});
    for (CKMaterial* b : {base, kept}) {
        MultiMaterialRecord record;
        record.base = b;
        record.AddEntry(b == base ? layer : keptLayer, -1);
        record.AddEntry(layer, -1);
        m_Builder->multiMaterials.PushBack(record);
    }
    m_Builder->RemoveUnusedMaterials();
    ASSERT_EQ(m_Builder->multiMaterials.Size(), 1) << "the first record went with its base";
    const MultiMaterialRecord& left = m_Builder->multiMaterials[0];
    EXPECT_EQ(left.base, kept);
    ASSERT_EQ(left.channels.Size(), 0) << "its channel materials, on no mesh, went too";
    EXPECT_FALSE(BuilderNames(layer, 0));
    EXPECT_FALSE(BuilderNames(keptLayer, 0));
}
