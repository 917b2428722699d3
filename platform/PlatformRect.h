#pragma once

#include <cstdint>

// Integer rectangle (the platform's RECT): right and bottom are exclusive
// where pixels are concerned.
struct PlatformRect
{
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
};
