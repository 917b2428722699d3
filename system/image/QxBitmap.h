#pragma once

#include "includes/CKTypes.h"
#include "platform/PlatformBitmap.h"
#include "system/image/QxImageDesc.h"

// Conversions between the platform's bitmap sections and image descriptions.

// The bitmap itself when it is a 24-bit section; otherwise a new 24-bit
// section of its size with its pixels copied in (the caller deletes that one
// with PlatformDeleteObject). Null for a null bitmap or when no section can
// be made.
PlatformBitmap* QxConvertBitmapTo24Bit(PlatformBitmap* bitmap);

// A new 24-bit section of the image's size holding the image (the section is
// bottom-up, so its lines are the image's in reverse order). Null when the
// section cannot be made or the image cannot be converted into it.
PlatformBitmap* QxCreateBitmapFromImage(const QxImageDesc& image);

// Copies a bitmap (of the image's size) into the image, converting it to the
// image's format. FALSE when the bitmap has no pixels or the conversion fails.
CKBOOL QxCopyBitmapToImage(PlatformBitmap* bitmap, const QxImageDesc& image);
