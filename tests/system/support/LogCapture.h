#pragma once

#include <string>
#include <vector>

#include "platform/PlatformDebugOutput.h"
#include "system/log/QxLibraryLog.h"
#include "system/log/QxLogListener.h"
#include "system/log/QxLogManager.h"

// Collects the lines that the log manager gives the debug output while it
// lives. The library's source is registered as "QxMath" and attached to the
// debug-output listener; at the end the log manager is destroyed, so every
// test starts from a fresh one.
class LogCapture
{
public:
    LogCapture()
    {
        QxDestroyLogManager();
        Lines().clear();
        m_Previous = PlatformSetDebugOutputHook(Hook);
        QxLogManager* log = QxGetLogManager();
        m_Source = log->RegisterSource("QxMath");
        QxSetLibraryLogSource(m_Source);
        m_Listener = log->CreateListener(QXLOG_OUTPUTDEBUG_LISTENER_GUID, "OUTPUTDEBUG LISTENER", m_Source);
    }
    ~LogCapture()
    {
        PlatformSetDebugOutputHook(m_Previous);
        QxSetLibraryLogSource(0);
        QxDestroyLogManager();
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    int Source() const { return m_Source; }
    QxLogListener* Listener() const { return m_Listener; }
    static std::vector<std::string>& Lines()
    {
        static std::vector<std::string> lines;
        return lines;
    }

private:
    static void Hook(const char* text) { Lines().emplace_back(text); }

    PlatformDebugOutputHook m_Previous = nullptr;
    int m_Source = 0;
    QxLogListener* m_Listener = nullptr;
};
