// The patch mesh: its tessellation against an independent double-precision
// evaluation, the vertex tables at shared, hard and textured edges, the
// subdivision limit, faces against strips, and its accessors.
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string>

#include "render/mesh/RCKPatchMesh.h"
#include "tests/render/mesh/MeshTestSupport.h"
#include "tests/support/AssertCapture.h"
#include "tools/testdata/TestPatches.h"

namespace {

struct D3
{
    double x = 0, y = 0, z = 0;
};
D3 operator+(D3 a, D3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
D3 operator-(D3 a, D3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
D3 operator*(double s, D3 a)
{
    return {s * a.x, s * a.y, s * a.z};
}
D3 ToD(const QxVector& v)
{
    return {v.x, v.y, v.z};
}

// The patch formulas in double precision, written from their definition:
// a triangle as a quartic Bezier triangle whose side control points are the
// cubic sides degree-raised, a quad as a bicubic Bezier patch.
struct PatchModel
{
    std::vector<D3> Vertices, Vectors;

    D3 V(short i) const { return Vertices[(size_t) (unsigned short) i]; }
    D3 W(short i) const { return Vectors[(size_t) (unsigned short) i]; }

    static D3 Quartic(D3 p, D3 a, D3 b, D3 q, double u)
    {
        const D3 a1 = p + 0.75 * (a - p), a2 = 0.5 * (a + b), a3 = b + 0.25 * (q - b);
        const double o = 1 - u;
        return std::pow(o, 4) * p + (4 * u * std::pow(o, 3)) * a1 + (6 * u * u * o * o) * a2 +
               (4 * std::pow(u, 3) * o) * a3 + std::pow(u, 4) * q;
    }
    static D3 Cubic(D3 p, D3 a, D3 b, D3 q, double u)
    {
        const double o = 1 - u;
        return std::pow(o, 3) * p + (3 * u * o * o) * a + (3 * u * u * o) * b + std::pow(u, 3) * q;
    }
    // Interior point k: the handle before corner k plus the handle after it,
    // less the corner.
    D3 Interior(const CKPatch& patch, int k) const
    {
        const int n = patch.type == 3 ? 3 : 4;
        return W(patch.vec[(2 * k + 2 * n - 1) % (2 * n)]) + (W(patch.vec[2 * k]) - V(patch.v[k]));
    }
    // Side k at weight u of its second corner.
    D3 Side(const CKPatch& patch, int k, double u) const
    {
        const int n = patch.type == 3 ? 3 : 4;
        const D3 p = V(patch.v[k]), q = V(patch.v[(k + 1) % n]);
        const D3 a = W(patch.vec[2 * k]), b = W(patch.vec[2 * k + 1]);
        return patch.type == 3 ? Quartic(p, a, b, q, u) : Cubic(p, a, b, q, u);
    }
    D3 Tri(const CKPatch& patch, double a, double b, double c) const
    {
        D3 aux[9];
        for (int k = 0; k < 3; ++k) {
            const D3 p = V(patch.v[k]), q = V(patch.v[(k + 1) % 3]);
            const D3 h0 = W(patch.vec[2 * k]), h1 = W(patch.vec[2 * k + 1]);
            aux[3 * k] = p + 0.75 * (h0 - p);
            aux[3 * k + 1] = 0.5 * (h0 + h1);
            aux[3 * k + 2] = h1 + 0.25 * (q - h1);
        }
        const D3 i0 = Interior(patch, 0), i1 = Interior(patch, 1), i2 = Interior(patch, 2);
        return std::pow(c, 4) * V(patch.v[0]) + std::pow(a, 4) * V(patch.v[1]) + std::pow(b, 4) * V(patch.v[2]) +
               (4 * a * c * c * c) * aux[0] + (6 * a * a * c * c) * aux[1] + (4 * a * a * a * c) * aux[2] +
               (4 * a * a * a * b) * aux[3] + (6 * a * a * b * b) * aux[4] + (4 * a * b * b * b) * aux[5] +
               (4 * b * b * b * c) * aux[6] + (6 * b * b * c * c) * aux[7] + (4 * b * c * c * c) * aux[8] +
               (12 * a * b * c * c) * i0 + (12 * a * a * b * c) * i1 + (12 * a * b * b * c) * i2;
    }
    D3 Quad(const CKPatch& patch, double s, double t) const
    {
        const D3 net[4][4] = {
            {V(patch.v[0]), W(patch.vec[7]), W(patch.vec[6]), V(patch.v[3])},
            {W(patch.vec[0]), Interior(patch, 0), Interior(patch, 3), W(patch.vec[5])},
            {W(patch.vec[1]), Interior(patch, 1), Interior(patch, 2), W(patch.vec[4])},
            {V(patch.v[1]), W(patch.vec[2]), W(patch.vec[3]), V(patch.v[2])},
        };
        auto bern = [](int i, double x) {
            const double o = 1 - x;
            const double w[4] = {o * o * o, 3 * x * o * o, 3 * x * x * o, x * x * x};
            return w[i];
        };
        D3 sum;
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i)
                sum = sum + (bern(i, s) * bern(j, t)) * net[j][i];
        return sum;
    }
};

class PatchMeshes : public MeshFixture
{
protected:
    RCKPatchMesh* NewPatchMesh(const char* name = "patches")
    {
        return static_cast<RCKPatchMesh*>(m_Context->CreateObject(CKCID_PATCHMESH, name));
    }

    // The model of the mesh's control points as they are now.
    static PatchModel ModelOf(RCKPatchMesh* mesh)
    {
        PatchModel model;
        for (int i = 0; i < mesh->GetVertCount(); ++i)
            model.Vertices.push_back(ToD(mesh->GetVerts()[i]));
        for (int i = 0; i < mesh->GetVecCount(); ++i)
            model.Vectors.push_back(ToD(mesh->GetVecs()[i]));
        return model;
    }

    // Two triangles over vertices 0..3 sharing the side 1-2: A = (0, 1, 2)
    // with edges e0 (0-1), e1 (1-2), e2 (2-0); B = (2, 1, 3) with e1 walked
    // backwards, e3 (1-3), e4 (3-2). Each edge has two handles; each patch
    // three interior vectors (10 to 15).
    RCKPatchMesh* TwoTriangles(CKDWORD smoothingA, CKDWORD smoothingB)
    {
        RCKPatchMesh* mesh = NewPatchMesh("two");
        mesh->SetVertVecCount(4, 16);
        const QxVector corners[4] = {QxVector(0, 0, 0), QxVector(1, 0, 0), QxVector(0, 1, 0), QxVector(1, 1, 0.5f)};
        for (int i = 0; i < 4; ++i)
            mesh->SetVert(i, corners[i]);
        const int ends[5][2] = {{0, 1}, {1, 2}, {2, 0}, {1, 3}, {3, 2}};
        mesh->SetEdgeCount(5);
        for (int e = 0; e < 5; ++e) {
            const QxVector p = corners[ends[e][0]], q = corners[ends[e][1]];
            mesh->SetVec(2 * e, p + (q - p) * (1.0f / 3.0f) + QxVector(0, 0, 0.2f));
            mesh->SetVec(2 * e + 1, p + (q - p) * (2.0f / 3.0f) + QxVector(0, 0, 0.2f));
            CKPatchEdge edge;
            edge.startVertex = (short) ends[e][0];
            edge.endVertex = (short) ends[e][1];
            edge.startVector = (short) (2 * e);
            edge.endVector = (short) (2 * e + 1);
            edge.patch1 = e == 3 || e == 4 ? 1 : 0;
            edge.patch2 = e == 1 ? 1 : -1;
            mesh->SetEdge(e, edge);
        }
        mesh->SetPatchCount(2);
        CKPatch a;
        a.type = 3;
        const short av[3] = {0, 1, 2}, avec[6] = {0, 1, 2, 3, 4, 5}, aedge[3] = {0, 1, 2};
        CKPatch b;
        b.type = 3;
        const short bv[3] = {2, 1, 3}, bvec[6] = {3, 2, 6, 7, 8, 9}, bedge[3] = {1, 3, 4};
        for (int k = 0; k < 3; ++k) {
            a.v[k] = av[k];
            a.edge[k] = aedge[k];
            a.interior[k] = (short) (10 + k);
            b.v[k] = bv[k];
            b.edge[k] = bedge[k];
            b.interior[k] = (short) (13 + k);
        }
        for (int k = 0; k < 6; ++k) {
            a.vec[k] = avec[k];
            b.vec[k] = bvec[k];
        }
        a.smoothing = smoothingA;
        b.smoothing = smoothingB;
        mesh->SetPatch(0, a);
        mesh->SetPatch(1, b);
        return mesh;
    }

    // Texture coordinates for the two triangles: four texture vertices
    // shared by both, or B's copies of vertices 1 and 2 apart (a seam).
    static void TextureTwoTriangles(RCKPatchMesh* mesh, bool seam)
    {
        mesh->SetTextureVertexCount(6);
        const float uv[6][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0.5f, 0}, {0, 0.5f}};
        for (int i = 0; i < 6; ++i)
            mesh->SetTextureVertex(i, uv[i][0], uv[i][1]);
        mesh->SetTexturePatchCount(2);
        CKTexturePatch a, b;
        a.tv[0] = 0;
        a.tv[1] = 1;
        a.tv[2] = 2;
        b.tv[0] = seam ? 5 : 2;
        b.tv[1] = seam ? 4 : 1;
        b.tv[2] = 3;
        mesh->SetTexturePatch(0, a);
        mesh->SetTexturePatch(1, b);
    }

    // The render vertices the faces of a patch use (faces are written patch
    // by patch, faceCount each).
    static std::set<int> VerticesOfFaces(RCKMesh* mesh, int firstFace, int count)
    {
        std::set<int> used;
        const CKDWORD* indices = mesh->GetFacesIndices();
        for (int f = firstFace; f < firstFace + count; ++f)
            for (int c = 0; c < 3; ++c)
                used.insert((int) indices[3 * f + c]);
        return used;
    }
};

// Triangles as rotation-normalised corner triples: winding kept.
using Triangle = std::array<int, 3>;
Triangle Normalised(int a, int b, int c)
{
    if (b < a && b < c)
        return {b, c, a};
    if (c < a && c < b)
        return {c, a, b};
    return {a, b, c};
}

std::multiset<Triangle> FaceTriangles(RCKMesh* mesh)
{
    std::multiset<Triangle> all;
    const CKDWORD* idx = mesh->GetFacesIndices();
    for (int f = 0; f < mesh->GetFaceCount(); ++f)
        all.insert(Normalised((int) idx[3 * f], (int) idx[3 * f + 1], (int) idx[3 * f + 2]));
    return all;
}

// The triangles the groups' index lists draw (lists or strips, through
// each group's remap), degenerate strip triangles left out.
std::multiset<Triangle> GroupTriangles(RCKMesh* mesh)
{
    std::multiset<Triangle> all;
    for (int g = 0; g < mesh->GetMaterialGroupCount(); ++g) {
        const CKMaterialGroup* group = mesh->GetMaterialGroup(g);
        auto vertex = [&](int i) {
            const int local = group->Indices[i];
            return group->Remap.Size() ? (int) group->Remap[local] : local;
        };
        const int n = group->IndexCount;
        if (group->Type == CKRST_PT_TRIANGLELIST) {
            for (int i = 0; i + 2 < n; i += 3)
                all.insert(Normalised(vertex(i), vertex(i + 1), vertex(i + 2)));
            continue;
        }
        for (int i = 0; i + 2 < n; ++i) {
            const int a = vertex(i), b = vertex(i + 1), c = vertex(i + 2);
            if (a == b || b == c || a == c)
                continue;
            all.insert(i % 2 ? Normalised(b, a, c) : Normalised(a, b, c));
        }
    }
    return all;
}

TEST_F(PatchMeshes, RenderVerticesMatchADoublePrecisionEvaluation)
{
    std::mt19937 rng(27);
    for (int round = 0; round < 12; ++round) {
        std::vector<int> types;
        const int count = 1 + (int) (rng() % 5);
        for (int i = 0; i < count; ++i)
            types.push_back(rng() & 1 ? 3 : 4);
        for (int iterations = 0; iterations <= 5; ++iterations) {
            RCKPatchMesh* mesh = NewPatchMesh();
            FillIndependentPatches(mesh, types, (uint32_t) rng());
            const PatchModel model = ModelOf(mesh);
            mesh->SetIterationCount(iterations);
            mesh->BuildRenderMesh();
            ASSERT_EQ(mesh->GetIterationCount(), iterations);
            const int steps = iterations + 1;

            // The layout: control vertices, each edge's run, then each
            // patch's interior points.
            std::vector<D3> expected = model.Vertices;
            int faces = 0;
            for (int p = 0; p < mesh->GetPatchCount(); ++p) {
                const CKPatch& patch = mesh->GetPatches()[p];
                for (int k = 0; k < (patch.type == 3 ? 3 : 4); ++k)
                    for (int i = 1; i < steps; ++i)
                        expected.push_back(model.Side(patch, k, (double) i / steps));
                faces += (patch.type == 3 ? 1 : 2) * steps * steps;
            }
            for (int p = 0; p < mesh->GetPatchCount(); ++p) {
                const CKPatch& patch = mesh->GetPatches()[p];
                if (patch.type == 3) {
                    for (int i = 1; i <= steps - 2; ++i)
                        for (int j = 1; j <= steps - 1 - i; ++j) {
                            const double a = (double) j / steps, b = (double) i / steps;
                            expected.push_back(model.Tri(patch, a, b, 1 - a - b));
                        }
                } else {
                    for (int i = 1; i < steps; ++i)
                        for (int j = 1; j < steps; ++j)
                            expected.push_back(model.Quad(patch, (double) i / steps, (double) j / steps));
                }
            }
            ASSERT_EQ(mesh->GetVertexCount(), (int) expected.size()) << round << " " << iterations;
            ASSERT_EQ(mesh->GetFaceCount(), faces) << round << " " << iterations;
            int vertices = 0, counted = 0;
            mesh->CountRenderMesh(iterations, &vertices, &counted);
            EXPECT_EQ(vertices, (int) expected.size());
            EXPECT_EQ(counted, faces);
            for (int v = 0; v < mesh->GetVertexCount(); ++v) {
                QxVector got;
                mesh->GetVertexPosition(v, &got);
                ASSERT_NEAR(got.x, expected[(size_t) v].x, 1e-5) << round << " " << iterations << " v" << v;
                ASSERT_NEAR(got.y, expected[(size_t) v].y, 1e-5) << round << " " << iterations << " v" << v;
                ASSERT_NEAR(got.z, expected[(size_t) v].z, 1e-5) << round << " " << iterations << " v" << v;
            }
            // Every face is drawn by the groups, with its winding.
            EXPECT_EQ(GroupTriangles(mesh), FaceTriangles(mesh)) << round << " " << iterations;
            m_Context->DestroyObject(mesh);
        }
    }
}

TEST_F(PatchMeshes, WithoutSubdivisionFacesFollowTheCornerOrder)
{
    RCKPatchMesh* mesh = NewPatchMesh();
    FillIndependentPatches(mesh, {3, 4}, 5);
    mesh->BuildRenderMesh();
    ASSERT_EQ(mesh->GetFaceCount(), 3);
    const CKDWORD* idx = mesh->GetFacesIndices();
    // Triangle (c2, c1, c0); quad (c0, c3, c1), (c1, c3, c2).
    const CKDWORD expected[9] = {2, 1, 0, 3, 6, 4, 4, 6, 5};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(idx[i], expected[i]) << i;
    EXPECT_EQ(mesh->GetMaterialGroup(0)->Type, CKRST_PT_TRIANGLELIST);
    EXPECT_EQ(mesh->GetMaterialGroup(0)->IndexCount, 9);
    mesh->SetIterationCount(1);
    mesh->BuildRenderMesh();
    EXPECT_EQ(mesh->GetMaterialGroup(0)->Type, CKRST_PT_TRIANGLESTRIP);
    // The triangle's strip for one iteration: c0, m2, m0, m1, c1, m1, m1, m2,
    // c2, c2 (m_k the point of side k: the edges' runs in edge order).
    const int c0 = 0, c1 = 1, c2 = 2, m0 = 7, m1 = 8, m2 = 9;
    const int strip[10] = {c0, m2, m0, m1, c1, m1, m1, m2, c2, c2};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(mesh->GetMaterialGroup(0)->Indices[i], strip[i]) << i;
}

TEST_F(PatchMeshes, ACornerRepeatingAVertexTakesItsRenderVertex)
{
    RCKPatchMesh* mesh = NewPatchMesh();
    FillIndependentPatches(mesh, {4, 3}, 8);
    // The quad's last corner on its first vertex, the triangle's last on its
    // second.
    CKPatch quad, triangle;
    mesh->GetPatch(0, &quad);
    mesh->GetPatch(1, &triangle);
    quad.v[3] = quad.v[0];
    triangle.v[2] = triangle.v[1];
    mesh->SetPatch(0, quad);
    mesh->SetPatch(1, triangle);
    mesh->BuildRenderMesh();
    ASSERT_EQ(mesh->GetFaceCount(), 3);
    const CKDWORD* idx = mesh->GetFacesIndices();
    // Quad (c0, c3, c1), (c1, c3, c2) with c3 = c0; triangle (c2, c1, c0)
    // with c2 = c1.
    const CKDWORD expected[9] = {0, 0, 1, 1, 0, 2, 5, 5, 4};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(idx[i], expected[i]) << i;
}

TEST_F(PatchMeshes, ASmoothSharedSideIsWrittenOnce)
{
    for (int iterations : {0, 1, 3}) {
        RCKPatchMesh* mesh = TwoTriangles(1, 3);
        TextureTwoTriangles(mesh, false);
        mesh->SetIterationCount(iterations);
        mesh->BuildRenderMesh();
        const int steps = iterations + 1;
        EXPECT_TRUE(mesh->IsEdgeShared(1));
        EXPECT_EQ(mesh->GetDuplicateCount(), 0);
        EXPECT_EQ(mesh->GetVertexCount(), 4 + 5 * (steps - 1) + 2 * (steps - 1) * (steps - 2) / 2);
        EXPECT_EQ(mesh->GetCornerVertex(1, 0), mesh->GetCornerVertex(0, 2));
        EXPECT_EQ(mesh->GetCornerVertex(1, 1), mesh->GetCornerVertex(0, 1));
        const int faces = steps * steps;
        std::set<int> a = VerticesOfFaces(mesh, 0, faces), b = VerticesOfFaces(mesh, faces, faces), both;
        std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::inserter(both, both.end()));
        EXPECT_EQ((int) both.size(), 2 + (steps - 1)) << iterations;
        m_Context->DestroyObject(mesh);
    }
}

TEST_F(PatchMeshes, AHardSideGetsASecondRunAndDuplicatedEnds)
{
    const int iterations = 2, steps = 3;
    RCKPatchMesh* smooth = TwoTriangles(1, 1);
    smooth->SetIterationCount(iterations);
    smooth->BuildRenderMesh();
    RCKPatchMesh* hard = TwoTriangles(1, 2);
    hard->SetIterationCount(iterations);
    hard->BuildRenderMesh();
    EXPECT_FALSE(hard->IsEdgeShared(1));
    EXPECT_EQ(hard->GetDuplicateCount(), 2);
    EXPECT_EQ(hard->GetVertexCount(), smooth->GetVertexCount() + (steps - 1) + 2);
    const int faces = steps * steps;
    std::set<int> a = VerticesOfFaces(hard, 0, faces), b = VerticesOfFaces(hard, faces, faces), both;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::inserter(both, both.end()));
    EXPECT_TRUE(both.empty());
    // The duplicates stand where their sources do, and the second run where
    // the first does.
    // Vertex 1 is met first: duplicate 4 is its, 5 vertex 2's.
    for (int d = 0; d < 2; ++d) {
        QxVector dup, source;
        hard->GetVertexPosition(4 + d, &dup);
        hard->GetVertexPosition(1 + d, &source);
        EXPECT_EQ(dup, source) << d;
    }
    // Hard: the normals of the two sides are not merged.
    QxVector na, nb;
    hard->GetVertexNormal(1, &na);
    hard->GetVertexNormal(hard->GetCornerVertex(1, 1), &nb);
    EXPECT_GT(QxMagnitude(na - nb), 1e-3f);
}

TEST_F(PatchMeshes, ATextureSeamGetsTwoRunsWithTheSameNormals)
{
    const int iterations = 3, steps = 4;
    RCKPatchMesh* mesh = TwoTriangles(1, 1);
    TextureTwoTriangles(mesh, true);
    mesh->SetIterationCount(iterations);
    mesh->BuildRenderMesh();
    EXPECT_FALSE(mesh->IsEdgeShared(1));
    ASSERT_EQ(mesh->GetDuplicateCount(), 2);
    // Runs: e0 at 6, e1 twice at 9 and 12, e2, e3, e4.
    const int dups = 2, first = 4 + dups + (steps - 1), second = first + (steps - 1);
    for (int i = 0; i < steps - 1; ++i) {
        QxVector p1, p2, n1, n2;
        mesh->GetVertexPosition(first + i, &p1);
        mesh->GetVertexPosition(second + i, &p2);
        mesh->GetVertexNormal(first + i, &n1);
        mesh->GetVertexNormal(second + i, &n2);
        // Each run is evaluated from its own patch, whose side runs the other
        // way: the same point up to rounding.
        EXPECT_NEAR(QxMagnitude(p1 - p2), 0.0f, 1e-6f) << i;
        EXPECT_EQ(n1, n2) << i;
        EXPECT_NEAR(QxMagnitude(n1), 1.0f, 1e-5f);
        // The coordinates differ: each run is its own patch's.
        float u1, v1, u2, v2;
        mesh->GetVertexTextureCoordinates(first + i, &u1, &v1);
        mesh->GetVertexTextureCoordinates(second + i, &u2, &v2);
        EXPECT_NE(std::make_pair(u1, v1), std::make_pair(u2, v2)) << i;
    }
    for (int d = 0; d < 2; ++d) {
        QxVector dup, source;
        const int src = 1 + d;
        mesh->GetVertexNormal(4 + d, &dup);
        mesh->GetVertexNormal(src, &source);
        EXPECT_EQ(dup, source) << d;
    }
    // Corner coordinates come from each patch's texture patch.
    float u, v;
    mesh->GetVertexTextureCoordinates(mesh->GetCornerVertex(1, 0), &u, &v);
    EXPECT_EQ(u, 0.0f);
    EXPECT_EQ(v, 0.5f);
    mesh->GetVertexTextureCoordinates(mesh->GetCornerVertex(0, 2), &u, &v);
    EXPECT_EQ(u, 0.0f);
    EXPECT_EQ(v, 1.0f);
}

TEST_F(PatchMeshes, TooFineASubdivisionIsLoweredToTheLargestThatFits)
{
    RCKPatchMesh* mesh = NewPatchMesh();
    std::vector<int> types(200);
    for (size_t i = 0; i < types.size(); ++i)
        types[i] = i % 3 ? 4 : 3;
    FillIndependentPatches(mesh, types, 9);
    mesh->SetIterationCount(30);
    // The largest count whose vertices and faces stay below the limits, by
    // the counting rule.
    int expected = 30;
    auto fits = [&](int n) {
        const long long s = n + 1;
        long long v = mesh->GetVertCount(), f = 0;
        for (int t : types) {
            const int corners = t == 3 ? 3 : 4;
            v += corners * (s - 1) + (t == 3 ? (s - 1) * (s - 2) / 2 : (s - 1) * (s - 1));
            f += (t == 3 ? 1 : 2) * s * s;
        }
        return v < 65000 && f < 30000;
    };
    while (expected > 0 && !fits(expected))
        --expected;
    mesh->BuildRenderMesh();
    EXPECT_EQ(mesh->GetIterationCount(), expected);
    EXPECT_GT(expected, 0);
    EXPECT_LT(mesh->GetVertexCount(), 65000);
    EXPECT_LT(mesh->GetFaceCount(), 30000);
    EXPECT_FALSE(fits(expected + 1));
    // A count far past any that fits gives the same.
    mesh->SetIterationCount(0x7FFFFFFF);
    mesh->BuildRenderMesh();
    EXPECT_EQ(mesh->GetIterationCount(), expected);
}

TEST_F(PatchMeshes, UnusedControlPointsStillGiveVerticesAndOneMessage)
{
    std::vector<std::string> console;
    m_Context->SetInterfaceMode(
        TRUE,
        [](CKUICallbackStruct& message, void* data) -> CKERROR {
            if (message.Reason == CKUIM_OUTTOCONSOLE)
                static_cast<std::vector<std::string>*>(data)->push_back(reinterpret_cast<const char*>(message.Param2));
            return CKErr::Ok;
        },
        &console);
    for (int i = 0; i < 2; ++i) {
        RCKPatchMesh* mesh = TwoTriangles(1, 2);
        // Five more control vertices that no patch uses.
        std::vector<QxVector> points(mesh->GetVerts(), mesh->GetVerts() + 20);
        mesh->SetVertVecCount(9, 16);
        for (int v = 0; v < 4; ++v)
            mesh->SetVert(v, points[(size_t) v]);
        mesh->SetVert(7, QxVector(5, 6, 7));
        for (int w = 0; w < 16; ++w)
            mesh->SetVec(w, points[(size_t) (4 + w)]);
        mesh->BuildRenderMesh();
        QxVector unused;
        mesh->GetVertexPosition(7, &unused);
        EXPECT_EQ(unused, QxVector(5, 6, 7));
    }
    m_Context->SetInterfaceMode(FALSE, nullptr, nullptr);
    ASSERT_EQ(console.size(), 1u);
    EXPECT_EQ(console[0], "Patch Mesh two is invalid (some control points are not used at all). Check the model in "
                          "the DCC tool");
}

TEST_F(PatchMeshes, RebuildsOnlyWhenSomethingChanged)
{
    RCKPatchMesh* mesh = NewPatchMesh();
    FillIndependentPatches(mesh, {4}, 3);
    mesh->SetIterationCount(2);
    mesh->BuildRenderMesh();
    EXPECT_EQ(mesh->GetPatchFlags() & 0x5, 0x5u);
    // Something written into the render mesh behind its back stays: nothing
    // is rebuilt while the flag says up to date.
    mesh->SetVertexPosition(0, QxVector(9, 9, 9));
    mesh->BuildRenderMesh();
    QxVector p;
    mesh->GetVertexPosition(0, &p);
    EXPECT_EQ(p, QxVector(9, 9, 9));
    mesh->SetVert(0, QxVector(1, 2, 3));
    mesh->BuildRenderMesh();
    mesh->GetVertexPosition(0, &p);
    EXPECT_EQ(p, QxVector(1, 2, 3));
    // The same count changes nothing; a negative one stores 0.
    mesh->SetIterationCount(2);
    EXPECT_TRUE(mesh->GetPatchFlags() & CK_PATCHMESH_UPTODATE);
    mesh->SetIterationCount(-4);
    EXPECT_EQ(mesh->GetIterationCount(), 0);
    EXPECT_FALSE(mesh->GetPatchFlags() & CK_PATCHMESH_UPTODATE);
}

TEST_F(PatchMeshes, MaterialsMakeGroupsAndUnusedGroupsGo)
{
    CKMaterial* red = NewMaterial("red");
    CKMaterial* blue = NewMaterial("blue");
    RCKPatchMesh* mesh = NewPatchMesh();
    FillIndependentPatches(mesh, {3, 4, 4, 3}, 8);
    mesh->SetPatchMaterial(1, red);
    mesh->SetPatchMaterial(2, blue);
    mesh->SetPatchMaterial(3, red);
    mesh->SetIterationCount(2);
    mesh->BuildRenderMesh();
    ASSERT_EQ(mesh->GetMaterialGroupCount(), 3);
    EXPECT_EQ(mesh->GetMaterialGroup(1)->Material, red);
    EXPECT_EQ(mesh->GetMaterialGroup(2)->Material, blue);
    EXPECT_EQ(mesh->GetFaceMaterial(0), nullptr);
    EXPECT_EQ(mesh->GetFaceMaterial(9), red);
    EXPECT_EQ(mesh->GetFaceMaterial(9 + 18), blue);
    EXPECT_EQ(GroupTriangles(mesh), FaceTriangles(mesh));
    // Blue gone: its group is removed and the faces of the later groups
    // follow.
    mesh->SetPatchMaterial(2, red);
    mesh->BuildRenderMesh();
    ASSERT_EQ(mesh->GetMaterialGroupCount(), 2);
    EXPECT_EQ(mesh->GetFaceMaterial(9 + 18), red);
    EXPECT_EQ(GroupTriangles(mesh), FaceTriangles(mesh));
    // No face in group 0: it draws nothing.
    mesh->SetPatchMaterial(0, red);
    mesh->BuildRenderMesh();
    EXPECT_EQ(mesh->GetMaterialGroup(0)->VertexCount, 0);
    EXPECT_EQ(mesh->GetMaterialGroup(0)->IndexCount, 0);
    EXPECT_EQ(GroupTriangles(mesh), FaceTriangles(mesh));
}

TEST_F(PatchMeshes, ChannelsFollowTheirRecords)
{
    CKMaterial* detail = NewMaterial("detail");
    RCKPatchMesh* mesh = TwoTriangles(1, 1);
    TextureTwoTriangles(mesh, false);
    EXPECT_EQ(mesh->AddChannel(detail, TRUE), 0);
    EXPECT_EQ(mesh->AddChannel(detail, TRUE), 0) << "a material's channel is found, not added";
    EXPECT_EQ(mesh->GetChannelCount(), 1);
    EXPECT_EQ(mesh->GetTexturePatchCount(0), 2);
    EXPECT_EQ(mesh->GetTextureVertexCount(0), 6);
    mesh->SetTextureVertex(3, 0.25f, 0.75f, 0);
    mesh->SetChannelSourceBlend(0, 5);
    mesh->LitChannel(0, FALSE);
    mesh->SetIterationCount(1);
    mesh->BuildRenderMesh();
    ASSERT_EQ(mesh->RCKMesh::GetChannelCount(), 1);
    EXPECT_EQ(mesh->RCKMesh::GetChannelSourceBlend(0), 5);
    EXPECT_FALSE(mesh->RCKMesh::IsChannelLit(0));
    EXPECT_EQ(mesh->RCKMesh::GetChannelMaterial(0), detail);
    float u, v;
    mesh->GetVertexTextureCoordinates(3, &u, &v, 0);
    EXPECT_EQ(u, 0.25f);
    EXPECT_EQ(v, 0.75f);
    mesh->GetVertexTextureCoordinates(3, &u, &v, -1);
    EXPECT_EQ(u, 1.0f);
    mesh->RemoveChannel(0);
    EXPECT_EQ(mesh->GetChannelCount(), 0);
    mesh->BuildRenderMesh();
    EXPECT_EQ(mesh->RCKMesh::GetChannelCount(), 0);
}

TEST_F(PatchMeshes, AccessorsIgnoreIndicesOutOfRange)
{
    RCKPatchMesh* mesh = NewPatchMesh();
    FillIndependentPatches(mesh, {3}, 1);
    CKPatch patch;
    mesh->GetPatch(0, &patch);
    EXPECT_EQ(patch.auxPoints, nullptr);
    mesh->BuildRenderMesh();
    EXPECT_NE(mesh->GetPatches()[0].auxPoints, nullptr);
    mesh->GetPatch(0, &patch);
    EXPECT_EQ(patch.auxPoints, nullptr) << "never handed out";
    QxVector p(7, 7, 7);
    mesh->GetVert(3, &p);
    mesh->GetVec(-1, &p);
    EXPECT_EQ(p, QxVector(7, 7, 7));
    mesh->SetVert(3, QxVector());
    mesh->SetEdge(3, CKPatchEdge());
    EXPECT_EQ(mesh->GetPatchSmoothingGroup(5), 0u);
    EXPECT_EQ(mesh->GetPatchMaterial(5), nullptr);
    EXPECT_EQ(mesh->GetTexturePatchCount(4), 0);
    EXPECT_EQ(mesh->GetTextureVertices(4), nullptr);
    EXPECT_EQ(mesh->UnimplementedPatchOp1(0), CKErr::NotImplemented);
    EXPECT_EQ(mesh->UnimplementedPatchOp2(0, 0), CKErr::NotImplemented);
    // An edge naming a vertex that does not exist: nothing is built.
    CKPatchEdge edge;
    mesh->GetEdge(0, &edge);
    edge.endVertex = 40;
    mesh->SetEdge(0, edge);
    mesh->SetVert(0, QxVector(3, 3, 3));
    mesh->BuildRenderMesh();
    EXPECT_FALSE(mesh->GetPatchFlags() & CK_PATCHMESH_UPTODATE);
    // Clean and clear.
    edge.endVertex = 1;
    mesh->SetEdge(0, edge);
    mesh->BuildRenderMesh();
    EXPECT_GT(mesh->GetVertexCount(), 0);
    mesh->CleanRenderMesh();
    EXPECT_EQ(mesh->GetVertexCount(), 0);
    EXPECT_EQ(mesh->GetFaceCount(), 0);
    mesh->Clear();
    EXPECT_EQ(mesh->GetVertCount(), 0);
    EXPECT_EQ(mesh->GetPatchCount(), 0);
    EXPECT_EQ(mesh->GetEdgeCount(), 3) << "the edges stay";
    EXPECT_EQ(mesh->GetPatchFlags(), (CKDWORD) CK_PATCHMESH_BUILDNORMALS);
}

TEST_F(PatchMeshes, AutoSmoothPutsTheHandlesInTheTangentPlanes)
{
    RCKPatchMesh* mesh = NewPatchMesh();
    FillIndependentPatches(mesh, {4}, 2);
    // A flat square in z = 0: every handle must come into the plane.
    const QxVector corners[4] = {QxVector(0, 0, 0), QxVector(0, 1, 0), QxVector(1, 1, 0), QxVector(1, 0, 0)};
    for (int i = 0; i < 4; ++i)
        mesh->SetVert(i, corners[i]);
    mesh->SetPatchFlags(mesh->GetPatchFlags() | CK_PATCHMESH_AUTOSMOOTH);
    mesh->BuildRenderMesh();
    for (int e = 0; e < 4; ++e) {
        const CKPatchEdge& edge = mesh->GetEdges()[e];
        const QxVector p = corners[edge.startVertex], q = corners[edge.endVertex];
        QxVector a, b;
        mesh->GetVec(edge.startVector, &a);
        mesh->GetVec(edge.endVector, &b);
        EXPECT_NEAR(QxMagnitude(a - (p + (q - p) * 0.333f)), 0.0f, 1e-6f) << e;
        EXPECT_NEAR(QxMagnitude(b - (q - (q - p) * 0.333f)), 0.0f, 1e-6f) << e;
    }
}

} // namespace

namespace {

TEST_F(PatchMeshes, APatchOfAnotherTypeKeepsItsCornersAndDrawsNothing)
{
    RCKPatchMesh* mesh = NewPatchMesh();
    FillIndependentPatches(mesh, {4, 3}, 21);
    CKPatch other;
    mesh->GetPatch(0, &other);
    other.type = 5;
    // Its handles and interiors are never read: they may name anything.
    for (short& i : other.interior)
        i = 999;
    for (short& i : other.vec)
        i = -2;
    mesh->SetPatch(0, other);
    mesh->SetIterationCount(2);
    mesh->BuildRenderMesh();
    EXPECT_TRUE(mesh->GetPatchFlags() & CK_PATCHMESH_UPTODATE);
    EXPECT_EQ(mesh->GetFaceCount(), 9) << "the triangle's faces only";
    int vertices = 0;
    mesh->CountRenderMesh(2, &vertices, nullptr);
    EXPECT_EQ(mesh->GetVertexCount(), vertices);
    // The other patch's sides still get their points, at the origin.
    QxVector p;
    mesh->GetVertexPosition(7, &p);
    EXPECT_EQ(p, QxVector(0, 0, 0));
}

} // namespace

namespace {

TEST_F(PatchMeshes, ANewTextureSeamSplitsTheSideAtTheNextRebuild)
{
    RCKPatchMesh* mesh = TwoTriangles(1, 1);
    TextureTwoTriangles(mesh, false);
    mesh->SetIterationCount(1);
    mesh->BuildRenderMesh();
    EXPECT_TRUE(mesh->IsEdgeShared(1));
    EXPECT_EQ(mesh->GetDuplicateCount(), 0);
    // B's corners on the shared side take texture vertices of their own.
    CKTexturePatch b;
    mesh->GetTexturePatch(1, &b);
    b.tv[0] = 5;
    b.tv[1] = 4;
    mesh->SetTexturePatch(1, b);
    mesh->ModifierUVMove();
    mesh->BuildRenderMesh();
    EXPECT_FALSE(mesh->IsEdgeShared(1));
    EXPECT_EQ(mesh->GetDuplicateCount(), 2);
}

} // namespace

namespace {

TEST_F(PatchMeshes, ModifierVerticesAreTheControlPointsVerticesFirst)
{
    RCKPatchMesh* mesh = NewPatchMesh();
    FillIndependentPatches(mesh, {3}, 6);
    const int count = mesh->GetModifierVertexCount();
    ASSERT_EQ(count, mesh->GetVertCount() + mesh->GetVecCount());
    CKDWORD stride = 0;
    EXPECT_EQ(mesh->GetModifierVertices(&stride), (void*) mesh->GetVerts());
    EXPECT_EQ(stride, sizeof(QxVector));
    for (int i : {0, 2, 3, count - 1}) {
        const QxVector p((float) i, 1.0f, -2.0f);
        mesh->SetModifierVertex(i, p);
        QxVector got;
        mesh->GetModifierVertex(i, &got);
        EXPECT_EQ(got, p) << i;
        if (i < mesh->GetVertCount()) {
            EXPECT_EQ(mesh->GetVerts()[i], p);
        } else {
            EXPECT_EQ(mesh->GetVecs()[i - mesh->GetVertCount()], p);
        }
    }
    // Past either end: nothing written, nothing read.
    const std::vector<QxVector> before(mesh->GetVerts(), mesh->GetVerts() + count);
    QxVector untouched(9, 9, 9);
    for (int i : {-1, count}) {
        mesh->SetModifierVertex(i, QxVector(5, 5, 5));
        mesh->GetModifierVertex(i, &untouched);
    }
    EXPECT_EQ(untouched, QxVector(9, 9, 9));
    EXPECT_EQ(std::vector<QxVector>(mesh->GetVerts(), mesh->GetVerts() + count), before);
    // A move asks for a rebuild, with normals or without.
    mesh->BuildRenderMesh();
    EXPECT_NE(mesh->GetPatchFlags() & CK_PATCHMESH_UPTODATE, 0u);
    mesh->ModifierVertexMove(TRUE, FALSE);
    EXPECT_EQ(mesh->GetPatchFlags() & CK_PATCHMESH_UPTODATE, 0u);
    EXPECT_NE(mesh->GetPatchFlags() & CK_PATCHMESH_BUILDNORMALS, 0u);
    mesh->ModifierVertexMove(FALSE, FALSE);
    EXPECT_EQ(mesh->GetPatchFlags() & CK_PATCHMESH_BUILDNORMALS, 0u);
}

TEST_F(PatchMeshes, AccessorsStopAtTheirBounds)
{
    AssertCapture asserts;
    RCKPatchMesh* mesh = NewPatchMesh();
    FillIndependentPatches(mesh, {3}, 2);
    mesh->BuildRenderMesh();
    QxVector p(7, 7, 7);
    mesh->GetVert(mesh->GetVertCount(), &p);
    mesh->GetVec(mesh->GetVecCount(), &p);
    EXPECT_EQ(p, QxVector(7, 7, 7));
    EXPECT_EQ(mesh->GetCornerVertex(1, 1), -1);
    EXPECT_EQ(mesh->GetCornerVertex(1, 3), -1);
    EXPECT_EQ(mesh->GetCornerVertex(0, 2), 2);
    // Asked for a patch that does not exist, or whose corner names no vertex:
    // nothing is computed.
    mesh->ComputePatchAuxPoints(1);
    mesh->ComputePatchInteriors(1);
    CKPatch patch;
    mesh->GetPatch(0, &patch);
    const QxVector before = mesh->GetVecs()[patch.interior[0]];
    mesh->SetVec(patch.interior[0], QxVector(1, 2, 3));
    patch.v[1] = (short) mesh->GetVertCount();
    mesh->SetPatch(0, patch);
    mesh->ComputePatchInteriors(0);
    EXPECT_EQ(mesh->GetVecs()[patch.interior[0]], QxVector(1, 2, 3));
    EXPECT_NE(before, QxVector(1, 2, 3));
    // The mesh's own texture data is channel -1.
    mesh->SetTextureVertexCount(3);
    EXPECT_EQ(mesh->GetTextureVertexCount(), 3);
    mesh->SetTextureVertex(2, 0.5f, 0.75f);
    float u = 0, v = 0;
    mesh->GetTextureVertex(2, &u, &v);
    EXPECT_EQ(u, 0.5f);
    EXPECT_EQ(v, 0.75f);
    EXPECT_EQ(mesh->GetChannelFlags(-1), 0u);
    // Counts at their largest and one past.
    mesh->SetTextureVertexCount(0x10000);
    EXPECT_EQ(mesh->GetTextureVertexCount(), 0x10000);
    mesh->SetTextureVertexCount(0x10001);
    EXPECT_EQ(mesh->GetTextureVertexCount(), 0x10000);
    mesh->SetTexturePatchCount(0x8000);
    EXPECT_EQ(mesh->GetTexturePatchCount(), 0x8000);
    mesh->SetTexturePatchCount(0x8001);
    EXPECT_EQ(mesh->GetTexturePatchCount(), 0x8000);
    mesh->SetPatchCount(0x8001);
    EXPECT_EQ(mesh->GetPatchCount(), 1);
    mesh->SetEdgeCount(0x10000);
    EXPECT_EQ(mesh->GetEdgeCount(), 0x10000);
    mesh->SetEdgeCount(0x10001);
    EXPECT_EQ(mesh->GetEdgeCount(), 0x10000);
    mesh->SetVertVecCount(1, 0x10000);
    EXPECT_EQ(mesh->GetVecCount(), 0x10000);
    mesh->SetVertVecCount(1, 0x10001);
    EXPECT_EQ(mesh->GetVecCount(), 0x10000);
    mesh->SetVertVecCount(0x10001, 1);
    EXPECT_EQ(mesh->GetVertCount(), 1);
    EXPECT_TRUE(asserts.Texts().empty()) << asserts.Texts()[0];
}

} // namespace

namespace {

TEST_F(PatchMeshes, MoreVerticesThanSixteenBitIndicesLeaveTheGroupsToTheOrdinaryBuild)
{
    // 130 x 130 quads whose neighbours share no smoothing group: every
    // corner its own render vertex, 67,600 of them without subdivision.
    const int n = 130;
    RCKPatchMesh* mesh = NewPatchMesh();
    const int vertices = (n + 1) * (n + 1);
    mesh->SetVertVecCount(vertices, 6);
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x)
            mesh->SetVert(y * (n + 1) + x, QxVector((float) x, (float) y, 0.0f));
    // Two handles shared by every edge, four interiors by every patch.
    const int across = n * (n + 1);
    mesh->SetEdgeCount(2 * across);
    mesh->SetPatchCount(n * n);
    std::vector<bool> seen((size_t) (2 * across), false);
    auto horizontal = [&](int x, int y) { return y * n + x; };        // (x, y) - (x + 1, y)
    auto vertical = [&](int x, int y) { return across + x * n + y; }; // (x, y) - (x, y + 1)
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const int v0 = y * (n + 1) + x;
            CKPatch patch;
            patch.type = 4;
            patch.smoothing = 1u << ((y % 2) * 2 + x % 2);
            const short corners[4] = {(short) v0, (short) (v0 + n + 1), (short) (v0 + n + 2), (short) (v0 + 1)};
            const int sides[4] = {vertical(x, y), horizontal(x, y + 1), vertical(x + 1, y), horizontal(x, y)};
            for (int k = 0; k < 4; ++k) {
                patch.v[k] = corners[k];
                patch.vec[2 * k] = 0;
                patch.vec[2 * k + 1] = 1;
                patch.interior[k] = (short) (2 + k);
                patch.edge[k] = (short) sides[k];
                CKPatchEdge edge;
                mesh->GetEdge(sides[k], &edge);
                edge.startVertex = corners[k];
                edge.endVertex = corners[(k + 1) % 4];
                edge.startVector = 0;
                edge.endVector = 1;
                // The first patch at an edge is its first, the next its second.
                if (!seen[(size_t) sides[k]])
                    edge.patch1 = (short) (y * n + x);
                else
                    edge.patch2 = (short) (y * n + x);
                seen[(size_t) sides[k]] = true;
                mesh->SetEdge(sides[k], edge);
            }
            mesh->SetPatch(y * n + x, patch);
        }
    mesh->BuildRenderMesh();
    ASSERT_TRUE(mesh->GetPatchFlags() & CK_PATCHMESH_UPTODATE);
    EXPECT_EQ(mesh->GetVertexCount(), 4 * n * n);
    EXPECT_EQ(mesh->GetFaceCount(), 2 * n * n);
    // No 16-bit list was written; the ordinary build splits the groups.
    EXPECT_EQ(mesh->GetMaterialGroup(0)->Indices.Size(), 0);
    EXPECT_FALSE(mesh->GetFlags() & CKMESH_OPTIMIZED);
    EXPECT_EQ(mesh->BuildMaterialGroups(), 1);
    EXPECT_GE(mesh->GetMaterialGroup(0)->SubPrimitives.Size(), 1);
}

} // namespace
