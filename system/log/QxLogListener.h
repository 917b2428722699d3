#pragma once

#include <cstdint>

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XString.h"
#include "system/runtime/QxTimeProfiler.h"

// Listener flags.
enum QxLogListenerFlags
{
    QXLOG_FLAG_DATE = 1,        // the date in the file name or console title
    QXLOG_FLAG_SOURCE_LINE = 2, // the source file name and line in each line
    QXLOG_FLAG_APPEND = 4,      // append to the log file instead of truncating it
};

// Receives the messages of the sources in its filter whose level is in its
// mask, each as one line laid out by FormatLine.
class QxLogManager;

class QxLogListener
{
public:
    explicit QxLogListener(const char* name);
    virtual ~QxLogListener() = default;
    QxLogListener(const QxLogListener&) = delete;
    QxLogListener& operator=(const QxLogListener&) = delete;

    // The class identifier (two 32-bit words).
    virtual const CKGUID* GetGuid() = 0;
    virtual void WriteMessage(int source, CKDWORD level, int line, const char* file, const char* text) = 0;

    // Bits of the levels received; 31 (all five) at construction.
    void SetLevelMask(CKDWORD mask) { m_LevelMask = mask; }
    CKDWORD GetLevelMask() const { return m_LevelMask; }
    // Time part of each line, see FormatTime; 0 (none) at construction.
    void SetTimeFormat(int selector) { m_TimeFormat = selector; }
    int GetTimeFormat() const { return m_TimeFormat; }
    void SetFlags(CKDWORD flags) { m_Flags = flags; }
    CKDWORD GetFlags() const { return m_Flags; }
    const char* GetName() const { return m_Name.CStr(); }

    // Appends a source id to the filter.
    void AddSource(int source) { m_Sources.PushBack(source); }
    CKBOOL HasSource(int source) const;

    // The manager whose source names the lines use (set when the manager
    // creates the listener; the process-wide one otherwise).
    void SetManager(QxLogManager* manager) { m_Manager = manager; }

    // The time part of the selector: 1 the time since construction
    // "%.2dh %.2dm %.2ds %.3dms"; 3 "%d/%m/%y %H:%M:%S:<ms>"; 4
    // "%d/%m/%Y %H:%M:%S"; 5 "%d/%m/%Y %H:%M:%S:<ms>"; 6 as 3 followed by
    // " (<seconds since 1970>)"; any other selector gives "". False when the
    // text is empty.
    CKBOOL FormatTime(XString& out);

    // The whole line: "[source] " when the source has a name, "[LEVEL] ",
    // "[time] " when there is a time part, then "[file:line] : " with flag 2
    // (the file name after its last separator) or ": ", the text and a line
    // feed.
    void FormatLine(XString& out, int source, CKDWORD level, int line, const char* file, const char* text);

protected:
    CKDWORD m_LevelMask = 31;
    int m_TimeFormat = 0;
    CKDWORD m_Flags = 0;
    XString m_Name;
    XArray<int> m_Sources;
    QxTimeProfiler m_Start;
    QxLogManager* m_Manager = nullptr;

private:
    // The date part of the time formats with a date, formatted once a second.
    char m_DateText[64] = {};
    int m_DateFormat = 0;
    uint32_t m_DateSecond = 0;
    XString m_TimeText;
};
