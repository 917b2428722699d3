#include "system/image/QxFont.h"

#include <cstring>

#include "platform/PlatformMulDiv.h"

namespace {

constexpr uint8_t kDefaultCharSet = 1;
constexpr uint8_t kAntialiasedQuality = 4;

} // namespace

PlatformFont* QxCreateFont(const char* faceName, int pointSize, int weight, CKBOOL italic, CKBOOL underline)
{
    PlatformLogFont lf;
    lf.Height = -PlatformMulDiv(pointSize, PLATFORM_SCREEN_DPI, 72);
    lf.Width = 0;
    lf.Weight = weight;
    lf.Italic = italic ? 1 : 0;
    lf.Underline = underline ? 1 : 0;
    lf.StrikeOut = 0;
    lf.CharSet = kDefaultCharSet;
    lf.Quality = kAntialiasedQuality;
    if (faceName)
        std::strncpy(lf.FaceName, faceName, PLATFORM_FACE_SIZE - 1);
    return PlatformCreateFont(lf);
}

CKBOOL QxGetFontInfo(const PlatformFont* font, QxFontInfo& info)
{
    PlatformLogFont lf;
    if (!PlatformGetFontLogFont(font, &lf))
        return FALSE;
    info.FaceName = lf.FaceName;
    info.Height = lf.Height;
    info.Weight = lf.Weight;
    info.Italic = lf.Italic ? TRUE : FALSE;
    info.Underline = lf.Underline ? TRUE : FALSE;
    return TRUE;
}
