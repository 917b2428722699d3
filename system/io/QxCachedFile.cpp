#include "system/io/QxCachedFile.h"

#include <cstring>

#include "platform/PlatformAssert.h"
#include "platform/PlatformFileRead.h"
#include "system/log/QxLibraryLog.h"
#include "system/log/QxLogManager.h"
#include "system/memory/QxAlignedAlloc.h"

QxCachedFile::QxCachedFile(CKDWORD blockSize) : m_BlockSize(blockSize)
{
    if (!PLATFORM_CHECK(blockSize > 0))
        m_BlockSize = 4096;
    m_Cache = static_cast<unsigned char*>(QxNewAligned(m_BlockSize, 16));
}

QxCachedFile::~QxCachedFile()
{
    Close();
    QxDeleteAligned(m_Cache);
}

void QxCachedFile::Forget()
{
    m_Position = 0;
    m_CachedStart = kNothingCached;
    m_CachedBytes = 0;
    m_FileSize = 0;
    m_FilePosition = 0;
    m_LastOperation = None;
}

CKBOOL QxCachedFile::Open(const char* name, int mode)
{
    Forget();
    CKBOOL opened = QxFile::Open(name, mode);
    if (opened) {
        m_FileSize = QxFile::GetSize();
        m_FilePosition = QxFile::Tell();
    }
    return opened;
}

CKBOOL QxCachedFile::Close()
{
    Forget();
    return QxFile::Close();
}

CKBOOL QxCachedFile::Seek(int offset, int origin)
{
    switch (origin) {
    case QX_SEEK_BEGIN: m_Position = static_cast<CKDWORD>(offset); break;
    case QX_SEEK_END: m_Position = GetSize() + static_cast<CKDWORD>(offset); break;
    default: m_Position += static_cast<CKDWORD>(offset); break;
    }
    return TRUE;
}

bool QxCachedFile::PlaceFile(CKDWORD position, LastOperation operation)
{
    // stdio needs a positioning call between a read and a write.
    if (position == m_FilePosition && operation == m_LastOperation)
        return true;
    if (position > 0x7FFFFFFFu || !QxFile::Seek(static_cast<int>(position), QX_SEEK_BEGIN)) {
        m_LastOperation = None;
        return false;
    }
    m_FilePosition = position;
    m_LastOperation = operation;
    return true;
}

CKDWORD QxCachedFile::ReadAt(void* buffer, CKDWORD size, CKDWORD position)
{
    // Blocks are read at their place without moving the stdio file, so a
    // random read costs one system call; pending writes go out first.
    if (m_LastOperation == Writing) {
        QxFile::Flush();
        m_LastOperation = None;
    }
    return static_cast<CKDWORD>(PlatformReadFileAt(m_File, buffer, size, position));
}

bool QxCachedFile::LoadBlock(CKDWORD blockStart)
{
    m_CachedStart = kNothingCached;
    m_CachedBytes = 0;
    if (!m_Cache)
        return false;
    CKDWORD got = ReadAt(m_Cache, m_BlockSize, blockStart);
    if (got == 0)
        return false;
    m_CachedStart = blockStart;
    m_CachedBytes = got;
    return true;
}

CKDWORD QxCachedFile::Read(void* buffer, CKDWORD size)
{
    if (!m_File || !buffer || size == 0 || m_Position >= m_FileSize)
        return 0;
    if (size > m_FileSize - m_Position)
        size = m_FileSize - m_Position;

    unsigned char* out = static_cast<unsigned char*>(buffer);
    CKDWORD done = 0;
    while (done < size) {
        CKDWORD p = m_Position + done;
        bool inCache = m_CachedStart != kNothingCached && p >= m_CachedStart && p - m_CachedStart < m_CachedBytes;
        if (!inCache) {
            CKDWORD blockStart = p - p % m_BlockSize;
            // Whole aligned blocks go straight to the caller: copying them
            // through the cache would only cost time. A partial last block
            // ends up cached.
            if (p == blockStart && size - done >= m_BlockSize) {
                CKDWORD whole = (size - done) / m_BlockSize * m_BlockSize;
                CKDWORD got = ReadAt(out + done, whole, p);
                done += got;
                if (got < whole)
                    break;
                continue;
            }
            if (!LoadBlock(blockStart))
                break;
        }
        CKDWORD offset = p - m_CachedStart;
        CKDWORD available = m_CachedBytes - offset;
        CKDWORD count = size - done < available ? size - done : available;
        std::memcpy(out + done, m_Cache + offset, count);
        done += count;
        if (m_CachedBytes < m_BlockSize && done < size)
            break; // the file ended sooner than its size said
    }
    m_Position += done;
    return done;
}

CKDWORD QxCachedFile::Write(const void* buffer, CKDWORD size)
{
    if (!m_File || !buffer || size == 0)
        return 0;
    if (!PlaceFile(m_Position, Writing))
        return 0;
    CKDWORD put = QxFile::Write(buffer, size);
    if (put > 0 && m_CachedStart != kNothingCached) {
        uint64_t writeEnd = static_cast<uint64_t>(m_Position) + put;
        uint64_t blockEnd = static_cast<uint64_t>(m_CachedStart) + m_BlockSize;
        if (m_Position < blockEnd && writeEnd > m_CachedStart) {
            m_CachedStart = kNothingCached;
            m_CachedBytes = 0;
        }
    }
    m_Position += put;
    m_FilePosition = m_Position;
    if (m_Position > m_FileSize)
        m_FileSize = m_Position;
    return put;
}

CKBOOL QxCachedFile::GetString(char* buffer, int size)
{
    QxLibraryLog(QXLOG_WARNING, __LINE__, __FILE__, "GetString : Not Cached");
    if (!m_File || !PlaceFile(m_Position, Reading))
        return FALSE;
    CKBOOL result = QxFile::GetString(buffer, size);
    m_FilePosition = QxFile::Tell();
    m_Position = m_FilePosition;
    return result;
}

int QxCachedFile::Flush()
{
    QxLibraryLog(QXLOG_WARNING, __LINE__, __FILE__, "Flush : Not Cached");
    int result = QxFile::Flush();
    m_LastOperation = None;
    return result;
}

CKDWORD QxCachedFile::ReadItems(void* buffer, CKDWORD itemSize, CKDWORD count)
{
    QxLibraryLog(QXLOG_WARNING, __LINE__, __FILE__, "ReadItems : Not Cached");
    if (!m_File || !PlaceFile(m_Position, Reading))
        return 0;
    CKDWORD result = QxFile::ReadItems(buffer, itemSize, count);
    m_FilePosition = QxFile::Tell();
    m_Position = m_FilePosition;
    return result;
}
