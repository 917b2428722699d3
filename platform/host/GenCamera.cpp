#include "platform/host/GenCamera.h"

GenCamera::GenCamera(bool targeted)
    : CameraObject(CAMERA_CLASS_ID, targeted ? LOOKAT_CAM_CLASS_ID : SIMPLE_CAM_CLASS_ID,
                   targeted ? "Target Camera" : "Free Camera"),
      m_Targeted(targeted)
{}

int GenCamera::EvalCameraState(TimeValue, Interval&, CameraState* cs)
{
    if (!cs)
        return 0;
    const DWORD size = cs->cbStruct;
    *cs = m_State;
    cs->cbStruct = size;
    return 1;
}

float GenCamera::GetEnvRange(TimeValue t, int which) const
{
    Interval valid;
    return GetEnvRange(t, which, valid);
}

float GenCamera::GetEnvRange(TimeValue, int which, Interval&) const
{
    return which == 0 ? m_EnvNear : m_EnvFar;
}
