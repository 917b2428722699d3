#pragma once

#include "includes/CKTypes.h"
#include "platform/host/Class_ID.h"
#include "platform/host/MaxTypes.h"
#include "platform/host/Point3.h"
#include "platform/host/Quat.h"

class Control;
class IKeyControl;

// The host's standard key controllers, whose keys the engine's controllers
// take one for one (second class word 0).
constexpr Class_ID kLinearFloatControl(0x2001, 0);
constexpr Class_ID kLinearPositionControl(0x2002, 0);
constexpr Class_ID kLinearRotationControl(0x2003, 0);
constexpr Class_ID kLinearScaleControl(0x2004, 0);
constexpr Class_ID kBezierFloatControl(0x2007, 0);
constexpr Class_ID kBezierPositionControl(0x2008, 0);
constexpr Class_ID kBezierRotationControl(0x2009, 0);
constexpr Class_ID kBezierScaleControl(0x2010, 0);
constexpr Class_ID kTCBFloatControl(0x442311, 0);
constexpr Class_ID kTCBPositionControl(0x442312, 0);
constexpr Class_ID kTCBRotationControl(0x442313, 0);
constexpr Class_ID kTCBScaleControl(0x442315, 0);
// The position/rotation/scale transform controller.
constexpr Class_ID kPRSControl(0x2005, 0);

// True for null and for the twelve standard key controllers.
bool IsStandardController(Control* controller);
// Whether the node's transform controller is one of the Biped's (a body
// part, a slave part, a footprint).
bool IsBipedController(Control* controller);
// The key interface of a controller with at least one key; null otherwise.
IKeyControl* GetKeyInterface(Control* controller);

// The engine's Bezier flags word from the host's key flags: 1 << in-tangent
// type in the low 16 bits, 1 << out-tangent type in the high 16 bits; a
// type above 5 leaves its half 0.
void ConvertTangentFlags(CKDWORD& out, DWORD flags);

// Equal within 0.001 (each component for points); a NaN equals nothing.
bool EqualPoint3(const Point3& a, const Point3& b);
bool EqualFloat(float a, float b);
// The same rotation: equal, or their quotient is the identity.
bool EqualRotation(const Quat& a, const Quat& b);

// The turn of a TCB rotation key: the angle made positive (the axis turned
// round with it) about the normalised axis; the identity for a zero or
// non-finite axis or angle.
Quat TurnOfAngleAxis(float angle, const Point3& axis);
