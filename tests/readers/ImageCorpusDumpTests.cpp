#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/readers/support/ImageFileBuilders.h"

// Writes the generated BMP, TGA and PCX corpus into the folder named by
// READERS_CORPUS_OUT, with the expected pixels as PAM files beside, so that
// reference decodes can be made once with an independent tool:
//   READERS_CORPUS_OUT=/tmp/corpus readers_tests --gtest_also_run_disabled_tests
//   --gtest_filter='*DumpCorpus*'
TEST(ImageCorpus, DISABLED_DumpCorpus)
{
    const char* dir = std::getenv("READERS_CORPUS_OUT");
    ASSERT_NE(dir, nullptr);
    for (auto build : {BuildBmpCorpus, BuildTgaCorpus, BuildPcxCorpus})
        for (const CorpusFile& f : build()) {
            ASSERT_TRUE(SaveFileBytes(std::string(dir) + "/" + f.name, f.bytes));
            ASSERT_TRUE(SavePam(std::string(dir) + "/" + f.name + ".expected.pam", f.expected));
        }
}
