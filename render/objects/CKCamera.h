#pragma once

#include "render/objects/RCK3dEntity.h"

// Projection types: bit 0 set is perspective, clear orthographic.
enum : int
{
    CK_ORTHOGRAPHICPROJECTION = 0,
    CK_PERSPECTIVEPROJECTION = 1,
};

// A viewpoint with a projection (class 34). Object flag 0x400 says the
// render context's projection is up to date with the camera; every setter
// clears it.
class CKCamera : public CKClass<CKCamera, RCK3dEntity, CKCID_CAMERA>
{
public:
    using CKClass::CKClass;

    // Near distance; a value <= 0 becomes 0.01. A value equal to the far
    // distance is refused (the projection would divide by zero).
    virtual float GetFrontPlane() = 0;
    virtual void SetFrontPlane(float front) = 0;
    // Far distance, refused when equal to the near distance.
    virtual float GetBackPlane() = 0;
    virtual void SetBackPlane(float back) = 0;
    // Full angle of the perspective projection, radians.
    virtual float GetFov() = 0;
    virtual void SetFov(float fov) = 0;
    virtual int GetProjectionType() = 0;
    virtual void SetProjectionType(int type) = 0;
    virtual void SetOrthographicZoom(float zoom) = 0;
    virtual float GetOrthographicZoom() = 0;
    // Width : height; a height of 0 is refused. Files keep each in 16 bits.
    virtual void SetAspectRatio(int width, int height) = 0;
    virtual void GetAspectRatio(int& width, int& height) = 0;
    virtual void ComputeProjectionMatrix(QxMatrix& matrix) = 0;
    // Rebuilds the up and right axes perpendicular to the viewing
    // direction, up towards the world's y axis.
    virtual void ResetRoll() = 0;
    // Turns the camera about its own viewing axis (radians).
    virtual void Roll(float angle) = 0;
    // Null for a plain camera.
    virtual CK3dEntity* GetTarget() = 0;
    virtual void SetTarget(CK3dEntity* target) = 0;
};
