#pragma once

#include "platform/host/Interval.h"
#include "platform/host/MaxTypes.h"
#include "platform/host/Object.h"

// What a camera is at one time. cbStruct is the caller's size word, kept
// as given.
struct CameraState
{
    DWORD cbStruct = 0;
    BOOL isOrtho = FALSE;
    float fov = 0.7853982f; // horizontal, radians
    float tdist = 160.0f;   // target distance
    BOOL horzLine = FALSE;
    int manualClip = 0;
    float hither = 1.0f, yon = 1000.0f;
    float nearRange = 0.0f, farRange = 1000.0f;
};

class CameraObject : public Object
{
public:
    using Object::Object;
};

// Stands in for the host's cameras: a free or a target camera with its
// state and environment range, constant over time.
class GenCamera : public CameraObject
{
public:
    // Targeted: the target camera class, else the free camera class.
    explicit GenCamera(bool targeted);

    int EvalCameraState(TimeValue t, Interval& valid, CameraState* cs);
    // The environment range: which 0 near, 1 far.
    float GetEnvRange(TimeValue t, int which) const;
    float GetEnvRange(TimeValue t, int which, Interval& valid) const;
    bool IsTargeted() const { return m_Targeted; }

    CameraState& State() { return m_State; }
    const CameraState& State() const { return m_State; }
    void SetEnvRange(float nearRange, float farRange)
    {
        m_EnvNear = nearRange;
        m_EnvFar = farRange;
    }

private:
    bool m_Targeted;
    CameraState m_State;
    float m_EnvNear = 0.0f, m_EnvFar = 1000.0f;
};

constexpr Class_ID SIMPLE_CAM_CLASS_ID(0x1001, 0);
constexpr Class_ID LOOKAT_CAM_CLASS_ID(0x1002, 0);
