#pragma once

#include <cstddef>

#include "core/bitmap/CKBitmapProperties.h"
#include "core/bitmap/CKDataReader.h"
#include "includes/CKTypes.h"

class QxStream;

// Result of ReadFromStream in every reader here: not implemented.
constexpr int CK_BITMAPREADER_NOTIMPLEMENTED = 7;

// Largest width or height a reader decodes or encodes. Within it
// width x height x 4 fits in 31 bits.
constexpr int CK_MAX_IMAGE_DIMENSION = 16384;

// True when both sizes are 1..CK_MAX_IMAGE_DIMENSION.
inline bool CKIsValidImageSize(long long width, long long height)
{
    return width >= 1 && height >= 1 && width <= CK_MAX_IMAGE_DIMENSION && height <= CK_MAX_IMAGE_DIMENSION;
}

// Blocks a reader hands out (decoded pixels, SaveMemory output) come from
// CKReaderAllocate: 16-byte aligned (QxNewAligned), so a bitmap slot can
// adopt decoded pixels and free them with QxDeleteAligned. Null on failure.
void* CKReaderAllocate(size_t size);
// Frees a block of CKReaderAllocate; null is ignored.
void CKReaderFree(void* block);

class CKBitmapReader;
// A new bitmap reader from the plug-in manager for a save record's extension
// and reader GUID (release it with Release). Built-in readers are found by
// extension only, and a record may name its format otherwise than its plug-in
// does ("Tiff" for "Tif"): when the extension finds none, the plug-in of the
// GUID gives the extension. Null when neither finds a reader.
CKBitmapReader* CKFindBitmapReader(const char* extension, const CKGUID* guid);

// An image reader. A read decodes into the reader's own embedded record and
// returns a pointer to it: the pixels (and a colour map) belong to the
// reader until ReleaseMemory of the pixels, its next read or its
// destruction. A caller that adopts the pixels clears m_Data first.
class CKBitmapReader : public CKDataReader
{
public:
    // Whether saving with these properties keeps the alpha channel.
    virtual CKBOOL IsAlphaSaved(const CKBitmapProperties* properties) = 0;
    // *out = the reader's embedded default record (not a copy).
    virtual void GetBitmapDefaultProperties(CKBitmapProperties** out) = 0;
    // Copies the record into the defaults: all of it when its size word is
    // the reader's, else only the base record (the reader keeps its own size
    // word and option words). The reader keeps its own pointers (m_Data and
    // the description's colour map and image): it never takes ownership of
    // a foreign block this way. Null is ignored.
    virtual void SetBitmapDefaultProperties(const CKBitmapProperties* properties) = 0;
    // Decodes a file; 0 on success with *out = the embedded record. Failure
    // values are the reader's own (see each reader).
    virtual int ReadFile(const char* name, CKBitmapProperties** out) = 0;
    // Decodes size bytes of memory; 0 on success, as ReadFile.
    virtual int ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out) = 0;
    // 0 in every reader.
    virtual int ReservedRead(void* a, void* b)
    {
        (void) a;
        (void) b;
        return 0;
    }
    // Encodes properties->m_Data (described by m_Format) into a file; the
    // result is the reader's own (see each reader).
    virtual int SaveFile(const char* name, const CKBitmapProperties* properties) = 0;
    // Encodes into a new block (*out) and returns its size in bytes, or 0
    // (with *out null) on any failure. Free the block with ReleaseMemory.
    virtual int SaveMemory(void** out, const CKBitmapProperties* properties) = 0;
    // Frees a SaveMemory block, or the decoded pixels of the embedded record
    // (then its colour map too, and both pointers are cleared). Null is
    // ignored.
    virtual void ReleaseMemory(void* memory) = 0;
    // Not implemented by the readers here.
    virtual int ReadFromStream(QxStream* stream, CKBitmapProperties** out)
    {
        (void) stream;
        (void) out;
        return CK_BITMAPREADER_NOTIMPLEMENTED;
    }
};
