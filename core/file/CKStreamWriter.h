#pragma once

#include "includes/CKTypes.h"

// Where the file saver sends a file's bytes (CKContext::GetFileStreamWriter).
class CKStreamWriter
{
public:
    virtual ~CKStreamWriter() = default;
    // Opens the named file for writing; non-zero on success.
    virtual CKBOOL Open(const char* name) = 0;
    // Writes size bytes; returns the number written.
    virtual CKDWORD Write(const void* buffer, CKDWORD size) = 0;
    // Closes the file; false when the last bytes could not be written.
    virtual CKBOOL Close() = 0;
    // 1 when the named file can be opened for appending, else 0; leaves
    // nothing open.
    virtual CKBOOL CheckAppendable(const char* name) = 0;
};
