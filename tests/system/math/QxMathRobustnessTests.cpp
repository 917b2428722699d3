#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "system/math/QxBbox.h"
#include "system/math/QxColor.h"
#include "system/math/QxComposeMatrix.h"
#include "system/math/QxCompressedVector.h"
#include "system/math/QxDecomposeMatrix.h"
#include "system/math/QxDistance.h"
#include "system/math/QxEigenSymmetric3.h"
#include "system/math/QxFrustum.h"
#include "system/math/QxIntersection.h"
#include "system/math/QxIntersectionBox.h"
#include "system/math/QxMatrixRotation.h"
#include "system/math/QxOrientedBoxFit.h"
#include "system/math/QxProjectBoxDepthRange.h"
#include "system/math/QxQuaternion.h"
#include "system/math/QxRect.h"
#include "system/math/QxTransformBox2D.h"
#include "system/math/QxTransformPoints.h"
#include "tests/system/support/MathTestUtil.h"

// Every routine must return for NaN, infinities, huge and denormal inputs,
// without undefined behaviour (the sanitizer build stops at the first
// report) and without hanging. The values produced are not checked here.
namespace {

const float kBadValues[] = {
    std::numeric_limits<float>::quiet_NaN(),
    std::numeric_limits<float>::infinity(),
    -std::numeric_limits<float>::infinity(),
    3.4e38f,
    -3.4e38f,
    1e-45f,
    0.0f,
};

// Fills every float of an object with v, or only the float at index `only`.
template <typename T>
T Filled(float v, int only = -1, float rest = 0.5f)
{
    static_assert(sizeof(T) % sizeof(float) == 0, "a record of floats");
    float words[sizeof(T) / sizeof(float)];
    for (size_t i = 0; i < sizeof(T) / sizeof(float); ++i)
        words[i] = (only < 0 || int(i) == only) ? v : rest + 0.25f * float(i % 3);
    T t;
    std::memcpy(static_cast<void*>(&t), words, sizeof(T));
    return t;
}

template <typename T>
int FloatCount()
{
    return int(sizeof(T) / sizeof(float));
}

// Keeps results observable so that nothing is optimised away.
volatile float g_Sink;
void Use(float f)
{
    g_Sink = f;
}
void Use(const QxVector& v)
{
    g_Sink = v.x + v.y + v.z;
}
void Use(const QxMatrix& m)
{
    g_Sink = m[0][0] + m[3][2];
}
void Use(const QxQuaternion& q)
{
    g_Sink = q.x + q.w;
}

void RunVectorRoutines(const QxVector& v, const QxVector& w)
{
    QxVector a = v;
    a.Normalize();
    Use(a);
    Use(QxNormalize(v));
    Use(QxCrossProduct(v, w));
    Use(QxMagnitude(v));
    Use(QxDotProduct(v, w));
    Use(QxMin(v, w) + QxMax(v, w));
    QxCompressedVector c;
    c.Set(v.x, v.y, v.z);
    QxVector back;
    back.SetFromCompressed(c);
    Use(back);
    g_Sink = float(QxArcSinIndex(v.x));
    g_Sink = float(QxColor(v.x, v.y, v.z, w.x).GetARGB() ^ QxColor(v.x, v.y, v.z, w.x).GetABGR());
    g_Sink = float(QxPackColor(v.x, v.y, v.z, w.x));
}

void RunMatrixRoutines(const QxMatrix& m, const QxMatrix& other, const QxVector& v)
{
    QxMatrix r;
    Use(m.GetDeterminant());
    QxTransposeMatrix(r, m);
    QxMultiplyMatrix(r, m, other);
    QxMultiplyMatrix4(r, other, m);
    QxInverseMatrix(r, m);
    QxInverseMatrix44(r, m);
    Use(r);
    QxVector p;
    QxMultiplyMatrixVector(p, m, v);
    QxRotateVector(p, m, v);
    QxVector4 h;
    QxMultiplyMatrixVector4(h, m, v);
    QxMultiplyMatrixVector4(h, m, h);
    QxUnprojectPoint(m, Qx2DVector(v.x, v.y), v.z, p);
    Use(p);
    QxVector points[3] = {v, v, v};
    QxVector4 wide[3];
    QxTransformPoints(points, m, points, 3, sizeof(QxVector));
    QxRotateVectorsSameStride(points, m, points, 3, sizeof(QxVector));
    QxTransformPointsStrided(QxStridedData(points, 12), QxStridedData(points, 12), m, 3);
    QxTransformPoints4Strided(QxStridedData(wide, 16), QxStridedData(points, 12), m, 3);
    QxRotateVectors(QxStridedData(points, 12), QxStridedData(points, 12), m, 3);
    float ax, ay, az;
    QxMatrixToEulerAngles(m, &ax, &ay, &az);
    Use(ax + ay + az);
    QxQuaternion q;
    QxQuaternionFromMatrix(q, m);
    QxMatrix copy = m;
    q.FromMatrix(copy, FALSE, FALSE);
    QxVector position, scale;
    QxDecomposeMatrix(m, q, position, scale);
    QxQuaternion so;
    Use(QxDecomposeMatrixEx(m, &q, &position, &scale, &so));
    QxMatrix qm, sm, um;
    Use(QxPolarDecomposition(m, qm, sm));
    Use(QxSpectralDecomposition(m, um));
    QxBbox box(QxVector(-1, -1, -1), QxVector(1, 1, 1));
    box.TransformFrom(box, m);
    const QxRect viewport(0, 0, 100, 100);
    QxRect extents;
    CKDWORD orFlags, andFlags;
    QxTransformBox2D(m, box, &viewport, &extents, &orFlags, &andFlags);
    QxTransformBox2D(m, QxBbox(QxVector(-1, -1, 2), QxVector(1, 1, 2)), &viewport, &extents, nullptr, nullptr);
    float low, high;
    QxProjectBoxDepthRange(QxBbox(QxVector(-1, -1, -1), QxVector(1, 1, 1)), m, &low, &high);
    QxProjectBoxDepthRange(box, m, &low, &high);
    QxFrustum frustum;
    frustum.Transform(m);
    QxVector corners[8];
    frustum.ComputeVertices(corners);
    Use(corners[7]);
}

void RunBuilders(float f, const QxVector& v, const QxQuaternion& q)
{
    QxMatrix m;
    QxMatrixFromAxisAngle(m, v, f);
    QxMatrixFromEulerAngles(m, f, v.x, v.y);
    QxComposeMatrix(m, v, v, q);
    QxComposeMatrixEx(m, v, v, q, q, f);
    q.ToMatrix(m);
    m.Perspective(f, v.x, v.y, v.z);
    m.PerspectiveRect(f, v.x, v.y, v.z, f, v.x);
    m.Orthographic(f, v.x, v.y, v.z);
    Use(m);
    QxQuaternion r = q;
    r.Normalize();
    r.FromRotation(v, f);
    r *= q;
    QxQuaternion s;
    QxMultiplyQuaternion(s, q, r);
    QxQuaternionConjugate(s, q);
    QxQuaternionDivide(s, q, r);
    QxQuaternionLn(s, q);
    QxQuaternionExp(s, q);
    QxQuaternionLnDif(s, q, r);
    QxSlerp(s, f, q, r);
    QxSquad(s, f, q, r, q, r);
    QxVector k = v;
    Use(QxSnuggle(q, k));
    Use(k);
    Use(s);
    const QxFrustum frustum(v, v, v, v, f, v.x, f, v.y);
    Use(frustum.m_LeftPlane.m_D);
}

void RunShapeRoutines(const QxVector& v, const QxVector& w, float f)
{
    QxBbox box(QxMin(v, w), QxMax(v, w));
    QxBbox other(QxVector(-1, -1, -1), QxVector(1, 1, 1));
    g_Sink = float(box.PointOutcode(v) + box.BoxOutcode(other) + other.BoxOutcode(box));
    g_Sink = float(box.Classify(other, w) + other.Classify(box, v) + box.VectorIn(v) + box.IsBoxInside(other));
    box.Merge(v);
    box.Merge(other);
    const QxRay ray(v, w);
    const QxPlane plane(w, v);
    QxVector point, farPoint, nearNormal, farNormal;
    float t;
    int a1, a2;
    g_Sink =
        float(QxIntersectionRayPlane(ray, plane, point, t) + QxIntersectionRayPlaneFront(ray, plane, point, t) +
              QxIntersectionSegmentPlane(ray, plane, point, t) + QxIntersectionSegmentPlaneFront(ray, plane, point, t));
    g_Sink = float(QxIntersectionRayTriangle(ray, v, w, other.Min, w, point, t, a1, a2) +
                   QxIntersectionRayTriangleFront(ray, v, w, other.Min, w, point, t, a1, a2) +
                   QxIntersectionSegmentTriangle(ray, v, w, other.Min, w, point, t, a1, a2) +
                   QxIntersectionSegmentTriangleFront(ray, v, w, other.Min, w, point, t, a1, a2));
    g_Sink = float(QxPointInTriangle(v, w, other.Min, other.Max, v, a1, a2));
    float wa, wb, wc;
    QxTriangleBarycentric(v, w, other.Min, other.Max, &a1, &a2, wa, wb, wc);
    Use(wa + wb + wc);
    g_Sink = float(QxIntersectionBoxBox(box, other) + QxIntersectionRayBox(ray, other) +
                   QxIntersectionSegmentBox(ray, other) +
                   QxIntersectionRayBoxPoints(ray, other, point, &farPoint, &nearNormal, &farNormal) +
                   QxIntersectionSegmentBoxPoints(ray, box, point, &farPoint, &nearNormal, &farNormal));
    QxOBB obb;
    obb.m_Center = v;
    obb.m_Axis[0] = w;
    obb.m_Axis[1] = v;
    obb.m_Axis[2] = QxVector::AxisZ();
    obb.m_Extents[0] = f;
    obb.m_Extents[1] = 1;
    obb.m_Extents[2] = f;
    g_Sink = float(QxIntersectionBoxOBB(box, obb) + QxIntersectionBoxOBB(other, obb));
    g_Sink = float(QxIntersectionSphereBox(QxSphere{v, f}, other));
    Use(QxSquareDistancePointBox(v, other));
    Use(QxPointRaySquareDistance(w, ray, &t) + QxPointSegmentSquareDistance(w, ray, &t));
    Use(QxDistancePointCone(QxCone{v, w, f, f}, w));
    QxRect rect(v.x, v.y, w.x, w.y);
    rect.TransformToRelative(QxRect(f, f, f, w.z));
    rect.TransformFromRelative(QxRect(0, f, w.x, 1));
    g_Sink = float(rect.Clip(QxRect(f, v.x, 1, 2)) + rect.IsInside(Qx2DVector(f, f)) + rect.IsNull());
    Use(rect.Interpolate(Qx2DVector(f, v.z)).x + rect.GetCenterX());
}

void RunPointSetRoutines(const std::vector<QxVector>& points)
{
    float c[3][3] = {};
    QxCovarianceMatrix(c, points.data(), 12, int(points.size()));
    float values[3];
    QxEigenSymmetric3(c, values);
    QxMatrix box;
    QxComputeOrientedBox(points.data(), 12, int(points.size()), box, 0.1f);
    QxPrincipalBox fit;
    QxFitOrientedBox(points.data(), 12, int(points.size()), fit, 0.1f);
    Use(box);
}

} // namespace

TEST(QxMathRobustness, EveryRoutineReturnsForNonFiniteHugeAndDenormalInputs)
{
    mathtest::WarningCapture warnings; // non-convergence on NaN is expected and quiet here
    mathtest::Random random(81);
    for (float bad : kBadValues) {
        // Everything bad at once, then one bad value among ordinary ones.
        for (int only = -1; only < 16; ++only) {
            const QxVector v = Filled<QxVector>(bad, only < 3 ? only : 99);
            const QxVector w = Filled<QxVector>(bad, only % 3);
            QxMatrix m = random.Affine(0.5f, 2.0f);
            if (only < 0) {
                m = Filled<QxMatrix>(bad);
            } else {
                m[only / 4][only % 4] = bad;
            }
            const QxQuaternion q = Filled<QxQuaternion>(bad, only % 4);
            RunVectorRoutines(v, w);
            RunMatrixRoutines(m, random.Affine(0.5f, 2.0f), v);
            RunBuilders(bad, v, q);
            RunShapeRoutines(v, w, bad);
            std::vector<QxVector> points = {QxVector(1, 2, 3), v, w, QxVector(-1, 0, 4)};
            RunPointSetRoutines(points);
        }
    }
    SUCCEED();
}
