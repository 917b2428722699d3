#pragma once

#include "core/file/CKInflatingBufferParser.h"

class QxFile;

// Inflates a packed stretch of an open file (not owned) that starts at the
// file's position when the parser is made. The file is sought before each
// read of packed input, so others may move it in between.
class CKCompressedFileBufferParser : public CKInflatingBufferParser
{
public:
    // Invalid (unpacked size 0) when inflateInit fails or the input buffer
    // cannot be allocated.
    CKCompressedFileBufferParser(QxFile* file, int packedSize, int unpackedSize);
    ~CKCompressedFileBufferParser() override;

protected:
    int NextInput(const CKBYTE** data) override;
    bool RewindInput() override;

private:
    static constexpr int kInputSize = 0x10000;

    QxFile* m_File = nullptr;
    CKDWORD m_Start = 0;
    int m_PackedSize = 0;
    int m_InputPos = 0;
    CKBYTE* m_Input = nullptr;
};
