#include "core/bitmap/CKConvertBitmapProperties.h"

#include <cstring>

#include "core/context/CKStartUp.h"
#include "includes/CKByteOrder.h"
#include "system/log/QxLogManager.h"

namespace {

bool Refuse(CKDWORD recordSize, CKDWORD size)
{
    QxGetLogManager()
        ->SetContext(CKGetLogSourceId(), QXLOG_ERROR, __LINE__, "CKConvertBitmapProperties")
        ->Log("An older save-format record of %u bytes in a buffer of %u bytes cannot be read", recordSize, size);
    return false;
}

} // namespace

bool CKConvertBitmapProperties(const void* data, CKDWORD size, CKBitmapProperties& out)
{
    if (!data || size < 4)
        return Refuse(0, size);
    const CKBYTE* b = static_cast<const CKBYTE*>(data);
    const CKDWORD recordSize = LoadLE32(b);
    if (recordSize < CK_BITMAPPROPERTIES_OLDSIZE || recordSize > size)
        return Refuse(recordSize, size);
    const bool withDesc = recordSize >= CK_BITMAPPROPERTIES_OLDDESCSIZE;
    const CKDWORD layout = withDesc ? CK_BITMAPPROPERTIES_OLDDESCSIZE : CK_BITMAPPROPERTIES_OLDSIZE;
    const CKDWORD tail = size - layout;
    if (tail % 4 != 0 || tail / 4 > (CKDWORD) CK_BITMAPPROPERTIES_MAXWORDS)
        return Refuse(recordSize, size);

    CKBitmapProperties p;
    p.m_Size = CK_BITMAPPROPERTIES_BASESIZE + tail;
    p.m_ReaderGuid = CKGUID(LoadLE32(b + 4), LoadLE32(b + 8));
    std::memcpy(p.m_ShortExt.m_Data, b + 12, 4);
    p.m_ShortExt.m_Data[3] = 0;
    // The 68-character extension from the 4 characters of the old one.
    for (int i = 0; i < 4 && b[12 + i]; ++i)
        p.m_Ext.m_Data[i] = (char) b[12 + i];
    QxImageDesc& f = p.m_Format;
    const CKBYTE* d = b + 16;
    if (withDesc) {
        f.Size = LoadLE32(d + 0);
        f.Flags = LoadLE32(d + 4);
        d += 8;
    } else {
        f.Size = QX_IMAGEDESC_SIZE;
        f.Flags = 0;
    }
    f.Width = (int32_t) LoadLE32(d + 0);
    f.Height = (int32_t) LoadLE32(d + 4);
    f.BytesPerLine = (int32_t) LoadLE32(d + 8);
    f.BitsPerPixel = (int32_t) LoadLE32(d + 12);
    f.RedMask = LoadLE32(d + 16);
    f.GreenMask = LoadLE32(d + 20);
    f.BlueMask = LoadLE32(d + 24);
    f.AlphaMask = LoadLE32(d + 28);
    if (withDesc) {
        f.BytesPerColorEntry = LoadLE16(d + 32);
        f.ColorMapEntries = LoadLE16(d + 34);
    }
    const CKBYTE* words = b + layout;
    for (CKDWORD i = 0; i < tail / 4; ++i)
        p.m_Words[i] = LoadLE32(words + 4 * i);
    out = p;
    return true;
}
