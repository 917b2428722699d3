#pragma once

#include "platform/PlatformSurface.h"

// Block compression of the platform's surface loader, through libsquish.
// The uncompressed side is always 32-bit pixels in memory order blue, green,
// red, alpha (the A8R8G8B8 and X8R8G8B8 layouts), of the same size as the
// compressed surface. DXT2 and DXT4 (alpha premultiplied into the colours)
// are taken as DXT3 and DXT5: their blocks are decoded and encoded as they
// are, the colours left as stored.

// True for the DXT1 to DXT5 formats.
bool PlatformIsDxtFormat(uint32_t format);

// Decodes every block of src into dst (writable, 32 bits, same size); pixels
// of partial blocks that lie outside the image are not written. False, with
// nothing written, when the surfaces do not fit that description.
bool PlatformDxtDecode(const PlatformSurface& src, const PlatformSurface& dst);

// Encodes src (32 bits; its alpha byte is read only when the layout has an
// alpha mask, else pixels are opaque) into the blocks of dst (writable, same
// size). False, with nothing written, as for the decoder.
bool PlatformDxtEncode(const PlatformSurface& src, const PlatformSurface& dst);
