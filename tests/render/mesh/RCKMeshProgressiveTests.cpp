// The mesh's progressive mesh: the groups draw the faces of the vertices
// drawn, the geomorph and the normals follow the count, the accessors
// without one, the saved words, and the record through copies and removals.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

#include "core/context/CKFunctions.h"
#include "render/context/rasterizer/CKDrawPrimitiveData.h"
#include "render/mesh/CKProgressiveMesh.h"
#include "tests/render/mesh/MaterialTestSupport.h"
#include "tests/render/mesh/MeshTestSupport.h"
#include "tools/testdata/TestMeshes.h"

namespace {

class MeshProgressive : public MeshFixture
{
protected:
    // A 12 x 12 grid of hills, its left half in material A, its right half
    // in B.
    RCKMesh* Grid()
    {
        const TestMesh grid = GridTestMesh(12);
        RCKMesh* mesh = NewMesh("grid");
        mesh->SetVertexCount(grid.VertexCount());
        for (int v = 0; v < grid.VertexCount(); ++v) {
            const float* p = &grid.Positions[3 * (size_t) v];
            mesh->SetVertexPosition(v, QxVector(p[0], p[1], p[2]));
            mesh->SetVertexTextureCoordinates(v, p[0], p[1]);
        }
        mesh->SetFaceCount(grid.FaceCount());
        m_A = NewMaterial("A");
        m_B = NewMaterial("B");
        for (int f = 0; f < grid.FaceCount(); ++f) {
            const uint32_t* c = &grid.Indices[3 * (size_t) f];
            mesh->SetFaceVertexIndex(f, (int) c[0], (int) c[1], (int) c[2]);
            mesh->SetFaceMaterial(f, grid.Positions[3 * (size_t) c[0]] < 0.5f ? m_A : m_B);
        }
        mesh->BuildNormals();
        return mesh;
    }

    // The triangles the groups of the material draw, as mesh vertices.
    static std::vector<MeshTriangle> Drawn(RCKMesh* mesh, CKMaterial* material)
    {
        std::vector<MeshTriangle> out;
        for (int g = 0; g < mesh->GetMaterialGroupCount(); ++g) {
            CKMaterialGroup* group = mesh->GetMaterialGroup(g);
            if (group->Material != material)
                continue;
            for (int i = -1; i < group->SubPrimitives.Size(); ++i)
                AddDrawnTriangles(i < 0 ? *group : *group->SubPrimitives[i], mesh->GetVertexCount(), out);
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    // The faces of the material the progressive mesh keeps.
    static std::vector<MeshTriangle> Expected(RCKMesh* mesh, CKMaterial* material)
    {
        const std::vector<CKDWORD>& corners = mesh->GetProgressiveMesh()->GetFaceIndices();
        std::vector<MeshTriangle> out;
        for (int f = 0; f < mesh->GetFaceCount(); ++f)
            if (corners[3 * (size_t) f] != CKPM_DROPPED && mesh->GetFaceMaterial(f) == material)
                out.push_back(CanonicalTriangle(corners[3 * (size_t) f], corners[3 * (size_t) f + 1],
                                                corners[3 * (size_t) f + 2]));
        std::sort(out.begin(), out.end());
        return out;
    }

    CKMaterial* m_A = nullptr;
    CKMaterial* m_B = nullptr;
};

} // namespace

TEST_F(MeshProgressive, TheGroupsDrawTheFacesOfTheVerticesDrawn)
{
    RCKMesh* mesh = Grid();
    const int n = mesh->GetVertexCount();
    ASSERT_EQ(mesh->CreatePM(), CKErr::Ok);
    EXPECT_EQ(mesh->CreatePM(), CKErr::InvalidParameter) << "one exists";
    EXPECT_EQ(mesh->GetVerticesRendered(), n) << "all drawn at first";
    for (int k : {n, n - 1, n / 2, n / 5, 3, 0}) {
        SCOPED_TRACE(k);
        mesh->SetVerticesRendered(k);
        EXPECT_EQ(mesh->GetVerticesRendered(), k);
        EXPECT_EQ(mesh->GetModifierVertexCount(), k);
        mesh->UpdatePMGeometry();
        EXPECT_EQ(mesh->GetFlags() & CKMESH_OPTIMIZED, 0u) << "the groups are built again";
        ASSERT_EQ(mesh->BuildMaterialGroups(), 1);
        EXPECT_EQ(mesh->GetFlags() & CKMESH_SINGLEGROUP, 0u) << "never the mesh's own faces";
        for (CKMaterial* material : {m_A, m_B})
            EXPECT_EQ(Drawn(mesh, material), Expected(mesh, material));
        for (const MeshTriangle& t : Drawn(mesh, m_A))
            ASSERT_LT((int) std::max({t[0], t[1], t[2]}), std::max(k, 1));
        CKDrawPrimitiveData data;
        mesh->DescribeVertices(data);
        EXPECT_EQ(data.VertexCount, k);
        for (int v = 0; v < n; ++v) {
            const int drawn = mesh->GetPMRenderedVertex(v);
            ASSERT_LT(drawn, std::max(k, 1));
            if (v < k) {
                ASSERT_EQ(drawn, v);
            }
        }
    }
    const int faces = (int) Expected(mesh, m_A).size() + (int) Expected(mesh, m_B).size();
    EXPECT_EQ(faces, 0) << "no vertex, no face";
    // The same count again changes nothing.
    mesh->BuildMaterialGroups();
    mesh->UpdatePMGeometry();
    EXPECT_NE(mesh->GetFlags() & CKMESH_OPTIMIZED, 0u);
    EXPECT_EQ(mesh->GetPMRenderedVertex(n), -1);
    EXPECT_EQ(mesh->GetPMRenderedVertex(-1), -1);
    ASSERT_EQ(mesh->DestroyPM(), CKErr::Ok);
    EXPECT_FALSE(mesh->IsPM());
    ASSERT_EQ(mesh->BuildMaterialGroups(), 1);
    EXPECT_EQ(Drawn(mesh, m_A).size() + Drawn(mesh, m_B).size(), (size_t) mesh->GetFaceCount());
}

TEST_F(MeshProgressive, ADrawFirstBringsTheFacesUpToTheVerticesDrawn)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    RCKMesh* mesh = Grid();
    const int n = mesh->GetVertexCount();
    ASSERT_EQ(mesh->CreatePM(), CKErr::Ok);
    // The draw alone, with no update asked: the triangles sent are those of
    // the faces the progressive mesh keeps for each count.
    for (int k : {n, n / 2, n / 7, n}) {
        SCOPED_TRACE(k);
        mesh->SetVerticesRendered(k);
        rec->ClearCalls();
        ASSERT_EQ(mesh->Render(rc, nullptr), CKErr::Ok);
        for (CKMaterial* material : {m_A, m_B})
            EXPECT_EQ(Drawn(mesh, material), Expected(mesh, material));
        int indices = 0;
        for (const XString& call : rec->GetCalls()) {
            const char* text = call.CStr();
            const char* last = std::strrchr(text, ',');
            if (std::strncmp(text, "DrawPrimitive", 13) == 0 && last)
                indices += std::atoi(last + 1);
        }
        const int faces = (int) Expected(mesh, m_A).size() + (int) Expected(mesh, m_B).size();
        EXPECT_EQ(indices, 3 * faces);
        if (k < n) {
            EXPECT_LT(faces, mesh->GetFaceCount());
        }
    }
}

TEST_F(MeshProgressive, WithoutOneTheMeshAnswersForAllItsVertices)
{
    RCKMesh* mesh = MakeMesh(4, Quads(1));
    EXPECT_FALSE(mesh->IsPM());
    mesh->SetVerticesRendered(1);
    mesh->EnablePMGeoMorph(TRUE);
    mesh->SetPMGeoMorphStep(3);
    EXPECT_EQ(mesh->GetVerticesRendered(), 4);
    EXPECT_EQ(mesh->GetModifierVertexCount(), 4);
    EXPECT_FALSE(mesh->IsPMGeoMorphEnabled());
    EXPECT_EQ(mesh->GetPMGeoMorphStep(), 0);
    EXPECT_EQ(mesh->GetPMRenderedVertex(3), 3);
    EXPECT_EQ(mesh->GetPMRenderedVertex(4), -1);
    EXPECT_EQ(mesh->DestroyPM(), CKErr::Ok);
    mesh->UpdatePMGeometry();
    EXPECT_EQ(NewMesh("empty")->CreatePM(), CKErr::InvalidParameter);
}

TEST_F(MeshProgressive, AGeomorphShowsTheMovingVerticesThenTheMeshAgain)
{
    RCKMesh* mesh = Grid();
    ASSERT_EQ(mesh->CreatePM(), CKErr::Ok);
    mesh->EnablePMGeoMorph(TRUE);
    mesh->SetPMGeoMorphStep(2);
    EXPECT_TRUE(mesh->IsPMGeoMorphEnabled());
    EXPECT_EQ(mesh->GetPMGeoMorphStep(), 2);
    mesh->UpdatePMGeometry();
    const int n = mesh->GetVertexCount();
    CKDWORD stride = 0;
    void* own = mesh->GetPositionsPtr(&stride);
    mesh->SetVerticesRendered(n / 2);
    for (int step = 0; step < 2; ++step) {
        mesh->EndDraw();
        mesh->UpdatePMGeometry();
        EXPECT_NE(mesh->GetFlags() & CKMESH_POSCHANGED, 0u) << step;
        mesh->BuildMaterialGroups();
        CKDrawPrimitiveData data;
        mesh->DescribeVertices(data);
        EXPECT_EQ(data.VertexCount, n) << "the finer faces while the vertices move";
        EXPECT_EQ(data.PositionPtr, &mesh->GetProgressiveMesh()->GetMorphedVertices()[0].Position);
    }
    mesh->UpdatePMGeometry();
    mesh->BuildMaterialGroups();
    CKDrawPrimitiveData data;
    mesh->DescribeVertices(data);
    EXPECT_EQ(data.VertexCount, n / 2);
    EXPECT_EQ(data.PositionPtr, own);
}

TEST_F(MeshProgressive, TheNormalsFollowTheFacesDrawnWhenAsked)
{
    RCKMesh* mesh = Grid();
    ASSERT_EQ(mesh->CreatePM(), CKErr::Ok);
    const int k = mesh->GetVertexCount() / 4;
    std::vector<QxVector> before;
    for (int v = 0; v < mesh->GetVertexCount(); ++v) {
        QxVector normal;
        mesh->GetVertexNormal(v, &normal);
        before.push_back(normal);
    }
    mesh->SetVerticesRendered(k);
    mesh->UpdatePMGeometry();
    for (int v = 0; v < mesh->GetVertexCount(); ++v) {
        QxVector normal;
        mesh->GetVertexNormal(v, &normal);
        ASSERT_EQ(normal, before[(size_t) v]) << "without the flag the normals stay";
    }

    mesh->SetFlags(mesh->GetFlags() | CKMESH_PMBUILDNORMALS);
    mesh->SetVerticesRendered(k / 2);
    mesh->UpdatePMGeometry();
    // Each drawn vertex: the normalised sum of the unit normals of the
    // drawn faces around it.
    std::vector<QxVector> sums((size_t) k / 2);
    const std::vector<CKDWORD>& corners = mesh->GetProgressiveMesh()->GetFaceIndices();
    for (size_t f = 0; f + 2 < corners.size(); f += 3) {
        if (corners[f] == CKPM_DROPPED)
            continue;
        QxVector p[3];
        for (int c = 0; c < 3; ++c)
            mesh->GetVertexPosition((int) corners[f + (size_t) c], &p[c]);
        QxVector e1 = p[1] - p[0], e2 = p[2] - p[0];
        QxVector n(e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x);
        const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        for (int c = 0; c < 3; ++c)
            sums[corners[f + (size_t) c]] += n * (1.0f / length);
    }
    for (int v = 0; v < k / 2; ++v) {
        const QxVector& s = sums[(size_t) v];
        const float length = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
        QxVector normal;
        mesh->GetVertexNormal(v, &normal);
        EXPECT_NEAR(normal.x, s.x / length, 1e-5f) << v;
        EXPECT_NEAR(normal.y, s.y / length, 1e-5f) << v;
        EXPECT_NEAR(normal.z, s.z / length, 1e-5f) << v;
    }
    EXPECT_EQ(mesh->GetFlags() & CKMESH_GENNORMALS, 0u) << "no longer BuildNormals' normals";
}

TEST_F(MeshProgressive, TheSectionHoldsTheCountTheGeomorphAndTheTargets)
{
    // Hand-made words: 2 drawn, geomorph on over 3 steps; vertex 2 -> 0,
    // 3 -> 1, 4 -> 2.
    const std::vector<CKDWORD> words = {2, 1, 3, ~0u, ~0u, 0, 1, 2};
    RCKMesh* mesh = MakeMesh(5, {{0, 1, 2}, {1, 3, 2}, {2, 3, 4}});
    CKStateChunk* chunk = SectionChunk(CKCID_MESH, CK_STATESAVE_MESHPROGRESSIVE, words);
    chunk->SetDataVersion(CK_MESH_DATAVERSION);
    ASSERT_EQ(mesh->Load(chunk, nullptr), CKErr::Ok);
    CKDeleteStateChunk(chunk);
    ASSERT_TRUE(mesh->IsPM());
    EXPECT_EQ(mesh->GetVerticesRendered(), 2);
    EXPECT_TRUE(mesh->IsPMGeoMorphEnabled());
    EXPECT_EQ(mesh->GetPMGeoMorphStep(), 3);
    EXPECT_EQ(mesh->GetPMRenderedVertex(4), 0);
    EXPECT_EQ(SectionWords(mesh, CK_STATESAVE_MESHPROGRESSIVE, 100), words);

    // A fresh record keeps its -1; the section goes with the record.
    mesh->DestroyPM();
    EXPECT_TRUE(SectionWords(mesh, CK_STATESAVE_MESHPROGRESSIVE, 100).empty());
    ASSERT_EQ(mesh->CreatePM(), CKErr::Ok);
    EXPECT_EQ(SectionWords(mesh, CK_STATESAVE_MESHPROGRESSIVE, 3), (std::vector<CKDWORD>{~0u, 0, 0}));

    // A chunk without the section takes the record away.
    CKStateChunk* without = SectionChunk(CKCID_MESH, CK_STATESAVE_MESHFLAGS, {2});
    without->SetDataVersion(CK_MESH_DATAVERSION);
    ASSERT_EQ(mesh->Load(without, nullptr), CKErr::Ok);
    CKDeleteStateChunk(without);
    EXPECT_FALSE(mesh->IsPM());
}

TEST_F(MeshProgressive, CopiesRemovalsAndResizesKeepARecordOfTheMesh)
{
    RCKMesh* mesh = Grid();
    ASSERT_EQ(mesh->CreatePM(), CKErr::Ok);
    const int before = mesh->GetMemoryOccupation();
    mesh->SetVerticesRendered(40);
    mesh->SetPMGeoMorphStep(4);
    auto* copy = static_cast<RCKMesh*>(m_Context->CopyObjects(mesh));
    ASSERT_NE(copy, nullptr);
    ASSERT_TRUE(copy->IsPM());
    EXPECT_EQ(copy->GetVerticesRendered(), 40);
    EXPECT_EQ(copy->GetPMGeoMorphStep(), 4);
    EXPECT_EQ(copy->GetProgressiveMesh()->GetCollapseTargets(), mesh->GetProgressiveMesh()->GetCollapseTargets());
    EXPECT_NE(copy->GetProgressiveMesh(), mesh->GetProgressiveMesh());

    // A vertex added and used by no face goes again: the others keep their
    // order and the record one entry a vertex.
    RCKMesh* small = MakeMesh(6, Quads(2));
    for (int v = 0; v < 6; ++v)
        small->SetVertexPosition(v, QxVector((float) (v & 1), (float) (v / 2), 0.0f));
    ASSERT_EQ(small->CreatePM(), CKErr::Ok);
    small->SetVertexCount(7);
    EXPECT_EQ(small->GetProgressiveMesh()->GetVertexCount(), 7);
    small->RemoveDegenerateFaces();
    EXPECT_EQ(small->GetVertexCount(), 6);
    const std::vector<int>& targets = small->GetProgressiveMesh()->GetCollapseTargets();
    EXPECT_EQ((int) targets.size(), small->GetVertexCount());
    for (int v = 0; v < (int) targets.size(); ++v)
        EXPECT_LT(targets[(size_t) v], v);
    small->Clean(FALSE);
    EXPECT_EQ(small->GetProgressiveMesh()->GetVertexCount(), 0);
    EXPECT_GT(before, NewMesh("plain")->GetMemoryOccupation());
}
