#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/core/support/TextureCodecTestEncoder.h"

// Writes small seed planes of the DCT codec's fuzz target into
// $FUZZ_SEEDS_OUT/dct/ (run once, the output is committed under
// fuzz/corpus/):
//   FUZZ_SEEDS_OUT=fuzz/corpus core_tests --gtest_also_run_disabled_tests
//   --gtest_filter='*WriteDctSeeds*'
TEST(TextureCodecSeeds, DISABLED_WriteDctSeeds)
{
    const char* root = std::getenv("FUZZ_SEEDS_OUT");
    ASSERT_NE(root, nullptr);
    const std::string dir = std::string(root) + "/dct";
    std::filesystem::create_directories(dir);
    struct Case
    {
        int width, height, quality;
    };
    const Case cases[] = {{8, 8, 50}, {13, 9, 100}, {21, 3, 10}};
    for (const Case& c : cases) {
        std::vector<uint8_t> plane((size_t) c.width * c.height);
        for (size_t i = 0; i < plane.size(); ++i)
            plane[i] = (uint8_t) (i * 37 + (i / c.width) * 11);
        const std::vector<uint8_t> bytes = EncodeTexturePlane(plane.data(), c.width, c.height, c.quality);
        std::ofstream out(dir + "/plane_" + std::to_string(c.width) + "x" + std::to_string(c.height) + "_q" +
                              std::to_string(c.quality),
                          std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize) bytes.size());
    }
}
