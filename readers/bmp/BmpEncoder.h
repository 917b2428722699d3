#pragma once

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// Encodes an image as a BMP file in memory with a 40-byte information
// header. bitDepth: 8 (256-colour table), 9 (8 bits, RLE8), 16 (555), 24 or
// 32; any other value (1, 4, 5 for RLE4 among them) is refused. The image
// is converted as needed (QxDoBlit; a colour table is learnt by the
// quantizer). Returns the file size with *out a new block (CKReaderAllocate),
// or 0 with *out null.
int BmpEncode(const QxImageDesc& desc, const void* pixels, CKDWORD bitDepth, CKBYTE** out);
