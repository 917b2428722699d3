#include "render/objects/pointcloud/CloudScan.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

void SkipSpace(const char*& p, const char* end)
{
    while (p < end && IsSpace(*p))
        ++p;
}

// An out-of-range float: an exponent with a minus sign went below the
// range, anything else above it.
float OutOfRange(const char* begin, const char* end, bool negative)
{
    for (const char* p = begin; p + 1 < end; ++p)
        if ((*p == 'e' || *p == 'E') && p[1] == '-')
            return negative ? -0.0f : 0.0f;
    return negative ? -INFINITY : INFINITY;
}

bool ScanFloat(const char*& p, const char* end, float& out)
{
    const char* s = p;
    bool negative = false;
    if (s < end && (*s == '+' || *s == '-')) {
        negative = *s == '-';
        ++s;
    }
    if (s >= end || *s == '+' || *s == '-')
        return false;
    float value = 0.0f;
    const std::from_chars_result r = std::from_chars(s, end, value, std::chars_format::general);
    if (r.ptr == s)
        return false;
    if (r.ec == std::errc::result_out_of_range)
        value = OutOfRange(s, r.ptr, false);
    out = negative ? -value : value;
    p = r.ptr;
    return true;
}

bool ScanInt(const char*& p, const char* end, int& out, bool anyBase)
{
    const char* s = p;
    bool negative = false;
    if (s < end && (*s == '+' || *s == '-')) {
        negative = *s == '-';
        ++s;
    }
    int base = 10;
    if (anyBase && s < end && *s == '0') {
        base = 8;
        if (s + 2 < end && (s[1] == 'x' || s[1] == 'X') && std::isxdigit((unsigned char) s[2])) {
            base = 16;
            s += 2;
        }
    }
    unsigned long long magnitude = 0;
    bool overflow = false;
    const char* digits = s;
    for (; s < end; ++s) {
        int d;
        if (*s >= '0' && *s <= '9')
            d = *s - '0';
        else if (base == 16 && *s >= 'a' && *s <= 'f')
            d = *s - 'a' + 10;
        else if (base == 16 && *s >= 'A' && *s <= 'F')
            d = *s - 'A' + 10;
        else
            break;
        if (d >= base)
            break;
        if (magnitude > (unsigned long long) INT_MAX + 1)
            overflow = true;
        else
            magnitude = magnitude * base + d;
    }
    if (s == digits)
        return false;
    const unsigned long long limit = negative ? (unsigned long long) INT_MAX + 1 : (unsigned long long) INT_MAX;
    if (overflow || magnitude > limit)
        magnitude = limit;
    out = negative ? (int) (-(long long) magnitude) : (int) magnitude;
    p = s;
    return true;
}

} // namespace

int CloudScan(const char*& cursor, const char* end, const char* format, CloudScanValue* values, int maxValues)
{
    const char* p = cursor;
    int converted = 0;
    bool attempted = false;
    for (const char* f = format; *f; ++f) {
        if (IsSpace(*f)) {
            SkipSpace(p, end);
            continue;
        }
        if (*f != '%') {
            if (p >= end || *p != *f)
                break;
            ++p;
            continue;
        }
        ++f;
        const char kind = *f;
        if (kind != 'f' && kind != 'g' && kind != 'd' && kind != 'i')
            break;
        SkipSpace(p, end);
        if (p >= end) {
            if (!attempted && converted == 0) {
                cursor = p;
                return -1;
            }
            break;
        }
        attempted = true;
        CloudScanValue v;
        const bool ok = kind == 'f' || kind == 'g' ? ScanFloat(p, end, v.f) : ScanInt(p, end, v.i, kind == 'i');
        if (!ok || converted >= maxValues)
            break;
        values[converted++] = v;
    }
    cursor = p;
    return converted;
}

const char* CloudLineEnd(const char* begin, const char* end)
{
    const void* lf = std::memchr(begin, '\n', (size_t) (end - begin));
    return lf ? static_cast<const char*>(lf) : end;
}

bool CloudIsBlank(const char* begin, const char* end)
{
    for (const char* p = begin; p < end; ++p)
        if (!IsSpace(*p))
            return false;
    return true;
}
