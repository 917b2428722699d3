#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/testdata/RgbaImage.h"

// Test-side writers of BMP, TGA and PCX files, written from the published
// formats apart from the readers, so that the readers can be checked
// against files whose every byte the test chose.

// Deterministic source pictures.
uint32_t PatternColor(int x, int y);         // 0xAARRGGBB, varied alpha
int PatternIndex(int x, int y, int entries); // palette index
uint32_t PaletteColor(int i);                // 0xFFRRGGBB

struct BmpRecipe
{
    int width = 13;
    int height = 7;
    int bits = 24;       // 1, 4, 8, 16, 24, 32
    int compression = 0; // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    int headerSize = 40; // 12, 40, 108 (version 4) or 124 (version 5)
    bool topDown = false;
    int paletteEntries = 0;        // 0: 2^bits
    uint32_t masks[3] = {0, 0, 0}; // bit fields (compression 3)
    bool rleDeltas = false;        // RLE: a delta, an early end of line and an early end of bitmap
};
std::vector<uint8_t> BuildBmp(const BmpRecipe& recipe);
// What a reader must give for BuildBmp(recipe) (skipped RLE pixels are 0).
RgbaImage ExpectedBmp(const BmpRecipe& recipe);

struct TgaRecipe
{
    int width = 13;
    int height = 7;
    int type = 2;          // 1, 2, 3, 9, 10, 11
    int depth = 24;        // pixel depth
    int mapEntryBits = 24; // colour-mapped: 15, 16, 24, 32
    int mapFirst = 0;      // first colour-map entry index
    int idLength = 0;
    int descriptor = 0;  // origin bits 0x20 (top), 0x10 (right), attribute bits
    bool footer = false; // TGA 2.0 footer
    bool rleAcrossLines = false;
};
std::vector<uint8_t> BuildTga(const TgaRecipe& recipe);
RgbaImage ExpectedTga(const TgaRecipe& recipe);

struct PcxRecipe
{
    int width = 13;
    int height = 7;
    int bitsPerPlane = 8;
    int planes = 1;
    bool rle = true;
    int version = 5;
    bool vgaPalette = true; // 8 bits: the 256-colour palette at the end
    int extraLineBytes = 0; // bytes per line beyond the least even count
    int xMin = 0;
    int yMin = 0;
};
std::vector<uint8_t> BuildPcx(const PcxRecipe& recipe);
RgbaImage ExpectedPcx(const PcxRecipe& recipe);

// One file of the generated corpus with the pixels its reader must give.
struct CorpusFile
{
    std::string name; // file name with extension
    std::vector<uint8_t> bytes;
    RgbaImage expected;
    bool alphaMeaningful;              // false: only the colours are compared with the reference
    int referenceBits = 8;             // channel bits compared with the reference (tools widen 5 bits differently)
    bool referenceWrittenOnly = false; // compare only pixels the file writes (tools fill skipped ones)
};
std::vector<CorpusFile> BuildBmpCorpus();
std::vector<CorpusFile> BuildTgaCorpus();
std::vector<CorpusFile> BuildPcxCorpus();

// A DDS file's magic and 124-byte header as the format's documentation lays
// it out (words at offsets 0, 4, 8 ..., the pixel format from offset 76,
// caps 0x1000 at 108); the pixels follow it.
std::vector<uint8_t> BuildDdsHeader(int width, int height, uint32_t flags, uint32_t pitch, uint32_t pfFlags,
                                    uint32_t fourCC, uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a);

// An 8-bit uncompressed little-endian TIFF whose samples lie in separate
// planes, one strip a plane (planes[k] its bytes; an empty one is a strip of
// byte count 0), with these extra-sample kinds (at most two).
std::vector<uint8_t> BuildPlanarTiff(int width, int height, uint16_t photometric,
                                     const std::vector<std::vector<uint8_t>>& planes,
                                     const std::vector<uint16_t>& extraSamples);
