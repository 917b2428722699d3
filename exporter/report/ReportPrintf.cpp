#include "exporter/report/ReportPrintf.h"

#include <cstdio>
#include <cstring>

#include "exporter/options/Max2Qdx.h"
#include "exporter/report/GeLog.h"

namespace {

// Spare room kept after the text before each message: most messages are
// formatted straight into it, once.
constexpr int kSpare = 16384;
// The report stays far below the 32-bit sizes of its array.
constexpr int kMaxReport = 0x40000000;

// Storage for at least size bytes, doubling so that a long report is not
// copied at every message.
bool Grow(XArray<char>& text, long long size)
{
    if (size > kMaxReport)
        return false;
    if (size > text.Capacity()) {
        long long doubled = 2LL * text.Capacity();
        text.Reserve((int) (doubled > size && doubled <= kMaxReport ? doubled : size));
    }
    text.Resize((int) size);
    return true;
}

bool StartsWith(const char* text, const char* word)
{
    return std::strncmp(text, word, std::strlen(word)) == 0;
}

} // namespace

ReportMessageKind ReportMessageKindOf(const char* format)
{
    if (!format)
        return ReportMessageKind::Plain;
    format += std::strspn(format, "\r\n \t");
    if (StartsWith(format, "Error"))
        return ReportMessageKind::Error;
    if (StartsWith(format, "Warning") || StartsWith(format, "WARNING"))
        return ReportMessageKind::Warning;
    return ReportMessageKind::Plain;
}

void ReportVPrintf(Max2Qdx* exporter, int level, const char* format, va_list arguments)
{
    if (!exporter || !format)
        return;
    // Counted before the level filter: the command line tells what was
    // lost even when the report keeps none of it.
    const ReportMessageKind kind = ReportMessageKindOf(format);
    exporter->reportWarnings += kind == ReportMessageKind::Warning;
    exporter->reportErrors += kind == ReportMessageKind::Error;
    if (level > exporter->reportLevel)
        return;
    XArray<char>& text = exporter->reportText;
    int length = exporter->reportLength;
    if (!Grow(text, (long long) length + kSpare))
        return;

    va_list first;
    va_copy(first, arguments);
    int written = std::vsnprintf(text.Begin() + length, kSpare, format, first);
    va_end(first);
    if (written < 0) {
        text[length] = '\0';
        return;
    }
    if (written >= kSpare) {
        // Longer than the spare room: make room for all of it and format again.
        if (!Grow(text, (long long) length + written + 1)) {
            text[length] = '\0';
            return;
        }
        va_list second;
        va_copy(second, arguments);
        std::vsnprintf(text.Begin() + length, (size_t) written + 1, format, second);
        va_end(second);
    }
    exporter->reportLength = length + written;
    text.Resize(exporter->reportLength + 1);

    if (exporter->reportLog) {
        va_list logged;
        va_copy(logged, arguments);
        exporter->reportLog->VPrintf(format, logged);
        va_end(logged);
    }
}

void ReportPrintf(Max2Qdx* exporter, int level, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    ReportVPrintf(exporter, level, format, arguments);
    va_end(arguments);
}
