// The bitmap forms of the state chunk: raw planes (plain or coded by the
// engine's texture codec) and images encoded by a bitmap reader.

#include <bit>
#include <cstring>
#include <memory>
#include <strings.h>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/bitmap/CKBitmapReader.h"
#include "core/bitmap/CKTextureCodec.h"
#include "core/chunk/CKStateChunk.h"
#include "platform/PlatformAssert.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxImageDesc.h"
#include "system/image/QxPixelFormat.h"
#include "system/memory/QxAlignedAlloc.h"

namespace {

// Width x height in bytes for sizes a reader accepts, else -1.
long long PlaneSize(long long width, long long height)
{
    return CKIsValidImageSize(width, height) ? width * height : -1;
}

CKBYTE* PixelAt(const QxImageDesc& image, int x, int y)
{
    return image.Image + (ptrdiff_t) y * image.BytesPerLine + (ptrdiff_t) x * 4;
}

// Groups of four 32-bit pixels into one word of each of the first P planes
// (byte c of pixel i becomes byte i of plane c's word), from word `at` on.
template <int P>
void TransposeGroups(CKDWORD* const* planes, int at, const CKBYTE* pixels, int groups)
{
    CKDWORD* out[P];
    for (int c = 0; c < P; ++c)
        out[c] = planes[c] + at;
    int g = 0;
#if defined(__SSE2__)
    // Eight pixels at a time: three rounds of byte interleaving turn two
    // registers of pixels into eight bytes of each plane, a quarter of the
    // work of the shifts below on a large texture.
    for (; g + 2 <= groups; g += 2, pixels += 32) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 16));
        const __m128i t0 = _mm_unpacklo_epi8(a, b), t1 = _mm_unpackhi_epi8(a, b);
        const __m128i u0 = _mm_unpacklo_epi8(t0, t1), u1 = _mm_unpackhi_epi8(t0, t1);
        const __m128i v01 = _mm_unpacklo_epi8(u0, u1), v23 = _mm_unpackhi_epi8(u0, u1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out[0] + g), v01);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out[1] + g), _mm_unpackhi_epi64(v01, v01));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out[2] + g), v23);
        if constexpr (P == 4)
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out[3] + g), _mm_unpackhi_epi64(v23, v23));
    }
#endif
    for (; g < groups; ++g, pixels += 16) {
        CKDWORD p[4];
        std::memcpy(p, pixels, 16);
        for (int c = 0; c < P; ++c) {
            const int shift = 8 * c;
            out[c][g] = ((p[0] >> shift) & 0xFF) | ((p[1] >> shift) & 0xFF) << 8 | ((p[2] >> shift) & 0xFF) << 16 |
                        ((p[3] >> shift) & 0xFF) << 24;
        }
    }
}

// Releases a reader when it goes out of scope.
struct ReaderHolder
{
    CKBitmapReader* m_Reader = nullptr;
    ~ReaderHolder()
    {
        if (m_Reader)
            m_Reader->Release();
    }
};

// Lines without padding at their ends.
bool IsPacked(const QxImageDesc& d)
{
    return (long long) d.BytesPerLine == (long long) d.BitsPerPixel / 8 * d.Width;
}

// The same pixel layout: depth, masks and format id.
bool SameFormat(const QxImageDesc& a, const QxImageDesc& b)
{
    return a.BitsPerPixel == b.BitsPerPixel && a.Flags == b.Flags && a.RedMask == b.RedMask &&
           a.GreenMask == b.GreenMask && a.BlueMask == b.BlueMask && a.AlphaMask == b.AlphaMask &&
           a.BytesPerColorEntry == b.BytesPerColorEntry && a.ColorMapEntries == b.ColorMapEntries;
}

CKBitmapReader* FindReader(const char* extension, const CKGUID* guid)
{
    return CKFindBitmapReader(extension, guid);
}

} // namespace

void CKStateChunk::WriteRawBitmap(const QxImageDesc& image)
{
    long long plane = PlaneSize(image.Width, image.Height);
    if (!image.Image || plane < 0 || !PLATFORM_CHECK(image.BitsPerPixel == 32)) {
        WriteDword(0);
        return;
    }
    WriteDword(32);
    WriteInt(image.Width);
    WriteInt(image.Height);
    WriteDword(image.AlphaMask);
    WriteDword(image.RedMask);
    WriteDword(image.GreenMask);
    WriteDword(image.BlueMask);
    WriteDword(0); // planes stored raw

    // The planes as WriteBuffer writes each (its byte count, then its bytes
    // four to a word, least significant first), gathered in one pass over
    // the pixels straight into the chunk; without alpha a 0 word ends them.
    const int planes = image.AlphaMask ? 4 : 3;
    const int planeWords = (int) ((plane + 3) / 4);
    const int total = planes * (1 + planeWords) + (image.AlphaMask ? 0 : 1);
    CKDWORD* words = LockWriteBuffer(total); // zeroed: the padding stays 0
    if (!words)
        return;
    CKDWORD* out[4] = {};
    for (int c = 0; c < planes; ++c) {
        words[c * (1 + planeWords)] = (CKDWORD) plane;
        out[c] = words + c * (1 + planeWords) + 1;
    }
    for (int y = image.Height - 1, k = 0; y >= 0; --y) {
        const CKBYTE* pixel = PixelAt(image, 0, y);
        if constexpr (std::endian::native == std::endian::little) {
            // Byte k of a plane is byte k of its words' memory. Four pixels
            // starting on a word make one word of each plane.
            int x = 0;
            for (; x < image.Width && (k & 3); ++x, ++k, pixel += 4)
                for (int c = 0; c < planes; ++c)
                    reinterpret_cast<CKBYTE*>(out[c])[k] = pixel[c];
            const int groups = (image.Width - x) / 4;
            if (planes == 4)
                TransposeGroups<4>(out, k >> 2, pixel, groups);
            else
                TransposeGroups<3>(out, k >> 2, pixel, groups);
            x += 4 * groups;
            k += 4 * groups;
            pixel += 16 * groups;
            for (; x < image.Width; ++x, ++k, pixel += 4)
                for (int c = 0; c < planes; ++c)
                    reinterpret_cast<CKBYTE*>(out[c])[k] = pixel[c];
        } else {
            for (int x = 0; x < image.Width; ++x, ++k, pixel += 4)
                for (int c = 0; c < planes; ++c)
                    out[c][k >> 2] |= (CKDWORD) pixel[c] << ((k & 3) * 8);
        }
    }
    Skip(total);
}

CKBOOL CKStateChunk::ReadRawBitmapHeader(QxImageDesc& out)
{
    if (ReadInt() == 0)
        return FALSE;
    int width = ReadInt();
    int height = ReadInt();
    CKDWORD alpha = ReadDword();
    CKDWORD red = ReadDword();
    CKDWORD green = ReadDword();
    CKDWORD blue = ReadDword();
    if (GetReadError() != 0)
        return FALSE;
    if (PlaneSize(width, height) < 0) {
        SetReadError("a raw bitmap of an impossible size");
        return FALSE;
    }
    out = QxImageDesc();
    out.Width = width;
    out.Height = height;
    out.AlphaMask = alpha;
    out.RedMask = red;
    out.GreenMask = green;
    out.BlueMask = blue;
    out.BitsPerPixel = 32;
    out.BytesPerLine = width * 4;
    return TRUE;
}

CKBOOL CKStateChunk::ReadRawBitmap(QxImageDesc& image, CKDWORD flags)
{
    const bool allocate = (flags & CKSTATECHUNK_ALLOCATEPIXELS) != 0;
    long long plane = PlaneSize(image.Width, image.Height);
    if ((!allocate && !image.Image) || plane < 0 || image.BitsPerPixel != 32)
        return FALSE;
    int encoding = ReadInt();
    if (encoding != 0 && encoding != 1)
        return FALSE;
    // Plain planes must all be there before anything is sized by them.
    if (encoding == 0 && !LockReadBuffer((int) (3 * (1 + (plane + 3) / 4) + 1)))
        return FALSE;

    // Each plane is checked against the image's size before any pixel of
    // the image is written.
    std::vector<CKBYTE> planes((size_t) plane * 4, 0xFF);
    for (int c = 0; c < 3; ++c) {
        CKBYTE* dest = planes.data() + c * plane;
        if (encoding == 0) {
            const CKDWORD* count = LockReadBuffer(1);
            if (!count)
                return FALSE;
            if ((long long) *count != plane) {
                SetReadError("a raw bitmap plane of another size than its image");
                return FALSE;
            }
            ReadAndFillBuffer(dest, (int) plane);
            if (GetReadError() != 0)
                return FALSE;
            continue;
        }
        void* coded = nullptr;
        int size = ReadBuffer(&coded);
        CKBYTE* decoded = nullptr;
        int width = 0, height = 0;
        CKDWORD n = size > 0 ? CKTextureCodecDecode(nullptr, coded, (CKDWORD) size, &decoded, &width, &height) : 0;
        delete[] static_cast<CKBYTE*>(coded);
        bool fits = n != 0 && width == image.Width && height == image.Height;
        if (fits)
            std::memcpy(dest, decoded, (size_t) plane);
        CKReaderFree(decoded);
        if (!fits) {
            SetReadError("a coded raw bitmap plane that does not decode to its image");
            return FALSE;
        }
    }
    const CKDWORD* alphaCount = LockReadBuffer(1);
    if (!alphaCount)
        return FALSE;
    if (*alphaCount != 0 && (long long) *alphaCount != plane) {
        SetReadError("a raw bitmap alpha plane of another size than its image");
        return FALSE;
    }
    if (*alphaCount == 0)
        Skip(1);
    else
        ReadAndFillBuffer(planes.data() + 3 * plane, (int) plane);
    if (GetReadError() != 0)
        return FALSE;

    if (allocate) {
        image.BytesPerLine = image.Width * 4;
        image.Image = static_cast<CKBYTE*>(QxNewAligned((size_t) plane * 4, 16));
        if (!image.Image)
            return FALSE;
    }
    const CKBYTE* in[4] = {planes.data(), planes.data() + plane, planes.data() + 2 * plane, planes.data() + 3 * plane};
    for (int y = image.Height - 1, k = 0; y >= 0; --y)
        for (int x = 0; x < image.Width; ++x, ++k) {
            CKBYTE* pixel = PixelAt(image, x, y);
            for (int c = 0; c < 4; ++c)
                pixel[c] = in[c][k];
        }
    return TRUE;
}

void CKStateChunk::WriteReaderBitmap(const QxImageDesc& image, CKBitmapReader* reader, CKBitmapProperties* properties)
{
    if (!image.Image || !reader || !properties || PlaneSize(image.Width, image.Height) < 0) {
        WriteDword(0);
        return;
    }
    CKBOOL alphaSaved = reader->IsAlphaSaved(properties);

    QxImageDesc source = image;
    void* converted = nullptr;
    if (image.BitsPerPixel != 32 && image.Flags == 0) {
        QxImageDesc argb = QxMakeImageDesc32(image.Width, image.Height);
        converted = QxNewAligned((size_t) argb.BytesPerLine * (size_t) argb.Height, 16);
        argb.Image = static_cast<CKBYTE*>(converted);
        if (!converted || !QxDoBlit(image, argb)) {
            QxDeleteAligned(converted);
            WriteDword(0);
            return;
        }
        source = argb;
    }
    properties->m_Format = source;
    properties->m_Data = source.Image;

    void* encoded = nullptr;
    int size = reader->SaveMemory(&encoded, properties);
    if (size <= 0 || !encoded) {
        QxDeleteAligned(converted);
        WriteDword(0);
        return;
    }
    bool separateAlpha = !alphaSaved && image.AlphaMask != 0;
    WriteDword(separateAlpha ? 2 : 1);
    const char* extension = properties->m_Ext.CStr();
    WriteBufferNoSize((int) std::strlen(extension) + 1, extension);
    WriteGuid(properties->m_ReaderGuid);
    WriteBuffer(size, encoded);

    if (separateAlpha) {
        // Byte 3 of each 32-bit pixel of the image that was encoded.
        bool seen[256] = {};
        int distinct = 0;
        std::vector<CKBYTE> alpha((size_t) source.Width * (size_t) source.Height);
        for (int y = 0, k = 0; y < source.Height; ++y)
            for (int x = 0; x < source.Width; ++x, ++k) {
                CKBYTE a = PixelAt(source, x, y)[3];
                alpha[(size_t) k] = a;
                if (!seen[a]) {
                    seen[a] = true;
                    ++distinct;
                }
            }
        WriteInt(distinct);
        if (distinct == 1)
            WriteDword(alpha[0]);
        else
            WriteBuffer((int) alpha.size(), alpha.data());
    }
    reader->ReleaseMemory(encoded);
    QxDeleteAligned(converted);
}

int CKStateChunk::ReadReaderBitmap(QxImageDesc& image, CKDWORD flags)
{
    const bool allocate = (flags & CKSTATECHUNK_ALLOCATEPIXELS) != 0;
    int mode = ReadInt();
    if (mode == 0 || (!allocate && !image.Image))
        return 0;

    // The extension: its characters up to the zero, at most 68, in whole words.
    char extension[69] = {};
    int length = 0;
    for (;;) {
        const CKDWORD* word = LockReadBuffer(1);
        if (!word)
            return 0;
        CKBYTE bytes[4];
        for (int k = 0; k < 4; ++k)
            bytes[k] = (CKBYTE) (*word >> (8 * k));
        Skip(1);
        bool ended = false;
        for (CKBYTE b : bytes) {
            if (b == 0) {
                ended = true;
                break;
            }
            if (length < 68)
                extension[length++] = (char) b;
        }
        if (ended)
            break;
        if (length >= 68) {
            SetReadError("a bitmap extension without its terminator");
            return 0;
        }
    }
    CKGUID guid = ReadGuid();

    // The whole bitmap is read before it is decoded, so that the position
    // ends behind it even when it cannot be decoded.
    const CKDWORD* countWord = LockReadBuffer(1);
    if (!countWord)
        return 0;
    int count = (int) *countWord;
    if (count < 0 || !LockReadBuffer(1 + (int) (((int64_t) count + 3) / 4)))
        return 0;
    Skip(1);
    std::vector<CKBYTE> bytes((size_t) count);
    ReadBufferNoSize(count, bytes.data());
    int distinct = 0;
    CKDWORD singleAlpha = 0;
    void* alphaMap = nullptr;
    int alphaCount = 0;
    if (mode == 2) {
        distinct = ReadInt();
        if (distinct == 1)
            singleAlpha = ReadDword();
        else
            alphaCount = ReadBuffer(&alphaMap);
    }
    std::unique_ptr<CKBYTE[]> alphaOwner(static_cast<CKBYTE*>(alphaMap));
    if (GetReadError() != 0 || count == 0)
        return 0;

    ReaderHolder holder;
    holder.m_Reader = FindReader(extension, &guid);
    CKBitmapReader* reader = holder.m_Reader;
    if (!reader)
        return 0;
    if (allocate) {
        CKBitmapProperties* defaults = nullptr;
        reader->GetBitmapDefaultProperties(&defaults);
        if (defaults) {
            CKBitmapProperties wanted = *defaults;
            wanted.m_Format = image;
            wanted.m_Format.Image = nullptr;
            wanted.m_Format.ColorMap = nullptr;
            reader->SetBitmapDefaultProperties(&wanted);
        }
    }
    CKBitmapProperties* decoded = nullptr;
    // Any reader failure is 0: a reader's own code could read as success.
    if (reader->ReadMemory(bytes.data(), (CKDWORD) count, &decoded) != 0 || !decoded || !decoded->m_Data)
        return 0;
    QxImageDesc got = decoded->m_Format;
    got.Image = static_cast<CKBYTE*>(decoded->m_Data);
    if (PlaneSize(got.Width, got.Height) < 0) {
        reader->ReleaseMemory(decoded->m_Data);
        return 0;
    }
    if (allocate) {
        if (IsPacked(got) && SameFormat(got, image) && !got.ColorMap) {
            image = got;
            decoded->m_Data = nullptr; // the caller owns the pixels now
        } else {
            QxImageDesc argb = QxMakeImageDesc32(got.Width, got.Height);
            argb.Image = static_cast<CKBYTE*>(QxNewAligned((size_t) argb.BytesPerLine * (size_t) argb.Height, 16));
            if (!argb.Image || !QxDoBlit(got, argb)) {
                QxDeleteAligned(argb.Image);
                reader->ReleaseMemory(decoded->m_Data);
                return 0;
            }
            reader->ReleaseMemory(decoded->m_Data);
            image = argb;
        }
    } else {
        bool copied = image.Width == got.Width && image.Height == got.Height && QxDoBlit(got, image);
        reader->ReleaseMemory(decoded->m_Data);
        if (!copied) {
            // The caller's memory is sized for its own description.
            SetReadError("a reader bitmap that does not decode to its image");
            return 0;
        }
    }

    if (mode == 2) {
        if (distinct == 1)
            QxDoAlphaBlit(image, (CKBYTE) singleAlpha);
        else if (alphaCount == image.Width * image.Height && alphaCount > 0)
            QxDoAlphaMapBlit(image, alphaOwner.get());
    }
    return 1;
}

CKBYTE* CKStateChunk::ReadFormatNamedBitmap(QxImageDesc& image)
{
    ReadInt();
    void* buffer = nullptr;
    int count = ReadBuffer(&buffer);
    std::unique_ptr<CKBYTE[]> owner(static_cast<CKBYTE*>(buffer));
    if (count <= 0)
        return nullptr;
    struct Name
    {
        const char* Tag;
        const char* Extension;
    };
    static const Name names[] = {{"CKTGA", "Tga"}, {"CKJPG", "Jpg"}, {"CKDIB", "Bmp"}, {"CKBMP", "Bmp"},
                                 {"CKTIF", "Tif"}, {"CKGIF", "Gif"}, {"CKPCX", "Pcx"}};
    const CKBYTE* bytes = owner.get();
    const char* extension = "Tga";
    int skip = 0;
    if (count >= 5)
        for (const Name& name : names)
            if (strncasecmp(reinterpret_cast<const char*>(bytes), name.Tag, 5) == 0) {
                extension = name.Extension;
                skip = 5;
                break;
            }
    ReaderHolder holder;
    holder.m_Reader = FindReader(extension, nullptr);
    CKBitmapReader* reader = holder.m_Reader;
    CKBitmapProperties* decoded = nullptr;
    if (!reader || reader->ReadMemory(bytes + skip, (CKDWORD) (count - skip), &decoded) != 0 || !decoded ||
        !decoded->m_Data)
        return nullptr;
    QxImageDesc got = decoded->m_Format;
    got.Image = static_cast<CKBYTE*>(decoded->m_Data);
    if (PlaneSize(got.Width, got.Height) < 0) {
        reader->ReleaseMemory(decoded->m_Data);
        return nullptr;
    }
    // A colour map stays with the reader, which is released here: hand out
    // 32-bit pixels of their own.
    QxImageDesc argb = QxMakeImageDesc32(got.Width, got.Height);
    if (IsPacked(got) && SameFormat(got, argb) && !got.ColorMap) {
        decoded->m_Data = nullptr;
        argb.Image = got.Image;
    } else {
        argb.Image = static_cast<CKBYTE*>(QxNewAligned((size_t) argb.BytesPerLine * (size_t) argb.Height, 16));
        if (argb.Image && !QxDoBlit(got, argb)) {
            QxDeleteAligned(argb.Image);
            argb.Image = nullptr;
        }
        reader->ReleaseMemory(decoded->m_Data);
    }
    if (argb.Image)
        image = argb;
    return argb.Image;
}
