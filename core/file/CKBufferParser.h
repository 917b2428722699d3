#pragma once

#include "includes/CKTypes.h"
#include "system/memory/QxPoolObject.h"

class CKFile;
class CKStateChunk;
class CKMemoryBufferParser;

// A cursor over a stretch of bytes that the engine file code reads or writes
// without caring where they live: in memory, in a file, behind an inflating
// stream or in a growable buffer backed by a temporary file. Packing,
// checksums and the conversion between state chunks and bytes are operations
// of the parser itself.
//
// Every read is bounded: a request that passes the end (or a short or
// corrupt packed stream) fails, delivers zeros and leaves the parser in a
// sticky failed state (HasFailed) that the file code tests once per section.
// Sizes and counts are 32-bit signed; a negative count is refused.
//
// The operations on n bytes at once (chunks, checksums, copies, files) are
// given here for the kinds that deliver bytes through Read: files and
// inflating streams. The memory kinds work on their buffer in place.
class CKBufferParser : public QxPoolObject
{
public:
    ~CKBufferParser() override = default;

    // Copies n bytes at the cursor and advances. False for a read-only kind
    // or when the bytes cannot be stored.
    virtual CKBOOL Write(const void* data, int n) = 0;
    // Copies n bytes from the cursor into dest (null: into nothing) and
    // advances. False (dest zeroed) when fewer than n bytes remain.
    virtual CKBOOL Read(void* dest, int n) = 0;
    // A 32-bit length and that many characters, as a new zero-terminated
    // string of the engine's allocator (free with CKFreeString). Null when the
    // length is below 1 (the cursor then moved by 4 only) or passes the end.
    virtual char* ReadString();
    // A 32-bit little-endian integer; 0 when it passes the end.
    virtual int ReadInt();
    // Absolute cursor position; a position beyond the size fails.
    virtual void Seek(int pos) = 0;
    virtual void Skip(int n) { Read(nullptr, n); }
    virtual CKBOOL IsValid() = 0;
    // Bytes in the stretch (the unpacked size for the inflating kinds).
    virtual int Size() = 0;
    virtual int CursorPosition() = 0;
    // A state chunk (bound to file when given) from the next n bytes in the
    // serialised form, advancing by n. Null for n below 1 (no move), for
    // bytes that pass the end or that the chunk refuses (the cursor still
    // advances). Read here straight into the block the chunk keeps.
    virtual CKStateChunk* ExtractChunk(int n, CKFile* file);
    // Adler-32 of the next n bytes continued from previous; advances.
    virtual CKDWORD ComputeCRC(int n, CKDWORD previous);
    // A new memory parser owning a copy of the next n bytes, its cursor after
    // them. The memory kind keeps its own cursor; the others advance. Null
    // when the bytes are not there or memory runs out.
    virtual CKMemoryBufferParser* Extract(int n);
    // Writes the next n bytes to a new file (truncated if it exists) and
    // advances. False for n below 1, a file that cannot be opened, bytes
    // that are not there or a failed write.
    virtual CKBOOL ExtractFile(const char* name, int n);
    // A parser yielding the inflated form (unpackedSize bytes) of the next
    // packedSize bytes; null for packedSize below 1 or bytes that are not
    // there. The memory kind advances past the packed bytes.
    virtual CKBufferParser* UnPack(int unpackedSize, int packedSize) = 0;
    // Writes the chunk's serialised byte size (0 for no chunk) and its bytes;
    // returns the size.
    virtual int InsertChunk(CKStateChunk* chunk) = 0;
    // A new parser holding the zlib deflate of the next n bytes at the level;
    // null for n below 1 or on failure.
    virtual CKBufferParser* Pack(int n, int level) = 0;

    // True once a read or write failed (past the end, broken packed data,
    // out of memory, a full disk).
    CKBOOL HasFailed() const { return m_Failed; }
    // Bytes left after the cursor.
    int Remaining() { return Size() - CursorPosition(); }

protected:
    // A malloc block of n + 1 bytes holding the next n bytes and a zero, or
    // null (failed) when they are not all there. The block grows as the
    // bytes arrive, so a size claimed by a packed stream never allocates
    // more than about twice what the stream really yields.
    char* ReadNewBlock(int n);

    CKBOOL Fail()
    {
        m_Failed = TRUE;
        return FALSE;
    }

    CKBOOL m_Failed = FALSE;

private:
    // Bytes moved at a time through a stack buffer by the stream operations.
    static constexpr int kStreamPiece = 16384;
};

// The state chunk held by a serialised form of n bytes (bound to file when
// given); null when the bytes are refused.
CKStateChunk* CKBufferParserBuildChunk(const void* bytes, int n, CKFile* file);
// Pieces in which large sections are summed, written and packed.
constexpr int CK_BUFFERPARSER_PIECE = 0x800000;
