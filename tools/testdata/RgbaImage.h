#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "system/image/QxImageDesc.h"

// An image as 0xAARRGGBB words, top line first: what tests compare.
struct RgbaImage
{
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[(size_t) y * width + x]; }
    bool operator==(const RgbaImage& o) const { return width == o.width && height == o.height && pixels == o.pixels; }
};

// A channel of `bits` bits widened to 8 by repeating its bits (5 bits:
// v << 3 | v >> 2).
uint32_t ScaleTo8(uint32_t value, int bits);
// The position of a mask's lowest bit, and its number of bits.
int MaskShift(uint32_t mask);
int MaskBits(uint32_t mask);

// Reads any image a reader produced: true colour by its masks (a missing
// alpha mask gives 0xFF), 1, 4 and 8 bits through the colour map (entries
// laid out by the masks). Written apart from the readers and the blitter.
RgbaImage ToRgba(const QxImageDesc& desc, const void* pixels);

// The first difference as text, "" when equal; alphaToo = false compares the
// colours only.
std::string DescribeDifference(const RgbaImage& actual, const RgbaImage& expected, bool alphaToo = true);

// PAM files (RGB_ALPHA, RGB, GRAYSCALE_ALPHA or GRAYSCALE; maxval 255).
bool LoadPam(const std::string& path, RgbaImage& image);
bool SavePam(const std::string& path, const RgbaImage& image);

// Binary PGM and PPM files (P5, P6; maxval 255), opaque.
bool LoadPnm(const std::string& path, RgbaImage& image);

std::vector<uint8_t> LoadFileBytes(const std::string& path);
bool SaveFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
