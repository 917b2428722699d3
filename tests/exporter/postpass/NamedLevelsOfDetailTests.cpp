#include <gtest/gtest.h>

#include "core/attribute/CKAttributeManager.h"
#include "core/context/CKContext.h"
#include "core/object/CKObjectIDList.h"
#include "core/parameter/CKParameter.h"
#include "lod/LODOptions.h"
#include "render/objects/CK3dObject.h"
#include "tests/exporter/postpass/PostPassTestSupport.h"

TEST(IsNamedLOD, MatchesTheBaseNameLessSuffixDigitsAndOneJoin)
{
    const struct
    {
        const char* base;
        const char* candidate;
        bool match;
    } cases[] = {
        {"Tree_Mesh", "TreeLOD1_Mesh", true},  {"Tree_Mesh", "TreeLOD2", true},        {"Tree_Mesh", "LOD2_Tree", true},
        {"Tree_Mesh", "Tree_LOD3_Mesh", true}, {"Tree_Mesh", "TreeLOD0_Mesh", false},  // the digit gives 0
        {"Tree_Mesh", "TreeLOD", false},                                               // no digit
        {"Tree_Mesh", "TreeLODx_Mesh", false}, {"Box_Mesh", "BigBoxLOD1_Mesh", false}, // more than the base
        {"Tree_Mesh", "Tree_Mesh", false},     {"Tree_Mesh", "OakLOD1_Mesh", false},   {"Tree", "TreeLOD1", true},
        {"Tree_Mesh", "Tree__LOD1", false}, // one "_" only
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExportBuilder::IsNamedLOD("LOD", 1, c.base, c.candidate) != 0, c.match)
            << c.base << " / " << c.candidate;
    EXPECT_FALSE(ExportBuilder::IsNamedLOD("LOD", 0, "Tree_Mesh", "TreeLOD1_Mesh"));
    EXPECT_FALSE(ExportBuilder::IsNamedLOD(nullptr, 1, "Tree_Mesh", "TreeLOD1_Mesh"));
    EXPECT_TRUE(ExportBuilder::IsNamedLOD("LOD", 2, "Tree_Mesh", "TreeLOD12_Mesh"));
    EXPECT_FALSE(ExportBuilder::IsNamedLOD("LOD", 2, "Tree_Mesh", "TreeLOD1_Mesh"));
}

using NamedLevelsOfDetail = PostPassTest;

TEST_F(NamedLevelsOfDetail, LevelsJoinTheBaseEntitiesWhichGetTheAttribute)
{
    CKMesh* tree = MakeStrip("Tree_Mesh", 2, {});
    CKMesh* lod = MakeStrip("TreeLOD1_Mesh", 1, {});
    CKMesh* box = MakeStrip("Box_Mesh", 1, {});
    CKMesh* bigBox = MakeStrip("BigBoxLOD1_Mesh", 1, {});
    CK3dObject* shown = m_Builder->CreateObject3D("Tree", 0x100);
    shown->SetCurrentMesh(tree, TRUE);
    CK3dObject* lodOnly = m_Builder->CreateObject3D("TreeLOD1", 0x200);
    lodOnly->SetCurrentMesh(lod, TRUE);
    CK3dObject* lodOnlyToo = m_Builder->CreateObject3D("TreeLOD1b", 0x300);
    lodOnlyToo->SetCurrentMesh(lod, TRUE);
    CK3dObject* boxes = m_Builder->CreateObject3D("Box", 0x400);
    boxes->SetCurrentMesh(box, TRUE);
    CK3dObject* bigBoxes = m_Builder->CreateObject3D("BigBoxLOD1", 0x500);
    bigBoxes->SetCurrentMesh(bigBox, TRUE);
    CKObjectIDList saved;
    m_Builder->FinishObjects(&saved, FALSE, FALSE);
    const CK_ID lodOnlyId = lodOnly->GetID(), lodOnlyTooId = lodOnlyToo->GetID();

    EXPECT_EQ(m_Builder->FindNamedLODGlobal("LOD", 1), 1);

    EXPECT_EQ(m_Context->GetObject(lodOnlyId), nullptr) << "the entities that showed only the level went";
    EXPECT_EQ(m_Context->GetObject(lodOnlyTooId), nullptr);
    EXPECT_FALSE(BuilderNames(lodOnly, lodOnlyId));
    EXPECT_FALSE(BuilderNames(lodOnlyToo, lodOnlyTooId));
    ASSERT_EQ(shown->GetMeshCount(), 2);
    EXPECT_EQ(shown->GetCurrentMesh(), tree);
    EXPECT_EQ(shown->GetMesh(1), lod);
    EXPECT_EQ(bigBoxes->GetMeshCount(), 1) << "BigBox is no level of Box";
    EXPECT_EQ(boxes->GetMeshCount(), 1);

    const int type = m_Context->GetAttributeManager()->GetAttributeTypeByName("LOD Object");
    ASSERT_GE(type, 0);
    EXPECT_FALSE(boxes->HasAttribute(type));
    CKParameter* parameter = shown->GetAttributeParameter(type);
    ASSERT_NE(parameter, nullptr);
    LODOptions options;
    ASSERT_EQ(parameter->GetDataSize(), (int) sizeof options);
    parameter->GetValue(&options);
    const LODOptions defaults;
    EXPECT_EQ(options.Flags, (CKDWORD) LOD_MULTIPLEMESHES);
    EXPECT_EQ(options.ScreenMag, defaults.ScreenMag);
    EXPECT_EQ(options.ScreenMin, defaults.ScreenMin);
    EXPECT_EQ(options.FaceMag, defaults.FaceMag);
    EXPECT_EQ(options.FaceMin, defaults.FaceMin);
    EXPECT_EQ(options.ScreenAlphaMag, defaults.ScreenAlphaMag);
    EXPECT_EQ(options.ScreenAlphaMin, defaults.ScreenAlphaMin);

    EXPECT_NE(m_Log.m_Text.find("Found LOD suffix: p=Tree_Mesh, cur=TreeLOD1_Mesh\n"), std::string::npos);
    EXPECT_NE(m_Log.m_Text.find("Removing Unused 3DEntities: TreeLOD1, TreeLOD1b, \b\b.\n"), std::string::npos);
    EXPECT_NE(m_Log.m_Text.find("Adding LOD Mesh to 3DEntities: Tree, \b\b.\n"), std::string::npos) << m_Log.m_Text;
}
