#include "tools/testdata/CubeEntity.h"

#include "core/context/CKContext.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"

CK3dEntity* CreateCubeEntity(CKContext* context)
{
    auto* mesh = static_cast<CKMesh*>(context->CreateObject(CKCID_MESH, "cube"));
    mesh->SetVertexCount(8);
    for (int v = 0; v < 8; ++v)
        mesh->SetVertexPosition(v, QxVector(v & 1 ? 1.f : -1.f, v & 2 ? 1.f : -1.f, v & 4 ? 1.f : -1.f));
    static const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                     {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    mesh->SetFaceCount(12);
    for (int f = 0; f < 12; ++f)
        mesh->SetFaceVertexIndex(f, faces[f][0], faces[f][1], faces[f][2]);
    mesh->BuildFaceNormals();
    auto* entity = static_cast<CK3dEntity*>(context->CreateObject(CKCID_3DOBJECT, "cube"));
    entity->SetCurrentMesh(mesh);
    return entity;
}
