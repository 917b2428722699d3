#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/PlatformPaths.h"

// A path for a file a benchmark writes: in a folder of its own under the
// temporary folder ($TMPDIR), which is removed with all it holds when the
// program exits.
inline std::string BenchTempFile(const std::string& name)
{
    static const std::string folder = [] {
        std::string pattern = PlatformGetTempPath() + "engine-bench-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        static std::string removed;
        removed = pattern;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(removed, ec);
        });
        return pattern;
    }();
    return folder + "/" + name;
}
