// qdxinfo FILE [--dump]: loads an engine file into a fresh context and
// prints its objects by class and their totals, or, with --dump, a stable
// text of every object and what it saved (for golden tests), then the
// objects whose load was refused. Exit code: 0 listed, 1 the file does not
// load or an object refused what it gave, 2 bad arguments.
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "platform/PlatformPaths.h"
#include "tools/info/EngineFileInfo.h"

namespace {

const char kUsage[] =
    "usage: qdxinfo FILE [--dump]\n"
    "Loads an engine file (.qdx, .qbx, .qfx) and lists its objects by class, then their totals:\n"
    "totals: <n> objects, <n> meshes, <n> vertices, <n> faces, <n> materials, <n> textures, <n> animation keys\n"
    "  --dump  print every object and what it saved instead\n"
    "Then the objects whose load refused what the file gave them: class, name and reason.\n"
    "Exit code: 0 listed, 1 the file does not load or an object refused its data, 2 bad arguments.\n";

// A bad argument: what is wrong, then the usage line.
int Bad(const std::string& what)
{
    std::fprintf(stderr, "qdxinfo: %s\nusage: qdxinfo FILE [--dump]\n", what.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const char* path = nullptr;
    bool dump = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--dump") == 0) {
            dump = true;
        } else if (argv[i][0] == '-') {
            return Bad(std::string("unknown option ") + argv[i]);
        } else if (path) {
            return Bad(std::string("too many arguments: \"") + argv[i] + "\"");
        } else {
            path = argv[i];
        }
    }
    if (!path) {
        std::fputs("usage: qdxinfo FILE [--dump]\n", stderr);
        return 2;
    }
    // Before the engine's own words for a file it cannot load.
    if (S_ISDIR(PlatformGetFileMode(path))) {
        std::fprintf(stderr, "qdxinfo: the file is a folder: \"%s\"\n", path);
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
