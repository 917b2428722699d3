#pragma once

#include "render/animation/RCKAnimation.h"

class CKObjectAnimation;

// An animation made of object animations (class 18), one per entity it
// moves, in order.
class CKKeyedAnimation : public CKClass<CKKeyedAnimation, RCKAnimation, CKCID_KEYEDANIMATION>
{
public:
    using CKClass::CKClass;

    // Appends the object animation (an animation held at several indices
    // is held that many times). CKErr::InvalidParameter for null.
    virtual CKERROR AddAnimation(CKObjectAnimation* animation) = 0;
    // Removes its first occurrence; CKErr::NotFound when it is not held.
    virtual CKERROR RemoveAnimation(CKObjectAnimation* animation) = 0;
    virtual int GetAnimationCount() = 0;
    // Null out of range.
    virtual CKObjectAnimation* GetAnimation(int index) = 0;
    // The first object animation that moves the entity, null when none.
    virtual CKObjectAnimation* GetAnimationOf(CK3dEntity* entity) = 0;
    virtual void Clear() = 0;
};
