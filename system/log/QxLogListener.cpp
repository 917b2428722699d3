#include "system/log/QxLogListener.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/PlatformTime.h"
#include "system/log/QxLogManager.h"

namespace {
struct tm ToTm(const PlatformLocalTime& t)
{
    struct tm out;
    std::memset(&out, 0, sizeof(out));
    out.tm_year = t.year - 1900;
    out.tm_mon = t.month - 1;
    out.tm_mday = t.day;
    out.tm_hour = t.hour;
    out.tm_min = t.minute;
    out.tm_sec = t.second;
    out.tm_wday = t.weekDay;
    out.tm_yday = t.yearDay;
    out.tm_isdst = -1;
    return out;
}
} // namespace

QxLogListener::QxLogListener(const char* name) : m_Name(name) {}

CKBOOL QxLogListener::HasSource(int source) const
{
    for (int id : m_Sources)
        if (id == source)
            return TRUE;
    return FALSE;
}

CKBOOL QxLogListener::FormatTime(XString& out)
{
    char text[128];
    text[0] = '\0';
    switch (m_TimeFormat) {
    case 1: {
        float elapsed = m_Start.Current();
        // Below 0 only with a clock that ran backwards; past INT_MAX ms the
        // listener has lived for 24 days: both count as 0.
        int ms = elapsed > 0.0f && elapsed < 2147483647.0f ? static_cast<int>(elapsed) : 0;
        std::snprintf(text, sizeof(text), "%.2dh %.2dm %.2ds %.3dms", ms / 3600000, (ms / 60000) % 60, (ms / 1000) % 60,
                      ms % 1000);
        break;
    }
    case 3:
    case 4:
    case 5:
    case 6: {
        PlatformLocalTime now = PlatformGetLocalTime();
        char* date = m_DateText;
        if (m_DateFormat != m_TimeFormat || m_DateSecond != now.unixSeconds || !date[0]) {
            struct tm calendar = ToTm(now);
            const char* layout = (m_TimeFormat == 4 || m_TimeFormat == 5) ? "%d/%m/%Y %H:%M:%S" : "%d/%m/%y %H:%M:%S";
            if (std::strftime(date, sizeof(m_DateText), layout, &calendar) == 0)
                date[0] = '\0';
            m_DateFormat = m_TimeFormat;
            m_DateSecond = now.unixSeconds;
        }
        if (m_TimeFormat == 4)
            std::snprintf(text, sizeof(text), "%s", date);
        else if (m_TimeFormat == 6)
            std::snprintf(text, sizeof(text), "%s:%.3d (%u)", date, now.millisecond, now.unixSeconds);
        else
            std::snprintf(text, sizeof(text), "%s:%.3d", date, now.millisecond);
        break;
    }
    default: break;
    }
    out = text;
    return text[0] != '\0' ? TRUE : FALSE;
}

void QxLogListener::FormatLine(XString& out, int source, CKDWORD level, int line, const char* file, const char* text)
{
    out = "";
    const char* sourceName = (m_Manager ? m_Manager : QxGetLogManager())->GetSourceName(source);
    if (sourceName && *sourceName) {
        out += "[";
        out += sourceName;
        out += "] ";
    }
    out += "[";
    out += QxLogManager::GetLevelName(level);
    out += "] ";
    if (m_TimeFormat && FormatTime(m_TimeText)) {
        out += "[";
        out += m_TimeText;
        out += "] ";
    }
    if (m_Flags & QXLOG_FLAG_SOURCE_LINE) {
        const char* name = file ? file : "";
        for (const char* p = name; *p; ++p)
            if (*p == '\\' || *p == '/')
                name = p + 1;
        char number[16];
        std::snprintf(number, sizeof(number), "%d", line);
        out += "[";
        out += name;
        out += ":";
        out += number;
        out += "] : ";
    } else
        out += ": ";
    out += text ? text : "";
    out += "\n";
}
