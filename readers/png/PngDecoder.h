#pragma once

#include <cstddef>

#include "includes/CKTypes.h"

class DecodedImage;
class QxFile;

// What a PNG read tells the reader's record about the file.
struct PngFileInfo
{
    int colorType = 0; // after palette expansion: 0 grey, 2 RGB (palette too), 4 grey-alpha, 6 RGBA
    int interlace = 0; // 0 none, 1 Adam7
};

// Decodes a PNG image with libpng, from an open file (data null) or from
// memory, into 32-bit pixels (bytes B, G, R, A; masks red 0xFF0000, green
// 0xFF00, blue 0xFF, alpha 0xFF000000), lines top-down and unpadded:
// palettes and transparency expanded, samples cut to 8 bits, grey made RGB,
// an alpha of 0xFF added where there is none. An sRGB image is taken as it
// is; any other is corrected from its gamma (0.45455 without gAMA) to a
// screen gamma of 2.2. Texts and the other metadata chunks are skipped
// unread. False, with a line logged, on any libpng error, a
// short read ("read Error"), a size outside 1..CK_MAX_IMAGE_DIMENSION, or
// rows that would not be width x 4 bytes.
bool PngDecode(QxFile* file, const CKBYTE* data, size_t size, DecodedImage& out, PngFileInfo& info);
