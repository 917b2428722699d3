#include "render/objects/RCKCurve.h"

#include <cmath>
#include <cstring>

#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CKClassChunk.h"
#include "render/objects/RCKCurvePoint.h"
#include "system/math/QxMatrix.h"

namespace {

// Objects made only to draw another one: rebuilt from it, never saved.
constexpr CKDWORD kDisplayObjectFlags = 0x23;
constexpr int kLengthSamples = 100;

} // namespace

void RCKCurve::Register()
{
    CKClassNeedNotificationFrom(m_ClassID, CKCID_CURVEPOINT);
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x1072130B, 0x1F9572BA));
}

QxVector RCKCurve::Hermite(const QxVector& a, const QxVector& b, const QxVector& ta, const QxVector& tb, float t)
{
    const float t2 = t * t;
    const float h00 = (2.0f * t - 3.0f) * t2 + 1.0f;
    const float h01 = (3.0f - 2.0f * t) * t2;
    const float h10 = t * (t - 1.0f) * (t - 1.0f);
    const float h11 = t2 * (t - 1.0f);
    return a * h00 + b * h01 + ta * h10 + tb * h11;
}

RCKCurvePoint* RCKCurve::Point(int index) const
{
    return static_cast<RCKCurvePoint*>(m_Points.Begin()[index]);
}

int RCKCurve::Wrap(int index) const
{
    const int n = m_Points.Size();
    if (index >= n)
        return m_Open ? n - 1 : index % n;
    if (index < 0)
        return m_Open ? 0 : (index % n + n) % n;
    return index;
}

void RCKCurve::KeepCurvePoints()
{
    XObjectPointerArray points;
    for (CKObject* object : m_Points)
        if (object && CKIsChildClassOfObject(object, CKCID_CURVEPOINT) && !points.IsHere(object))
            points.PushBack(object);
    m_Points.Swap(points);
}

float RCKCurve::GetLength()
{
    UpdateIfNeeded();
    return m_Length;
}

void RCKCurve::Open()
{
    if (!m_Open) {
        m_Open = 1;
        OutOfDate();
    }
}

void RCKCurve::Close()
{
    if (m_Open) {
        m_Open = 0;
        OutOfDate();
    }
}

void RCKCurve::SetFittingCoeff(float fit)
{
    m_FittingCoeff = fit;
    OutOfDate();
}

CKERROR RCKCurve::SetStepCount(int steps)
{
    m_StepCount = steps;
    OutOfDate();
    return CKErr::Ok;
}

CKERROR RCKCurve::GetTangentsByPoint(CKCurvePoint* point, QxVector* in, QxVector* out)
{
    if (!point)
        return CKErr::InvalidParameter;
    return GetTangents(m_Points.GetPosition(point), in, out);
}

CKERROR RCKCurve::GetTangents(int index, QxVector* in, QxVector* out)
{
    if ((unsigned) index >= (unsigned) m_Points.Size())
        return CKErr::InvalidParameter;
    RCKCurvePoint* point = Point(index);
    if (!point->IsTCB()) {
        point->GetTangents(in, out);
        return CKErr::Ok;
    }
    const QxVector& p = point->m_CurvePosition;
    const QxVector dp = p - Point(Wrap(index - 1))->m_CurvePosition;
    const QxVector dn = Point(Wrap(index + 1))->m_CurvePosition - p;
    const float t = 1.0f - point->GetTension();
    const float c = point->GetContinuity();
    const float b = point->GetBias();
    if (in)
        *in = 0.5f * (dp * (t * (1.0f - c) * (1.0f + b)) + dn * (t * (1.0f + c) * (1.0f - b)));
    if (out)
        *out = 0.5f * (dp * (t * (1.0f + c) * (1.0f + b)) + dn * (t * (1.0f - c) * (1.0f - b)));
    return CKErr::Ok;
}

CKERROR RCKCurve::SetTangentsByPoint(CKCurvePoint* point, const QxVector* in, const QxVector* out)
{
    if (!point)
        return CKErr::InvalidParameter;
    return SetTangents(m_Points.GetPosition(point), in, out);
}

CKERROR RCKCurve::SetTangents(int index, const QxVector* in, const QxVector* out)
{
    if (index < 0 || index >= m_Points.Size() || !in || !out)
        return CKErr::InvalidParameter;
    RCKCurvePoint* point = Point(index);
    const QxVector& p = point->m_CurvePosition;
    const QxVector dp = p - Point(Wrap(index - 1))->m_CurvePosition;
    const QxVector dn = Point(Wrap(index + 1))->m_CurvePosition - p;
    const QxVector d = dp - dn;
    const float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
    const int axis = (ax >= ay && ax >= az) ? 0 : (ay >= ax && ay >= az) ? 1 : 2;
    // The sum of the two tangents is (1 - T)(dp + dn + B (dp - dn)): solved
    // for B on the axis where dp and dn differ most.
    const float sum = (*in)[axis] + (*out)[axis];
    const float t = 1.0f - point->GetTension();
    float bias = 0.0f;
    if (d[axis] != 0.0f && t != 0.0f)
        bias = (sum / t - dp[axis] - dn[axis]) / d[axis];
    point->SetBias(bias);
    return CKErr::Ok;
}

CKERROR RCKCurve::RemoveControlPoint(CKCurvePoint* point, CKBOOL)
{
    if (!point)
        return CKErr::InvalidParameter;
    m_Points.Remove(point);
    static_cast<RCKCurvePoint*>(point)->SetCurve(nullptr);
    OutOfDate();
    return CKErr::Ok;
}

CKERROR RCKCurve::InsertControlPoint(CKCurvePoint* before, CKCurvePoint* point)
{
    if (!point)
        return CKErr::InvalidParameter;
    if (m_Points.IsHere(point))
        return CKErr::AlreadyPresent;
    const int at = before ? m_Points.GetPosition(before) : -1;
    if (at >= 0)
        m_Points.Insert(at, point);
    else
        m_Points.PushBack(point);
    static_cast<RCKCurvePoint*>(point)->SetCurve(this);
    OutOfDate();
    return CKErr::Ok;
}

CKERROR RCKCurve::AddControlPoint(CKCurvePoint* point)
{
    return InsertControlPoint(nullptr, point);
}

CKCurvePoint* RCKCurve::GetControlPoint(int index)
{
    return (unsigned) index < (unsigned) m_Points.Size() ? Point(index) : nullptr;
}

CKERROR RCKCurve::RemoveAllControlPoints()
{
    m_Points.Free();
    OutOfDate();
    return CKErr::Ok;
}

CKERROR RCKCurve::SetColor(const QxColor& color)
{
    m_Color = color.GetARGB();
    return UpdateMesh();
}

void RCKCurve::Update()
{
    if (m_Loading)
        return;
    const int n = m_Points.Size();
    for (int i = 0; i < n; ++i) {
        RCKCurvePoint* point = Point(i);
        QxVector position;
        point->GetPosition(&position, this);
        point->m_CurvePosition = position;
        point->m_FittedPosition = position;
    }
    for (int i = 0; i < n; ++i) {
        QxVector in, out;
        GetTangents(i, &in, &out);
        Point(i)->SetTangents(&in, &out);
    }
    if (m_FittingCoeff > 0.0f)
        for (int i = 0; i < n; ++i) {
            RCKCurvePoint* point = Point(i);
            const QxVector& p = point->m_CurvePosition;
            const QxVector middle = (Point(Wrap(i - 1))->m_CurvePosition + Point(Wrap(i + 1))->m_CurvePosition) * 0.5f;
            point->m_FittedPosition = p + (middle - p) * m_FittingCoeff;
        }
    m_Length = 0.0f;
    if (n > 0)
        Point(0)->m_Length = 0.0f;
    const int segments = n <= 1 ? 0 : (m_Open ? n - 1 : n);
    for (int s = 0; s < segments; ++s) {
        RCKCurvePoint* p = Point(s);
        RCKCurvePoint* q = Point(s + 1 == n ? 0 : s + 1);
        p->m_Length = m_Length;
        const QxVector& a = p->m_FittedPosition;
        const QxVector& b = q->m_FittedPosition;
        QxVector ta, tb;
        p->GetTangents(nullptr, &ta);
        q->GetTangents(&tb, nullptr);
        // A segment between coincident points with no tangents is a point:
        // sampling it would only measure the rounding of the blend weights.
        const QxVector zero;
        if (!p->IsLinear() && !(a == b && ta == zero && tb == zero)) {
            QxVector previous = a;
            for (int k = 1; k <= kLengthSamples; ++k) {
                const QxVector x = Hermite(a, b, ta, tb, (float) k / (float) kLengthSamples);
                m_Length += QxMagnitude(x - previous);
                previous = x;
            }
        } else {
            m_Length += QxMagnitude(b - a);
        }
        if (s != n - 1)
            q->m_Length = m_Length;
    }
    FillKnots();
    UpdateMesh();
    ModifyObjectFlags(CK_OBJECT_UPTODATE, 0);
}

void RCKCurve::FillKnots()
{
    const int n = m_Points.Size();
    m_Knots.Resize(n);
    for (int i = 0; i < n; ++i) {
        RCKCurvePoint* point = Point(i);
        Knot& knot = m_Knots[i];
        knot.Length = point->m_Length;
        knot.Linear = point->IsLinear();
        knot.Fitted = point->m_FittedPosition;
        point->GetTangents(&knot.In, &knot.Out);
    }
}

CKERROR RCKCurve::Evaluate(float s, QxVector* position, QxVector* tangent)
{
    UpdateIfNeeded();
    // NaN and, on a closed curve, the infinities have no place on the curve:
    // the start stands in. Wrapping subtracts the integer part instead of
    // stepping by 1, so that a huge fraction takes no longer than a small
    // one; the result is the same.
    if (std::isnan(s))
        s = 0.0f;
    if (m_Open) {
        s = s < 0.0f ? 0.0f : (s > 1.0f ? 1.0f : s);
    } else {
        if (std::isinf(s))
            s = 0.0f;
        if (s > 1.0f)
            s -= std::trunc(s);
        if (s < 0.0f) {
            s -= std::trunc(s);
            if (s < 0.0f)
                s += 1.0f;
        }
    }
    const int n = m_Points.Size();
    if (n < 2 || !position)
        return CKErr::InvalidParameter;
    const float target = m_Length * s;
    // The first point whose cumulative length is beyond the target; the
    // lengths grow along the list, so a binary search finds the same point
    // as a scan from the start.
    if (m_Knots.Size() != n)
        FillKnots();
    const Knot* knots = m_Knots.Begin();
    int lo = 0, hi = n;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (knots[mid].Length > target)
            hi = mid;
        else
            lo = mid + 1;
    }
    int end = lo < n ? lo : (m_Open ? n - 1 : 0);
    int start = end - 1;
    if (start < 0)
        start = m_Open ? 0 : n - 1;
    const Knot& from = knots[start];
    const Knot& to = knots[end];
    const QxVector& a = from.Fitted;
    const QxVector& b = to.Fitted;
    const float la = from.Length;
    const float lb = end == 0 ? m_Length : to.Length;
    const float u = lb == la ? 0.0f : (target - la) / (lb - la);
    if (from.Linear) {
        *position = a + (b - a) * u;
        if (tangent)
            *tangent = b - a;
    } else {
        *position = Hermite(a, b, from.Out, to.In, u);
        if (tangent)
            *tangent = Hermite(a, b, from.Out, to.In, u + 0.01f) - *position;
    }
    return CKErr::Ok;
}

CKERROR RCKCurve::GetLocalPos(float s, QxVector* position, QxVector* tangent)
{
    CKERROR error = Evaluate(s, position, tangent);
    if (error == CKErr::Ok && tangent)
        tangent->Normalize();
    return error;
}

CKERROR RCKCurve::GetPos(float s, QxVector* position, QxVector* tangent)
{
    if (!position)
        return CKErr::InvalidParameter;
    QxVector local, direction;
    CKERROR error = Evaluate(s, &local, tangent ? &direction : nullptr);
    if (error != CKErr::Ok)
        return error;
    QxMultiplyMatrixVector(*position, m_WorldMatrix, local);
    if (tangent) {
        QxRotateVector(*tangent, m_WorldMatrix, direction);
        tangent->Normalize();
    }
    return CKErr::Ok;
}

CKERROR RCKCurve::CreateLineMesh()
{
    if (!m_Context)
        return CKErr::OutOfMemory;
    XString name(GetName() ? GetName() : "");
    name += "LineMesh";
    const CKDWORD options =
        (GetObjectFlags() & CK_OBJECT_DYNAMIC) == CK_OBJECT_DYNAMIC ? (CKDWORD) CK_OBJECTCREATION_DYNAMIC : 0u;
    CKObject* mesh = m_Context->CreateObject(CKCID_MESH, name.CStr(), options);
    if (!mesh)
        return CKErr::OutOfMemory;
    mesh->ModifyObjectFlags(kDisplayObjectFlags, 0);
    SetCurrentMesh(static_cast<CKMesh*>(mesh), TRUE);
    return CKErr::Ok;
}

int RCKCurve::MeshSegments(int i, int steps) const
{
    const int n = m_Points.Size();
    RCKCurvePoint* p = Point(i);
    if (p->IsLinear())
        return 1;
    const float end = i + 1 == n ? m_Length : Point(i + 1)->m_Length;
    // Coincident points (a zero length) and values of no sense give one
    // segment rather than a division by zero.
    const float m = (float) steps * (1.0f / m_Length) * (end - p->m_Length);
    if (!(m >= 1.0f))
        return 1;
    return m >= (float) steps ? steps : (int) m;
}

CKERROR RCKCurve::UpdateMesh()
{
    if (!IsVisible())
        return CKErr::Ok;
    CKMesh* mesh = GetCurrentMesh();
    if (!mesh) {
        CreateLineMesh();
        mesh = GetCurrentMesh();
        if (!mesh)
            return CKErr::NotFound;
    } else {
        mesh->ModifyObjectFlags(kDisplayObjectFlags, 0);
    }
    const int steps = m_StepCount < 0 ? 0 : (m_StepCount > CK_CURVE_MAXMESHSTEPS ? CK_CURVE_MAXMESHSTEPS : m_StepCount);
    const int n = m_Points.Size();
    if (n < 2) {
        mesh->SetVertexCount(steps + 1);
        mesh->SetLineCount(steps);
        const QxVector origin;
        for (int i = 0; i <= steps && i < mesh->GetVertexCount(); ++i) {
            mesh->SetVertexColor(i, m_Color);
            mesh->SetVertexSpecularColor(i, 0);
            mesh->SetVertexTextureCoordinates(i, 0.0f, 0.0f, -1);
            mesh->SetVertexPosition(i, origin);
        }
        mesh->CreateLineStrip(0, steps, 0);
    } else {
        const int segments = m_Open ? n - 1 : n;
        // Each segment's share of the steps; with lengths that agree with
        // each other the shares add up to at most steps + segments, which
        // bounds the mesh whatever the lengths say.
        const int budget = steps + segments;
        XArray<int> shares;
        shares.Resize(segments);
        int total = 0;
        for (int i = 0; i < segments; ++i) {
            int m = MeshSegments(i, steps);
            const int left = budget - total - (segments - 1 - i);
            if (m > left)
                m = left;
            shares[i] = m;
            total += m;
        }
        mesh->SetVertexCount(total + 1);
        mesh->SetLineCount(total);
        CKDWORD stride = 0;
        CKBYTE* positions = static_cast<CKBYTE*>(mesh->GetPositionsPtr(&stride));
        if (positions && mesh->GetVertexCount() == total + 1) {
            int v = 0;
            auto put = [&](const QxVector& x) { std::memcpy(positions + (size_t) v++ * stride, &x, sizeof(x)); };
            for (int i = 0; i < segments; ++i) {
                RCKCurvePoint* p = Point(i);
                RCKCurvePoint* q = Point(i + 1 == n ? 0 : i + 1);
                const int m = shares[i];
                if (!p->IsLinear() && m != 1) {
                    QxVector ta, tb;
                    p->GetTangents(nullptr, &ta);
                    q->GetTangents(&tb, nullptr);
                    for (int j = 0; j < m; ++j)
                        put(Hermite(p->m_FittedPosition, q->m_FittedPosition, ta, tb, (float) j / (float) m));
                } else {
                    put(p->m_FittedPosition);
                }
            }
            put(Point(m_Open ? n - 1 : 0)->m_FittedPosition);
            CKDWORD colorStride = 0, specularStride = 0;
            CKBYTE* colors = static_cast<CKBYTE*>(mesh->GetColorsPtr(&colorStride));
            CKBYTE* speculars = static_cast<CKBYTE*>(mesh->GetSpecularColorsPtr(&specularStride));
            const CKDWORD specular = 0xFF000000;
            for (int i = 0; i <= total; ++i) {
                if (colors)
                    std::memcpy(colors + (size_t) i * colorStride, &m_Color, 4);
                if (speculars)
                    std::memcpy(speculars + (size_t) i * specularStride, &specular, 4);
            }
            mesh->CreateLineStrip(0, total, 0);
            mesh->VertexMove();
        }
    }
    if (m_Context && !m_Context->IsInInterfaceMode())
        mesh->Show(CKHIDE);
    return CKErr::Ok;
}

void RCKCurve::Show(CKDWORD show)
{
    RCK3dEntity::Show(show);
    UpdateMesh();
}

CKBOOL RCKCurve::Render(CKRenderContext* context, CKDWORD flags)
{
    UpdateIfNeeded();
    return RCK3dEntity::Render(context, flags);
}

void RCKCurve::UpdateBox(CKBOOL world)
{
    UpdateIfNeeded();
    RCK3dEntity::UpdateBox(world);
}

void RCKCurve::PreSave(CKFile* file, CKDWORD flags)
{
    RCK3dEntity::PreSave(file, flags);
    if (file && m_Points.Size() > 0)
        file->SaveObjects(m_Points.Begin(), m_Points.Size(), 0xFFFFFFFF);
}

CKStateChunk* RCKCurve::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKCurve::m_ClassID, RCK3dEntity::Save(file, flags), file, flags,
                            CK_STATESAVE_CURVEONLY, [&](CKStateChunk& chunk) {
                                chunk.WriteIdentifier(CK_STATESAVE_CURVEONLY);
                                m_Points.Save(&chunk);
                                chunk.WriteFloat(m_FittingCoeff);
                                chunk.WriteInt(m_StepCount);
                                chunk.WriteInt(m_Open);
                                if (file)
                                    return;
                                chunk.WriteIdentifier(CK_STATESAVE_CURVESAVEPOINTS);
                                chunk.WriteInt(m_Points.Size());
                                for (CKObject* point : m_Points) {
                                    chunk.WriteObject(point);
                                    CKStateChunk* sub = point ? CKSaveObjectState(point, flags) : nullptr;
                                    chunk.WriteSubChunk(sub);
                                    CKDeleteStateChunk(sub);
                                }
                            });
}

CKERROR RCKCurve::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return RCK3dEntity::Load(chunk, file); },
        [&](CKStateChunk& c) {
            m_Loading = 1;
            // The points' own states, saved with the curve: only points load
            // them (a curve among them would nest without end).
            auto loadPoints = [&] {
                const int count = c.ReadInt();
                for (int i = 0; i < count && c.GetReadError() == CKErr::Ok; ++i) {
                    CKObject* point = c.ReadObject(m_Context);
                    CKStateChunk* sub = c.ReadSubChunk();
                    if (point && sub && CKIsChildClassOfObject(point, CKCID_CURVEPOINT))
                        point->Load(sub, nullptr);
                    CKDeleteStateChunk(sub);
                }
            };
            if (c.GetDataVersion() >= CK_CURVE_SINGLESECTIONVERSION) {
                if (c.SeekIdentifier(CK_STATESAVE_CURVEONLY)) {
                    XArray<CK_ID> before;
                    for (CKObject* point : m_Points)
                        before.PushBack(point->GetID());
                    m_Points.Load(m_Context, &c);
                    KeepCurvePoints();
                    m_FittingCoeff = c.ReadFloat();
                    m_StepCount = c.ReadInt();
                    m_Open = c.ReadInt();
                    // Points the new list no longer names go, unless the
                    // chunk was cut short.
                    if (c.GetReadError() == CKErr::Ok && m_Context)
                        for (CK_ID id : before) {
                            CKObject* point = m_Context->GetObject(id);
                            if (point && !m_Points.IsHere(point))
                                m_Context->DestroyObjectByID(id, 0, nullptr);
                        }
                }
                if (!file && c.SeekIdentifier(CK_STATESAVE_CURVESAVEPOINTS))
                    loadPoints();
            } else {
                if (c.SeekIdentifier(CK_STATESAVE_CURVECONTROLPOINT)) {
                    m_Points.Load(m_Context, &c);
                    KeepCurvePoints();
                }
                if (c.SeekIdentifier(CK_STATESAVE_CURVEFITCOEFF))
                    m_FittingCoeff = c.ReadFloat();
                if (c.SeekIdentifier(CK_STATESAVE_CURVESTEPS))
                    m_StepCount = c.ReadInt();
                if (c.SeekIdentifier(CK_STATESAVE_CURVEOPEN))
                    m_Open = c.ReadInt();
                if (c.SeekIdentifier(CK_STATESAVE_CURVESAVEPOINTS))
                    loadPoints();
            }
            m_Loading = 0;
            OutOfDate();
        });
}

void RCKCurve::PreDelete()
{
    RCK3dEntity::PreDelete();
    const CK_ID id = GetID();
    for (CKObject* point : m_Points)
        if (static_cast<RCKCurvePoint*>(point)->GetCurveID() == id)
            static_cast<RCKCurvePoint*>(point)->SetCurve(nullptr);
}

void RCKCurve::CheckPreDeletion()
{
    RCK3dEntity::CheckPreDeletion();
    if (m_Points.Check())
        OutOfDate();
}

int RCKCurve::GetMemoryOccupation()
{
    return RCK3dEntity::GetMemoryOccupation() + 36 + 4 * m_Points.Size();
}

CKBOOL RCKCurve::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (cid == CKCID_CURVEPOINT && m_Points.IsHere(object))
        return TRUE;
    return RCK3dEntity::IsObjectUsed(object, cid);
}

CKERROR RCKCurve::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = RCK3dEntity::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    for (CKObject* point : m_Points)
        point->PrepareDependencies(context, TRUE);
    if (CKMesh* mesh = GetCurrentMesh())
        mesh->PrepareDependencies(context, TRUE);
    return CKErr::Ok;
}

CKERROR RCKCurve::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = RCK3dEntity::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    m_Points.Remap(context);
    KeepCurvePoints();
    OutOfDate();
    return CKErr::Ok;
}

CKERROR RCKCurve::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = RCK3dEntity::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    CreateLineMesh();
    if (CKIsChildClassOfObject(&source, CKCID_CURVE)) {
        const RCKCurve& from = static_cast<const RCKCurve&>(source);
        m_Points = from.m_Points;
        m_Open = from.m_Open;
        m_Length = from.m_Length;
        m_StepCount = from.m_StepCount;
        m_FittingCoeff = from.m_FittingCoeff;
        m_Color = from.m_Color;
    }
    OutOfDate();
    return CKErr::Ok;
}
