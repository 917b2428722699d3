#pragma once

#include <cstdarg>

class Max2Qdx;

// Appends a printf-style message to the exporter's report, and hands it to
// the report's log, when level is not above the option reportLevel. The
// report grows to fit a message of any length. Pass names and paths as
// arguments ("%s"), never as the format.
void ReportPrintf(Max2Qdx* exporter, int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
void ReportVPrintf(Max2Qdx* exporter, int level, const char* format, va_list arguments)
    __attribute__((format(printf, 3, 0)));
