// "Multi Mesh Morpher" and "Mesh Morpher".
#include <algorithm>

#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependencies.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "includes/XString.h"
#include "lod/blocks/BlockParameters.h"
#include "lod/blocks/MeshBlockSupport.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/animation/CKSkin.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"

namespace {

// Pairs a morpher keeps at most: a larger "Mesh Count" would make inputs
// without end.
constexpr int kMaxMorphPairs = 256;

CKMesh* InputMesh(CKBehavior* behavior, int n)
{
    return static_cast<CKMesh*>(InputObjectOfClass(behavior, n, CKCID_MESH));
}

} // namespace

int MultiMeshMorpher(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    PassThrough(behavior);
    CK3dEntity* entity = TargetEntity(behavior);
    if (!entity)
        return CKBR_OWNERERROR;
    CKMesh* mesh = entity->GetCurrentMesh();
    CKMesh* neutral = InputMesh(behavior, 0);
    if (!mesh || !neutral)
        return CKBR_PARAMETERERROR;
    const int inputs = behavior->GetInputParameterCount();
    VectorSpan target = ModifierPositions(mesh);
    const VectorSpan base = ModifierPositions(neutral);
    // Every mesh read is read at its own stride, and no further than the
    // smallest of them.
    int count = std::min(target.Count, base.Count);
    for (int i = 2; i < inputs; i += 2)
        if (CKMesh* other = InputMesh(behavior, i))
            count = std::min(count, ModifierPositions(other).Count);
    CKBOOL relative = FALSE;
    ReadLocalParameter(behavior, 2, relative);
    if (relative) {
        for (int v = 0; v < count; ++v)
            target[v] = base[v];
        float w = 1.0f;
        for (int i = 2; i < inputs; i += 2) {
            CKMesh* other = InputMesh(behavior, i);
            if (!other)
                continue;
            ReadInputParameter(behavior, i + 1, w);
            if (w == 0.0f)
                continue;
            const VectorSpan m = ModifierPositions(other);
            for (int v = 0; v < count; ++v)
                target[v] += (m[v] - base[v]) * w;
        }
    } else {
        float sum = 0.0f;
        for (int i = 1; i < inputs; i += 2) {
            float w = 0.0f;
            ReadInputParameter(behavior, i, w);
            sum += w;
        }
        const float s = sum != 0.0f ? 1.0f / sum : 1.0f;
        float first = 0.0f;
        ReadInputParameter(behavior, 1, first);
        for (int v = 0; v < count; ++v)
            target[v] = base[v] * (s * first);
        for (int i = 2; i < inputs; i += 2) {
            CKMesh* other = InputMesh(behavior, i);
            float w = 0.0f;
            if (!other || !ReadInputParameter(behavior, i + 1, w) || w == 0.0f)
                continue;
            const VectorSpan m = ModifierPositions(other);
            const float ws = w * s;
            for (int v = 0; v < count; ++v)
                target[v] += m[v] * ws;
        }
    }
    if (CKSkin* skin = entity->GetSkin()) {
        const int skinned = std::min(skin->GetVertexCount(), count);
        for (int v = 0; v < skinned; ++v)
            if (CKSkinVertexData* data = skin->GetVertexData(v))
                data->SetInitialPos(target[v]);
    }
    CKBOOL normals = TRUE;
    ReadLocalParameter(behavior, 1, normals);
    mesh->ModifierVertexMove(normals, TRUE);
    return CKBR_OK;
}

CKERROR MultiMeshMorpherCallback(const CKBehaviorContext& context)
{
    if (context.CallbackMessage != CKM_BEHAVIORSETTINGSEDITED)
        return CKErr::Ok;
    CKBehavior* behavior = context.Behavior;
    int wanted = 2;
    ReadLocalParameter(behavior, 0, wanted);
    if (wanted < 2 || wanted > kMaxMorphPairs) {
        wanted = wanted < 2 ? 2 : kMaxMorphPairs;
        behavior->SetLocalParameterValue(0, &wanted, (int) sizeof wanted);
    }
    const CKGUID meshType = CKGetClassParameterGuid(CKCID_MESH);
    while (behavior->GetInputParameterCount() / 2 < wanted) {
        const int pair = behavior->GetInputParameterCount() / 2 + 1;
        XString name;
        name.Format("Mesh %d", pair);
        if (!behavior->CreateInputParameterByGuid(name.CStr(), meshType))
            break;
        name.Format("Coef %d", pair);
        if (!behavior->CreateInputParameterByGuid(name.CStr(), CKPGUID_FLOAT))
            break;
    }
    while (behavior->GetInputParameterCount() / 2 > wanted) {
        for (int k = 0; k < 2; ++k)
            CKDestroyObject(behavior->RemoveInputParameter(behavior->GetInputParameterCount() - 1));
    }
    CKBOOL relative = FALSE;
    ReadLocalParameter(behavior, 2, relative);
    CKParameterIn* first = behavior->GetInputParameter(0);
    if (CKParameterIn* coefficient = behavior->GetInputParameter(1)) {
        if (relative)
            coefficient->ModifyObjectFlags(CK_PARAMETERIN_DISABLED, 0);
        else
            coefficient->ModifyObjectFlags(0, CK_PARAMETERIN_DISABLED);
    }
    if (first) {
        // Setting the type it has already renames nothing: the name goes
        // on its own.
        const char* name = relative ? "Neutral" : "Mesh 1";
        first->SetGUID(meshType, TRUE, name);
        first->SetName(name);
    }
    return CKErr::Ok;
}

int MeshMorpher(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CK3dEntity* entity = TargetEntity(behavior);
    if (!entity)
        return CKBR_OWNERERROR;
    CKMesh* start = InputMesh(behavior, 0);
    CKMesh* end = InputMesh(behavior, 1);
    const char* refusal = nullptr;
    if (!start)
        refusal = "You must provide a starting mesh";
    else if (!end)
        refusal = "You must provide an ending mesh";
    else if (start->GetClassID() != end->GetClassID())
        refusal = "Starting mesh and Ending Mesh must have the same type";
    else if (start->GetModifierVertexCount() != end->GetModifierVertexCount())
        refusal = "Starting mesh and Ending Mesh must have the same vertices number";
    if (refusal) {
        BlockConsoleMessage(behavior, refusal);
        return CKBR_PARAMETERERROR;
    }
    CKMesh* created = LocalMesh(behavior, 1);
    if (entity->GetCurrentMesh() != created)
        behavior->SetLocalParameterObject(0, entity->GetCurrentMesh());
    if (!created || created->GetModifierVertexCount() != start->GetModifierVertexCount()) {
        if (created)
            CKDestroyObject(created);
        CKDependencies none;
        created = static_cast<CKMesh*>(context.Context->CopyObjects(start, &none, nullptr, 0));
        if (!CKIsChildClassOfObject(created, CKCID_MESH)) {
            behavior->SetLocalParameterObject(1, nullptr);
            return CKBR_GENERICERROR;
        }
        XString name(created->GetName() ? created->GetName() : "");
        name += "_Morpher";
        created->SetName(name.CStr());
        created->ModifyObjectFlags(kPrivateMeshFlags, 0);
        behavior->SetLocalParameterObject(1, created);
    }
    entity->SetCurrentMesh(created, FALSE);
    CKBOOL vertexNormals = FALSE;
    CKBOOL faceNormals = FALSE;
    float f = 0.5f;
    ReadInputParameter(behavior, 3, vertexNormals);
    ReadInputParameter(behavior, 4, faceNormals);
    ReadInputParameter(behavior, 2, f);
    const bool patch = CKIsChildClassOfObject(created, CKCID_PATCHMESH);

    VectorSpan out = ModifierPositions(created);
    const VectorSpan from = ModifierPositions(start);
    const VectorSpan to = ModifierPositions(end);
    const int count = std::min({out.Count, from.Count, to.Count});
    for (int v = 0; v < count; ++v)
        out[v] = from[v] + (to[v] - from[v]) * f;
    if (vertexNormals && !patch) {
        VectorSpan outNormals = MeshNormals(created);
        const VectorSpan fromNormals = MeshNormals(start);
        const VectorSpan toNormals = MeshNormals(end);
        const int normals = std::min({count, outNormals.Count, fromNormals.Count, toNormals.Count});
        for (int v = 0; v < normals; ++v) {
            QxVector n = fromNormals[v] + (toNormals[v] - fromNormals[v]) * f;
            n.Normalize();
            outNormals[v] = n;
        }
    }
    created->ModifierVertexMove(patch, faceNormals);
    PassThrough(behavior);
    return CKBR_OK;
}

CKERROR MeshMorpherCallback(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CK3dEntity* owner = OwnerEntity(behavior);
    CKMesh* initial = LocalMesh(behavior, 0);
    CKMesh* created = LocalMesh(behavior, 1);
    switch (context.CallbackMessage) {
    case CKM_BEHAVIORPRESAVE:
        // The file keeps the target's own mesh current.
        if (owner && initial)
            owner->SetCurrentMesh(initial, TRUE);
        break;
    case CKM_BEHAVIORPOSTSAVE:
        if (owner && created)
            owner->SetCurrentMesh(created, FALSE);
        break;
    case CKM_BEHAVIORDELETE:
        if (owner && initial)
            owner->SetCurrentMesh(initial, TRUE);
        if (created) {
            behavior->SetLocalParameterObject(1, nullptr);
            CKDestroyObject(created);
        }
        break;
    case CKM_BEHAVIORATTACH:
    case CKM_BEHAVIORLOAD:
        behavior->SetLocalParameterObject(0, owner ? owner->GetCurrentMesh() : nullptr);
        behavior->SetLocalParameterObject(1, nullptr);
        break;
    default: break;
    }
    return CKErr::Ok;
}
