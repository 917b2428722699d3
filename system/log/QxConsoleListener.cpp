#include "system/log/QxConsoleListener.h"

#include <cstdio>

#include "platform/PlatformTime.h"
#include "system/log/QxLogManager.h"

QxConsoleListener::~QxConsoleListener()
{
    if (m_Output)
        PlatformFreeConsole();
}

const CKGUID* QxConsoleListener::GetGuid()
{
    static const CKGUID guid = QXLOG_CONSOLE_LISTENER_GUID;
    return &guid;
}

void QxConsoleListener::WriteMessage(int source, CKDWORD level, int line, const char* file, const char* text)
{
    if (!m_Tried) {
        m_Tried = true;
        bool allocated = PlatformAllocConsole();
        if (!allocated) {
            PlatformFreeConsole();
            allocated = PlatformAllocConsole();
        }
        if (allocated) {
            m_Output = PlatformGetConsoleOutput();
            XString title(m_Name);
            if (m_Flags & QXLOG_FLAG_DATE) {
                PlatformLocalTime now = PlatformGetLocalTime();
                char date[32];
                std::snprintf(date, sizeof(date), " [%02d %02d %02d]", now.year % 100, now.month, now.day);
                title += date;
            }
            PlatformSetConsoleTitle(title.CStr());
        }
    }
    if (!m_Output)
        return;
    XString lineText;
    FormatLine(lineText, source, level, line, file, text);
    PlatformWriteConsole(m_Output, lineText.CStr(), static_cast<size_t>(lineText.Length()));
}
