#pragma once

// The engine reports broken preconditions (an index outside an array, a
// negative size) through this hook and then carries on safely; it never
// aborts. Tests install their own hook to capture the exact texts.

using PlatformAssertHook = void (*)(const char* expression, const char* file, int line);

// Installs a hook (null restores the default, which prints one line to
// stderr) and returns the previous one.
PlatformAssertHook PlatformSetAssertHook(PlatformAssertHook hook);

void PlatformReportAssert(const char* expression, const char* file, int line);

// Evaluates to the condition; reports the text when it is false. Where the
// engine words a broken precondition in a text of its own, give that text
// here: it stays as the engine words it however the code is laid out.
#define PLATFORM_CHECK_TEXT(cond, text) ((cond) ? true : (PlatformReportAssert(text, __FILE__, __LINE__), false))
// As above, with the condition as written for its text.
#define PLATFORM_CHECK(cond) PLATFORM_CHECK_TEXT(cond, #cond)
