#include "exporter/postpass/PostPassSupport.h"

void PostLog(GeLog* log, const char* format, ...)
{
    if (!log)
        return;
    va_list arguments;
    va_start(arguments, format);
    log->VPrintf(format, arguments);
    va_end(arguments);
}
