#pragma once

#include <locale.h>

// Switches the calling thread to the C locale while it lives, so that numbers
// are written and read with a '.' whatever locale the process has chosen
// (files and the text forms of values must not depend on it).
class XCLocaleScope
{
public:
    XCLocaleScope();
    ~XCLocaleScope();
    XCLocaleScope(const XCLocaleScope&) = delete;
    XCLocaleScope& operator=(const XCLocaleScope&) = delete;

private:
    locale_t m_Previous;
};
