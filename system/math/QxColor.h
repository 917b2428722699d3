#pragma once

#include "includes/CKTypes.h"

// A colour as four 32-bit floats, 1.0 = full intensity. Default-constructed
// to (0, 0, 0, 0).
struct QxColor
{
    float r, g, b, a;

    constexpr QxColor() : r(0.0f), g(0.0f), b(0.0f), a(0.0f) {}
    constexpr QxColor(float red, float green, float blue, float alpha) : r(red), g(green), b(blue), a(alpha) {}
    // From a packed 0xAARRGGBB word: each channel divided by 255.
    explicit QxColor(CKDWORD argb);

    void Set(float red, float green, float blue, float alpha)
    {
        r = red;
        g = green;
        b = blue;
        a = alpha;
    }

    // 0xAARRGGBB; each channel is trunc(channel x 255) clamped to 0 .. 255
    // (NaN gives 0). 1.0 gives 255, 0.999 gives 254.
    CKDWORD GetARGB() const;
    // 0xAABBGGRR, channels as GetARGB.
    CKDWORD GetABGR() const;
};

static_assert(sizeof(QxColor) == 16, "QxColor is four floats");

inline bool operator==(const QxColor& x, const QxColor& y)
{
    return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a;
}
inline bool operator!=(const QxColor& x, const QxColor& y)
{
    return !(x == y);
}

// 0xAARRGGBB with rounding to nearest: each channel is first clamped to
// 0 .. 1 (NaN to 0), then alpha = round(a x 255) << 24, red = round(r x 255 x 65536)
// & 0xFF0000, green = round(g x 255 x 256) & 0xFF00, blue = round(b x 255) & 0xFF.
// Red and green lose their low bits to the mask rather than to rounding, so
// g = 0.5 gives 0x7F in the green byte.
CKDWORD QxPackColor(float r, float g, float b, float a);
