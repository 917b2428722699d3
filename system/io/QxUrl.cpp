#include "system/io/QxUrl.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

namespace {
const char kEscaped[] = " \\+,;=@[]^{}";

unsigned DigitValue(unsigned char c)
{
    c = static_cast<unsigned char>(std::tolower(c));
    return c >= 'a' ? c - 'a' + 10u : c - static_cast<unsigned>('0');
}
} // namespace

void QxUnescapeUrl(XString& text)
{
    int length = text.Length();
    if (length == 0)
        return;
    const char* in = text.CStr();
    std::string out;
    out.reserve(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        if (in[i] == '%' && i + 2 < length) {
            unsigned value = 16u * DigitValue(static_cast<unsigned char>(in[i + 1])) +
                             DigitValue(static_cast<unsigned char>(in[i + 2]));
            out += static_cast<char>(value & 0xFF);
            i += 2;
        } else
            out += in[i];
    }
    text.Assign(out.data(), static_cast<int>(out.size()));
}

int QxEscapeUrl(const char* path, XString& result)
{
    if (!path) {
        result = "";
        return -1;
    }
    if (strncasecmp(path, "file://", 7) == 0 || !std::strpbrk(path, kEscaped)) {
        result = path;
        return 0;
    }
    bool local = std::strstr(path, "://") == nullptr;
    std::string out = local ? "file://" : "";
    const char* p = path;
    for (; *p && *p != '?'; ++p) {
        if (*p == '\\')
            out += '/';
        else if (std::strchr(kEscaped, *p)) {
            char hex[4];
            std::snprintf(hex, sizeof(hex), "%%%02x", static_cast<unsigned char>(*p));
            out += hex;
        } else
            out += *p;
    }
    out += p;
    result.Assign(out.data(), static_cast<int>(out.size()));
    return 0;
}
