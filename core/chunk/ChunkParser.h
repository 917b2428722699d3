#pragma once

#include "includes/CKTypes.h"
#include "system/memory/QxPoolObject.h"

// The cursor of a state chunk that is being written or read. Positions count
// 32-bit words from the first data word. The kind byte lets the chunk's
// inline read and write paths tell a reader from a writer without a virtual
// call.
class ChunkParser : public QxPoolObject
{
public:
    enum Kind : CKBYTE
    {
        KindReader = 1,
        KindWriter = 2,
    };

    ~ChunkParser() override = default;
    virtual CKBOOL IsReader() const = 0;
    virtual CKBOOL IsWriter() const = 0;

    int m_Position = 0;
    // Word index of the identifier last written or found.
    int m_CurrentIdentifier = 0;
    CKBYTE m_Kind;

protected:
    explicit ChunkParser(CKBYTE kind) : m_Kind(kind) {}
};
