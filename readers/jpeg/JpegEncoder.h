#pragma once

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// Save options of the JPEG writer.
struct JpegEncodeOptions
{
    float quality = 0.75f;  // 0..1, given to libjpeg as a percentage (truncated)
    float smoothing = 0.0f; // 0..1, the smoothing factor as a percentage (truncated)
    CKDWORD flags = 5;      // 1 optimize coding, 2 grayscale, 4 baseline
};

constexpr CKDWORD JPEG_OPTIMIZE = 1;
constexpr CKDWORD JPEG_GRAYSCALE = 2;
constexpr CKDWORD JPEG_BASELINE = 4;

// Encodes an image with libjpeg into a memory block that grows
// geometrically. Lines go top to bottom; grayscale gives one component of
// round(0.587 G + 0.299 R + 0.114 B). Options out of range are clamped.
// Returns the size with *out a new block (CKReaderAllocate), or 0 with *out
// null.
int JpegEncode(const QxImageDesc& desc, const void* pixels, const JpegEncodeOptions& options, CKBYTE** out);
