#include "platform/host/KeyControl.h"

#include <algorithm>
#include <cmath>

#include "platform/host/Hold.h"

namespace {

const char* ClassNameOf(KeyControl::Track track, KeyControl::Interpolation interpolation)
{
    static const char* const names[3][4] = {
        {"Linear Float", "Linear Position", "Linear Rotation", "Linear Scale"},
        {"Bezier Float", "Bezier Position", "Bezier Rotation", "Bezier Scale"},
        {"TCB Float", "TCB Position", "TCB Rotation", "TCB Scale"},
    };
    return names[int(interpolation)][int(track)];
}

SClass_ID SuperClassOf(KeyControl::Track track)
{
    switch (track) {
    case KeyControl::Track::Float: return CTRL_FLOAT_CLASS_ID;
    case KeyControl::Track::Position: return CTRL_POSITION_CLASS_ID;
    case KeyControl::Track::Rotation: return CTRL_ROTATION_CLASS_ID;
    case KeyControl::Track::Scale: return CTRL_SCALE_CLASS_ID;
    }
    return CTRL_FLOAT_CLASS_ID;
}

// The eased parameter: constant acceleration over the eased fractions a (at
// the start) and b (at the end), constant speed between; fractions are the
// eases over 50, scaled down together when they sum above 1. A NaN ease
// counts as none.
float Ease(float u, float easeOut, float easeIn)
{
    float a = easeOut > 0.0f ? std::min(easeOut / 50.0f, 1.0f) : 0.0f;
    float b = easeIn > 0.0f ? std::min(easeIn / 50.0f, 1.0f) : 0.0f;
    const float sum = a + b;
    if (sum <= 0.0f)
        return u;
    if (sum > 1.0f) {
        a /= sum;
        b /= sum;
    }
    const float k = 1.0f / (2.0f - a - b);
    if (u < a)
        return k / a * u * u;
    if (u < 1.0f - b)
        return k * (2.0f * u - a);
    const float v = 1.0f - u;
    return 1.0f - k / b * v * v;
}

// Weights of a Kochanek-Bartels key's tangents over the differences to its
// neighbours: out = outPrev * dPrev + outNext * dNext leaves the key, in =
// inPrev * dPrev + inNext * dNext arrives at it.
struct Weights
{
    float outPrev, outNext, inPrev, inNext;
};

Weights TangentWeights(const HostKey& k)
{
    const float t = 1.0f - k.tens, c = k.cont, b = k.bias;
    return {t * (1.0f + c) * (1.0f + b) * 0.5f, t * (1.0f - c) * (1.0f - b) * 0.5f, t * (1.0f - c) * (1.0f + b) * 0.5f,
            t * (1.0f + c) * (1.0f - b) * 0.5f};
}

Point3 Hermite(float u, const Point3& a, const Point3& da, const Point3& b, const Point3& db)
{
    const float u2 = u * u, u3 = u2 * u;
    const float h0 = 2.0f * u3 - 3.0f * u2 + 1.0f, h1 = u3 - 2.0f * u2 + u, h2 = -2.0f * u3 + 3.0f * u2, h3 = u3 - u2;
    return Point3(h0 * a.x + h1 * da.x + h2 * b.x + h3 * db.x, h0 * a.y + h1 * da.y + h2 * b.y + h3 * db.y,
                  h0 * a.z + h1 * da.z + h2 * b.z + h3 * db.z);
}

// Spherical blend along the shorter arc; within 0.01 of each other the two
// rotations blend straight (the caller normalises).
Quat Blend(float t, const Quat& a, const Quat& b)
{
    const float c = QuatDot(a, b);
    double k0, k1;
    const double cosine = c < 0.0f ? -double(c) : double(c);
    if (1.0 - cosine <= 0.01) {
        k0 = 1.0 - t;
        k1 = t;
    } else {
        const double theta = std::acos(cosine);
        const double s = std::sin(theta);
        k0 = std::sin((1.0 - t) * theta) / s;
        k1 = std::sin(t * theta) / s;
    }
    if (c < 0.0f)
        k1 = -k1;
    const float f0 = float(k0), f1 = float(k1);
    return Quat(f0 * a.x + f1 * b.x, f0 * a.y + f1 * b.y, f0 * a.z + f1 * b.z, f0 * a.w + f1 * b.w);
}

Point3 Ln(const Quat& q)
{
    const double length = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z);
    if (!(length > 0.0))
        return Point3();
    const double scale = std::atan2(length, double(q.w)) / length;
    return Point3(float(q.x * scale), float(q.y * scale), float(q.z * scale));
}

Quat Exp(const Point3& v)
{
    const double length = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    const float w = float(std::cos(length));
    if (length > 1.1920929e-7) {
        const double scale = std::sin(length) / length;
        return Quat(float(v.x * scale), float(v.y * scale), float(v.z * scale), w);
    }
    return Quat(v.x, v.y, v.z, w);
}

// ln(conj(a) * b), along the shorter arc.
Point3 LogDifference(const Quat& a, const Quat& b)
{
    Quat d = a.Conjugate() * b;
    if (d.w < 0.0f)
        d = Quat(-d.x, -d.y, -d.z, -d.w);
    return Ln(d);
}

} // namespace

Class_ID KeyControl::ClassIdOf(Track track, Interpolation interpolation)
{
    static const Class_ID ids[3][4] = {
        {LININTERP_FLOAT_CLASS_ID, LININTERP_POSITION_CLASS_ID, LININTERP_ROTATION_CLASS_ID, LININTERP_SCALE_CLASS_ID},
        {HYBRIDINTERP_FLOAT_CLASS_ID, HYBRIDINTERP_POSITION_CLASS_ID, HYBRIDINTERP_ROTATION_CLASS_ID,
         HYBRIDINTERP_SCALE_CLASS_ID},
        {TCBINTERP_FLOAT_CLASS_ID, TCBINTERP_POSITION_CLASS_ID, TCBINTERP_ROTATION_CLASS_ID, TCBINTERP_SCALE_CLASS_ID},
    };
    return ids[int(interpolation)][int(track)];
}

KeyControl::KeyControl(Track track, Interpolation interpolation)
    : KeyControl(track, interpolation, ClassIdOf(track, interpolation), ClassNameOf(track, interpolation))
{}

KeyControl::KeyControl(Track track, Interpolation interpolation, Class_ID classId, std::string className)
    : Control(SuperClassOf(track), classId, std::move(className)), m_Track(track), m_Interpolation(interpolation)
{
    if (track == Track::Scale)
        m_Constant.value = Point3(1.0f, 1.0f, 1.0f);
}

bool KeyControl::SetKeys(std::vector<HostKey> keys)
{
    for (size_t i = 1; i < keys.size(); ++i)
        if (keys[i].time <= keys[i - 1].time)
            return false;
    if (theHold.Holding())
        theHold.Put([this, old = m_Keys] {
            m_Keys = old;
            BuildAbsolute();
        });
    m_Keys = std::move(keys);
    BuildAbsolute();
    return true;
}

void KeyControl::SetConstant(const HostKey& constant)
{
    if (theHold.Holding())
        theHold.Put([this, old = m_Constant] { m_Constant = old; });
    m_Constant = constant;
}

void KeyControl::SetFloatAt(TimeValue t, float v)
{
    if (m_Keys.empty()) {
        HostKey k = m_Constant;
        k.value.x = v;
        SetConstant(k);
        return;
    }
    std::vector<HostKey> keys = m_Keys;
    const auto at =
        std::lower_bound(keys.begin(), keys.end(), t, [](const HostKey& k, TimeValue time) { return k.time < time; });
    if (at != keys.end() && at->time == t) {
        at->value.x = v;
    } else {
        HostKey k;
        k.time = t;
        k.value.x = v;
        if (m_Interpolation == Interpolation::Bezier)
            k.flags = 5u << 7 | 5u << 10;
        keys.insert(at, k);
    }
    SetKeys(std::move(keys));
}

void KeyControl::BuildAbsolute()
{
    m_Absolute.clear();
    m_Controls.clear();
    if (m_Track != Track::Rotation || m_Interpolation != Interpolation::TCB)
        return;
    Quat running;
    for (const HostKey& k : m_Keys) {
        running *= QFromAngAxis(k.angleAxis.angle, k.angleAxis.axis);
        m_Absolute.push_back(running);
    }
    // Squad control points: a missing neighbour takes the difference of the
    // other side.
    const size_t n = m_Keys.size();
    m_Controls.resize(2 * n);
    Point3 lPrev = n > 1 ? LogDifference(m_Absolute[0], m_Absolute[1]) : Point3();
    for (size_t k = 0; k < n; ++k) {
        const Point3 lNext = k + 1 < n ? LogDifference(m_Absolute[k], m_Absolute[k + 1]) : lPrev;
        if (k == 0)
            lPrev = lNext;
        const Weights w = TangentWeights(m_Keys[k]);
        const Point3 in = lPrev * w.inPrev + lNext * w.inNext;
        const Point3 out = lPrev * w.outPrev + lNext * w.outNext;
        m_Controls[2 * k] = m_Absolute[k] * Exp((lPrev - in) * 0.5f);
        m_Controls[2 * k + 1] = m_Absolute[k] * Exp((out - lNext) * 0.5f);
        lPrev = lNext;
    }
}

Quat KeyControl::KeyRotation(int i) const
{
    return m_Absolute.empty() ? m_Keys[size_t(i)].rotation : m_Absolute[size_t(i)];
}

HostKey KeyControl::Evaluate(TimeValue t) const
{
    const int n = NumKeys();
    if (n == 0)
        return m_Constant;
    HostKey r;
    r.time = t;
    int i = 0;
    float u = 0.0f;
    if (t >= m_Keys.back().time) {
        i = n - 1;
    } else if (t > m_Keys.front().time) {
        const auto after =
            std::upper_bound(m_Keys.begin(), m_Keys.end(), t, [](TimeValue a, const HostKey& k) { return a < k.time; });
        i = int(after - m_Keys.begin()) - 1;
        const double span = double(m_Keys[size_t(i) + 1].time) - double(m_Keys[size_t(i)].time);
        u = float((double(t) - double(m_Keys[size_t(i)].time)) / span);
    }
    if (u == 0.0f) {
        r.value = m_Keys[size_t(i)].value;
        r.rotation = KeyRotation(i);
        return r;
    }
    if (m_Track == Track::Rotation) {
        r.rotation = EvaluateRotation(i, u);
    } else {
        r.value = EvaluateVector(i, u);
        if (m_Track == Track::Scale)
            r.rotation = Blend(u, m_Keys[size_t(i)].rotation, m_Keys[size_t(i) + 1].rotation).Normalize();
    }
    return r;
}

Point3 KeyControl::EvaluateVector(int i, float u) const
{
    const HostKey& a = m_Keys[size_t(i)];
    const HostKey& b = m_Keys[size_t(i) + 1];
    switch (m_Interpolation) {
    case Interpolation::Linear: return a.value * (1.0f - u) + b.value * u;
    case Interpolation::Bezier: {
        if (GetOutTanType(a.flags) == BEZKEY_STEP || GetInTanType(b.flags) == BEZKEY_STEP)
            return a.value;
        const float dt = float(double(b.time) - double(a.time));
        const Point3 chord = b.value - a.value;
        const Point3 out = GetOutTanType(a.flags) == BEZKEY_LINEAR ? chord : a.outTan * dt;
        const Point3 in = GetInTanType(b.flags) == BEZKEY_LINEAR ? chord : b.inTan * -dt;
        return Hermite(u, a.value, out, b.value, in);
    }
    case Interpolation::TCB: {
        const int n = NumKeys();
        const Point3 d = b.value - a.value;
        const Point3 dPrev = i > 0 ? a.value - m_Keys[size_t(i) - 1].value : d;
        const Point3 dNext = i + 2 < n ? m_Keys[size_t(i) + 2].value - b.value : d;
        const Weights wa = TangentWeights(a), wb = TangentWeights(b);
        const Point3 out = dPrev * wa.outPrev + d * wa.outNext;
        const Point3 in = d * wb.inPrev + dNext * wb.inNext;
        return Hermite(Ease(u, a.easeOut, b.easeIn), a.value, out, b.value, in);
    }
    }
    return a.value;
}

Quat KeyControl::EvaluateRotation(int i, float u) const
{
    const Quat q0 = KeyRotation(i), q1 = KeyRotation(i + 1);
    if (m_Interpolation != Interpolation::TCB)
        return Blend(u, q0, q1).Normalize();
    u = Ease(u, m_Keys[size_t(i)].easeOut, m_Keys[size_t(i) + 1].easeIn);
    Quat outer = Blend(u, q0, q1).Normalize();
    Quat inner = Blend(u, m_Controls[2 * size_t(i) + 1], m_Controls[2 * size_t(i) + 2]).Normalize();
    return Blend(2.0f * u * (1.0f - u), outer, inner).Normalize();
}

Interval KeyControl::Validity(TimeValue t) const
{
    if (m_Keys.size() < 2)
        return FOREVER;
    if (t <= m_Keys.front().time)
        return Interval(TIME_NegInfinity, m_Keys.front().time);
    if (t >= m_Keys.back().time)
        return Interval(m_Keys.back().time, TIME_PosInfinity);
    return Interval(t, t);
}

void KeyControl::GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod)
{
    const HostKey k = Evaluate(t);
    valid &= Validity(t);
    switch (m_Track) {
    case Track::Float: *static_cast<float*>(val) = k.value.x; break;
    case Track::Position: *static_cast<Point3*>(val) = k.value; break;
    case Track::Rotation: *static_cast<Quat*>(val) = k.rotation; break;
    case Track::Scale: {
        ScaleValue& s = *static_cast<ScaleValue*>(val);
        s.s = k.value;
        s.q = k.rotation;
        break;
    }
    }
}

void* KeyControl::GetInterface(ULONG id)
{
    if (id == I_KEYCONTROL && m_KeysExposed)
        return static_cast<IKeyControl*>(this);
    return Control::GetInterface(id);
}

std::unique_ptr<Control> KeyControl::CloneControl() const
{
    auto copy = std::make_unique<KeyControl>(m_Track, m_Interpolation, ClassID(), ClassName());
    copy->m_Keys = m_Keys;
    copy->m_Constant = m_Constant;
    copy->m_KeysExposed = m_KeysExposed;
    copy->BuildAbsolute();
    return copy;
}

void KeyControl::GetKey(int i, IKey* key)
{
    if (!key || i < 0 || i >= NumKeys())
        return;
    const HostKey& k = m_Keys[size_t(i)];
    const auto tcb = [&k](ITCBKey* r) {
        r->tens = k.tens;
        r->cont = k.cont;
        r->bias = k.bias;
        r->easeIn = k.easeIn;
        r->easeOut = k.easeOut;
    };
    IKey* filled = nullptr;
    switch (m_Track) {
    case Track::Float:
        if (m_Interpolation == Interpolation::Linear) {
            if (auto* r = dynamic_cast<ILinFloatKey*>(key))
                r->val = k.value.x, filled = r;
        } else if (m_Interpolation == Interpolation::Bezier) {
            if (auto* r = dynamic_cast<IBezFloatKey*>(key))
                r->val = k.value.x, r->intan = k.inTan.x, r->outtan = k.outTan.x, filled = r;
        } else if (auto* r = dynamic_cast<ITCBFloatKey*>(key)) {
            r->val = k.value.x, tcb(r), filled = r;
        }
        break;
    case Track::Position:
        if (m_Interpolation == Interpolation::Linear) {
            if (auto* r = dynamic_cast<ILinPoint3Key*>(key))
                r->val = k.value, filled = r;
        } else if (m_Interpolation == Interpolation::Bezier) {
            if (auto* r = dynamic_cast<IBezPoint3Key*>(key))
                r->val = k.value, r->intan = k.inTan, r->outtan = k.outTan, filled = r;
        } else if (auto* r = dynamic_cast<ITCBPoint3Key*>(key)) {
            r->val = k.value, tcb(r), filled = r;
        }
        break;
    case Track::Rotation:
        if (m_Interpolation == Interpolation::Linear) {
            if (auto* r = dynamic_cast<ILinRotKey*>(key))
                r->val = k.rotation, filled = r;
        } else if (m_Interpolation == Interpolation::Bezier) {
            if (auto* r = dynamic_cast<IBezQuatKey*>(key))
                r->val = k.rotation, filled = r;
        } else if (auto* r = dynamic_cast<ITCBRotKey*>(key)) {
            r->val = k.angleAxis, tcb(r), filled = r;
        }
        break;
    case Track::Scale: {
        const ScaleValue value{k.value, k.rotation};
        if (m_Interpolation == Interpolation::Linear) {
            if (auto* r = dynamic_cast<ILinScaleKey*>(key))
                r->val = value, filled = r;
        } else if (m_Interpolation == Interpolation::Bezier) {
            if (auto* r = dynamic_cast<IBezScaleKey*>(key))
                r->val = value, r->intan = k.inTan, r->outtan = k.outTan, filled = r;
        } else if (auto* r = dynamic_cast<ITCBScaleKey*>(key)) {
            r->val = value, tcb(r), filled = r;
        }
        break;
    }
    }
    if (filled) {
        filled->time = k.time;
        filled->flags = k.flags;
    }
}
