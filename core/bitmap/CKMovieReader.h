#pragma once

#include "core/bitmap/CKBitmapProperties.h"
#include "core/bitmap/CKDataReader.h"
#include "includes/CKTypes.h"

// Result of the reserved movie operations: not implemented.
constexpr int CK_MOVIEREADER_NOTIMPLEMENTED = -7;

// A movie reader: frames of an opened movie, one at a time.
class CKMovieReader : public CKDataReader
{
public:
    virtual int GetMovieFrameCount() = 0;
    virtual int GetMovieLength() = 0;
    // Opens a movie; 0 on success.
    virtual int OpenFile(const char* name) = 0;
    virtual int Reserved1(void* a, void* b)
    {
        (void) a;
        (void) b;
        return CK_MOVIEREADER_NOTIMPLEMENTED;
    }
    virtual int Reserved2(void* a, void* b)
    {
        (void) a;
        (void) b;
        return CK_MOVIEREADER_NOTIMPLEMENTED;
    }
    // Decodes one frame into the reader's record; 0 on success with
    // *out = that record.
    virtual int ReadFrame(int frame, CKBitmapProperties** out) = 0;
};
