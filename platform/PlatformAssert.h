#pragma once

// The engine reports broken preconditions (an index outside an array, a
// negative size) through this hook and then carries on safely; it never
// aborts. Tests install their own hook to capture the exact texts.

using PlatformAssertHook = void (*)(const char* expression, const char* file, int line);

// Installs a hook (null restores the default, which prints one line to
// stderr) and returns the previous one.
PlatformAssertHook PlatformSetAssertHook(PlatformAssertHook hook);

void PlatformReportAssert(const char* expression, const char* file, int line);

// Evaluates to the condition; reports its text when it is false. The text is
// the condition exactly as written, so write it as the engine words it.
#define PLATFORM_CHECK(cond) \
    ((cond) ? true : (PlatformReportAssert(#cond, __FILE__, __LINE__), false))
