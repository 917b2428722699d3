#pragma once

#include "core/file/CKBufferParser.h"

class QxFile;

// A parser straight over a file it owns: reads, writes, seeks and the cursor
// go to the file, and so do the reading operations on n bytes at once.
// Inserting a chunk and packing first bring the bytes into a scratch array
// (given back when it grew past 8 MB, so one large chunk does not stay
// allocated).
class CKFileBufferParser : public CKBufferParser
{
public:
    // Opens the file for reading (readFlag set) or writing; invalid when it
    // cannot be opened.
    CKFileBufferParser(const char* name, CKBOOL readFlag);
    ~CKFileBufferParser() override;

    CKBOOL Write(const void* data, int n) override;
    CKBOOL Read(void* dest, int n) override;
    void Seek(int pos) override;
    CKBOOL IsValid() override;
    int Size() override { return m_Size; }
    int CursorPosition() override;
    // An inflating parser over the file from the cursor.
    CKBufferParser* UnPack(int unpackedSize, int packedSize) override;
    int InsertChunk(CKStateChunk* chunk) override;
    CKBufferParser* Pack(int n, int level) override;

    QxFile* GetFile() const { return m_File; }

private:
    // The next n bytes in the scratch array; null (failed) when they are not there.
    char* ReadScratch(int n);
    char* Scratch(int n);
    void TrimScratch();

    QxFile* m_File = nullptr;
    char* m_Scratch = nullptr;
    int m_ScratchSize = 0;
    int m_Size = 0;
};
