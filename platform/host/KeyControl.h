#pragma once

#include <vector>

#include "platform/host/Control.h"
#include "platform/host/MaxTypes.h"

// An angle (radians) about an axis: a TCB rotation key's value, relative to
// the previous key.
struct AngAxis
{
    Point3 axis{0.0f, 0.0f, 1.0f};
    float angle = 0.0f;
};

// One key of a key controller, whatever its kind: the fields its kind does
// not use keep their defaults. value holds a float in x, a position, or a
// scale's factors; rotation an absolute rotation (linear and Bezier rotation
// keys) and angleAxis a rotation relative to the previous key (TCB rotation
// keys); a scale's axes are in rotation. Bezier tangents are in value units
// per tick: the out tangent leads to the next key, the in tangent points back
// to the previous one (so a straight line has in = -out), and the curve's
// handles lie a third of the segment's length along them. flags carry the
// in-tangent type in bits 7 to 9 and the out-tangent type in bits 10 to 12
// (0 smooth, 1 linear, 2 step, 3 fast, 4 slow, 5 custom, 6 flat); only the
// step type changes the evaluation (the value holds until the next key), the
// curve otherwise follows the tangents given. TCB keys carry tension,
// continuity and bias (-1 to 1, 0 the default) and ease to / ease from (0 to
// 50).
struct HostKey
{
    TimeValue time = 0;
    DWORD flags = 0;
    Point3 value;
    Quat rotation;
    AngAxis angleAxis;
    Point3 inTan, outTan;
    float tens = 0.0f, cont = 0.0f, bias = 0.0f, easeIn = 0.0f, easeOut = 0.0f;
};

constexpr DWORD BEZKEY_STEP = 2;
// The in- and out-tangent types of a Bezier key's flags.
constexpr DWORD GetInTanType(DWORD flags)
{
    return (flags >> 7) & 7;
}
constexpr DWORD GetOutTanType(DWORD flags)
{
    return (flags >> 10) & 7;
}

// Stands in for the host's standard key controllers: linear, Bezier and TCB
// interpolation of a float, a position, a rotation or a scale. Before the
// first key and after the last the value holds; without keys it is the
// controller's constant value. Linear keys interpolate straight (rotations
// along the shorter arc), Bezier keys along their cubic, TCB keys along
// Kochanek-Bartels curves (rotations by spherical quadrangles of the
// running product of their relative rotations), eased by the keys' ease
// values.
class KeyControl : public Control
{
public:
    enum class Interpolation
    {
        Linear,
        Bezier,
        TCB
    };
    enum class Track
    {
        Float,
        Position,
        Rotation,
        Scale
    };

    KeyControl(Track track, Interpolation interpolation);

    Track GetTrack() const { return m_Track; }
    Interpolation GetInterpolation() const { return m_Interpolation; }

    int GetNumKeys() const { return int(m_Keys.size()); }
    // The keys, in time order; key i for 0 <= i < GetNumKeys().
    const HostKey& Key(int i) const { return m_Keys[size_t(i)]; }
    // Sets the keys, which must be in strictly increasing time order (false,
    // and nothing changed, when they are not).
    bool SetKeys(std::vector<HostKey> keys);
    // The value without keys (x of value for a float).
    void SetConstant(const HostKey& constant) { m_Constant = constant; }
    const HostKey& Constant() const { return m_Constant; }

    void GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod method = CTRL_ABSOLUTE) override;

    // The value at time t: in value for floats, positions and scales, in
    // rotation for rotations and scale axes.
    HostKey Evaluate(TimeValue t) const;

    // The class id of each kind.
    static Class_ID ClassIdOf(Track track, Interpolation interpolation);

private:
    Point3 EvaluateVector(int i, float u) const;
    Quat EvaluateRotation(int i, float u) const;
    // The absolute rotation of key i.
    Quat KeyRotation(int i) const;

    Track m_Track;
    Interpolation m_Interpolation;
    std::vector<HostKey> m_Keys;
    std::vector<Quat> m_Absolute; // TCB rotations: the running products
    HostKey m_Constant;
};

constexpr Class_ID LININTERP_FLOAT_CLASS_ID(0x2001, 0);
constexpr Class_ID LININTERP_POSITION_CLASS_ID(0x2002, 0);
constexpr Class_ID LININTERP_ROTATION_CLASS_ID(0x2003, 0);
constexpr Class_ID LININTERP_SCALE_CLASS_ID(0x2004, 0);
constexpr Class_ID HYBRIDINTERP_FLOAT_CLASS_ID(0x2007, 0);
constexpr Class_ID HYBRIDINTERP_POSITION_CLASS_ID(0x2008, 0);
constexpr Class_ID HYBRIDINTERP_ROTATION_CLASS_ID(0x2009, 0);
constexpr Class_ID HYBRIDINTERP_SCALE_CLASS_ID(0x2010, 0);
constexpr Class_ID TCBINTERP_FLOAT_CLASS_ID(0x442311, 0);
constexpr Class_ID TCBINTERP_POSITION_CLASS_ID(0x442312, 0);
constexpr Class_ID TCBINTERP_ROTATION_CLASS_ID(0x442313, 0);
constexpr Class_ID TCBINTERP_SCALE_CLASS_ID(0x442315, 0);
constexpr SClass_ID CTRL_FLOAT_CLASS_ID = 0x9003;
