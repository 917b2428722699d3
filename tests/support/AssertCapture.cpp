#include "tests/support/AssertCapture.h"

namespace {
std::vector<std::string> g_Texts;

void CaptureHook(const char* expression, const char*, int)
{
    g_Texts.emplace_back(expression);
}
} // namespace

AssertCapture::AssertCapture()
{
    g_Texts.clear();
    m_Previous = PlatformSetAssertHook(CaptureHook);
}

AssertCapture::~AssertCapture()
{
    PlatformSetAssertHook(m_Previous);
}

const std::vector<std::string>& AssertCapture::Texts() const
{
    return g_Texts;
}

void AssertCapture::Clear()
{
    g_Texts.clear();
}
