#pragma once

// The one rule by which every reader treats a file that declares far more
// image than its data could hold (a few hundred bytes announcing 16384 x
// 16384 pixels). Images up to READER_LARGE_IMAGE_BYTES decoded are read
// however little data they come with, missing parts filled as each format
// does; a larger one is refused before any decoding when its data could not
// describe even 1/READER_LEAST_DESCRIBED_PART of its pixels. Readers whose
// formats need data for every pixel (uncompressed lines, PNG, TGA and PCX
// runs) refuse short data anyway.
constexpr unsigned long long READER_LARGE_IMAGE_BYTES = 64ull << 20;
constexpr unsigned long long READER_LEAST_DESCRIBED_PART = 64;

// A count of pixels that data cannot bound (a coding that can describe any
// number of pixels in a few bytes).
constexpr unsigned long long READER_ANY_PIXEL_COUNT = ~0ull;

// describablePixels is the most pixels the file's data could describe at
// the densest coding its format allows. True when the image may be decoded;
// false, with one line logged under tag ("BMP"), when the rule refuses it.
bool ReaderDataMayDescribeImage(const char* tag, unsigned long long decodedBytes, unsigned long long pixels,
                                unsigned long long describablePixels);

// a x b, saturating at READER_ANY_PIXEL_COUNT.
unsigned long long ReaderSaturatingProduct(unsigned long long a, unsigned long long b);
