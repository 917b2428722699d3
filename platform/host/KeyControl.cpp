#include "platform/host/KeyControl.h"

#include <algorithm>

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

// The classic ease curve: u slowed by a at its start and b at its end
// (fractions of the segment, their sum kept to 1 at most).
float Ease(float u, float a, float b)
{
    a = std::clamp(a, 0.0f, 1.0f);
    b = std::clamp(b, 0.0f, 1.0f);
    const float sum = a + b;
    if (sum == 0.0f)
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
    const float rest = 1.0f - u;
    return 1.0f - k / b * rest * rest;
}

Point3 Hermite(const Point3& p0, const Point3& m0, const Point3& p1, const Point3& m1, float u)
{
    const float u2 = u * u, u3 = u2 * u;
    return p0 * (2.0f * u3 - 3.0f * u2 + 1.0f) + m0 * (u3 - 2.0f * u2 + u) + p1 * (-2.0f * u3 + 3.0f * u2) +
           m1 * (u3 - u2);
}

Point3 Cubic(const Point3& p0, const Point3& p1, const Point3& p2, const Point3& p3, float u)
{
    const float v = 1.0f - u;
    return p0 * (v * v * v) + p1 * (3.0f * v * v * u) + p2 * (3.0f * v * u * u) + p3 * (u * u * u);
}

// Kochanek-Bartels tangents of a key from the steps to its neighbours
// (either may be missing at an end), scaled to the segment they serve.
struct Tangents
{
    Point3 in, out;
};

Tangents KochanekBartels(const HostKey& key, const Point3* prev, float prevTime, const Point3* next, float nextTime)
{
    const float t = 1.0f - key.tens;
    Tangents r;
    if (!prev || !next) {
        r.in = r.out = (prev ? *prev : next ? *next : Point3()) * t;
        return r;
    }
    const float c = key.cont, b = key.bias;
    r.out = *prev * (t * (1.0f + b) * (1.0f - c) * 0.5f) + *next * (t * (1.0f - b) * (1.0f + c) * 0.5f);
    r.in = *prev * (t * (1.0f + b) * (1.0f + c) * 0.5f) + *next * (t * (1.0f - b) * (1.0f - c) * 0.5f);
    const float sum = prevTime + nextTime;
    r.out *= 2.0f * nextTime / sum;
    r.in *= 2.0f * prevTime / sum;
    return r;
}

Point3 Vector(const Quat& q)
{
    return Point3(q.x, q.y, q.z);
}

Quat Pure(const Point3& p)
{
    return Quat(p.x, p.y, p.z, 0.0f);
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
    : Control(SuperClassOf(track), ClassIdOf(track, interpolation), ClassNameOf(track, interpolation)), m_Track(track),
      m_Interpolation(interpolation)
{
    if (track == Track::Scale)
        m_Constant.value = Point3(1.0f, 1.0f, 1.0f);
}

bool KeyControl::SetKeys(std::vector<HostKey> keys)
{
    for (size_t i = 1; i < keys.size(); ++i)
        if (keys[i].time <= keys[i - 1].time)
            return false;
    m_Keys = std::move(keys);
    m_Absolute.clear();
    if (m_Track == Track::Rotation && m_Interpolation == Interpolation::TCB) {
        Quat running;
        for (const HostKey& k : m_Keys) {
            running *= QFromAngAxis(k.angleAxis.angle, k.angleAxis.axis);
            m_Absolute.push_back(running);
        }
    }
    return true;
}

Quat KeyControl::KeyRotation(int i) const
{
    return m_Absolute.empty() ? m_Keys[size_t(i)].rotation : m_Absolute[size_t(i)];
}

HostKey KeyControl::Evaluate(TimeValue t) const
{
    const int n = GetNumKeys();
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
            r.rotation = Slerp(m_Keys[size_t(i)].rotation, m_Keys[size_t(i) + 1].rotation, u);
    }
    return r;
}

Point3 KeyControl::EvaluateVector(int i, float u) const
{
    const HostKey& k0 = m_Keys[size_t(i)];
    const HostKey& k1 = m_Keys[size_t(i) + 1];
    switch (m_Interpolation) {
    case Interpolation::Linear: return k0.value + (k1.value - k0.value) * u;
    case Interpolation::Bezier: {
        if (GetOutTanType(k0.flags) == BEZKEY_STEP)
            return k0.value;
        const float third = float((double(k1.time) - double(k0.time)) / 3.0);
        return Cubic(k0.value, k0.value + k0.outTan * third, k1.value + k1.inTan * third, k1.value, u);
    }
    case Interpolation::TCB: {
        const auto tangents = [this](int j) {
            const HostKey& k = m_Keys[size_t(j)];
            const bool hasPrev = j > 0, hasNext = j + 1 < GetNumKeys();
            const Point3 prev = hasPrev ? k.value - m_Keys[size_t(j) - 1].value : Point3();
            const Point3 next = hasNext ? m_Keys[size_t(j) + 1].value - k.value : Point3();
            return KochanekBartels(
                k, hasPrev ? &prev : nullptr, hasPrev ? float(k.time - m_Keys[size_t(j) - 1].time) : 0.0f,
                hasNext ? &next : nullptr, hasNext ? float(m_Keys[size_t(j) + 1].time - k.time) : 0.0f);
        };
        const float eased = Ease(u, k0.easeOut / 50.0f, k1.easeIn / 50.0f);
        return Hermite(k0.value, tangents(i).out, k1.value, tangents(i + 1).in, eased);
    }
    }
    return k0.value;
}

Quat KeyControl::EvaluateRotation(int i, float u) const
{
    const HostKey& k0 = m_Keys[size_t(i)];
    const HostKey& k1 = m_Keys[size_t(i) + 1];
    const Quat q0 = KeyRotation(i), q1 = KeyRotation(i + 1);
    if (m_Interpolation != Interpolation::TCB) {
        if (m_Interpolation == Interpolation::Bezier && GetOutTanType(k0.flags) == BEZKEY_STEP)
            return q0;
        return Slerp(q0, q1, u);
    }
    // Tangents in the logarithms of the relative rotations to the neighbours.
    const auto inner = [this](int j, bool outgoing) {
        const HostKey& k = m_Keys[size_t(j)];
        const Quat q = KeyRotation(j);
        const bool hasPrev = j > 0, hasNext = j + 1 < GetNumKeys();
        const Point3 prev = hasPrev ? Vector(LnQuat(KeyRotation(j - 1).Inverse() * q)) : Point3();
        const Point3 next = hasNext ? Vector(LnQuat(q.Inverse() * KeyRotation(j + 1))) : Point3();
        const Tangents t =
            KochanekBartels(k, hasPrev ? &prev : nullptr, hasPrev ? float(k.time - m_Keys[size_t(j) - 1].time) : 0.0f,
                            hasNext ? &next : nullptr, hasNext ? float(m_Keys[size_t(j) + 1].time - k.time) : 0.0f);
        return outgoing ? q * ExpQuat(Pure((t.out - next) * 0.5f)) : q * ExpQuat(Pure((prev - t.in) * 0.5f));
    };
    const float eased = Ease(u, k0.easeOut / 50.0f, k1.easeIn / 50.0f);
    return Squad(q0, inner(i, true), inner(i + 1, false), q1, eased);
}

void KeyControl::GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod)
{
    const HostKey k = Evaluate(t);
    if (GetNumKeys() > 1)
        valid &= Interval(t, t);
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
