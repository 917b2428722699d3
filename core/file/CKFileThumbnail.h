#pragma once

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// The thumbnail an engine file can carry: a JPEG image whose longer side is
// 128 pixels, stored as the included file "zkthumbnail.jpg" and followed by a
// 20-byte trailer: height, width, JPEG byte count and the marker GUID.

// The thumbnail size for a view: the longer side becomes 128, the shorter
// 128 x shorter / longer + 0.5 truncated; a shorter side of 0 becomes 128.
void CKThumbnailSize(int viewWidth, int viewHeight, int& width, int& height);

// Writes the thumbnail of a 32-bit image into the file at path: the image
// is resampled to width x height, saved fresh as a JPEG through the bitmap
// reader of ".jpg" and the trailer is written after it. False (and no file
// left) when the image cannot be resampled, no JPEG was written, or the
// trailer could not be written.
CKBOOL CKWriteThumbnail(const char* path, const QxImageDesc& image, int width, int height);

// Writes the trailer after the bytes a freshly written JPEG file holds.
// False when the file is missing or empty, its length cannot be taken, or
// the trailer is not written whole.
CKBOOL CKAppendThumbnailTrailer(const char* path, int width, int height);
