// "Explode": the target's mesh replaced by a copy whose faces fly apart
// from its barycentre along a curve over a duration; then the object's own
// mesh comes back and the object hides.
#include <cstdint>

#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKRandom.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependencies.h"
#include "core/parameter/CK2dCurve.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "lod/blocks/BlockParameters.h"
#include "lod/blocks/MeshBlockSupport.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "system/math/QxFloatToInt.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxMatrixRotation.h"

namespace {

// Locals.
constexpr int kElapsed = 0;
constexpr int kLastValue = 1;
constexpr int kBaryCenter = 3;
constexpr int kSavedMesh = 5;
constexpr int kNewMesh = 6;

// The curve input n holds: its value is a pointer, read whole, and only
// from a parameter that is a 2D curve.
const CK2dCurve* InputCurve(CKBehavior* behavior, int n)
{
    CKParameterIn* in = behavior->GetInputParameter(n);
    CKParameter* source = in ? in->GetRealSource() : nullptr;
    if (!source || source->GetGUID() != CKPGUID_2DCURVE)
        return nullptr;
    CK2dCurve* curve = nullptr;
    if (source->GetValue(&curve) != CKErr::Ok)
        return nullptr;
    return curve;
}

// The exploding copy of the target's mesh made current.
void StartExplosion(CKBehavior* behavior, CK3dEntity* target, const CK2dCurve* curve, float factor)
{
    if (CKMesh* previous = LocalMesh(behavior, kNewMesh)) {
        behavior->SetLocalParameterObject(kNewMesh, nullptr);
        CKDestroyObject(previous);
    }
    CKMesh* mesh = target->GetCurrentMesh();
    behavior->SetLocalParameterObject(kSavedMesh, mesh);
    if (mesh) {
        CKDependencies none;
        CKObject* copy = behavior->GetCKContext()->CopyObjects(mesh, &none, "Explode", 0);
        if (CKIsChildClassOfObject(copy, CKCID_MESH)) {
            auto* exploding = static_cast<CKMesh*>(copy);
            exploding->ModifyObjectFlags(kPrivateMeshFlags, 0);
            exploding->DissociateAllFaces();
            behavior->SetLocalParameterObject(kNewMesh, exploding);
            target->SetCurrentMesh(exploding, TRUE);
            const QxVector center = exploding->GetBaryCenter();
            behavior->SetLocalParameterValue(kBaryCenter, &center, (int) sizeof center);
        }
    }
    const int elapsed = 0;
    behavior->SetLocalParameterValue(kElapsed, &elapsed, (int) sizeof elapsed);
    const float value = curve->Evaluate(0.0f) * factor;
    behavior->SetLocalParameterValue(kLastValue, &value, (int) sizeof value);
}

// A random distance along the face's direction, 0 to 0.99 of k.
float Distance(float k)
{
    return (float) (CKRand() % 100) * 0.01f * k;
}

} // namespace

int Explode(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CK3dEntity* target = TargetEntity(behavior);
    if (!target)
        return CKBR_OWNERERROR;
    int duration = 1000;
    float factor = 2.0f;
    ReadInputParameter(behavior, 0, duration);
    ReadInputParameter(behavior, 2, factor);
    const CK2dCurve* curve = InputCurve(behavior, 1);
    if (!curve)
        return CKBR_OK;

    int elapsed = 0;
    if (behavior->IsInputActive(0)) {
        StartExplosion(behavior, target, curve, factor);
        behavior->ActivateInput(0, FALSE);
    } else {
        behavior->ActivateInput(1, FALSE);
        ReadLocalParameter(behavior, kElapsed, elapsed);
    }
    CKMesh* mesh = target->GetCurrentMesh();
    if (!mesh)
        return CKBR_GENERICERROR;
    QxVector spreading(0.0f, 0.0f, 0.0f);
    CKBOOL rotation = FALSE;
    CKBOOL deformation = FALSE;
    ReadInputParameter(behavior, 3, spreading);
    ReadInputParameter(behavior, 4, rotation);
    ReadInputParameter(behavior, 5, deformation);

    const int64_t sum = (int64_t) elapsed + QxTruncToInt(context.DeltaTime);
    elapsed = sum > INT32_MAX ? INT32_MAX : (sum < INT32_MIN ? INT32_MIN : (int) sum);
    behavior->SetLocalParameterValue(kElapsed, &elapsed, (int) sizeof elapsed);
    // A duration of 0 or less is over at once: the curve's end.
    const float x = duration > 0 ? (float) elapsed / (float) duration : 1.0f;
    const float y = curve->Evaluate(x) * factor;
    float last = 0.0f;
    ReadLocalParameter(behavior, kLastValue, last);
    const float delta = y - last;
    behavior->SetLocalParameterValue(kLastValue, &y, (int) sizeof y);

    QxVector center(0.0f, 0.0f, 0.0f);
    ReadLocalParameter(behavior, kBaryCenter, center);
    VectorSpan positions = MeshPositions(mesh);
    const CKDWORD* faces = mesh->GetFacesIndices();
    const int faceCount = faces ? mesh->GetFaceCount() : 0;
    const float k = mesh->GetRadius() * factor * delta;
    for (int f = 0; f < faceCount; ++f) {
        const CKDWORD* corner = faces + 3 * (size_t) f;
        if (corner[0] >= (CKDWORD) positions.Count || corner[1] >= (CKDWORD) positions.Count ||
            corner[2] >= (CKDWORD) positions.Count)
            continue;
        QxVector* p[3] = {&positions[(int) corner[0]], &positions[(int) corner[1]], &positions[(int) corner[2]]};
        QxVector direction = *p[0] - center;
        const float dist = QxMagnitude(direction);
        direction.Normalize();
        const QxVector spread = spreading * dist * 0.1f;
        if (!deformation) {
            const QxVector offset = direction * Distance(k) + spread;
            for (QxVector* q : p)
                *q += offset;
        } else {
            for (QxVector* q : p)
                *q += direction * Distance(k) + spread;
        }
        if (rotation) {
            const QxVector axis = (*p[0] + *p[1] + *p[2]) * (1.0f / 3.0f);
            QxMatrix turn;
            QxMatrixFromAxisAngle(turn, axis, delta * 10.0f);
            for (QxVector* q : p)
                QxMultiplyMatrixVector(*q, turn, *q);
        }
    }
    mesh->VertexMove();

    if (duration > 0 && elapsed < duration) {
        behavior->ActivateOutput(1, TRUE);
        return CKBR_OK;
    }
    target->SetCurrentMesh(LocalMesh(behavior, kSavedMesh), TRUE);
    if (CKMesh* exploding = LocalMesh(behavior, kNewMesh)) {
        target->RemoveMesh(exploding);
        behavior->SetLocalParameterObject(kNewMesh, nullptr);
        CKDestroyObject(exploding);
    }
    target->Show(CKHIDE);
    behavior->ActivateOutput(0, TRUE);
    return CKBR_OK;
}

CKERROR ExplodeCallback(const CKBehaviorContext& context)
{
    // A copied or loaded behaviour owns no exploding mesh.
    if (context.CallbackMessage == CKM_BEHAVIORCREATE || context.CallbackMessage == CKM_BEHAVIORLOAD)
        context.Behavior->SetLocalParameterObject(kNewMesh, nullptr);
    return CKErr::Ok;
}
