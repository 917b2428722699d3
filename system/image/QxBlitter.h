#pragma once

#include <cstddef>

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// The pixel blitter: copies pixels between two image descriptions, converting
// the format line by line, resampling when the sizes differ, quantising to a
// palette for paletted destinations, and setting alpha. Every entry point
// holds the global critical section (system/runtime/QxGlobalLock.h) for its whole run.
//
// A description is read as a record of its Size word (see
// QxCopyImageDescBySize). Each image is trusted to hold its lines at
// Image + y x BytesPerLine (y from 0 to Height - 1; the pitch may be
// negative), each Width pixels of BitsPerPixel bits, and a palette of
// ColorMapEntries x BytesPerColorEntry bytes; everything else is checked. Entry points return
// false, and write nothing, when they cannot do what was asked: a missing
// image, a negative size, a format pair without converter (compressed
// formats included), a resampling of a source that is not 32-bit, or a
// palette that cannot be learnt.

// Builds the converter tables. Library start-up calls it; every entry point
// calls it too, so calling it is optional, and again is harmless.
void QxInitBlitter();

// The blitter keeps its work buffers (resampling lines, a converted palette)
// from one call to the next; resetting it (library shut-down) frees them. The
// converter tables stay: they depend only on the processor. Both take the
// global critical section.
void QxResetBlitter();
// Bytes held by the work buffers; 0 before any blit and after a reset.
size_t QxGetBlitterWorkBytes();

// Converts the source image into the destination image. Different sizes need
// a 32-bit source, which is then resampled. A destination with palette
// entries first gets its palette from QxQuantizeImage.
bool QxDoBlit(const QxImageDesc& src, const QxImageDesc& dst);

// The same with the lines in reverse order: the source's last line becomes
// the destination's first.
bool QxDoBlitUpsideDown(const QxImageDesc& src, const QxImageDesc& dst);

// Resamples a 32-bit image into a 32-bit image of the destination's size,
// without format conversion. False unless both are 32 bits per pixel.
bool QxResizeImage(const QxImageDesc& src, const QxImageDesc& dst);

// Sets the alpha of every pixel. The 8-bit value is narrowed to the alpha
// mask keeping its top bits (0x80 gives 0x8 on ARGB 4444). False without an
// alpha mask or image, with a negative width, or for pixel sizes that have no
// alpha setter (3 bytes, above 4).
bool QxDoAlphaBlit(const QxImageDesc& desc, CKBYTE alpha);

// Copies one byte per pixel into the alpha channel, narrowed the same way;
// the byte lines are Width bytes apart. Same refusals, and a null map.
bool QxDoAlphaMapBlit(const QxImageDesc& desc, const CKBYTE* alphaValues);
