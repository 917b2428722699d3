// Writes the generated BMP, TGA and PCX files into $READERS_CORPUS_OUT, each
// with the pixels its reader must give as <name>.expected.pam beside it, so
// that reference decodes can be made once with an independent tool (they are
// committed under tests/readers/data/reference/):
//   READERS_CORPUS_OUT=<folder> build/test/tools/dump_reader_corpus
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/testdata/ImageFileBuilders.h"
#include "tools/testdata/RgbaImage.h"

int main()
{
    const char* dir = std::getenv("READERS_CORPUS_OUT");
    if (!dir || !*dir) {
        std::fprintf(stderr, "usage: READERS_CORPUS_OUT=<existing folder> dump_reader_corpus\n");
        return 2;
    }
    int failures = 0;
    for (auto build : {BuildBmpCorpus, BuildTgaCorpus, BuildPcxCorpus})
        for (const CorpusFile& f : build()) {
            const std::string path = std::string(dir) + "/" + f.name;
            if (!SaveFileBytes(path, f.bytes) || !SavePam(path + ".expected.pam", f.expected)) {
                std::fprintf(stderr, "dump_reader_corpus: %s not written\n", path.c_str());
                ++failures;
            }
        }
    return failures == 0 ? 0 : 1;
}
