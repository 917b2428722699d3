#include "readers/common/ReaderLog.h"

#include <cstdarg>

#include "system/log/QxLogManager.h"

void ReaderLogError(const char* format, ...)
{
    QxLogManager* log = QxGetLogManager();
    // The manager may have been made afresh since the last line: ask each time.
    const int source = log->RegisterSource("CK2");
    va_list args;
    va_start(args, format);
    log->SetContext(source, QXLOG_ERROR, __LINE__, __FILE__)->LogV(format, args);
    va_end(args);
}
