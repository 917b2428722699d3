#include "system/io/CKPathSplitter.h"

#include <cstring>

#include "system/log/QxLibraryLog.h"
#include "system/log/QxLogManager.h"

namespace {
bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

void CopyPart(char* out, const char* begin, size_t length)
{
    std::memcpy(out, begin, length);
    out[length] = '\0';
}
} // namespace

CKPathSplitter::CKPathSplitter(const char* path)
{
    m_Drive[0] = m_Dir[0] = m_Name[0] = m_Ext[0] = '\0';
    if (!path)
        return;
    size_t length = strnlen(path, kMaxPath);
    if (length >= static_cast<size_t>(kMaxPath)) {
        QxLibraryLog(QXLOG_ERROR, __LINE__, __FILE__,
                     "Possible Buffer Overrun avoided in CKPathSplitter : filename is larger than _MAX_PATH");
        return;
    }

    const char* p = path;
    const char* end = path + length;
    if (length >= 2 && p[1] == ':') {
        CopyPart(m_Drive, p, 2);
        p += 2;
    }
    const char* lastSeparator = nullptr;
    for (const char* q = p; q < end; ++q)
        if (IsSeparator(*q))
            lastSeparator = q;
    if (lastSeparator) {
        CopyPart(m_Dir, p, static_cast<size_t>(lastSeparator + 1 - p));
        p = lastSeparator + 1;
    }
    const char* lastDot = nullptr;
    for (const char* q = p; q < end; ++q)
        if (*q == '.')
            lastDot = q;
    if (lastDot) {
        CopyPart(m_Name, p, static_cast<size_t>(lastDot - p));
        CopyPart(m_Ext, lastDot, static_cast<size_t>(end - lastDot));
    } else
        CopyPart(m_Name, p, static_cast<size_t>(end - p));
}
