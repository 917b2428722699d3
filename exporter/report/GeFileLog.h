#pragma once

#include <cstdio>

#include "exporter/report/GeLog.h"
#include "includes/XString.h"

// A log written to a file, flushed after every write so that what an export
// wrote survives a crash of the host.
class GeFileLog : public GeLog
{
public:
    // An empty path stands for "KeltraneExport.log" in the temporary folder.
    // Opens nothing.
    explicit GeFileLog(const XString& path);
    ~GeFileLog() override;
    GeFileLog(const GeFileLog&) = delete;
    GeFileLog& operator=(const GeFileLog&) = delete;

    // Creates (or empties) the file when it is not open yet, then writes the
    // header with the local date and time.
    CKBOOL Open() override;
    // A file whose closing fails is forgotten all the same (the C library
    // has let go of it): 0 then, and the writers do nothing afterwards.
    CKBOOL Close() override;
    void NewLine() override;
    void WriteSeparator() override;
    void WriteLine(const char* text) override;
    void Printf(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void VPrintf(const char* format, va_list arguments) override __attribute__((format(printf, 2, 0)));

    CKBOOL IsOpen() const { return file != nullptr; }

    FILE* file = nullptr; // null while closed
    XString path;

private:
    void Write(const char* text);
};
