#pragma once

#include <cstdint>

#include "platform/PlatformBitmap.h"
#include "platform/PlatformFont.h"
#include "platform/PlatformRect.h"

// Stand-in for the platform's DrawText into a bitmap, rendered with FreeType
// and the DejaVu faces (Sans, Serif or Mono by the face name, Bold from a
// weight of 600, a slanted outline for italic). Glyphs are antialiased over
// an opaque background: each line's cell (its width x the font's ascent plus
// descent) is filled with the background colour first. Output is clipped to
// the rectangle and the bitmap. Pixels will not match the platform's fonts;
// placement follows the format bits below.

// The format bits the stand-in honours.
constexpr uint32_t PLATFORM_DT_CENTER = 0x01;     // centre each line horizontally
constexpr uint32_t PLATFORM_DT_RIGHT = 0x02;      // align right (DT_CENTER wins when both are set)
constexpr uint32_t PLATFORM_DT_VCENTER = 0x04;    // single line only: centre vertically
constexpr uint32_t PLATFORM_DT_BOTTOM = 0x08;     // single line only: align to the bottom (VCENTER wins)
constexpr uint32_t PLATFORM_DT_SINGLELINE = 0x20; // line breaks are not honoured

// Without DT_SINGLELINE "\r\n", "\n" and "\r" start new lines, stacked from
// the top of the rectangle. Other control characters are not drawn.

// Colours are 0x00BBGGRR. `drawn`, when given, receives the bounds of every
// pixel written, cells and ink (ink may overhang a cell), after clipping;
// empty when nothing was drawn. False when the
// bitmap, font or text is null or no face could be loaded.

// 8-bit text in the Windows-1252 code page; `length` bytes, or up to the
// terminating zero when negative.
bool PlatformDrawTextA(PlatformBitmap* bitmap, const PlatformFont* font, const char* text, int32_t length,
                       const PlatformRect& rect, uint32_t format, uint32_t backColor, uint32_t textColor,
                       PlatformRect* drawn = nullptr);

// UTF-16 text; `length` units, or up to the terminating zero when negative.
bool PlatformDrawTextW(PlatformBitmap* bitmap, const PlatformFont* font, const char16_t* text, int32_t length,
                       const PlatformRect& rect, uint32_t format, uint32_t backColor, uint32_t textColor,
                       PlatformRect* drawn = nullptr);

// Pixel metrics of a font as the stand-in draws it: ascent + descent (the
// cell height) and the advance width of a 1252 text. False for a null font
// or when no face could be loaded.
bool PlatformGetTextExtent(const PlatformFont* font, const char* text, int32_t length, int32_t* width, int32_t* height);

// The faces are loaded on first use and kept for later calls. Releasing them
// (library shut-down) frees FreeType and every face; the next call loads
// them again. The count is of the face files tried, loaded or not.
void PlatformReleaseTextFaces();
int PlatformGetTextFaceCount();
