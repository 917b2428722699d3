#include "core/CKInflatingBufferParser.h"

#include <cstdlib>
#include <cstring>

#include "core/CKFileChecksum.h"
#include "core/CKMemoryBufferParser.h"
#include "core/CKStateChunk.h"
#include "system/QxFile.h"

CKBOOL CKInflatingBufferParser::Write(const void* data, int n)
{
    (void) data;
    (void) n;
    return FALSE;
}

CKBOOL CKInflatingBufferParser::Read(void* dest, int n)
{
    if (m_Failed && dest && n > 0) {
        std::memset(dest, 0, (size_t) n);
        return FALSE;
    }
    if (m_Failed || !Inflate(dest, n))
        return Fail();
    return TRUE;
}

void CKInflatingBufferParser::Seek(int pos)
{
    if (pos < 0 || pos > GetUnpackedSize()) {
        Fail();
        return;
    }
    if (pos < GetDelivered() || IsBroken()) {
        if (!Rewind()) {
            Fail();
            return;
        }
        m_Failed = FALSE;
    }
    Read(nullptr, pos - GetDelivered());
}

void CKInflatingBufferParser::Skip(int n)
{
    Read(nullptr, n);
}

CKStateChunk* CKInflatingBufferParser::ExtractChunk(int n, CKFile* file)
{
    if (n < 1)
        return nullptr;
    char* block = ReadNewBlock(n);
    if (!block)
        return nullptr;
    CKStateChunk* chunk = CKBufferParserBuildChunk(block, n, file);
    std::free(block);
    return chunk;
}

CKDWORD CKInflatingBufferParser::ComputeCRC(int n, CKDWORD previous)
{
    if (n < 0 || n > Remaining()) {
        Fail();
        return previous;
    }
    CKBYTE piece[4096];
    CKDWORD crc = previous;
    while (n > 0) {
        int take = n < (int) sizeof(piece) ? n : (int) sizeof(piece);
        if (!Read(piece, take))
            return previous;
        crc = CKFileChecksum(crc, piece, (size_t) take);
        n -= take;
    }
    return crc;
}

CKMemoryBufferParser* CKInflatingBufferParser::Extract(int n)
{
    char* block = ReadNewBlock(n);
    if (!block)
        return nullptr;
    return CKMemoryBufferParser::Adopt(block, n, n);
}

CKBOOL CKInflatingBufferParser::ExtractFile(const char* name, int n)
{
    if (n < 1 || n > Remaining())
        return FALSE;
    QxFile f;
    CKBOOL ok = f.Open(name, QX_FILE_WRITE);
    CKBYTE piece[4096];
    while (n > 0) {
        int take = n < (int) sizeof(piece) ? n : (int) sizeof(piece);
        if (!Read(piece, take)) {
            ok = FALSE;
            break;
        }
        if (ok && f.Write(piece, (CKDWORD) take) != (CKDWORD) take)
            ok = FALSE;
        n -= take;
    }
    if (!f.Close())
        ok = FALSE;
    return ok;
}

CKBufferParser* CKInflatingBufferParser::UnPack(int unpackedSize, int packedSize)
{
    (void) unpackedSize;
    (void) packedSize;
    return nullptr;
}

int CKInflatingBufferParser::InsertChunk(CKStateChunk* chunk)
{
    (void) chunk;
    return 0;
}

CKBufferParser* CKInflatingBufferParser::Pack(int n, int level)
{
    (void) n;
    (void) level;
    return nullptr;
}
