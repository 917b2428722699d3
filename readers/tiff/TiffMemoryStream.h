#pragma once

#include <cstddef>

#include <tiffio.h>

#include "includes/CKTypes.h"

// A block of memory that libtiff reads or writes through client callbacks
// (TIFFClientOpen). Reads stop at the end of the data; seeks to a negative
// position fail; writes grow an owned block geometrically. A block being
// read is also offered to libtiff as its mapping (never written through).
class TiffMemoryStream
{
public:
    // Reading over a block the caller keeps alive.
    TiffMemoryStream(const CKBYTE* data, size_t size);
    // Writing into a new, empty block.
    TiffMemoryStream();
    ~TiffMemoryStream();
    TiffMemoryStream(const TiffMemoryStream&) = delete;
    TiffMemoryStream& operator=(const TiffMemoryStream&) = delete;

    // Opens libtiff on the stream under the name "dummy" with mode "r" or
    // "w"; null on failure.
    TIFF* Open(const char* mode, TIFFOpenOptions* options);

    // The bytes written: exactly the extent reached. Hands the block over
    // (free it with CKReaderFree); the stream forgets it.
    CKBYTE* TakeBlock(size_t& size);
    size_t GetSize() const { return m_Size; }

    static tmsize_t Read(thandle_t handle, void* buffer, tmsize_t size);
    static tmsize_t Write(thandle_t handle, void* buffer, tmsize_t size);
    static toff_t Seek(thandle_t handle, toff_t offset, int whence);
    static int Close(thandle_t handle);
    static toff_t Size(thandle_t handle);
    static int Map(thandle_t handle, void** base, toff_t* size);
    static void Unmap(thandle_t handle, void* base, toff_t size);

private:
    const CKBYTE* m_Data = nullptr;
    CKBYTE* m_Owned = nullptr;
    size_t m_Capacity = 0;
    size_t m_Size = 0;
    size_t m_Position = 0;
};
