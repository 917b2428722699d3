#include "platform/PlatformGdiObject.h"

bool PlatformDeleteObject(PlatformGdiObject* object)
{
    if (!object)
        return false;
    delete object;
    return true;
}
