#pragma once

// The math library reports numerical trouble (an iteration that did not
// converge) through this one function. Until the log manager takes it over it
// writes one line to stderr.
void QxMathReportWarning(const char* text);

// Replaces where the warnings go (null restores stderr); returns the previous
// hook. Lets the log manager, or a test, receive the texts.
using QxMathWarningHook = void (*)(const char* text);
QxMathWarningHook QxSetMathWarningHook(QxMathWarningHook hook);
