#include "platform/PlatformSharedLibrary.h"

#include <dlfcn.h>
#include <link.h>

#include "platform/PlatformPaths.h"

void* PlatformLoadLibrary(const char* name)
{
    if (!name || !*name)
        return nullptr;
    return ::dlopen(PlatformNativePath(name).c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* PlatformGetProcAddress(void* module, const char* name)
{
    if (!module || !name)
        return nullptr;
    return ::dlsym(module, name);
}

bool PlatformFreeLibrary(void* module)
{
    if (!module)
        return false;
    return ::dlclose(module) == 0;
}

void* PlatformGetModuleHandle(const char* name)
{
    if (!name) {
        // The program's own handle never goes away; the reference is harmless.
        static void* self = ::dlopen(nullptr, RTLD_NOW);
        return self;
    }
    void* module = ::dlopen(PlatformNativePath(name).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module)
        ::dlclose(module); // RTLD_NOLOAD still counted a reference
    return module;
}

std::string PlatformGetModuleFileName(void* module)
{
    if (!module || module == PlatformGetModuleHandle(nullptr))
        return PlatformGetExecutablePath();
    struct link_map* map = nullptr;
    if (::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name)
        return std::string();
    return map->l_name;
}
