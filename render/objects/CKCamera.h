#pragma once

#include "render/objects/RCK3dEntity.h"

// A viewpoint with a projection (class 34). Object flag 0x400 says the
// render context's projection is up to date with the camera.
class CKCamera : public CKClass<CKCamera, RCK3dEntity, CKCID_CAMERA>
{
public:
    using CKClass::CKClass;

    virtual void ComputeProjectionMatrix(QxMatrix& matrix) = 0;
};
