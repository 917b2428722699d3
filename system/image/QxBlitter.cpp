#include "system/image/QxBlitter.h"

#include <cstddef>
#include <memory>
#include <new>

#include "system/image/QxPixelFormat.h"
#include "system/image/QxQuantizer.h"
#include "system/image/QxResampler.h"
#include "system/image/QxSpanConverters.h"
#include "system/runtime/QxGlobalLock.h"

namespace {

bool IsCompressed(int format)
{
    return format >= _DXT1 && format <= _DXT5;
}

// Shifts that move the top of the source mask's lowest run onto the top of
// the destination's.
void ChannelShifts(CKDWORD srcMask, CKDWORD dstMask, CKDWORD& right, CKDWORD& left)
{
    const int d = int(QxGetMaskTop(srcMask)) - int(QxGetMaskTop(dstMask));
    right = 0;
    left = 0;
    if (srcMask == 0 || dstMask == 0)
        return; // the channel contributes nothing: keep the shifts harmless
    if (d >= 0)
        right = CKDWORD(d);
    else
        left = CKDWORD(-d);
}

// The process-wide blitter. Its fields hold the conversion in progress, so it
// is used only under the global critical section.
class QxBlitter
{
public:
    bool DoBlit(const QxImageDesc& src, const QxImageDesc& dst, bool upsideDown);
    bool ResizeImage(const QxImageDesc& src, const QxImageDesc& dst);
    bool DoAlphaBlit(const QxImageDesc& desc, CKBYTE alpha, const CKBYTE* alphaMap);
    size_t GetWorkBytes() const { return m_Resampler.GetWorkBytes() + m_PaletteCapacity * sizeof(CKDWORD); }

private:
    QxSpanConverter SelectConverter(const QxImageDesc& src, const QxImageDesc& dst);
    bool BuildPalette();

    QxBlitLine m_Line;
    QxResampler m_Resampler;
    std::unique_ptr<CKDWORD[]> m_Palette;
    size_t m_PaletteCapacity = 0;
};

QxSpanConverter QxBlitter::SelectConverter(const QxImageDesc& src, const QxImageDesc& dst)
{
    QxBlitLine& l = m_Line;
    l = QxBlitLine();
    l.SrcDesc = QxCopyImageDescBySize(src);
    l.DstDesc = QxCopyImageDescBySize(dst);
    const QxImageDesc& s = l.SrcDesc;
    const QxImageDesc& d = l.DstDesc;
    l.SrcBytesPerPixel = s.BitsPerPixel / 8;
    l.DstBytesPerPixel = d.BitsPerPixel / 8;
    l.SrcFormat = QxImageDesc2PixelFormat(s);
    l.DstFormat = QxImageDesc2PixelFormat(d);

    if (IsCompressed(l.SrcFormat) || IsCompressed(l.DstFormat))
        return nullptr;

    const bool bothListed = l.SrcFormat >= _32_ARGB8888 && l.SrcFormat <= _16_ABGR4444 && l.DstFormat >= _32_ARGB8888 &&
                            l.DstFormat <= _16_ABGR4444;
    if (bothListed && l.SrcFormat == l.DstFormat)
        return QxCopySpan;
    if (bothListed) {
        if (QxSpanConverter pair = QxGetFormatPairConverter(l.SrcFormat, l.DstFormat))
            return pair;
    }

    const CKDWORD srcMasks[4] = {s.RedMask, s.GreenMask, s.BlueMask, s.AlphaMask};
    const CKDWORD dstMasks[4] = {d.RedMask, d.GreenMask, d.BlueMask, d.AlphaMask};
    for (int c = 0; c < 4; ++c) {
        l.SrcMasks[c] = dstMasks[c] ? srcMasks[c] : 0;
        l.DstMasks[c] = srcMasks[c] ? dstMasks[c] : 0;
        ChannelShifts(srcMasks[c], dstMasks[c], l.RightShift[c], l.LeftShift[c]);
        l.DstLowBit[c] = QxGetMaskShift(dstMasks[c]);
    }
    // A source without alpha gives opaque pixels.
    if (s.AlphaMask == 0)
        l.OpaqueAlpha = d.AlphaMask;
    // A narrower source alpha is copied down over the new bits (a 1-bit
    // alpha of 1 becomes 0xFF, a 4-bit 0x8 becomes 0x88): opaque stays
    // opaque. Colour channels keep zero low bits.
    const CKDWORD srcAlphaBits = QxGetMaskTop(s.AlphaMask) - QxGetMaskShift(s.AlphaMask);
    const CKDWORD dstAlphaBits = QxGetMaskTop(d.AlphaMask) - QxGetMaskShift(d.AlphaMask);
    if (s.AlphaMask && srcAlphaBits < dstAlphaBits)
        for (int k = 0; k < 5 && (srcAlphaBits << k) < 32; ++k)
            l.AlphaFill[k] = srcAlphaBits << k;

    const int row = QxLayoutIndex(s);
    const int column = QxLayoutIndex(d);
    if (row < 0 || column < 0)
        return nullptr;
    QxSpanConverter converter = QxGetLayoutConverter(row, column);
    if (!converter)
        return nullptr;

    if (row >= 4) {
        if (!BuildPalette())
            return nullptr;
    } else if (column == 9) {
        // Quantised indices: the components come from the destination's masks,
        // which describe the palette the quantizer writes (byte 0, 1, 2). A
        // destination that gives no colour masks gets that layout.
        if (d.RedMask == 0 && d.GreenMask == 0 && d.BlueMask == 0) {
            const CKDWORD paletteMasks[3] = {0x000000FF, 0x0000FF00, 0x00FF0000};
            for (int c = 0; c < 3; ++c) {
                l.SrcMasks[c] = srcMasks[c];
                l.DstMasks[c] = srcMasks[c] ? paletteMasks[c] : 0;
                ChannelShifts(srcMasks[c], paletteMasks[c], l.RightShift[c], l.LeftShift[c]);
                l.DstLowBit[c] = QxGetMaskShift(paletteMasks[c]);
            }
        }
    }
    return converter;
}

// Converts every palette entry of the source once, as a pixel of the entry's
// size with the source's masks. A palette must have at least one entry.
bool QxBlitter::BuildPalette()
{
    QxBlitLine& l = m_Line;
    const QxImageDesc& s = l.SrcDesc;
    const int entries = s.ColorMapEntries;
    if (!s.ColorMap || entries < 1)
        return false;
    if (size_t(entries) > m_PaletteCapacity) {
        m_Palette.reset(new (std::nothrow) CKDWORD[entries]);
        m_PaletteCapacity = m_Palette ? size_t(entries) : 0;
        if (!m_Palette)
            return false;
    }
    const int entryBytes = s.BytesPerColorEntry;
    for (int i = 0; i < entries; ++i) {
        const CKBYTE* e = s.ColorMap + size_t(i) * size_t(entryBytes);
        const CKDWORD p = entryBytes == 4 ? QxReadPixel<4>(e) : QxReadPixel<3>(e);
        m_Palette[i] = QxConvertPixel(l, p);
    }
    l.Palette = m_Palette.get();
    l.PaletteEntries = entries;
    return true;
}

bool QxBlitter::DoBlit(const QxImageDesc& src, const QxImageDesc& dst, bool upsideDown)
{
    const QxSpanConverter converter = SelectConverter(src, dst);
    if (!converter)
        return false;
    QxBlitLine& l = m_Line;
    const QxImageDesc& s = l.SrcDesc;
    const QxImageDesc& d = l.DstDesc;
    if (!s.Image || !d.Image)
        return false;
    if (s.Width < 0 || s.Height < 0 || d.Width < 0 || d.Height < 0)
        return false;
    const bool sameSize = s.Width == d.Width && s.Height == d.Height;
    if (!sameSize && s.BitsPerPixel != 32)
        return false;
    if (!sameSize && (d.Width == 0 || d.Height == 0))
        return true; // nothing to produce
    if (!sameSize && (s.Width == 0 || s.Height == 0))
        return false; // nothing to resample from
    if (!sameSize && !m_Resampler.Setup(s.Width, s.Height, d.Width, d.Height))
        return false;

    if (d.ColorMapEntries != 0 && !QxQuantizeImage(s, d))
        return false;

    if (sameSize) {
        l.Width = s.Width;
        for (int y = 0; y < s.Height; ++y) {
            const int sy = upsideDown ? s.Height - 1 - y : y;
            l.Src = s.Image + ptrdiff_t(sy) * s.BytesPerLine;
            l.Dst = d.Image + ptrdiff_t(y) * d.BytesPerLine;
            converter(l);
        }
        return true;
    }

    // The converter reads each resampled line as a 32-bit source line of the
    // destination's width.
    l.Width = d.Width;
    for (int y = 0; y < d.Height; ++y) {
        const int dy = upsideDown ? d.Height - 1 - y : y;
        l.Src = reinterpret_cast<const CKBYTE*>(m_Resampler.ResampleLine(s.Image, s.BytesPerLine, y));
        l.Dst = d.Image + ptrdiff_t(dy) * d.BytesPerLine;
        converter(l);
    }
    return true;
}

bool QxBlitter::ResizeImage(const QxImageDesc& src, const QxImageDesc& dst)
{
    const QxImageDesc s = QxCopyImageDescBySize(src);
    const QxImageDesc d = QxCopyImageDescBySize(dst);
    if (s.BitsPerPixel != 32 || d.BitsPerPixel != 32 || !s.Image || !d.Image)
        return false;
    if (s.Width < 0 || s.Height < 0 || d.Width < 0 || d.Height < 0)
        return false;
    if (d.Width == 0 || d.Height == 0)
        return true;
    if (!m_Resampler.Setup(s.Width, s.Height, d.Width, d.Height))
        return false;
    for (int y = 0; y < d.Height; ++y) {
        const CKDWORD* line = m_Resampler.ResampleLine(s.Image, s.BytesPerLine, y);
        CKBYTE* out = d.Image + ptrdiff_t(y) * d.BytesPerLine;
        for (int x = 0; x < d.Width; ++x)
            QxWritePixel<4>(out + size_t(x) * 4, line[x]);
    }
    return true;
}

bool QxBlitter::DoAlphaBlit(const QxImageDesc& desc, CKBYTE alpha, const CKBYTE* alphaMap)
{
    QxBlitLine& l = m_Line;
    l = QxBlitLine();
    l.DstDesc = QxCopyImageDescBySize(desc);
    const QxImageDesc& d = l.DstDesc;
    if (d.AlphaMask == 0 || !d.Image || d.Width < 0)
        return false;
    l.DstBytesPerPixel = d.BitsPerPixel / 8;
    const QxSpanConverter converter =
        alphaMap ? QxGetAlphaMapCopier(l.DstBytesPerPixel) : QxGetAlphaSetter(l.DstBytesPerPixel);
    if (!converter)
        return false;

    // An 8-bit value (mask 0xFF) moved like any other channel: narrowing keeps
    // its top bits, widening leaves the new low bits 0.
    ChannelShifts(0xFF, d.AlphaMask, l.AlphaRightShift, l.AlphaLeftShift);
    l.AlphaMaskComplement = ~d.AlphaMask;
    l.AlphaValue = ((CKDWORD(alpha) >> l.AlphaRightShift) << l.AlphaLeftShift) & d.AlphaMask;
    l.Width = d.Width;
    for (int y = 0; y < d.Height; ++y) {
        l.Dst = d.Image + ptrdiff_t(y) * d.BytesPerLine;
        if (alphaMap)
            l.AlphaMap = alphaMap + ptrdiff_t(y) * d.Width;
        converter(l);
    }
    return true;
}

// Made on first use and deleted at shut-down, both under the global critical
// section like every use; a blit after shut-down (even from a static
// destructor) makes a new one.
QxBlitter* g_Blitter = nullptr;

QxBlitter& TheBlitter()
{
    if (!g_Blitter)
        g_Blitter = new QxBlitter;
    return *g_Blitter;
}

} // namespace

void QxResetBlitter()
{
    PlatformLockGuard lock(QxGetGlobalCriticalSection());
    delete g_Blitter;
    g_Blitter = nullptr;
}

size_t QxGetBlitterWorkBytes()
{
    PlatformLockGuard lock(QxGetGlobalCriticalSection());
    return g_Blitter ? g_Blitter->GetWorkBytes() : 0;
}

void QxInitBlitter()
{
    QxBuildSpanConverterTables();
}

bool QxDoBlit(const QxImageDesc& src, const QxImageDesc& dst)
{
    QxInitBlitter();
    PlatformLockGuard lock(QxGetGlobalCriticalSection());
    return TheBlitter().DoBlit(src, dst, false);
}

bool QxDoBlitUpsideDown(const QxImageDesc& src, const QxImageDesc& dst)
{
    QxInitBlitter();
    PlatformLockGuard lock(QxGetGlobalCriticalSection());
    return TheBlitter().DoBlit(src, dst, true);
}

bool QxResizeImage(const QxImageDesc& src, const QxImageDesc& dst)
{
    QxInitBlitter();
    PlatformLockGuard lock(QxGetGlobalCriticalSection());
    return TheBlitter().ResizeImage(src, dst);
}

bool QxDoAlphaBlit(const QxImageDesc& desc, CKBYTE alpha)
{
    QxInitBlitter();
    PlatformLockGuard lock(QxGetGlobalCriticalSection());
    return TheBlitter().DoAlphaBlit(desc, alpha, nullptr);
}

bool QxDoAlphaMapBlit(const QxImageDesc& desc, const CKBYTE* alphaValues)
{
    if (!alphaValues)
        return false;
    QxInitBlitter();
    PlatformLockGuard lock(QxGetGlobalCriticalSection());
    return TheBlitter().DoAlphaBlit(desc, 0, alphaValues);
}
