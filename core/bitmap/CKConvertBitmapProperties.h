#pragma once

#include "core/bitmap/CKBitmapProperties.h"
#include "includes/CKTypes.h"

// Logical sizes of the two older save-format records, each followed by the
// reader's own words: 52 bytes (size word, reader GUID, 4-character
// extension, width, height, bytes per line, bits per pixel, red, green, blue
// and alpha masks, pixel pointer) and 72 bytes (size word, reader GUID,
// 4-character extension, a whole 52-byte image description, pixel pointer).
// The size word of an old record gives its layout (below 72 the first); the
// reader's words fill the rest of the buffer it was saved in.
constexpr CKDWORD CK_BITMAPPROPERTIES_OLDSIZE = 52;
constexpr CKDWORD CK_BITMAPPROPERTIES_OLDDESCSIZE = 72;

// Reads an older save-format record of the 32-bit layout from a buffer of
// size bytes into a record of the current layout: 140 bytes plus the
// buffer's words after the old layout, the GUID and the extensions carried
// over, the description built from the old fields (description size 52 and
// flags 0 for the 52-byte layout), pointers null. False, with one log line
// and out untouched, when the size word is below 52 or larger than size, or
// the words after the layout are not whole or more than a record holds.
bool CKConvertBitmapProperties(const void* data, CKDWORD size, CKBitmapProperties& out);
