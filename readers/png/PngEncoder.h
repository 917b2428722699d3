#pragma once

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// Save options of the PNG writer (the words of its record).
struct PngEncodeOptions
{
    CKDWORD compressionLevel = 3; // 0..9
    CKDWORD filters = 8;          // 1 Sub, 2 Up, 4 Average, 8 Paeth; 0 unfiltered rows
    CKDWORD bitDepth = 24;        // 1, 2, 4, 8, 24 or 32
    CKDWORD options = 2;          // 1 grayscale, 2 alpha channel
    CKDWORD interlace = 0;        // bit 1: Adam7
};

constexpr CKDWORD PNG_OPTION_GRAYSCALE = 1;
constexpr CKDWORD PNG_OPTION_ALPHA = 2;

// Encodes an image with libpng into a memory block (first 512 bytes,
// doubled as needed). By bit depth: 1, 2, 4 or 8 without the grayscale
// option gives a 256-colour palette image (written at depth 8, the palette
// learnt by the quantizer); with grayscale and without alpha a grey image of
// that depth (grey = trunc(0.299 R + 0.587 G + 0.114 B) scaled by
// (2^depth - 1) / 255); with grayscale and alpha an 8-bit grey-alpha image
// (grey rounded). 24 or 32 give 8-bit RGBA with the alpha option, else RGB.
// Any other depth is refused. Returns the size with *out a new block
// (CKReaderAllocate), or 0 with *out null.
int PngEncode(const QxImageDesc& desc, const void* pixels, const PngEncodeOptions& options, CKBYTE** out);
