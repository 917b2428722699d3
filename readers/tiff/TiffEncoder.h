#pragma once

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// Encodes an image with libtiff into a memory block: one strip a line of
// 8-bit R, G, B, A samples (photometric RGB, four samples, contiguous
// planes, fill order 1, top-left orientation, description "Keltrane Image"),
// compressed with the given TIFF compression (1 none, 32773 PackBits, or
// any other that libtiff has). Returns the size with *out a new block
// (CKReaderAllocate), or 0 with *out null.
int TiffEncode(const QxImageDesc& desc, const void* pixels, CKDWORD compression, CKBYTE** out);
