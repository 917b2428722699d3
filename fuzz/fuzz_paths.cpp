// Splits and joins arbitrary paths. The input is cut at zero bytes into up
// to four parts. A path short enough for the maker to take all four parts
// back (255 characters) must come back whole from splitter then maker.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "system/io/CKPathMaker.h"
#include "system/io/CKPathSplitter.h"
#include "system/io/QxPackedFile.h"
#include "system/io/QxPaths.h"
#include "system/io/QxSubFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && parts.size() < 4)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    while (parts.size() < 4)
        parts.emplace_back();
    const std::string& path = parts[0];

    CKPathSplitter split(path.c_str());
    size_t length = std::strlen(path.c_str());
    size_t total = std::strlen(split.GetDrive()) + std::strlen(split.GetDir()) + std::strlen(split.GetName()) +
                   std::strlen(split.GetExtension());
    if (length < 260 && total != length)
        std::abort();
    if (length >= 260 && total != 0)
        std::abort();
    if (length <= 255) {
        CKPathMaker back(split.GetDrive(), split.GetDir(), split.GetName(), split.GetExtension());
        if (std::strcmp(back.GetFileName(), path.c_str()) != 0)
            std::abort();
    }

    CKPathMaker made(parts[0].c_str(), parts[1].c_str(), parts[2].c_str(), parts[3].c_str());
    if (std::strlen(made.GetFileName()) >= 260)
        std::abort();

    char small[16];
    char large[260];
    QxConcatPath(small, sizeof(small), parts[0].c_str(), parts[1].c_str());
    QxConcatPath(large, sizeof(large), parts[0].c_str(), parts[1].c_str());
    if (std::strlen(small) >= sizeof(small) || std::strlen(large) >= sizeof(large))
        std::abort();

    QxPackedFile packed;
    packed.AddFile(parts[1].c_str(), 0, 1);
    packed.SetBasePath(parts[2].c_str());
    QxSubFile sub;
    packed.FindFile(parts[0].c_str(), &sub);
    char byte;
    sub.Read(&byte, 1); // the archive is not open: nothing to read, nothing to break
    return 0;
}
