#pragma once

#include <cstdarg>

#include "includes/CKTypes.h"

// The export's log: where the report goes besides memory, and what the
// builder and the post passes write to directly. Every writer does nothing
// while the log is closed.
class GeLog
{
public:
    virtual ~GeLog() = default;
    // 1 when the log is open (its header written again each call), 0 when it
    // cannot be opened.
    virtual CKBOOL Open() = 0;
    // 1 when closed or already closed, 0 when closing failed.
    virtual CKBOOL Close() = 0;
    // "\r\n".
    virtual void NewLine() = 0;
    // " ; ".
    virtual void WriteSeparator() = 0;
    // The text and "\r\n".
    virtual void WriteLine(const char* text) = 0;
    virtual void Printf(const char* format, ...) __attribute__((format(printf, 2, 3))) = 0;
    virtual void VPrintf(const char* format, va_list arguments) __attribute__((format(printf, 2, 0))) = 0;
};
