#pragma once

#include <cstddef>

#include "includes/CKTypes.h"

// Adler-32 of n bytes continued from previous, with zlib's definition of the
// sums: the same value as zlib's adler32(previous, bytes, n). Engine files
// are summed from 0. Vectorised where the processor allows it, since every
// save and every load sums the whole data section.
CKDWORD CKFileChecksum(CKDWORD previous, const void* bytes, size_t n);
