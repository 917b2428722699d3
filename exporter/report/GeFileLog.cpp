#include "exporter/report/GeFileLog.h"

#include "platform/PlatformPaths.h"
#include "platform/PlatformTime.h"
#include "system/io/QxPaths.h"

namespace {

const char kRule[] = "-------------------------------------------------------------------------";
static_assert(sizeof(kRule) == 74, "the header's rules are 73 dashes");

XString DefaultLogPath()
{
    XString temp = QxGetTempPath();
    char joined[1024];
    if (!QxConcatPath(joined, sizeof(joined), temp.CStr(), "KeltraneExport.log"))
        return XString("KeltraneExport.log");
    return XString(joined);
}

} // namespace

GeFileLog::GeFileLog(const XString& logPath) : path(logPath.IsEmpty() ? DefaultLogPath() : logPath) {}

GeFileLog::~GeFileLog()
{
    Close();
}

CKBOOL GeFileLog::Open()
{
    if (!file) {
        file = PlatformOpenFile(path.CStr(), "w");
        if (!file)
            return 0;
    }
    PlatformLocalTime now = PlatformGetLocalTime();
    std::fprintf(file, "%s\n Keltrane Export Log File\n\n Date: %4d-%2d-%2d\n Time: %2d h %2d\n%s\n\n", kRule, now.year,
                 now.month, now.day, now.hour, now.minute, kRule);
    return 1;
}

CKBOOL GeFileLog::Close()
{
    if (!file)
        return 1;
    // fclose releases the stream even when it fails: never touch it again.
    FILE* closing = file;
    file = nullptr;
    return std::fclose(closing) == 0 ? 1 : 0;
}

void GeFileLog::Write(const char* text)
{
    if (!file)
        return;
    std::fputs(text, file);
    std::fflush(file);
}

void GeFileLog::NewLine()
{
    Write("\r\n");
}

void GeFileLog::WriteSeparator()
{
    Write(" ; ");
}

void GeFileLog::WriteLine(const char* text)
{
    if (!file)
        return;
    std::fputs(text ? text : "", file);
    std::fputs("\r\n", file);
    std::fflush(file);
}

void GeFileLog::Printf(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    VPrintf(format, arguments);
    va_end(arguments);
}

void GeFileLog::VPrintf(const char* format, va_list arguments)
{
    if (!file || !format)
        return;
    std::vfprintf(file, format, arguments);
    std::fflush(file);
}
