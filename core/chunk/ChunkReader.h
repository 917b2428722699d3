#pragma once

#include "core/chunk/ChunkParser.h"

// Reading cursor over the packed buffer of a state chunk. It points into the
// chunk's buffer and owns nothing; the chunk checks every read against
// m_DataSize.
class ChunkReader : public ChunkParser
{
public:
    ChunkReader() : ChunkParser(KindReader) {}
    CKBOOL IsReader() const override { return TRUE; }
    CKBOOL IsWriter() const override { return FALSE; }

    // The counts stand apart from the pointers so that no padding lies
    // between them (a reader per chunk read).
    int m_DataSize = 0;        // data words
    CKDWORD* m_Data = nullptr; // the first data word (behind the size word)
    CKDWORD* m_ObjectIDs = nullptr;
    CKDWORD* m_SubChunks = nullptr;
    CKDWORD* m_Managers = nullptr;
    int m_ObjectIDCount = 0;
    int m_SubChunkCount = 0;
    int m_ManagerCount = 0;
};
