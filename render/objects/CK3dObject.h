#pragma once

#include "render/objects/RCK3dEntity.h"

// A mesh-carrying object of the scene (class 41): a 3D entity of its own
// class, so that files, parameters and class tests tell geometry objects
// from other 3D entities. It adds nothing to the 3D entity.
class CK3dObject : public CKClass<CK3dObject, RCK3dEntity, CKCID_3DOBJECT>
{
public:
    using CKClass::CKClass;
};
