#include "core/file/CKBufferParser.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKFileChecksum.h"
#include "core/file/CKMemoryBufferParser.h"
#include "includes/CKByteOrder.h"
#include "system/io/QxFile.h"
#include "system/memory/QxMemoryManager.h"

int CKBufferParser::ReadInt()
{
    char word[4];
    Read(word, 4);
    return (int) LoadLE32(word);
}

char* CKBufferParser::ReadString()
{
    int length = ReadInt();
    if (m_Failed || length < 1)
        return nullptr;
    char* block = ReadNewBlock(length);
    if (!block)
        return nullptr;
    char* text = static_cast<char*>(QxGetMemoryManager()->Allocate((size_t) length + 1));
    if (text) {
        std::memcpy(text, block, (size_t) length + 1);
    } else {
        Fail();
    }
    std::free(block);
    return text;
}

char* CKBufferParser::ReadNewBlock(int n)
{
    if (n < 0 || n > Remaining()) {
        Fail();
        return nullptr;
    }
    // Grown with realloc, which moves large blocks by remapping their pages
    // rather than copying them.
    const int firstStep = 1 << 20;
    int capacity = n < firstStep ? n : firstStep;
    char* block = static_cast<char*>(std::malloc((size_t) capacity + 1));
    if (!block) {
        Fail();
        return nullptr;
    }
    int done = 0;
    while (done < n) {
        if (done == capacity) {
            int grown = capacity > n / 2 ? n : capacity * 2;
            char* bigger = static_cast<char*>(std::realloc(block, (size_t) grown + 1));
            if (!bigger) {
                std::free(block);
                Fail();
                return nullptr;
            }
            block = bigger;
            capacity = grown;
        }
        int piece = capacity - done;
        if (!Read(block + done, piece)) {
            std::free(block);
            return nullptr;
        }
        done += piece;
    }
    block[n] = 0;
    return block;
}

CKStateChunk* CKBufferParser::ExtractChunk(int n, CKFile* file)
{
    if (n < 1)
        return nullptr;
    if (n < 4) {
        // Shorter than a chunk's header: refused by the chunk itself.
        char* block = ReadNewBlock(n);
        CKStateChunk* chunk = block ? CKBufferParserBuildChunk(block, n, file) : nullptr;
        std::free(block);
        return chunk;
    }
    if (n > Remaining()) {
        Fail();
        return nullptr;
    }
    // The header word apart; the rest arrives in the block the chunk adopts.
    CKBYTE header[4];
    if (!Read(header, 4))
        return nullptr;
    char* block = ReadNewBlock(n - 4);
    if (!block)
        return nullptr;
    CKStateChunk* chunk = CKCreateStateChunk(0, file);
    if (!chunk) {
        std::free(block);
        return nullptr;
    }
    if (!chunk->AdoptRawBuffer(header, block, n)) {
        CKDeleteStateChunk(chunk);
        return nullptr;
    }
    return chunk;
}

CKDWORD CKBufferParser::ComputeCRC(int n, CKDWORD previous)
{
    if (n < 0 || n > Remaining()) {
        Fail();
        return previous;
    }
    CKBYTE piece[kStreamPiece];
    CKDWORD crc = previous;
    while (n > 0) {
        int take = n < kStreamPiece ? n : kStreamPiece;
        if (!Read(piece, take))
            return previous;
        crc = CKFileChecksum(crc, piece, (size_t) take);
        n -= take;
    }
    return crc;
}

CKMemoryBufferParser* CKBufferParser::Extract(int n)
{
    char* block = ReadNewBlock(n);
    if (!block)
        return nullptr;
    return CKMemoryBufferParser::Adopt(block, n, n);
}

CKBOOL CKBufferParser::ExtractFile(const char* name, int n)
{
    if (n < 1 || n > Remaining())
        return FALSE;
    QxFile out;
    CKBOOL ok = out.Open(name, QX_FILE_WRITE);
    CKBYTE piece[kStreamPiece];
    while (n > 0) {
        int take = n < kStreamPiece ? n : kStreamPiece;
        if (!Read(piece, take)) {
            ok = FALSE;
            break;
        }
        if (ok && out.Write(piece, (CKDWORD) take) != (CKDWORD) take)
            ok = FALSE;
        n -= take;
    }
    if (!out.Close())
        ok = FALSE;
    return ok;
}

CKStateChunk* CKBufferParserBuildChunk(const void* bytes, int n, CKFile* file)
{
    if (!bytes || n < 1)
        return nullptr;
    CKStateChunk* chunk = CKCreateStateChunk(0, file);
    if (!chunk)
        return nullptr;
    if (!chunk->ConvertFromBuffer(bytes, n)) {
        CKDeleteStateChunk(chunk);
        return nullptr;
    }
    return chunk;
}
