#include "platform/host/TSTR.h"

#include <cstdio>

int CStr::printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int size = vprintf(format, args);
    va_end(args);
    return size;
}

int CStr::vprintf(const char* format, va_list args)
{
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    if (size < 0) {
        va_end(again);
        m_Text.clear();
        return 0;
    }
    m_Text.assign(size_t(size) + 1, '\0');
    std::vsnprintf(m_Text.data(), m_Text.size(), format, again);
    va_end(again);
    m_Text.resize(size_t(size));
    return size;
}
