#pragma once

#include <cstddef>

#include "includes/CKTypes.h"

class DecodedImage;

// Decodes the first image of a TIFF file (name) or memory block (data)
// through libtiff's RGBA interface into 32-bit pixels (bytes R, G, B, A;
// masks red 0xFF, green 0xFF00, blue 0xFF0000, alpha 0xFF000000), lines
// top-down whatever the file's orientation, as TIFFReadRGBAImageOriented
// with a top-left origin gives them. False, with a line logged, for a file
// libtiff cannot open or turn into RGBA, a size outside
// 1..CK_MAX_IMAGE_DIMENSION, a strip or tile that is not whole in the file
// (one that is but does not decode cleanly is taken as libtiff gives it), a
// large image whose strips could not describe it (ReaderDataCoverage.h), or
// a chain of image directories that loops or breaks off (libtiff decodes
// the first image of such a file; the reader takes it for damaged).
bool TiffDecode(const char* name, const CKBYTE* data, size_t size, DecodedImage& out);
