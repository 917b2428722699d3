#pragma once

#include "includes/CKTypes.h"
#include "platform/PlatformBitmap.h"
#include "platform/PlatformFont.h"
#include "platform/PlatformRect.h"

// Text drawn into a bitmap with a font. The option bits are the sprite-text
// alignment: 1 centre, 2 left, 4 right, 8 top, 16 bottom, 32 vertical centre,
// 64 horizontal centre (2 and 8 are the defaults and add nothing).

// The platform's text-drawing format for the option bits: 1 gives centre; 4
// right (with 1: 3); 64 overrides both with centre, plus right with 4, plus
// bottom and single line with 16; otherwise 16 adds bottom and single line;
// 32 adds vertical centre and single line. Options 1 + 4 + 32 give 39.
CKDWORD QxDrawTextFormat(CKDWORD options);

// Draws an 8-bit text into the rectangle of the bitmap (rows counted from the
// top) over an opaque background. Colours are 0x00RRGGBB. FALSE when the
// bitmap, font or text is null or the text cannot be drawn; TRUE otherwise.
CKBOOL QxDrawText(PlatformBitmap* bitmap, const PlatformFont* font, const char* text, const PlatformRect& rect,
                  CKDWORD options, CKDWORD backgroundColor, CKDWORD textColor);

// The same with a zero-terminated 16-bit text. The default colours are the
// platform's: black text on white.
CKBOOL QxDrawTextW(PlatformBitmap* bitmap, const PlatformFont* font, const char16_t* text, const PlatformRect& rect,
                   CKDWORD options, CKDWORD backgroundColor = 0x00FFFFFF, CKDWORD textColor = 0x00000000);
