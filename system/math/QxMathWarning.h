#pragma once

// The math library reports numerical trouble (an iteration that did not
// converge) through this one function: a warning line under the library's
// log source.
void QxMathReportWarning(const char* text);

// Replaces where the warnings go (null restores the log); returns the
// previous hook. Lets a test receive the texts directly.
using QxMathWarningHook = void (*)(const char* text);
QxMathWarningHook QxSetMathWarningHook(QxMathWarningHook hook);
