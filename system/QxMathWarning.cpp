#include "system/QxMathWarning.h"

#include <cstdio>

namespace {
QxMathWarningHook g_WarningHook = nullptr;
}

void QxMathReportWarning(const char* text)
{
    if (g_WarningHook) {
        g_WarningHook(text);
        return;
    }
    std::fprintf(stderr, "QxMath: %s\n", text ? text : "");
}

QxMathWarningHook QxSetMathWarningHook(QxMathWarningHook hook)
{
    QxMathWarningHook previous = g_WarningHook;
    g_WarningHook = hook;
    return previous;
}
