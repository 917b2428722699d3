#include "system/math/QxColor.h"

#include "system/math/QxFloatToInt.h"

namespace {

// trunc(channel x 255) within 0 .. 255. The product is taken in double so the
// truncation sees the exact value.
CKDWORD ChannelByte(float channel)
{
    const double scaled = static_cast<double>(channel) * 255.0;
    if (!(scaled > 0.0))
        return 0;
    if (scaled >= 255.0)
        return 255;
    return static_cast<CKDWORD>(scaled);
}

double Clamp01(float v)
{
    if (!(v > 0.0f))
        return 0.0;
    if (v > 1.0f)
        return 1.0;
    return v;
}

} // namespace

QxColor::QxColor(CKDWORD argb)
    : r(static_cast<float>((argb >> 16) & 0xFF) / 255.0f), g(static_cast<float>((argb >> 8) & 0xFF) / 255.0f),
      b(static_cast<float>(argb & 0xFF) / 255.0f), a(static_cast<float>((argb >> 24) & 0xFF) / 255.0f)
{}

CKDWORD QxColor::GetARGB() const
{
    return (ChannelByte(a) << 24) | (ChannelByte(r) << 16) | (ChannelByte(g) << 8) | ChannelByte(b);
}

CKDWORD QxColor::GetABGR() const
{
    return (ChannelByte(a) << 24) | (ChannelByte(b) << 16) | (ChannelByte(g) << 8) | ChannelByte(r);
}

CKDWORD QxPackColor(float r, float g, float b, float a)
{
    // Products of a value in 0 .. 1 and these factors are exact in double.
    const CKDWORD alpha = static_cast<CKDWORD>(QxRoundToInt(Clamp01(a) * 255.0)) << 24;
    const CKDWORD red = static_cast<CKDWORD>(QxRoundToInt(Clamp01(r) * 16711680.0)) & 0x00FF0000u;
    const CKDWORD green = static_cast<CKDWORD>(QxRoundToInt(Clamp01(g) * 65280.0)) & 0x0000FF00u;
    const CKDWORD blue = static_cast<CKDWORD>(QxRoundToInt(Clamp01(b) * 255.0)) & 0x000000FFu;
    return alpha | red | green | blue;
}
