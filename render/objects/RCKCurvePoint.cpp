#include "render/objects/RCKCurvePoint.h"

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "render/context/SceneGraphNode.h"
#include "render/objects/CKClassChunk.h"
#include "render/objects/CKCurve.h"

void RCKCurvePoint::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x5CC5194F, 0x72342879));
}

CKCurve* RCKCurvePoint::GetCurve()
{
    if (!m_Curve || !m_Context)
        return nullptr;
    CKObject* object = m_Context->GetObject(m_Curve);
    if (!object || !CKIsChildClassOfObject(object, CKCID_CURVE) || object->IsToBeDeleted())
        return nullptr;
    return static_cast<CKCurve*>(object);
}

void RCKCurvePoint::SetCurve(CKCurve* curve)
{
    m_Curve = curve ? curve->GetID() : 0;
    if (curve)
        SetParent(curve, TRUE);
}

void RCKCurvePoint::NotifyUpdate()
{
    CKCurve* curve = GetCurve();
    if (!curve || !(curve->GetObjectFlags() & CK_OBJECT_UPTODATE))
        return;
    curve->ModifyObjectFlags(0, CK_OBJECT_UPTODATE);
    if (SceneGraphNode* node = curve->GetSceneGraphNode())
        node->InvalidateBox();
}

void RCKCurvePoint::SetBias(float bias)
{
    m_Bias = bias;
    NotifyUpdate();
}

void RCKCurvePoint::SetTension(float tension)
{
    m_Tension = tension;
    NotifyUpdate();
}

void RCKCurvePoint::SetContinuity(float continuity)
{
    m_Continuity = continuity;
    NotifyUpdate();
}

void RCKCurvePoint::SetLinear(int linear)
{
    m_Linear = linear;
    NotifyUpdate();
}

void RCKCurvePoint::GetTangents(QxVector* in, QxVector* out)
{
    if (in)
        *in = m_InTangent;
    if (out)
        *out = m_OutTangent;
}

void RCKCurvePoint::SetTangents(const QxVector* in, const QxVector* out)
{
    if (in)
        m_InTangent = *in;
    if (out)
        m_OutTangent = *out;
    NotifyUpdate();
}

void RCKCurvePoint::Rotate(const QxVector* axis, float angle, CK3dEntity* referential, CKBOOL keepChildren)
{
    RCK3dEntity::Rotate(axis, angle, referential, keepChildren);
    NotifyUpdate();
}

void RCKCurvePoint::Translate(const QxVector* vector, CK3dEntity* referential, CKBOOL keepChildren)
{
    RCK3dEntity::Translate(vector, referential, keepChildren);
    NotifyUpdate();
}

void RCKCurvePoint::AddScale(const QxVector* scale, CKBOOL keepChildren, CKBOOL local)
{
    RCK3dEntity::AddScale(scale, keepChildren, local);
    NotifyUpdate();
}

void RCKCurvePoint::SetPosition(const QxVector* position, CK3dEntity* referential, CKBOOL keepChildren)
{
    RCK3dEntity::SetPosition(position, referential, keepChildren);
    NotifyUpdate();
}

void RCKCurvePoint::SetOrientation(const QxVector* direction, const QxVector* up, const QxVector* right,
                                   CK3dEntity* referential, CKBOOL keepChildren)
{
    RCK3dEntity::SetOrientation(direction, up, right, referential, keepChildren);
    NotifyUpdate();
}

void RCKCurvePoint::SetQuaternion(const QxQuaternion* quaternion, CK3dEntity* referential, CKBOOL keepChildren,
                                  CKBOOL keepScale)
{
    RCK3dEntity::SetQuaternion(quaternion, referential, keepChildren, keepScale);
    NotifyUpdate();
}

void RCKCurvePoint::SetScale(const QxVector* scale, CKBOOL keepChildren, CKBOOL local)
{
    RCK3dEntity::SetScale(scale, keepChildren, local);
    NotifyUpdate();
}

CKBOOL RCKCurvePoint::ConstructWorldMatrix(const QxVector* position, const QxVector* scale,
                                           const QxQuaternion* quaternion)
{
    CKBOOL result = RCK3dEntity::ConstructWorldMatrix(position, scale, quaternion);
    NotifyUpdate();
    return result;
}

CKBOOL RCKCurvePoint::ConstructWorldMatrixEx(const QxVector* position, const QxVector* scale,
                                             const QxQuaternion* quaternion, const QxQuaternion* shear, float sign)
{
    CKBOOL result = RCK3dEntity::ConstructWorldMatrixEx(position, scale, quaternion, shear, sign);
    NotifyUpdate();
    return result;
}

CKBOOL RCKCurvePoint::ConstructLocalMatrix(const QxVector* position, const QxVector* scale,
                                           const QxQuaternion* quaternion)
{
    CKBOOL result = RCK3dEntity::ConstructLocalMatrix(position, scale, quaternion);
    NotifyUpdate();
    return result;
}

CKBOOL RCKCurvePoint::ConstructLocalMatrixEx(const QxVector* position, const QxVector* scale,
                                             const QxQuaternion* quaternion, const QxQuaternion* shear, float sign)
{
    CKBOOL result = RCK3dEntity::ConstructLocalMatrixEx(position, scale, quaternion, shear, sign);
    NotifyUpdate();
    return result;
}

void RCKCurvePoint::SetLocalMatrix(const QxMatrix& matrix, CKBOOL keepChildren)
{
    RCK3dEntity::SetLocalMatrix(matrix, keepChildren);
    NotifyUpdate();
}

void RCKCurvePoint::SetWorldMatrix(const QxMatrix& matrix, CKBOOL keepChildren)
{
    RCK3dEntity::SetWorldMatrix(matrix, keepChildren);
    NotifyUpdate();
}

int RCKCurvePoint::GetMemoryOccupation()
{
    return RCK3dEntity::GetMemoryOccupation() + 76;
}

CKERROR RCKCurvePoint::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = RCK3dEntity::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    m_Curve = context.RemapID(m_Curve);
    if (CKCurve* curve = GetCurve())
        SetParent(curve, TRUE);
    return CKErr::Ok;
}

CKERROR RCKCurvePoint::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = RCK3dEntity::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (CKIsChildClassOfObject(&source, CKCID_CURVEPOINT)) {
        const RCKCurvePoint& from = static_cast<const RCKCurvePoint&>(source);
        m_Curve = from.m_Curve;
        m_Tension = from.m_Tension;
        m_Continuity = from.m_Continuity;
        m_Bias = from.m_Bias;
        m_Length = from.m_Length;
        m_CurvePosition = from.m_CurvePosition;
        m_InTangent = from.m_InTangent;
        m_OutTangent = from.m_OutTangent;
        m_FittedPosition = from.m_FittedPosition;
        m_UserTangents = from.m_UserTangents;
        m_Linear = from.m_Linear;
    }
    return CKErr::Ok;
}

CKStateChunk* RCKCurvePoint::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKCurvePoint::m_ClassID, RCK3dEntity::Save(file, flags), file, flags, 0xFFC00000,
                            [&](CKStateChunk& chunk) {
                                chunk.WriteIdentifier(CK_STATESAVE_CURVEPOINTDEFAULTDATA);
                                chunk.WriteObject(GetCurve());
                                chunk.WriteInt(m_UserTangents);
                                chunk.WriteInt(m_Linear);
                                chunk.WriteFloat(m_Tension);
                                chunk.WriteFloat(m_Continuity);
                                chunk.WriteFloat(m_Bias);
                                chunk.WriteVector(m_InTangent);
                                chunk.WriteVector(m_OutTangent);
                            });
}

CKERROR RCKCurvePoint::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return RCK3dEntity::Load(chunk, file); },
        [&](CKStateChunk& c) {
            // A reference to anything but a curve links the point to none.
            auto readCurve = [&] {
                CKObject* curve = c.ReadObject(m_Context);
                m_Curve = curve && CKIsChildClassOfObject(curve, CKCID_CURVE) ? curve->GetID() : 0;
            };
            if (c.GetDataVersion() >= CK_CURVE_SINGLESECTIONVERSION) {
                if (c.SeekIdentifier(CK_STATESAVE_CURVEPOINTDEFAULTDATA)) {
                    readCurve();
                    m_UserTangents = c.ReadInt();
                    m_Linear = c.ReadInt();
                    m_Tension = c.ReadFloat();
                    m_Continuity = c.ReadFloat();
                    m_Bias = c.ReadFloat();
                    c.ReadVector(m_InTangent);
                    c.ReadVector(m_OutTangent);
                }
                return;
            }
            if (c.SeekIdentifier(CK_STATESAVE_CURVEPOINTDEFAULTDATA)) {
                readCurve();
                m_UserTangents = c.ReadInt();
                m_Linear = c.ReadInt();
                QxVector position;
                c.ReadVector(position);
                if (c.GetReadError() == CKErr::Ok)
                    RCK3dEntity::SetPosition(&position, nullptr, FALSE);
            }
            if (c.SeekIdentifier(CK_STATESAVE_CURVEPOINTTCB)) {
                m_Tension = c.ReadFloat();
                m_Continuity = c.ReadFloat();
                m_Bias = c.ReadFloat();
            }
            if (c.SeekIdentifier(CK_STATESAVE_CURVEPOINTCURVEPOS))
                c.ReadVector(m_CurvePosition);
            if (c.SeekIdentifier(CK_STATESAVE_CURVEPOINTTANGENTS)) {
                c.ReadVector(m_InTangent);
                c.ReadVector(m_OutTangent);
            }
        });
}
