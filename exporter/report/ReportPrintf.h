#pragma once

#include <cstdarg>

class Max2Qdx;

// Appends a printf-style message to the exporter's report, and hands it to
// the report's log, when level is not above the option reportLevel. The
// report grows to fit a message of any length. Pass names and paths as
// arguments ("%s"), never as the format. Every message is counted as a
// warning or an error by its wording (ReportMessageKindOf), whatever the
// level keeps.
void ReportPrintf(Max2Qdx* exporter, int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

// What a message is by the words it begins with, after any line ends and
// blanks: an error ("Error"), a warning ("Warning", "WARNING") or neither.
enum class ReportMessageKind
{
    Plain,
    Warning,
    Error,
};
ReportMessageKind ReportMessageKindOf(const char* format);

void ReportVPrintf(Max2Qdx* exporter, int level, const char* format, va_list arguments)
    __attribute__((format(printf, 3, 0)));
