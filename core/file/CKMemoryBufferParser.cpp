#include "core/file/CKMemoryBufferParser.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <zlib.h>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKCompressedMemoryBufferParser.h"
#include "core/file/CKFileChecksum.h"
#include "core/file/CKStreamWriter.h"
#include "includes/CKByteOrder.h"
#include "platform/PlatformTempFileMapping.h"
#include "system/io/QxFile.h"

namespace {

// Bytes passed over that are summed in one go.
constexpr int kSumRun = 64 << 10;

} // namespace

CKMemoryBufferParser::CKMemoryBufferParser(int size, void* buffer)
{
    if (buffer) {
        m_Buffer = static_cast<char*>(buffer);
        m_Size = size > 0 ? size : 0;
        return;
    }
    if (size < 0)
        return;
    // One byte at least, so that an empty owned parser is still valid.
    m_Buffer = static_cast<char*>(std::calloc(size > 0 ? (size_t) size : 1, 1));
    if (m_Buffer) {
        m_Owned = TRUE;
        m_Size = size;
    }
}

CKMemoryBufferParser::~CKMemoryBufferParser()
{
    if (m_Owned)
        std::free(m_Buffer);
}

CKMemoryBufferParser* CKMemoryBufferParser::Adopt(char* block, int size, int cursor)
{
    CKMemoryBufferParser* parser = new CKMemoryBufferParser;
    if (!parser) {
        std::free(block);
        return nullptr;
    }
    parser->m_Buffer = block;
    parser->m_Owned = TRUE;
    parser->m_Size = size;
    parser->m_Cursor = cursor;
    return parser;
}

bool CKMemoryBufferParser::Has(int n)
{
    if (!m_Buffer || n < 0 || n > m_Size - m_Cursor) {
        Fail();
        return false;
    }
    return true;
}

void CKMemoryBufferParser::ReleaseBehindCursor()
{
    if (!m_ReleaseReadPages || m_LendChunks || m_Cursor - m_ReleasedUpTo < CK_BUFFERPARSER_PIECE)
        return;
    FlushSum();
    PlatformReleaseMappedPages(m_Buffer + m_ReleasedUpTo, (size_t) (m_Cursor - m_ReleasedUpTo));
    m_ReleasedUpTo = m_Cursor;
}

void CKMemoryBufferParser::Sum(int n)
{
    if (!m_Summing || n <= 0)
        return;
    if (m_Cursor != m_SumTo) {
        FlushSum();
        m_SumFrom = m_Cursor;
    }
    m_SumTo = m_Cursor + n;
    // Summed while still in cache.
    if (m_SumTo - m_SumFrom >= kSumRun)
        FlushSum();
}

void CKMemoryBufferParser::FlushSum()
{
    if (m_SumTo > m_SumFrom)
        m_Sum = CKFileChecksum(m_Sum, m_Buffer + m_SumFrom, (size_t) (m_SumTo - m_SumFrom));
    m_SumFrom = m_SumTo;
}

CKBOOL CKMemoryBufferParser::Write(const void* data, int n)
{
    if (!Has(n) || (n > 0 && !data))
        return Fail();
    if (n > 0)
        std::memcpy(m_Buffer + m_Cursor, data, (size_t) n);
    m_Cursor += n;
    return TRUE;
}

CKBOOL CKMemoryBufferParser::Read(void* dest, int n)
{
    if (!Has(n)) {
        if (dest && n > 0)
            std::memset(dest, 0, (size_t) n);
        return FALSE;
    }
    if (dest && n > 0)
        std::memcpy(dest, m_Buffer + m_Cursor, (size_t) n);
    Sum(n);
    m_Cursor += n;
    ReleaseBehindCursor();
    return TRUE;
}

void CKMemoryBufferParser::Seek(int pos)
{
    if (!m_Buffer || pos < 0 || pos > m_Size) {
        Fail();
        return;
    }
    m_Cursor = pos;
    if (m_ReleasedUpTo > pos)
        m_ReleasedUpTo = pos;
}

void CKMemoryBufferParser::Skip(int n)
{
    if (Has(n)) {
        Sum(n);
        m_Cursor += n;
        ReleaseBehindCursor();
    }
}

CKStateChunk* CKMemoryBufferParser::ExtractChunk(int n, CKFile* file)
{
    if (n < 1)
        return nullptr;
    if (!Has(n)) {
        m_Cursor = m_Size;
        return nullptr;
    }
    Sum(n);
    CKStateChunk* chunk = nullptr;
    if (m_LendChunks) {
        chunk = CKCreateStateChunk(0, file);
        if (chunk && !chunk->ReadFromRawBuffer(m_Buffer + m_Cursor, n, TRUE)) {
            CKDeleteStateChunk(chunk);
            chunk = nullptr;
        }
    } else {
        chunk = CKBufferParserBuildChunk(m_Buffer + m_Cursor, n, file);
    }
    m_Cursor += n;
    ReleaseBehindCursor();
    return chunk;
}

CKDWORD CKMemoryBufferParser::ComputeCRC(int n, CKDWORD previous)
{
    if (!Has(n))
        return previous;
    const Bytef* p = reinterpret_cast<const Bytef*>(m_Buffer + m_Cursor);
    CKDWORD crc = previous;
    for (int done = 0; done < n;) {
        int piece = n - done < CK_BUFFERPARSER_PIECE ? n - done : CK_BUFFERPARSER_PIECE;
        crc = CKFileChecksum(crc, p + done, (size_t) piece);
        done += piece;
        m_Cursor += piece;
        ReleaseBehindCursor();
    }
    return crc;
}

CKMemoryBufferParser* CKMemoryBufferParser::Extract(int n)
{
    if (!Has(n))
        return nullptr;
    // Filled at once: not cleared first.
    char* block = static_cast<char*>(std::malloc(n > 0 ? (size_t) n : 1));
    if (!block) {
        Fail();
        return nullptr;
    }
    if (n > 0)
        std::memcpy(block, m_Buffer + m_Cursor, (size_t) n);
    CKMemoryBufferParser* copy = Adopt(block, n, n);
    if (!copy)
        Fail();
    return copy;
}

CKBOOL CKMemoryBufferParser::ExtractFile(const char* name, int n)
{
    if (n < 1)
        return FALSE;
    if (!Has(n))
        return FALSE;
    QxFile f;
    CKBOOL ok = f.Open(name, QX_FILE_WRITE);
    for (int done = 0; ok && done < n;) {
        int piece = n - done < CK_BUFFERPARSER_PIECE ? n - done : CK_BUFFERPARSER_PIECE;
        ok = f.Write(m_Buffer + m_Cursor + done, (CKDWORD) piece) == (CKDWORD) piece;
        done += piece;
    }
    if (!f.Close())
        ok = FALSE;
    Sum(n);
    m_Cursor += n;
    ReleaseBehindCursor();
    return ok;
}

CKBufferParser* CKMemoryBufferParser::UnPack(int unpackedSize, int packedSize)
{
    if (packedSize < 1 || unpackedSize < 0 || !Has(packedSize))
        return nullptr;
    CKCompressedMemoryBufferParser* parser =
        new CKCompressedMemoryBufferParser(m_Buffer + m_Cursor, packedSize, unpackedSize);
    if (parser)
        parser->SetReleaseReadPages(m_ReleaseReadPages);
    m_Cursor += packedSize;
    return parser;
}

int CKMemoryBufferParser::InsertChunk(CKStateChunk* chunk)
{
    int size = chunk ? chunk->ConvertToBuffer(nullptr) : 0;
    char word[4];
    StoreLE32(word, (CKDWORD) size);
    if (!Has(4 + size))
        return size;
    Write(word, 4);
    if (size > 0) {
        chunk->ConvertToBuffer(m_Buffer + m_Cursor);
        m_Cursor += size;
    }
    return size;
}

CKBufferParser* CKMemoryBufferParser::Pack(int n, int level)
{
    if (n < 1 || !Has(n))
        return nullptr;
    uLong bound = compressBound((uLong) n);
    if (bound > 0x7FFFFFFFul)
        return nullptr;
    // zlib writes what it makes: the block is not cleared first.
    char* block = static_cast<char*>(std::malloc((size_t) bound));
    uLongf packedSize = bound;
    if (!block || compress2(reinterpret_cast<Bytef*>(block), &packedSize,
                            reinterpret_cast<const Bytef*>(m_Buffer + m_Cursor), (uLong) n, level) != Z_OK) {
        std::free(block);
        return nullptr;
    }
    return Adopt(block, (int) packedSize, 0);
}

CKBOOL CKMemoryBufferParser::WriteToStream(CKStreamWriter* writer)
{
    if (!writer || !m_Buffer)
        return FALSE;
    return writer->Write(m_Buffer, (CKDWORD) m_Size) == (CKDWORD) m_Size;
}
