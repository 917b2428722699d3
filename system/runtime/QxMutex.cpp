#include "system/runtime/QxMutex.h"

#include "platform/PlatformMutex.h"

QxMutex::QxMutex() : m_Section(new PlatformCriticalSection) {}

QxMutex::~QxMutex()
{
    delete m_Section;
}

int QxMutex::Lock()
{
    m_Section->Enter();
    return 1;
}

int QxMutex::Unlock()
{
    m_Section->Leave();
    return 1;
}
