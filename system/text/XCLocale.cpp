#include "system/text/XCLocale.h"

namespace {

locale_t CLocale()
{
    // The C locale is built in: newlocale hands back a static object, so
    // there is nothing to free at shut-down.
    static locale_t c = newlocale(LC_ALL_MASK, "C", (locale_t) 0);
    return c;
}

} // namespace

XCLocaleScope::XCLocaleScope() : m_Previous(CLocale() ? uselocale(CLocale()) : (locale_t) 0) {}

XCLocaleScope::~XCLocaleScope()
{
    if (m_Previous)
        uselocale(m_Previous);
}
