#pragma once

#include <cstddef>

#include "includes/CKTypes.h"

// A block of size bytes at a multiple of alignment (a power of two), with the
// raw allocation's address stored in the pointer-sized word just before it.
// Null when alignment is not a power of two or the allocation fails.
void* QxNewAligned(size_t size, CKDWORD alignment);

// Frees a block from QxNewAligned; null is ignored.
void QxDeleteAligned(void* block);

// True when block came from QxNewAligned with this alignment (the distance
// from the raw allocation to the block, less the stored word, is below
// alignment); null passes.
CKBOOL QxCheckAlignedPointer(const void* block, CKDWORD alignment);
