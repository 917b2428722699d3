#pragma once

#include "includes/CKTypes.h"

// Logical size of an image description: 52 bytes on the 32-bit platform the
// format comes from. The Size word keeps this value; in memory the two
// pointers are native, and a description that goes to a file is written
// field by field.
constexpr CKDWORD QX_IMAGEDESC_SIZE = 52;

// Layout of one image: size, pitch, pixel masks and an optional palette.
// Neither pointer is owned.
struct QxImageDesc
{
    CKDWORD Size = QX_IMAGEDESC_SIZE;
    CKDWORD Flags = 0; // pixel-format id for formats masks cannot describe (19..39), else 0
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BytesPerLine = 0; // signed pitch from one line to the next
    int32_t BitsPerPixel = 0;
    CKDWORD RedMask = 0;
    CKDWORD GreenMask = 0;
    CKDWORD BlueMask = 0;
    CKDWORD AlphaMask = 0;         // 0 when the format has no alpha
    CKWORD BytesPerColorEntry = 0; // 0 true colour, 3 or 4 paletted
    CKWORD ColorMapEntries = 0;
    CKBYTE* ColorMap = nullptr; // entries laid out by the four masks
    CKBYTE* Image = nullptr;    // first pixel of the first line

    // Differ when Size, the dimensions, pitch, depth, masks or the two
    // colour-map words differ; Flags and the pointers are not compared.
    bool operator!=(const QxImageDesc& other) const;
    bool operator==(const QxImageDesc& other) const { return !(*this != other); }

    // Masks from BitsPerPixel: 15/16 give 555, 24 gives 888, 32 gives 8888;
    // other depths leave the masks as they are.
    void SetDefaultMasks();
};

// A 32-bit ARGB 8888 description of width x height with a packed pitch
// (width x 4) and no image.
QxImageDesc QxMakeImageDesc32(int32_t width, int32_t height);

// The description as a reader of a record of `desc.Size` bytes sees it: the
// fields that lie wholly inside the first Size logical bytes are copied, the
// rest are zero; the copy's Size is 52. A Size above 52 copies everything.
QxImageDesc QxCopyImageDescBySize(const QxImageDesc& desc);
