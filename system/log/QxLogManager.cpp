#include "system/log/QxLogManager.h"

#include <cstdio>

#include "system/log/QxConsoleListener.h"
#include "system/log/QxFileListener.h"
#include "system/log/QxLogListener.h"
#include "system/log/QxOutputDebugListener.h"

namespace {
constexpr int kLargestBuffer = 65535;

QxLogListener* MakeFileListener(const char* name)
{
    return new QxFileListener(name);
}
QxLogListener* MakeConsoleListener(const char* name)
{
    return new QxConsoleListener(name);
}
QxLogListener* MakeOutputDebugListener(const char* name)
{
    return new QxOutputDebugListener(name);
}

QxLogManager* g_LogManager = nullptr;

// Deletes the manager at process exit (its listeners close their files).
struct LogManagerReaper
{
    ~LogManagerReaper() { QxDestroyLogManager(); }
} g_Reaper;
} // namespace

QxLogManager::QxLogManager()
{
    m_Buffer = new char[m_BufferSize];
    RegisterListenerType(QXLOG_FILE_LISTENER_GUID, MakeFileListener);
    RegisterListenerType(QXLOG_CONSOLE_LISTENER_GUID, MakeConsoleListener);
    RegisterListenerType(QXLOG_OUTPUTDEBUG_LISTENER_GUID, MakeOutputDebugListener);
}

QxLogManager::~QxLogManager()
{
    for (QxLogListener* listener : m_Listeners)
        delete listener;
    for (XString* name : m_Sources)
        delete name;
    delete[] m_Buffer;
}

int QxLogManager::RegisterSource(const char* name)
{
    if (!name || !*name)
        return -1;
    for (int i = 0; i < m_Sources.Size(); ++i)
        if (m_Sources[i]->CompareCString(name) == 0)
            return i + 1;
    m_Sources.PushBack(new XString(name));
    return m_Sources.Size();
}

const char* QxLogManager::GetSourceName(int id) const
{
    if (id < 1 || id > m_Sources.Size())
        return nullptr;
    return m_Sources[id - 1]->CStr();
}

int QxLogManager::RegisterListenerType(const CKGUID& id, QxLogListenerFactory factory)
{
    if (m_Factories.IsHere(id))
        return 0;
    m_Factories.Insert(id, factory);
    return 1;
}

QxLogListener* QxLogManager::CreateListener(const CKGUID& id, const char* name, int source)
{
    const char* key = name ? name : "";
    if (QxLogListener** existing = m_Listeners.FindPtr(key)) {
        QxLogListener* listener = *existing;
        if (*listener->GetGuid() != id)
            return nullptr;
        // A listener created again for the same source (a second start-up)
        // keeps one entry for it.
        if (!listener->HasSource(source))
            listener->AddSource(source);
        return listener;
    }
    QxLogListenerFactory* factory = m_Factories.FindPtr(id);
    if (!factory || !*factory)
        return nullptr;
    QxLogListener* listener = (*factory)(key);
    if (!listener)
        return nullptr;
    listener->SetManager(this);
    listener->AddSource(source);
    m_Listeners.Insert(XString(key), listener);
    return listener;
}

QxLogListener* QxLogManager::GetListener(const char* name)
{
    QxLogListener** found = m_Listeners.FindPtr(name ? name : "");
    return found ? *found : nullptr;
}

QxLogManager* QxLogManager::SetContext(int source, CKDWORD level, int line, const char* file)
{
    // During a dispatch the context belongs to the message being written
    // (a nested message is dropped anyway).
    if (m_Dispatching)
        return this;
    m_Source = source;
    m_Level = level;
    m_Line = line;
    m_File = file;
    return this;
}

void QxLogManager::Log(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogV(format, args);
    va_end(args);
}

void QxLogManager::LogV(const char* format, va_list args)
{
    if (m_Listeners.IsEmpty() || !format)
        return;
    // A listener that logs while it writes would overwrite the text it is
    // being given: such nested messages are dropped.
    if (m_Dispatching)
        return;

    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int needed = std::vsnprintf(m_Buffer, static_cast<size_t>(m_BufferSize), format, copy);
        va_end(copy);
        if (needed < 0)
            return;
        if (needed < m_BufferSize)
            break;
        if (m_BufferSize >= kLargestBuffer)
            return;
        char* larger = new char[static_cast<size_t>(m_BufferSize) * 2];
        delete[] m_Buffer;
        m_Buffer = larger;
        m_BufferSize *= 2;
    }

    m_Dispatching = true;
    for (QxLogListener* listener : m_Listeners)
        if (listener->HasSource(m_Source) && (listener->GetLevelMask() & m_Level))
            listener->WriteMessage(m_Source, m_Level, m_Line, m_File.CStr(), m_Buffer);
    m_Dispatching = false;
}

const char* QxLogManager::GetLevelName(CKDWORD level)
{
    switch (level) {
    case QXLOG_DEBUG: return "DEBUG";
    case QXLOG_TRACE: return "TRACE";
    case QXLOG_ERROR: return "ERROR";
    case QXLOG_WARNING: return "WARNING";
    case QXLOG_INFO: return "INFO";
    default: return "";
    }
}

QxLogManager* QxGetLogManager()
{
    if (!g_LogManager)
        g_LogManager = new QxLogManager;
    return g_LogManager;
}

void QxDestroyLogManager()
{
    QxLogManager* manager = g_LogManager;
    g_LogManager = nullptr;
    delete manager;
}
