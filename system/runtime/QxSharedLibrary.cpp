#include "system/runtime/QxSharedLibrary.h"

#include "platform/PlatformSharedLibrary.h"
#include "system/runtime/QxFpu.h"

void* QxSharedLibrary::Load(const char* name)
{
    ReleaseLibrary();
    CKWORD word = QxGetFPUControlWord();
    m_Module = PlatformLoadLibrary(name);
    QxSetFPUControlWord(word);
    return m_Module;
}

void* QxSharedLibrary::GetFunctionPtr(const char* name) const
{
    if (!m_Module || !name)
        return nullptr;
    return PlatformGetProcAddress(m_Module, name);
}

void QxSharedLibrary::ReleaseLibrary()
{
    if (m_Module)
        PlatformFreeLibrary(m_Module);
    m_Module = nullptr;
}
