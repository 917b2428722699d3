#pragma once

#include "includes/CKTypes.h"

// A strided array: the first element and the distance in bytes between
// consecutive elements. A source record's elements are only read.
struct QxStridedData
{
    void* Ptr;
    CKDWORD Stride;

    constexpr QxStridedData() : Ptr(nullptr), Stride(0) {}
    constexpr QxStridedData(const void* ptr, CKDWORD stride) : Ptr(const_cast<void*>(ptr)), Stride(stride) {}
};

// Element sizes are in bytes. Elements are copied word by word (sizes are
// multiples of 4), each element read whole before it is written, so an
// element may overlap its own destination. Pointers need no alignment.

// Writes element into count places of destination. Returns FALSE, writing
// nothing, when element or destination is null, count <= 0, elementSize or
// destinationStride is 0, or elementSize is not a multiple of 4.
CKBOOL QxFillStructure(int count, void* destination, CKDWORD destinationStride, CKDWORD elementSize,
                       const void* element);

// Copies count elements between strided arrays. Refused (FALSE) as
// QxFillStructure, and also for a null source or a zero sourceStride.
CKBOOL QxCopyStructure(int count, void* destination, CKDWORD destinationStride, CKDWORD elementSize, const void* source,
                       CKDWORD sourceStride);

// Destination element k = source element indices[k], k = 0 .. count - 1.
// Refused (FALSE) when elementSize is not a multiple of 4, or (reported as a
// broken contract) when a pointer is null while count > 0. count <= 0 does
// nothing and returns TRUE. Indices are not range-checked: they must address
// source elements that exist.
CKBOOL QxIndexedCopy(const QxStridedData& destination, const QxStridedData& source, CKDWORD elementSize,
                     const CKDWORD* indices, int count);

// QxFillStructure and QxCopyStructure with their strided arrays given as records.
CKBOOL QxFillStridedData(int count, const QxStridedData& destination, CKDWORD elementSize, const void* element);
CKBOOL QxCopyStridedData(int count, const QxStridedData& destination, CKDWORD elementSize, const QxStridedData& source);

// Index buffer conversions: keep the low 16 bits of each 32-bit word, or widen
// 16-bit values with zeros. count <= 0 does nothing.
void QxCopyDwordsToWords(CKWORD* destination, const CKDWORD* source, int count);
void QxCopyWordsToDwords(CKDWORD* destination, const CKWORD* source, int count);
