#pragma once

#include <cstddef>

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// The image an encoder is given, seen as lines of 24-bit (B, G, R) or
// 32-bit (B, G, R, A) pixels. An image already in one of those layouts is
// used in place; any other is converted with QxDoBlit into a 32-bit ARGB
// copy owned by this object (opaque when the source has no alpha).
class ReaderSourceImage
{
public:
    ReaderSourceImage() = default;
    ~ReaderSourceImage();
    ReaderSourceImage(const ReaderSourceImage&) = delete;
    ReaderSourceImage& operator=(const ReaderSourceImage&) = delete;

    // desc describes the pixels at data (desc.Image is ignored). With
    // needAlpha a 24-bit image, or a 32-bit one without alpha mask, is
    // converted too, so that byte 3 of every pixel is its alpha. False for
    // a null pointer, a size outside 1..CK_MAX_IMAGE_DIMENSION, a pitch
    // shorter than a line, or a format the blitter cannot convert.
    bool Prepare(const QxImageDesc& desc, const void* data, bool needAlpha);

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    // 3 or 4.
    int BytesPerPixel() const { return m_BytesPerPixel; }
    // True when byte 3 of a 32-bit pixel is alpha.
    bool HasAlpha() const { return m_HasAlpha; }
    const CKBYTE* Line(int y) const { return m_Pixels + (ptrdiff_t) y * m_Pitch; }
    // The prepared image as a description (24 or 32 bits, colour masks
    // 0xFF0000, 0xFF00, 0xFF; alpha 0xFF000000 when HasAlpha).
    QxImageDesc Describe() const;

private:
    const CKBYTE* m_Pixels = nullptr;
    CKBYTE* m_Owned = nullptr;
    int m_Width = 0;
    int m_Height = 0;
    int m_Pitch = 0;
    int m_BytesPerPixel = 0;
    bool m_HasAlpha = false;
};
