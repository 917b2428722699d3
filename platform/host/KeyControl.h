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
// to the previous one (so a straight line has in = -out). flags carry the
// in-tangent type in bits 7 to 9 and the out-tangent type in bits 10 to 12
// (0 smooth, 1 linear, 2 step, 3 fast, 4 slow, 5 custom, 6 flat). TCB keys
// carry tension, continuity and bias (-1 to 1, 0 the default) and ease to
// (easeIn) / ease from (easeOut), 0 to 50.
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

constexpr DWORD BEZKEY_LINEAR = 1;
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

// The key records IKeyControl::GetKey fills, one per kind of controller:
// time and flags, then the value and the kind's own fields. A record of
// another kind than the controller's is left as it was.
class IKey
{
public:
    virtual ~IKey() = default;
    TimeValue time = 0;
    DWORD flags = 0;
};
class ITCBKey : public IKey
{
public:
    float tens = 0.0f, cont = 0.0f, bias = 0.0f, easeIn = 0.0f, easeOut = 0.0f;
};
class ILinFloatKey : public IKey
{
public:
    float val = 0.0f;
};
class IBezFloatKey : public IKey
{
public:
    float val = 0.0f, intan = 0.0f, outtan = 0.0f;
};
class ITCBFloatKey : public ITCBKey
{
public:
    float val = 0.0f;
};
class ILinPoint3Key : public IKey
{
public:
    Point3 val;
};
class IBezPoint3Key : public IKey
{
public:
    Point3 val, intan, outtan;
};
class ITCBPoint3Key : public ITCBKey
{
public:
    Point3 val;
};
class ILinRotKey : public IKey
{
public:
    Quat val;
};
// The key of the Bezier rotation class: a time, flags and a rotation.
class IBezQuatKey : public IKey
{
public:
    Quat val;
};
class ITCBRotKey : public ITCBKey
{
public:
    AngAxis val;
};
class ILinScaleKey : public IKey
{
public:
    ScaleValue val;
};
class IBezScaleKey : public IKey
{
public:
    ScaleValue val;
    Point3 intan, outtan;
};
class ITCBScaleKey : public ITCBKey
{
public:
    ScaleValue val;
};

// The key interface of the standard key controllers (GetInterface with
// I_KEYCONTROL).
class IKeyControl
{
public:
    virtual ~IKeyControl() = default;
    virtual int GetNumKeys() = 0;
    // Fills key with key i; nothing for an index out of range or a record
    // of another kind.
    virtual void GetKey(int i, IKey* key) = 0;
};

constexpr ULONG I_KEYCONTROL = 0x1060;

// Stands in for the host's standard key controllers: linear, Bezier and TCB
// interpolation of a float, a position, a rotation or a scale, by the
// formulas of the engine's own key controllers (so that keys exported key
// for key animate in the engine as in the host):
// - linear: a straight blend, rotations along the shorter arc (a blend
//   renormalised when the two rotations are within 0.01 of each other);
// - Bezier: the cubic Hermite curve of the key values and the tangents
//   (scaled by the segment's length in ticks; a linear type takes the chord
//   instead); a step out tangent, or a step in tangent of the next key,
//   holds the value until the next key; Bezier rotations blend as linear
//   ones;
// - TCB: Kochanek-Bartels tangents from the differences to the neighbours
//   (an end key repeats the difference it has), not scaled by the segments'
//   lengths, on the segment's parameter eased by the first key's ease from
//   and the second's ease to; rotations follow spherical quadrangles through
//   the control points of the logarithms of the relative rotations of the
//   running product of the keys' turns.
// Before the first key and after the last the value holds; without keys it
// is the controller's constant value. A scale's axes blend linearly.
//
// A controller can be made to hide its keys (SetKeyInterface(false)): it
// then only answers GetValue, as a procedural controller does.
class KeyControl : public Control, private IKeyControl
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
    KeyControl(Track track, Interpolation interpolation, Class_ID classId, std::string className);

    Track GetTrack() const { return m_Track; }
    Interpolation GetInterpolation() const { return m_Interpolation; }

    int GetNumKeys() override { return int(m_Keys.size()); }
    int NumKeys() const { return int(m_Keys.size()); }
    // The keys, in time order; key i for 0 <= i < NumKeys().
    const HostKey& Key(int i) const { return m_Keys[size_t(i)]; }
    // Sets the keys, which must be in strictly increasing time order (false,
    // and nothing changed, when they are not). Undone by the hold.
    bool SetKeys(std::vector<HostKey> keys);
    // The value without keys (x of value for a float). Undone by the hold.
    void SetConstant(const HostKey& constant);
    const HostKey& Constant() const { return m_Constant; }
    // Sets a float track's value at t: the constant without keys, else the
    // key at t, or a new key there with the defaults of its kind.
    void SetFloatAt(TimeValue t, float v);

    // Whether GetInterface(I_KEYCONTROL) gives the keys (true by default).
    void SetKeyInterface(bool exposed) { m_KeysExposed = exposed; }
    bool KeyInterface() const { return m_KeysExposed; }

    void GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod method = CTRL_ABSOLUTE) override;
    void* GetInterface(ULONG id) override;
    using Control::GetInterface;
    std::unique_ptr<Control> CloneControl() const override;

    // The value at time t: in value for floats, positions and scales, in
    // rotation for rotations and scale axes.
    HostKey Evaluate(TimeValue t) const;
    // The times around t over which the value stays what it is at t.
    Interval Validity(TimeValue t) const;

    // The class id of each kind.
    static Class_ID ClassIdOf(Track track, Interpolation interpolation);

private:
    void GetKey(int i, IKey* key) override;
    Point3 EvaluateVector(int i, float u) const;
    Quat EvaluateRotation(int i, float u) const;
    void BuildAbsolute();
    // The absolute rotation of key i.
    Quat KeyRotation(int i) const;

    Track m_Track;
    Interpolation m_Interpolation;
    std::vector<HostKey> m_Keys;
    std::vector<Quat> m_Absolute; // TCB rotations: the running products
    std::vector<Quat> m_Controls; // TCB rotations: incoming, outgoing per key
    HostKey m_Constant;
    bool m_KeysExposed = true;
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
