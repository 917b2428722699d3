#pragma once

#include <cstdint>

// The Windows-flavoured basic types that the modelling host's interfaces are
// written in. Only what the exporter meets: a BOOL is a 32-bit int, a window
// handle an opaque pointer (there is no window on Linux).
typedef int32_t BOOL;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef uint16_t WORD;
typedef void* HWND;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
