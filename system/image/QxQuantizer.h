#pragma once

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// Colour quantizer: a NeuQuant network of 256 colours learnt from a 24- or
// 32-bit image. Its state is process-wide; both functions take the global
// critical section (system/runtime/QxGlobalLock.h).

// Learns a palette from `src` and writes it into `dst.ColorMap`: entry i gets
// the i-th colour as bytes 0, 1, 2 (from source bytes 2, 1, 0 of a pixel:
// red, green, blue for ARGB sources); a fourth byte is left as it was. Then
// builds the search index. Returns TRUE on success; FALSE, with the palette
// untouched, when dst has not 256 entries of 3 or 4 bytes and a colour map,
// when src has no image or is not 24 or 32 bits per pixel, or when its work
// buffer (width x height x 3 bytes) cannot be held.
CKBOOL QxQuantizeImage(const QxImageDesc& src, const QxImageDesc& dst);

// The palette index (in the order written) of the colour nearest to the given
// components (0..255, in palette byte order 0, 1, 2). Before any palette was
// learnt it returns 0.
int QxQuantizerSearch(int c0, int c1, int c2);

// Forgets the palette learnt last (library shut-down): the search gives 0
// again, as before any palette was learnt.
void QxResetQuantizer();

// The same search for callers that already hold the global critical section
// (the blitter's quantised-index converter, once per pixel).
int QxQuantizerSearchLocked(int c0, int c1, int c2);
