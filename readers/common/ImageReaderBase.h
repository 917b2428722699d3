#pragma once

#include "core/bitmap/CKBitmapProperties.h"
#include "core/bitmap/CKBitmapReader.h"

class DecodedImage;

// What every image reader here shares: the embedded default record that a
// read fills, its ownership of the decoded pixels (and colour map), the rule
// by which given properties go over the defaults, and the glue from an
// encoder to SaveMemory and SaveFile.
class ImageReaderBase : public CKBitmapReader
{
public:
    explicit ImageReaderBase(const CKBitmapProperties& defaults);
    ~ImageReaderBase() override;
    ImageReaderBase(const ImageReaderBase&) = delete;
    ImageReaderBase& operator=(const ImageReaderBase&) = delete;

    void Release() override { delete this; }
    // Loads and saves, from and to files and memory; a reader that only
    // reads says so itself.
    CKDWORD GetFlags() override
    {
        return CK_DATAREADER_FILELOAD | CK_DATAREADER_FILESAVE | CK_DATAREADER_MEMORYLOAD | CK_DATAREADER_MEMORYSAVE;
    }
    void GetBitmapDefaultProperties(CKBitmapProperties** out) override;
    void SetBitmapDefaultProperties(const CKBitmapProperties* properties) override;
    void ReleaseMemory(void* memory) override;
    // The properties over the defaults, encoded by EncodeImage into a new
    // block. Its size; 0 (with *out null) for null arguments or an image
    // that cannot be saved.
    int SaveMemory(void** out, const CKBitmapProperties* properties) override;

protected:
    // Encodes the image of p (already merged over the defaults) into a new
    // block from CKReaderAllocate: its size, 0 when it cannot be saved. The
    // default saves nothing, for readers that only read.
    virtual int EncodeImage(const CKBitmapProperties& p, CKBYTE** block);

    // Frees the decoded pixels and colour map of the embedded record and
    // clears its pointers.
    void FreeDecoded();
    // Frees the previous image and makes the decoded one the record's.
    void AdoptDecoded(DecodedImage& image);

    // The record a save works with: the given one when its size word is the
    // reader's, else its base record with the reader's own words.
    CKBitmapProperties MergeOverDefaults(const CKBitmapProperties& given) const;
    // A default record of the given size, reader and extension, its words
    // zero.
    static CKBitmapProperties MakeDefaults(CKDWORD size, CKGUID readerGuid, const char* extension);
    // The pixels to save: m_Data, else the description's image pointer.
    static const void* SavePixels(const CKBitmapProperties& p) { return p.m_Data ? p.m_Data : p.m_Format.Image; }

    // Writes size bytes of block (which it frees) as the file name, see
    // ReaderWriteWholeFile. False when it could not be written.
    static bool WriteBlock(const char* name, CKBYTE* block, int size);
    // Saves through SaveMemory and WriteBlock; name is not null. The size
    // written; 0 when nothing could be encoded; -1 when the file could not
    // be written (the caller logs it in its own words).
    int SaveFileThroughMemory(const char* name, const CKBitmapProperties* properties);

    CKBitmapProperties m_Properties;
};
