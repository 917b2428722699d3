#pragma once

#include "includes/XString.h"

class CKMovieReader;

// The movie of a bitmap data: its file and the reader that decodes it.
struct CKMovieInfo
{
    explicit CKMovieInfo(const XString& name) : m_FileName(name) {}
    // Releases the reader.
    ~CKMovieInfo();
    CKMovieInfo(const CKMovieInfo&) = delete;
    CKMovieInfo& operator=(const CKMovieInfo&) = delete;

    XString m_FileName;
    CKMovieReader* m_Reader = nullptr; // owned, released through Release
    int m_CurrentFrame = -1;           // frame shown in slot 0, -1 before the first
};
