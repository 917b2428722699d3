#pragma once

#include <cstdarg>
#include <string>

// Stands in for the host's string class (CStr, also named TSTR): an owned
// text with its length; data() never gives null.
class CStr
{
public:
    CStr() = default;
    // A null text gives the empty string.
    CStr(const char* text) : m_Text(text ? text : "") {}
    CStr(std::string text) : m_Text(std::move(text)) {}

    const char* data() const { return m_Text.c_str(); }
    int Length() const { return int(m_Text.size()); }
    bool isNull() const { return m_Text.empty(); }
    operator const char*() const { return m_Text.c_str(); }
    const std::string& str() const { return m_Text; }

    CStr& operator=(const char* text)
    {
        m_Text = text ? text : "";
        return *this;
    }
    CStr& operator+=(const CStr& s)
    {
        m_Text += s.m_Text;
        return *this;
    }
    CStr operator+(const CStr& s) const { return CStr(m_Text + s.m_Text); }
    bool operator==(const CStr& s) const { return m_Text == s.m_Text; }
    bool operator!=(const CStr& s) const { return m_Text != s.m_Text; }
    bool operator==(const char* s) const { return m_Text == (s ? s : ""); }

    // Formats into the string as the C library's printf does (C locale
    // numbers); gives the new length.
    int printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int vprintf(const char* format, va_list args) __attribute__((format(printf, 2, 0)));

private:
    std::string m_Text;
};

typedef CStr TSTR;
