#pragma once

#include "render/objects/CK3dEntity.h"

// A viewpoint with a projection (class 34). Object flag 0x400 says the
// render context's projection is up to date with the camera.
class CKCamera : public CKClass<CKCamera, CK3dEntity, CKCID_CAMERA>
{
public:
    using CKClass::CKClass;

    virtual void ComputeProjectionMatrix(QxMatrix& matrix) = 0;
};
