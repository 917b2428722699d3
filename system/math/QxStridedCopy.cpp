#include "system/math/QxStridedCopy.h"

#include <cstring>

#include "platform/PlatformAssert.h"

namespace {

using Byte = unsigned char;

// Copies one element of N words through locals: the whole element is read
// before any of it is written, and the compiler keeps the words in registers.
template <int N>
inline void CopyElement(Byte* destination, const Byte* source)
{
    CKDWORD words[N];
    std::memcpy(words, source, sizeof(words));
    std::memcpy(destination, words, sizeof(words));
}

template <int N>
void FillLoop(int count, Byte* destination, CKDWORD stride, const void* element)
{
    CKDWORD words[N];
    std::memcpy(words, element, sizeof(words));
    for (int i = 0; i < count; ++i, destination += stride)
        std::memcpy(destination, words, sizeof(words));
}

template <int N>
void CopyLoop(int count, Byte* destination, CKDWORD destinationStride, const Byte* source, CKDWORD sourceStride)
{
    for (int i = 0; i < count; ++i, destination += destinationStride, source += sourceStride)
        CopyElement<N>(destination, source);
}

void CopyWords(Byte* destination, const Byte* source, CKDWORD words)
{
    for (CKDWORD w = 0; w < words; ++w) {
        CKDWORD word;
        std::memcpy(&word, source + 4 * w, 4);
        std::memcpy(destination + 4 * w, &word, 4);
    }
}

template <int N>
void IndexedLoop(int count, Byte* destination, CKDWORD destinationStride, const Byte* source, CKDWORD sourceStride,
                 const CKDWORD* indices)
{
    for (int i = 0; i < count; ++i, destination += destinationStride)
        CopyElement<N>(destination, source + static_cast<size_t>(indices[i]) * sourceStride);
}

// Copies count elements, each converted to the destination type (a 32-bit
// value keeps its low 16 bits).
template <class D, class S>
void CopyConverted(D* destination, const S* source, int count)
{
    if (count <= 0)
        return;
    if (!PLATFORM_CHECK(destination && source))
        return;
    for (int i = 0; i < count; ++i)
        destination[i] = static_cast<D>(source[i]);
}

} // namespace

CKBOOL QxFillStructure(int count, void* destination, CKDWORD destinationStride, CKDWORD elementSize,
                       const void* element)
{
    if (!element || !destination || count <= 0 || elementSize == 0 || destinationStride == 0 || (elementSize & 3))
        return FALSE;
    Byte* d = static_cast<Byte*>(destination);
    switch (elementSize) {
    case 4: FillLoop<1>(count, d, destinationStride, element); break;
    case 8: FillLoop<2>(count, d, destinationStride, element); break;
    case 12: FillLoop<3>(count, d, destinationStride, element); break;
    case 16: FillLoop<4>(count, d, destinationStride, element); break;
    default:
        for (int i = 0; i < count; ++i, d += destinationStride)
            CopyWords(d, static_cast<const Byte*>(element), elementSize / 4);
        break;
    }
    return TRUE;
}

CKBOOL QxCopyStructure(int count, void* destination, CKDWORD destinationStride, CKDWORD elementSize, const void* source,
                       CKDWORD sourceStride)
{
    if (!source || !destination || count <= 0 || elementSize == 0 || destinationStride == 0 || sourceStride == 0 ||
        (elementSize & 3))
        return FALSE;
    Byte* d = static_cast<Byte*>(destination);
    const Byte* s = static_cast<const Byte*>(source);
    switch (elementSize) {
    case 4: CopyLoop<1>(count, d, destinationStride, s, sourceStride); break;
    case 8: CopyLoop<2>(count, d, destinationStride, s, sourceStride); break;
    case 12: CopyLoop<3>(count, d, destinationStride, s, sourceStride); break;
    case 16: CopyLoop<4>(count, d, destinationStride, s, sourceStride); break;
    default:
        for (int i = 0; i < count; ++i, d += destinationStride, s += sourceStride)
            CopyWords(d, s, elementSize / 4);
        break;
    }
    return TRUE;
}

CKBOOL QxIndexedCopy(const QxStridedData& destination, const QxStridedData& source, CKDWORD elementSize,
                     const CKDWORD* indices, int count)
{
    if (elementSize & 3)
        return FALSE;
    if (count <= 0)
        return TRUE;
    if (!PLATFORM_CHECK(destination.Ptr && source.Ptr && indices))
        return FALSE;
    Byte* d = static_cast<Byte*>(destination.Ptr);
    const Byte* s = static_cast<const Byte*>(source.Ptr);
    const CKDWORD ds = destination.Stride;
    const CKDWORD ss = source.Stride;
    switch (elementSize) {
    case 0: break;
    case 4: IndexedLoop<1>(count, d, ds, s, ss, indices); break;
    case 8: IndexedLoop<2>(count, d, ds, s, ss, indices); break;
    case 12: IndexedLoop<3>(count, d, ds, s, ss, indices); break;
    case 16: IndexedLoop<4>(count, d, ds, s, ss, indices); break;
    case 20: IndexedLoop<5>(count, d, ds, s, ss, indices); break;
    case 24: IndexedLoop<6>(count, d, ds, s, ss, indices); break;
    default:
        for (int i = 0; i < count; ++i, d += ds)
            CopyWords(d, s + static_cast<size_t>(indices[i]) * ss, elementSize / 4);
        break;
    }
    return TRUE;
}

CKBOOL QxFillStridedData(int count, const QxStridedData& destination, CKDWORD elementSize, const void* element)
{
    return QxFillStructure(count, destination.Ptr, destination.Stride, elementSize, element);
}

CKBOOL QxCopyStridedData(int count, const QxStridedData& destination, CKDWORD elementSize, const QxStridedData& source)
{
    return QxCopyStructure(count, destination.Ptr, destination.Stride, elementSize, source.Ptr, source.Stride);
}

void QxCopyDwordsToWords(CKWORD* destination, const CKDWORD* source, int count)
{
    CopyConverted(destination, source, count);
}

void QxCopyWordsToDwords(CKDWORD* destination, const CKWORD* source, int count)
{
    CopyConverted(destination, source, count);
}
