#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"

// The bit stream of a DCT-coded plane: bit n is bit (n mod 8) of byte n / 8.
// Every read is checked against the end: a read past it returns 0 and makes
// the reader fail for good, so a decoder can test Ok() once per block.
class CKTextureBitReader
{
public:
    // Keeps a private copy of the bytes; null or 0 gives an empty stream.
    CKTextureBitReader(const void* data, CKDWORD size);

    // Fixed fields: bit k of the value is stream bit position + k.
    CKDWORD ReadField8(CKDWORD position) { return ReadField(position, 8); }
    CKDWORD ReadField32(CKDWORD position) { return ReadField(position, 32); }

    // n bits (0..31) at the cursor, the first bit the most significant; the
    // cursor advances by n. n = 0 gives 0.
    CKDWORD ReadCode(int n);

    void SetCursor(CKDWORD position) { m_Cursor = position; }
    CKDWORD GetCursor() const { return m_Cursor; }
    CKDWORD GetBitCount() const { return m_BitCount; }
    bool Ok() const { return m_Ok; }

private:
    // A fixed field of n bits (up to 32).
    CKDWORD ReadField(CKDWORD position, int n);
    int Bit(CKDWORD position) const { return (m_Bytes.Begin()[position >> 3] >> (position & 7)) & 1; }
    bool Has(CKDWORD position, CKDWORD n) const { return position <= m_BitCount && n <= m_BitCount - position; }

    XArray<CKBYTE> m_Bytes;
    CKDWORD m_BitCount = 0;
    CKDWORD m_Cursor = 0;
    bool m_Ok = true;
};
