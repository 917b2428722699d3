#pragma once

#include "render/objects/RCK3dEntity.h"

class CKAnimation;
class CKBodyPart;

// A character (class 40): a 3D entity that gathers body parts and the
// animations that move them.
class CKCharacter : public CKClass<CKCharacter, RCK3dEntity, CKCID_CHARACTER>
{
public:
    using CKClass::CKClass;

    // The part joins the character (leaving any other character).
    // CKErr::InvalidParameter for null.
    virtual CKERROR AddBodyPart(CKBodyPart* part) = 0;
    // CKErr::NotFound when the part is not the character's.
    virtual CKERROR RemoveBodyPart(CKBodyPart* part) = 0;
    virtual int GetBodyPartCount() = 0;
    // Null out of range.
    virtual CKBodyPart* GetBodyPart(int index) = 0;
    // The first body part whose parent is not one of the character's body
    // parts; null without body parts.
    virtual CKBodyPart* GetRootBodyPart() = 0;

    // The animation becomes the character's (leaving any other character).
    // CKErr::InvalidParameter for null.
    virtual CKERROR AddAnimation(CKAnimation* animation) = 0;
    virtual CKERROR RemoveAnimation(CKAnimation* animation) = 0;
    virtual int GetAnimationCount() = 0;
    virtual CKAnimation* GetAnimation(int index) = 0;

    // A float the level-of-detail manager hands the character (its face
    // ratio); stored, not interpreted.
    virtual void SetAnimationParameter(float value) = 0;
    virtual float GetAnimationParameter() = 0;

    // Moves the character onto its root body part's world position; the
    // body parts and every other child keep their world matrices.
    virtual void AlignCharacterWithRootPosition() = 0;
};
