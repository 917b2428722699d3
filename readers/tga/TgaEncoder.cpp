#include "readers/tga/TgaEncoder.h"

#include <cstring>

#include "core/bitmap/CKBitmapReader.h"
#include "includes/CKByteOrder.h"
#include "readers/common/ReaderLog.h"
#include "readers/common/ReaderSourceImage.h"
#include "system/image/QxBlitter.h"

namespace {

constexpr size_t kHeaderSize = 18;

// Packets of one line of `width` pixels of `ps` bytes: a run of equal
// pixels as 0x80 + count - 1 and the pixel, others as count - 1 and the
// pixels. Returns the bytes written (the caller gave room for the worst).
size_t EncodeRleLine(const CKBYTE* line, int width, int ps, CKBYTE* out)
{
    auto same = [&](int a, int b) {
        return std::memcmp(line + (size_t) a * ps, line + (size_t) b * ps, (size_t) ps) == 0;
    };
    size_t n = 0;
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < 128 && same(x + run, x))
            ++run;
        if (run >= 2) {
            out[n++] = (CKBYTE) (0x80 | (run - 1));
            std::memcpy(out + n, line + (size_t) x * ps, (size_t) ps);
            n += (size_t) ps;
            x += run;
            continue;
        }
        int count = 1;
        while (x + count < width && count < 128 && !(x + count + 1 < width && same(x + count, x + count + 1)))
            ++count;
        out[n++] = (CKBYTE) (count - 1);
        std::memcpy(out + n, line + (size_t) x * ps, (size_t) count * ps);
        n += (size_t) count * ps;
        x += count;
    }
    return n;
}

} // namespace

int TgaEncode(const QxImageDesc& desc, const void* pixels, CKDWORD bitDepth, bool rle, CKBYTE** out)
{
    if (!out)
        return 0;
    *out = nullptr;
    if (!pixels || !CKIsValidImageSize(desc.Width, desc.Height) || desc.BitsPerPixel < 1 || desc.BitsPerPixel > 255) {
        ReaderLogError("TGA: no valid image to save");
        return 0;
    }
    if (bitDepth != 16 && bitDepth != 24 && bitDepth != 32 && bitDepth != 64) {
        ReaderLogError("TGA: cannot save with bit depth %u", (unsigned) bitDepth);
        return 0;
    }
    const bool grey = bitDepth == 64;
    ReaderSourceImage source;
    if (!source.Prepare(desc, pixels, bitDepth == 32)) {
        ReaderLogError("TGA: cannot convert the image to save");
        return 0;
    }
    const int width = desc.Width;
    const int height = desc.Height;
    const int ps = grey ? 1 : (int) bitDepth / 8;
    const size_t lineBytes = (size_t) width * ps;
    const size_t room = kHeaderSize + (rle ? (size_t) height * width * (ps + 1) : lineBytes * height);
    CKBYTE* block = static_cast<CKBYTE*>(CKReaderAllocate(room));
    CKBYTE* line = static_cast<CKBYTE*>(CKReaderAllocate(lineBytes));
    CKBYTE* converted = nullptr;
    bool ok = block && line;
    QxImageDesc wide;
    if (ok && bitDepth == 16) {
        // One conversion of the whole image to 555.
        wide.Width = width;
        wide.Height = height;
        wide.BitsPerPixel = 16;
        wide.BytesPerLine = (int) lineBytes;
        wide.SetDefaultMasks();
        converted = static_cast<CKBYTE*>(CKReaderAllocate(lineBytes * height));
        wide.Image = converted;
        ok = converted && QxDoBlit(source.Describe(), wide);
    }
    if (!ok) {
        ReaderLogError("TGA: cannot convert the image to %u bits", (unsigned) bitDepth);
        CKReaderFree(block);
        CKReaderFree(line);
        CKReaderFree(converted);
        return 0;
    }

    std::memset(block, 0, kHeaderSize);
    block[2] = (CKBYTE) ((grey ? 3 : 2) + (rle ? 8 : 0));
    StoreLE16(block + 12, (CKWORD) width);
    StoreLE16(block + 14, (CKWORD) height);
    block[16] = (CKBYTE) (grey ? 8 : bitDepth);
    block[17] = (CKBYTE) (0x20 | (bitDepth == 32 ? 8 : 0));
    size_t used = kHeaderSize;
    const int sb = source.BytesPerPixel();
    for (int y = 0; y < height; ++y) {
        const CKBYTE* s = source.Line(y);
        switch (bitDepth) {
        case 16: std::memcpy(line, converted + (size_t) y * lineBytes, lineBytes); break;
        case 24:
            for (int x = 0; x < width; ++x)
                std::memcpy(line + (size_t) x * 3, s + (size_t) x * sb, 3);
            break;
        case 32: std::memcpy(line, s, lineBytes); break;
        default:
            for (int x = 0; x < width; ++x) {
                const CKBYTE* p = s + (size_t) x * sb;
                line[x] = (CKBYTE) ((p[0] + p[1] + p[2]) / 3);
            }
            break;
        }
        if (rle) {
            used += EncodeRleLine(line, width, ps, block + used);
        } else {
            std::memcpy(block + used, line, lineBytes);
            used += lineBytes;
        }
    }
    CKReaderFree(line);
    CKReaderFree(converted);
    *out = block;
    return (int) used;
}
