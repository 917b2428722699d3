#pragma once

#include "core/file/CKFileExtension.h"
#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// Logical size of the base record in files and in the size word: size,
// reader GUID, short extension, 52-byte image description, pixel pointer,
// 68-character extension (all on the 32-bit platform the format comes from).
constexpr CKDWORD CK_BITMAPPROPERTIES_BASESIZE = 140;
// A sized record holds at most 255 bytes, so at most 28 reader words.
constexpr int CK_BITMAPPROPERTIES_MAXWORDS = 28;
constexpr CKDWORD CK_BITMAPPROPERTIES_MAXSIZE = CK_BITMAPPROPERTIES_BASESIZE + 4 * CK_BITMAPPROPERTIES_MAXWORDS;
static_assert(CK_BITMAPPROPERTIES_BASESIZE == 4 + 8 + 4 + QX_IMAGEDESC_SIZE + 4 + 68);
static_assert(CK_BITMAPPROPERTIES_MAXSIZE <= 255);

// A bitmap's save options and a reader's decoded image. A reader appends its
// own 32-bit option words after the base record; m_Size (140 + 4 x words)
// tells whose record it is: 144 BMP, TIFF, DDS; 148 TGA, PCX; 152 JPEG;
// 160 PNG. In memory every record has room for the most words, so records
// are copied by assignment; in files they are written with their logical
// layout by CKWriteBitmapProperties.
struct CKBitmapProperties
{
    CKDWORD m_Size = CK_BITMAPPROPERTIES_BASESIZE;
    CKGUID m_ReaderGuid;
    CKShortFileExtension m_ShortExt; // unused by the readers (zero)
    QxImageDesc m_Format;
    void* m_Data = nullptr;                             // pixels of a decoded image, or the pixels to save
    CKFileExtension m_Ext;                              // extension of the format, without the dot
    CKDWORD m_Words[CK_BITMAPPROPERTIES_MAXWORDS] = {}; // the reader's own words

    // Number of reader words the size word announces (0 for a size that is
    // below the base size or not a whole number of words past it, capped at
    // the most a record holds).
    int GetWordCount() const;

    // A reader word read or written as a 32-bit float (the JPEG quality).
    float GetFloatWord(int index) const;
    void SetFloatWord(int index, float value);
};

// A copy of the record on the heap (its pointers copied as they are); null
// for a null record or a size word outside 1..255. Free it with
// CKDeleteBitmapProperties.
CKBitmapProperties* CKCopyBitmapProperties(const CKBitmapProperties* properties);
void CKDeleteBitmapProperties(CKBitmapProperties* properties);

// Writes the record as the m_Size bytes of its 32-bit layout (pointers as 0)
// into out. Returns m_Size, or 0 when the size word is not 140 + 4 x n with n
// at most CK_BITMAPPROPERTIES_MAXWORDS or out holds fewer than m_Size bytes.
CKDWORD CKWriteBitmapProperties(const CKBitmapProperties& properties, void* out, CKDWORD outSize);

// Reads a record of the 32-bit layout; its size word must be 140 + 4 x n
// (n at most CK_BITMAPPROPERTIES_MAXWORDS) and no larger than size. Pointers
// come back null; extensions are zero-terminated whatever the bytes hold.
// False, with out untouched, on any mismatch.
bool CKReadBitmapProperties(const void* data, CKDWORD size, CKBitmapProperties& out);
