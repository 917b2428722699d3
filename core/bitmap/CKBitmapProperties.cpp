#include "core/bitmap/CKBitmapProperties.h"

#include <cstring>

#include "includes/CKByteOrder.h"
#include "platform/PlatformAssert.h"

int CKBitmapProperties::GetWordCount() const
{
    if (m_Size < CK_BITMAPPROPERTIES_BASESIZE || (m_Size - CK_BITMAPPROPERTIES_BASESIZE) % 4 != 0)
        return 0;
    const CKDWORD n = (m_Size - CK_BITMAPPROPERTIES_BASESIZE) / 4;
    return n > (CKDWORD) CK_BITMAPPROPERTIES_MAXWORDS ? CK_BITMAPPROPERTIES_MAXWORDS : (int) n;
}

float CKBitmapProperties::GetFloatWord(int index) const
{
    if (!PLATFORM_CHECK(index >= 0 && index < CK_BITMAPPROPERTIES_MAXWORDS))
        return 0.0f;
    float f;
    std::memcpy(&f, &m_Words[index], 4);
    return f;
}

void CKBitmapProperties::SetFloatWord(int index, float value)
{
    if (!PLATFORM_CHECK(index >= 0 && index < CK_BITMAPPROPERTIES_MAXWORDS))
        return;
    std::memcpy(&m_Words[index], &value, 4);
}

CKBitmapProperties* CKCopyBitmapProperties(const CKBitmapProperties* properties)
{
    if (!properties || properties->m_Size < 1 || properties->m_Size > 255)
        return nullptr;
    return new CKBitmapProperties(*properties);
}

void CKDeleteBitmapProperties(CKBitmapProperties* properties)
{
    delete properties;
}

static bool IsWireSize(CKDWORD size)
{
    return size >= CK_BITMAPPROPERTIES_BASESIZE && size <= CK_BITMAPPROPERTIES_MAXSIZE &&
           (size - CK_BITMAPPROPERTIES_BASESIZE) % 4 == 0;
}

CKDWORD CKWriteBitmapProperties(const CKBitmapProperties& p, void* out, CKDWORD outSize)
{
    if (!IsWireSize(p.m_Size) || !out || outSize < p.m_Size)
        return 0;
    CKBYTE* b = static_cast<CKBYTE*>(out);
    StoreLE32(b + 0, p.m_Size);
    StoreLE32(b + 4, p.m_ReaderGuid.d1);
    StoreLE32(b + 8, p.m_ReaderGuid.d2);
    std::memcpy(b + 12, p.m_ShortExt.m_Data, 4);
    const QxImageDesc& f = p.m_Format;
    CKBYTE* d = b + 16;
    StoreLE32(d + 0, f.Size);
    StoreLE32(d + 4, f.Flags);
    StoreLE32(d + 8, (CKDWORD) f.Width);
    StoreLE32(d + 12, (CKDWORD) f.Height);
    StoreLE32(d + 16, (CKDWORD) f.BytesPerLine);
    StoreLE32(d + 20, (CKDWORD) f.BitsPerPixel);
    StoreLE32(d + 24, f.RedMask);
    StoreLE32(d + 28, f.GreenMask);
    StoreLE32(d + 32, f.BlueMask);
    StoreLE32(d + 36, f.AlphaMask);
    StoreLE16(d + 40, f.BytesPerColorEntry);
    StoreLE16(d + 42, f.ColorMapEntries);
    StoreLE32(d + 44, 0); // colour-map pointer
    StoreLE32(d + 48, 0); // image pointer
    StoreLE32(b + 68, 0); // pixel pointer
    std::memcpy(b + 72, p.m_Ext.m_Data, 68);
    const int words = (int) (p.m_Size - CK_BITMAPPROPERTIES_BASESIZE) / 4;
    for (int i = 0; i < words; ++i)
        StoreLE32(b + CK_BITMAPPROPERTIES_BASESIZE + 4 * i, p.m_Words[i]);
    return p.m_Size;
}

bool CKReadBitmapProperties(const void* data, CKDWORD size, CKBitmapProperties& out)
{
    if (!data || size < CK_BITMAPPROPERTIES_BASESIZE)
        return false;
    const CKBYTE* b = static_cast<const CKBYTE*>(data);
    const CKDWORD recordSize = LoadLE32(b);
    if (!IsWireSize(recordSize) || recordSize > size)
        return false;
    CKBitmapProperties p;
    p.m_Size = recordSize;
    p.m_ReaderGuid = CKGUID(LoadLE32(b + 4), LoadLE32(b + 8));
    std::memcpy(p.m_ShortExt.m_Data, b + 12, 4);
    p.m_ShortExt.m_Data[3] = 0;
    const CKBYTE* d = b + 16;
    QxImageDesc& f = p.m_Format;
    f.Size = LoadLE32(d + 0);
    f.Flags = LoadLE32(d + 4);
    f.Width = (int32_t) LoadLE32(d + 8);
    f.Height = (int32_t) LoadLE32(d + 12);
    f.BytesPerLine = (int32_t) LoadLE32(d + 16);
    f.BitsPerPixel = (int32_t) LoadLE32(d + 20);
    f.RedMask = LoadLE32(d + 24);
    f.GreenMask = LoadLE32(d + 28);
    f.BlueMask = LoadLE32(d + 32);
    f.AlphaMask = LoadLE32(d + 36);
    f.BytesPerColorEntry = LoadLE16(d + 40);
    f.ColorMapEntries = LoadLE16(d + 42);
    std::memcpy(p.m_Ext.m_Data, b + 72, 68);
    p.m_Ext.m_Data[67] = 0;
    const int words = (int) (recordSize - CK_BITMAPPROPERTIES_BASESIZE) / 4;
    for (int i = 0; i < words; ++i)
        p.m_Words[i] = LoadLE32(b + CK_BITMAPPROPERTIES_BASESIZE + 4 * i);
    out = p;
    return true;
}
