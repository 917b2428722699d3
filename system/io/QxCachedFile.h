#pragma once

#include "system/io/QxFile.h"

// A QxFile read through a cache of one aligned block. The logical position
// is the object's own; the underlying file is moved only when a block is
// read or bytes are written. Reads are clipped at the end of the file and
// return the real count; writes go to the logical position and drop a
// cached block that they overlap.
class QxCachedFile : public QxFile
{
public:
    static constexpr CKDWORD kNothingCached = 0xFFFFFFFF;

    // blockSize must not be 0 (a 0 is reported and replaced by 4,096).
    explicit QxCachedFile(CKDWORD blockSize = 65536);
    ~QxCachedFile() override;

    CKDWORD Tell() override { return m_Position; }
    // Origin 0 sets the position to offset, 1 to GetSize() + offset, 2 adds
    // offset. Always true; the file is not moved.
    CKBOOL Seek(int offset, int origin) override;
    CKDWORD Read(void* buffer, CKDWORD size) override;
    CKDWORD Write(const void* buffer, CKDWORD size) override;

    // Forgets the cache (position 0) and opens as QxFile::Open.
    CKBOOL Open(const char* name, int mode) override;
    CKBOOL Close() override;
    // These work on the file at the logical position, uncached, and log the
    // warnings "GetString : Not Cached", "Flush : Not Cached" and
    // "ReadItems : Not Cached".
    CKBOOL GetString(char* buffer, int size) override;
    int Flush() override;
    CKDWORD ReadItems(void* buffer, CKDWORD itemSize, CKDWORD count) override;

    CKDWORD GetBlockSize() const { return m_BlockSize; }
    // Start of the cached block in the file, kNothingCached when none.
    CKDWORD GetCachedBlockStart() const { return m_CachedStart; }

private:
    enum LastOperation
    {
        None,
        Reading,
        Writing
    };

    // Reads at an absolute position, leaving the stdio file where it is.
    CKDWORD ReadAt(void* buffer, CKDWORD size, CKDWORD position);
    // Reads the block starting at blockStart into the cache; false when
    // nothing could be read.
    bool LoadBlock(CKDWORD blockStart);
    // Puts the file at position before an operation of the given kind.
    bool PlaceFile(CKDWORD position, LastOperation operation);
    void Forget();

    CKDWORD m_Position = 0;
    CKDWORD m_BlockSize;
    unsigned char* m_Cache = nullptr;
    CKDWORD m_CachedStart = kNothingCached;
    CKDWORD m_CachedBytes = 0;  // bytes of the block that the file holds
    CKDWORD m_FileSize = 0;     // the file's size, kept up to date by our writes
    CKDWORD m_FilePosition = 0; // where the stdio file stands
    LastOperation m_LastOperation = None;
};
