#include "core/file/CKFileBufferParser.h"

#include <cstring>
#include <new>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKCompressedFileBufferParser.h"
#include "core/file/CKMemoryBufferParser.h"
#include "includes/CKByteOrder.h"
#include "system/io/QxFile.h"

CKFileBufferParser::CKFileBufferParser(const char* name, CKBOOL readFlag)
{
    m_File = new (std::nothrow) QxFile;
    if (!m_File)
        return;
    if (!m_File->Open(name, readFlag ? QX_FILE_READ : QX_FILE_WRITE)) {
        delete m_File;
        m_File = nullptr;
        return;
    }
    m_Size = (int) m_File->GetSize();
    if (m_Size < 0)
        m_Size = 0x7FFFFFFF;
}

CKFileBufferParser::~CKFileBufferParser()
{
    delete m_File;
    delete[] m_Scratch;
}

CKBOOL CKFileBufferParser::IsValid()
{
    return m_File != nullptr;
}

int CKFileBufferParser::CursorPosition()
{
    return m_File ? (int) m_File->Tell() : 0;
}

char* CKFileBufferParser::Scratch(int n)
{
    if (n + 4 > m_ScratchSize) {
        delete[] m_Scratch;
        m_ScratchSize = 0;
        m_Scratch = new (std::nothrow) char[(size_t) n + 4];
        if (!m_Scratch) {
            Fail();
            return nullptr;
        }
        m_ScratchSize = n + 4;
    }
    return m_Scratch;
}

void CKFileBufferParser::TrimScratch()
{
    if (m_ScratchSize > CK_BUFFERPARSER_PIECE) {
        delete[] m_Scratch;
        m_Scratch = nullptr;
        m_ScratchSize = 0;
    }
}

char* CKFileBufferParser::ReadScratch(int n)
{
    if (!m_File || n < 0 || n > Remaining()) {
        Fail();
        return nullptr;
    }
    char* p = Scratch(n);
    if (!p)
        return nullptr;
    if (m_File->Read(p, (CKDWORD) n) != (CKDWORD) n) {
        Fail();
        return nullptr;
    }
    return p;
}

CKBOOL CKFileBufferParser::Write(const void* data, int n)
{
    if (!m_File || n < 0 || (n > 0 && !data))
        return Fail();
    if (n > 0 && m_File->Write(data, (CKDWORD) n) != (CKDWORD) n)
        return Fail();
    int end = (int) m_File->Tell();
    if (end > m_Size)
        m_Size = end;
    return TRUE;
}

CKBOOL CKFileBufferParser::Read(void* dest, int n)
{
    if (!m_File || n < 0 || n > Remaining()) {
        if (dest && n > 0)
            std::memset(dest, 0, (size_t) n);
        return Fail();
    }
    if (!dest)
        return m_File->Seek(n, 2) ? TRUE : Fail();
    CKDWORD got = m_File->Read(dest, (CKDWORD) n);
    if (got != (CKDWORD) n) {
        std::memset(static_cast<char*>(dest) + got, 0, (size_t) n - got);
        return Fail();
    }
    return TRUE;
}

void CKFileBufferParser::Seek(int pos)
{
    if (!m_File || pos < 0 || pos > m_Size || !m_File->Seek(pos, 0))
        Fail();
}

CKBufferParser* CKFileBufferParser::UnPack(int unpackedSize, int packedSize)
{
    if (!m_File || packedSize < 1 || packedSize > Remaining())
        return nullptr;
    return new CKCompressedFileBufferParser(m_File, packedSize, unpackedSize);
}

int CKFileBufferParser::InsertChunk(CKStateChunk* chunk)
{
    int size = chunk ? chunk->ConvertToBuffer(nullptr) : 0;
    char* bytes = Scratch(size);
    if (!bytes)
        return size;
    StoreLE32(bytes, (CKDWORD) size);
    if (size > 0)
        chunk->ConvertToBuffer(bytes + 4);
    Write(bytes, size + 4);
    TrimScratch();
    return size;
}

CKBufferParser* CKFileBufferParser::Pack(int n, int level)
{
    if (n < 1)
        return nullptr;
    char* bytes = ReadScratch(n);
    if (!bytes)
        return nullptr;
    CKMemoryBufferParser source(n, bytes);
    CKBufferParser* packed = source.Pack(n, level);
    TrimScratch();
    return packed;
}
