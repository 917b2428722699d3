#pragma once

#include <cstddef>

#include "includes/CKTypes.h"

class DecodedImage;

// Decodes a Truevision Targa file held in memory: image types 1, 2, 3
// (colour-mapped, true-colour, greyscale) and 9, 10, 11 (their run-length
// forms), pixel depths 8, 15, 16, 24 and 32, either origin. Colour-mapped
// and greyscale images come out as 32-bit ARGB (a colour-map index outside
// the map gives the pixel 0); true colour keeps its depth: 16 bits as 555
// (1555 when the descriptor gives an attribute bit), 24 as RGB, 32 as ARGB.
// Lines come out top-down, left to right, unpadded. A TGA 2.0 footer's
// offsets are checked and otherwise unused. Returns an ImageReaderResult:
// 3 for an invalid or unsupported image, 4 when the data end early.
int TgaDecode(const CKBYTE* data, size_t size, DecodedImage& out);
