#pragma once

#include "core/CKBitmapProperties.h"
#include "core/CKBitmapReader.h"

class DecodedImage;

// What every image reader here shares: the embedded default record that a
// read fills, its ownership of the decoded pixels (and colour map), and the
// rule by which given properties go over the defaults.
class ImageReaderBase : public CKBitmapReader
{
public:
    explicit ImageReaderBase(const CKBitmapProperties& defaults);
    ~ImageReaderBase() override;
    ImageReaderBase(const ImageReaderBase&) = delete;
    ImageReaderBase& operator=(const ImageReaderBase&) = delete;

    void Release() override { delete this; }
    void GetBitmapDefaultProperties(CKBitmapProperties** out) override;
    void SetBitmapDefaultProperties(const CKBitmapProperties* properties) override;
    void ReleaseMemory(void* memory) override;

protected:
    // Frees the decoded pixels and colour map of the embedded record and
    // clears its pointers.
    void FreeDecoded();
    // Frees the previous image and makes the decoded one the record's.
    void AdoptDecoded(DecodedImage& image);

    // The record a save works with: the given one when its size word is the
    // reader's, else its base record with the reader's own words.
    CKBitmapProperties MergeOverDefaults(const CKBitmapProperties& given) const;
    // The pixels to save: m_Data, else the description's image pointer.
    static const void* SavePixels(const CKBitmapProperties& p) { return p.m_Data ? p.m_Data : p.m_Format.Image; }

    CKBitmapProperties m_Properties;
};
