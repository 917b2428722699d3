#pragma once

// File extensions as plug-in records and bitmap properties hold them: a text
// without the dot, cut to the field and zero-terminated. Building from a text
// skips one leading '.'; null gives an empty text.

// At most 3 characters and a zero.
struct CKShortFileExtension
{
    char m_Data[4] = {};

    CKShortFileExtension() = default;
    explicit CKShortFileExtension(const char* text) { Set(text); }
    void Set(const char* text);
    const char* CStr() const { return m_Data; }
};

// At most 67 characters and a zero.
struct CKFileExtension
{
    char m_Data[68] = {};

    CKFileExtension() = default;
    explicit CKFileExtension(const char* text) { Set(text); }
    void Set(const char* text);
    const char* CStr() const { return m_Data; }
};
