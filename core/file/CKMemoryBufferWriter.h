#pragma once

#include <zlib.h>

#include "core/file/CKMemoryBufferParser.h"
#include "platform/PlatformTempFileMapping.h"

// A growable write-only buffer kept in a temporary file ("ckmbw...") and
// touched through mapped windows, so that sections far larger than free
// memory never need one allocation. The base's buffer pointer is the current
// view; the cursor and the size are positions in the whole buffer. Summing,
// packing and writing out walk the contents in 8 MB pieces.
class CKMemoryBufferWriter : public CKMemoryBufferParser
{
public:
    // Reserves size rounded up to 8 MB (invalid when the temporary file
    // cannot be made); the size starts at size and grows with writes past it.
    explicit CKMemoryBufferWriter(int size);
    // Unmaps, closes and deletes the temporary file.
    ~CKMemoryBufferWriter() override;

    CKBOOL Write(const void* data, int n) override;
    // Write-only: reads give nothing.
    CKBOOL Read(void* dest, int n) override;
    char* ReadString() override { return nullptr; }
    int ReadInt() override { return 0; }
    void Seek(int pos) override;
    void Skip(int n) override { (void) n; }
    CKBOOL IsValid() override { return m_Mapping.IsOpen() && !m_Failed; }
    CKStateChunk* ExtractChunk(int n, CKFile* file) override;
    // Seeks to 0 and returns the Adler-32 from 0 of the whole contents; the
    // arguments are not used.
    CKDWORD ComputeCRC(int n, CKDWORD previous) override;
    CKMemoryBufferParser* Extract(int n) override;
    CKBOOL ExtractFile(const char* name, int n) override;
    CKBufferParser* UnPack(int unpackedSize, int packedSize) override;
    int InsertChunk(CKStateChunk* chunk) override;
    // A new writer holding the deflate of the whole contents (n only sizes
    // the new writer's reservation). Null when it cannot be made.
    CKBufferParser* Pack(int n, int level) override;
    CKBOOL WriteToStream(CKStreamWriter* writer) override;

    // Deflating into this writer from its start, fed piece by piece: the
    // size becomes the deflated byte count (summed as it is made, so
    // ComputeCRC costs nothing). Each returns false once zlib or the buffer
    // failed; EndDeflate finishes the stream and seeks to 0.
    bool BeginDeflate(int level);
    bool DeflatePiece(const void* data, int n);
    bool EndDeflate();
    // A new writer reserving n x 1.1 bytes (the factor a single-precision
    // 1.1, truncated) for the deflate of n bytes; null when it cannot be made.
    static CKMemoryBufferWriter* NewPackTarget(int n);

    // Makes the whole size the written extent.
    void SetSize(int size) { m_Size = size; }
    // Sums the bytes as they are written (on by default), so that
    // ComputeCRC needs no second pass; off for contents that will be packed
    // and summed in their packed form.
    void SetRunningChecksum(bool on) { m_RunningCrcValid = on && m_RunningCrcEnd == 0; }
    const char* GetTempFileName() const { return m_Mapping.GetPath().c_str(); }

private:
    // Maps a window holding [cursor, cursor + n) (n at most 8 MB beyond what
    // the reservation can be grown to); false on failure.
    bool MapFor(int n);
    // Calls visit(bytes, count) on the contents [0, size) in 8 MB pieces;
    // false as soon as a piece cannot be mapped or visit refuses it.
    template <class F>
    bool ForEachPiece(F&& visit);
    char* At() { return m_Buffer + (m_Cursor - (int) m_WindowStart); }
    bool DeflateRoom();
    void DeflateCommit();
    bool DeflateRun(int flush);
    void EndDeflateStream();

    z_stream* m_Deflate = nullptr;
    bool m_DeflateOk = false;

    // Adler-32 of the bytes written so far, kept while every write has
    // continued the previous one from position 0: ComputeCRC then needs no
    // second pass over the whole buffer.
    CKDWORD m_RunningCrc = 0;
    int m_RunningCrcEnd = 0;
    bool m_RunningCrcValid = true;

    PlatformTempFileMapping m_Mapping;
    CKDWORD m_WindowStart = 0;
    CKDWORD m_WindowLength = 0;
    CKDWORD m_Granularity = 0;
    uint64_t m_Reserved = 0;
};
