#include "core/parameter/CK2dCurvePoint.h"

#include "core/chunk/CKStateChunk.h"
#include "core/parameter/CK2dCurve.h"

namespace {

// Sections of the older per-point form.
enum : CKDWORD
{
    CHUNK_POINT_FLAGSPOSITION = 16384,
    CHUNK_POINT_TCB = 2048,
    CHUNK_POINT_TANGENTS = 4096,
};

} // namespace

void CK2dCurvePoint::SetPosition(const Qx2DVector& position)
{
    m_Position = position;
    NotifyUpdate();
}

void CK2dCurvePoint::SetLinear(CKBOOL linear)
{
    if (linear)
        m_Flags |= CK2DCURVEPOINT_LINEAR;
    else
        m_Flags &= ~CK2DCURVEPOINT_LINEAR;
    NotifyUpdate();
}

void CK2dCurvePoint::SetTCB(float tension, float continuity, float bias)
{
    m_Tension = tension;
    m_Continuity = continuity;
    m_Bias = bias;
}

void CK2dCurvePoint::SetUserTangents(CKBOOL on)
{
    if (on)
        m_Flags |= CK2DCURVEPOINT_USERTANGENTS;
    else
        m_Flags &= ~CK2DCURVEPOINT_USERTANGENTS;
}

void CK2dCurvePoint::SetTangents(const Qx2DVector& in, const Qx2DVector& out)
{
    m_InTangent = in;
    m_OutTangent = out;
}

void CK2dCurvePoint::NotifyUpdate()
{
    if (m_Curve)
        m_Curve->Update();
}

void CK2dCurvePoint::Read(CKStateChunk* chunk)
{
    if (!chunk)
        return;
    chunk->StartRead();
    if (chunk->SeekIdentifier(CHUNK_POINT_FLAGSPOSITION)) {
        chunk->ReadObjectID(); // an object of older files, dropped
        SetUserTangents(chunk->ReadInt() != 0);
        // The linear bit is set without the curve's Update: updating a curve
        // whose later points are not read yet would sort them among the read
        // ones, and the next point would overwrite one of those.
        if (chunk->ReadInt() != 0)
            m_Flags |= CK2DCURVEPOINT_LINEAR;
        else
            m_Flags &= ~CK2DCURVEPOINT_LINEAR;
        m_Position.x = chunk->ReadFloat();
        m_Position.y = chunk->ReadFloat();
    }
    if (chunk->SeekIdentifier(CHUNK_POINT_TCB)) {
        m_Tension = chunk->ReadFloat();
        m_Continuity = chunk->ReadFloat();
        m_Bias = chunk->ReadFloat();
    }
    if (chunk->SeekIdentifier(CHUNK_POINT_TANGENTS)) {
        m_InTangent.x = chunk->ReadFloat();
        m_InTangent.y = chunk->ReadFloat();
        m_OutTangent.x = chunk->ReadFloat();
        m_OutTangent.y = chunk->ReadFloat();
    }
}
