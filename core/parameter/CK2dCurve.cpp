#include "core/parameter/CK2dCurve.h"

#include <algorithm>
#include <cmath>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKDefines.h"

namespace {

// The stored form: chunk class, data version and sections.
enum : CKDWORD
{
    CHUNK_CURVE_CLASS = 14,
    CHUNK_CURVE_VERSION = 10,
    CHUNK_CURVE_POINTS = 256,
    CHUNK_CURVE_OLD_FITTING = 64,
    CHUNK_CURVE_OLD_POINTS = 0x3F800,
    CHUNK_CURVE_POINT_STORED = 0x10000000, // marks a point entry as present
};

// The position of the Hermite segment from j to k at t.
Qx2DVector Hermite(const CK2dCurvePoint& j, const CK2dCurvePoint& k, float t)
{
    float t2 = t * t;
    float t3 = t2 * t;
    float h1 = 2.0f * t3 - 3.0f * t2 + 1.0f;
    float h2 = (3.0f - 2.0f * t) * t2;
    float h3 = t3 - 2.0f * t2 + t;
    float h4 = t3 - t2;
    const Qx2DVector& pj = j.GetPosition();
    const Qx2DVector& pk = k.GetPosition();
    const Qx2DVector& out = j.GetOutTangent();
    const Qx2DVector& in = k.GetInTangent();
    return Qx2DVector(h1 * pj.x + h2 * pk.x + h3 * out.x + h4 * in.x, h1 * pj.y + h2 * pk.y + h3 * out.y + h4 * in.y);
}

float Distance(const Qx2DVector& a, const Qx2DVector& b)
{
    float dx = b.x - a.x;
    float dy = b.y - a.y;
    return std::sqrt(dx * dx + dy * dy);
}

// Makes the tangent's x the x extent of the segment it serves, so that x
// grows along the segment; a tangent with x 0 is left alone.
void ScaleTangent(Qx2DVector& tangent, float x)
{
    if (tangent.x == 0.0f)
        return;
    tangent.y *= x / tangent.x;
    tangent.x = x;
}

float NonZero(float x, float replacement)
{
    return x != 0.0f ? x : replacement;
}

} // namespace

CK2dCurve::CK2dCurve()
{
    AddControlPoint(Qx2DVector(0.0f, 0.0f));
    AddControlPoint(Qx2DVector(1.0f, 1.0f));
}

CK2dCurve::CK2dCurve(const CK2dCurve& other)
    : m_ControlPoints(other.m_ControlPoints), m_Length(other.m_Length), m_FittingCoeff(other.m_FittingCoeff)
{
    for (CK2dCurvePoint& p : m_ControlPoints)
        p.m_Curve = this;
}

CK2dCurve& CK2dCurve::operator=(const CK2dCurve& other)
{
    if (this != &other) {
        m_ControlPoints = other.m_ControlPoints;
        m_Length = other.m_Length;
        m_FittingCoeff = other.m_FittingCoeff;
        for (CK2dCurvePoint& p : m_ControlPoints)
            p.m_Curve = this;
    }
    return *this;
}

CK2dCurvePoint* CK2dCurve::GetControlPoint(int index)
{
    return index >= 0 && index < m_ControlPoints.Size() ? &m_ControlPoints[index] : nullptr;
}

const CK2dCurvePoint* CK2dCurve::GetControlPoint(int index) const
{
    return index >= 0 && index < m_ControlPoints.Size() ? &m_ControlPoints[index] : nullptr;
}

void CK2dCurve::AddControlPoint(const Qx2DVector& position)
{
    CK2dCurvePoint point;
    point.m_Curve = this;
    point.m_Position = position;
    m_ControlPoints.PushBack(point);
    Update();
}

void CK2dCurve::Resize(int count)
{
    if (count < 0)
        count = 0;
    int old = m_ControlPoints.Size();
    m_ControlPoints.Resize(count);
    for (int i = old; i < count; ++i) {
        m_ControlPoints[i] = CK2dCurvePoint();
        m_ControlPoints[i].m_Curve = this;
    }
}

int CK2dCurve::ClampIndex(int index) const
{
    if (index < 0)
        return 0;
    if (index >= m_ControlPoints.Size())
        return m_ControlPoints.Size() - 1;
    return index;
}

void CK2dCurve::Update()
{
    // Stable, so points of equal x keep their order; a merge sort keeps a
    // curve read with many points from taking quadratic time.
    std::stable_sort(m_ControlPoints.Begin(), m_ControlPoints.End(),
                     [](const CK2dCurvePoint& a, const CK2dCurvePoint& b) {
                         if (std::isnan(a.m_Position.x))
                             return false;
                         return std::isnan(b.m_Position.x) || a.m_Position.x < b.m_Position.x;
                     });
    ComputeTangents();
    ComputeLengths();
}

void CK2dCurve::ComputeTangents()
{
    int n = m_ControlPoints.Size();
    if (n < 2)
        return;
    CK2dCurvePoint* pts = m_ControlPoints.Begin();
    const float fit = m_FittingCoeff;
    for (int i = 0; i < n; ++i) {
        CK2dCurvePoint& p = pts[i];
        const bool user = p.HasUserTangents();
        const float t = p.m_Tension;
        const float c = p.m_Continuity;
        const float b = p.m_Bias;
        const Qx2DVector& pos = p.m_Position;
        if (i == 0) {
            Qx2DVector d = pts[1].m_Position - pos;
            if (!user) {
                p.m_OutTangent = d * (0.5f * (1 - t) * (1 - c) * (1 - b));
                p.m_InTangent = d * (0.5f * (1 - t) * (1 + c) * (1 - b));
            }
            ScaleTangent(p.m_InTangent, 0.0001f);
            ScaleTangent(p.m_OutTangent, NonZero(d.x, 0.0001f));
            p.m_FittedPosition = pos + ((pos + pts[1].m_Position) * 0.5f - pos) * fit;
        } else if (i == n - 1) {
            Qx2DVector a = pos - pts[i - 1].m_Position;
            if (!user) {
                p.m_OutTangent = a * (0.5f * (1 - t) * (1 + c) * (1 + b));
                p.m_InTangent = a * (0.5f * (1 - t) * (1 - c) * (1 + b));
            }
            ScaleTangent(p.m_InTangent, NonZero(a.x, 0.0001f));
            ScaleTangent(p.m_OutTangent, 0.001f);
            p.m_FittedPosition = pos + ((pts[i - 1].m_Position + pos) * 0.5f - pos) * fit;
        } else {
            Qx2DVector a = pos - pts[i - 1].m_Position;
            Qx2DVector d = pts[i + 1].m_Position - pos;
            if (!user) {
                p.m_OutTangent = (a * ((1 - t) * (1 + c) * (1 + b)) + d * ((1 - t) * (1 - c) * (1 - b))) * 0.5f;
                p.m_InTangent = (a * ((1 - t) * (1 - c) * (1 + b)) + d * ((1 - t) * (1 + c) * (1 - b))) * 0.5f;
            }
            ScaleTangent(p.m_InTangent, NonZero(a.x, 0.0001f));
            ScaleTangent(p.m_OutTangent, NonZero(d.x, 0.0001f));
            p.m_FittedPosition = pos + ((pts[i - 1].m_Position + pts[i + 1].m_Position) * 0.5f - pos) * fit;
        }
    }
}

void CK2dCurve::ComputeLengths()
{
    int n = m_ControlPoints.Size();
    float total = 0.0f;
    if (n > 0)
        m_ControlPoints[0].m_Length = 0.0f;
    for (int i = 0; i + 1 < n; ++i) {
        const CK2dCurvePoint& j = m_ControlPoints[i];
        const CK2dCurvePoint& k = m_ControlPoints[i + 1];
        if (j.IsLinear()) {
            total += Distance(j.m_Position, k.m_Position);
        } else {
            Qx2DVector previous = j.m_Position;
            for (int step = 1; step <= 100; ++step) {
                Qx2DVector sample = Hermite(j, k, (float) step / 100.0f);
                total += Distance(previous, sample);
                previous = sample;
            }
        }
        m_ControlPoints[i + 1].m_Length = total;
    }
    m_Length = total;
}

float CK2dCurve::Evaluate(float x) const
{
    if (x < 0.0f)
        x = 0.0f;
    if (x > 1.0f)
        x = 1.0f;
    int n = m_ControlPoints.Size();
    if (n < 2)
        return 0.0f;
    int k = 0;
    while (k < n && !(x <= m_ControlPoints[k].m_Position.x))
        ++k;
    if (k == n)
        return 0.0f;
    const CK2dCurvePoint& pk = m_ControlPoints[k];
    const CK2dCurvePoint& pj = m_ControlPoints[ClampIndex(k - 1)];
    const float xj = pj.m_Position.x;
    const float xk = pk.m_Position.x;
    float y;
    if (xk == xj) {
        y = pj.m_Position.y;
    } else if (pj.IsLinear()) {
        y = pj.m_Position.y + (pk.m_Position.y - pj.m_Position.y) * (x - xj) / (xk - xj);
    } else {
        // Bisection on the segment's parameter, narrowing the bounds around
        // each estimate.
        float t = (x - xj) / (xk - xj);
        float lo = 0.0f;
        float hi = 1.0f;
        y = 0.0f;
        for (int round = 0; round < 1000; ++round) {
            Qx2DVector at = Hermite(pj, pk, t);
            y = at.y;
            if (std::fabs(at.x - x) < 0.00001f)
                break;
            if (x > at.x)
                lo = t;
            else
                hi = t;
            t = (lo + hi) * 0.5f;
        }
    }
    if (y < 0.0f)
        y = 0.0f;
    if (y > 1.0f)
        y = 1.0f;
    return y;
}

CKStateChunk* CK2dCurve::Dump() const
{
    CKStateChunk* chunk = CKCreateStateChunk(CHUNK_CURVE_CLASS);
    chunk->StartWrite();
    chunk->SetDataVersion(CHUNK_CURVE_VERSION);
    chunk->WriteIdentifier(CHUNK_CURVE_POINTS);
    int n = m_ControlPoints.Size();
    // One null object id per point: its count is the point count.
    chunk->StartObjectIDSequence(n);
    for (int i = 0; i < n; ++i)
        chunk->WriteObjectIDSequenceItem(0);
    chunk->WriteFloat(m_FittingCoeff);
    for (const CK2dCurvePoint& p : m_ControlPoints) {
        chunk->WriteDword(p.m_Flags | CHUNK_CURVE_POINT_STORED);
        chunk->WriteFloat(p.m_Position.x);
        chunk->WriteFloat(p.m_Position.y);
        chunk->WriteFloat(p.m_Tension);
        chunk->WriteFloat(p.m_Continuity);
        chunk->WriteFloat(p.m_Bias);
        chunk->WriteFloat(0.0f);
        chunk->WriteFloat(0.0f);
        chunk->WriteFloat(p.m_InTangent.x);
        chunk->WriteFloat(p.m_InTangent.y);
        chunk->WriteFloat(p.m_OutTangent.x);
        chunk->WriteFloat(p.m_OutTangent.y);
    }
    chunk->CloseChunk();
    return chunk;
}

CKERROR CK2dCurve::Read(CKStateChunk* chunk)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    chunk->StartRead();
    if (chunk->GetDataVersion() < 1) {
        if (chunk->SeekIdentifier(CHUNK_CURVE_OLD_FITTING))
            m_FittingCoeff = chunk->ReadFloat();
        if (chunk->SeekIdentifier(CHUNK_CURVE_OLD_POINTS)) {
            // Points are appended as they are read, so a count larger than
            // the data allocates nothing it cannot fill.
            int n = chunk->ReadInt();
            m_ControlPoints.Clear();
            for (int i = 0; i < n && chunk->GetReadError() == 0; ++i) {
                chunk->ReadObjectID(); // an object of older files, dropped
                CKStateChunk* sub = chunk->ReadSubChunk();
                CK2dCurvePoint point;
                point.m_Curve = this;
                point.Read(sub);
                CKDeleteStateChunk(sub);
                m_ControlPoints.PushBack(point);
            }
        }
    }
    if (chunk->SeekIdentifier(CHUNK_CURVE_POINTS)) {
        // The sequence was read whole, so n is bounded by the chunk's data.
        int n = chunk->ReadXObjectArray().Size();
        Resize(n);
        m_FittingCoeff = chunk->ReadFloat();
        int loaded = 0;
        for (int i = 0; i < n && chunk->GetReadError() == 0; ++i) {
            CK2dCurvePoint& p = m_ControlPoints[loaded];
            p.m_Curve = this;
            p.m_Flags = chunk->ReadDword();
            if (!(p.m_Flags & CHUNK_CURVE_POINT_STORED))
                continue; // no point: the next entry takes this slot
            p.m_Flags &= ~CHUNK_CURVE_POINT_STORED;
            p.m_Position.x = chunk->ReadFloat();
            p.m_Position.y = chunk->ReadFloat();
            p.m_Tension = chunk->ReadFloat();
            p.m_Continuity = chunk->ReadFloat();
            p.m_Bias = chunk->ReadFloat();
            chunk->ReadFloat();
            chunk->ReadFloat();
            p.m_InTangent.x = chunk->ReadFloat();
            p.m_InTangent.y = chunk->ReadFloat();
            p.m_OutTangent.x = chunk->ReadFloat();
            p.m_OutTangent.y = chunk->ReadFloat();
            ++loaded;
        }
        Resize(loaded);
    }
    Update();
    return chunk->GetReadError();
}
