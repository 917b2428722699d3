#include "readers/tiff/TiffMemoryStream.h"

#include <cstdio>
#include <cstring>

#include "core/bitmap/CKBitmapReader.h"

namespace {

constexpr size_t kFirstBlockSize = 4096;
// Offsets stay below 2 GB: the engine's blocks are sized by 32-bit counts.
constexpr size_t kMaxSize = 0x7FFFFFFF;

TiffMemoryStream* StreamOf(thandle_t handle)
{
    return static_cast<TiffMemoryStream*>(handle);
}

} // namespace

TiffMemoryStream::TiffMemoryStream(const CKBYTE* data, size_t size) : m_Data(data), m_Size(data ? size : 0) {}

TiffMemoryStream::TiffMemoryStream() = default;

TiffMemoryStream::~TiffMemoryStream()
{
    CKReaderFree(m_Owned);
}

TIFF* TiffMemoryStream::Open(const char* mode, TIFFOpenOptions* options)
{
    m_Position = 0;
    return TIFFClientOpenExt("dummy", mode, this, Read, Write, Seek, Close, Size, Map, Unmap, options);
}

CKBYTE* TiffMemoryStream::TakeBlock(size_t& size)
{
    CKBYTE* block = m_Owned;
    size = block ? m_Size : 0;
    m_Owned = nullptr;
    m_Data = nullptr;
    m_Capacity = m_Size = m_Position = 0;
    return block;
}

tmsize_t TiffMemoryStream::Read(thandle_t handle, void* buffer, tmsize_t size)
{
    TiffMemoryStream* s = StreamOf(handle);
    const CKBYTE* data = s->m_Owned ? s->m_Owned : s->m_Data;
    if (size <= 0 || !data || s->m_Position >= s->m_Size)
        return 0;
    const size_t left = s->m_Size - s->m_Position;
    const size_t n = (size_t) size < left ? (size_t) size : left;
    std::memcpy(buffer, data + s->m_Position, n);
    s->m_Position += n;
    return (tmsize_t) n;
}

tmsize_t TiffMemoryStream::Write(thandle_t handle, void* buffer, tmsize_t size)
{
    TiffMemoryStream* s = StreamOf(handle);
    if (s->m_Data)
        return 0; // a stream over outside data is read-only
    if (size <= 0)
        return 0;
    if ((size_t) size > kMaxSize - s->m_Position)
        return 0;
    const size_t end = s->m_Position + (size_t) size;
    if (end > s->m_Capacity) {
        size_t capacity = s->m_Capacity ? s->m_Capacity : kFirstBlockSize;
        while (capacity < end)
            capacity *= 2;
        CKBYTE* block = static_cast<CKBYTE*>(CKReaderAllocate(capacity));
        if (!block)
            return 0;
        if (s->m_Size)
            std::memcpy(block, s->m_Owned, s->m_Size);
        // A seek past the end followed by a write leaves a gap of zeros.
        std::memset(block + s->m_Size, 0, capacity - s->m_Size);
        CKReaderFree(s->m_Owned);
        s->m_Owned = block;
        s->m_Capacity = capacity;
    }
    std::memcpy(s->m_Owned + s->m_Position, buffer, (size_t) size);
    s->m_Position = end;
    if (end > s->m_Size)
        s->m_Size = end;
    return size;
}

toff_t TiffMemoryStream::Seek(thandle_t handle, toff_t offset, int whence)
{
    TiffMemoryStream* s = StreamOf(handle);
    // libtiff passes signed offsets through an unsigned type.
    const long long delta = (long long) offset;
    long long base;
    switch (whence) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = (long long) s->m_Position; break;
    case SEEK_END: base = (long long) s->m_Size; break;
    default: return (toff_t) -1;
    }
    if (whence == SEEK_SET) {
        if (offset > kMaxSize)
            return (toff_t) -1;
        s->m_Position = (size_t) offset;
        return offset;
    }
    const long long target = base + delta;
    if (delta > (long long) kMaxSize || delta < -(long long) kMaxSize || target < 0 || target > (long long) kMaxSize)
        return (toff_t) -1;
    s->m_Position = (size_t) target;
    return (toff_t) target;
}

int TiffMemoryStream::Close(thandle_t)
{
    return 0;
}

toff_t TiffMemoryStream::Size(thandle_t handle)
{
    return (toff_t) StreamOf(handle)->m_Size;
}

int TiffMemoryStream::Map(thandle_t handle, void** base, toff_t* size)
{
    // Outside data being read is handed to libtiff as a read-only mapping,
    // as a mapped file would be, so strips are not copied; a block being
    // written is never mapped.
    TiffMemoryStream* s = StreamOf(handle);
    if (!s->m_Data || s->m_Size == 0)
        return 0;
    *base = const_cast<CKBYTE*>(s->m_Data);
    *size = (toff_t) s->m_Size;
    return 1;
}

void TiffMemoryStream::Unmap(thandle_t, void*, toff_t) {}
