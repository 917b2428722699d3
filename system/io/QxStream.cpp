#include "system/io/QxStream.h"

#include "system/memory/QxMemoryManager.h"

namespace {
constexpr CKDWORD kCopyBlock = 32768;
} // namespace

CKDWORD QxStream::CopyFrom(QxStream* source, CKDWORD size)
{
    if (!source)
        return 0;
    if (size == 0)
        size = source->GetSize();
    if (size == 0)
        return 0;

    QxMemoryManager* memory = QxGetMemoryManager();
    QxScratchBufferRecord* scratch = memory->AcquireScratchBuffer(kCopyBlock);
    if (!scratch || !scratch->m_Data)
        return 0;
    unsigned char* buffer = static_cast<unsigned char*>(scratch->m_Data);
    CKDWORD copied = 0;
    while (copied < size) {
        CKDWORD chunk = size - copied < kCopyBlock ? size - copied : kCopyBlock;
        CKDWORD got = source->Read(buffer, chunk);
        if (got > chunk)
            got = chunk; // a faulty source never makes us write past what we read
        CKDWORD put = got ? Write(buffer, got) : 0;
        if (put > got)
            put = got;
        copied += put;
        if (got < chunk || put < got)
            break;
    }
    memory->ReleaseScratchBuffer(buffer);
    return copied;
}
