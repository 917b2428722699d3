#pragma once

#include <cstddef>
#include <cstdio>

#include "includes/CKTypes.h"

class DecodedImage;

// Decodes a JPEG image with libjpeg, from an open file (data null; read
// from its current position to its end) or from memory, into 24-bit pixels
// (bytes R, G, B; masks red 0xFF, green 0xFF00, blue 0xFF0000), lines
// top-down and unpadded. Grey images come out as equal R, G and B, with
// *grayscale set; four-component images (CMYK, YCCK) hold Adobe's inverted
// inks and come out as each colour sample times black / 255. The memory
// source gives libjpeg the whole block, clamps skips to it and ends a
// truncated stream with an end-of-image marker, as libjpeg's own sources
// do. False, with a line logged, on any failure (a libjpeg error, a size
// outside 1..CK_MAX_IMAGE_DIMENSION, a large image whose data could not
// describe it (ReaderDataCoverage.h), more than 1000 scans, scans that
// would decode more than twelve passes over the image's blocks, more than
// 512 MB of working memory).
bool JpegDecode(FILE* file, const CKBYTE* data, size_t size, DecodedImage& out, bool& grayscale);
