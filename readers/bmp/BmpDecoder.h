#pragma once

#include <cstddef>

#include "includes/CKTypes.h"

class DecodedImage;

// Decodes a BMP file held in memory: "BM", a 12-, 40-, 64-, 108- or
// 124-byte information header (the last two read as the 40-byte one with
// its bit fields), 1, 4, 8, 16, 24 or 32 bits, uncompressed, RLE8, RLE4 or
// bit fields. Colour-table images come out as 32-bit ARGB (an index past the
// table gives the pixel 0); 16, 24 and 32 bits keep their depth. Lines come
// out top-down, unpadded. Returns an ImageReaderResult: 3 for an invalid or
// unsupported image, 4 when the data end before what the headers announce
// (or before a compressed image's last line, or are too few for a large
// image: ReaderDataCoverage.h).
int BmpDecode(const CKBYTE* data, size_t size, DecodedImage& out);
