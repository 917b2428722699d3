#pragma once

#include <cstdint>

#include "platform/PlatformGdiObject.h"

// Stand-in for GDI fonts: a record of the logical font as the engine asked
// for it, drawn later with FreeType and a DejaVu face (see PlatformText.h).

// The screen's vertical dots per inch.
constexpr int32_t PLATFORM_SCREEN_DPI = 96;

constexpr int32_t PLATFORM_FACE_SIZE = 32; // face name with its terminating zero

// The logical font (the platform's LOGFONT).
struct PlatformLogFont
{
    int32_t Height = 0; // < 0: character height in pixels; > 0: cell height; 0: default
    int32_t Width = 0;
    int32_t Escapement = 0;
    int32_t Orientation = 0;
    int32_t Weight = 0; // 0 default, 400 normal, 700 bold
    uint8_t Italic = 0;
    uint8_t Underline = 0;
    uint8_t StrikeOut = 0;
    uint8_t CharSet = 0;
    uint8_t OutPrecision = 0;
    uint8_t ClipPrecision = 0;
    uint8_t Quality = 0;
    uint8_t PitchAndFamily = 0;
    char FaceName[PLATFORM_FACE_SIZE] = {};
};

class PlatformFont : public PlatformGdiObject
{
public:
    explicit PlatformFont(const PlatformLogFont& logFont) : m_LogFont(logFont) {}
    const PlatformLogFont& LogFont() const { return m_LogFont; }

private:
    PlatformLogFont m_LogFont;
};

// Creates a font from its logical description (CreateFontIndirect); the face
// name is cut to 31 characters. Null only when memory runs out.
PlatformFont* PlatformCreateFont(const PlatformLogFont& logFont);

// The logical description of a font (GetObject). False for null.
bool PlatformGetFontLogFont(const PlatformFont* font, PlatformLogFont* out);
