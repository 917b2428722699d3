#include "exporter/scene/MaxMatrix.h"

#include "core/object/CKClassRegistry.h"
#include "platform/host/Interface.h"
#include "render/objects/CK3dEntity.h"

namespace {

void SetRow(QxMatrix& out, int row, const Point3& p, float w)
{
    out[row][0] = p.x;
    out[row][1] = p.z;
    out[row][2] = p.y;
    out[row][3] = w;
}

} // namespace

void MaxToEngineMatrix(const Matrix3& m, QxMatrix& out)
{
    SetRow(out, 0, m[0], 0.0f);
    SetRow(out, 1, m[2], 0.0f);
    SetRow(out, 2, m[1], 0.0f);
    SetRow(out, 3, m[3], 1.0f);
}

void MaxToEngineCameraMatrix(const Matrix3& m, QxMatrix& out)
{
    SetRow(out, 0, m[0], 0.0f);
    SetRow(out, 1, m[1], 0.0f);
    SetRow(out, 2, -m[2], 0.0f);
    SetRow(out, 3, m[3], 1.0f);
    for (int row = 0; row < 3; ++row) {
        QxVector axis(out[row][0], out[row][1], out[row][2]);
        axis.Normalize();
        out[row][0] = axis.x;
        out[row][1] = axis.y;
        out[row][2] = axis.z;
    }
}

float MatrixHandedness(const QxMatrix& m)
{
    QxVector r0(m[0][0], m[0][1], m[0][2]);
    QxVector r1(m[1][0], m[1][1], m[1][2]);
    QxVector r2(m[2][0], m[2][1], m[2][2]);
    return QxDotProduct(QxCrossProduct(r0, r1), r2);
}

QxVector MaxToEngineVector(const Point3& p)
{
    return QxVector(p.x, p.z, p.y);
}

QxQuaternion MaxToEngineQuat(const Quat& q)
{
    return QxQuaternion(-q.x, -q.z, -q.y, q.w);
}

Quat EngineRotationCorrection(CK3dEntity* entity)
{
    if (entity && (CKIsChildClassOfObject(entity, CKCID_CAMERA) || CKIsChildClassOfObject(entity, CKCID_LIGHT)))
        return QFromAngAxis(1.5707964f, Point3(1.0f, 0.0f, 0.0f));
    return Quat();
}

double BezierTangentFactor()
{
    return (double) GetTicksPerFrame();
}
