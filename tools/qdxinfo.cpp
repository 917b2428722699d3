// qdxinfo FILE [--dump]: loads an engine file into a fresh context and
// prints its objects by class, or, with --dump, a stable text of every
// object and what it saved (for golden tests), then the objects whose load
// was refused; it exits 1 when there are any.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/info/EngineFileInfo.h"

int main(int argc, char** argv)
{
    const char* path = nullptr;
    bool dump = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dump") == 0) {
            dump = true;
        } else if (argv[i][0] == '-' || path) {
            std::fputs("usage: qdxinfo FILE [--dump]\n", stderr);
            return 2;
        } else {
            path = argv[i];
        }
    }
    if (!path) {
        std::fputs("usage: qdxinfo FILE [--dump]\n", stderr);
        return 2;
    }
    std::string text;
    int refused = 0;
    if (!DescribeEngineFile(path, dump, text, &refused)) {
        std::fprintf(stderr, "qdxinfo: %s: %s\n", path, text.c_str());
        return 1;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return refused > 0 ? 1 : 0;
}
