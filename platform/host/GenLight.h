#pragma once

#include "platform/host/Color.h"
#include "platform/host/Interval.h"
#include "platform/host/Matrix3.h"
#include "platform/host/MaxTypes.h"
#include "platform/host/Object.h"

// The host's light types.
enum LightType
{
    OMNI_LGT = 0,
    SPOT_LGT = 1,
    DIRECT_LGT = 2,
    AMBIENT_LGT = 3
};

// What a light is at one time; angles in degrees.
struct LightState
{
    int type = OMNI_LGT;
    Matrix3 tm;
    Color color{1.0f, 1.0f, 1.0f};
    float intens = 1.0f; // multiplier
    float hotsize = 43.0f, fallsize = 45.0f;
    BOOL useNearAtten = FALSE;
    float nearAttenStart = 0.0f, nearAttenEnd = 40.0f;
    BOOL useAtten = FALSE;
    float attenStart = 80.0f, attenEnd = 200.0f;
    int shape = 0; // 0 circle, 1 rectangle
    float aspect = 1.0f;
    BOOL overshoot = FALSE;
    BOOL shadow = FALSE;
    BOOL on = TRUE;
    BOOL affectDiffuse = TRUE;
    BOOL affectSpecular = TRUE;
};

class LightObject : public Object
{
public:
    using Object::Object;
};

// Stands in for the host's standard lights (omni, target and free spot,
// target and free directional, ambient), their state constant over time;
// the state's tm is the node's world transform, filled in by the caller's
// node (EvalLightState leaves it as the object keeps it: the identity).
class GenLight : public LightObject
{
public:
    GenLight(int type, bool targeted);

    int EvalLightState(TimeValue t, Interval& valid, LightState* ls);
    int Type() const { return m_State.type; }
    bool IsTargeted() const { return m_Targeted; }
    LightState& State() { return m_State; }
    const LightState& State() const { return m_State; }

private:
    bool m_Targeted;
    LightState m_State;
};

constexpr Class_ID OMNI_LIGHT_CLASS_ID(0x1011, 0);
constexpr Class_ID SPOT_LIGHT_CLASS_ID(0x1012, 0);
constexpr Class_ID DIR_LIGHT_CLASS_ID(0x1013, 0);
constexpr Class_ID FSPOT_LIGHT_CLASS_ID(0x1014, 0);
constexpr Class_ID TDIR_LIGHT_CLASS_ID(0x1015, 0);
constexpr Class_ID AMBIENT_LIGHT_CLASS_ID(0x1016, 0);
