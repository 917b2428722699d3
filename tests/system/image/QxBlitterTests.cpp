#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "system/image/QxBlitter.h"
#include "system/image/QxImageDesc.h"
#include "system/image/QxPixelFormat.h"

// The blitter against a reference converter written from the rules alone:
// every channel keeps its top bits when narrowed; a widened colour channel
// gets zero low bits and a widened alpha its own bits repeated (so that
// opaque stays opaque); a channel missing in the source gives 0 (alpha: opaque), equal
// formats and ARGB 8888 to 32-bit RGB 888 copy the pixels unchanged, and
// paletted sources read their entry (entry 0 past the palette) as a pixel.

namespace {

struct TestFormat
{
    std::string Name;
    int Bits;
    CKDWORD Masks[4]; // red, green, blue, alpha (of the entries for paletted ones)
    int EntryBytes;   // 0 for true colour
    int Entries;
};

// The ids 1..18 as listed: depth, red, green, blue, alpha.
const CKDWORD kListed[19][5] = {
    {0, 0, 0, 0, 0},
    {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
    {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0},
    {24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0},
    {16, 0xF800, 0x07E0, 0x001F, 0},
    {16, 0x7C00, 0x03E0, 0x001F, 0},
    {16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {16, 0x0F00, 0x00F0, 0x000F, 0xF000},
    {8, 0xE0, 0x1C, 0x03, 0},
    {8, 0x30, 0x0C, 0x03, 0xC0},
    {32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
    {32, 0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF},
    {32, 0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF},
    {32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0},
    {24, 0x000000FF, 0x0000FF00, 0x00FF0000, 0},
    {16, 0x001F, 0x07E0, 0xF800, 0},
    {16, 0x001F, 0x03E0, 0x7C00, 0},
    {16, 0x001F, 0x03E0, 0x7C00, 0x8000},
    {16, 0x000F, 0x00F0, 0x0F00, 0xF000},
};

int ListedId(const TestFormat& f)
{
    for (int id = 1; id <= 18; ++id) {
        if (kListed[id][0] == CKDWORD(f.Bits) && kListed[id][1] == f.Masks[0] && kListed[id][2] == f.Masks[1] &&
            kListed[id][3] == f.Masks[2] && kListed[id][4] == f.Masks[3])
            return id;
    }
    return 0;
}

std::vector<TestFormat> TrueColourFormats()
{
    std::vector<TestFormat> formats;
    for (int id = 1; id <= 18; ++id)
        formats.push_back({"id" + std::to_string(id),
                           int(kListed[id][0]),
                           {kListed[id][1], kListed[id][2], kListed[id][3], kListed[id][4]},
                           0,
                           0});
    formats.push_back({"gbr24", 24, {0x0000FF00, 0x00FF0000, 0x000000FF, 0}, 0, 0});
    formats.push_back({"a2r10g10b10", 32, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}, 0, 0});
    formats.push_back({"gbar32", 32, {0x0000FF00, 0x000000FF, 0xFF000000, 0x00FF0000}, 0, 0});
    formats.push_back({"rb32", 32, {0x00FF0000, 0, 0x000000FF, 0}, 0, 0}); // no green
    return formats;
}

std::vector<TestFormat> PalettedFormats()
{
    const CKDWORD argb[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    const CKDWORD bgr[4] = {0x000000FF, 0x0000FF00, 0x00FF0000, 0};
    std::vector<TestFormat> formats;
    formats.push_back({"pal1x4", 1, {argb[0], argb[1], argb[2], argb[3]}, 4, 2});
    formats.push_back({"pal1x3", 1, {bgr[0], bgr[1], bgr[2], bgr[3]}, 3, 1});
    formats.push_back({"pal2x3", 2, {bgr[0], bgr[1], bgr[2], bgr[3]}, 3, 3});
    formats.push_back({"pal4x4", 4, {argb[0], argb[1], argb[2], argb[3]}, 4, 11});
    formats.push_back({"pal4x3", 4, {bgr[0], bgr[1], bgr[2], bgr[3]}, 3, 16});
    formats.push_back({"pal8x4", 8, {argb[0], argb[1], argb[2], argb[3]}, 4, 256});
    formats.push_back({"pal8x3", 8, {bgr[0], bgr[1], bgr[2], bgr[3]}, 3, 200});
    return formats;
}

int LowBit(CKDWORD m)
{
    int i = 0;
    while (!((m >> i) & 1))
        ++i;
    return i;
}

int RunLength(CKDWORD m)
{
    int lo = LowBit(m);
    int n = 0;
    while (lo + n < 32 && ((m >> (lo + n)) & 1))
        ++n;
    return n;
}

// One channel moved between two contiguous masks; a widened one gets zero
// low bits, or with repeat its own bits again and again (alpha).
CKDWORD RefChannel(CKDWORD p, CKDWORD srcMask, CKDWORD dstMask, bool repeat = false)
{
    if (!srcMask || !dstMask)
        return 0;
    const int ls = LowBit(srcMask), ws = RunLength(srcMask);
    const int ld = LowBit(dstMask), wd = RunLength(dstMask);
    const uint64_t bits = (uint64_t(p) >> ls) & ((uint64_t(1) << ws) - 1);
    uint64_t v = 0;
    if (wd <= ws)
        v = bits >> (ws - wd);
    else if (!repeat)
        v = bits << (wd - ws);
    else
        for (int top = wd; top > 0; top -= ws)
            v |= top >= ws ? bits << (top - ws) : bits >> (ws - top);
    return CKDWORD((v << ld) & dstMask);
}

CKDWORD RefConvert(CKDWORD p, const CKDWORD* sm, const CKDWORD* dm)
{
    CKDWORD o = RefChannel(p, sm[0], dm[0]) | RefChannel(p, sm[1], dm[1]) | RefChannel(p, sm[2], dm[2]);
    o |= sm[3] ? RefChannel(p, sm[3], dm[3], true) : dm[3];
    return o;
}

CKDWORD ReadLE(const CKBYTE* p, int n)
{
    CKDWORD v = 0;
    for (int i = 0; i < n; ++i)
        v |= CKDWORD(p[i]) << (8 * i);
    return v;
}

bool RefSupported(const TestFormat& s, const TestFormat& d)
{
    if (d.EntryBytes)
        return false;
    return s.EntryBytes ? d.Bits / 8 == 4 : true;
}

// An image with its own buffer: random pitch (sometimes negative), random
// bytes everywhere, padding included.
struct TestImage
{
    TestFormat Format;
    int Width = 0, Height = 0, Pitch = 0, LineBytes = 0;
    std::vector<CKBYTE> Buffer;
    std::vector<CKBYTE> Palette;
    size_t FirstLine = 0;

    QxImageDesc Desc()
    {
        QxImageDesc d;
        d.Width = Width;
        d.Height = Height;
        d.BytesPerLine = Pitch;
        d.BitsPerPixel = Format.Bits;
        d.RedMask = Format.Masks[0];
        d.GreenMask = Format.Masks[1];
        d.BlueMask = Format.Masks[2];
        d.AlphaMask = Format.Masks[3];
        d.BytesPerColorEntry = CKWORD(Format.EntryBytes);
        d.ColorMapEntries = CKWORD(Format.Entries);
        d.ColorMap = Palette.empty() ? nullptr : Palette.data();
        d.Image = Buffer.data() + FirstLine;
        return d;
    }
    const CKBYTE* Line(int y) const { return Buffer.data() + FirstLine + ptrdiff_t(y) * Pitch; }
};

TestImage MakeImage(const TestFormat& f, int w, int h, std::mt19937& rng, bool allowNegativePitch)
{
    TestImage img;
    img.Format = f;
    img.Width = w;
    img.Height = h;
    img.LineBytes = int((int64_t(w) * f.Bits + 7) / 8);
    const int pitch = img.LineBytes + int(rng() % 9);
    const bool negative = allowNegativePitch && rng() % 4 == 0;
    img.Pitch = negative ? -pitch : pitch;
    img.Buffer.resize(size_t(h - 1) * pitch + img.LineBytes);
    for (auto& b : img.Buffer)
        b = CKBYTE(rng());
    img.FirstLine = negative ? size_t(h - 1) * pitch : 0;
    if (f.EntryBytes) {
        img.Palette.resize(size_t(f.Entries) * f.EntryBytes);
        for (auto& b : img.Palette)
            b = CKBYTE(rng());
    }
    return img;
}

CKDWORD RefSourcePixel(const TestImage& img, int x, int y)
{
    const CKBYTE* line = img.Line(y);
    const TestFormat& f = img.Format;
    if (!f.EntryBytes)
        return ReadLE(line + x * (f.Bits / 8), f.Bits / 8);
    // Depths below 8 read a big-endian bit stream.
    const int bit = x * f.Bits;
    int index = (line[bit / 8] >> (8 - f.Bits - bit % 8)) & ((1 << f.Bits) - 1);
    if (index >= f.Entries)
        index = 0;
    return ReadLE(img.Palette.data() + index * f.EntryBytes, f.EntryBytes);
}

// The expected destination bytes of one pixel.
CKDWORD RefDestPixel(const TestImage& src, const TestFormat& d, int x, int y)
{
    const TestFormat& s = src.Format;
    const CKDWORD p = RefSourcePixel(src, x, y);
    const int sid = s.EntryBytes ? 0 : ListedId(s);
    const int did = ListedId(d);
    if (sid && sid == did)
        return p;
    if (sid == 1 && did == 2)
        return p;
    return RefConvert(p, s.Masks, d.Masks);
}

void CheckBlit(const TestFormat& sf, const TestFormat& df, int w, int h, bool upsideDown, std::mt19937& rng)
{
    TestImage src = MakeImage(sf, w, h, rng, true);
    TestImage dst = MakeImage(df, w, h, rng, true);
    const std::vector<CKBYTE> before = dst.Buffer;
    const std::vector<CKBYTE> srcBefore = src.Buffer;
    const bool ok = upsideDown ? QxDoBlitUpsideDown(src.Desc(), dst.Desc()) : QxDoBlit(src.Desc(), dst.Desc());
    const std::string what = sf.Name + " -> " + df.Name + (upsideDown ? " upside down" : "") + " " + std::to_string(w) +
                             "x" + std::to_string(h);
    ASSERT_EQ(src.Buffer, srcBefore) << what << ": the source must not change";
    if (!RefSupported(sf, df)) {
        EXPECT_FALSE(ok) << what;
        EXPECT_EQ(dst.Buffer, before) << what;
        return;
    }
    ASSERT_TRUE(ok) << what;
    const int db = df.Bits / 8;
    int mismatches = 0;
    for (int y = 0; y < h && mismatches < 5; ++y) {
        const int sy = upsideDown ? h - 1 - y : y;
        const CKBYTE* out = dst.Line(y);
        for (int x = 0; x < w && mismatches < 5; ++x) {
            const CKDWORD want = RefDestPixel(src, df, x, sy) & (db == 4 ? 0xFFFFFFFFu : ((1u << (8 * db)) - 1));
            const CKDWORD got = ReadLE(out + x * db, db);
            if (want != got) {
                ++mismatches;
                ADD_FAILURE() << what << " at " << x << "," << y << ": got 0x" << std::hex << got << " want 0x" << want;
            }
        }
    }
    // Bytes between lines are never written.
    const size_t pitch = size_t(dst.Pitch < 0 ? -dst.Pitch : dst.Pitch);
    for (size_t i = 0; i < dst.Buffer.size(); ++i) {
        if (i % pitch >= size_t(dst.LineBytes)) {
            ASSERT_EQ(dst.Buffer[i], before[i]) << what << ": padding byte " << i << " was written";
        }
    }
}

TEST(QxBlitterTests, EveryFormatPairMatchesTheReferenceOnSmallImages)
{
    std::mt19937 rng(1234);
    std::vector<TestFormat> sources = TrueColourFormats();
    for (const TestFormat& f : PalettedFormats())
        sources.push_back(f);
    const std::vector<TestFormat> destinations = TrueColourFormats();
    for (const TestFormat& s : sources)
        for (const TestFormat& d : destinations) {
            const int w = 1 + int(rng() % 23);
            const int h = 1 + int(rng() % 7);
            CheckBlit(s, d, w, h, false, rng);
            CheckBlit(s, d, w, h, true, rng);
        }
}

TEST(QxBlitterTests, CommonPairsMatchTheReferenceOnALargeOddImage)
{
    std::mt19937 rng(99);
    const std::vector<TestFormat> all = TrueColourFormats();
    const std::vector<TestFormat> paletted = PalettedFormats();
    for (int i : {0, 1, 2, 3, 4, 5, 6, 9, 19}) {
        CheckBlit(all[0], all[i], 257, 131, i % 2 == 0, rng);
        CheckBlit(all[i], all[0], 257, 131, i % 2 == 1, rng);
    }
    CheckBlit(paletted[4], all[0], 257, 131, false, rng);
    CheckBlit(paletted[5], all[12], 257, 131, true, rng);
    CheckBlit(paletted[0], all[1], 257, 131, false, rng);
}

// --- the rules one by one ------------------------------------------------

QxImageDesc FormatDesc(int id, int w, int h, void* pixels, int pitch = 0)
{
    QxImageDesc d;
    QxPixelFormat2ImageDesc(id, d);
    d.Width = w;
    d.Height = h;
    d.BytesPerLine = pitch ? pitch : w * d.BitsPerPixel / 8;
    d.Image = static_cast<CKBYTE*>(pixels);
    return d;
}

TEST(QxBlitterTests, BadDescriptionsAndCompressedFormatsFailWithoutWriting)
{
    CKDWORD a[4] = {1, 2, 3, 4}, b[16] = {};
    CKBYTE palette[8] = {}, indices[4] = {};
    const QxImageDesc src = FormatDesc(_32_ARGB8888, 2, 2, a), dst = FormatDesc(_32_ARGB8888, 2, 2, b);
    QxImageDesc paletted = FormatDesc(_32_ARGB8888, 2, 2, indices, 2);
    paletted.BitsPerPixel = 8;
    paletted.BytesPerColorEntry = 4;
    paletted.ColorMapEntries = 2;
    paletted.ColorMap = palette;
    std::vector<std::pair<const char*, std::pair<QxImageDesc, QxImageDesc>>> cases;
    auto add = [&](const char* what, QxImageDesc from, QxImageDesc to, auto change) {
        change(from, to);
        cases.push_back({what, {from, to}});
    };
    add("no destination image", src, dst, [](QxImageDesc&, QxImageDesc& d) { d.Image = nullptr; });
    add("negative widths", src, dst, [](QxImageDesc& s, QxImageDesc& d) { s.Width = d.Width = -2; });
    add("a record that ends before its image pointer", src, dst, [](QxImageDesc& s, QxImageDesc&) { s.Size = 48; });
    add("other sizes from 16 bits", FormatDesc(_16_RGB565, 2, 2, a), FormatDesc(_16_RGB565, 4, 4, b),
        [](QxImageDesc&, QxImageDesc&) {});
    add("no palette entry 0", paletted, dst, [](QxImageDesc& s, QxImageDesc&) { s.ColorMapEntries = 0; });
    add("no palette", paletted, dst, [](QxImageDesc& s, QxImageDesc&) { s.ColorMap = nullptr; });
    add("2-byte palette entries", paletted, dst, [](QxImageDesc& s, QxImageDesc&) { s.BytesPerColorEntry = 2; });
    add("no palette index bits", paletted, dst, [](QxImageDesc& s, QxImageDesc&) { s.BitsPerPixel = 0; });
    add("40-bit palette indices", paletted, dst, [](QxImageDesc& s, QxImageDesc&) { s.BitsPerPixel = 40; });
    for (const auto& [what, pair] : cases) {
        EXPECT_FALSE(QxDoBlit(pair.first, pair.second)) << what;
        for (CKDWORD v : b)
            ASSERT_EQ(v, 0u) << what;
    }
    EXPECT_TRUE(QxDoBlit(paletted, dst));
    EXPECT_TRUE(QxDoBlit(src, dst));
    EXPECT_EQ(b[3], 4u);
    // Compressed formats on either side fail and leave the destination.
    CKDWORD c[4] = {1, 2, 3, 4};
    CKDWORD d[4] = {9, 9, 9, 9};
    QxImageDesc dxt = FormatDesc(_DXT1, 4, 1, c, 16);
    EXPECT_FALSE(QxDoBlit(dxt, FormatDesc(_32_ARGB8888, 4, 1, d)));
    EXPECT_EQ(d[0], 9u);
    dxt.Image = reinterpret_cast<CKBYTE*>(d);
    EXPECT_FALSE(QxDoBlit(FormatDesc(_32_ARGB8888, 4, 1, c), dxt));
    EXPECT_EQ(d[3], 9u);
}

TEST(QxBlitterTests, AlphaSetKeepsTheTopBitsAndAlphaMapsGiveOneByteAPixel)
{
    struct Case
    {
        int Format;
        CKDWORD Before, Alpha, After;
        bool Done;
    };
    const Case cases[] = {
        {_16_ARGB4444, 0x0123, 0x80, 0x8123, true},
        {_16_ARGB4444, 0xF456, 0x80, 0x8456, true},
        {_16_ARGB1555, 0x1234, 0x80, 0x9234, true},
        {_16_ARGB1555, 0x9234, 0x7F, 0x1234, true},
        {_32_ARGB8888, 0x00112233, 0x80, 0x80112233, true},
        {_32_ARGB8888, 0x12345678, 0x80, 0x80345678, true},
        {_8_ARGB2222, 0x3F, 0x80, 0xBF, true},
        {_32_RGB888, 0x00123456, 0x80, 0x00123456, false},
    };
    for (const Case& c : cases) {
        CKDWORD pixel = c.Before;
        EXPECT_EQ(QxDoAlphaBlit(FormatDesc(c.Format, 1, 1, &pixel), CKBYTE(c.Alpha)), c.Done) << c.Format;
        EXPECT_EQ(pixel, c.After) << c.Format;
    }
    CKBYTE rgb24[3] = {1, 2, 3};
    QxImageDesc d = FormatDesc(_24_RGB888, 1, 1, rgb24);
    d.AlphaMask = 0xFF000000;
    EXPECT_FALSE(QxDoAlphaBlit(d, 0x80)) << "no 24-bit setter";
    EXPECT_EQ(rgb24[2], 3);
    EXPECT_FALSE(QxDoAlphaBlit(FormatDesc(_32_ARGB8888, 1, 1, nullptr), 0x80));
    EXPECT_FALSE(QxDoAlphaBlit(FormatDesc(_32_ARGB8888, -1, 1, rgb24), 0x80));
    // An alpha map gives one byte a pixel, with lines a width apart.
    // Two lines of two pixels, with a pitch of three pixels.
    CKDWORD pixels[6] = {0x00000001, 0x00000002, 0x77777777, 0x00000003, 0x00000004, 0x77777777};
    const CKBYTE alpha[4] = {0x10, 0x20, 0x30, 0x40};
    ASSERT_TRUE(QxDoAlphaMapBlit(FormatDesc(_32_ARGB8888, 2, 2, pixels, 12), alpha));
    const CKDWORD expected[6] = {0x10000001, 0x20000002, 0x77777777, 0x30000003, 0x40000004, 0x77777777};
    EXPECT_EQ(0, std::memcmp(pixels, expected, sizeof(pixels)));

    CKWORD p4444[2] = {0x0FFF, 0x0FFF};
    const CKBYTE alpha2[2] = {0xF0, 0x1F};
    ASSERT_TRUE(QxDoAlphaMapBlit(FormatDesc(_16_ARGB4444, 2, 1, p4444), alpha2));
    EXPECT_EQ(p4444[0], 0xFFFF);
    EXPECT_EQ(p4444[1], 0x1FFF);
    EXPECT_FALSE(QxDoAlphaMapBlit(FormatDesc(_16_ARGB4444, 2, 1, p4444), nullptr));
}

TEST(QxBlitterTests, ANarrowAlphaWidensByRepeatingItsBitsSoThatOpaqueStaysOpaque)
{
    struct Case
    {
        const char* What;
        int Bits;
        CKDWORD Masks[4];
        CKDWORD Pixel, Argb;
    };
    const CKDWORD a2r10g10b10[4] = {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000};
    const Case cases[] = {
        {"1555 opaque white", 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, 0xFFFF, 0xFFF8F8F8},
        {"1555 clear red", 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, 0x7C00, 0x00F80000},
        {"4444 opaque", 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0xF123, 0xFF102030},
        {"4444 half", 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0x8FFF, 0x88F0F0F0},
        {"4444 clear", 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0x0FFF, 0x00F0F0F0},
        {"2222 opaque", 8, {0x30, 0x0C, 0x03, 0xC0}, 0xFF, 0xFFC0C0C0},
        {"2222 two thirds", 8, {0x30, 0x0C, 0x03, 0xC0}, 0x80, 0xAA000000},
        {"a2r10g10b10 opaque",
         32,
         {a2r10g10b10[0], a2r10g10b10[1], a2r10g10b10[2], a2r10g10b10[3]},
         0xFFFFFFFF,
         0xFFFFFFFF},
        {"a2r10g10b10 a third",
         32,
         {a2r10g10b10[0], a2r10g10b10[1], a2r10g10b10[2], a2r10g10b10[3]},
         0x40000000,
         0x55000000},
        {"3-bit alpha 0b101", 16, {0x1F00, 0x00F0, 0x000F, 0xE000}, 0xA000, 0xB6000000},
    };
    for (const Case& c : cases) {
        CKDWORD out = 0x12345678, pixel = c.Pixel;
        QxImageDesc src = FormatDesc(_32_ARGB8888, 1, 1, &pixel);
        src.BitsPerPixel = c.Bits;
        src.BytesPerLine = c.Bits / 8;
        src.RedMask = c.Masks[0];
        src.GreenMask = c.Masks[1];
        src.BlueMask = c.Masks[2];
        src.AlphaMask = c.Masks[3];
        ASSERT_TRUE(QxDoBlit(src, FormatDesc(_32_ARGB8888, 1, 1, &out))) << c.What;
        EXPECT_EQ(out, c.Argb) << c.What << std::hex << ": got 0x" << out;
    }
    // Narrowing still keeps the top bits, and 8 bits to 8 bits copy.
    CKDWORD argb = 0x7FFFFFFF;
    CKWORD p1555 = 0;
    ASSERT_TRUE(QxDoBlit(FormatDesc(_32_ARGB8888, 1, 1, &argb), FormatDesc(_16_ARGB1555, 1, 1, &p1555)));
    EXPECT_EQ(p1555, 0x7FFF);
}

} // namespace
