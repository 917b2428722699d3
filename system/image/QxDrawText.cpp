#include "system/image/QxDrawText.h"

#include <cstring>

#include "platform/PlatformText.h"

namespace {

// 0x00RRGGBB to the platform's 0x00BBGGRR.
CKDWORD ToColorRef(CKDWORD rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

} // namespace

CKDWORD QxDrawTextFormat(CKDWORD options)
{
    CKDWORD h = 0;
    if (options & 1)
        h = 1;
    if (options & 4)
        h = (options & 1) ? 3 : 2;
    if (options & 64) {
        h = 1;
        if (options & 4)
            h += 2;
        if (options & 16)
            h += 40;
    } else if (options & 16)
        h |= 40;
    if (options & 32)
        h |= 36;
    return h;
}

CKBOOL QxDrawText(PlatformBitmap* bitmap, const PlatformFont* font, const char* text, const PlatformRect& rect,
                  CKDWORD options, CKDWORD backgroundColor, CKDWORD textColor)
{
    if (!bitmap || !font || !text)
        return FALSE;
    return PlatformDrawTextA(bitmap, font, text, int32_t(std::strlen(text)), rect, QxDrawTextFormat(options),
                             ToColorRef(backgroundColor), ToColorRef(textColor))
               ? TRUE
               : FALSE;
}

CKBOOL QxDrawTextW(PlatformBitmap* bitmap, const PlatformFont* font, const char16_t* text, const PlatformRect& rect,
                   CKDWORD options, CKDWORD backgroundColor, CKDWORD textColor)
{
    if (!bitmap || !font || !text)
        return FALSE;
    return PlatformDrawTextW(bitmap, font, text, -1, rect, QxDrawTextFormat(options), ToColorRef(backgroundColor),
                             ToColorRef(textColor))
               ? TRUE
               : FALSE;
}
