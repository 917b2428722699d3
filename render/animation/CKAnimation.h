#pragma once

#include "core/object/CKSceneObject.h"

class CK3dEntity;
class CKCharacter;

// An animation (class 16): a length in frames, a current step, the 3D
// entity it is rooted at and the character that holds it.
class CKAnimation : public CKClass<CKAnimation, CKSceneObject, CKCID_ANIMATION>
{
public:
    using CKClass::CKClass;

    virtual float GetLength() = 0;
    virtual void SetLength(float frames) = 0;
    // The step (0 .. 1 of the length) last set.
    virtual float GetStep() = 0;
    virtual void SetStep(float step) = 0;
    // The entity the animation moves as a whole, null when none.
    virtual CK3dEntity* GetRootEntity() = 0;
    // The character whose animation it is, null when none.
    virtual CKCharacter* GetCharacter() = 0;
};
