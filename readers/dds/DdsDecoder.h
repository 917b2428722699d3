#pragma once

#include <cstddef>

#include "includes/CKTypes.h"

class DecodedImage;

// Decodes the top-level image of a DDS file and converts it to the surface
// format `target`, one that DdsReadFormat names: the image is described as
// that engine format, its size the file's, lines packed (bytes per line 0
// and whole blocks, partial ones included, for the compressed formats).
// False, after one log line, for a file that cannot be read or converted.
bool DdsDecode(const CKBYTE* data, size_t size, CKDWORD target, DecodedImage& image);
