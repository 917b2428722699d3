#include "readers/tiff/TiffReader.h"

#include <cstdarg>
#include <filesystem>

#include <tiffio.h>

#include <gtest/gtest.h>

#include "includes/CKByteOrder.h"
#include "tests/readers/support/ReaderTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

std::string SharedTiffDir()
{
    return TestSharedDataDir() + "/images/tiff";
}

int QuietHandler(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

TIFF* OpenQuiet(const std::string& path, const char* mode)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, QuietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, QuietHandler, nullptr);
    TIFF* tif = TIFFOpenExt(path.c_str(), mode, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

// libtiff's own RGBA decode with a top-left origin (bytes R, G, B, A).
bool LibtiffDecode(const std::string& path, RgbaImage& out)
{
    TIFF* tif = OpenQuiet(path, "r");
    if (!tif)
        return false;
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    std::vector<uint32_t> raster((size_t) width * height);
    const bool ok =
        width && height && TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 0);
    TIFFClose(tif);
    if (!ok)
        return false;
    out.width = (int) width;
    out.height = (int) height;
    out.pixels.resize(raster.size());
    for (size_t i = 0; i < raster.size(); ++i) {
        const uint32_t v = raster[i]; // ABGR
        out.pixels[i] = (v & 0xFF00FF00u) | (v & 0xFF) << 16 | (v >> 16 & 0xFF);
    }
    return true;
}

std::vector<uint8_t> SaveTiff(TiffReader& reader, std::vector<uint32_t>& pixels, int width, int height,
                              CKDWORD compression = 32773)
{
    CKBitmapProperties p = ArgbRecord(TiffReader::DefaultProperties(), pixels, width, height);
    p.m_Words[TiffReader::kCompressionWord] = compression;
    return SaveToBytes(reader, p);
}

// Writes an RGB TIFF of the picture whose first stored line is the one the
// orientation names, with libtiff.
bool WriteOriented(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height, int orientation)
{
    TIFF* tif = OpenQuiet(path, "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, (uint32_t) width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, (uint32_t) height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation);
    const bool bottom = orientation == ORIENTATION_BOTLEFT || orientation == ORIENTATION_BOTRIGHT;
    const bool right = orientation == ORIENTATION_TOPRIGHT || orientation == ORIENTATION_BOTRIGHT;
    std::vector<uint8_t> line((size_t) width * 3);
    bool ok = true;
    for (int r = 0; r < height && ok; ++r) {
        const int y = bottom ? height - 1 - r : r;
        for (int c = 0; c < width; ++c) {
            const uint32_t p = pixels[(size_t) y * width + (right ? width - 1 - c : c)];
            line[(size_t) c * 3] = (uint8_t) (p >> 16);
            line[(size_t) c * 3 + 1] = (uint8_t) (p >> 8);
            line[(size_t) c * 3 + 2] = (uint8_t) p;
        }
        ok = TIFFWriteScanline(tif, line.data(), (uint32_t) r, 0) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

} // namespace

TEST(TiffReader, SharedFilesDecodeLikeLibtiffsRgbaInterface)
{
    SKIP_WITHOUT_SHARED_DATA();
    int decoded = 0, refused = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SharedTiffDir())) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".tif" && ext != ".tiff")
            continue;
        const std::string path = entry.path().string();
        SCOPED_TRACE(entry.path().filename().string());
        RgbaImage lib;
        const bool libOk = LibtiffDecode(path, lib);
        TiffReader reader;
        CKBitmapProperties* p = nullptr;
        const int fromFile = reader.ReadFile(path.c_str(), &p);
        const RgbaImage image = fromFile == 0 ? ToRgba(p->m_Format, p->m_Data) : RgbaImage();
        int fromMemory = -9;
        const RgbaImage image2 = DecodeWith(reader, LoadFileBytes(path), &fromMemory);
        if (entry.path().filename().string().rfind("test_ifd_loop", 0) == 0) {
            // libtiff decodes the first image and stops at the looping link
            // with a warning; the reader refuses the damaged file.
            EXPECT_EQ(fromFile, -1);
            EXPECT_EQ(fromMemory, 1);
            ++refused;
            continue;
        }
        if (!libOk) {
            EXPECT_EQ(fromFile, -1) << "the library refuses it, so does the reader";
            EXPECT_EQ(fromMemory, 1);
            ++refused;
            continue;
        }
        ASSERT_EQ(fromFile, 0);
        ASSERT_EQ(fromMemory, 0);
        EXPECT_EQ(DescribeDifference(image, lib), "");
        EXPECT_EQ(DescribeDifference(image2, lib), "");
        ++decoded;
    }
    EXPECT_GE(decoded, 7);
    EXPECT_GE(refused, 2);
}

TEST(TiffReader, SharedFilesMatchTheSuiteReferenceImages)
{
    SKIP_WITHOUT_SHARED_DATA();
    TiffReader reader;
    for (const char* name : {"rgb-3c-8b", "minisblack-1c-8b"}) {
        SCOPED_TRACE(name);
        RgbaImage reference;
        const std::string base = SharedTiffDir() + "/" + name;
        ASSERT_TRUE(LoadPnm(base + (name[0] == 'r' ? ".ppm" : ".pgm"), reference));
        EXPECT_EQ(DescribeDifference(DecodeWith(reader, LoadFileBytes(base + ".tiff")), reference), "");
    }
}

TEST(TiffReader, LinesComeOutTopDownWhateverTheOrientation)
{
    TestTempDir dir;
    std::vector<uint32_t> pixels = MakePicture(9, 6, true);
    TiffReader reader;
    for (int orientation : {ORIENTATION_TOPLEFT, ORIENTATION_TOPRIGHT, ORIENTATION_BOTRIGHT, ORIENTATION_BOTLEFT}) {
        SCOPED_TRACE(orientation);
        const std::string path = dir.File("o" + std::to_string(orientation) + ".tif");
        ASSERT_TRUE(WriteOriented(path, pixels, 9, 6, orientation));
        RgbaImage lib;
        ASSERT_TRUE(LibtiffDecode(path, lib));
        CKBitmapProperties* p = nullptr;
        ASSERT_EQ(reader.ReadFile(path.c_str(), &p), 0);
        const RgbaImage image = ToRgba(p->m_Format, p->m_Data);
        EXPECT_EQ(DescribeDifference(image, lib), "");
        EXPECT_EQ(DescribeDifference(image, AsImage(pixels, 9, 6, true)), "") << "the picture as written";
    }
}

TEST(TiffReader, SavedFilesReadBackTheSamePicture)
{
    TiffReader reader;
    for (CKDWORD compression : {1u, 32773u, 5u})
        for (int width : {1, 10}) {
            std::vector<uint32_t> pixels = MakePicture(width, 7, true);
            const std::vector<uint8_t> bytes = SaveTiff(reader, pixels, width, 7, compression);
            ASSERT_FALSE(bytes.empty());
            int result = -1;
            const RgbaImage image = DecodeWith(reader, bytes, &result);
            ASSERT_EQ(result, 0);
            EXPECT_EQ(DescribeDifference(image, AsImage(pixels, width, 7, true)), "") << compression;
        }
}

TEST(TiffReader, SavedFilesCarryTheirTags)
{
    TiffReader reader;
    TestTempDir dir;
    std::vector<uint32_t> pixels = MakePicture(5, 3, false);
    for (CKDWORD compression : {1u, 32773u}) {
        const std::string path = dir.File("t" + std::to_string(compression) + ".tif");
        ASSERT_TRUE(SaveFileBytes(path, SaveTiff(reader, pixels, 5, 3, compression)));
        TIFF* tif = OpenQuiet(path, "r");
        ASSERT_NE(tif, nullptr);
        auto word = [&](ttag_t tag) {
            uint32_t v = 0;
            EXPECT_TRUE(TIFFGetField(tif, tag, &v)) << tag;
            return v;
        };
        auto half = [&](ttag_t tag) {
            uint16_t v = 0;
            EXPECT_TRUE(TIFFGetField(tif, tag, &v)) << tag;
            return v;
        };
        EXPECT_EQ(word(TIFFTAG_IMAGEWIDTH), 5u);
        EXPECT_EQ(word(TIFFTAG_IMAGELENGTH), 3u);
        EXPECT_EQ(word(TIFFTAG_ROWSPERSTRIP), 1u);
        EXPECT_EQ(half(TIFFTAG_BITSPERSAMPLE), 8);
        EXPECT_EQ(half(TIFFTAG_COMPRESSION), compression);
        EXPECT_EQ(half(TIFFTAG_PHOTOMETRIC), PHOTOMETRIC_RGB);
        EXPECT_EQ(half(TIFFTAG_SAMPLESPERPIXEL), 4);
        EXPECT_EQ(half(TIFFTAG_PLANARCONFIG), PLANARCONFIG_CONTIG);
        EXPECT_EQ(half(TIFFTAG_FILLORDER), FILLORDER_MSB2LSB);
        EXPECT_EQ(half(TIFFTAG_ORIENTATION), ORIENTATION_TOPLEFT);
        char* description = nullptr;
        EXPECT_TRUE(TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description));
        EXPECT_STREQ(description ? description : "", "Keltrane Image");
        // The samples as stored: R, G, B, A of the first line's first pixel.
        std::vector<uint8_t> line(5 * 4);
        ASSERT_EQ(TIFFReadScanline(tif, line.data(), 0, 0), 1);
        EXPECT_EQ(line[0], (uint8_t) (pixels[0] >> 16));
        EXPECT_EQ(line[1], (uint8_t) (pixels[0] >> 8));
        EXPECT_EQ(line[2], (uint8_t) pixels[0]);
        EXPECT_EQ(line[3], (uint8_t) (pixels[0] >> 24));
        TIFFClose(tif);
    }
}

TEST(TiffReader, TheMemoryBlockHoldsTheLastDirectory)
{
    TiffReader reader;
    std::vector<uint32_t> pixels = MakePicture(1, 1, true);
    const std::vector<uint8_t> bytes = SaveTiff(reader, pixels, 1, 1);
    const uint32_t ifd = LoadLE32(&bytes[4]);
    ASSERT_LT((size_t) ifd + 2, bytes.size());
    const size_t entries = LoadLE16(&bytes[ifd]);
    EXPECT_LE((size_t) ifd + 2 + entries * 12 + 4, bytes.size());
}

TEST(TiffReader, EveryPrefixOfAFileDecodesOrFailsCleanly)
{
    TiffReader reader;
    std::vector<uint32_t> pixels = MakePicture(6, 4, true);
    CheckEveryPrefix(reader, SaveTiff(reader, pixels, 6, 4), {0, 1});
    if (TestSharedDataMissing().empty())
        for (const char* name : {"test_ifd_loop_to_self.tif", "test_ifd_loop_to_first.tif"})
            CheckEveryPrefix(reader, LoadFileBytes(SharedTiffDir() + "/" + name), {0, 1});
}

TEST(TiffReader, MultiPageFilesAreRead)
{
    // A chain of three directories that ends: the first image is read.
    TestTempDir dir;
    const std::string path = dir.File("pages.tif");
    TIFF* tif = OpenQuiet(path, "w");
    ASSERT_NE(tif, nullptr);
    std::vector<uint32_t> pixels = MakePicture(4, 3, true);
    for (int page = 0; page < 3; ++page) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4u);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 3u);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        uint8_t line[4] = {(uint8_t) (page * 50), 20, 30, 40};
        for (uint32_t y = 0; y < 3; ++y)
            TIFFWriteScanline(tif, line, y, 0);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    TiffReader reader;
    CKBitmapProperties* p = nullptr;
    ASSERT_EQ(reader.ReadFile(path.c_str(), &p), 0);
    EXPECT_EQ(ToRgba(p->m_Format, p->m_Data).At(0, 0), 0xFF000000u) << "the first page";
}

TEST(TiffReader, RefusesWhatLibtiffRefuses)
{
    TiffReader reader;
    CKBitmapProperties* p = nullptr;
    EXPECT_EQ(reader.ReadFile("/nonexistent/a.tif", &p), -1);
    EXPECT_EQ(reader.ReadMemory(nullptr, 10, &p), 1);
    const uint8_t junk[] = {'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F};
    EXPECT_EQ(reader.ReadMemory(junk, sizeof(junk), &p), 1);
    std::vector<uint32_t> pixels = MakePicture(4, 4, true);
    std::vector<uint8_t> bytes = SaveTiff(reader, pixels, 4, 4, 1);
    // An image wider than the cap.
    const uint32_t ifd = LoadLE32(&bytes[4]);
    const size_t entries = LoadLE16(&bytes[ifd]);
    for (size_t e = 0; e < entries; ++e) {
        uint8_t* entry = &bytes[ifd + 2 + e * 12];
        if (LoadLE16(entry) == TIFFTAG_IMAGEWIDTH)
            StoreLE32(entry + 8, CK_MAX_IMAGE_DIMENSION + 1);
    }
    EXPECT_EQ(reader.ReadMemory(bytes.data(), (CKDWORD) bytes.size(), &p), 1);
}

TEST(TiffReader, SavingNeedsAnImageAndACompressionLibtiffHas)
{
    TiffReader reader;
    std::vector<uint32_t> pixels = MakePicture(4, 4, true);
    EXPECT_TRUE(SaveTiff(reader, pixels, 4, 4, 12345).empty());
    void* block = reinterpret_cast<void*>(1);
    EXPECT_EQ(reader.SaveMemory(&block, nullptr), 0);
    EXPECT_EQ(block, nullptr);
    CKBitmapProperties p = TiffReader::DefaultProperties();
    p.m_Format = ArgbDesc(4, 4, nullptr);
    EXPECT_EQ(reader.SaveMemory(&block, &p), 0);
    EXPECT_EQ(reader.SaveFile("x.tif", &p), 1);
}
