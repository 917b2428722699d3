// "Bend" and "Set PatchMesh Steps".
#include <cmath>
#include <numbers>

#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterIn.h"
#include "lod/blocks/BlockParameters.h"
#include "lod/blocks/MeshBlockSupport.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/objects/CK3dEntity.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxMatrixRotation.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// The end of every run: In off, Exit on.
int FinishBend(CKBehavior* behavior, int result)
{
    PassThrough(behavior);
    return result;
}

// A point of the bend frame wrapped onto the arc of radius r about x = r.
inline void BendPoint(float x, float y, float r, float& outX, float& outY)
{
    const float theta = kPi - y / r;
    outX = r + std::cos(theta) * (r - x);
    outY = std::sin(theta) * (r - x);
}

} // namespace

int Bend(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    float angle = 0.0f;
    float direction = 0.0f;
    QxVector axisVector(0.0f, 0.0f, 0.0f);
    CKBOOL reset = TRUE;
    ReadInputParameter(behavior, 0, angle);
    ReadInputParameter(behavior, 1, direction);
    ReadInputParameter(behavior, 2, axisVector);
    ReadInputParameter(behavior, 3, reset);
    const float a = angle * 0.5f;
    CKMesh* mesh = TargetMesh(behavior);
    if (!mesh)
        return FinishBend(behavior, CKBR_OWNERERROR);
    if (reset && RestoreBeforeRun(context, mesh, 0))
        WriteBoxLocal(behavior, 1, mesh->GetLocalBox());
    const int axis = FirstAxis(axisVector);
    if (axis < 0)
        return FinishBend(behavior, CKBR_OK);
    const QxBbox box = ReadBoxLocal(behavior, 1);

    QxMatrix frame;
    if (axis == 0)
        QxMatrixFromAxisAngle(frame, QxVector(0.0f, 1.0f, 0.0f), -kPi * 0.5f);
    else if (axis == 1)
        QxMatrixFromAxisAngle(frame, QxVector(0.0f, 0.0f, 1.0f), -kPi * 0.5f);
    else
        frame.SetIdentity();
    if (direction != 0.0f) {
        QxMatrix turn;
        QxMatrixFromAxisAngle(turn, QxVector(0.0f, 0.0f, 1.0f), direction);
        QxMultiplyMatrix(frame, turn, frame);
    }
    const float h = box.Max[axis] - box.Min[axis];
    if (std::fabs(a) < 0.0001f)
        return FinishBend(behavior, CKBR_OK);
    const float r = h / a;
    // A flat mesh or an unusable angle has no arc to follow.
    QxMatrix back;
    if (r == 0.0f || !std::isfinite(r) || !QxInverseMatrix(back, frame))
        return FinishBend(behavior, CKBR_OK);
    CKBOOL normalRecalculation = TRUE;
    ReadInputParameter(behavior, 4, normalRecalculation);
    const bool bendNormals = normalRecalculation && !CKIsChildClassOfObject(mesh, CKCID_PATCHMESH);

    VectorSpan positions = ModifierPositions(mesh);
    VectorSpan normals = bendNormals ? MeshNormals(mesh) : VectorSpan();
    for (int i = 0; i < positions.Count; ++i) {
        QxVector& p = positions[i];
        QxVector q;
        QxMultiplyMatrixVector(q, frame, p);
        float x;
        float y;
        BendPoint(q.x, q.y, r, x, y);
        QxMultiplyMatrixVector(p, back, QxVector(x, y, q.z));
        if (i < normals.Count) {
            QxVector& n = normals[i];
            QxVector m;
            QxRotateVector(m, frame, n);
            float tx;
            float ty;
            BendPoint(q.x + m.x, q.y + m.y, r, tx, ty);
            QxRotateVector(n, back, QxVector(tx - x, ty - y, m.z));
        }
    }
    mesh->ModifierVertexMove(FALSE, TRUE);
    return FinishBend(behavior, CKBR_OK);
}

int SetPatchMeshSteps(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    // The target input names only patch meshes: another mesh it names is a
    // target that is no patch mesh, not a missing one.
    CKObject* target = behavior->GetTarget();
    CKParameterIn* in = behavior->GetTargetParameter();
    CKParameter* source = in ? in->GetRealSource() : nullptr;
    if (!target && source)
        target = source->GetValueObject();
    if (target && behavior->GetCompatibleClassID() == CKCID_3DOBJECT)
        target = CKIsChildClassOfObject(target, CKCID_3DENTITY) ? static_cast<CK3dEntity*>(target)->GetCurrentMesh()
                                                                : nullptr;
    PassThrough(behavior);
    if (!target)
        return CKBR_OWNERERROR;
    if (!CKIsChildClassOfObject(target, CKCID_PATCHMESH))
        return CKBR_OK;
    int steps = 1;
    ReadInputParameter(behavior, 0, steps);
    // The patch mesh bounds what it tessellates; a negative count gives 0.
    static_cast<CKPatchMesh*>(target)->SetIterationCount(steps);
    return CKBR_OK;
}
