#include "core/ChunkWriter.h"

#include <cstdlib>
#include <cstring>

ChunkWriter::~ChunkWriter()
{
    std::free(m_Data);
}

bool ChunkWriter::Grow(int words)
{
    if (words < 0 || m_Position < 0 || m_Position > MaxWords - words)
        return false;
    int needed = m_Position + words;
    int capacity = m_Capacity > 0 ? m_Capacity : 1;
    while (capacity < needed)
        capacity *= 2;
    CKDWORD* data = static_cast<CKDWORD*>(std::realloc(m_Data, sizeof(CKDWORD) * (size_t) capacity));
    if (!data)
        return false;
    std::memset(data + m_Capacity, 0, sizeof(CKDWORD) * (size_t) (capacity - m_Capacity));
    m_Data = data;
    m_Capacity = capacity;
    return true;
}

bool ChunkWriter::CopyFrom(const ChunkWriter& other)
{
    CKDWORD* data = nullptr;
    if (other.m_Capacity > 0) {
        data = static_cast<CKDWORD*>(std::malloc(sizeof(CKDWORD) * (size_t) other.m_Capacity));
        if (!data)
            return false;
        std::memcpy(data, other.m_Data, sizeof(CKDWORD) * (size_t) other.m_Capacity);
    }
    std::free(m_Data);
    m_Data = data;
    m_Capacity = other.m_Capacity;
    m_DataSize = other.m_DataSize;
    m_Position = other.m_Position;
    m_CurrentIdentifier = other.m_CurrentIdentifier;
    m_ObjectIDs = other.m_ObjectIDs;
    m_SubChunks = other.m_SubChunks;
    m_Managers = other.m_Managers;
    return true;
}
