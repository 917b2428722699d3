#pragma once

#include "render/objects/CK3dObject.h"

// The 3D object: the 3D entity under class id 41. Its Save leaves the chunk
// open after the entity section (the class is not 33); the file writer
// closes it.
class RCK3dObject : public CK3dObject
{
public:
    using CK3dObject::CK3dObject;

    static CKObject* CreateInstance(CKContext* context) { return new RCK3dObject(context); }
    static void Register();
    static const char* GetClassName();
};
