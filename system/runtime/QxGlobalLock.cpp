#include "system/runtime/QxGlobalLock.h"

PlatformCriticalSection& QxGetGlobalCriticalSection()
{
    // Never destroyed: code that runs during static destruction may still blit.
    static PlatformCriticalSection* section = new PlatformCriticalSection;
    return *section;
}
