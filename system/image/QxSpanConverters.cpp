#include "system/image/QxSpanConverters.h"

#include <cstring>
#include <mutex>

#include "system/image/QxPixelFormat.h"
#include "system/image/QxQuantizer.h"

namespace {

constexpr int kLayoutRows = 12;
constexpr int kLayoutColumns = 16;
constexpr int kFormatIds = _16_ABGR4444 + 1;

QxSpanConverter g_Layout[kLayoutRows][kLayoutColumns];
QxSpanConverter g_FormatPairs[kFormatIds][kFormatIds];
QxSpanConverter g_AlphaSetters[5];
QxSpanConverter g_AlphaMapCopiers[5];

// The general rule, one loop per pair of pixel sizes so that the compiler can
// keep the masks and shifts in registers and vectorise the loop.
template <int SB, int DB>
void ConvertGeneral(const QxBlitLine& l)
{
    const CKBYTE* __restrict s = l.Src;
    CKBYTE* __restrict d = l.Dst;
    const CKDWORD sm0 = l.SrcMasks[0], sm1 = l.SrcMasks[1], sm2 = l.SrcMasks[2], sm3 = l.SrcMasks[3];
    const CKDWORD r0 = l.RightShift[0], r1 = l.RightShift[1], r2 = l.RightShift[2], r3 = l.RightShift[3];
    const CKDWORD l0 = l.LeftShift[0], l1 = l.LeftShift[1], l2 = l.LeftShift[2], l3 = l.LeftShift[3];
    const CKDWORD dm0 = l.DstMasks[0], dm1 = l.DstMasks[1], dm2 = l.DstMasks[2], dm3 = l.DstMasks[3];
    const CKDWORD opaque = l.OpaqueAlpha;
    const CKDWORD fill[5] = {l.AlphaFill[0], l.AlphaFill[1], l.AlphaFill[2], l.AlphaFill[3], l.AlphaFill[4]};
    const int n = l.Width;
    for (int x = 0; x < n; ++x) {
        const CKDWORD p = QxReadPixel<SB>(s + x * SB);
        const CKDWORD o = opaque | ((((p & sm0) >> r0) << l0) & dm0) | ((((p & sm1) >> r1) << l1) & dm1) |
                          ((((p & sm2) >> r2) << l2) & dm2) | QxFillAlpha((((p & sm3) >> r3) << l3) & dm3, fill, dm3);
        QxWritePixel<DB>(d + x * DB, o);
    }
}

// ARGB 8888 to RGB 888 in 24 bits: the top byte is dropped.
void Argb8888To24(const QxBlitLine& l)
{
    for (int x = 0; x < l.Width; ++x)
        QxWritePixel<3>(l.Dst + x * 3, QxReadPixel<4>(l.Src + x * 4));
}

// ARGB 8888 to the 16-bit formats: each channel keeps its top bits. One
// loop, inlined with each packing, so that it stays vectorised.
template <class Pack>
inline void Argb8888To16(const QxBlitLine& l, Pack pack)
{
    const CKBYTE* __restrict s = l.Src;
    CKBYTE* __restrict d = l.Dst;
    const int n = l.Width;
    for (int x = 0; x < n; ++x)
        QxWritePixel<2>(d + x * 2, pack(QxReadPixel<4>(s + x * 4)));
}

void Argb8888To565(const QxBlitLine& l)
{
    Argb8888To16(l, [](CKDWORD p) { return ((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F); });
}

void Argb8888To555(const QxBlitLine& l)
{
    Argb8888To16(l, [](CKDWORD p) { return ((p >> 9) & 0x7C00) | ((p >> 6) & 0x03E0) | ((p >> 3) & 0x001F); });
}

void Argb8888To1555(const QxBlitLine& l)
{
    Argb8888To16(l, [](CKDWORD p) {
        return ((p >> 16) & 0x8000) | ((p >> 9) & 0x7C00) | ((p >> 6) & 0x03E0) | ((p >> 3) & 0x001F);
    });
}

void Argb8888To4444(const QxBlitLine& l)
{
    Argb8888To16(l, [](CKDWORD p) {
        return ((p >> 16) & 0xF000) | ((p >> 12) & 0x0F00) | ((p >> 8) & 0x00F0) | ((p >> 4) & 0x000F);
    });
}

// RGB 888 (32 or 24 bits) to ARGB 8888: opaque alpha.
void Rgb888_32ToArgb(const QxBlitLine& l)
{
    for (int x = 0; x < l.Width; ++x)
        QxWritePixel<4>(l.Dst + x * 4, QxReadPixel<4>(l.Src + x * 4) | 0xFF000000);
}

void Rgb888_24ToArgb(const QxBlitLine& l)
{
    for (int x = 0; x < l.Width; ++x)
        QxWritePixel<4>(l.Dst + x * 4, QxReadPixel<3>(l.Src + x * 3) | 0xFF000000);
}

// Paletted sources (4-byte destinations only). Indices are packed from the
// most significant bit of each byte; an index past the palette reads entry 0.
template <int Depth>
void ConvertPaletted(const QxBlitLine& l)
{
    const CKBYTE* s = l.Src;
    const CKDWORD* palette = l.Palette;
    const CKDWORD entries = static_cast<CKDWORD>(l.PaletteEntries);
    const int depth = Depth ? Depth : l.SrcDesc.BitsPerPixel;
    for (int x = 0; x < l.Width; ++x) {
        CKDWORD index;
        if constexpr (Depth == 8)
            index = s[x];
        else if constexpr (Depth == 4)
            index = (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
        else if constexpr (Depth == 1)
            index = (s[x >> 3] >> (7 - (x & 7))) & 1;
        else {
            // Any other depth up to 32 bits: a big-endian bit stream.
            const uint64_t firstBit = uint64_t(x) * uint64_t(depth);
            const uint64_t lastBit = firstBit + uint64_t(depth) - 1;
            uint64_t window = 0;
            for (uint64_t b = firstBit >> 3; b <= lastBit >> 3; ++b)
                window = (window << 8) | s[b];
            const unsigned drop = unsigned(7 - (lastBit & 7));
            window >>= drop;
            index = static_cast<CKDWORD>(depth >= 32 ? window : (window & ((uint64_t(1) << depth) - 1)));
        }
        if (index >= entries)
            index = 0;
        QxWritePixel<4>(l.Dst + x * 4, palette[index]);
    }
}

// 32-bit pixels to 8-bit indices of the palette the quantizer learnt: each
// pixel is split with the destination's masks into three 0..255 components.
void ConvertQuantised(const QxBlitLine& l)
{
    for (int x = 0; x < l.Width; ++x) {
        const CKDWORD p = QxReadPixel<4>(l.Src + x * 4);
        int c[3];
        for (int k = 0; k < 3; ++k)
            c[k] = static_cast<int>(((((p & l.SrcMasks[k]) >> l.RightShift[k]) << l.LeftShift[k]) & l.DstMasks[k]) >>
                                    l.DstLowBit[k]) &
                   0xFF;
        l.Dst[x] = static_cast<CKBYTE>(QxQuantizerSearchLocked(c[0], c[1], c[2]));
    }
}

template <int B>
void SetAlpha(const QxBlitLine& l)
{
    for (int x = 0; x < l.Width; ++x) {
        CKBYTE* p = l.Dst + x * B;
        QxWritePixel<B>(p, (QxReadPixel<B>(p) & l.AlphaMaskComplement) | l.AlphaValue);
    }
}

template <int B>
void CopyAlphaMap(const QxBlitLine& l)
{
    const CKDWORD mask = ~l.AlphaMaskComplement;
    for (int x = 0; x < l.Width; ++x) {
        CKBYTE* p = l.Dst + x * B;
        const CKDWORD a = ((CKDWORD(l.AlphaMap[x]) >> l.AlphaRightShift) << l.AlphaLeftShift) & mask;
        QxWritePixel<B>(p, (QxReadPixel<B>(p) & l.AlphaMaskComplement) | a);
    }
}

template <int SB>
void FillGeneralRow(int row)
{
    g_Layout[row][0] = ConvertGeneral<SB, 1>;
    g_Layout[row][1] = ConvertGeneral<SB, 2>;
    g_Layout[row][2] = ConvertGeneral<SB, 3>;
    g_Layout[row][3] = ConvertGeneral<SB, 4>;
}

void BuildTables()
{
    FillGeneralRow<1>(0);
    FillGeneralRow<2>(1);
    FillGeneralRow<3>(2);
    FillGeneralRow<4>(3);
    g_Layout[4][3] = g_Layout[5][3] = ConvertPaletted<1>;
    g_Layout[6][3] = g_Layout[7][3] = ConvertPaletted<4>;
    g_Layout[8][3] = g_Layout[9][3] = ConvertPaletted<8>;
    g_Layout[10][3] = g_Layout[11][3] = ConvertPaletted<0>;
    // 32-bit pixels to 8-bit indices with 4-byte entries. The other paletted
    // destinations of 32-bit sources stay empty: the blit then reports
    // failure rather than leaving the destination blank.
    g_Layout[3][9] = ConvertQuantised;

    g_FormatPairs[_32_ARGB8888][_32_RGB888] = QxCopySpan;
    g_FormatPairs[_32_ARGB8888][_24_RGB888] = Argb8888To24;
    g_FormatPairs[_32_ARGB8888][_16_RGB565] = Argb8888To565;
    g_FormatPairs[_32_ARGB8888][_16_RGB555] = Argb8888To555;
    g_FormatPairs[_32_ARGB8888][_16_ARGB1555] = Argb8888To1555;
    g_FormatPairs[_32_ARGB8888][_16_ARGB4444] = Argb8888To4444;
    g_FormatPairs[_32_RGB888][_32_ARGB8888] = Rgb888_32ToArgb;
    g_FormatPairs[_24_RGB888][_32_ARGB8888] = Rgb888_24ToArgb;

    g_AlphaSetters[1] = SetAlpha<1>;
    g_AlphaSetters[2] = SetAlpha<2>;
    g_AlphaSetters[4] = SetAlpha<4>;
    g_AlphaMapCopiers[1] = CopyAlphaMap<1>;
    g_AlphaMapCopiers[2] = CopyAlphaMap<2>;
    g_AlphaMapCopiers[4] = CopyAlphaMap<4>;
}

std::once_flag g_TablesBuilt;

} // namespace

void QxBuildSpanConverterTables()
{
    std::call_once(g_TablesBuilt, BuildTables);
}

QxSpanConverter QxGetLayoutConverter(int row, int column)
{
    QxBuildSpanConverterTables();
    if (row < 0 || row >= kLayoutRows || column < 0 || column >= kLayoutColumns)
        return nullptr;
    return g_Layout[row][column];
}

QxSpanConverter QxGetFormatPairConverter(int srcFormat, int dstFormat)
{
    QxBuildSpanConverterTables();
    if (srcFormat < 1 || srcFormat >= kFormatIds || dstFormat < 1 || dstFormat >= kFormatIds)
        return nullptr;
    return g_FormatPairs[srcFormat][dstFormat];
}

void QxCopySpan(const QxBlitLine& line)
{
    if (line.Width > 0)
        std::memcpy(line.Dst, line.Src, size_t(line.Width) * size_t(line.SrcBytesPerPixel));
}

QxSpanConverter QxGetAlphaSetter(int bytesPerPixel)
{
    QxBuildSpanConverterTables();
    return bytesPerPixel >= 1 && bytesPerPixel <= 4 ? g_AlphaSetters[bytesPerPixel] : nullptr;
}

QxSpanConverter QxGetAlphaMapCopier(int bytesPerPixel)
{
    QxBuildSpanConverterTables();
    return bytesPerPixel >= 1 && bytesPerPixel <= 4 ? g_AlphaMapCopiers[bytesPerPixel] : nullptr;
}

int QxLayoutIndex(const QxImageDesc& desc)
{
    if (desc.BytesPerColorEntry != 0) {
        if (desc.BytesPerColorEntry != 3 && desc.BytesPerColorEntry != 4)
            return -1;
        if (desc.BitsPerPixel <= 0 || desc.BitsPerPixel > 32)
            return -1;
        const int odd = desc.BytesPerColorEntry == 4 ? 1 : 0;
        switch (desc.BitsPerPixel) {
        case 1: return 4 + odd;
        case 4: return 6 + odd;
        case 8: return 8 + odd;
        default: return 10 + odd;
        }
    }
    const int bytes = desc.BitsPerPixel / 8;
    return bytes >= 1 && bytes <= 4 ? bytes - 1 : -1;
}
