#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bitmap/CKBitmapProperties.h"
#include "core/bitmap/CKBitmapReader.h"

// Reads one fuzz input from memory with the reader. A non-zero resaveDepth
// also sends a decoded image, whatever its layout, back through the writer
// with that depth in word 0 (small ones only: the decoder is what is
// fuzzed).
inline void FuzzReadMemory(CKBitmapReader& reader, const uint8_t* data, size_t size, CKDWORD resaveDepth = 0)
{
    CKBitmapProperties* properties = nullptr;
    const int result = reader.ReadMemory(data, (CKDWORD) size, &properties);
    if (resaveDepth == 0)
        return;
    if (result == 0 && properties && properties->m_Format.Width * properties->m_Format.Height <= (1 << 16)) {
        CKBitmapProperties out = *properties;
        out.m_Words[0] = resaveDepth;
        void* block = nullptr;
        if (reader.SaveMemory(&block, &out) > 0)
            reader.ReleaseMemory(block);
    }
}
