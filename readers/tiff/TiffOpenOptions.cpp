#include "readers/tiff/TiffOpenOptions.h"

#include <cstdarg>
#include <cstdio>

#include "readers/common/ReaderLog.h"

namespace {

constexpr tmsize_t kMaxSingleAllocation = (tmsize_t) 1 << 30;

int ErrorHandler(TIFF*, void*, const char* module, const char* format, va_list args)
{
    char text[512];
    std::vsnprintf(text, sizeof(text), format, args);
    ReaderLogError("TIFF: %s: %s", module ? module : "", text);
    return 1;
}

int WarningHandler(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

} // namespace

TiffOpenOptions::TiffOpenOptions() : m_Options(TIFFOpenOptionsAlloc())
{
    if (!m_Options)
        return;
    TIFFOpenOptionsSetMaxSingleMemAlloc(m_Options, kMaxSingleAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(m_Options, ErrorHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(m_Options, WarningHandler, nullptr);
}

TiffOpenOptions::~TiffOpenOptions()
{
    TIFFOpenOptionsFree(m_Options);
}
