#pragma once

#include "core/file/CKBufferParser.h"
#include "core/file/CKInflateStream.h"

// What the two inflating parsers share: read-only parsers over a packed
// stretch that deliver its inflated bytes (Size is the unpacked size claimed
// for it; a stream that yields less fails the read that runs short). The
// cursor counts the bytes delivered; Seek backwards starts inflating again.
class CKInflatingBufferParser : public CKBufferParser, protected CKInflateStream
{
public:
    explicit CKInflatingBufferParser(int unpackedSize) : CKInflateStream(unpackedSize) {}

    CKBOOL Write(const void* data, int n) override;
    CKBOOL Read(void* dest, int n) override;
    void Seek(int pos) override;
    CKBOOL IsValid() override { return GetUnpackedSize() != 0; }
    int Size() override { return GetUnpackedSize(); }
    int CursorPosition() override { return GetDelivered(); }
    // Null: the inflated bytes are not unpacked again.
    CKBufferParser* UnPack(int unpackedSize, int packedSize) override;
    // Nothing is written: returns 0.
    int InsertChunk(CKStateChunk* chunk) override;
    CKBufferParser* Pack(int n, int level) override;

    using CKInflateStream::SkipCheckValue;
};
