#pragma once

#include <cstring>
#include <utility>

#include "includes/CKTypes.h"
#include "platform/PlatformAssert.h"

// The engine's assertion texts name DWORD.
typedef CKDWORD DWORD;

class XStringRef;

// The engine's byte string: a buffer (null for a string that never held
// text), its length without the terminating zero, and the allocated size
// (terminator included). Buffers come from the memory manager and grow to
// exactly the size asked for. The longest string is XString::MaxLength
// characters: an append beyond it leaves the string unchanged, setting a
// longer text leaves it empty.
class XString
{
public:
    static constexpr CKDWORD MaxLength = 0x0FFFFFFE;

    XString() = default;
    // length 0 measures text with strlen; a null or empty text gives a
    // string without a buffer. Otherwise exactly length + 1 bytes.
    XString(const char* text, int length = 0);
    // A zero-filled buffer of size bytes, length size - 1; 0 gives no buffer.
    explicit XString(int size);
    XString(const XString& other);
    XString(XString&& other) noexcept
        : m_Buffer(other.m_Buffer), m_Length(other.m_Length), m_Allocated(other.m_Allocated)
    {
        other.m_Buffer = nullptr;
        other.m_Length = other.m_Allocated = 0;
    }
    ~XString();

    // Null empties the string (the buffer stays).
    XString& operator=(const char* text);
    XString& operator=(const XString& other);
    XString& operator=(XString&& other) noexcept;

    // Length 0 (or negative, or beyond MaxLength) empties the string, keeping
    // its buffer; otherwise copies length characters and a terminator. A
    // null text empties it too. text may point into this string.
    XString& SetText(const char* text, int length);
    // Sets the length and copies length bytes from text (zeros when text is
    // null), then a terminator.
    XString& Assign(const char* text, int length);
    // The other's characters from start (clamped to its length) to its end.
    XString& AssignSubstring(const XString& other, int start);

    // Room for length characters and the terminator; exact growth, never
    // shrinks; the length is unchanged.
    void Reserve(int length);

    XString& operator+=(const char* text);
    XString& operator+=(const XString& other);
    XString& operator+=(char c);
    XString& operator+=(int value);   // "%d"
    XString& operator+=(float value); // "%f" of the value widened to double
    XString operator+(const char* text) const;
    XString operator+(const XString& other) const;

    // Signed byte comparison: an empty side gives minus / plus the other's
    // length; otherwise the difference of the first differing characters.
    int Compare(const XStringRef& other) const;
    int CompareCString(const char* text) const; // null counts as empty
    // As Compare, every character through tolower first.
    int ICompare(const XStringRef& other) const;
    bool operator==(const char* text) const { return CompareCString(text) == 0; }
    bool operator!=(const char* text) const { return CompareCString(text) != 0; }
    bool operator==(const XString& other) const;
    bool operator!=(const XString& other) const { return !(*this == other); }

    XString& ToUpper();
    XString& ToLower();

    // Index of the first c at or after start (clamped), or -1.
    int Find(char c, int start = 0) const;
    // Index of the first occurrence of str at or after start, or -1 (also when
    // either string is empty).
    int Find(const XString& str, int start = 0) const;
    // Index of the last c before index before; -1 (or any index past the end)
    // searches the whole string. -1 when absent.
    int RFind(char c, int before = -1) const;

    // Keeps length characters from start; both are clamped to the string.
    XString& Crop(int start, int length);
    // Removes count characters at start; both are clamped to the string.
    XString& Cut(int start, int count);
    // Replaces every non-overlapping occurrence of from by to, left to right;
    // returns the count. 0 (string unchanged) when this or from is empty or
    // when the result would be longer than MaxLength.
    int Replace(const XString& from, const XString& to);
    // length characters from start (clamped); length 0 or less: to the end.
    XString Substring(int start, int length = 0) const;
    // '"', '*', '<', '>', '?', '|' and ':' (unless a drive colon) become spaces.
    XString& MakeValidFileName();

    // printf-style, through the memory manager's scratch buffers; the string
    // is unchanged when no scratch buffer can be had.
    XString& Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The characters, or "" when there is no buffer.
    const char* CStr() const { return m_Buffer ? m_Buffer : ""; }
    char* Str() { return m_Buffer; }
    int Length() const { return (int) m_Length; }
    int Capacity() const { return (int) m_Allocated; }
    bool IsEmpty() const { return m_Length == 0; }

    // A bad index is reported and reads or writes a zeroed dummy character.
    char& operator[](int i)
    {
        if (!PLATFORM_CHECK_TEXT(i >= 0 && (DWORD) i < m_Length, "i>=0 && (DWORD) i < m_Length"))
            return Dummy();
        return m_Buffer[i];
    }
    char operator[](int i) const
    {
        if (!PLATFORM_CHECK_TEXT(i >= 0 && (DWORD) i < m_Length, "i>=0 && (DWORD) i < m_Length"))
            return 0;
        return m_Buffer[i];
    }

private:
    friend class XStringRef;

    // Appends len bytes (which may lie in this string's own buffer).
    XString& Append(const char* text, CKDWORD len);
    static char& Dummy();

    char* m_Buffer = nullptr;
    CKDWORD m_Length = 0;
    CKDWORD m_Allocated = 0;
};

// A non-owning view: character pointer and length, the layout of the first
// two fields of XString, so the comparison routines take either.
class XStringRef
{
public:
    XStringRef() = default;
    XStringRef(const char* text) : m_Buffer(text), m_Length(text ? (CKDWORD) std::strlen(text) : 0) {}
    XStringRef(const char* text, int length) : m_Buffer(text), m_Length(text && length > 0 ? (CKDWORD) length : 0) {}
    XStringRef(const XString& s) : m_Buffer(s.m_Buffer), m_Length(s.m_Length) {}

    const char* CStr() const { return m_Buffer ? m_Buffer : ""; }
    int Length() const { return (int) m_Length; }

private:
    friend class XString;

    const char* m_Buffer = nullptr;
    CKDWORD m_Length = 0;
};

// Cuts a string in place into tokens separated by any of the delimiters.
class XStringTokenizer
{
public:
    XStringTokenizer(XString& source, const char* delimiters)
        : m_Source(&source), m_Delimiters(delimiters ? delimiters : "")
    {}

    // With previous null, the first token; otherwise the one after previous
    // (a token this tokenizer returned). Null when there is none. The first
    // delimiter after each token is overwritten by 0 for good.
    char* NextToken(const char* previous);

private:
    XString* m_Source;
    const char* m_Delimiters;
};

// h = h x 5 + c over the characters as signed bytes, from 0; null hashes to 0.
CKDWORD QxHashString(const char* text);
CKDWORD QxHashString(const XString& text);
