// Reads arbitrary bytes as qdxexport's options file (NAME=VALUE lines, #
// comments) over the script function's own table, with a scene that does
// not exist, so that no export runs. The command line must end with exit
// code 2 (a bad line or value, or the missing scene) without calling the
// export, write nothing on its output and only whole lines of its own on
// its error stream.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/FuzzScratchFile.h"
#include "tools/QdxExportArguments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::vector<HostExportArgument> table = QdxExportArguments();
    const std::string& path = FuzzScratchPath();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);

    const char* argv[] = {"qdxexport", "/nonexistent/scene.json", "out.qdx", "--options", path.c_str()};
    char* outText = nullptr;
    char* errText = nullptr;
    size_t outSize = 0, errSize = 0;
    FILE* out = open_memstream(&outText, &outSize);
    FILE* err = open_memstream(&errText, &errSize);
    bool exported = false;
    const int code = RunHostCommandLine(
        5, argv, table,
        [&](const std::vector<Value>&) {
            exported = true;
            return ok;
        },
        out, err);
    std::fclose(out);
    std::fclose(err);
    const std::string said(errText, errSize);
    std::free(outText);
    std::free(errText);
    if (code != 2 || exported || outSize != 0 || said.empty() || said.back() != '\n')
        std::abort();
    for (size_t at = 0; at < said.size(); at = said.find('\n', at) + 1)
        if (said.compare(at, 11, "qdxexport: ") != 0)
            std::abort();
    return 0;
}
