// Writes the generated seed inputs of the fuzz targets of the image readers
// and the DCT texture codec into $FUZZ_SEEDS_OUT/<target>/; the output is
// committed under fuzz/corpus/:
//   FUZZ_SEEDS_OUT=fuzz/corpus build/test/tools/write_fuzz_seeds
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "readers/jpeg/JpgReader.h"
#include "readers/png/PngReader.h"
#include "readers/tiff/TiffReader.h"
#include "tools/testdata/ImageFileBuilders.h"
#include "tools/testdata/TextureCodecTestEncoder.h"

namespace {

std::string g_Root;
int g_Failures = 0;

void Put(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes)
{
    const std::string dir = g_Root + "/" + target;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (bytes.empty() || !SaveFileBytes(dir + "/" + name, bytes)) {
        std::fprintf(stderr, "write_fuzz_seeds: %s/%s not written%s\n", target.c_str(), name.c_str(),
                     bytes.empty() ? " (nothing was encoded)" : "");
        ++g_Failures;
    }
}

// The builders' pattern, with its alpha, as 32-bit ARGB words.
std::vector<uint32_t> Picture(int width, int height)
{
    std::vector<uint32_t> pixels((size_t) width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[(size_t) y * width + x] = PatternColor(x, y);
    return pixels;
}

// What the reader's writer makes of the picture with the record's words.
std::vector<uint8_t> Encode(CKBitmapReader& reader, CKBitmapProperties p, std::vector<uint32_t>& pixels, int width,
                            int height)
{
    QxImageDesc d;
    d.Width = width;
    d.Height = height;
    d.BitsPerPixel = 32;
    d.BytesPerLine = width * 4;
    d.SetDefaultMasks();
    d.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    p.m_Format = d;
    p.m_Data = pixels.data();
    void* block = nullptr;
    const int size = reader.SaveMemory(&block, &p);
    std::vector<uint8_t> bytes;
    if (size > 0)
        bytes.assign(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + size);
    reader.ReleaseMemory(block);
    return bytes;
}

void PutCorpus(const std::string& target, const std::vector<CorpusFile>& corpus, const std::set<std::string>& names)
{
    for (const CorpusFile& f : corpus)
        if (names.count(f.name))
            Put(target, f.name, f.bytes);
}

void WriteReaderSeeds()
{
    PutCorpus("bmp", BuildBmpCorpus(),
              {"bmp_1.bmp", "bmp_4.bmp", "bmp_16_565.bmp", "bmp_32_fields.bmp", "bmp_core_8.bmp", "bmp_topdown_24.bmp",
               "bmp_rle8_deltas.bmp", "bmp_rle4_deltas.bmp"});
    PutCorpus("tga", BuildTgaCorpus(),
              {"tga_1_map16.tga", "tga_9_br.tga", "tga_10_d16.tga", "tga_11_tl.tga", "tga_2_tr.tga",
               "tga_10_across_lines.tga", "tga_10_bl.tga"});
    PutCorpus("pcx", BuildPcxCorpus(),
              {"pcx_1_rle.pcx", "pcx_4planes_rle.pcx", "pcx_4_raw.pcx", "pcx_8_rle.pcx", "pcx_24_window_padding.pcx"});

    std::vector<uint32_t> pixels = Picture(12, 9);
    JpgReader jpg;
    CKBitmapProperties j = JpgReader::DefaultProperties();
    Put("jpeg", "colour.jpg", Encode(jpg, j, pixels, 12, 9));
    j.m_Words[JpgReader::kOptionsWord] = 1 | 2; // grey, optimised, not baseline
    j.SetFloatWord(JpgReader::kQualityWord, 0.3f);
    Put("jpeg", "grey.jpg", Encode(jpg, j, pixels, 12, 9));

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
        Put("png", c.name, Encode(png, p, pixels, 12, 9));
    }

    TiffReader tiff;
    CKBitmapProperties t = TiffReader::DefaultProperties();
    std::vector<uint32_t> small = Picture(5, 4);
    Put("tiff", "packbits.tif", Encode(tiff, t, small, 5, 4));
    t.m_Words[TiffReader::kCompressionWord] = 1;
    Put("tiff", "raw.tif", Encode(tiff, t, small, 5, 4));
    t.m_Words[TiffReader::kCompressionWord] = 5;
    Put("tiff", "lzw.tif", Encode(tiff, t, small, 5, 4));
}

void WriteDctSeeds()
{
    struct Case
    {
        int width, height, quality;
    };
    const Case cases[] = {{8, 8, 50}, {13, 9, 100}, {21, 3, 10}};
    for (const Case& c : cases) {
        std::vector<uint8_t> plane((size_t) c.width * c.height);
        for (size_t i = 0; i < plane.size(); ++i)
            plane[i] = (uint8_t) (i * 37 + (i / c.width) * 11);
        Put("dct",
            "plane_" + std::to_string(c.width) + "x" + std::to_string(c.height) + "_q" + std::to_string(c.quality),
            EncodeTexturePlane(plane.data(), c.width, c.height, c.quality));
    }
}

} // namespace

int main()
{
    const char* root = std::getenv("FUZZ_SEEDS_OUT");
    if (!root || !*root) {
        std::fprintf(stderr, "usage: FUZZ_SEEDS_OUT=<folder, e.g. fuzz/corpus> write_fuzz_seeds\n");
        return 2;
    }
    g_Root = root;
    WriteReaderSeeds();
    WriteDctSeeds();
    return g_Failures == 0 ? 0 : 1;
}
