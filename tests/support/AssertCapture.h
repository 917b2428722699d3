#pragma once

#include <string>
#include <vector>

#include "platform/PlatformAssert.h"

// Captures every assertion text reported while it lives (one at a time).
class AssertCapture
{
public:
    AssertCapture();
    ~AssertCapture();
    AssertCapture(const AssertCapture&) = delete;
    AssertCapture& operator=(const AssertCapture&) = delete;

    const std::vector<std::string>& Texts() const;
    void Clear();

private:
    PlatformAssertHook m_Previous;
};
