#include "core/file/CKInflatingBufferParser.h"

#include <cstring>

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
