#pragma once

#include "core/object/CKSceneObject.h"
#include "system/math/QxVector.h"

// The animation of one 3D entity (class 15), with the operations the 3D
// entities use; the animation code implements it.
class CKObjectAnimation : public CKClass<CKObjectAnimation, CKSceneObject, CKCID_OBJECTANIMATION>
{
public:
    using CKClass::CKClass;

    // Gives an animation without a scale key one at time 0 with that scale;
    // an animation that has one keeps it.
    virtual void AddDefaultScaleKey(const QxVector& scale) = 0;
};
