#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "readers/dds/DdsReader.h"
#include "readers/jpeg/JpgReader.h"
#include "readers/png/PngReader.h"
#include "readers/tiff/TiffReader.h"
#include "tests/readers/support/LibjpegCodec.h"
#include "tests/readers/support/MovieBuilder.h"
#include "tests/readers/support/ReaderTestSupport.h"

// Writes small seed inputs of the reader fuzz targets into
// $FUZZ_SEEDS_OUT/<name>/ (run once, the output is committed under
// fuzz/corpus/):
//   FUZZ_SEEDS_OUT=fuzz/corpus readers_tests --gtest_also_run_disabled_tests
//   --gtest_filter='*WriteFuzzSeeds*'
TEST(FuzzSeeds, DISABLED_WriteFuzzSeeds)
{
    const char* root = std::getenv("FUZZ_SEEDS_OUT");
    ASSERT_NE(root, nullptr);
    auto put = [&](const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
        std::filesystem::create_directories(std::string(root) + "/" + target);
        ASSERT_FALSE(bytes.empty()) << name;
        ASSERT_TRUE(SaveFileBytes(std::string(root) + "/" + target + "/" + name, bytes));
    };
    const std::vector<CorpusFile> bmp = BuildBmpCorpus();
    for (const CorpusFile& f : bmp)
        if (f.name == "bmp_1.bmp" || f.name == "bmp_4.bmp" || f.name == "bmp_16_565.bmp" ||
            f.name == "bmp_32_fields.bmp" || f.name == "bmp_core_8.bmp" || f.name == "bmp_topdown_24.bmp" ||
            f.name == "bmp_rle8_deltas.bmp" || f.name == "bmp_rle4_deltas.bmp")
            put("bmp", f.name, f.bytes);
    BmpRecipe v5;
    v5.headerSize = 124;
    v5.bits = 32;
    v5.compression = 3;
    v5.masks[0] = 0xFF0000;
    v5.masks[1] = 0xFF00;
    v5.masks[2] = 0xFF;
    put("bmp", "bmp_v5_32_fields.bmp", BuildBmp(v5));
    for (const CorpusFile& f : BuildTgaCorpus())
        if (f.name == "tga_1_map16.tga" || f.name == "tga_9_br.tga" || f.name == "tga_10_d16.tga" ||
            f.name == "tga_11_tl.tga" || f.name == "tga_2_tr.tga" || f.name == "tga_10_across_lines.tga" ||
            f.name == "tga_10_bl.tga")
            put("tga", f.name, f.bytes);
    for (const CorpusFile& f : BuildPcxCorpus())
        if (f.name == "pcx_1_rle.pcx" || f.name == "pcx_4planes_rle.pcx" || f.name == "pcx_4_raw.pcx" ||
            f.name == "pcx_8_rle.pcx" || f.name == "pcx_24_window_padding.pcx")
            put("pcx", f.name, f.bytes);

    std::vector<uint32_t> pixels = MakePicture(12, 9, false);
    JpgReader jpg;
    CKBitmapProperties j = JpgReader::DefaultProperties();
    put("jpeg", "colour.jpg", SaveToBytes(jpg, ArgbRecord(j, pixels, 12, 9)));
    j.m_Words[JpgReader::kOptionsWord] = 1 | 2; // grey, optimised, not baseline
    j.SetFloatWord(JpgReader::kQualityWord, 0.3f);
    put("jpeg", "grey.jpg", SaveToBytes(jpg, ArgbRecord(j, pixels, 12, 9)));
    std::vector<uint8_t> inks;
    for (uint32_t p : pixels)
        for (int shift : {24, 16, 8, 0})
            inks.push_back((uint8_t) (p >> shift));
    put("jpeg", "ycck.jpg", LibjpegEncode(inks, 12, 9, 4, JCS_CMYK, 50, true, JCS_YCCK));

    PngReader png;
    struct PngCase
    {
        const char* name;
        CKDWORD depth, options, interlace;
    };
    const PngCase cases[] = {{"rgba.png", 24, 2, 0},
                             {"rgb_adam7.png", 24, 0, 1},
                             {"palette.png", 8, 0, 0},
                             {"grey2.png", 2, 1, 1},
                             {"grey_alpha.png", 8, 3, 0}};
    for (const PngCase& c : cases) {
        CKBitmapProperties p = PngReader::DefaultProperties();
        p.m_Words[PngReader::kBitDepthWord] = c.depth;
        p.m_Words[PngReader::kOptionsWord] = c.options;
        p.m_Words[PngReader::kInterlaceWord] = c.interlace;
        p.m_Words[PngReader::kFilterWord] = 15;
        put("png", c.name, SaveToBytes(png, ArgbRecord(p, pixels, 12, 9)));
    }

    TiffReader tiff;
    CKBitmapProperties t = TiffReader::DefaultProperties();
    std::vector<uint32_t> small = MakePicture(5, 4, false);
    put("tiff", "packbits.tif", SaveToBytes(tiff, ArgbRecord(t, small, 5, 4)));
    t.m_Words[TiffReader::kCompressionWord] = 1;
    put("tiff", "raw.tif", SaveToBytes(tiff, ArgbRecord(t, small, 5, 4)));
    t.m_Words[TiffReader::kCompressionWord] = 5;
    put("tiff", "lzw.tif", SaveToBytes(tiff, ArgbRecord(t, small, 5, 4)));
    t.m_Words[TiffReader::kCompressionWord] = 8;
    put("tiff", "deflate.tif", SaveToBytes(tiff, ArgbRecord(t, small, 5, 4)));

    DdsReader dds;
    const struct
    {
        const char* name;
        CKDWORD format;
    } ddsCases[] = {{"argb.dds", 21},         {"rgb565.dds", 23},       {"rgb24.dds", 20},
                    {"dxt1.dds", 0x31545844}, {"dxt3.dds", 0x33545844}, {"dxt5.dds", 0x35545844}};
    for (const auto& c : ddsCases) {
        CKBitmapProperties d = ArgbRecord(DdsReader::DefaultProperties(), small, 5, 4);
        d.m_Words[DdsReader::kFormatWord] = c.format;
        put("dds", c.name, SaveToBytes(dds, d));
    }

    const struct
    {
        const char* name;
        MovieKind kind;
        int width, height, frames;
        bool bottomUp;
    } movies[] = {{"raw24.avi", MovieKind::Raw24, 3, 2, 4, false},
                  {"raw32_bottom_up.avi", MovieKind::Raw32, 2, 2, 3, true},
                  {"pal8.avi", MovieKind::Pal8, 4, 2, 3, false},
                  {"mjpeg.avi", MovieKind::Mjpeg, 8, 8, 2, false}};
    for (const auto& m : movies) {
        MovieSpec spec;
        spec.kind = m.kind;
        spec.width = m.width;
        spec.height = m.height;
        spec.frames = m.frames;
        spec.bottomUp = m.bottomUp;
        put("avi", m.name, BuildMovie(spec));
    }
}
