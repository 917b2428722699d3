#pragma once

#include <cstddef>
#include <string>

// A console window as Windows gives one to a program on request. On Linux
// the console is the process's standard output: allocating it only marks it
// as taken (a second allocation fails until it is freed, as on Windows), its
// title goes to a terminal's title bar when standard output is one, and
// writes go to standard output unless a hook takes them (tests).
using PlatformConsoleHandle = void*;

bool PlatformAllocConsole();
void PlatformFreeConsole();
// The console's output handle; null while no console is allocated.
PlatformConsoleHandle PlatformGetConsoleOutput();
void PlatformSetConsoleTitle(const char* title);
// The last title set ("" when none).
std::string PlatformGetConsoleTitle();
// Writes the bytes; false for a null handle or a failed write.
bool PlatformWriteConsole(PlatformConsoleHandle handle, const char* data, size_t size);

using PlatformConsoleHook = void (*)(const char* data, size_t size);
// Installs a hook that receives every write instead of standard output (null
// restores standard output); returns the previous one.
PlatformConsoleHook PlatformSetConsoleHook(PlatformConsoleHook hook);
