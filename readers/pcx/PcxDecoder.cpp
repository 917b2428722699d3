#include "readers/pcx/PcxDecoder.h"

#include <cstring>
#include <vector>

#include "core/bitmap/CKBitmapReader.h"
#include "includes/CKByteOrder.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ImageReaderResults.h"
#include "readers/common/ReaderLog.h"

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kVgaPaletteSize = 768;

int Fail(int code, const char* what)
{
    ReaderLogError("PCX: %s", what);
    return code;
}

// Run-length decoding of the encoded lines, which may run on from one line
// into the next.
class PcxRleReader
{
public:
    PcxRleReader(const CKBYTE* data, const CKBYTE* end) : m_Data(data), m_End(end) {}

    // Fills n bytes; false when the data end first.
    bool Fill(CKBYTE* out, size_t n)
    {
        size_t i = 0;
        while (i < n) {
            if (m_Count > 0) {
                const size_t k = m_Count < n - i ? m_Count : n - i;
                std::memset(out + i, m_Value, k);
                i += k;
                m_Count -= k;
                continue;
            }
            if (m_Data >= m_End)
                return false;
            const CKBYTE b = *m_Data++;
            if ((b & 0xC0) != 0xC0) {
                out[i++] = b;
                continue;
            }
            if (m_Data >= m_End)
                return false;
            m_Count = b & 0x3F;
            m_Value = *m_Data++;
        }
        return true;
    }

private:
    const CKBYTE* m_Data;
    const CKBYTE* m_End;
    size_t m_Count = 0;
    CKBYTE m_Value = 0;
};

} // namespace

int PcxDecode(const CKBYTE* data, size_t size, DecodedImage& out)
{
    if (!data)
        return IMAGEREADER_NULLARGUMENT;
    if (size >= 1 && data[0] != 10)
        return Fail(IMAGEREADER_INVALID, "not a PCX file");
    if (size < kHeaderSize)
        return Fail(IMAGEREADER_SHORTFILE, "file shorter than its header");
    const int version = data[1];
    const bool rle = data[2] != 0;
    const int bitsPerPlane = data[3];
    const int xMin = LoadLE16(data + 4);
    const int yMin = LoadLE16(data + 6);
    const int xMax = LoadLE16(data + 8);
    const int yMax = LoadLE16(data + 10);
    const int planes = data[65];
    const size_t bytesPerLine = LoadLE16(data + 66);

    if (xMax < xMin || yMax < yMin)
        return Fail(IMAGEREADER_INVALID, "inverted window");
    const int width = xMax - xMin + 1;
    const int height = yMax - yMin + 1;
    if (!CKIsValidImageSize(width, height))
        return Fail(IMAGEREADER_INVALID, "bad image size");
    int bits;
    if (bitsPerPlane == 1 && planes == 1)
        bits = 1;
    else if ((bitsPerPlane == 1 && planes == 4) || (bitsPerPlane == 4 && planes == 1))
        bits = 4;
    else if (bitsPerPlane == 8 && planes == 1)
        bits = 8;
    else if (bitsPerPlane == 8 && planes == 3)
        bits = 24;
    else
        return Fail(IMAGEREADER_INVALID, "unsupported planes and bits");
    // Each plane's line holds width samples of bitsPerPlane bits, rounded up
    // to bytes.
    const size_t planeLineBytes = ((size_t) width * bitsPerPlane + 7) / 8;
    if (bytesPerLine < planeLineBytes)
        return Fail(IMAGEREADER_INVALID, "bytes per line too few for the width");
    const size_t scanBytes = bytesPerLine * (size_t) planes;
    const size_t encodedBytes = scanBytes * (size_t) height;
    const size_t available = size - kHeaderSize;
    if (!rle && available < encodedBytes)
        return Fail(IMAGEREADER_SHORTFILE, "file shorter than its pixels");
    // Two encoded bytes give at most 63 decoded ones.
    if (rle && (unsigned long long) available * 63 < (unsigned long long) encodedBytes * 2)
        return Fail(IMAGEREADER_SHORTFILE, "run-length data too short for the image");

    QxImageDesc& d = out.Desc();
    d.Width = width;
    d.Height = height;
    d.BitsPerPixel = bits;
    d.RedMask = 0x000000FF;
    d.GreenMask = 0x0000FF00;
    d.BlueMask = 0x00FF0000;
    d.AlphaMask = 0;
    switch (bits) {
    case 1: d.BytesPerLine = (width + 7) / 8; break;
    case 4: d.BytesPerLine = (width + 1) / 2; break;
    case 8: d.BytesPerLine = width; break;
    default: d.BytesPerLine = width * 3; break;
    }
    if (bits <= 8) {
        const int entries = bits == 8 ? 256 : 16;
        if (!out.AllocateColorMap((size_t) entries * 3))
            return Fail(IMAGEREADER_INVALID, "out of memory");
        d.BytesPerColorEntry = 3;
        d.ColorMapEntries = (CKWORD) entries;
        const bool vga = bits == 8 && version >= 5 && size >= kHeaderSize + kVgaPaletteSize + 1 &&
                         data[size - kVgaPaletteSize - 1] == 12;
        if (vga)
            std::memcpy(out.ColorMap(), data + size - kVgaPaletteSize, kVgaPaletteSize);
        else
            std::memcpy(out.ColorMap(), data + 16, 48);
        // Many monochrome files leave the header palette zero: their two
        // colours are black and white, as every other reader shows them.
        if (bits == 1 && std::memcmp(out.ColorMap(), out.ColorMap() + 3, 3) == 0) {
            std::memset(out.ColorMap(), 0, 3);
            std::memset(out.ColorMap() + 3, 0xFF, 3);
        }
    }
    if (!out.AllocatePixels((size_t) d.BytesPerLine * height, false))
        return Fail(IMAGEREADER_INVALID, "out of memory");

    std::vector<CKBYTE> scan(scanBytes);
    PcxRleReader runs(data + kHeaderSize, data + size);
    const CKBYTE* raw = data + kHeaderSize;
    for (int y = 0; y < height; ++y) {
        const CKBYTE* line;
        if (rle) {
            if (!runs.Fill(scan.data(), scanBytes))
                return Fail(IMAGEREADER_SHORTFILE, "run-length data end before the last line");
            line = scan.data();
        } else {
            line = raw + (size_t) y * scanBytes;
        }
        CKBYTE* row = out.Pixels() + (size_t) y * d.BytesPerLine;
        if (bits == 24) {
            const CKBYTE* r = line;
            const CKBYTE* g = line + bytesPerLine;
            const CKBYTE* b = line + 2 * bytesPerLine;
            for (int x = 0; x < width; ++x) {
                row[x * 3 + 0] = r[x];
                row[x * 3 + 1] = g[x];
                row[x * 3 + 2] = b[x];
            }
        } else if (bits == 4 && planes == 4) {
            std::memset(row, 0, (size_t) d.BytesPerLine);
            for (int x = 0; x < width; ++x) {
                int index = 0;
                for (int p = 0; p < 4; ++p)
                    index |= ((line[(size_t) p * bytesPerLine + (x >> 3)] >> (7 - (x & 7))) & 1) << p;
                row[x >> 1] |= (CKBYTE) ((x & 1) ? index : index << 4);
            }
        } else {
            std::memcpy(row, line, (size_t) d.BytesPerLine);
        }
    }
    return IMAGEREADER_OK;
}
