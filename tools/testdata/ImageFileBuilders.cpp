#include "tools/testdata/ImageFileBuilders.h"

#include <cstring>

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x)
{
    v.push_back((uint8_t) x);
    v.push_back((uint8_t) (x >> 8));
}

void Put32(std::vector<uint8_t>& v, uint32_t x)
{
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

void Set32(std::vector<uint8_t>& v, size_t at, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v[at + i] = (uint8_t) (x >> (8 * i));
}

// The channels of an 0xAARRGGBB colour.
const auto R = [](uint32_t c) -> uint32_t { return (c >> 16) & 0xFF; };
const auto G = [](uint32_t c) -> uint32_t { return (c >> 8) & 0xFF; };
const auto B = [](uint32_t c) -> uint32_t { return c & 0xFF; };
const auto A = [](uint32_t c) -> uint32_t { return c >> 24; };
const auto Opaque = [](uint32_t c) -> uint32_t { return c | 0xFF000000u; };

// An 8-bit value stored into a mask (its top bits kept).
uint32_t Pack(uint32_t value8, uint32_t mask)
{
    const int w = MaskBits(mask);
    return w ? ((value8 >> (8 - w)) << MaskShift(mask)) & mask : 0;
}

// The 8-bit value a mask holds back (rounded scaling).
uint32_t Unpack(uint32_t value8, uint32_t mask)
{
    const int w = MaskBits(mask);
    return w ? ScaleTo8(value8 >> (8 - w), w) : 0;
}

// The colour as 5-5-5 bits (red highest), and those bits widened back.
uint32_t To555(uint32_t c)
{
    return (R(c) >> 3) << 10 | (G(c) >> 3) << 5 | B(c) >> 3;
}

uint32_t Through555(uint32_t c)
{
    return ScaleTo8(R(c) >> 3, 5) << 16 | ScaleTo8(G(c) >> 3, 5) << 8 | ScaleTo8(B(c) >> 3, 5);
}

void PutBgr(std::vector<uint8_t>& out, uint32_t c)
{
    out.push_back((uint8_t) B(c));
    out.push_back((uint8_t) G(c));
    out.push_back((uint8_t) R(c));
}

// The image whose pixel (x, y) is colorAt(x, y).
template <class ColorAt>
RgbaImage ImageOf(int width, int height, ColorAt colorAt)
{
    RgbaImage e;
    e.width = width;
    e.height = height;
    e.pixels.resize((size_t) width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            e.pixels[(size_t) y * width + x] = colorAt(x, y);
    return e;
}

int BmpEntries(const BmpRecipe& s)
{
    if (s.bits > 8)
        return 0;
    return s.paletteEntries ? s.paletteEntries : 1 << s.bits;
}

// Run-length lines of palette indices (RLE8 bytes, or RLE4 nibbles).
// stop: pixels of the line encoded before the line is cut (-1: all).
void RleLine(std::vector<uint8_t>& out, const std::vector<int>& idx, int from, int to, bool rle4)
{
    int x = from;
    while (x < to) {
        int run = 1;
        while (x + run < to && run < 255 && idx[x + run] == idx[x])
            ++run;
        if (run >= 2) {
            out.push_back((uint8_t) run);
            out.push_back((uint8_t) (rle4 ? (idx[x] << 4 | idx[x]) : idx[x]));
            x += run;
            continue;
        }
        int n = 1;
        while (x + n < to && n < 255 && idx[x + n] != idx[x + n - 1] &&
               !(x + n + 1 < to && idx[x + n] == idx[x + n + 1]))
            ++n;
        if (n < 3) {
            for (int i = 0; i < n; ++i) {
                out.push_back(1);
                out.push_back((uint8_t) (rle4 ? idx[x + i] << 4 : idx[x + i]));
            }
        } else {
            out.push_back(0);
            out.push_back((uint8_t) n);
            size_t bytes = 0;
            if (rle4) {
                for (int i = 0; i < n; i += 2) {
                    const int hi = idx[x + i];
                    const int lo = i + 1 < n ? idx[x + i + 1] : 0;
                    out.push_back((uint8_t) (hi << 4 | lo));
                    ++bytes;
                }
            } else {
                for (int i = 0; i < n; ++i)
                    out.push_back((uint8_t) idx[x + i]);
                bytes = (size_t) n;
            }
            if (bytes & 1)
                out.push_back(0);
        }
        x += n;
    }
}

} // namespace

uint32_t PatternColor(int x, int y)
{
    const uint32_t r = (uint32_t) (x * 19 + y * 7 + 3) & 0xFF;
    const uint32_t g = (uint32_t) (x * 5 + y * 31 + 100) & 0xFF;
    const uint32_t b = (uint32_t) (x * 11 + y * 13 + 200) & 0xFF;
    const uint32_t a = (uint32_t) (255 - x * 9 - y * 3) & 0xFF;
    return a << 24 | r << 16 | g << 8 | b;
}

int PatternIndex(int x, int y, int entries)
{
    return (x * 3 + y * 5 + x / 4) % entries;
}

uint32_t PaletteColor(int i)
{
    return 0xFF000000u | (uint32_t) ((i * 37 + 11) & 0xFF) << 16 | (uint32_t) ((i * 91 + 7) & 0xFF) << 8 |
           (uint32_t) ((i * 53 + 29) & 0xFF);
}

std::vector<uint8_t> BuildBmp(const BmpRecipe& s)
{
    const int entries = BmpEntries(s);
    const bool core = s.headerSize == 12;
    std::vector<uint8_t> f;
    f.push_back('B');
    f.push_back('M');
    Put32(f, 0); // size, set at the end
    Put32(f, 0);
    Put32(f, 0); // offset, set below
    if (core) {
        Put32(f, 12);
        Put16(f, (uint32_t) s.width);
        Put16(f, (uint32_t) s.height);
        Put16(f, 1);
        Put16(f, (uint32_t) s.bits);
    } else {
        Put32(f, (uint32_t) s.headerSize);
        Put32(f, (uint32_t) s.width);
        Put32(f, (uint32_t) (s.topDown ? -s.height : s.height));
        Put16(f, 1);
        Put16(f, (uint32_t) s.bits);
        Put32(f, (uint32_t) s.compression);
        Put32(f, 0);
        Put32(f, 2835);
        Put32(f, 2835);
        Put32(f, s.paletteEntries ? (uint32_t) s.paletteEntries : 0);
        Put32(f, 0);
        if (s.headerSize >= 108) {
            // Version 4: the bit fields (alpha the bits the colours leave),
            // the colour space "sRGB", 36 bytes of end points and 12 of
            // gamma; version 5 adds the intent and an empty profile.
            const bool fields = s.compression == 3;
            for (uint32_t m : s.masks)
                Put32(f, fields ? m : 0);
            Put32(f, fields && s.bits == 32 ? ~(s.masks[0] | s.masks[1] | s.masks[2]) : 0);
            Put32(f, 0x73524742);
            f.insert(f.end(), 48, 0);
            if (s.headerSize == 124) {
                Put32(f, 4);
                Put32(f, 0);
                Put32(f, 0);
                Put32(f, 0);
            }
        } else if (s.compression == 3) {
            for (uint32_t m : s.masks)
                Put32(f, m);
        }
    }
    for (int i = 0; i < entries; ++i) {
        PutBgr(f, PaletteColor(i));
        if (!core)
            f.push_back(0);
    }
    Set32(f, 10, (uint32_t) f.size());

    const size_t stride = (((size_t) s.width * s.bits + 31) / 32) * 4;
    if (s.compression == 1 || s.compression == 2) {
        const bool rle4 = s.compression == 2;
        bool ended = false;
        for (int r = 0; r < s.height && !ended; ++r) {
            const int y = s.height - 1 - r;
            std::vector<int> idx((size_t) s.width);
            for (int x = 0; x < s.width; ++x)
                idx[(size_t) x] = PatternIndex(x, y, entries);
            if (s.rleDeltas && r == 1) {
                RleLine(f, idx, 0, 4, rle4);
                f.push_back(0);
                f.push_back(2);
                f.push_back(3); // skip 3 pixels
                f.push_back(0);
                RleLine(f, idx, 7, s.width, rle4);
            } else if (s.rleDeltas && r == 3) {
                RleLine(f, idx, 0, 5, rle4); // the rest of the line is skipped
            } else if (s.rleDeltas && r == s.height - 1) {
                f.push_back(0);
                f.push_back(1); // the last line is skipped
                ended = true;
                break;
            } else {
                RleLine(f, idx, 0, s.width, rle4);
            }
            f.push_back(0);
            f.push_back(0);
        }
        if (!ended) {
            f.push_back(0);
            f.push_back(1);
        }
    } else {
        for (int r = 0; r < s.height; ++r) {
            const int y = s.topDown ? r : s.height - 1 - r;
            std::vector<uint8_t> line(stride, 0);
            for (int x = 0; x < s.width; ++x) {
                const uint32_t c = PatternColor(x, y);
                switch (s.bits) {
                case 1: line[(size_t) x / 8] |= (uint8_t) ((PatternIndex(x, y, entries) & 1) << (7 - x % 8)); break;
                case 4: line[(size_t) x / 2] |= (uint8_t) (PatternIndex(x, y, entries) << (x % 2 ? 0 : 4)); break;
                case 8: line[(size_t) x] = (uint8_t) PatternIndex(x, y, entries); break;
                case 16: {
                    uint32_t v;
                    if (s.compression == 3)
                        v = Pack(R(c), s.masks[0]) | Pack(G(c), s.masks[1]) | Pack(B(c), s.masks[2]);
                    else
                        v = To555(c);
                    line[(size_t) x * 2] = (uint8_t) v;
                    line[(size_t) x * 2 + 1] = (uint8_t) (v >> 8);
                    break;
                }
                case 24:
                    line[(size_t) x * 3] = (uint8_t) B(c);
                    line[(size_t) x * 3 + 1] = (uint8_t) G(c);
                    line[(size_t) x * 3 + 2] = (uint8_t) R(c);
                    break;
                default: {
                    uint32_t v;
                    if (s.compression == 3)
                        v = Pack(R(c), s.masks[0]) | Pack(G(c), s.masks[1]) | Pack(B(c), s.masks[2]) |
                            Pack(A(c), ~(s.masks[0] | s.masks[1] | s.masks[2]));
                    else
                        v = c;
                    for (int i = 0; i < 4; ++i)
                        line[(size_t) x * 4 + i] = (uint8_t) (v >> (8 * i));
                    break;
                }
                }
            }
            f.insert(f.end(), line.begin(), line.end());
        }
    }
    Set32(f, 2, (uint32_t) f.size());
    return f;
}

RgbaImage ExpectedBmp(const BmpRecipe& s)
{
    const int entries = BmpEntries(s);
    RgbaImage e = ImageOf(s.width, s.height, [&](int x, int y) {
        const uint32_t c = PatternColor(x, y);
        uint32_t v;
        if (s.bits <= 8) {
            const int i = PatternIndex(x, y, entries);
            v = PaletteColor(s.bits == 1 ? i & 1 : i);
        } else if (s.bits == 16) {
            const uint32_t rm = s.compression == 3 ? s.masks[0] : 0x7C00;
            const uint32_t gm = s.compression == 3 ? s.masks[1] : 0x03E0;
            const uint32_t bm = s.compression == 3 ? s.masks[2] : 0x001F;
            v = 0xFF000000u | Unpack(R(c), rm) << 16 | Unpack(G(c), gm) << 8 | Unpack(B(c), bm);
        } else if (s.bits == 24) {
            v = Opaque(c);
        } else {
            v = c;
        }
        return v;
    });
    if (s.rleDeltas) {
        // File line 1 skips x 4..6, line 3 stops after 5 pixels, the last
        // line is never written.
        auto clear = [&](int r, int from, int to) {
            const int y = s.height - 1 - r;
            for (int x = from; x < to; ++x)
                e.pixels[(size_t) y * s.width + x] = 0;
        };
        clear(1, 4, 7);
        clear(3, 5, s.width);
        clear(s.height - 1, 0, s.width);
    }
    return e;
}

namespace {

uint32_t TgaGrey(int x, int y)
{
    return (uint32_t) (x * 17 + y * 29 + 5) & 0xFF;
}

constexpr int kTgaMapEntries = 40;

// The stored bytes of a pixel at image position (x, y).
void TgaPixel(const TgaRecipe& s, int x, int y, std::vector<uint8_t>& out)
{
    const int base = s.type & 7;
    if (base == 1) {
        const int i = s.mapFirst + PatternIndex(x, y, kTgaMapEntries);
        out.push_back((uint8_t) i);
        if (s.depth == 16)
            out.push_back((uint8_t) (i >> 8));
        return;
    }
    if (base == 3) {
        out.push_back((uint8_t) TgaGrey(x, y));
        if (s.depth == 16)
            out.push_back((uint8_t) A(PatternColor(x, y)));
        return;
    }
    const uint32_t c = PatternColor(x, y);
    switch (s.depth) {
    case 15:
    case 16: {
        uint32_t v = To555(c);
        if (s.depth == 16 && (s.descriptor & 0x0F) && A(c) >= 128)
            v |= 0x8000;
        Put16(out, v);
        break;
    }
    case 24: PutBgr(out, c); break;
    default: Put32(out, c); break;
    }
}

void TgaMapEntry(const TgaRecipe& s, int i, std::vector<uint8_t>& out)
{
    const uint32_t c = PaletteColor(i) & 0x00FFFFFFu;
    const uint32_t alpha = (uint32_t) (i * 23 + 40) & 0xFF;
    switch (s.mapEntryBits) {
    case 15:
    case 16: Put16(out, To555(c) | (s.mapEntryBits == 16 ? 0x8000 : 0)); break;
    case 24: PutBgr(out, c); break;
    default: Put32(out, alpha << 24 | c); break;
    }
}

uint32_t TgaMapColor(const TgaRecipe& s, int i)
{
    const uint32_t c = PaletteColor(i);
    switch (s.mapEntryBits) {
    case 15:
    case 16: return 0xFF000000u | Through555(c);
    case 24: return c;
    default: return ((uint32_t) (i * 23 + 40) & 0xFF) << 24 | (c & 0x00FFFFFFu);
    }
}

} // namespace

std::vector<uint8_t> BuildTga(const TgaRecipe& s)
{
    const int base = s.type & 7;
    const bool rle = s.type >= 9;
    std::vector<uint8_t> f;
    f.push_back((uint8_t) s.idLength);
    f.push_back(base == 1 ? 1 : 0);
    f.push_back((uint8_t) s.type);
    Put16(f, base == 1 ? (uint32_t) s.mapFirst : 0);
    Put16(f, base == 1 ? (uint32_t) kTgaMapEntries : 0);
    f.push_back(base == 1 ? (uint8_t) s.mapEntryBits : 0);
    Put16(f, 0);
    Put16(f, 0);
    Put16(f, (uint32_t) s.width);
    Put16(f, (uint32_t) s.height);
    f.push_back((uint8_t) s.depth);
    f.push_back((uint8_t) s.descriptor);
    for (int i = 0; i < s.idLength; ++i)
        f.push_back((uint8_t) ('A' + i % 26));
    if (base == 1)
        for (int i = 0; i < kTgaMapEntries; ++i)
            TgaMapEntry(s, s.mapFirst + i, f);

    // The pixels in stored order.
    const bool top = (s.descriptor & 0x20) != 0;
    const bool right = (s.descriptor & 0x10) != 0;
    std::vector<std::vector<uint8_t>> pixels;
    for (int r = 0; r < s.height; ++r)
        for (int c = 0; c < s.width; ++c) {
            std::vector<uint8_t> p;
            TgaPixel(s, right ? s.width - 1 - c : c, top ? r : s.height - 1 - r, p);
            pixels.push_back(p);
        }
    if (!rle) {
        for (const auto& p : pixels)
            f.insert(f.end(), p.begin(), p.end());
    } else {
        const size_t lineLength = s.rleAcrossLines ? pixels.size() : (size_t) s.width;
        for (size_t start = 0; start < pixels.size(); start += lineLength) {
            const size_t end = start + lineLength;
            size_t i = start;
            while (i < end) {
                size_t run = 1;
                while (i + run < end && run < 128 && pixels[i + run] == pixels[i])
                    ++run;
                if (run >= 2) {
                    f.push_back((uint8_t) (0x80 | (run - 1)));
                    f.insert(f.end(), pixels[i].begin(), pixels[i].end());
                    i += run;
                    continue;
                }
                size_t n = 1;
                while (i + n < end && n < 128 && !(i + n + 1 < end && pixels[i + n] == pixels[i + n + 1]))
                    ++n;
                f.push_back((uint8_t) (n - 1));
                for (size_t k = 0; k < n; ++k)
                    f.insert(f.end(), pixels[i + k].begin(), pixels[i + k].end());
                i += n;
            }
        }
    }
    if (s.footer) {
        Put32(f, 0);
        Put32(f, 0);
        const char signature[18] = "TRUEVISION-XFILE.";
        f.insert(f.end(), signature, signature + 18);
    }
    return f;
}

RgbaImage ExpectedTga(const TgaRecipe& s)
{
    const int base = s.type & 7;
    return ImageOf(s.width, s.height, [&](int x, int y) {
        const uint32_t c = PatternColor(x, y);
        uint32_t v;
        if (base == 1)
            v = TgaMapColor(s, s.mapFirst + PatternIndex(x, y, kTgaMapEntries));
        else if (base == 3)
            v = (s.depth == 16 ? A(c) << 24 : 0xFF000000u) | TgaGrey(x, y) * 0x010101u;
        else if (s.depth == 15 || s.depth == 16) {
            uint32_t alpha = 0xFF;
            if (s.depth == 16 && (s.descriptor & 0x0F))
                alpha = A(c) >= 128 ? 0xFF : 0;
            v = alpha << 24 | Through555(c);
        } else if (s.depth == 24)
            v = Opaque(c);
        else
            v = c;
        return v;
    });
}

namespace {

int PcxBits(const PcxRecipe& s)
{
    return s.bitsPerPlane * s.planes;
}

// Monochrome files keep black and white in the header palette, as most
// writers do (several readers ignore it for them).
uint32_t PcxHeaderColor(const PcxRecipe& s, int i)
{
    if (PcxBits(s) == 1 && i < 2)
        return i ? 0xFFFFFFFFu : 0xFF000000u;
    return PaletteColor(i);
}

int PcxEntries(const PcxRecipe& s)
{
    const int bits = PcxBits(s);
    if (bits == 1)
        return 2;
    if (bits == 4 || (bits == 8 && !s.vgaPalette))
        return 16;
    return 256;
}

void PcxEncodePlane(std::vector<uint8_t>& f, const std::vector<uint8_t>& line, bool rle)
{
    if (!rle) {
        f.insert(f.end(), line.begin(), line.end());
        return;
    }
    size_t i = 0;
    while (i < line.size()) {
        size_t run = 1;
        while (i + run < line.size() && run < 63 && line[i + run] == line[i])
            ++run;
        if (run > 1 || line[i] >= 0xC0) {
            f.push_back((uint8_t) (0xC0 | run));
            f.push_back(line[i]);
        } else {
            f.push_back(line[i]);
        }
        i += run;
    }
}

} // namespace

std::vector<uint8_t> BuildPcx(const PcxRecipe& s)
{
    const size_t least = ((size_t) s.width * s.bitsPerPlane + 7) / 8;
    const size_t bpl = ((least + 1) & ~(size_t) 1) + (size_t) s.extraLineBytes;
    std::vector<uint8_t> f(128, 0);
    f[0] = 10;
    f[1] = (uint8_t) s.version;
    f[2] = s.rle ? 1 : 0;
    f[3] = (uint8_t) s.bitsPerPlane;
    auto set16 = [&](size_t at, uint32_t v) {
        f[at] = (uint8_t) v;
        f[at + 1] = (uint8_t) (v >> 8);
    };
    set16(4, (uint32_t) s.xMin);
    set16(6, (uint32_t) s.yMin);
    set16(8, (uint32_t) (s.xMin + s.width - 1));
    set16(10, (uint32_t) (s.yMin + s.height - 1));
    set16(12, 72);
    set16(14, 72);
    for (int i = 0; i < 16; ++i) {
        const uint32_t c = PcxHeaderColor(s, i);
        f[16 + i * 3] = (uint8_t) R(c);
        f[17 + i * 3] = (uint8_t) G(c);
        f[18 + i * 3] = (uint8_t) B(c);
    }
    f[65] = (uint8_t) s.planes;
    set16(66, (uint32_t) bpl);
    set16(68, 1);
    const int bits = PcxBits(s);
    const int entries = PcxEntries(s);
    for (int y = 0; y < s.height; ++y)
        for (int p = 0; p < s.planes; ++p) {
            std::vector<uint8_t> line(bpl, 0);
            for (int x = 0; x < s.width; ++x) {
                const int i = PatternIndex(x, y, entries);
                const uint32_t c = PatternColor(x, y);
                if (bits == 24)
                    line[(size_t) x] = (uint8_t) (p == 0 ? R(c) : p == 1 ? G(c) : B(c));
                else if (s.bitsPerPlane == 8)
                    line[(size_t) x] = (uint8_t) i;
                else if (s.bitsPerPlane == 4)
                    line[(size_t) x / 2] |= (uint8_t) (i << (x % 2 ? 0 : 4));
                else
                    line[(size_t) x / 8] |= (uint8_t) (((i >> p) & 1) << (7 - x % 8));
            }
            PcxEncodePlane(f, line, s.rle);
        }
    if (bits == 8 && s.vgaPalette) {
        f.push_back(12);
        for (int i = 0; i < 256; ++i) {
            const uint32_t c = PaletteColor(i);
            f.push_back((uint8_t) R(c));
            f.push_back((uint8_t) G(c));
            f.push_back((uint8_t) B(c));
        }
    }
    return f;
}

RgbaImage ExpectedPcx(const PcxRecipe& s)
{
    const int entries = PcxEntries(s);
    return ImageOf(s.width, s.height, [&](int x, int y) {
        return PcxBits(s) == 24 ? Opaque(PatternColor(x, y)) : PcxHeaderColor(s, PatternIndex(x, y, entries));
    });
}

std::vector<CorpusFile> BuildBmpCorpus()
{
    std::vector<CorpusFile> out;
    auto add = [&](const std::string& name, const BmpRecipe& s, bool alpha) {
        out.push_back({name, BuildBmp(s), ExpectedBmp(s), alpha});
    };
    BmpRecipe s;
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        s = BmpRecipe();
        s.bits = bits;
        add("bmp_" + std::to_string(bits) + ".bmp", s, false);
        if (bits == 16)
            out.back().referenceBits = 5;
    }
    s = BmpRecipe();
    s.bits = 8;
    s.paletteEntries = 20;
    add("bmp_8_used20.bmp", s, false);
    for (int bits : {1, 4, 8, 24}) {
        s = BmpRecipe();
        s.bits = bits;
        s.headerSize = 12;
        add("bmp_core_" + std::to_string(bits) + ".bmp", s, false);
    }
    for (int bits : {4, 8, 24, 32}) {
        s = BmpRecipe();
        s.bits = bits;
        s.topDown = true;
        add("bmp_topdown_" + std::to_string(bits) + ".bmp", s, false);
    }
    s = BmpRecipe();
    s.bits = 16;
    s.compression = 3;
    s.masks[0] = 0xF800;
    s.masks[1] = 0x07E0;
    s.masks[2] = 0x001F;
    add("bmp_16_565.bmp", s, false);
    out.back().referenceBits = 5;
    s = BmpRecipe();
    s.bits = 32;
    s.compression = 3;
    s.masks[0] = 0x000000FF;
    s.masks[1] = 0x0000FF00;
    s.masks[2] = 0x00FF0000;
    add("bmp_32_fields.bmp", s, false);
    for (int c : {1, 2}) {
        s = BmpRecipe();
        s.bits = c == 1 ? 8 : 4;
        s.compression = c;
        s.width = 29;
        s.height = 9;
        const std::string kind = c == 1 ? "rle8" : "rle4";
        add("bmp_" + kind + ".bmp", s, false);
        s.rleDeltas = true;
        add("bmp_" + kind + "_deltas.bmp", s, false);
        out.back().referenceWrittenOnly = true;
    }
    return out;
}

std::vector<CorpusFile> BuildTgaCorpus()
{
    std::vector<CorpusFile> out;
    auto add = [&](const std::string& name, const TgaRecipe& s, bool alpha) {
        out.push_back({name, BuildTga(s), ExpectedTga(s), alpha});
    };
    const int origins[4] = {0x00, 0x20, 0x10, 0x30};
    const char* originNames[4] = {"bl", "tl", "br", "tr"};
    for (int type : {1, 2, 3, 9, 10, 11})
        for (int o = 0; o < 4; ++o) {
            TgaRecipe s;
            s.type = type;
            s.depth = (type & 7) == 2 ? 24 : 8;
            s.descriptor = origins[o];
            s.idLength = type == 9 ? 5 : 0;
            s.mapFirst = type == 9 ? 3 : 0;
            s.footer = type == 10;
            add("tga_" + std::to_string(type) + "_" + originNames[o] + ".tga", s, true);
        }
    for (int type : {1, 9})
        for (int bits : {15, 16, 24, 32}) {
            TgaRecipe s;
            s.type = type;
            s.depth = 8;
            s.mapEntryBits = bits;
            s.descriptor = 0x20;
            add("tga_" + std::to_string(type) + "_map" + std::to_string(bits) + ".tga", s, bits == 32);
            if (bits < 24)
                out.back().referenceBits = 5;
        }
    for (int type : {2, 10})
        for (int depth : {15, 16, 32}) {
            TgaRecipe s;
            s.type = type;
            s.depth = depth;
            s.descriptor = depth == 32 ? 0x08 : depth == 16 ? 0x01 : 0;
            add("tga_" + std::to_string(type) + "_d" + std::to_string(depth) + ".tga", s, depth == 32);
            if (depth < 24)
                out.back().referenceBits = 5;
        }
    TgaRecipe s;
    s.type = 10;
    s.depth = 32;
    s.descriptor = 0x28;
    s.rleAcrossLines = true;
    s.width = 37;
    add("tga_10_across_lines.tga", s, true);
    return out;
}

std::vector<CorpusFile> BuildPcxCorpus()
{
    std::vector<CorpusFile> out;
    auto add = [&](const std::string& name, const PcxRecipe& s) {
        out.push_back({name, BuildPcx(s), ExpectedPcx(s), false});
    };
    struct Kind
    {
        const char* name;
        int bitsPerPlane;
        int planes;
    };
    const Kind kinds[] = {{"1", 1, 1}, {"4planes", 1, 4}, {"4", 4, 1}, {"8", 8, 1}, {"24", 8, 3}};
    for (const Kind& k : kinds)
        for (bool rle : {true, false}) {
            PcxRecipe s;
            s.bitsPerPlane = k.bitsPerPlane;
            s.planes = k.planes;
            s.rle = rle;
            add(std::string("pcx_") + k.name + (rle ? "_rle" : "_raw") + ".pcx", s);
        }
    PcxRecipe s;
    s.bitsPerPlane = 8;
    s.vgaPalette = false;
    s.version = 3;
    add("pcx_8_header_palette.pcx", s);
    s = PcxRecipe();
    s.bitsPerPlane = 8;
    s.planes = 3;
    s.extraLineBytes = 4;
    s.xMin = 10;
    s.yMin = 20;
    add("pcx_24_window_padding.pcx", s);
    return out;
}

std::vector<uint8_t> BuildDdsHeader(int width, int height, uint32_t flags, uint32_t pitch, uint32_t pfFlags,
                                    uint32_t fourCC, uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    const uint32_t words[32] = {
        0x20534444, 124, flags, uint32_t(height), uint32_t(width), pitch, 0, 0, 0, 0, 0,      0, 0, 0, 0, 0, 0,
        0,          0,   32,    pfFlags,          fourCC,          bits,  r, g, b, a, 0x1000, 0, 0, 0, 0};
    std::vector<uint8_t> h;
    for (uint32_t w : words)
        for (int i = 0; i < 4; ++i)
            h.push_back(uint8_t(w >> (8 * i)));
    return h;
}

std::vector<uint8_t> BuildPlanarTiff(int width, int height, uint16_t photometric,
                                     const std::vector<std::vector<uint8_t>>& planes,
                                     const std::vector<uint16_t>& extraSamples)
{
    enum : uint16_t
    {
        kShort = 3,
        kLong = 4
    };
    const uint32_t n = uint32_t(planes.size()), entries = 11;
    const uint32_t arrays = 8 + 2 + entries * 12 + 4; // bits, then offsets, then counts
    const uint32_t data = arrays + 2 * n + 4 * n + 4 * n;
    std::vector<uint8_t> f = {'I', 'I', 42, 0, 8, 0, 0, 0, uint8_t(entries), 0};
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            f.push_back(uint8_t(v >> (8 * i)));
    };
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        put(tag, 2);
        put(type, 2);
        put(count, 4);
        put(value, 4);
    };
    const uint32_t extra =
        extraSamples.empty() ? 0 : extraSamples[0] | (extraSamples.size() > 1 ? uint32_t(extraSamples[1]) << 16 : 0u);
    entry(256, kLong, 1, uint32_t(width));                                  // image width
    entry(257, kLong, 1, uint32_t(height));                                 // image length
    entry(258, kShort, n, n <= 2 ? 8u | (n == 2 ? 8u << 16 : 0u) : arrays); // bits per sample
    entry(259, kShort, 1, 1);                                               // no compression
    entry(262, kShort, 1, photometric);
    entry(273, kLong, n, arrays + 2 * n);   // strip offsets
    entry(277, kShort, 1, n);               // samples per pixel
    entry(278, kLong, 1, uint32_t(height)); // rows per strip
    entry(279, kLong, n, arrays + 6 * n);   // strip byte counts
    entry(284, kShort, 1, 2);               // separate planes
    entry(338, kShort, uint32_t(extraSamples.size()), extra);
    put(0, 4);
    for (uint32_t k = 0; k < n; ++k)
        put(8, 2);
    uint32_t at = data;
    for (const std::vector<uint8_t>& plane : planes) {
        put(plane.empty() ? 0 : at, 4);
        at += uint32_t(plane.size());
    }
    for (const std::vector<uint8_t>& plane : planes)
        put(uint32_t(plane.size()), 4);
    for (const std::vector<uint8_t>& plane : planes)
        f.insert(f.end(), plane.begin(), plane.end());
    return f;
}
