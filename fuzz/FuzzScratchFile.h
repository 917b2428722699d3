#pragma once

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/PlatformPaths.h"

// One scratch file per process for targets whose parser reads a path: made
// under the temporary folder ($TMPDIR) with a unique name, removed at exit.
inline const std::string& FuzzScratchPath()
{
    struct Scratch
    {
        std::string path = PlatformGetTempPath() + "fuzz-scratch-XXXXXX";
        Scratch()
        {
            const int fd = ::mkstemp(path.data());
            if (fd < 0)
                std::abort();
            ::close(fd);
        }
        ~Scratch() { ::unlink(path.c_str()); }
    };
    static const Scratch scratch;
    return scratch.path;
}
