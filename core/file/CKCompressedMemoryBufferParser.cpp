#include "core/file/CKCompressedMemoryBufferParser.h"

#include "platform/PlatformTempFileMapping.h"

namespace {
// Input is handed to zlib in pieces so that consumed pages can be released.
constexpr int kInputPiece = 1 << 20;
} // namespace

CKCompressedMemoryBufferParser::CKCompressedMemoryBufferParser(const void* bytes, int packedSize, int unpackedSize)
    : CKInflatingBufferParser(bytes && packedSize > 0 ? unpackedSize : 0), m_Packed(static_cast<const CKBYTE*>(bytes)),
      m_PackedSize(packedSize > 0 ? packedSize : 0)
{}

int CKCompressedMemoryBufferParser::NextInput(const CKBYTE** data)
{
    // Everything before m_InputPos has been consumed by now.
    if (m_ReleaseReadPages && m_InputPos - m_ReleasedUpTo >= CK_BUFFERPARSER_PIECE) {
        PlatformReleaseMappedPages(m_Packed + m_ReleasedUpTo, (size_t) (m_InputPos - m_ReleasedUpTo));
        m_ReleasedUpTo = m_InputPos;
    }
    int left = m_PackedSize - m_InputPos;
    int take = left < kInputPiece ? left : kInputPiece;
    *data = m_Packed + m_InputPos;
    m_InputPos += take;
    return take;
}

bool CKCompressedMemoryBufferParser::RewindInput()
{
    m_InputPos = 0;
    m_ReleasedUpTo = 0;
    return true;
}
