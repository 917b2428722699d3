#pragma once

#include "core/file/CKInflatingBufferParser.h"

// Inflates a packed stretch held in memory (not owned; it must outlive the
// parser).
class CKCompressedMemoryBufferParser : public CKInflatingBufferParser
{
public:
    // Invalid (unpacked size 0) when inflateInit fails.
    CKCompressedMemoryBufferParser(const void* bytes, int packedSize, int unpackedSize);

    // The packed bytes are a read-only file view: give back the pages already
    // inflated (see CKMemoryBufferParser::SetReleaseReadPages).
    void SetReleaseReadPages(CKBOOL release) { m_ReleaseReadPages = release; }

protected:
    int NextInput(const CKBYTE** data) override;
    bool RewindInput() override;

private:
    const CKBYTE* m_Packed = nullptr;
    int m_PackedSize = 0;
    int m_InputPos = 0;
    CKBOOL m_ReleaseReadPages = FALSE;
    int m_ReleasedUpTo = 0;
};
