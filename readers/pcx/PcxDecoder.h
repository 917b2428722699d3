#pragma once

#include <cstddef>

#include "includes/CKTypes.h"

class DecodedImage;

// Decodes a ZSoft PCX file held in memory: 1 bit (one plane), 4 bits (four
// 1-bit planes or one 4-bit plane), 8 bits (one plane) and 24 bits (three
// 8-bit planes), raw or run-length encoded. The image keeps its depth:
// 1, 4 and 8 bits palettised with a colour map of 3-byte entries (red,
// green, blue; 16 entries for 1 and 4 bits from the header, 256 for 8 bits
// from the palette after a byte 12 at the end of a version 5 file, else the
// header's 16; a 1-bit file whose two header colours are equal is black
// and white), 24 bits as R, G, B bytes; masks red 0xFF, green 0xFF00,
// blue 0xFF0000. Lines are unpadded: (width + 7) / 8, (width + 1) / 2,
// width or width x 3 bytes. Returns an ImageReaderResult: 3 for an invalid
// or unsupported image (an inverted window, or bytes per line too few for
// the width), 4 when the data end early.
int PcxDecode(const CKBYTE* data, size_t size, DecodedImage& out);
