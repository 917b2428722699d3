#pragma once

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// Encodes an image as a TGA file in memory: true colour of 16 (555), 24 or
// 32 bits, or 8-bit greyscale for bitDepth 64 (each pixel (R + G + B) / 3);
// any other depth is refused. Lines go top to bottom (descriptor 0x20, plus
// 8 attribute bits at 32 bits); with rle, packets of at most 128 pixels that
// stay inside a line. No footer. Returns the file size with *out a new block
// (CKReaderAllocate), or 0 with *out null.
int TgaEncode(const QxImageDesc& desc, const void* pixels, CKDWORD bitDepth, bool rle, CKBYTE** out);
