#pragma once

#include <cstdint>

// The engine's basic types. The engine was a 32-bit program: these keep
// their 32-bit widths on every platform, and anything stored in a file is
// one of them (never long, size_t or a pointer).
typedef uint8_t CKBYTE;
typedef uint16_t CKWORD;
typedef uint32_t CKDWORD;
typedef int32_t CKBOOL;
typedef int32_t CKERROR;
typedef uint32_t CK_ID;
typedef int32_t CK_CLASSID;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Two 32-bit words naming a plug-in, a manager, a parameter type or a behaviour.
struct CKGUID
{
    CKDWORD d1 = 0;
    CKDWORD d2 = 0;

    constexpr CKGUID() = default;
    constexpr CKGUID(CKDWORD a, CKDWORD b) : d1(a), d2(b) {}

    constexpr bool IsValid() const { return d1 != 0 || d2 != 0; }
    friend constexpr bool operator==(const CKGUID& a, const CKGUID& b) { return a.d1 == b.d1 && a.d2 == b.d2; }
    friend constexpr bool operator!=(const CKGUID& a, const CKGUID& b) { return !(a == b); }
    friend constexpr bool operator<(const CKGUID& a, const CKGUID& b)
    {
        return a.d1 < b.d1 || (a.d1 == b.d1 && a.d2 < b.d2);
    }
};
