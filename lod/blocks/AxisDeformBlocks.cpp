// "Twist", "Taper" and "Stretch": each vertex is turned so that the chosen
// axis lies along z, changed there, and turned back.
#include <cmath>
#include <numbers>

#include "lod/blocks/BlockParameters.h"
#include "lod/blocks/MeshBlockSupport.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxMatrixRotation.h"

namespace {

constexpr float kHalfPi = std::numbers::pi_v<float> * 0.5f;

// Steps shared by the three blocks, up to the box: the mesh (null when the
// target or its mesh is missing), restored first when asked. Twist takes
// the restored mesh's box as its own.
CKMesh* BeginAxisDeform(const CKBehaviorContext& context, int resetInput, bool takeBox)
{
    CKBehavior* behavior = context.Behavior;
    CKMesh* mesh = TargetMesh(behavior);
    if (!mesh)
        return nullptr;
    CKBOOL reset = TRUE;
    ReadInputParameter(behavior, resetInput, reset);
    if (!reset)
        return mesh;
    RestoreBeforeRun(context, mesh, 0);
    if (takeBox)
        WriteBoxLocal(behavior, 1, mesh->GetLocalBox());
    return mesh;
}

// The turn that brings the axis onto z, and back. For y, Twist turns by
// +pi/2 about x where the others turn by -pi/2.
void AxisFrame(int axis, float yAngle, QxMatrix& toAxis, QxMatrix& back)
{
    if (axis == 0)
        QxMatrixFromAxisAngle(toAxis, QxVector(0.0f, 1.0f, 0.0f), -kHalfPi);
    else if (axis == 1)
        QxMatrixFromAxisAngle(toAxis, QxVector(1.0f, 0.0f, 0.0f), yAngle);
    else
        toAxis.SetIdentity();
    if (!QxInverseMatrix(back, toAxis))
        back.SetIdentity();
}

// p turned by m (a row vector times m), here where the loop can inline it.
inline QxVector Turned(const QxMatrix& m, const QxVector& p)
{
    return QxVector(p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
                    p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
                    p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]);
}

// Runs change(q) on every modifier vertex q in the axis frame.
template <class Change>
void DeformAlongAxis(CKMesh* mesh, int axis, float yAngle, Change change)
{
    QxMatrix toAxis;
    QxMatrix back;
    AxisFrame(axis, yAngle, toAxis, back);
    VectorSpan positions = ModifierPositions(mesh);
    for (int i = 0; i < positions.Count; ++i) {
        QxVector& p = positions[i];
        QxVector q = Turned(toAxis, p);
        change(q);
        p = Turned(back, q);
    }
}

// The three end steps: the mesh told of the move, In off, Out on.
int FinishAxisDeform(CKBehavior* behavior, CKMesh* mesh, CKBOOL normals)
{
    mesh->ModifierVertexMove(normals, TRUE);
    PassThrough(behavior);
    return CKBR_OK;
}

} // namespace

int Twist(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    float angle = 0.0f;
    float bias = 0.0f;
    QxVector axisVector(0.0f, 0.0f, 0.0f);
    CKBOOL normals = TRUE;
    ReadInputParameter(behavior, 0, angle);
    ReadInputParameter(behavior, 1, bias);
    ReadInputParameter(behavior, 2, axisVector);
    ReadInputParameter(behavior, 4, normals);
    CKMesh* mesh = BeginAxisDeform(context, 3, true);
    if (!mesh)
        return CKBR_OWNERERROR;
    const int axis = FirstAxis(axisVector);
    const QxBbox box = ReadBoxLocal(behavior, 1);
    const float h = axis < 0 ? 0.0f : box.Max[axis] - box.Min[axis];
    // A flat box (or no axis) turns nothing.
    if (h == 0.0f || !std::isfinite(h))
        return FinishAxisDeform(behavior, mesh, normals);
    if (bias == 0.0f) {
        const float k = angle / h;
        DeformAlongAxis(mesh, axis, kHalfPi, [k](QxVector& q) {
            const float theta = q.z * k;
            const float c = std::cos(theta);
            const float s = std::sin(theta);
            const float x = q.x;
            q.x = c * x + s * q.y;
            q.y = c * q.y - s * x;
        });
    } else {
        float b = 1.0f - (bias + 100.0f) / 200.0f;
        b = b < 0.00001f ? 0.00001f : (b > 0.99999f ? 0.99999f : b);
        const float e = std::log(b) / std::log(0.5f);
        DeformAlongAxis(mesh, axis, kHalfPi, [angle, h, e](QxVector& q) {
            const float u = q.z / h;
            float theta = angle * std::pow(std::fabs(u), e);
            if (u < 0.0f)
                theta = -theta;
            const float c = std::cos(theta);
            const float s = std::sin(theta);
            const float x = q.x;
            q.x = c * x + s * q.y;
            q.y = c * q.y - s * x;
        });
    }
    return FinishAxisDeform(behavior, mesh, normals);
}

int Taper(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    float amount = 0.0f;
    float curve = 0.0f;
    QxVector axisVector(0.0f, 0.0f, 0.0f);
    CKBOOL symmetry = FALSE;
    CKBOOL first = TRUE;
    CKBOOL second = TRUE;
    CKBOOL normals = TRUE;
    ReadInputParameter(behavior, 0, amount);
    ReadInputParameter(behavior, 1, curve);
    ReadInputParameter(behavior, 2, axisVector);
    ReadInputParameter(behavior, 3, symmetry);
    ReadInputParameter(behavior, 4, first);
    ReadInputParameter(behavior, 5, second);
    ReadInputParameter(behavior, 7, normals);
    CKMesh* mesh = BeginAxisDeform(context, 6, false);
    if (!mesh)
        return CKBR_OWNERERROR;
    const int axis = FirstAxis(axisVector);
    if (axis < 0)
        return FinishAxisDeform(behavior, mesh, normals);
    const QxBbox box = ReadBoxLocal(behavior, 1);
    const float h = box.Max[axis] - box.Min[axis];
    if (h == 0.0f || !std::isfinite(h)) {
        // Nothing tapers, but a restored mesh still gets its normals and
        // bounds back.
        mesh->ModifierVertexMove(normals, TRUE);
        return CKBR_OK;
    }
    const bool onX = first != FALSE;
    const bool onY = second != FALSE;
    const bool mirrored = symmetry != FALSE;
    DeformAlongAxis(mesh, axis, -kHalfPi, [=](QxVector& q) {
        float t = q.z / -h;
        if (mirrored)
            t = std::fabs(t);
        const float s = 1.0f + amount * t + curve * t * (1.0f - t);
        q.x *= onX ? s : 1.0f;
        q.y *= onY ? s : 1.0f;
    });
    return FinishAxisDeform(behavior, mesh, normals);
}

int Stretch(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    float stretch = 0.0f;
    float amplify = 0.0f;
    QxVector axisVector(0.0f, 0.0f, 0.0f);
    ReadInputParameter(behavior, 0, stretch);
    ReadInputParameter(behavior, 1, amplify);
    ReadInputParameter(behavior, 2, axisVector);
    CKMesh* mesh = BeginAxisDeform(context, 3, false);
    if (!mesh)
        return CKBR_OWNERERROR;
    const int axis = FirstAxis(axisVector);
    const QxBbox box = ReadBoxLocal(behavior, 1);
    const double range = axis < 0 ? 0.0 : (double) box.Max[axis] - (double) box.Min[axis];
    if (range == 0.0 || !std::isfinite(range))
        return FinishAxisDeform(behavior, mesh, TRUE);
    const float g = amplify >= 0.0f ? 1.0f + amplify : 1.0f / (1.0f - amplify);
    float a;
    float f;
    if (stretch >= 0.0f) {
        a = 1.0f + stretch;
        f = 1.0f / (1.0f + g * stretch);
    } else {
        a = 1.0f / (1.0f - stretch);
        f = 1.0f - g * stretch;
    }
    const double minimum = box.Min[axis];
    const double bulge = 4.0 * (1.0 - (double) f);
    DeformAlongAxis(mesh, axis, -kHalfPi, [=](QxVector& q) {
        const double u = ((double) q.z - minimum) / range;
        const float r = (float) (1.0 + bulge * u * (u - 1.0));
        q.x *= r;
        q.y *= r;
        q.z *= a;
    });
    return FinishAxisDeform(behavior, mesh, TRUE);
}
