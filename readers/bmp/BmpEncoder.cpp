#include "readers/bmp/BmpEncoder.h"

#include <cstring>

#include "core/bitmap/CKBitmapReader.h"
#include "includes/CKByteOrder.h"
#include "readers/common/ReaderLog.h"
#include "readers/common/ReaderSourceImage.h"
#include "system/image/QxBlitter.h"

namespace {

constexpr size_t kHeadersSize = 14 + 40;

// Encodes one line of palette indices with RLE8: runs of equal indices as
// (count, index), stretches of at least 3 differing ones as absolute runs
// (0, count, indices, pad to even), then the end-of-line code. Returns the
// bytes written, or 0 when they would pass `room`.
size_t EncodeRle8Line(const CKBYTE* idx, int width, CKBYTE* out, size_t room)
{
    size_t n = 0;
    auto put = [&](CKBYTE b) {
        if (n < room)
            out[n] = b;
        ++n;
    };
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < 255 && idx[x + run] == idx[x])
            ++run;
        if (run >= 2) {
            put((CKBYTE) run);
            put(idx[x]);
            x += run;
            continue;
        }
        int count = 0;
        while (x + count < width && count < 255) {
            const int i = x + count;
            if (i + 2 < width && idx[i] == idx[i + 1] && idx[i] == idx[i + 2])
                break;
            ++count;
        }
        if (count >= 3) {
            put(0);
            put((CKBYTE) count);
            for (int i = 0; i < count; ++i)
                put(idx[x + i]);
            if (count & 1)
                put(0);
        } else {
            for (int i = 0; i < count; ++i) {
                put(1);
                put(idx[x + i]);
            }
        }
        x += count;
    }
    put(0);
    put(0);
    return n <= room ? n : 0;
}

} // namespace

int BmpEncode(const QxImageDesc& desc, const void* pixels, CKDWORD bitDepth, CKBYTE** out)
{
    if (!out)
        return 0;
    *out = nullptr;
    if (!pixels || !CKIsValidImageSize(desc.Width, desc.Height) || desc.BitsPerPixel < 1 || desc.BitsPerPixel > 255) {
        ReaderLogError("BMP: no valid image to save");
        return 0;
    }
    int bits;
    CKDWORD compression = 0;
    switch (bitDepth) {
    case 8:
    case 16:
    case 24:
    case 32: bits = (int) bitDepth; break;
    case 9:
        bits = 8;
        compression = 1;
        break;
    default: ReaderLogError("BMP: cannot save with bit depth %u", (unsigned) bitDepth); return 0;
    }
    ReaderSourceImage source;
    if (!source.Prepare(desc, pixels, false)) {
        ReaderLogError("BMP: cannot convert the image to save");
        return 0;
    }
    const int width = desc.Width;
    const int height = desc.Height;
    const size_t bpl = (((size_t) width * bits / 8) + 3) & ~(size_t) 3;
    const bool palettised = bits == 8;
    const size_t tableBytes = palettised ? 256 * 4 : 0;
    const size_t offset = kHeadersSize + tableBytes;
    const size_t pixelRoom = compression == 1 ? ((size_t) width * 2 + 2) * (size_t) height + 2 : bpl * (size_t) height;
    CKBYTE* block = static_cast<CKBYTE*>(CKReaderAllocate(offset + pixelRoom));
    if (!block)
        return 0;
    std::memset(block, 0, offset + pixelRoom);

    const QxImageDesc src = source.Describe();
    QxImageDesc dst;
    dst.Width = width;
    dst.Height = height;
    dst.BitsPerPixel = bits;
    dst.BytesPerLine = (int) bpl;
    if (!palettised)
        dst.SetDefaultMasks();

    size_t pixelBytes = bpl * (size_t) height;
    bool ok = true;
    if (!palettised) {
        // Straight into the file, last line first.
        dst.Image = block + offset;
        ok = QxDoBlitUpsideDown(src, dst);
    } else {
        CKBYTE colorMap[256 * 4] = {};
        dst.BytesPerColorEntry = 4;
        dst.ColorMapEntries = 256;
        dst.ColorMap = colorMap;
        CKBYTE* indices = static_cast<CKBYTE*>(CKReaderAllocate(bpl * (size_t) height));
        ok = indices != nullptr;
        if (ok) {
            dst.Image = indices;
            ok = QxDoBlitUpsideDown(src, dst);
        }
        if (ok) {
            // Colour-map bytes 0, 1, 2 are red, green, blue; the file wants B, G, R, 0.
            for (int i = 0; i < 256; ++i) {
                CKBYTE* e = block + kHeadersSize + (size_t) i * 4;
                e[0] = colorMap[i * 4 + 2];
                e[1] = colorMap[i * 4 + 1];
                e[2] = colorMap[i * 4 + 0];
                e[3] = 0;
            }
            if (compression == 0) {
                std::memcpy(block + offset, indices, bpl * (size_t) height);
            } else {
                size_t used = 0;
                for (int y = 0; y < height && ok; ++y) {
                    const size_t n =
                        EncodeRle8Line(indices + (size_t) y * bpl, width, block + offset + used, pixelRoom - used);
                    ok = n != 0;
                    used += n;
                }
                if (ok && pixelRoom - used >= 2) {
                    block[offset + used] = 0;
                    block[offset + used + 1] = 1; // end of bitmap
                    used += 2;
                } else {
                    ok = false;
                }
                pixelBytes = used;
            }
        }
        CKReaderFree(indices);
    }
    if (!ok) {
        ReaderLogError("BMP: cannot convert the image to %d bits", bits);
        CKReaderFree(block);
        return 0;
    }

    const size_t fileSize = offset + pixelBytes;
    block[0] = 'B';
    block[1] = 'M';
    StoreLE32(block + 2, (CKDWORD) fileSize);
    StoreLE32(block + 10, (CKDWORD) offset);
    CKBYTE* h = block + 14;
    StoreLE32(h + 0, 40);
    StoreLE32(h + 4, (CKDWORD) width);
    StoreLE32(h + 8, (CKDWORD) height);
    StoreLE16(h + 12, 1);
    StoreLE16(h + 14, (CKWORD) bits);
    StoreLE32(h + 16, compression);
    // The image size may be 0 for uncompressed lines only.
    StoreLE32(h + 20, compression == 1 ? (CKDWORD) pixelBytes : 0);
    StoreLE32(h + 32, palettised ? 256 : 0);
    *out = block;
    return (int) fileSize;
}
