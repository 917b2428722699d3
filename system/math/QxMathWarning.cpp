#include "system/math/QxMathWarning.h"

#include "system/log/QxLibraryLog.h"
#include "system/log/QxLogManager.h"

namespace {
QxMathWarningHook g_WarningHook = nullptr;
}

void QxMathReportWarning(const char* text)
{
    if (g_WarningHook) {
        g_WarningHook(text);
        return;
    }
    QxLibraryLog(QXLOG_WARNING, __LINE__, __FILE__, text);
}

QxMathWarningHook QxSetMathWarningHook(QxMathWarningHook hook)
{
    QxMathWarningHook previous = g_WarningHook;
    g_WarningHook = hook;
    return previous;
}
