#pragma once

#include <cstddef>
#include <cstdint>

#include "includes/CKTypes.h"

// Adler-32 of n bytes continued from previous, with zlib's definition of the
// sums: the same value as zlib's adler32(previous, bytes, n). Engine files
// are summed from 0. Vectorised where the processor allows it, since every
// save and every load sums the whole data section.
CKDWORD CKFileChecksum(CKDWORD previous, const void* bytes, size_t n);
// The checksum of two runs laid end to end, from the checksum of the first
// (continued from the caller's start) and that of the second summed from 0,
// secondLength bytes long: CKFileChecksum(s, AB) from CKFileChecksum(s, A)
// and CKFileChecksum(0, B). Both values must be reduced (as every checksum
// computed here is).
CKDWORD CKFileChecksumCombine(CKDWORD first, CKDWORD second, uint64_t secondLength);
