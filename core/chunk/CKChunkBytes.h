#pragma once

#include <bit>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKBufferParser.h"
#include "includes/CKByteOrder.h"

// The one writer of a chunk's serialised form (ConvertToBuffer copies what
// it hands on): closes the chunk, then hands emit(bytes, n) its header word
// and its packed buffer, or a 0 word for an empty chunk, in pieces of at most
// 8 MB so that a large chunk is never copied whole. Nothing for a null chunk.
// False as soon as emit refuses a piece.
template <class F>
bool CKEmitChunkBytes(CKStateChunk* chunk, F&& emit)
{
    if (!chunk)
        return true;
    chunk->CloseChunk();
    CKBYTE header[8] = {};
    chunk->StoreHeaderWord(header);
    const CKDWORD* words = chunk->GetBuffer();
    const int count = chunk->GetBufferWords();
    if (!words)
        return emit(header, 8); // the header and a data size of 0
    if (!emit(header, 4))
        return false;
    const int pieceWords = CK_BUFFERPARSER_PIECE / 4;
    for (int i = 0; i < count;) {
        int take = count - i < pieceWords ? count - i : pieceWords;
        if constexpr (std::endian::native == std::endian::little) {
            if (!emit(words + i, 4 * take))
                return false;
        } else {
            CKBYTE piece[4096];
            take = take < 1024 ? take : 1024;
            for (int k = 0; k < take; ++k)
                StoreLE32(piece + 4 * k, words[i + k]);
            if (!emit(piece, 4 * take))
                return false;
        }
        i += take;
    }
    return true;
}
