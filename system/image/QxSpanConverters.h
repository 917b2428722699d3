#pragma once

#include <bit>
#include <cstddef>
#include <cstring>

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// What every span converter is handed for one line. The blitter fills the
// per-blit fields once and changes only the line pointers and the width.
struct QxBlitLine
{
    const CKBYTE* Src = nullptr;
    CKBYTE* Dst = nullptr;
    int Width = 0; // pixels in this line

    QxImageDesc SrcDesc;
    QxImageDesc DstDesc;

    // Per channel (red, green, blue, alpha): the source bits of the channel
    // (0 when the source lacks it), the shifts that align its top with the
    // destination's, and the destination bits.
    CKDWORD SrcMasks[4] = {};
    CKDWORD RightShift[4] = {};
    CKDWORD LeftShift[4] = {};
    CKDWORD DstMasks[4] = {};
    CKDWORD DstLowBit[4] = {};
    CKDWORD OpaqueAlpha = 0; // destination alpha bits set when the source has no alpha
    // Alpha widened (1, 2 or 4 bits to 8, say): shifts that copy its bits
    // down over the new low bits, so that full alpha stays full (0 where
    // nothing is to be copied).
    CKDWORD AlphaFill[5] = {};

    CKDWORD AlphaValue = 0; // alpha setters: the value already in place
    CKDWORD AlphaMaskComplement = 0;
    CKDWORD AlphaRightShift = 0; // alpha-map copier: moves a byte into the mask
    CKDWORD AlphaLeftShift = 0;
    const CKBYTE* AlphaMap = nullptr;

    int SrcBytesPerPixel = 0;
    int DstBytesPerPixel = 0;
    int SrcFormat = 0;
    int DstFormat = 0;

    // Paletted sources: every entry already converted to the destination.
    const CKDWORD* Palette = nullptr;
    int PaletteEntries = 0;
};

using QxSpanConverter = void (*)(const QxBlitLine& line);

// Fills the converter tables once; safe to call again and from any thread.
void QxBuildSpanConverterTables();

// Layout table: row by source, column by destination (see QxLayoutIndex).
// Null when the pair has no converter.
QxSpanConverter QxGetLayoutConverter(int row, int column);

// Format-pair table for ids 1..18; null when the pair has no dedicated loop.
QxSpanConverter QxGetFormatPairConverter(int srcFormat, int dstFormat);

// Copies Width pixels of SrcBytesPerPixel bytes unchanged.
void QxCopySpan(const QxBlitLine& line);

// Alpha setter and alpha-map copier for a pixel size; null for sizes without
// one (3 bytes and anything above 4).
QxSpanConverter QxGetAlphaSetter(int bytesPerPixel);
QxSpanConverter QxGetAlphaMapCopier(int bytesPerPixel);

// Row or column of the layout table for a description: 0..3 for true colour
// of 1..4 bytes per pixel; for paletted ones (3- or 4-byte entries, even and
// odd) 4/5 for 1-bit indices, 6/7 for 4-bit, 8/9 for 8-bit, 10/11 for other
// depths up to 32 bits. -1 when the description fits none.
int QxLayoutIndex(const QxImageDesc& desc);

// The general rule for one pixel value (used for palette entries too).
// The alpha bits a (already moved into the destination's mask) with their
// copies below them, cut by the mask.
inline CKDWORD QxFillAlpha(CKDWORD a, const CKDWORD* fill, CKDWORD mask)
{
    a |= a >> fill[0];
    a |= a >> fill[1];
    a |= a >> fill[2];
    a |= a >> fill[3];
    a |= a >> fill[4];
    return a & mask;
}

inline CKDWORD QxConvertPixel(const QxBlitLine& l, CKDWORD p)
{
    return l.OpaqueAlpha | ((((p & l.SrcMasks[0]) >> l.RightShift[0]) << l.LeftShift[0]) & l.DstMasks[0]) |
           ((((p & l.SrcMasks[1]) >> l.RightShift[1]) << l.LeftShift[1]) & l.DstMasks[1]) |
           ((((p & l.SrcMasks[2]) >> l.RightShift[2]) << l.LeftShift[2]) & l.DstMasks[2]) |
           QxFillAlpha((((p & l.SrcMasks[3]) >> l.RightShift[3]) << l.LeftShift[3]) & l.DstMasks[3], l.AlphaFill,
                       l.DstMasks[3]);
}

// Pixels of 1 to 4 bytes, little-endian, at any alignment.
template <int B>
inline CKDWORD QxReadPixel(const CKBYTE* p)
{
    if constexpr (std::endian::native == std::endian::little && (B == 2 || B == 4)) {
        if constexpr (B == 2) {
            CKWORD v;
            std::memcpy(&v, p, 2);
            return v;
        } else {
            CKDWORD v;
            std::memcpy(&v, p, 4);
            return v;
        }
    } else {
        CKDWORD v = p[0];
        if constexpr (B > 1)
            v |= CKDWORD(p[1]) << 8;
        if constexpr (B > 2)
            v |= CKDWORD(p[2]) << 16;
        if constexpr (B > 3)
            v |= CKDWORD(p[3]) << 24;
        return v;
    }
}

template <int B>
inline void QxWritePixel(CKBYTE* p, CKDWORD v)
{
    if constexpr (std::endian::native == std::endian::little && (B == 2 || B == 4)) {
        if constexpr (B == 2) {
            const CKWORD w = CKWORD(v);
            std::memcpy(p, &w, 2);
        } else
            std::memcpy(p, &v, 4);
    } else {
        p[0] = CKBYTE(v);
        if constexpr (B > 1)
            p[1] = CKBYTE(v >> 8);
        if constexpr (B > 2)
            p[2] = CKBYTE(v >> 16);
        if constexpr (B > 3)
            p[3] = CKBYTE(v >> 24);
    }
}
