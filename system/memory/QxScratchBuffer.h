#pragma once

#include "includes/CKTypes.h"
#include "system/memory/QxMemoryManager.h"

// Holds one of the memory manager's scratch buffers for the length of a
// scope. Data() is null when size was 0 or no buffer could be had.
class QxScratchBuffer
{
public:
    explicit QxScratchBuffer(CKDWORD size) : m_Record(QxGetMemoryManager()->AcquireScratchBuffer(size)) {}
    ~QxScratchBuffer()
    {
        if (m_Record)
            QxGetMemoryManager()->ReleaseScratchBuffer(m_Record->m_Data);
    }
    QxScratchBuffer(const QxScratchBuffer&) = delete;
    QxScratchBuffer& operator=(const QxScratchBuffer&) = delete;

    void* Data() const { return m_Record ? m_Record->m_Data : nullptr; }
    CKDWORD Size() const { return m_Record ? m_Record->m_Size : 0; }

private:
    QxScratchBufferRecord* m_Record;
};
