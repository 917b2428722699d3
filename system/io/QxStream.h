#pragma once

#include "includes/CKTypes.h"

// Seek origins of QxStream::Seek. Note the numbering: 1 is the end, 2 the
// current position.
enum QxSeekOrigin
{
    QX_SEEK_BEGIN = 0,
    QX_SEEK_END = 1,
    QX_SEEK_CURRENT = 2,
};

// A byte stream: a file, a window onto another stream, a cached file.
class QxStream
{
public:
    virtual ~QxStream() = default;

    // Current position.
    virtual CKDWORD Tell() = 0;
    // Size of the stream in bytes.
    virtual CKDWORD GetSize() = 0;
    // True when the stream can be used.
    virtual CKBOOL IsValid() = 0;
    // Moves the position (see QxSeekOrigin); true on success.
    virtual CKBOOL Seek(int offset, int origin) = 0;
    // Reads up to size bytes; returns the number read.
    virtual CKDWORD Read(void* buffer, CKDWORD size) = 0;
    // Writes size bytes; returns the number written.
    virtual CKDWORD Write(const void* buffer, CKDWORD size) = 0;

    // Copies size bytes (0: the source's whole size) from the source's
    // position to this stream's, through a 32,768-byte scratch buffer.
    // Stops at the first short read or short write and returns the bytes
    // really written.
    virtual CKDWORD CopyFrom(QxStream* source, CKDWORD size);
};
