// The blend-shape and level-of-detail blocks.
#include <cmath>

#include "core/context/CKContext.h"
#include "core/context/CKRenderContext.h"
#include "core/object/CKClassRegistry.h"
#include "lod/LODManager.h"
#include "lod/blocks/BlockParameters.h"
#include "lod/blocks/MeshBlockSupport.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "system/math/QxFloatToInt.h"

namespace {

LODManager* FindLodManager(CKContext* context)
{
    return context ? static_cast<LODManager*>(context->GetManagerByGuid(LOD_MANAGER_GUID)) : nullptr;
}

// The fractions "Set LOD Attribute" declares by default, in record order.
constexpr float kFractionDefaults[6] = {0.4f, 0.01f, 1.0f, 0.03f, 0.1f, 0.05f};

} // namespace

int SetBlendShapeWeightByIndex(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    PassThrough(behavior);
    CK3dEntity* entity = TargetEntity(behavior);
    if (!entity)
        return CKBR_OWNERERROR;
    int index = 0;
    float weight = 0.0f;
    if (ReadInputParameter(behavior, 0, index) && ReadInputParameter(behavior, 1, weight))
        entity->SetBlendShapeWeight(index, weight);
    return CKBR_OK;
}

int SetBlendShapeWeightByName(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    PassThrough(behavior);
    CK3dEntity* entity = TargetEntity(behavior);
    if (!entity)
        return CKBR_OWNERERROR;
    XString name;
    float weight = 0.0f;
    if (ReadInputText(behavior, 0, name) && ReadInputParameter(behavior, 1, weight))
        entity->SetBlendShapeWeightByName(name.CStr(), weight);
    return CKBR_OK;
}

int SetProgressiveMeshOptions(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CKObject* target = behavior->GetTarget();
    if (!CKIsChildClassOfObject(target, CKCID_MESH))
        return CKBR_OK;
    CKMesh* mesh = static_cast<CKMesh*>(target);
    PassThrough(behavior);
    CKBOOL active = TRUE;
    CKBOOL geomorph = FALSE;
    int steps = 0;
    ReadInputParameter(behavior, 0, active);
    ReadInputParameter(behavior, 1, geomorph);
    ReadInputParameter(behavior, 2, steps);
    // Making one that exists, or removing none, changes nothing.
    if (active)
        mesh->CreatePM();
    else
        mesh->DestroyPM();
    mesh->EnablePMGeoMorph(geomorph);
    mesh->SetPMGeoMorphStep(steps);
    return CKBR_OK;
}

int GetLodAttribute(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CK3dEntity* entity = TargetEntity(behavior);
    LODManager* manager = FindLodManager(context.Context);
    if (!entity || !manager)
        return CKBR_OK;
    behavior->ActivateInput(0, FALSE);
    LODOptions* options = manager->GetLodOptions(entity);
    if (!options) {
        behavior->ActivateOutput(1, TRUE);
        return CKBR_OK;
    }
    behavior->ActivateOutput(0, TRUE);
    for (int i = 0; i < 4; ++i) {
        CKBOOL on = (options->Flags & kLODFlagOrder[i]) ? TRUE : FALSE;
        behavior->SetOutputParameterValue(i, &on);
    }
    for (int i = 0; i < 6; ++i)
        behavior->SetOutputParameterValue(4 + i, &LODOptionsFraction(*options, i));
    return CKBR_OK;
}

int SetLodAttribute(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CK3dEntity* entity = TargetEntity(behavior);
    LODManager* manager = FindLodManager(context.Context);
    if (!entity || !manager)
        return CKBR_OK;
    PassThrough(behavior);
    if (!manager->GetLodOptions(entity))
        entity->SetAttribute(manager->GetLodAttribute(), 0);
    LODOptions* options = manager->GetLodOptions(entity);
    if (!options)
        return CKBR_OK;
    for (int i = 0; i < 4; ++i) {
        if (!IsInputParameterEnabled(behavior, i))
            continue;
        CKBOOL on = FALSE;
        ReadInputParameter(behavior, i, on);
        if (on)
            options->Flags |= kLODFlagOrder[i];
        else
            options->Flags &= ~kLODFlagOrder[i];
    }
    for (int i = 0; i < 6; ++i) {
        if (!IsInputParameterEnabled(behavior, 4 + i))
            continue;
        float& field = LODOptionsFraction(*options, i);
        field = kFractionDefaults[i];
        ReadInputParameter(behavior, 4 + i, field);
    }
    return CKBR_OK;
}

CKERROR LodParametersCallback(const CKBehaviorContext& context)
{
    if (context.CallbackMessage != CKM_BEHAVIORCREATE && context.CallbackMessage != CKM_BEHAVIORSETTINGSEDITED)
        return CKErr::Ok;
    CKBehavior* behavior = context.Behavior;
    CKDWORD mask = 0xFFFFFFFF;
    ReadLocalParameter(behavior, 0, mask);
    for (int i = 0; i < behavior->GetInputParameterCount(); ++i) {
        CKParameterIn* in = behavior->GetInputParameter(i);
        if (!in)
            continue;
        bool enabled = i < 32 && (mask & (1u << i));
        if (enabled)
            in->ModifyObjectFlags(0, CK_PARAMETERIN_DISABLED);
        else
            in->ModifyObjectFlags(CK_PARAMETERIN_DISABLED, 0);
    }
    return CKErr::Ok;
}

int LodManagerOptions(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    PassThrough(behavior);
    LODManager* manager = FindLodManager(context.Context);
    if (!manager)
        return CKBR_OK;
    if (IsInputParameterEnabled(behavior, 0)) {
        CKBOOL active = TRUE;
        ReadInputParameter(behavior, 0, active);
        manager->SetActive(active);
    }
    if (IsInputParameterEnabled(behavior, 1)) {
        float factor = 1.0f;
        ReadInputParameter(behavior, 1, factor);
        manager->m_GlobalLodFactor = factor;
    }
    if (IsInputParameterEnabled(behavior, 2)) {
        CKBOOL normals = FALSE;
        ReadInputParameter(behavior, 2, normals);
        manager->m_BuildPMNormals = normals;
    }
    CKBOOL active = manager->IsActive();
    behavior->SetOutputParameterValue(0, &active);
    behavior->SetOutputParameterValue(1, &manager->m_GlobalLodFactor);
    behavior->SetOutputParameterValue(2, &manager->m_BuildPMNormals);
    return CKBR_OK;
}

int LevelOfDetail(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    if (behavior->IsInputActive(1)) {
        behavior->ActivateInput(1, FALSE);
        behavior->ActivateOutput(1, TRUE);
        return CKBR_OK;
    }
    PassThrough(behavior);
    CK3dEntity* entity = TargetEntity(behavior);
    CK3dEntity* viewpoint = context.CurrentRenderContext ? context.CurrentRenderContext->GetViewpoint() : nullptr;
    float dmin = 100.0f;
    float dmax = 1000.0f;
    ReadInputParameter(behavior, 0, dmin);
    ReadInputParameter(behavior, 1, dmax);
    // Without an entity, a view or a range there is nothing to choose yet:
    // the block waits for the next frame.
    if (!entity || !viewpoint || dmax == dmin || entity->GetMeshCount() == 0)
        return CKBR_ACTIVATENEXTFRAME;
    QxVector p;
    entity->GetPosition(&p, viewpoint);
    float d = std::sqrt(QxDotProduct(p, p));
    float t = (d - dmin) / (dmax - dmin);
    t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    int index = QxTruncToInt((float) (entity->GetMeshCount() - 1) * t);
    entity->SetCurrentMesh(entity->GetMesh(index), FALSE);
    return CKBR_ACTIVATENEXTFRAME;
}
