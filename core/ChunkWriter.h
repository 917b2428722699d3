#pragma once

#include "core/ChunkParser.h"
#include "includes/XArray.h"

// Writing cursor of a state chunk: the data words being written and the
// three position lists, packed into the chunk's buffer when writing ends.
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

    // Makes room for words words at the position: the storage grows to the
    // smallest power of two not below position + words, new words zero.
    // False (nothing changed) when that would pass MaxWords or memory runs out.
    bool Reserve(int words)
    {
        if (words >= 0 && m_Position <= m_Capacity - words)
            return true;
        return Grow(words);
    }

    // A copy of the data words, sizes, cursor and position lists of other.
    bool CopyFrom(const ChunkWriter& other);

    int m_DataSize = 0;        // highest position recorded (UpdateDataSize, packing)
    CKDWORD* m_Data = nullptr; // m_Capacity words, those past the position zero
    int m_Capacity = 0;
    XArray<int> m_ObjectIDs;
    XArray<int> m_SubChunks;
    XArray<int> m_Managers;

private:
    bool Grow(int words);
};
