#include "core/bitmap/CKTextureBitReader.h"

#include <cstring>

#include "platform/PlatformAssert.h"

CKTextureBitReader::CKTextureBitReader(const void* data, CKDWORD size)
{
    // Bit positions are 32-bit words: keep the stream below 512 MB.
    if (!data || size == 0 || size > 0x1FFFFFFF)
        return;
    m_Bytes.Resize((int) size);
    std::memcpy(m_Bytes.Begin(), data, size);
    m_BitCount = size * 8;
}

CKDWORD CKTextureBitReader::ReadField(CKDWORD position, int n)
{
    if (!Has(position, (CKDWORD) n)) {
        m_Ok = false;
        return 0;
    }
    CKDWORD v = 0;
    for (int k = 0; k < n; ++k)
        v |= (CKDWORD) Bit(position + k) << k;
    return v;
}

CKDWORD CKTextureBitReader::ReadCode(int n)
{
    if (!PLATFORM_CHECK(n >= 0 && n < 32))
        n = 0;
    if (n == 0)
        return 0;
    if (!Has(m_Cursor, (CKDWORD) n)) {
        m_Ok = false;
        m_Cursor = m_BitCount;
        return 0;
    }
    CKDWORD v = 0;
    for (int k = 0; k < n; ++k)
        v = (v << 1) | (CKDWORD) Bit(m_Cursor + k);
    m_Cursor += n;
    return v;
}
