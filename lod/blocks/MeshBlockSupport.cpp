#include "lod/blocks/MeshBlockSupport.h"

#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/scene/CKScene.h"
#include "includes/CKByteOrder.h"
#include "lod/blocks/BlockParameters.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"

namespace {

VectorSpan Span(void* data, CKDWORD stride, int count)
{
    VectorSpan span;
    if (!data || count <= 0 || stride < sizeof(QxVector))
        return span;
    span.Data = static_cast<CKBYTE*>(data);
    span.Stride = stride;
    span.Count = count;
    return span;
}

} // namespace

VectorSpan ModifierPositions(CKMesh* mesh)
{
    if (!mesh)
        return VectorSpan();
    CKDWORD stride = 0;
    void* data = mesh->GetModifierVertices(&stride);
    return Span(data, stride, mesh->GetModifierVertexCount());
}

VectorSpan MeshPositions(CKMesh* mesh)
{
    if (!mesh)
        return VectorSpan();
    CKDWORD stride = 0;
    void* data = mesh->GetPositionsPtr(&stride);
    return Span(data, stride, mesh->GetVertexCount());
}

VectorSpan MeshNormals(CKMesh* mesh)
{
    if (!mesh)
        return VectorSpan();
    CKDWORD stride = 0;
    void* data = mesh->GetNormalsPtr(&stride);
    return Span(data, stride, mesh->GetVertexCount());
}

CK3dEntity* TargetEntity(CKBehavior* behavior)
{
    CKObject* target = behavior ? behavior->GetTarget() : nullptr;
    return CKIsChildClassOfObject(target, CKCID_3DENTITY) ? static_cast<CK3dEntity*>(target) : nullptr;
}

CKMesh* TargetMesh(CKBehavior* behavior)
{
    CK3dEntity* entity = TargetEntity(behavior);
    return entity ? entity->GetCurrentMesh() : nullptr;
}

CK3dEntity* OwnerEntity(CKBehavior* behavior)
{
    CKObject* owner = behavior ? behavior->GetOwner() : nullptr;
    return CKIsChildClassOfObject(owner, CKCID_3DENTITY) ? static_cast<CK3dEntity*>(owner) : nullptr;
}

CKObject* InputObjectOfClass(CKBehavior* behavior, int n, CK_CLASSID cid)
{
    CKObject* object = behavior ? behavior->GetInputParameterObject(n) : nullptr;
    return CKIsChildClassOfObject(object, cid) ? object : nullptr;
}

CKMesh* LocalMesh(CKBehavior* behavior, int n)
{
    CKObject* object = behavior ? behavior->GetLocalParameterObject(n) : nullptr;
    return CKIsChildClassOfObject(object, CKCID_MESH) ? static_cast<CKMesh*>(object) : nullptr;
}

void PassThrough(CKBehavior* behavior)
{
    behavior->ActivateInput(0, FALSE);
    behavior->ActivateOutput(0, TRUE);
}

bool RestoreFromInitialState(CKScene* scene, CKMesh* mesh, bool whole)
{
    CKStateChunk* state = scene && mesh ? scene->GetObjectInitialValue(mesh) : nullptr;
    if (!state)
        return false;
    const CKERROR error = whole ? CKReadObjectState(mesh, state) : mesh->LoadVertices(state);
    // The positions changed under the mesh's bounds whatever the outcome.
    mesh->VertexMove();
    return error == CKErr::Ok;
}

int RestoreFromSavedPositions(CKBehavior* behavior, int local, CKMesh* mesh)
{
    int size = 0;
    const CKBYTE* data = LocalBuffer(behavior, local, size);
    const int saved = size / 12;
    if (saved <= 0)
        return -1;
    VectorSpan positions = ModifierPositions(mesh);
    const int count = saved < positions.Count ? saved : positions.Count;
    for (int i = 0; i < count; ++i) {
        QxVector& p = positions[i];
        p.x = LoadLEFloat(data + 12 * i);
        p.y = LoadLEFloat(data + 12 * i + 4);
        p.z = LoadLEFloat(data + 12 * i + 8);
    }
    if (count > 0)
        mesh->VertexMove();
    return count;
}

bool RestoreBeforeRun(const CKBehaviorContext& context, CKMesh* mesh, int local, bool whole)
{
    CKBehavior* behavior = context.Behavior;
    if (behavior->GetVersion() < kSceneRestoreVersion) {
        RestoreFromSavedPositions(behavior, local, mesh);
        return false;
    }
    RestoreFromInitialState(RestoreScene(context), mesh, whole);
    return true;
}

CKScene* RestoreScene(const CKBehaviorContext& context)
{
    if (context.CurrentScene)
        return context.CurrentScene;
    return context.Context ? context.Context->GetCurrentScene() : nullptr;
}

int FirstAxis(const QxVector& axis)
{
    for (int i = 0; i < 3; ++i)
        if (axis[i] != 0.0f && axis[i] == axis[i])
            return i;
    return -1;
}

QxBbox ReadBoxLocal(CKBehavior* behavior, int n)
{
    QxBbox box(QxVector(1000000.0f), QxVector(-1000000.0f));
    ReadLocalParameter(behavior, n, box);
    return box;
}

void WriteBoxLocal(CKBehavior* behavior, int n, const QxBbox& box)
{
    CKParameterLocal* local = behavior ? behavior->GetLocalParameter(n) : nullptr;
    if (local && local->GetGUID() == CKPGUID_BOX && local->GetDataSize() == (int) sizeof(QxBbox))
        local->SetValue(&box, (int) sizeof(QxBbox));
}

void BlockConsoleMessage(CKBehavior* behavior, const char* text)
{
    if (CKContext* context = behavior ? behavior->GetCKContext() : nullptr)
        context->OutputToConsole(text, TRUE);
}

CKERROR DeformCallback(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CKMesh* mesh = TargetMesh(behavior);
    if (!mesh)
        return CKErr::Ok;
    switch (context.CallbackMessage) {
    case CKM_BEHAVIORDELETE:
        if (behavior->GetVersion() < kSceneRestoreVersion && RestoreFromSavedPositions(behavior, 0, mesh) >= 0)
            mesh->ModifierVertexMove(TRUE, TRUE);
        break;
    case CKM_BEHAVIORATTACH: WriteBoxLocal(behavior, 1, mesh->GetLocalBox()); break;
    default: break;
    }
    return CKErr::Ok;
}
