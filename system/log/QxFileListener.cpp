#include "system/log/QxFileListener.h"

#include <cstdio>

#include "platform/PlatformPaths.h"
#include "platform/PlatformSharedLibrary.h"
#include "platform/PlatformTime.h"
#include "system/io/CKPathSplitter.h"
#include "system/io/QxPaths.h"
#include "system/log/QxLogManager.h"

QxFileListener::QxFileListener(const char* name) : QxLogListener(name), m_Extension("log")
{
    std::string overridden;
    if (PlatformGetEnv("ENGINE_LOG_DIR", overridden) && !overridden.empty()) {
        m_Directory = overridden.c_str();
        char last = overridden.back();
        if (last != '/' && last != '\\')
            m_Directory += "/";
        return;
    }
    std::string program = PlatformGetModuleFileName(nullptr);
    CKPathSplitter split(program.c_str());
    m_Directory = split.GetDrive();
    m_Directory += split.GetDir();
}

QxFileListener::~QxFileListener()
{
    m_File.Close();
}

const CKGUID* QxFileListener::GetGuid()
{
    static const CKGUID guid = QXLOG_FILE_LISTENER_GUID;
    return &guid;
}

bool QxFileListener::EnsureOpen()
{
    PlatformLocalTime now;
    bool dated = (m_Flags & QXLOG_FLAG_DATE) != 0;
    if (dated)
        now = PlatformGetLocalTime();
    if (m_File.GetFileHandle()) {
        if (!dated || now.yearDay == m_OpenDay)
            return true;
    }
    m_File.Close();

    m_Path = m_Directory;
    m_Path += m_Name;
    if (dated) {
        char date[32];
        std::snprintf(date, sizeof(date), "[%02d %02d %02d]", now.year % 100, now.month, now.day);
        m_Path += date;
        m_OpenDay = now.yearDay;
    }
    m_Path += ".";
    m_Path += m_Extension;
    QxCreateDirectories(m_Path.CStr());
    return m_File.Open(m_Path.CStr(), (m_Flags & QXLOG_FLAG_APPEND) ? QX_FILE_TEXT_APPEND : QX_FILE_TEXT_WRITE) !=
           FALSE;
}

void QxFileListener::WriteMessage(int source, CKDWORD level, int line, const char* file, const char* text)
{
    if (!EnsureOpen())
        return;
    // One line in a buffer kept between messages, one write and the flush.
    FormatLine(m_Line, source, level, line, file, text);
    m_File.Write(m_Line.CStr(), (CKDWORD) m_Line.Length());
    m_File.Flush();
}
