#pragma once

#include <cstdio>

#include "system/io/QxStream.h"

// Open modes of QxFile::Open; any other value opens for binary reading.
enum QxFileMode
{
    QX_FILE_READ = 1,             // "rb"
    QX_FILE_WRITE = 2,            // "wb"
    QX_FILE_READWRITE = 3,        // "r+b"
    QX_FILE_APPEND = 4,           // "ab"
    QX_FILE_READAPPEND = 5,       // "a+b"
    QX_FILE_TEXT_READ = 9,        // "r"
    QX_FILE_TEXT_WRITE = 10,      // "w"
    QX_FILE_TEXT_READWRITE = 11,  // "r+"
    QX_FILE_TEXT_APPEND = 12,     // "a"
    QX_FILE_TEXT_READAPPEND = 13, // "a+"
};

// A C runtime file. Operations other than Close and IsValid expect an open
// file (test Open's result); on a closed one they do nothing and return 0.
class QxFile : public QxStream
{
public:
    QxFile() = default;
    ~QxFile() override;
    QxFile(const QxFile&) = delete;
    QxFile& operator=(const QxFile&) = delete;

    CKDWORD Tell() override;
    // Leaves the position where it was.
    CKDWORD GetSize() override;
    // A file is open and has no error.
    CKBOOL IsValid() override;
    CKBOOL Seek(int offset, int origin) override;
    CKDWORD Read(void* buffer, CKDWORD size) override;
    CKDWORD Write(const void* buffer, CKDWORD size) override;

    // Closes any open file; the name (null counts as "") is cleaned of the
    // characters a file name cannot hold (XString::MakeValidFileName); both
    // '\' and '/' separate folders. True when the file is open without error.
    virtual CKBOOL Open(const char* name, int mode);
    // True when no file was open or it closed cleanly.
    virtual CKBOOL Close();
    // Reads one line of at most size - 1 characters, line feed kept; true
    // when a line was read.
    virtual CKBOOL GetString(char* buffer, int size);
    virtual int Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual int Flush();
    virtual CKBOOL IsEof();
    virtual int Scanf(const char* format, ...) __attribute__((format(scanf, 2, 3)));
    // Reads count items of itemSize bytes; returns the items read.
    virtual CKDWORD ReadItems(void* buffer, CKDWORD itemSize, CKDWORD count);

    FILE* GetFileHandle() const { return m_File; }

protected:
    FILE* m_File = nullptr;
};
