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

    CKDWORD* m_Data = nullptr; // the first data word (behind the size word)
    int m_DataSize = 0;        // data words
    CKDWORD* m_ObjectIDs = nullptr;
    int m_ObjectIDCount = 0;
    CKDWORD* m_SubChunks = nullptr;
    int m_SubChunkCount = 0;
    CKDWORD* m_Managers = nullptr;
    int m_ManagerCount = 0;
};
