#pragma once

#include "core/file/CKBufferParser.h"

class CKStreamWriter;

// A parser over a buffer in memory, owned or borrowed. Reads are checked
// against the size; writes must stay within it (a write past the end fails).
class CKMemoryBufferParser : public CKBufferParser
{
public:
    // With a buffer: reads and writes it without owning it. Without one:
    // allocates size zeroed bytes and owns them (invalid when that fails or
    // size is negative). Cursor 0.
    CKMemoryBufferParser(int size, void* buffer = nullptr);
    ~CKMemoryBufferParser() override;

    CKBOOL Write(const void* data, int n) override;
    CKBOOL Read(void* dest, int n) override;
    void Seek(int pos) override;
    void Skip(int n) override;
    CKBOOL IsValid() override { return m_Buffer != nullptr; }
    int Size() override { return m_Size; }
    int CursorPosition() override { return m_Cursor; }
    CKStateChunk* ExtractChunk(int n, CKFile* file) override;
    CKDWORD ComputeCRC(int n, CKDWORD previous) override;
    CKMemoryBufferParser* Extract(int n) override;
    CKBOOL ExtractFile(const char* name, int n) override;
    CKBufferParser* UnPack(int unpackedSize, int packedSize) override;
    int InsertChunk(CKStateChunk* chunk) override;
    CKBufferParser* Pack(int n, int level) override;
    // Hands the whole buffer to the writer; true when it took all of it.
    virtual CKBOOL WriteToStream(CKStreamWriter* writer);

    // An owning parser over a malloc block of size bytes, its cursor at
    // cursor. Null (the block freed) when the parser cannot be made.
    static CKMemoryBufferParser* Adopt(char* block, int size, int cursor);

    char* GetBuffer() const { return m_Buffer; }
    // For a buffer that is a read-only view of a file: pages behind the
    // cursor are given back to the system as the parser and the inflating
    // parsers it makes move on, so reading a large file never keeps all of
    // it resident. Never set it on memory that may be written.
    void SetReleaseReadPages(CKBOOL release) { m_ReleaseReadPages = release; }
    // From now on ExtractChunk gives chunks that borrow their words from the
    // buffer instead of copying them (see CKStateChunk::ReadFromRawBuffer):
    // the buffer must then outlive every chunk extracted, and no page is
    // given back any more. For a read-only view of a file kept mapped.
    void SetLendChunks(CKBOOL lend) { m_LendChunks = lend; }
    // From now on, every byte the cursor passes over (reads, skips, chunks
    // and files extracted) is added to an Adler-32 started from 0, so that a
    // section can be checked in the same pass that reads it.
    void StartChecksum()
    {
        m_Summing = TRUE;
        m_Sum = 0;
        m_SumFrom = m_SumTo = m_Cursor;
    }
    CKDWORD GetChecksum()
    {
        FlushSum();
        return m_Sum;
    }

protected:
    CKMemoryBufferParser() = default;
    // True when n bytes lie after the cursor (n >= 0); else fails.
    bool Has(int n);
    void ReleaseBehindCursor();
    // Adds the n bytes at the cursor to the running checksum.
    void Sum(int n);
    // Sums the bytes passed over and not summed yet.
    void FlushSum();

    char* m_Buffer = nullptr;
    int m_Cursor = 0;
    CKBOOL m_Owned = FALSE;
    int m_Size = 0;
    CKBOOL m_ReleaseReadPages = FALSE;
    int m_ReleasedUpTo = 0;
    CKBOOL m_LendChunks = FALSE;
    CKBOOL m_Summing = FALSE;
    CKDWORD m_Sum = 0;
    // Bytes passed over but not summed yet: a file's records are a few dozen
    // bytes each, and summing them one by one costs far more than one pass
    // over a run of them.
    int m_SumFrom = 0;
    int m_SumTo = 0;
};
