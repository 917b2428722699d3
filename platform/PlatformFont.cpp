#include "platform/PlatformFont.h"

#include <new>

PlatformFont* PlatformCreateFont(const PlatformLogFont& logFont)
{
    PlatformLogFont stored = logFont;
    stored.FaceName[PLATFORM_FACE_SIZE - 1] = '\0';
    return new (std::nothrow) PlatformFont(stored);
}

bool PlatformGetFontLogFont(const PlatformFont* font, PlatformLogFont* out)
{
    if (!font || !out)
        return false;
    *out = font->LogFont();
    return true;
}
