#include "readers/tga/TgaDecoder.h"

#include <cstring>
#include <vector>

#include "core/bitmap/CKBitmapReader.h"
#include "includes/CKByteOrder.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ImageReaderResults.h"
#include "readers/common/ReaderLog.h"

namespace {

constexpr size_t kHeaderSize = 18;
constexpr size_t kFooterSize = 26;
constexpr char kFooterSignature[18] = "TRUEVISION-XFILE."; // with its terminating zero

int Fail(int code, const char* what)
{
    ReaderLogError("TGA: %s", what);
    return code;
}

// 5 bits to 8 by repeating the top bits.
inline CKBYTE Expand5(unsigned v)
{
    return (CKBYTE) ((v << 3) | (v >> 2));
}

// A 15- or 16-bit colour-map entry or grey value as 32-bit ARGB.
CKDWORD MapEntry(const CKBYTE* e, int bits)
{
    switch (bits) {
    case 15:
    case 16: {
        const unsigned v = LoadLE16(e);
        return 0xFF000000u | ((CKDWORD) Expand5((v >> 10) & 31) << 16) | ((CKDWORD) Expand5((v >> 5) & 31) << 8) |
               Expand5(v & 31);
    }
    case 24: return 0xFF000000u | ((CKDWORD) e[2] << 16) | ((CKDWORD) e[1] << 8) | e[0];
    default: return LoadLE32(e);
    }
}

struct TgaLayout
{
    int width = 0;
    int height = 0;
    int base = 0; // 1, 2 or 3
    bool rle = false;
    int depth = 0; // bits per stored pixel
    int pixelBytes = 0;
    bool topDown = false;
    bool rightToLeft = false;
    int outBytes = 0; // bytes per output pixel
    int mapFirst = 0;
    std::vector<CKDWORD> map; // colour map as ARGB
};

// Writes one stored pixel as its output pixel.
inline void Convert(const TgaLayout& t, const CKBYTE* s, CKBYTE* d)
{
    switch (t.base) {
    case 1: {
        const int index = (t.pixelBytes == 1 ? s[0] : LoadLE16(s)) - t.mapFirst;
        StoreLE32(d, index >= 0 && index < (int) t.map.size() ? t.map[(size_t) index] : 0);
        break;
    }
    case 3: {
        const CKDWORD alpha = t.pixelBytes == 2 ? s[1] : 0xFF;
        StoreLE32(d, (alpha << 24) | ((CKDWORD) s[0] * 0x010101u));
        break;
    }
    default: std::memcpy(d, s, (size_t) t.outBytes); break;
    }
}

void CheckFooter(const CKBYTE* data, size_t size, size_t imageStart)
{
    if (size < imageStart + kFooterSize || std::memcmp(data + size - 18, kFooterSignature, 18) != 0)
        return;
    // A TGA 2.0 file: its extension and developer areas lie before the
    // footer. Nothing here needs them; offsets outside the file are ignored.
    const size_t footer = size - kFooterSize;
    const CKDWORD extension = LoadLE32(data + footer);
    const CKDWORD developer = LoadLE32(data + footer + 4);
    if (extension != 0 && (extension < kHeaderSize || extension > footer || footer - extension < 2))
        ReaderLogError("TGA: extension area offset outside the file ignored");
    if (developer != 0 && (developer < kHeaderSize || developer > footer))
        ReaderLogError("TGA: developer area offset outside the file ignored");
}

} // namespace

int TgaDecode(const CKBYTE* data, size_t size, DecodedImage& out)
{
    if (!data)
        return IMAGEREADER_NULLARGUMENT;
    if (size < kHeaderSize)
        return Fail(IMAGEREADER_SHORTFILE, "file shorter than its header");
    const int idLength = data[0];
    const int mapType = data[1];
    const int type = data[2];
    const int mapFirst = LoadLE16(data + 3);
    const int mapLength = LoadLE16(data + 5);
    const int mapBits = data[7];
    TgaLayout t;
    t.width = LoadLE16(data + 12);
    t.height = LoadLE16(data + 14);
    t.depth = data[16];
    const int descriptor = data[17];

    if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11)
        return Fail(IMAGEREADER_INVALID, "unsupported image type");
    t.base = type & 7;
    t.rle = type >= 9;
    if (mapType > 1)
        return Fail(IMAGEREADER_INVALID, "unknown colour-map type");
    bool depthOk;
    switch (t.base) {
    case 1: depthOk = (t.depth == 8 || t.depth == 16) && mapType == 1; break;
    case 2: depthOk = t.depth == 15 || t.depth == 16 || t.depth == 24 || t.depth == 32; break;
    default: depthOk = t.depth == 8 || t.depth == 16; break;
    }
    if (!depthOk)
        return Fail(IMAGEREADER_INVALID, "unsupported pixel depth");
    if (mapType == 1 && mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32)
        return Fail(IMAGEREADER_INVALID, "unsupported colour-map entry size");
    if (!CKIsValidImageSize(t.width, t.height))
        return Fail(IMAGEREADER_INVALID, "bad image size");
    t.pixelBytes = (t.depth + 7) / 8;
    t.topDown = (descriptor & 0x20) != 0;
    t.rightToLeft = (descriptor & 0x10) != 0;

    const size_t mapStart = kHeaderSize + (size_t) idLength;
    const size_t mapBytes = mapType == 1 ? (size_t) mapLength * (size_t) ((mapBits + 7) / 8) : 0;
    if (size < mapStart + mapBytes)
        return Fail(IMAGEREADER_SHORTFILE, "file shorter than its colour map");
    if (t.base == 1) {
        t.mapFirst = mapFirst;
        t.map.resize((size_t) mapLength);
        const int entryBytes = (mapBits + 7) / 8;
        for (int i = 0; i < mapLength; ++i)
            t.map[(size_t) i] = MapEntry(data + mapStart + (size_t) i * entryBytes, mapBits);
    }
    const size_t imageStart = mapStart + mapBytes;
    CheckFooter(data, size, imageStart);

    const size_t pixelCount = (size_t) t.width * (size_t) t.height;
    const size_t available = size - imageStart;
    if (!t.rle && available / (size_t) t.pixelBytes < pixelCount)
        return Fail(IMAGEREADER_SHORTFILE, "file shorter than its pixels");
    // A packet of one header byte and one pixel gives at most 128 pixels.
    if (t.rle && available / (size_t) (t.pixelBytes + 1) < (pixelCount + 127) / 128)
        return Fail(IMAGEREADER_SHORTFILE, "run-length data too short for the image");

    QxImageDesc& d = out.Desc();
    d.Width = t.width;
    d.Height = t.height;
    if (t.base == 2) {
        d.BitsPerPixel = t.depth == 15 ? 16 : t.depth;
        d.SetDefaultMasks();
        if (t.depth == 16 && (descriptor & 0x0F) != 0)
            d.AlphaMask = 0x8000;
    } else {
        d.BitsPerPixel = 32;
        d.SetDefaultMasks();
    }
    t.outBytes = d.BitsPerPixel / 8;
    d.BytesPerLine = t.width * t.outBytes;
    if (!out.AllocatePixels((size_t) d.BytesPerLine * t.height, false))
        return Fail(IMAGEREADER_INVALID, "out of memory");

    const CKBYTE* src = data + imageStart;
    const CKBYTE* end = data + size;
    auto rowOf = [&](int r) { return out.Pixels() + (size_t) (t.topDown ? r : t.height - 1 - r) * d.BytesPerLine; };
    auto columnOf = [&](int c) { return (size_t) (t.rightToLeft ? t.width - 1 - c : c) * t.outBytes; };

    if (!t.rle) {
        const size_t lineBytes = (size_t) t.width * t.pixelBytes;
        const bool straight = t.base == 2 && !t.rightToLeft;
        for (int r = 0; r < t.height; ++r) {
            const CKBYTE* line = src + (size_t) r * lineBytes;
            CKBYTE* row = rowOf(r);
            if (straight) {
                std::memcpy(row, line, lineBytes);
                continue;
            }
            for (int c = 0; c < t.width; ++c)
                Convert(t, line + (size_t) c * t.pixelBytes, row + columnOf(c));
        }
        return IMAGEREADER_OK;
    }

    const bool straight = t.base == 2 && !t.rightToLeft;
    int r = 0;
    int c = 0;
    CKBYTE* row = rowOf(0);
    size_t done = 0;
    while (done < pixelCount) {
        if (src >= end)
            return Fail(IMAGEREADER_SHORTFILE, "run-length data end before the last pixel");
        const int header = *src++;
        const size_t count = (size_t) (header & 0x7F) + 1;
        const bool repeat = (header & 0x80) != 0;
        const size_t needed = (repeat ? 1 : count) * (size_t) t.pixelBytes;
        if ((size_t) (end - src) < needed)
            return Fail(IMAGEREADER_SHORTFILE, "run-length data end inside a packet");
        // A packet may run past the end of a line, not past the image.
        size_t left = count < pixelCount - done ? count : pixelCount - done;
        done += left;
        const CKBYTE* s = src;
        while (left > 0) {
            const size_t span = left < (size_t) (t.width - c) ? left : (size_t) (t.width - c);
            if (straight && !repeat) {
                std::memcpy(row + (size_t) c * t.outBytes, s, span * t.outBytes);
                s += span * t.pixelBytes;
            } else if (straight) {
                CKBYTE* d = row + (size_t) c * t.outBytes;
                for (size_t i = 0; i < span; ++i, d += t.outBytes)
                    std::memcpy(d, s, (size_t) t.outBytes);
            } else {
                for (size_t i = 0; i < span; ++i) {
                    Convert(t, s, row + columnOf(c + (int) i));
                    if (!repeat)
                        s += t.pixelBytes;
                }
            }
            left -= span;
            c += (int) span;
            if (c == t.width) {
                c = 0;
                if (++r < t.height)
                    row = rowOf(r);
            }
        }
        src += needed;
    }
    return IMAGEREADER_OK;
}
