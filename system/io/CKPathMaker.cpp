#include "system/io/CKPathMaker.h"

#include <cstring>

#include "system/log/QxLibraryLog.h"
#include "system/log/QxLogManager.h"

namespace {
size_t CountedLength(const char* part)
{
    // Each part is counted with one more character for its separator; a part
    // longer than a path is refused whatever the others are.
    return part ? strnlen(part, CKPathMaker::kMaxPath) + 1 : 0;
}
} // namespace

CKPathMaker::CKPathMaker(const char* drive, const char* dir, const char* name, const char* ext)
{
    m_FileName[0] = '\0';
    size_t total = CountedLength(drive) + CountedLength(dir) + CountedLength(name) + CountedLength(ext);
    if (total >= static_cast<size_t>(kMaxPath)) {
        QxLibraryLog(QXLOG_ERROR, __LINE__, __FILE__,
                     "Possible Buffer Overrun avoided in PathMaker : arguments are too larges");
        return;
    }

    char* out = m_FileName;
    if (drive && *drive) {
        *out++ = *drive;
        *out++ = ':';
    }
    if (dir && *dir) {
        size_t n = std::strlen(dir);
        std::memcpy(out, dir, n);
        out += n;
        if (dir[n - 1] != '/' && dir[n - 1] != '\\')
            *out++ = '/';
    }
    if (name && *name) {
        size_t n = std::strlen(name);
        std::memcpy(out, name, n);
        out += n;
    }
    if (ext && *ext) {
        if (*ext != '.')
            *out++ = '.';
        size_t n = std::strlen(ext);
        std::memcpy(out, ext, n);
        out += n;
    }
    *out = '\0';
}
