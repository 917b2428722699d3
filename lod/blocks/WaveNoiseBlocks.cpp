// "Sine Deform" and "Noise".
#include <cmath>
#include <numbers>

#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "lod/blocks/BlockParameters.h"
#include "lod/blocks/GradientNoise.h"
#include "lod/blocks/MeshBlockSupport.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"

namespace {

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

// Sine Deform's time goes back to 0.
void ResetTime(CKBehavior* behavior)
{
    const float zero = 0.0f;
    behavior->SetLocalParameterValue(0, &zero, (int) sizeof zero);
}

} // namespace

int SineDeform(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CKMesh* mesh = TargetMesh(behavior);
    if (!mesh)
        return CKBR_OWNERERROR;
    float t = 0.0f;
    QxVector axis(0.0f, 0.0f, 0.0f);
    float magnitude = 0.0f;
    float wave = 0.0f;
    CKBOOL reset = TRUE;
    ReadLocalParameter(behavior, 0, t);
    ReadInputParameter(behavior, 0, axis);
    ReadInputParameter(behavior, 1, magnitude);
    ReadInputParameter(behavior, 2, wave);
    ReadInputParameter(behavior, 3, reset);
    if (reset)
        RestoreBeforeRun(context, mesh, 1, true);
    VectorSpan positions = ModifierPositions(mesh);
    const float phase = wave * t;
    for (int i = 0; i < positions.Count; ++i) {
        QxVector& p = positions[i];
        for (int k = 0; k < 3; ++k) {
            const float c = p[k];
            p[k] = std::cos(phase + c) * (c * axis[k] * magnitude) + c;
        }
    }
    t += 0.001f * context.DeltaTime;
    if (wave * t > kTwoPi)
        t -= kTwoPi / wave;
    behavior->SetLocalParameterValue(0, &t, (int) sizeof t);
    mesh->ModifierVertexMove(TRUE, TRUE);
    PassThrough(behavior);
    return CKBR_OK;
}

CKERROR SineDeformCallback(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    switch (context.CallbackMessage) {
    case CKM_BEHAVIORDELETE:
        if (behavior->GetVersion() < kSceneRestoreVersion) {
            CKMesh* mesh = TargetMesh(behavior);
            if (mesh && RestoreFromSavedPositions(behavior, 1, mesh) >= 0)
                mesh->ModifierVertexMove(TRUE, TRUE);
        }
        break;
    case CKM_BEHAVIORATTACH:
        if (TargetMesh(behavior))
            ResetTime(behavior);
        break;
    case CKM_BEHAVIORRESET:
    case CKM_BEHAVIORLOAD: ResetTime(behavior); break;
    default: break;
    }
    return CKErr::Ok;
}

int Noise(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CKMesh* mesh = TargetMesh(behavior);
    if (!mesh)
        return CKBR_OWNERERROR;
    // The seed input may have been given the Integer type.
    float seed = 0.0f;
    CKParameterIn* in = behavior->GetInputParameter(0);
    int whole = 0;
    if (in && in->GetGUID() == CKPGUID_INT && ReadInputParameter(behavior, 0, whole))
        seed = (float) whole;
    else
        ReadInputParameter(behavior, 0, seed);
    seed *= 0.01f;
    float scale = 0.0f;
    QxVector axis(0.0f, 0.0f, 0.0f);
    CKBOOL reset = TRUE;
    ReadInputParameter(behavior, 1, scale);
    ReadInputParameter(behavior, 2, axis);
    ReadInputParameter(behavior, 3, reset);
    if (reset)
        RestoreBeforeRun(context, mesh, 0, false);
    const GradientNoiseTables& tables = GetGradientNoiseTables();
    VectorSpan positions = ModifierPositions(mesh);
    for (int i = 0; i < positions.Count; ++i) {
        QxVector& p = positions[i];
        const float x = p.x * scale + 0.5f;
        const float y = p.y * scale + 0.5f;
        const float z = p.z * scale + 0.5f;
        const float nx = GradientNoise3(tables, y, z, seed);
        const float ny = GradientNoise3(tables, x, z, seed);
        const float nz = GradientNoise3(tables, x, y, seed);
        p.x += axis.x * nx;
        p.y += axis.y * ny;
        p.z += axis.z * nz;
    }
    mesh->ModifierVertexMove(TRUE, TRUE);
    PassThrough(behavior);
    return CKBR_OK;
}
