// Texts and other metadata chunks are skipped unread, whatever they declare.
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

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body)
{
    PutBE32(out, (uint32_t) body.size());
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    PutBE32(out, (uint32_t) crc32(0, out.data() + start, (uInt) (out.size() - start)));
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw)
{
    uLongf size = compressBound((uLong) raw.size());
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, raw.data(), (uLong) raw.size(), 9);
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

} // namespace

TEST(PngAncillaryChunks, ATextChunkDeclaringTwoGigabytesCostsLittle)
{
    // 49 bytes: the text's length says 0x7FFFFFFF, its data end at once.
    std::vector<uint8_t> f = Start();
    PutBE32(f, 0x7FFFFFFF);
    for (const char c : std::string("tEXtComment"))
        f.push_back((uint8_t) c);
    f.resize(49, 'x');
    PngReader reader;
    PeakMemoryProbe probe;
    int result = 0;
    DecodeWith(reader, f, &result);
    EXPECT_EQ(result, -1);
    EXPECT_LT(probe.GrowthMegabytes(), 50.0);
}

TEST(PngAncillaryChunks, ManyCompressedTextsAreSkippedUninflated)
{
    // 100 texts of 7 MB each once inflated (under libpng's 8 MB cap for a
    // chunk, so it would keep them all), and an unknown chunk.
    const std::vector<uint8_t> packed = Deflate(std::vector<uint8_t>(7u << 20, 'a'));
    std::vector<uint8_t> text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
    text.insert(text.end(), packed.begin(), packed.end());
    std::vector<uint8_t> international = {'X', 'M', 'L', 0, 1, 0, 0, 0};
    international.insert(international.end(), packed.begin(), packed.end());
    std::vector<uint8_t> f = Start();
    for (int i = 0; i < 50; ++i) {
        PutChunk(f, "zTXt", text);
        PutChunk(f, "iTXt", international);
    }
    PutChunk(f, "prIV", std::vector<uint8_t>(1000, 7));
    PutChunk(f, "IDAT", Deflate({0, 0x40, 0x80, 0xC0}));
    PutChunk(f, "IEND", {});
    PngReader reader;
    PeakMemoryProbe probe;
    int result = -1;
    const RgbaImage image = DecodeWith(reader, f, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(image.At(0, 0), 0xFF4080C0u);
    EXPECT_LT(probe.GrowthMegabytes(), 50.0);
}
