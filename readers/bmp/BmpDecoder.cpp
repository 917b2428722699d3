#include "readers/bmp/BmpDecoder.h"

#include <cstring>

#include "core/bitmap/CKBitmapReader.h"
#include "includes/CKByteOrder.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ImageReaderResults.h"
#include "readers/common/ReaderDataCoverage.h"
#include "readers/common/ReaderLog.h"

namespace {

constexpr size_t kFileHeaderSize = 14;

struct BmpInfo
{
    int width = 0;
    int height = 0; // absolute
    bool topDown = false;
    int bits = 0;
    CKDWORD compression = 0;
    CKDWORD masks[3] = {};
    int tableEntries = 0;
    size_t tableOffset = 0;
    int tableEntrySize = 4;
    size_t pixelOffset = 0;
};

// Output row of source line y (lines are stored bottom-up unless topDown).
inline int OutputRow(const BmpInfo& info, int y)
{
    return info.topDown ? y : info.height - 1 - y;
}

int Fail(int code, const char* what)
{
    ReaderLogError("BMP: %s", what);
    return code;
}

int ReadHeaders(const CKBYTE* data, size_t size, BmpInfo& info)
{
    if ((size >= 1 && data[0] != 'B') || (size >= 2 && data[1] != 'M'))
        return Fail(IMAGEREADER_INVALID, "not a BMP file");
    if (size < kFileHeaderSize + 4)
        return Fail(IMAGEREADER_SHORTFILE, "file shorter than its header");
    const CKDWORD offset = LoadLE32(data + 10);
    const CKDWORD infoSize = LoadLE32(data + 14);
    // 108 and 124 are the version 4 and 5 headers that today's tools write:
    // the 40-byte header followed by the bit fields and colour-space words.
    if (infoSize != 12 && infoSize != 40 && infoSize != 64 && infoSize != 108 && infoSize != 124)
        return Fail(IMAGEREADER_INVALID, "unsupported information header");
    if (size < kFileHeaderSize + infoSize)
        return Fail(IMAGEREADER_SHORTFILE, "file shorter than its information header");
    const CKBYTE* h = data + kFileHeaderSize;
    long long width;
    long long height;
    CKDWORD colorsUsed = 0;
    if (infoSize == 12) {
        width = LoadLE16(h + 4);
        height = LoadLE16(h + 6);
        info.bits = LoadLE16(h + 10);
        info.compression = 0;
        info.tableEntrySize = 3;
    } else {
        width = (int32_t) LoadLE32(h + 4);
        height = (int32_t) LoadLE32(h + 8);
        info.bits = LoadLE16(h + 14);
        info.compression = LoadLE32(h + 16);
        colorsUsed = LoadLE32(h + 32);
        info.tableEntrySize = 4;
    }
    switch (info.bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: return Fail(IMAGEREADER_INVALID, "unsupported bit count");
    }
    const CKDWORD c = info.compression;
    const bool compressionOk = c == 0 || (c == 1 && info.bits == 8) || (c == 2 && info.bits == 4) ||
                               (c == 3 && (info.bits == 16 || info.bits == 32));
    if (!compressionOk)
        return Fail(IMAGEREADER_INVALID, "unsupported compression");
    info.topDown = height < 0;
    if (height < 0)
        height = -height;
    if (!CKIsValidImageSize(width, height))
        return Fail(IMAGEREADER_INVALID, "bad image size");
    info.width = (int) width;
    info.height = (int) height;
    if (offset > size)
        return Fail(IMAGEREADER_SHORTFILE, "pixel data offset past the end of the file");
    info.pixelOffset = offset;

    const size_t after = kFileHeaderSize + infoSize;
    if (c == 3) {
        // The bit fields follow the first 40 bytes of the header: inside
        // the larger headers, after the 40-byte one.
        const size_t fields = kFileHeaderSize + 40;
        if (size - fields < 12)
            return Fail(IMAGEREADER_SHORTFILE, "file shorter than its bit fields");
        for (int i = 0; i < 3; ++i)
            info.masks[i] = LoadLE32(data + fields + 4 * i);
        if (info.bits == 16 && ((info.masks[0] | info.masks[1] | info.masks[2]) & 0xFFFF0000u) != 0)
            return Fail(IMAGEREADER_INVALID, "bit fields wider than the pixels");
    }
    if (info.bits <= 8) {
        const int full = 1 << info.bits;
        info.tableEntries = colorsUsed != 0 && colorsUsed < (CKDWORD) full ? (int) colorsUsed : full;
        info.tableOffset = after;
        if ((size - after) / (size_t) info.tableEntrySize < (size_t) info.tableEntries)
            return Fail(IMAGEREADER_SHORTFILE, "file shorter than its colour table");
    }
    return IMAGEREADER_OK;
}

void ReadTable(const CKBYTE* data, const BmpInfo& info, CKDWORD table[256])
{
    for (int i = 0; i < 256; ++i)
        table[i] = 0;
    for (int i = 0; i < info.tableEntries; ++i) {
        const CKBYTE* e = data + info.tableOffset + (size_t) i * info.tableEntrySize;
        table[i] = 0xFF000000u | ((CKDWORD) e[2] << 16) | ((CKDWORD) e[1] << 8) | e[0];
    }
}

inline void PutPixel(CKBYTE* row, int x, CKDWORD argb)
{
    StoreLE32(row + (size_t) x * 4, argb);
}

int DecodeUncompressed(const CKBYTE* data, size_t size, const BmpInfo& info, DecodedImage& out)
{
    const size_t stride = (((size_t) info.width * info.bits + 31) / 32) * 4;
    const size_t lineBytes = ((size_t) info.width * info.bits + 7) / 8;
    if (size - info.pixelOffset < stride * (size_t) (info.height - 1) + lineBytes)
        return Fail(IMAGEREADER_SHORTFILE, "file shorter than its pixel lines");

    QxImageDesc& d = out.Desc();
    d.Width = info.width;
    d.Height = info.height;
    if (info.bits <= 8) {
        d.BitsPerPixel = 32;
        d.SetDefaultMasks();
    } else {
        d.BitsPerPixel = info.bits;
        d.SetDefaultMasks();
        if (info.compression == 3) {
            d.RedMask = info.masks[0];
            d.GreenMask = info.masks[1];
            d.BlueMask = info.masks[2];
            if (info.bits == 32 && ((info.masks[0] | info.masks[1] | info.masks[2]) & 0xFF000000u) != 0)
                d.AlphaMask = 0; // the colours use the top byte: it is no alpha
        }
    }
    d.BytesPerLine = info.width * (d.BitsPerPixel / 8);
    if (!out.AllocatePixels((size_t) d.BytesPerLine * d.Height, false))
        return Fail(IMAGEREADER_INVALID, "out of memory");

    CKDWORD table[256];
    if (info.bits <= 8)
        ReadTable(data, info, table);
    for (int y = 0; y < info.height; ++y) {
        const CKBYTE* src = data + info.pixelOffset + stride * (size_t) y;
        CKBYTE* dst = out.Pixels() + (size_t) OutputRow(info, y) * d.BytesPerLine;
        switch (info.bits) {
        case 1:
            for (int x = 0; x < info.width; ++x)
                PutPixel(dst, x, table[(src[x >> 3] >> (7 - (x & 7))) & 1]);
            break;
        case 4:
            for (int x = 0; x < info.width; ++x)
                PutPixel(dst, x, table[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF]);
            break;
        case 8:
            for (int x = 0; x < info.width; ++x)
                PutPixel(dst, x, table[src[x]]);
            break;
        default: std::memcpy(dst, src, (size_t) d.BytesPerLine); break;
        }
    }
    return IMAGEREADER_OK;
}

int DecodeRle(const CKBYTE* data, size_t size, const BmpInfo& info, DecodedImage& out)
{
    // A two-byte run gives at most 255 pixels; the end-of-line, delta and
    // end-of-bitmap codes leave pixels undescribed.
    const unsigned long long pixels = (unsigned long long) info.width * info.height;
    if (!ReaderDataMayDescribeImage("BMP", pixels * 4, pixels, (size - info.pixelOffset) / 2 * 255))
        return IMAGEREADER_SHORTFILE;
    QxImageDesc& d = out.Desc();
    d.Width = info.width;
    d.Height = info.height;
    d.BitsPerPixel = 32;
    d.SetDefaultMasks();
    d.BytesPerLine = info.width * 4;
    // Pixels a run skips (delta, early end of line or of bitmap) stay 0.
    if (!out.AllocatePixels((size_t) d.BytesPerLine * d.Height, true))
        return Fail(IMAGEREADER_INVALID, "out of memory");
    CKDWORD table[256];
    ReadTable(data, info, table);

    const bool rle4 = info.compression == 2;
    const CKBYTE* p = data + info.pixelOffset;
    const CKBYTE* end = data + size;
    int x = 0;
    int y = 0;
    auto put = [&](int index) {
        if (x < info.width && y < info.height)
            PutPixel(out.Pixels() + (size_t) OutputRow(info, y) * d.BytesPerLine, x, table[index]);
        ++x;
    };
    while (y < info.height) {
        if (end - p < 2)
            return Fail(IMAGEREADER_SHORTFILE, "run-length data end before the last line");
        const int count = p[0];
        const int value = p[1];
        p += 2;
        if (count > 0) {
            const int n = x + count > info.width ? (info.width > x ? info.width - x : 0) : count;
            for (int i = 0; i < n; ++i)
                put(rle4 ? ((i & 1) ? value & 0xF : value >> 4) : value);
            x += count - n;
            continue;
        }
        if (value == 0) // end of line
        {
            x = 0;
            ++y;
        } else if (value == 1) // end of bitmap
        {
            break;
        } else if (value == 2) // delta
        {
            if (end - p < 2)
                return Fail(IMAGEREADER_SHORTFILE, "run-length data end inside a delta");
            x += p[0];
            y += p[1];
            p += 2;
        } else // absolute run of `value` pixels, padded to a word
        {
            const size_t bytes = rle4 ? ((size_t) value + 1) / 2 : (size_t) value;
            const size_t padded = (bytes + 1) & ~(size_t) 1;
            if ((size_t) (end - p) < padded)
                return Fail(IMAGEREADER_SHORTFILE, "run-length data end inside an absolute run");
            for (int i = 0; i < value; ++i)
                put(rle4 ? ((i & 1) ? p[i >> 1] & 0xF : p[i >> 1] >> 4) : p[i]);
            p += padded;
        }
        if (x > info.width)
            x = info.width; // keeps x bounded however long the runs
    }
    return IMAGEREADER_OK;
}

} // namespace

int BmpDecode(const CKBYTE* data, size_t size, DecodedImage& out)
{
    if (!data)
        return IMAGEREADER_NULLARGUMENT;
    BmpInfo info;
    const int result = ReadHeaders(data, size, info);
    if (result != IMAGEREADER_OK)
        return result;
    if (info.compression == 1 || info.compression == 2)
        return DecodeRle(data, size, info, out);
    return DecodeUncompressed(data, size, info, out);
}
