#pragma once

#include "platform/PlatformSurface.h"
#include "system/image/QxImageDesc.h"

// The surface conversion of the DDS reader and writer: uncompressed layouts
// through the engine's blitter, block-compressed ones through the platform's
// DXT codec (by way of 32-bit ARGB when neither side is that).

// A description of the surface's pixels (Image points at them; the
// description does not make them writable).
QxImageDesc DdsDescribeSurface(const PlatformSurface& surface);

// Converts src into dst (writable, same size). Surfaces of the same format
// or uncompressed layout are copied. Bump-map formats are copied only into
// their own format: their channels are differences, not colours. False when
// the sizes differ, dst is read-only, the pair cannot be converted or memory
// runs out.
bool DdsConvertSurface(const PlatformSurface& src, const PlatformSurface& dst);
