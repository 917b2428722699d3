#include "includes/XString.h"

#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "system/memory/QxMemoryManager.h"

namespace {

// A start position clamped to 0..length.
inline CKDWORD ClampStart(int start, CKDWORD length)
{
    return start < 0 ? 0 : ((CKDWORD) start > length ? length : (CKDWORD) start);
}

// A count clamped to 0..available.
inline CKDWORD ClampCount(int count, CKDWORD available)
{
    return count < 0 ? 0 : ((CKDWORD) count > available ? available : (CKDWORD) count);
}

inline int Lowered(char c)
{
    return (signed char) std::tolower((unsigned char) c);
}

// The comparison of the engine: an empty side gives minus / plus the other's
// length; otherwise signed bytes up to the first difference or terminator.
template <bool IgnoreCase>
int CompareRefs(const char* a, CKDWORD aLen, const char* b, CKDWORD bLen)
{
    if (aLen == 0)
        return -(int) bLen;
    if (bLen == 0)
        return (int) aLen;
    CKDWORD n = aLen < bLen ? aLen : bLen;
    if (!IgnoreCase) {
        // Words first, then bytes; a zero before the first difference ends
        // the comparison there, as the byte loop would.
        CKDWORD i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t x, y;
            std::memcpy(&x, a + i, 8);
            std::memcpy(&y, b + i, 8);
            if (x != y)
                break;
        }
        while (i < n && a[i] == b[i])
            ++i;
        if (i > 0 && std::memchr(a, 0, i))
            return 0;
        int ca = i < aLen ? (signed char) a[i] : 0;
        int cb = i < bLen ? (signed char) b[i] : 0;
        return ca - cb;
    }
    for (CKDWORD i = 0; i < n; ++i) {
        int ca = IgnoreCase ? Lowered(a[i]) : (signed char) a[i];
        int cb = IgnoreCase ? Lowered(b[i]) : (signed char) b[i];
        if (ca != cb)
            return ca - cb;
        if (ca == 0)
            return 0;
    }
    // One is a prefix of the other: its terminator meets the other's character.
    int ca = aLen > n ? (IgnoreCase ? Lowered(a[n]) : (signed char) a[n]) : 0;
    int cb = bLen > n ? (IgnoreCase ? Lowered(b[n]) : (signed char) b[n]) : 0;
    return ca - cb;
}

// First occurrence of needle in the bytes [hay, hay + hayLen), or null.
// Bounded by the lengths (strstr would rescan the rest of the string).
const char* FindBytes(const char* hay, size_t hayLen, const char* needle, size_t needleLen)
{
    if (needleLen == 0 || needleLen > hayLen)
        return nullptr;
    const char* last = hay + (hayLen - needleLen);
    for (const char* p = hay; p <= last; ++p) {
        p = static_cast<const char*>(std::memchr(p, needle[0], (size_t) (last - p) + 1));
        if (!p)
            return nullptr;
        if (std::memcmp(p + 1, needle + 1, needleLen - 1) == 0)
            return p;
    }
    return nullptr;
}

} // namespace

XString::XString(const char* text, int length)
{
    if (!text)
        return;
    CKDWORD len = length > 0 ? (CKDWORD) length : (CKDWORD) std::strlen(text);
    if (len == 0 || len > MaxLength)
        return;
    m_Buffer = static_cast<char*>(QxGetMemoryManager()->Allocate(len + 1));
    if (!m_Buffer)
        return;
    std::memcpy(m_Buffer, text, len);
    m_Buffer[len] = 0;
    m_Length = len;
    m_Allocated = len + 1;
}

XString::XString(int size)
{
    if (size <= 0 || (CKDWORD) size > MaxLength + 1)
        return;
    m_Buffer = static_cast<char*>(QxGetMemoryManager()->Allocate((size_t) size));
    if (!m_Buffer)
        return;
    std::memset(m_Buffer, 0, (size_t) size);
    m_Length = (CKDWORD) size - 1;
    m_Allocated = (CKDWORD) size;
}

XString::XString(const XString& other)
{
    if (other.m_Length == 0)
        return;
    m_Buffer = static_cast<char*>(QxGetMemoryManager()->Allocate(other.m_Length + 1));
    if (!m_Buffer)
        return;
    std::memcpy(m_Buffer, other.m_Buffer, other.m_Length + 1);
    m_Length = other.m_Length;
    m_Allocated = other.m_Length + 1;
}

XString::~XString()
{
    if (m_Buffer)
        QxGetMemoryManager()->Free(m_Buffer);
}

XString& XString::operator=(const char* text)
{
    if (!text) {
        if (m_Buffer)
            m_Buffer[0] = 0;
        m_Length = 0;
        return *this;
    }
    size_t len = std::strlen(text);
    return SetText(text, len > MaxLength ? (int) (MaxLength + 1) : (int) len);
}

XString& XString::operator=(const XString& other)
{
    if (this == &other)
        return *this;
    return SetText(other.m_Buffer, (int) other.m_Length);
}

XString& XString::operator=(XString&& other) noexcept
{
    if (this != &other) {
        std::swap(m_Buffer, other.m_Buffer);
        std::swap(m_Length, other.m_Length);
        std::swap(m_Allocated, other.m_Allocated);
    }
    return *this;
}

void XString::Reserve(int length)
{
    if (length < 0 || (CKDWORD) length > MaxLength)
        return;
    CKDWORD size = (CKDWORD) length + 1;
    if (size <= m_Allocated)
        return;
    // Growing through realloc keeps the characters and their terminator, as
    // a copy into a new exact-size buffer would, and often avoids the copy.
    char* buffer = static_cast<char*>(QxGetMemoryManager()->Reallocate(m_Buffer, size));
    if (!buffer)
        return;
    if (!m_Buffer)
        buffer[0] = 0;
    m_Buffer = buffer;
    m_Allocated = size;
}

XString& XString::SetText(const char* text, int length)
{
    if (!text || length <= 0 || (CKDWORD) length > MaxLength) {
        if (m_Buffer)
            m_Buffer[0] = 0;
        m_Length = 0;
        return *this;
    }
    // The text may lie in this string's buffer: keep its offset across growth.
    bool inside = m_Buffer && text >= m_Buffer && text < m_Buffer + m_Allocated;
    size_t offset = inside ? (size_t) (text - m_Buffer) : 0;
    Reserve(length);
    if (m_Allocated < (CKDWORD) length + 1)
        return *this;
    std::memmove(m_Buffer, inside ? m_Buffer + offset : text, (size_t) length);
    m_Buffer[length] = 0;
    m_Length = (CKDWORD) length;
    return *this;
}

XString& XString::Assign(const char* text, int length)
{
    if (length < 0 || (CKDWORD) length > MaxLength)
        return *this;
    bool inside = text && m_Buffer && text >= m_Buffer && text < m_Buffer + m_Allocated;
    size_t offset = inside ? (size_t) (text - m_Buffer) : 0;
    Reserve(length);
    if (m_Allocated < (CKDWORD) length + 1)
        return *this;
    if (text)
        std::memmove(m_Buffer, inside ? m_Buffer + offset : text, (size_t) length);
    else
        std::memset(m_Buffer, 0, (size_t) length);
    m_Buffer[length] = 0;
    m_Length = (CKDWORD) length;
    return *this;
}

XString& XString::AssignSubstring(const XString& other, int start)
{
    CKDWORD from = ClampStart(start, other.m_Length);
    CKDWORD count = other.m_Length - from;
    if (count == 0)
        return SetText(nullptr, 0);
    return SetText(other.m_Buffer + from, (int) count);
}

XString& XString::Append(const char* text, CKDWORD len)
{
    if (len == 0)
        return *this;
    if (len > MaxLength - m_Length)
        return *this;
    bool inside = m_Buffer && text >= m_Buffer && text < m_Buffer + m_Allocated;
    size_t offset = inside ? (size_t) (text - m_Buffer) : 0;
    CKDWORD newLength = m_Length + len;
    Reserve((int) newLength);
    if (m_Allocated < newLength + 1)
        return *this;
    std::memmove(m_Buffer + m_Length, inside ? m_Buffer + offset : text, len);
    m_Length = newLength;
    m_Buffer[m_Length] = 0;
    return *this;
}

XString& XString::operator+=(const char* text)
{
    if (!text)
        return *this;
    size_t len = std::strlen(text);
    if (len > MaxLength)
        return *this;
    return Append(text, (CKDWORD) len);
}

XString& XString::operator+=(const XString& other)
{
    return Append(other.m_Buffer, other.m_Length);
}

XString& XString::operator+=(char c)
{
    return Append(&c, 1);
}

XString& XString::operator+=(int value)
{
    char text[16];
    int n = std::snprintf(text, sizeof(text), "%d", value);
    return Append(text, (CKDWORD) n);
}

XString& XString::operator+=(float value)
{
    // "%f" of the largest float is 46 characters.
    char text[64];
    int n = std::snprintf(text, sizeof(text), "%f", (double) value);
    if (n < 0 || n >= (int) sizeof(text))
        return *this;
    return Append(text, (CKDWORD) n);
}

XString XString::operator+(const char* text) const
{
    XString result(*this);
    result += text;
    return result;
}

XString XString::operator+(const XString& other) const
{
    XString result(*this);
    result += other;
    return result;
}

int XString::Compare(const XStringRef& other) const
{
    return CompareRefs<false>(m_Buffer, m_Length, other.m_Buffer, other.m_Length);
}

int XString::CompareCString(const char* text) const
{
    XStringRef ref(text);
    return CompareRefs<false>(m_Buffer, m_Length, ref.m_Buffer, ref.m_Length);
}

int XString::ICompare(const XStringRef& other) const
{
    return CompareRefs<true>(m_Buffer, m_Length, other.m_Buffer, other.m_Length);
}

bool XString::operator==(const XString& other) const
{
    return CompareRefs<false>(m_Buffer, m_Length, other.m_Buffer, other.m_Length) == 0;
}

XString& XString::ToUpper()
{
    for (CKDWORD i = 0; i < m_Length; ++i)
        m_Buffer[i] = (char) std::toupper((unsigned char) m_Buffer[i]);
    return *this;
}

XString& XString::ToLower()
{
    for (CKDWORD i = 0; i < m_Length; ++i)
        m_Buffer[i] = (char) std::tolower((unsigned char) m_Buffer[i]);
    return *this;
}

int XString::Find(char c, int start) const
{
    if (m_Length == 0)
        return -1;
    CKDWORD from = start < 0 ? 0 : (CKDWORD) start;
    if (from >= m_Length)
        return -1;
    const void* hit = std::memchr(m_Buffer + from, c, m_Length - from);
    return hit ? (int) (static_cast<const char*>(hit) - m_Buffer) : -1;
}

int XString::Find(const XString& str, int start) const
{
    if (m_Length == 0 || str.m_Length == 0)
        return -1;
    CKDWORD from = start < 0 ? 0 : (CKDWORD) start;
    if (from >= m_Length)
        return -1;
    const char* hit = FindBytes(m_Buffer + from, m_Length - from, str.m_Buffer, str.m_Length);
    return hit ? (int) (hit - m_Buffer) : -1;
}

int XString::RFind(char c, int before) const
{
    if (m_Length == 0)
        return -1;
    CKDWORD end = (CKDWORD) before > m_Length ? m_Length : (CKDWORD) before;
    for (CKDWORD i = end; i > 0; --i)
        if (m_Buffer[i - 1] == c)
            return (int) (i - 1);
    return -1;
}

XString& XString::Crop(int start, int length)
{
    if (!m_Buffer)
        return *this;
    CKDWORD from = ClampStart(start, m_Length);
    CKDWORD count = ClampCount(length, m_Length - from);
    std::memmove(m_Buffer, m_Buffer + from, count);
    m_Buffer[count] = 0;
    m_Length = count;
    return *this;
}

XString& XString::Cut(int start, int count)
{
    if (!m_Buffer)
        return *this;
    CKDWORD from = ClampStart(start, m_Length);
    CKDWORD n = ClampCount(count, m_Length - from);
    std::memmove(m_Buffer + from, m_Buffer + from + n, m_Length - from - n + 1);
    m_Length -= n;
    return *this;
}

int XString::Replace(const XString& fromArg, const XString& toArg)
{
    if (m_Length == 0 || fromArg.m_Length == 0)
        return 0;
    // Either argument may be this string itself.
    XString fromCopy, toCopy;
    const XString& from = &fromArg == this ? (fromCopy = fromArg) : fromArg;
    const XString& to = &toArg == this ? (toCopy = toArg) : toArg;
    CKDWORD fromLen = from.m_Length;
    CKDWORD toLen = to.m_Length;

    const char* end = m_Buffer + m_Length;
    if (fromLen == toLen) {
        int count = 0;
        for (const char* p = m_Buffer; (p = FindBytes(p, (size_t) (end - p), from.m_Buffer, fromLen)) != nullptr;
             p += fromLen) {
            std::memcpy(const_cast<char*>(p), to.m_Buffer, toLen);
            ++count;
        }
        return count;
    }

    CKDWORD count = 0;
    for (const char* p = m_Buffer; (p = FindBytes(p, (size_t) (end - p), from.m_Buffer, fromLen)) != nullptr;
         p += fromLen)
        ++count;
    if (count == 0)
        return 0;
    unsigned long long newLength =
        (unsigned long long) m_Length + (unsigned long long) count * toLen - (unsigned long long) count * fromLen;
    if (newLength > MaxLength)
        return 0;
    char* buffer = static_cast<char*>(QxGetMemoryManager()->Allocate((size_t) newLength + 1));
    if (!buffer)
        return 0;
    char* out = buffer;
    const char* in = m_Buffer;
    for (const char* hit; (hit = FindBytes(in, (size_t) (end - in), from.m_Buffer, fromLen)) != nullptr;
         in = hit + fromLen) {
        std::memcpy(out, in, (size_t) (hit - in));
        out += hit - in;
        if (toLen)
            std::memcpy(out, to.m_Buffer, toLen);
        out += toLen;
    }
    size_t rest = (size_t) (m_Buffer + m_Length - in);
    std::memcpy(out, in, rest);
    out[rest] = 0;
    QxGetMemoryManager()->Free(m_Buffer);
    m_Buffer = buffer;
    m_Length = (CKDWORD) newLength;
    m_Allocated = (CKDWORD) newLength + 1;
    return (int) count;
}

XString XString::Substring(int start, int length) const
{
    CKDWORD from = ClampStart(start, m_Length);
    CKDWORD count = m_Length - from;
    if (length > 0 && (CKDWORD) length < count)
        count = (CKDWORD) length;
    if (count == 0)
        return XString();
    return XString(m_Buffer + from, (int) count);
}

XString& XString::MakeValidFileName()
{
    for (CKDWORD i = 0; i < m_Length; ++i) {
        char c = m_Buffer[i];
        if (c == '"' || c == '*' || c == '<' || c == '>' || c == '?' || c == '|') {
            m_Buffer[i] = ' ';
        } else if (c == ':') {
            bool driveColon = i == 1 && m_Length >= 4 && std::isalpha((unsigned char) m_Buffer[0]) &&
                              (m_Buffer[2] == '\\' || m_Buffer[2] == '/');
            if (!driveColon)
                m_Buffer[i] = ' ';
        }
    }
    return *this;
}

XString& XString::Format(const char* format, ...)
{
    if (!format)
        return *this;
    QxMemoryManager* manager = QxGetMemoryManager();
    CKDWORD size = m_Allocated > 512 ? m_Allocated : 512;
    QxScratchBufferRecord* scratch = manager->AcquireScratchBuffer(size);
    if (!scratch)
        return *this;

    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int needed = std::vsnprintf(static_cast<char*>(scratch->m_Data), size, format, args);
    va_end(args);
    if (needed < 0 || (CKDWORD) needed > MaxLength) {
        va_end(again);
        manager->ReleaseScratchBuffer(scratch->m_Data);
        return *this;
    }
    if ((CKDWORD) needed > size - 1) {
        // Double until size - 1 bytes hold the text, then format once more.
        while ((CKDWORD) needed > size - 1)
            size *= 2;
        manager->ReleaseScratchBuffer(scratch->m_Data);
        scratch = manager->AcquireScratchBuffer(size);
        if (!scratch) {
            va_end(again);
            return *this;
        }
        std::vsnprintf(static_cast<char*>(scratch->m_Data), size, format, again);
    }
    va_end(again);
    SetText(static_cast<const char*>(scratch->m_Data), needed);
    manager->ReleaseScratchBuffer(scratch->m_Data);
    return *this;
}

char& XString::Dummy()
{
    static thread_local char dummy;
    dummy = 0;
    return dummy;
}

char* XStringTokenizer::NextToken(const char* previous)
{
    char* buffer = m_Source->Str();
    if (!buffer)
        return nullptr;
    char* end = buffer + m_Source->Length();
    char* p;
    if (!previous) {
        p = buffer;
    } else {
        if (previous < buffer || previous > end)
            return nullptr;
        const char* prevEnd = previous + std::strlen(previous);
        if (prevEnd >= end)
            return nullptr;
        p = buffer + (prevEnd - buffer) + 1;
    }
    while (p < end && *p && std::strchr(m_Delimiters, *p))
        ++p;
    if (p >= end || !*p)
        return nullptr;
    char* token = p;
    while (p < end && *p && !std::strchr(m_Delimiters, *p))
        ++p;
    if (p < end && *p)
        *p = 0;
    return token;
}

CKDWORD QxHashString(const char* text)
{
    CKDWORD h = 0;
    if (text)
        for (const char* p = text; *p; ++p)
            h = h * 5 + (CKDWORD) (int) (signed char) *p;
    return h;
}

CKDWORD QxHashString(const XString& text)
{
    return QxHashString(text.CStr());
}
