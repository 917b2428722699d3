#pragma once

#include "render/objects/RCK3dObject.h"

class CKCharacter;

// A body part (class 42): a 3D object that belongs to at most one
// character.
class CKBodyPart : public CKClass<CKBodyPart, RCK3dObject, CKCID_BODYPART>
{
public:
    using CKClass::CKClass;

    // The character the part belongs to, null when none.
    virtual CKCharacter* GetCharacter() = 0;
};
