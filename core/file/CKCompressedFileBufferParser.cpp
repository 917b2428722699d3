#include "core/file/CKCompressedFileBufferParser.h"

#include <new>

#include "system/io/QxFile.h"

CKCompressedFileBufferParser::CKCompressedFileBufferParser(QxFile* file, int packedSize, int unpackedSize)
    : CKInflatingBufferParser(file && packedSize > 0 ? unpackedSize : 0), m_File(file),
      m_PackedSize(packedSize > 0 ? packedSize : 0)
{
    m_Input = new (std::nothrow) CKBYTE[kInputSize];
    if (m_File)
        m_Start = m_File->Tell();
}

CKCompressedFileBufferParser::~CKCompressedFileBufferParser()
{
    delete[] m_Input;
}

int CKCompressedFileBufferParser::NextInput(const CKBYTE** data)
{
    if (!m_File || !m_Input)
        return -1;
    int left = m_PackedSize - m_InputPos;
    if (left == 0)
        return 0;
    int take = left < kInputSize ? left : kInputSize;
    if (!m_File->Seek((int) (m_Start + (CKDWORD) m_InputPos), 0))
        return -1;
    CKDWORD got = m_File->Read(m_Input, (CKDWORD) take);
    if (got == 0)
        return -1;
    m_InputPos += (int) got;
    *data = m_Input;
    return (int) got;
}

bool CKCompressedFileBufferParser::RewindInput()
{
    m_InputPos = 0;
    return m_File != nullptr;
}
