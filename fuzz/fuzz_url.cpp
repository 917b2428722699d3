// Escapes and unescapes arbitrary text. A local path without '%', '?' or a
// scheme must come back from escaping then unescaping, its '\' turned into
// '/'.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "system/io/QxUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    std::string input(reinterpret_cast<const char*>(data), size);

    XString raw(input.c_str(), static_cast<int>(input.size()));
    QxUnescapeUrl(raw);
    if (raw.Length() > static_cast<int>(input.size()))
        std::abort();

    const char* path = input.c_str(); // up to the first zero byte
    XString escaped;
    if (QxEscapeUrl(path, escaped) != 0)
        std::abort();

    bool local = std::strstr(path, "://") == nullptr && strncasecmp(path, "file://", 7) != 0;
    if (local && !std::strchr(path, '%') && !std::strchr(path, '?')) {
        std::string expected(path);
        for (char& c : expected)
            if (c == '\\')
                c = '/';
        std::string text(escaped.CStr(), escaped.Length());
        bool changed = text != path;
        if (changed) {
            if (text.compare(0, 7, "file://") != 0)
                std::abort();
            text = text.substr(7);
        } else
            expected = path;
        XString back(text.c_str(), static_cast<int>(text.size()));
        QxUnescapeUrl(back);
        if (std::string(back.CStr(), back.Length()) != expected)
            std::abort();
    }
    return 0;
}
