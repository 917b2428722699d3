#pragma once

#include <bit>
#include <new>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKBufferParser.h"
#include "includes/CKByteOrder.h"

// Hands the serialised form of a chunk (size bytes, as ConvertToBuffer
// gives them) to emit(bytes, n) without copying it whole: the header word,
// then the packed buffer in pieces of at most 8 MB. Nothing for a null chunk
// or a size of 0. False as soon as emit refuses a piece or a scratch copy
// cannot be made.
template <class F>
bool CKEmitChunkBytes(CKStateChunk* chunk, int size, F&& emit)
{
    if (!chunk || size <= 0)
        return true;
    const CKDWORD* words = chunk->GetBuffer();
    const int count = chunk->GetBufferWords();
    // The header word as ConvertToBuffer writes it.
    CKBYTE header[8] = {};
    header[0] = (CKBYTE) chunk->GetDataVersion();
    header[1] = (CKBYTE) chunk->GetChunkClassID();
    header[2] = (CKBYTE) chunk->GetChunkVersion();
    header[3] = (CKBYTE) (chunk->GetChunkOptions() & ~(CHNK_OPTION_DONTDELETE_PTR | CHNK_OPTION_DONTDELETE_PARSER));
    if (!words && size == 8)
        return emit(header, 8); // an empty chunk: its header and a 0 word
    if (!words || size != 4 + 4 * count) {
        // A size that does not match the chunk: let it write itself.
        char* bytes = new (std::nothrow) char[(size_t) size];
        if (!bytes)
            return false;
        chunk->ConvertToBuffer(bytes);
        bool ok = emit(bytes, size);
        delete[] bytes;
        return ok;
    }
    if (!emit(header, 4))
        return false;
    const int pieceWords = CK_BUFFERPARSER_PIECE / 4;
    for (int i = 0; i < count;) {
        int take = count - i < pieceWords ? count - i : pieceWords;
        if constexpr (std::endian::native == std::endian::little) {
            if (!emit(words + i, 4 * take))
                return false;
            i += take;
        } else {
            CKBYTE piece[4096];
            take = take < 1024 ? take : 1024;
            for (int k = 0; k < take; ++k)
                StoreLE32(piece + 4 * k, words[i + k]);
            if (!emit(piece, 4 * take))
                return false;
            i += take;
        }
    }
    return true;
}
