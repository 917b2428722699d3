#include "tools/blockharness/BlockWorld.h"

#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKRenderContext.h"
#include "core/context/CKRenderManager.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "core/scene/CKSceneObjectDesc.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKLight.h"
#include "tools/testdata/TestPatches.h"

namespace {

template <class T>
T* Make(CKContext* context, CK_CLASSID cid, const char* name)
{
    return static_cast<T*>(context->CreateObject(cid, name));
}

// An object holding the mesh, both in the level, the mesh's state kept.
CK3dEntity* Holder(BlockWorld& w, const char* name, CKMesh* mesh)
{
    auto* object = Make<CK3dEntity>(w.Context, CKCID_3DOBJECT, name);
    object->SetCurrentMesh(mesh, TRUE);
    w.Level->AddObject(object);
    w.Level->AddObject(mesh);
    if (CKSceneObjectDesc* desc = w.Scene ? w.Scene->GetSceneObjectDesc(mesh) : nullptr)
        desc->SetInitialValue(CKSaveObjectState(mesh));
    return object;
}

} // namespace

void FillBlockLattice(CKMesh* mesh, int side, bool prelit)
{
    const int n = side < 2 ? 2 : side;
    const float step = 2.0f / (float) (n - 1);
    mesh->SetVertexCount(n * n * n);
    for (int k = 0; k < n; ++k)
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const int v = (k * n + j) * n + i;
                mesh->SetVertexPosition(
                    v, QxVector(-1.0f + step * (float) i, -1.0f + step * (float) j, -1.0f + step * (float) k));
                mesh->SetVertexTextureCoordinates(v, -0.25f + 1.25f * (float) i / (float) (n - 1),
                                                  -0.25f + 1.25f * (float) (j + k) / (float) (2 * n - 2));
                if (prelit)
                    mesh->SetVertexColor(v, 0xFF000000u | (CKDWORD) (v * 2654435761u >> 8));
            }
    mesh->SetFaceCount(2 * (n - 1) * (n - 1) * n);
    int f = 0;
    for (int k = 0; k < n; ++k)
        for (int j = 0; j + 1 < n; ++j)
            for (int i = 0; i + 1 < n; ++i) {
                const int v = (k * n + j) * n + i;
                mesh->SetFaceVertexIndex(f++, v, v + 1, v + n);
                mesh->SetFaceVertexIndex(f++, v + 1, v + n + 1, v + n);
            }
    mesh->BuildNormals();
    mesh->SetLitMode(prelit ? 0 : 1);
}

BlockWorld MakeBlockWorld(CKContext* context)
{
    BlockWorld w;
    w.Context = context;
    w.Level = Make<CKLevel>(context, CKCID_LEVEL, "Level");
    context->SetCurrentLevel(w.Level);
    w.Scene = context->GetCurrentScene();
    QxIntRect rect{0, 0, 64, 48};
    if (CKRenderManager* renderer = context->GetRenderManager())
        w.Dev = renderer->CreateRenderContext(nullptr, 0, &rect);
    if (w.Dev) {
        auto* camera = Make<CKCamera>(context, CKCID_CAMERA, "Camera");
        camera->SetPosition3f(0.0f, 0.0f, -10.0f);
        w.Dev->AttachViewpointToCamera(camera);
    }
    w.Material = Make<CKMaterial>(context, CKCID_MATERIAL, "Material");
    w.Material->SetPower(4.0f);
    auto* lattice = Make<CKMesh>(context, CKCID_MESH, "Lattice");
    FillBlockLattice(lattice, 4, false);
    for (int f = 0; f < lattice->GetFaceCount(); f += 2)
        lattice->SetFaceMaterial(f, w.Material);
    w.Object = Holder(w, "Object", lattice);
    auto* patch = Make<CKPatchMesh>(context, CKCID_PATCHMESH, "Patch");
    FillIndependentPatches(patch, {4, 3, 4}, 5);
    patch->SetIterationCount(1);
    w.PatchObject = Holder(w, "PatchObject", patch);
    auto* second = Make<CKMesh>(context, CKCID_MESH, "Second");
    FillBlockLattice(second, 4, false);
    w.Joined = Holder(w, "Joined", second);
    w.Joined->SetPosition3f(0.05f, 0.0f, 0.0f);
    w.Bare = Make<CK3dEntity>(context, CKCID_3DOBJECT, "Bare");
    w.Loose = Make<CKMesh>(context, CKCID_MESH, "Loose");
    FillBlockLattice(w.Loose, 3, true);
    w.Texture = Make<CKTexture>(context, CKCID_TEXTURE, "Texture");
    if (w.Texture->Create(8, 4, 32))
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x)
                w.Texture->SetPixel(x, y, 0x01010101u * (CKDWORD) (x * 16 + y * 40));
    w.Light = Make<CKLight>(context, CKCID_TARGETLIGHT, "Light");
    w.Light->SetType(1);
    w.Light->SetRange(50.0f);
    w.Light->SetSpecularFlag(TRUE);
    w.Light->SetPosition3f(2.0f, 3.0f, -4.0f);
    w.Level->AddObject(w.Light);
    if (w.Scene)
        w.Scene->ActivateObject(w.Light, FALSE);
    return w;
}

CKBeObject* BlockWorldOwner(const BlockWorld& world, CK_CLASSID compatible)
{
    if (compatible == CKCID_MESH)
        return world.Loose;
    if (compatible == CKCID_PATCHMESH)
        return world.PatchObject->GetCurrentMesh();
    return world.Object;
}
