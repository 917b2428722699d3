// Files whose metadata chunks would cost far more than their pixels: the
// reader has libpng skip every chunk the decode does not use.
#include <cstdio>
#include <string>
#include <vector>

#include <zlib.h>

#include <gtest/gtest.h>

#include "readers/png/PngReader.h"
#include "tests/readers/support/PeakMemory.h"
#include "tests/readers/support/ReaderTestSupport.h"

namespace {

void PutBE32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((uint8_t) (v >> shift));
}

// A chunk with its CRC; `declared` overrides the length field.
void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body, int64_t declared = -1)
{
    PutBE32(out, declared >= 0 ? (uint32_t) declared : (uint32_t) body.size());
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    PutBE32(out, (uint32_t) crc32(0, out.data() + start, (uInt) (out.size() - start)));
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw)
{
    uLongf size = compressBound((uLong) raw.size());
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress2(out.data(), &size, raw.data(), (uLong) raw.size(), 9), Z_OK);
    out.resize(size);
    return out;
}

// The signature and the header of a 1x1 8-bit RGB image.
std::vector<uint8_t> Start()
{
    std::vector<uint8_t> f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(f, "IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0});
    return f;
}

// The one pixel (0x40, 0x80, 0xC0) and the end.
void Finish(std::vector<uint8_t>& f)
{
    PutChunk(f, "IDAT", Deflate({0, 0x40, 0x80, 0xC0}));
    PutChunk(f, "IEND", {});
}

} // namespace

TEST(PngAncillaryChunks, ATextChunkDeclaringTwoGigabytesCostsAFewMegabytes)
{
    std::vector<uint8_t> f = Start();
    PutBE32(f, 0x7FFFFFFF);
    for (const char c : std::string("tEXtComment"))
        f.push_back((uint8_t) c);
    f.resize(49, 'x');
    PngReader reader;
    PeakMemoryProbe probe;
    int result = 0;
    DecodeWith(reader, f, &result);
    EXPECT_EQ(result, -1) << "the data end inside the chunk";
    if (probe.Works()) {
        EXPECT_LT(probe.GrowthMegabytes(), 50.0);
    }
}

TEST(PngAncillaryChunks, ManyCompressedTextsAreSkippedUnread)
{
    // Each text inflates to 7 MB (under libpng's own 8 MB cap for one
    // chunk); kept, the 100 of them would take 700 MB.
    std::vector<uint8_t> text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
    const std::vector<uint8_t> packed = Deflate(std::vector<uint8_t>(7u << 20, 'a'));
    text.insert(text.end(), packed.begin(), packed.end());
    std::vector<uint8_t> international = {'X', 'M', 'L', 0, 1, 0, 0, 0};
    international.insert(international.end(), packed.begin(), packed.end());
    std::vector<uint8_t> f = Start();
    for (int i = 0; i < 50; ++i) {
        PutChunk(f, "zTXt", text);
        PutChunk(f, "iTXt", international);
    }
    PutChunk(f, "prIV", std::vector<uint8_t>(1000, 7)); // unknown ancillary chunk
    Finish(f);

    PngReader reader;
    PeakMemoryProbe probe;
    int result = -1;
    const RgbaImage image = DecodeWith(reader, f, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(image.At(0, 0), 0xFF4080C0u);
    if (probe.Works()) {
        EXPECT_LT(probe.GrowthMegabytes(), 50.0);
    }
}

TEST(PngAncillaryChunks, AnIccProfileDeclaringGigabytesIsIgnored)
{
    // A profile header whose size word says 3 GB, inside a small chunk.
    std::vector<uint8_t> profile(132, 0);
    profile[0] = 0xC0;
    std::vector<uint8_t> body = {'i', 'c', 'c', 0, 0};
    const std::vector<uint8_t> packed = Deflate(profile);
    body.insert(body.end(), packed.begin(), packed.end());
    std::vector<uint8_t> f = Start();
    PutChunk(f, "iCCP", body);
    Finish(f);
    PngReader reader;
    PeakMemoryProbe probe;
    int result = -1;
    const RgbaImage image = DecodeWith(reader, f, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(image.At(0, 0), 0xFF4080C0u);
    if (probe.Works()) {
        EXPECT_LT(probe.GrowthMegabytes(), 50.0);
    }
}
