#include "tools/testdata/RgbaImage.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

uint32_t ScaleTo8(uint32_t value, int bits)
{
    if (bits <= 0)
        return 0;
    if (bits >= 8)
        return value >> (bits - 8);
    // Repeat the value's bits from the top down, as most decoders do.
    uint32_t out = 0;
    for (int shift = 8 - bits; shift > -bits; shift -= bits)
        out |= shift >= 0 ? value << shift : value >> -shift;
    return out & 0xFF;
}

int MaskShift(uint32_t mask)
{
    int n = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++n;
    }
    return n;
}

int MaskBits(uint32_t mask)
{
    int n = 0;
    for (; mask; mask &= mask - 1)
        ++n;
    return n;
}

static uint32_t Channel(uint32_t pixel, uint32_t mask)
{
    if (!mask)
        return 0;
    return ScaleTo8((pixel & mask) >> MaskShift(mask), MaskBits(mask));
}

static uint32_t Compose(uint32_t raw, const QxImageDesc& d, bool alphaFromMask)
{
    const uint32_t a = alphaFromMask && d.AlphaMask ? Channel(raw, d.AlphaMask) : 0xFF;
    return (a << 24) | (Channel(raw, d.RedMask) << 16) | (Channel(raw, d.GreenMask) << 8) | Channel(raw, d.BlueMask);
}

RgbaImage ToRgba(const QxImageDesc& d, const void* pixels)
{
    RgbaImage out;
    out.width = d.Width;
    out.height = d.Height;
    out.pixels.resize((size_t) d.Width * d.Height);
    const uint8_t* base = static_cast<const uint8_t*>(pixels);
    if (d.BitsPerPixel == 32 && d.BytesPerColorEntry == 0 && d.RedMask == 0xFF && d.GreenMask == 0xFF00 &&
        d.BlueMask == 0xFF0000 && d.AlphaMask == 0xFF000000u) {
        // Bytes R, G, B, A: the common case of big images, kept quick.
        for (int y = 0; y < d.Height; ++y) {
            const uint8_t* line = base + (ptrdiff_t) y * d.BytesPerLine;
            for (int x = 0; x < d.Width; ++x, line += 4)
                out.pixels[(size_t) y * d.Width + x] =
                    (uint32_t) line[3] << 24 | (uint32_t) line[0] << 16 | (uint32_t) line[1] << 8 | line[2];
        }
        return out;
    }
    for (int y = 0; y < d.Height; ++y) {
        const uint8_t* line = base + (ptrdiff_t) y * d.BytesPerLine;
        for (int x = 0; x < d.Width; ++x) {
            uint32_t value = 0;
            if (d.BitsPerPixel < 8) {
                const int perByte = 8 / d.BitsPerPixel;
                const int shift = 8 - d.BitsPerPixel * (x % perByte + 1);
                value = (line[x / perByte] >> shift) & ((1u << d.BitsPerPixel) - 1);
            } else {
                const int bytes = d.BitsPerPixel / 8;
                for (int b = 0; b < bytes; ++b)
                    value |= (uint32_t) line[(size_t) x * bytes + b] << (8 * b);
            }
            uint32_t argb;
            if (d.BytesPerColorEntry != 0) {
                uint32_t entry = 0;
                if (value < d.ColorMapEntries)
                    for (int b = 0; b < d.BytesPerColorEntry; ++b)
                        entry |= (uint32_t) d.ColorMap[value * d.BytesPerColorEntry + b] << (8 * b);
                argb = Compose(entry, d, false);
            } else {
                argb = Compose(value, d, true);
            }
            out.pixels[(size_t) y * d.Width + x] = argb;
        }
    }
    return out;
}

std::string DescribeDifference(const RgbaImage& a, const RgbaImage& e, bool alphaToo)
{
    std::ostringstream s;
    if (a.width != e.width || a.height != e.height) {
        s << "size " << a.width << "x" << a.height << " instead of " << e.width << "x" << e.height;
        return s.str();
    }
    const uint32_t mask = alphaToo ? 0xFFFFFFFFu : 0x00FFFFFFu;
    int count = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if ((a.At(x, y) & mask) != (e.At(x, y) & mask)) {
                if (count++ == 0) {
                    char text[96];
                    std::snprintf(text, sizeof(text), "pixel (%d, %d) is %08X instead of %08X", x, y, a.At(x, y),
                                  e.At(x, y));
                    s << text;
                }
            }
    if (count > 1)
        s << " (" << count << " pixels differ)";
    return s.str();
}

static bool ReadToken(std::istream& in, std::string& token)
{
    token.clear();
    char c;
    while (in.get(c)) {
        if (c == '#') {
            std::string rest;
            std::getline(in, rest);
            continue;
        }
        if (std::isspace((unsigned char) c)) {
            if (!token.empty())
                return true;
            continue;
        }
        token += c;
    }
    return !token.empty();
}

bool LoadPam(const std::string& path, RgbaImage& image)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string token;
    if (!ReadToken(in, token) || token != "P7")
        return false;
    int width = 0, height = 0, depth = 0, maxval = 0;
    std::string tuple;
    while (ReadToken(in, token) && token != "ENDHDR") {
        std::string value;
        if (!ReadToken(in, value))
            return false;
        if (token == "WIDTH")
            width = std::stoi(value);
        else if (token == "HEIGHT")
            height = std::stoi(value);
        else if (token == "DEPTH")
            depth = std::stoi(value);
        else if (token == "MAXVAL")
            maxval = std::stoi(value);
        else if (token == "TUPLTYPE")
            tuple = value;
    }
    if (width <= 0 || height <= 0 || maxval != 255 || depth < 1 || depth > 4)
        return false;
    std::vector<uint8_t> data((size_t) width * height * depth);
    if (!in.read(reinterpret_cast<char*>(data.data()), (std::streamsize) data.size()))
        return false;
    image.width = width;
    image.height = height;
    image.pixels.resize((size_t) width * height);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint8_t* p = &data[i * depth];
        // Grey tuples (depth 1 or 2) repeat their one channel.
        const bool grey = depth < 3;
        const uint32_t a = depth == 4 ? p[3] : depth == 2 ? p[1] : 0xFF;
        const uint32_t r = p[0];
        const uint32_t g = grey ? p[0] : p[1];
        const uint32_t b = grey ? p[0] : p[2];
        image.pixels[i] = (a << 24) | (r << 16) | (g << 8) | b;
    }
    return true;
}

bool LoadPnm(const std::string& path, RgbaImage& image)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic, w, h, maxval;
    if (!ReadToken(in, magic) || !ReadToken(in, w) || !ReadToken(in, h) || !ReadToken(in, maxval))
        return false;
    if ((magic != "P5" && magic != "P6") || maxval != "255")
        return false;
    const int channels = magic == "P6" ? 3 : 1;
    image.width = std::stoi(w);
    image.height = std::stoi(h);
    std::vector<uint8_t> data((size_t) image.width * image.height * channels);
    if (!in.read(reinterpret_cast<char*>(data.data()), (std::streamsize) data.size()))
        return false;
    image.pixels.resize((size_t) image.width * image.height);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint8_t* p = &data[i * channels];
        const uint32_t g = channels == 3 ? p[1] : p[0];
        const uint32_t b = channels == 3 ? p[2] : p[0];
        image.pixels[i] = 0xFF000000u | (uint32_t) p[0] << 16 | g << 8 | b;
    }
    return true;
}

bool SavePam(const std::string& path, const RgbaImage& image)
{
    std::ofstream out(path, std::ios::binary);
    out << "P7\nWIDTH " << image.width << "\nHEIGHT " << image.height
        << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (uint32_t p : image.pixels) {
        const char rgba[4] = {(char) (p >> 16), (char) (p >> 8), (char) p, (char) (p >> 24)};
        out.write(rgba, 4);
    }
    return (bool) out;
}

std::vector<uint8_t> LoadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SaveFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize) bytes.size());
    return (bool) out;
}
