// Feeds random image descriptions, each with buffers of exactly the size it
// describes, to every blitter entry point, the bitmap conversions and the
// quantizer. AddressSanitizer reports any access outside those buffers.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/PlatformBitmap.h"
#include "system/image/QxBitmap.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxImageDesc.h"
#include "system/image/QxPixelFormat.h"
#include "system/image/QxQuantizer.h"

namespace {

// Past the end of the input every read gives 0.
class Cursor
{
public:
    Cursor(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}
    uint8_t U8() { return m_Pos < m_Size ? m_Data[m_Pos++] : 0; }
    uint16_t U16() { return uint16_t(U8() | (U8() << 8)); }
    uint32_t U32() { return uint32_t(U16()) | (uint32_t(U16()) << 16); }

private:
    const uint8_t* m_Data;
    size_t m_Size;
    size_t m_Pos = 0;
};

constexpr int64_t kMaxBytes = 4 << 20;

// An image description with its own pixel and palette buffers.
struct FuzzImage
{
    QxImageDesc Desc;
    std::vector<uint8_t> Pixels;
    std::vector<uint8_t> Palette;
    bool Valid = true;
};

int64_t LineBytes(const QxImageDesc& d)
{
    const int64_t bits = d.BitsPerPixel > 0 ? d.BitsPerPixel : 0;
    return d.Width > 0 ? (int64_t(d.Width) * bits + 7) / 8 : 0;
}

void MakeImage(Cursor& in, FuzzImage& img)
{
    QxImageDesc& d = img.Desc;
    const uint8_t how = in.U8();
    // Mostly a listed format, sometimes raw masks.
    if (how & 1)
        QxPixelFormat2ImageDesc(in.U8() % 42, d);
    else {
        d.RedMask = in.U32();
        d.GreenMask = in.U32();
        d.BlueMask = in.U32();
        d.AlphaMask = in.U32();
    }
    static const int32_t kDepths[] = {1, 2, 4, 8, 15, 16, 24, 32, 33, 64, 0, -8, 3, 12, 31, 128};
    if (how & 2)
        d.BitsPerPixel = (how & 0x40) ? int32_t(int8_t(in.U8())) : kDepths[in.U8() % 16];
    d.Width = int32_t(int16_t(in.U16())) % 600;
    d.Height = int32_t(int16_t(in.U16())) % 400;
    const int64_t line = LineBytes(d);
    const int32_t slack = int32_t(int8_t(in.U8()));
    int64_t pitch = (how & 4) ? line + (slack & 7) : slack; // sometimes shorter than a line
    if (how & 8)
        pitch = -pitch;
    d.BytesPerLine = int32_t(pitch);
    if (how & 16) {
        static const CKWORD kEntryBytes[] = {3, 4, 0, 2, 5, 3, 4, 4};
        d.BytesPerColorEntry = kEntryBytes[in.U8() % 8];
        const uint8_t count = in.U8();
        d.ColorMapEntries = count == 0xFF ? 256 : CKWORD(count % 20 == 0 ? in.U16() : count);
    }
    d.Flags = (how & 32) ? in.U8() % 45 : d.Flags;
    d.Size = (how & 0x80) ? in.U8() : QX_IMAGEDESC_SIZE;

    const int64_t absPitch = pitch < 0 ? -pitch : pitch;
    const int64_t bytes = d.Height > 0 && d.Width > 0 ? (int64_t(d.Height) - 1) * absPitch + line : 1;
    const int64_t paletteBytes = int64_t(d.ColorMapEntries) * d.BytesPerColorEntry;
    if (bytes > kMaxBytes || paletteBytes > kMaxBytes) {
        img.Valid = false;
        return;
    }
    img.Pixels.resize(size_t(bytes > 0 ? bytes : 1));
    for (size_t i = 0; i < img.Pixels.size(); ++i)
        img.Pixels[i] = uint8_t(i * 131 + 7);
    // With a negative pitch the first line is the last in memory.
    const int64_t first = pitch < 0 && d.Height > 0 ? (int64_t(d.Height) - 1) * absPitch : 0;
    d.Image = (in.U8() % 16 == 0) ? nullptr : img.Pixels.data() + first;
    if (paletteBytes > 0) {
        img.Palette.resize(size_t(paletteBytes));
        for (size_t i = 0; i < img.Palette.size(); ++i)
            img.Palette[i] = uint8_t(i * 17 + 3);
        d.ColorMap = img.Palette.data();
    } else
        d.ColorMap = nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Cursor in(data, size);
    const uint8_t op = in.U8();
    FuzzImage src, dst;
    MakeImage(in, src);
    MakeImage(in, dst);
    if (!src.Valid || !dst.Valid)
        return 0;
    switch (op % 7) {
    case 0: QxDoBlit(src.Desc, dst.Desc); break;
    case 1: QxDoBlitUpsideDown(src.Desc, dst.Desc); break;
    case 2: QxResizeImage(src.Desc, dst.Desc); break;
    case 3: QxDoAlphaBlit(dst.Desc, in.U8()); break;
    case 4: {
        const int64_t count = dst.Desc.Width > 0 && dst.Desc.Height > 0 ? int64_t(dst.Desc.Width) * dst.Desc.Height : 1;
        std::vector<uint8_t> alpha(size_t(count), 0x5A);
        QxDoAlphaMapBlit(dst.Desc, alpha.data());
        break;
    }
    case 5:
        // Through a bitmap section and back, as text sprites do.
        if (PlatformBitmap* bitmap = QxCreateBitmapFromImage(src.Desc)) {
            QxCopyBitmapToImage(bitmap, dst.Desc);
            PlatformDeleteObject(bitmap);
        }
        break;
    default:
        if (QxQuantizeImage(src.Desc, dst.Desc))
            QxQuantizerSearch(in.U8(), in.U8(), in.U8());
        break;
    }
    return 0;
}
