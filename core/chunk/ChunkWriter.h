#pragma once

#include "core/chunk/ChunkParser.h"
#include "includes/XArray.h"

// Writing cursor of a state chunk: the data words being written and the
// three position lists. The words live one word into a malloc block whose
// first word is kept free for the packed size word, so that closing the
// chunk packs the block in place and hands it over instead of copying it.
class ChunkWriter : public ChunkParser
{
public:
    // Largest data size in words: the byte size of a serialised chunk must
    // stay a positive 32-bit number.
    static constexpr int MaxWords = 0x1FFFFF00;

    ChunkWriter() : ChunkParser(KindWriter) {}
    ~ChunkWriter() override;
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;

    CKBOOL IsReader() const override { return FALSE; }
    CKBOOL IsWriter() const override { return TRUE; }

    // Makes room for words words at the position: the storage grows to
    // twice its capacity, or exactly to position + words when that is more
    // (a size known in advance is reserved as it is). New words are not
    // cleared: they are written before they are packed. False (nothing
    // changed) when that would pass MaxWords or memory runs out.
    bool Reserve(int words)
    {
        if (words >= 0 && m_Position <= m_Capacity - words)
            return true;
        return Grow(words);
    }
    // Room for words words handed out to be filled in place (LockWriteBuffer);
    // those beyond what was handed out before are cleared, so that the ones
    // the caller leaves untouched read as zero once skipped. Null when no
    // room can be made.
    CKDWORD* LockAhead(int words);
    // Moves the position forward by words (room reserved); words not handed
    // out by LockAhead become zero.
    void SkipAhead(int words);

    // A copy of the data words, sizes, cursor and position lists of other.
    bool CopyFrom(const ChunkWriter& other);

    // Packs into the block itself: the size word, the data words, then for
    // each non-empty list in order its count and entries, and gives the
    // block (total words, *total set) to the caller, who frees it with
    // std::free. The writer is left empty. Null when there is nothing to
    // pack (*total 1) or memory runs out (*total 0).
    CKDWORD* TakePacked(int* total);

    int m_DataSize = 0;        // highest position recorded (UpdateDataSize, packing)
    CKDWORD* m_Data = nullptr; // m_Capacity words, one word into m_Block
    int m_Capacity = 0;
    XArray<int> m_ObjectIDs;
    XArray<int> m_SubChunks;
    XArray<int> m_Managers;

private:
    bool Grow(int words);
    bool Resize(int capacity);

    CKDWORD* m_Block = nullptr;
    // Words from the position up to here were handed out by LockAhead.
    int m_LockedEnd = 0;
};
