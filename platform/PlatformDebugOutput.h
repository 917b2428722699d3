#pragma once

// The debugger's output channel. Nothing listens on Linux, so text sent here
// is dropped unless a hook is installed (tests capture it that way).
using PlatformDebugOutputHook = void (*)(const char* text);

void PlatformOutputDebugString(const char* text);

// Installs a hook (null silences the channel again); returns the previous one.
PlatformDebugOutputHook PlatformSetDebugOutputHook(PlatformDebugOutputHook hook);
