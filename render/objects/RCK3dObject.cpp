#include "render/objects/RCK3dObject.h"

#include "core/object/CKClassRegistry.h"

void RCK3dObject::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x362E4DF8, 0x17443539));
}

const char* RCK3dObject::GetClassName()
{
    return "3D Object";
}
