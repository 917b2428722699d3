#include "render/objects/RCKCamera.h"

#include <cmath>
#include <cstring>

#include "core/attribute/CKAttributeManager.h"
#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameter.h"
#include "render/objects/CKClassChunk.h"
#include "system/math/QxMatrixRotation.h"

RCKCamera::RCKCamera(CKContext* context, const char* name) : CKCamera(context, name)
{
    ProjectionChanged();
}

void RCKCamera::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x3CF24D6F, 0x216204F9));
}

void RCKCamera::SetFrontPlane(float front)
{
    if (front <= 0.0f)
        front = 0.01f;
    if (front == m_BackPlane)
        return;
    m_FrontPlane = front;
    ProjectionChanged();
}

void RCKCamera::SetBackPlane(float back)
{
    if (back == m_FrontPlane)
        return;
    m_BackPlane = back;
    ProjectionChanged();
}

void RCKCamera::SetFov(float fov)
{
    m_Fov = fov;
    ProjectionChanged();
}

void RCKCamera::SetProjectionType(int type)
{
    m_ProjectionType = type;
    ProjectionChanged();
}

void RCKCamera::SetOrthographicZoom(float zoom)
{
    m_OrthographicZoom = zoom;
    ProjectionChanged();
}

void RCKCamera::SetAspectRatio(int width, int height)
{
    if (height == 0)
        return;
    m_AspectWidth = width;
    m_AspectHeight = height;
    ProjectionChanged();
}

void RCKCamera::GetAspectRatio(int& width, int& height)
{
    width = m_AspectWidth;
    height = m_AspectHeight;
}

CKDWORD RCKCamera::PackAspect(int width, int height)
{
    return ((CKDWORD) height & 0xFFFFu) << 16 | ((CKDWORD) width & 0xFFFFu);
}

CKBOOL RCKCamera::ComputeScreenProjection(QxMatrix& matrix)
{
    if (GetAttributeCount() == 0 || !m_Context || !m_Context->GetAttributeManager())
        return FALSE;
    int type = m_Context->GetAttributeManager()->GetAttributeTypeByName(CK_CAMERA_SCREENATTRIBUTE);
    CKParameter* parameter = type >= 0 ? GetAttributeParameter(type) : nullptr;
    if (!parameter || parameter->GetDataSize() < (int) sizeof(CK_ID))
        return FALSE;
    CK_ID id = 0;
    if (const void* data = parameter->GetReadDataPtr())
        std::memcpy(&id, data, sizeof(id));
    CKObject* object = id ? m_Context->GetObject(id) : nullptr;
    if (!object || !CKIsChildClassOfObject(object, CKCID_3DENTITY))
        return FALSE;
    CK3dEntity* screen = static_cast<CK3dEntity*>(object);
    QxVector world(m_WorldMatrix[3][0], m_WorldMatrix[3][1], m_WorldMatrix[3][2]);
    QxVector p;
    screen->InverseTransform(&p, &world, nullptr);
    const QxBbox& box = screen->GetBoundingBox(TRUE);
    // A camera in the screen's plane or a flat screen would divide by zero:
    // the plain perspective stands in.
    if (p.z == 0.0f || box.Max.x == box.Min.x || box.Max.y == box.Min.y)
        return FALSE;
    const float s = m_FrontPlane / std::fabs(p.z);
    matrix.PerspectiveRect((box.Min.x - p.x) * s, (box.Max.x - p.x) * s, (box.Max.y - p.y) * s, (box.Min.y - p.y) * s,
                           m_FrontPlane, m_BackPlane);
    return TRUE;
}

void RCKCamera::ComputeProjectionMatrix(QxMatrix& matrix)
{
    const float aspect = (float) m_AspectWidth / (float) m_AspectHeight;
    if (!(m_ProjectionType & CK_PERSPECTIVEPROJECTION))
        matrix.Orthographic(m_OrthographicZoom, aspect, m_FrontPlane, m_BackPlane);
    else if (!ComputeScreenProjection(matrix))
        matrix.Perspective(m_Fov, aspect, m_FrontPlane, m_BackPlane);
}

void RCKCamera::Roll(float angle)
{
    QxMatrix rotation;
    QxMatrixFromAxisAngle(rotation, QxVector(0.0f, 0.0f, 1.0f), angle);
    QxMatrix local;
    QxMultiplyMatrix(local, m_LocalMatrix, rotation);
    SetLocalMatrix(local, FALSE);
}

void RCKCamera::ResetRoll()
{
    QxVector direction;
    GetOrientation(&direction, nullptr, nullptr, nullptr);
    // Right from the world's vertical; a camera looking (nearly) along it
    // takes its right from the z axis instead, which is then far from the
    // direction, so both axes stay finite.
    QxVector right = QxCrossProduct(QxVector(0.0f, 1.0f, 0.0f), direction);
    if (QxMagnitude(right) < 0.1f)
        right = QxCrossProduct(QxVector(0.0f, 0.0f, 1.0f), direction);
    if (QxMagnitude(right) == 0.0f)
        return;
    QxVector up = QxCrossProduct(direction, right);
    right.Normalize();
    up.Normalize();
    SetOrientation(&direction, &up, &right, nullptr, FALSE);
}

int RCKCamera::GetMemoryOccupation()
{
    return RCK3dEntity::GetMemoryOccupation() + 28;
}

CKERROR RCKCamera::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = RCK3dEntity::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (CKIsChildClassOfObject(&source, CKCID_CAMERA)) {
        const RCKCamera& from = static_cast<const RCKCamera&>(source);
        m_Fov = from.m_Fov;
        m_FrontPlane = from.m_FrontPlane;
        m_BackPlane = from.m_BackPlane;
        m_ProjectionType = from.m_ProjectionType;
        m_OrthographicZoom = from.m_OrthographicZoom;
        m_AspectWidth = from.m_AspectWidth;
        m_AspectHeight = from.m_AspectHeight;
    }
    ProjectionChanged();
    return CKErr::Ok;
}

CKStateChunk* RCKCamera::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKCamera::m_ClassID, RCK3dEntity::Save(file, flags), file, flags,
                            CK_STATESAVE_CAMERAONLY, [&](CKStateChunk& chunk) {
                                if (!(flags & CK_STATESAVE_CAMERAONLY))
                                    return;
                                chunk.WriteIdentifier(CK_STATESAVE_CAMERAONLY);
                                chunk.WriteInt(m_ProjectionType);
                                chunk.WriteFloat(m_Fov);
                                chunk.WriteFloat(m_OrthographicZoom);
                                chunk.WriteDword(PackAspect(m_AspectWidth, m_AspectHeight));
                                chunk.WriteFloat(m_FrontPlane);
                                chunk.WriteFloat(m_BackPlane);
                            });
}

CKERROR RCKCamera::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return RCK3dEntity::Load(chunk, file); },
        [&](CKStateChunk& c) {
            int width = m_AspectWidth, height = m_AspectHeight;
            float front = m_FrontPlane, back = m_BackPlane;
            if (c.GetDataVersion() >= CK_CAMERA_SINGLESECTIONVERSION) {
                if (c.SeekIdentifier(CK_STATESAVE_CAMERAONLY)) {
                    m_ProjectionType = c.ReadInt();
                    m_Fov = c.ReadFloat();
                    m_OrthographicZoom = c.ReadFloat();
                    CKDWORD aspect = c.ReadDword();
                    width = (int) (aspect & 0xFFFF);
                    height = (int) (aspect >> 16);
                    front = c.ReadFloat();
                    back = c.ReadFloat();
                }
            } else {
                if (c.SeekIdentifier(CK_STATESAVE_CAMERAFOV))
                    m_Fov = c.ReadFloat();
                if (c.SeekIdentifier(CK_STATESAVE_CAMERAPROJTYPE))
                    m_ProjectionType = c.ReadInt();
                if (c.SeekIdentifier(CK_STATESAVE_CAMERAOTHOZOOM))
                    m_OrthographicZoom = c.ReadFloat();
                if (c.SeekIdentifier(CK_STATESAVE_CAMERAASPECT)) {
                    width = c.ReadInt();
                    height = c.ReadInt();
                }
                if (c.SeekIdentifier(CK_STATESAVE_CAMERAPLANES)) {
                    front = c.ReadFloat();
                    back = c.ReadFloat();
                }
            }
            // Values the projection would divide by zero with keep the old ones.
            if (height != 0) {
                m_AspectWidth = width;
                m_AspectHeight = height;
            }
            if (front != back) {
                m_FrontPlane = front;
                m_BackPlane = back;
            }
            ProjectionChanged();
        });
}
