#pragma once

#include <cstddef>
#include <cstdio>

#include "includes/CKTypes.h"

class DecodedImage;

// Decodes a JPEG image with libjpeg, from an open file (data null) or from
// memory, into 24-bit pixels (bytes R, G, B; masks red 0xFF, green 0xFF00,
// blue 0xFF0000), lines top-down and unpadded. One- and three-component
// images are read (a grey image as equal R, G and B, with *grayscale set);
// four-component (CMYK, YCCK) images are refused. The memory source gives
// libjpeg the whole block, clamps skips to it and ends a truncated stream
// with an end-of-image marker, as libjpeg's own sources do. False, with a
// line logged, on any failure (a libjpeg error, a size outside
// 1..CK_MAX_IMAGE_DIMENSION, more than 1000 scans, more than 512 MB of
// working memory).
bool JpegDecode(FILE* file, const CKBYTE* data, size_t size, DecodedImage& out, bool& grayscale);
