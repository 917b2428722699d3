#include "platform/PlatformBitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

PlatformBitmap::PlatformBitmap(const PlatformBitmapInfoHeader& header, std::unique_ptr<uint8_t[]> pixels, int32_t pitch)
    : m_Header(header), m_Pixels(std::move(pixels)), m_Pitch(pitch)
{}

PlatformBitmap* PlatformCreateDibSection(const PlatformBitmapInfoHeader& header)
{
    if (header.Size != 40 || header.Planes != 1 || header.Compression != 0)
        return nullptr;
    if (header.BitCount != 24 && header.BitCount != 32)
        return nullptr;
    if (header.Width < 1 || header.Height < 1)
        return nullptr;
    const int64_t pitch = ((int64_t(header.Width) * header.BitCount + 31) / 32) * 4;
    const int64_t bytes = pitch * header.Height;
    if (bytes > INT32_MAX)
        return nullptr;
    std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[size_t(bytes)]());
    if (!pixels)
        return nullptr;
    PlatformBitmapInfoHeader stored = header;
    stored.SizeImage = uint32_t(bytes);
    return new (std::nothrow) PlatformBitmap(stored, std::move(pixels), int32_t(pitch));
}

bool PlatformGetDibSection(const PlatformBitmap* bitmap, PlatformDibSection* out)
{
    if (!bitmap || !out)
        return false;
    const PlatformBitmapInfoHeader& h = bitmap->Header();
    out->Header = h;
    out->Bitmap.Type = 0;
    out->Bitmap.Width = h.Width;
    out->Bitmap.Height = h.Height;
    out->Bitmap.WidthBytes = int32_t(((int64_t(h.Width) * h.BitCount + 15) / 16) * 2);
    out->Bitmap.Planes = 1;
    out->Bitmap.BitsPixel = h.BitCount;
    out->Bitmap.Bits = bitmap->Pixels();
    return true;
}

bool PlatformBitBlt(PlatformBitmap* dst, int32_t x, int32_t y, int32_t width, int32_t height, const PlatformBitmap* src,
                    int32_t srcX, int32_t srcY)
{
    if (!dst || !src)
        return false;
    // Clip against both bitmaps, moving both origins together.
    int64_t x0 = x, y0 = y, sx0 = srcX, sy0 = srcY, w = width, h = height;
    auto clipStart = [](int64_t& a, int64_t& b, int64_t& size) {
        const int64_t cut = std::max<int64_t>({0, -a, -b});
        a += cut;
        b += cut;
        size -= cut;
    };
    clipStart(x0, sx0, w);
    clipStart(y0, sy0, h);
    w = std::min<int64_t>({w, dst->Header().Width - x0, src->Header().Width - sx0});
    h = std::min<int64_t>({h, dst->Header().Height - y0, src->Header().Height - sy0});
    if (w <= 0 || h <= 0)
        return true;
    const int db = dst->Header().BitCount / 8;
    const int sb = src->Header().BitCount / 8;
    for (int64_t row = 0; row < h; ++row) {
        const uint8_t* s = src->Row(int32_t(sy0 + row)) + sx0 * sb;
        uint8_t* d = dst->Row(int32_t(y0 + row)) + x0 * db;
        if (db == sb) {
            std::memmove(d, s, size_t(w * db));
            continue;
        }
        for (int64_t i = 0; i < w; ++i) {
            d[i * db + 0] = s[i * sb + 0];
            d[i * db + 1] = s[i * sb + 1];
            d[i * db + 2] = s[i * sb + 2];
            if (db == 4)
                d[i * db + 3] = 0;
        }
    }
    return true;
}
