#include "exporter/animation/AnimationKeys.h"

#include <cmath>

#include "exporter/scene/SceneClasses.h"
#include "platform/host/KeyControl.h"

bool IsStandardController(Control* controller)
{
    if (!controller)
        return true;
    static constexpr Class_ID kStandard[] = {kLinearFloatControl,    kLinearPositionControl, kLinearRotationControl,
                                             kLinearScaleControl,    kBezierFloatControl,    kBezierPositionControl,
                                             kBezierRotationControl, kBezierScaleControl,    kTCBFloatControl,
                                             kTCBPositionControl,    kTCBRotationControl,    kTCBScaleControl};
    const Class_ID cid = controller->ClassID();
    for (const Class_ID& standard : kStandard)
        if (cid == standard)
            return true;
    return false;
}

bool IsBipedController(Control* controller)
{
    if (!controller)
        return false;
    const Class_ID cid = controller->ClassID();
    return cid == kBipedBodyControlClass || cid == kBipedSlaveControlClass || cid == kFootprintControlClass;
}

IKeyControl* GetKeyInterface(Control* controller)
{
    auto* keys = controller ? static_cast<IKeyControl*>(controller->GetInterface(I_KEYCONTROL)) : nullptr;
    return keys && keys->GetNumKeys() > 0 ? keys : nullptr;
}

void ConvertTangentFlags(CKDWORD& out, DWORD flags)
{
    const DWORD in = GetInTanType(flags);
    const DWORD leaving = GetOutTanType(flags);
    out = (in <= 5 ? 1u << in : 0u) | (leaving <= 5 ? (1u << leaving) << 16 : 0u);
}

bool EqualFloat(float a, float b)
{
    return std::fabs(a - b) <= 0.001f;
}

bool EqualPoint3(const Point3& a, const Point3& b)
{
    return EqualFloat(a.x, b.x) && EqualFloat(a.y, b.y) && EqualFloat(a.z, b.z);
}

bool EqualRotation(const Quat& a, const Quat& b)
{
    return a == b || (a * b.Inverse()).IsIdentity();
}

Quat TurnOfAngleAxis(float angle, const Point3& axis)
{
    if (!std::isfinite(angle) || !std::isfinite(axis.x) || !std::isfinite(axis.y) || !std::isfinite(axis.z))
        return Quat();
    Point3 direction = axis;
    if (angle < 0.0f) {
        angle = -angle;
        direction = -direction;
    }
    const float length = direction.Length();
    if (!(length > 0.0f) || !std::isfinite(length))
        return Quat();
    return QFromAngAxis(angle, direction / length);
}
