#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/bitmap/CKBitmapReader.h"
#include "tools/testdata/ImageFileBuilders.h"
#include "tools/testdata/RgbaImage.h"

// Decodes bytes with a reader; *result gets ReadMemory's result, and the
// image is empty unless it is 0.
RgbaImage DecodeWith(CKBitmapReader& reader, const std::vector<uint8_t>& bytes, int* result = nullptr);

// Checks a generated corpus file: its decode must equal the expected pixels
// exactly and the committed reference decode (tests/readers/data/reference/
// <name>.pam, made by an independent tool) as the file's fields say.
void CheckCorpusFile(CKBitmapReader& reader, const CorpusFile& file);

// Compares with a reference decode: colours (top `bits` bits of each
// channel), alpha when asked, only where `where` is non-zero when given.
std::string CompareWithReference(const RgbaImage& actual, const RgbaImage& reference, bool alpha, int bits,
                                 const RgbaImage* where = nullptr);

// Feeds every prefix of bytes (every length below its size) to ReadMemory:
// each result must be one of `allowed`; a 0 must come with an image of the
// full size.
void CheckEveryPrefix(CKBitmapReader& reader, const std::vector<uint8_t>& bytes, std::vector<int> allowed);

// Decodes a file of tests/readers/data/foreign/ (written by another
// encoder): it must read and equal its committed .pam reference decode.
void CheckForeignFile(CKBitmapReader& reader, const std::string& name);

// ReadMemory's result for bytes with `count` bytes at `at` replaced by the
// little-endian value.
int DecodePatched(CKBitmapReader& reader, std::vector<uint8_t> bytes, size_t at, uint32_t value, int count);

// CheckEveryPrefix of every corpus file, with the results of the BMP, TGA
// and PCX readers: 0, or 4 for a file shorter than its headers announce.
void CheckEveryCorpusPrefix(CKBitmapReader& reader, const std::vector<CorpusFile>& corpus);

// A 32-bit ARGB description over pixels (0xAARRGGBB words).
QxImageDesc ArgbDesc(int width, int height, uint32_t* pixels);

// A record to save: the given one (a reader's defaults) over the 32-bit ARGB
// picture.
CKBitmapProperties ArgbRecord(CKBitmapProperties p, std::vector<uint32_t>& pixels, int width, int height);

// The bytes SaveMemory gives for p (empty when it saves nothing); the block
// is released.
std::vector<uint8_t> SaveToBytes(CKBitmapReader& reader, const CKBitmapProperties& p);

// The picture as an image, with alpha 0xFF when opaque.
RgbaImage AsImage(const std::vector<uint32_t>& pixels, int width, int height, bool opaque);

// A test picture: PatternColor with its alpha, or opaque.
std::vector<uint32_t> MakePicture(int width, int height, bool opaque);

// Folder of the committed reference images.
std::string ReaderTestDataDir();
