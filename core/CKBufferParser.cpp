#include "core/CKBufferParser.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/CKStateChunk.h"
#include "includes/CKByteOrder.h"
#include "system/QxMemoryManager.h"

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
