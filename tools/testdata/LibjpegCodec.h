#pragma once

#include <cstdint>
#include <vector>

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include "tools/testdata/RgbaImage.h"

// libjpeg's own encode and decode, called plainly, for the JPEG reader's
// tests to compare with.

struct LibDecode
{
    bool ok = false;
    RgbaImage image;
};

// libjpeg's decode of a block into RGB (opaque).
LibDecode LibjpegDecode(const std::vector<uint8_t>& bytes);

// libjpeg's decode of a four-component block into its CMYK samples, four
// bytes a pixel; empty when libjpeg refuses it.
std::vector<uint8_t> LibjpegDecodeInks(const std::vector<uint8_t>& bytes);

// libjpeg's encode of 8-bit samples (components 1, 3 or 4) given in the
// colour space `space`; `stored` other than JCS_UNKNOWN is the colour space
// of the file (YCCK from CMYK samples). Empty on failure.
std::vector<uint8_t> LibjpegEncode(const std::vector<uint8_t>& samples, int width, int height, int components,
                                   J_COLOR_SPACE space, int quality, bool progressive = false,
                                   J_COLOR_SPACE stored = JCS_UNKNOWN);

// The R, G, B bytes of 0xAARRGGBB pixels.
std::vector<uint8_t> RgbSamples(const std::vector<uint32_t>& pixels);
