// The mesh's material groups: random meshes against a model of what the
// primitives must draw, the single-group and split cases, and the material
// replacements and their rebuild rules.
#include <algorithm>
#include <map>
#include <random>

#include "render/context/CKRenderGlobals.h"
#include "tests/render/mesh/MeshTestSupport.h"

namespace {

using MeshGroups = MeshFixture;
// Random meshes: mostly small, a few up to 200,000 vertices, 1 to 40
// materials (the group count crosses 31), some as strips.
TEST_F(MeshGroups, RandomMeshesDrawExactlyTheirTrianglesPerMaterial)
{
    std::mt19937 random(25);
    std::vector<CKMaterial*> materials;
    for (int i = 0; i < 40; ++i)
        materials.push_back(NewMaterial());
    int splits = 0;
    int singles = 0;
    int wide = 0;
    for (int n = 0; n < 1000; ++n) {
        SCOPED_TRACE(n);
        const int vertexCount = n % 200 == 7  ? 70000 + (int) (random() % 130001)
                                : n % 25 == 3 ? 1000 + (int) (random() % 20000)
                                              : 3 + (int) (random() % 300);
        const int faceCount = 1 + (int) (random() % (unsigned) (vertexCount * 2));
        // Large meshes with few materials have groups that must split.
        const int materialCount = 1 + (int) (random() % (vertexCount > 65535 ? 2 : 40));
        RCKMesh* mesh = NewMesh();
        mesh->SetVertexCount(vertexCount);
        mesh->SetFaceCount(faceCount);
        if (n % 10 == 9)
            mesh->SetFlags(mesh->GetFlags() | CKMESH_STRIPIFY);
        std::map<CKMaterial*, std::vector<MeshTriangle>> expected;
        for (int f = 0; f < faceCount; ++f) {
            int a = (int) (random() % (unsigned) vertexCount), b = a, c = a;
            while (b == a)
                b = (int) (random() % (unsigned) vertexCount);
            while (c == a || c == b)
                c = (int) (random() % (unsigned) vertexCount);
            ASSERT_EQ(mesh->SetFaceVertexIndex(f, a, b, c), CKErr::Ok);
            // Material 0 is "none" (the default group).
            const int m = (int) (random() % (unsigned) (materialCount + 1));
            CKMaterial* material = m ? materials[(size_t) m - 1] : nullptr;
            mesh->SetFaceMaterial(f, material);
            expected[material].push_back(CanonicalTriangle((CKDWORD) a, (CKDWORD) b, (CKDWORD) c));
        }
        mesh->GetMaterialCount();
        wide += mesh->GetMaterialGroupCount() > 31;
        singles += (mesh->GetFlags() & CKMESH_SINGLEGROUP) != 0;
        std::vector<int> faceGroup = FaceGroups(mesh);
        std::vector<int> listed(faceCount, 0);
        for (int g = 0; g < mesh->GetMaterialGroupCount(); ++g) {
            const CKMaterialGroup* group = mesh->GetMaterialGroup(g);
            std::vector<MeshTriangle> drawn;
            AddDrawnTriangles(*group, vertexCount, drawn);
            for (const CK65KPrimitive* p : group->SubPrimitives)
                AddDrawnTriangles(*p, vertexCount, drawn);
            splits += group->SubPrimitives.Size() > 0;
            std::vector<MeshTriangle> wanted = expected[group->Material];
            std::sort(drawn.begin(), drawn.end());
            std::sort(wanted.begin(), wanted.end());
            ASSERT_EQ(drawn, wanted) << "group " << g;
            for (CKDWORD f : group->Faces) {
                ASSERT_EQ(faceGroup[f], g);
                ++listed[f];
            }
        }
        if (!(mesh->GetFlags() & CKMESH_SINGLEGROUP)) {
            ASSERT_EQ(listed, std::vector<int>(faceCount, 1)) << "the face lists partition the faces";
        }
        m_Context->DestroyObject(mesh);
    }
    EXPECT_GT(splits, 0);
    EXPECT_GT(singles, 0);
    EXPECT_GT(wide, 0);
}

TEST_F(MeshGroups, OneMaterialIsOneGroupUpTo65535VerticesThenSplits)
{
    CKMaterial* m = NewMaterial();
    for (int vertices : {60000, 70000}) {
        SCOPED_TRACE(vertices);
        std::vector<Corners> faces;
        for (int f = 0; f < 50000; ++f)
            faces.push_back({f, f + 1, (f + 20000) % vertices});
        RCKMesh* mesh = MakeMesh(vertices, faces, std::vector<CKMaterial*>(faces.size(), m));
        ASSERT_EQ(mesh->GetMaterialCount(), 1);
        const CKMaterialGroup* group = mesh->GetMaterialGroup(1);
        int count = -1;
        if (vertices == 60000) {
            EXPECT_TRUE(mesh->GetFlags() & CKMESH_SINGLEGROUP);
            EXPECT_EQ(group->VertexCount, 60000);
            EXPECT_EQ(group->Remap.Size(), 0);
            EXPECT_EQ(mesh->GetMaterialFaceIndices(0, &count), nullptr);
            EXPECT_EQ(count, 0);
        } else {
            EXPECT_FALSE(mesh->GetFlags() & CKMESH_SINGLEGROUP);
            EXPECT_GT(group->SubPrimitives.Size(), 0);
            EXPECT_NE(mesh->GetMaterialFaceIndices(0, &count), nullptr);
            EXPECT_EQ(count, 50000);
        }
    }
}

// Groups 0, A and B with one face each, before each case.
struct ReplaceCase
{
    const char* name;
    int oldMaterial; // 0 none, 1 A, 2 B, 3 C (not in the mesh)
    int newMaterial;
    CKBOOL merge;
    std::vector<int> groupsAfter;    // of the three faces
    std::vector<int> materialsAfter; // of the groups
    bool rebuilt;                    // FacesChanged was called
};

TEST_F(MeshGroups, ReplaceMaterialInItsSixCases)
{
    CKMaterial* a = NewMaterial("A");
    CKMaterial* b = NewMaterial("B");
    CKMaterial* c = NewMaterial("C");
    CKMaterial* byIndex[] = {nullptr, a, b, c};
    const ReplaceCase cases[] = {
        {"same material", 1, 1, FALSE, {0, 1, 2}, {0, 1, 2}, false},
        {"old has no group", 3, 1, FALSE, {0, 1, 2}, {0, 1, 2}, false},
        {"no material takes C", 0, 3, FALSE, {3, 1, 2}, {0, 1, 2, 3}, true},
        {"A removed", 1, 0, FALSE, {0, 0, 1}, {0, 2}, true},
        {"A merged into B", 1, 2, TRUE, {0, 2, 2}, {0, 1, 2}, true},
        {"A renamed B", 1, 2, FALSE, {0, 1, 2}, {0, 2, 2}, false},
        {"A renamed C", 1, 3, TRUE, {0, 1, 2}, {0, 3, 2}, false},
    };
    for (const ReplaceCase& t : cases) {
        SCOPED_TRACE(t.name);
        RCKMesh* mesh = MakeMesh(4, {{0, 1, 2}, {1, 3, 2}, {0, 3, 1}}, {nullptr, a, b});
        mesh->GetMaterialCount();
        ASSERT_TRUE(mesh->GetFlags() & CKMESH_OPTIMIZED);
        mesh->ReplaceMaterial(byIndex[t.oldMaterial], byIndex[t.newMaterial], t.merge);
        EXPECT_EQ(!(mesh->GetFlags() & CKMESH_OPTIMIZED), t.rebuilt);
        EXPECT_EQ(FaceGroups(mesh), t.groupsAfter);
        std::vector<int> materials;
        for (int g = 0; g < mesh->GetMaterialGroupCount(); ++g) {
            CKMaterial* m = mesh->GetMaterialGroup(g)->Material;
            materials.push_back((int) (std::find(byIndex, byIndex + 4, m) - byIndex));
        }
        EXPECT_EQ(materials, t.materialsAfter);
    }
}

TEST_F(MeshGroups, ApplyGlobalMaterialRenamesASingleMaterialElseMovesEveryFace)
{
    CKMaterial* a = NewMaterial("A");
    CKMaterial* b = NewMaterial("B");
    CKMaterial* c = NewMaterial("C");
    RCKMesh* one = MakeMesh(4, {{0, 1, 2}, {1, 3, 2}}, {a, nullptr});
    one->ApplyGlobalMaterial(c);
    EXPECT_EQ(FaceGroups(one), (std::vector<int>{1, 0})) << "A's group renamed, no face moved";
    EXPECT_EQ(one->GetMaterial(0), c);

    RCKMesh* two = MakeMesh(4, {{0, 1, 2}, {1, 3, 2}}, {a, b});
    two->ApplyGlobalMaterial(c);
    EXPECT_EQ(two->GetMaterialCount(), 1) << "the unused groups go at the build";
    EXPECT_EQ(two->GetMaterial(0), c);
    EXPECT_EQ(FaceGroups(two), (std::vector<int>{1, 1}));
}

TEST_F(MeshGroups, FacesChangedRulesAndUnusedGroupsGoWithTheFacesAboveRenumbered)
{
    CKMaterial* a = NewMaterial("A");
    CKMaterial* b = NewMaterial("B");
    RCKMesh* mesh = MakeMesh(4, {{0, 1, 2}, {1, 3, 2}}, {a, b});
    ASSERT_EQ(mesh->GetMaterialCount(), 2);
    mesh->SetFaceMaterial(0, a);
    EXPECT_TRUE(mesh->GetFlags() & CKMESH_OPTIMIZED) << "the same material changes nothing";
    mesh->SetFaceMaterial(5, b);
    EXPECT_TRUE(mesh->GetFlags() & CKMESH_OPTIMIZED) << "a missing face is ignored";
    EXPECT_EQ(mesh->SetFacesMaterial(nullptr, 0, a), CKErr::Ok);
    EXPECT_FALSE(mesh->GetFlags() & CKMESH_OPTIMIZED) << "a face list, even empty, rebuilds";

    mesh->SetFaceMaterial(0, b);
    EXPECT_EQ(mesh->GetMaterialCount(), 1);
    EXPECT_EQ(mesh->GetMaterial(0), b);
    EXPECT_EQ(FaceGroups(mesh), (std::vector<int>{1, 1})) << "B moved down into A's place";
}

TEST_F(MeshGroups, FacesLeftNamingRemovedVerticesAreNotDrawn)
{
    CKMaterial* a = NewMaterial("A");
    RCKMesh* mesh = MakeMesh(5, {{0, 1, 2}, {2, 3, 4}, {0, 2, 4}}, {a, nullptr, a});
    int faces[] = {0, 3};
    EXPECT_EQ(mesh->SetFacesMaterial(faces, 2, nullptr), CKErr::InvalidParameter) << "face 3 does not exist";
    EXPECT_EQ(mesh->GetFaceMaterial(0), a) << "nothing was written";
    mesh->SetVertexCount(3);
    ASSERT_EQ(mesh->GetMaterialCount(), 1);
    EXPECT_FALSE(mesh->GetFlags() & CKMESH_SINGLEGROUP);
    const CKMaterialGroup* group = mesh->GetMaterialGroup(1);
    EXPECT_EQ(std::vector<CKDWORD>(group->Faces.Begin(), group->Faces.End()), std::vector<CKDWORD>{0});
    EXPECT_EQ(group->VertexCount, 3);
    EXPECT_EQ(mesh->GetMaterialGroup(0)->VertexCount, 0) << "face 1 names vertices 3 and 4";
}

TEST_F(MeshGroups, TransparencyFollowsTheMaterialsAndIsForcedByTheFlag)
{
    CKMaterial* a = NewMaterial("A");
    RCKMesh* mesh = MakeMesh(3, {{0, 1, 2}}, {a});
    EXPECT_FALSE(mesh->IsTransparent());
    a->EnableAlphaBlend(TRUE);
    a->SetSourceBlend(CK_BLEND_SRCALPHA);
    a->SetDestBlend(CK_BLEND_INVSRCALPHA);
    EXPECT_TRUE(mesh->IsTransparent()) << "the material raised the engine-wide flag";
    CKGetRenderGlobals().m_TransparencyChanged = FALSE;
    a->EnableAlphaBlend(FALSE);
    CKGetRenderGlobals().m_TransparencyChanged = FALSE;
    EXPECT_TRUE(mesh->IsTransparent()) << "cached while nothing says it changed";
    mesh->FacesChanged();
    EXPECT_FALSE(mesh->IsTransparent());
    mesh->SetTransparent(TRUE);
    EXPECT_TRUE(mesh->IsTransparent());
}

TEST_F(MeshGroups, CompactVerticesNumbersTheUsedVerticesInOrder)
{
    CK65KPrimitive p;
    for (CKWORD i : {5, 2, 5, 9})
        p.Indices.PushBack(i);
    p.VertexCount = 10;
    p.CompactVertices(10);
    EXPECT_EQ(p.VertexCount, 3);
    EXPECT_EQ((std::vector<CKDWORD>(p.Remap.Begin(), p.Remap.End())), (std::vector<CKDWORD>{5, 2, 9}));
    EXPECT_EQ((std::vector<CKWORD>(p.Indices.Begin(), p.Indices.End())), (std::vector<CKWORD>{0, 1, 0, 2}));
    p.CompactVertices(3);
    EXPECT_EQ(p.VertexCount, 3) << "all used: nothing changes";
}

} // namespace
