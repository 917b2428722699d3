#pragma once

#include <array>
#include <utility>
#include <vector>

#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMaterialGroup.h"
#include "render/mesh/RCKMesh.h"
#include "tests/render/support/RenderTestSupport.h"

using Corners = std::array<int, 3>;

// A triangle with its lowest corner first: the same triangle with the same
// winding gives the same key.
using MeshTriangle = std::array<CKDWORD, 3>;
inline MeshTriangle CanonicalTriangle(CKDWORD a, CKDWORD b, CKDWORD c)
{
    if (b < a && b < c)
        return {b, c, a};
    if (c < a && c < b)
        return {c, a, b};
    return {a, b, c};
}

// The triangles a primitive draws, in mesh vertices, after checking that it
// fits 16-bit indices (meshVertices: the vertices of a primitive without a
// remap).
inline void AddDrawnTriangles(const CK65KPrimitive& p, int meshVertices, std::vector<MeshTriangle>& out)
{
    ASSERT_LE(p.VertexCount, 65535);
    ASSERT_TRUE(p.Remap.Size() == p.VertexCount || (p.Remap.Size() == 0 && p.VertexCount == meshVertices));
    ASSERT_EQ(p.IndexCount, p.Indices.Size());
    for (CKWORD i : p.Indices)
        ASSERT_LT((int) i, p.VertexCount);
    auto mesh = [&](CKWORD i) { return p.Remap.Size() ? p.Remap[i] : (CKDWORD) i; };
    const CKWORD* idx = p.Indices.Begin();
    if (p.Type == CKRST_PT_TRIANGLELIST) {
        ASSERT_EQ(p.IndexCount % 3, 0);
        for (int k = 0; k < p.IndexCount; k += 3)
            out.push_back(CanonicalTriangle(mesh(idx[k]), mesh(idx[k + 1]), mesh(idx[k + 2])));
        return;
    }
    ASSERT_EQ(p.Type, CKRST_PT_TRIANGLESTRIP);
    int used = 0;
    for (int length : p.StripLengths) {
        // Every other triangle of a strip turns; repeated corners draw nothing.
        for (int i = 0; i < length; ++i) {
            CKDWORD a = mesh(idx[used + i]), b = mesh(idx[used + i + 1]), c = mesh(idx[used + i + 2]);
            if (i % 2)
                std::swap(a, b);
            if (a != b && b != c && a != c)
                out.push_back(CanonicalTriangle(a, b, c));
        }
        used += length + 2;
    }
    ASSERT_EQ(used, p.IndexCount);
}

// The render fixture with meshes and materials made through the context.
class MeshFixture : public RenderFixture
{
protected:
    RCKMesh* NewMesh(const char* name = "mesh")
    {
        return static_cast<RCKMesh*>(m_Context->CreateObject(CKCID_MESH, name));
    }
    CKMaterial* NewMaterial(const char* name = "material")
    {
        return static_cast<CKMaterial*>(m_Context->CreateObject(CKCID_MATERIAL, name));
    }
    // A mesh of the vertices (positions (i, 2i, 3i), normals along z, uv
    // (i, -i), diffuse colour 0xFF000000 + i) and faces, face f taking
    // materials[f] when given.
    RCKMesh* MakeMesh(int vertexCount, const std::vector<Corners>& faces,
                      const std::vector<CKMaterial*>& materials = {})
    {
        RCKMesh* mesh = NewMesh();
        mesh->SetVertexCount(vertexCount);
        for (int i = 0; i < vertexCount; ++i) {
            mesh->SetVertexPosition(i, QxVector((float) i, 2.0f * i, 3.0f * i));
            mesh->SetVertexNormal(i, QxVector(0.0f, 0.0f, 1.0f));
            mesh->SetVertexTextureCoordinates(i, (float) i, -(float) i);
            mesh->SetVertexColor(i, 0xFF000000u + (CKDWORD) i);
            mesh->SetVertexSpecularColor(i, (CKDWORD) i);
        }
        mesh->SetFaceCount((int) faces.size());
        for (size_t f = 0; f < faces.size(); ++f) {
            EXPECT_EQ(mesh->SetFaceVertexIndex((int) f, faces[f][0], faces[f][1], faces[f][2]), CKErr::Ok);
            if (f < materials.size())
                mesh->SetFaceMaterial((int) f, materials[f]);
        }
        return mesh;
    }
    // A strip of n quads (2n faces over 2n + 2 vertices).
    static std::vector<Corners> Quads(int n)
    {
        std::vector<Corners> faces;
        for (int q = 0; q < n; ++q) {
            faces.push_back({2 * q, 2 * q + 1, 2 * q + 2});
            faces.push_back({2 * q + 1, 2 * q + 3, 2 * q + 2});
        }
        return faces;
    }
    // The group index of each face, from its record.
    static std::vector<int> FaceGroups(RCKMesh* mesh)
    {
        CKDWORD stride = 0;
        const CKFace* faces = static_cast<const CKFace*>(mesh->GetFaceNormalsPtr(&stride));
        std::vector<int> groups;
        for (int f = 0; f < mesh->GetFaceCount(); ++f)
            groups.push_back(faces[f].MaterialGroup);
        return groups;
    }
};
