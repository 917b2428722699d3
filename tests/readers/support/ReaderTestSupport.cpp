#include "tests/readers/support/ReaderTestSupport.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "readers/common/ImageReaderResults.h"
#include "tests/support/TestPaths.h"

RgbaImage DecodeWith(CKBitmapReader& reader, const std::vector<uint8_t>& bytes, int* result)
{
    CKBitmapProperties* p = nullptr;
    static const uint8_t empty = 0;
    const int r = reader.ReadMemory(bytes.empty() ? &empty : bytes.data(), (CKDWORD) bytes.size(), &p);
    if (result)
        *result = r;
    if (r != 0 || !p || !p->m_Data)
        return RgbaImage();
    return ToRgba(p->m_Format, p->m_Data);
}

std::string CompareWithReference(const RgbaImage& a, const RgbaImage& e, bool alpha, int bits, const RgbaImage* where)
{
    if (a.width != e.width || a.height != e.height)
        return "size differs from the reference";
    const uint32_t keep = (0xFFu << (8 - bits)) & 0xFF;
    const uint32_t mask = (alpha ? 0xFF000000u : 0) | keep << 16 | keep << 8 | keep;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            if (where && where->At(x, y) == 0)
                continue;
            if ((a.At(x, y) & mask) != (e.At(x, y) & mask)) {
                char text[128];
                std::snprintf(text, sizeof(text), "pixel (%d, %d) is %08X, the reference %08X", x, y, a.At(x, y),
                              e.At(x, y));
                return text;
            }
        }
    return "";
}

void CheckCorpusFile(CKBitmapReader& reader, const CorpusFile& file)
{
    SCOPED_TRACE(file.name);
    int result = -99;
    const RgbaImage actual = DecodeWith(reader, file.bytes, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(DescribeDifference(actual, file.expected), "") << "against the pixels the file was made from";
    RgbaImage reference;
    ASSERT_TRUE(LoadPam(ReaderTestDataDir() + "/reference/" + file.name + ".pam", reference))
        << "missing reference decode";
    EXPECT_EQ(CompareWithReference(actual, reference, file.alphaMeaningful, file.referenceBits,
                                   file.referenceWrittenOnly ? &file.expected : nullptr),
              "")
        << "against the independent reference decode";
}

void CheckForeignFile(CKBitmapReader& reader, const std::string& name)
{
    SCOPED_TRACE(name);
    const std::string path = ReaderTestDataDir() + "/foreign/" + name;
    int result = -1;
    const RgbaImage actual = DecodeWith(reader, LoadFileBytes(path), &result);
    ASSERT_EQ(result, 0);
    RgbaImage reference;
    ASSERT_TRUE(LoadPam(path + ".pam", reference));
    EXPECT_EQ(DescribeDifference(actual, reference), "");
}

void CheckEveryPrefix(CKBitmapReader& reader, const std::vector<uint8_t>& bytes, std::vector<int> allowed)
{
    for (size_t n = 0; n < bytes.size(); ++n) {
        // A copy of exactly n bytes, so that a read past it is caught.
        const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + (ptrdiff_t) n);
        CKBitmapProperties* p = nullptr;
        static const uint8_t empty = 0;
        const int r = reader.ReadMemory(n ? prefix.data() : &empty, (CKDWORD) n, &p);
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), r), allowed.end())
            << "prefix of " << n << " bytes gave " << r;
        if (r == 0) {
            ASSERT_NE(p, nullptr);
            EXPECT_NE(p->m_Data, nullptr);
            EXPECT_GT(p->m_Format.Width, 0);
        }
    }
}

int DecodePatched(CKBitmapReader& reader, std::vector<uint8_t> bytes, size_t at, uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes[at + i] = (uint8_t) (value >> (8 * i));
    int result = -1;
    DecodeWith(reader, bytes, &result);
    return result;
}

void CheckEveryCorpusPrefix(CKBitmapReader& reader, const std::vector<CorpusFile>& corpus)
{
    for (const CorpusFile& f : corpus) {
        SCOPED_TRACE(f.name);
        CheckEveryPrefix(reader, f.bytes, {IMAGEREADER_OK, IMAGEREADER_SHORTFILE});
    }
}

QxImageDesc ArgbDesc(int width, int height, uint32_t* pixels)
{
    QxImageDesc d;
    d.Width = width;
    d.Height = height;
    d.BitsPerPixel = 32;
    d.BytesPerLine = width * 4;
    d.SetDefaultMasks();
    d.Image = reinterpret_cast<CKBYTE*>(pixels);
    return d;
}

CKBitmapProperties ArgbRecord(CKBitmapProperties p, std::vector<uint32_t>& pixels, int width, int height)
{
    p.m_Format = ArgbDesc(width, height, pixels.data());
    p.m_Data = pixels.data();
    return p;
}

std::vector<uint8_t> SaveToBytes(CKBitmapReader& reader, const CKBitmapProperties& p)
{
    void* block = nullptr;
    const int size = reader.SaveMemory(&block, &p);
    std::vector<uint8_t> bytes;
    if (size > 0)
        bytes.assign(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + size);
    reader.ReleaseMemory(block);
    return bytes;
}

RgbaImage AsImage(const std::vector<uint32_t>& pixels, int width, int height, bool opaque)
{
    RgbaImage e;
    e.width = width;
    e.height = height;
    for (uint32_t p : pixels)
        e.pixels.push_back(opaque ? p | 0xFF000000u : p);
    return e;
}

std::vector<uint32_t> MakePicture(int width, int height, bool opaque)
{
    std::vector<uint32_t> p((size_t) width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p[(size_t) y * width + x] = PatternColor(x, y) | (opaque ? 0xFF000000u : 0);
    return p;
}

std::string ReaderTestDataDir()
{
    return TestSourceDir() + "/tests/readers/data";
}
