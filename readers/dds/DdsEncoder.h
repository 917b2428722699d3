#pragma once

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// Why an image could not be saved as DDS (the writer's results differ).
enum DdsEncodeFailure
{
    DDS_ENCODE_NOSURFACE,  // no surface of the image's or the wanted format can be made
    DDS_ENCODE_CONVERSION, // the pixels cannot be converted to the wanted format
};

// Encodes the image described by desc (pixels at `pixels`) as a DDS file in
// the surface format `format`: the magic, the header and the pixels in a new
// block from CKReaderAllocate (*block). The image goes first into the surface
// format its engine format saves as (32-bit ARGB for one that has none),
// converted by the blitter when its layout differs; a compressed image holds
// its whole blocks. Returns the block's size; 0 with *block null and
// *failure set when it cannot be saved.
int DdsEncode(const QxImageDesc& desc, const void* pixels, CKDWORD format, CKBYTE** block, DdsEncodeFailure* failure);
