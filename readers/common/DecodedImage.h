#pragma once

#include <cstddef>

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// An image a decoder produced: its description and the blocks (from
// CKReaderAllocate) it owns until Take hands them over.
class DecodedImage
{
public:
    DecodedImage() = default;
    ~DecodedImage();
    DecodedImage(const DecodedImage&) = delete;
    DecodedImage& operator=(const DecodedImage&) = delete;

    // A block of size bytes for the pixels (zeroed when asked); the
    // description's Image points at it. False when it cannot be had.
    bool AllocatePixels(size_t size, bool zero);
    // A zeroed colour map of size bytes; the description's ColorMap points
    // at it.
    bool AllocateColorMap(size_t size);

    QxImageDesc& Desc() { return m_Desc; }
    CKBYTE* Pixels() { return m_Pixels; }
    CKBYTE* ColorMap() { return m_ColorMap; }

    // Hands the blocks over (the caller frees them with CKReaderFree) and
    // forgets them.
    void Take(QxImageDesc& desc, void*& pixels);

private:
    QxImageDesc m_Desc;
    CKBYTE* m_Pixels = nullptr;
    CKBYTE* m_ColorMap = nullptr;
};
