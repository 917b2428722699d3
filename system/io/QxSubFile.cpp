#include "system/io/QxSubFile.h"

void QxSubFile::Open(QxStream* parent, CKDWORD start, CKDWORD size)
{
    m_Parent = parent;
    m_Start = start;
    m_Size = size;
    m_Position = 0;
    Seek(0, QX_SEEK_BEGIN);
}

CKBOOL QxSubFile::IsValid()
{
    if (!m_Parent || !m_Parent->IsValid() || m_Size == 0)
        return FALSE;
    uint64_t end = static_cast<uint64_t>(m_Start) + m_Size;
    return end <= m_Parent->GetSize() ? TRUE : FALSE;
}

CKBOOL QxSubFile::Seek(int offset, int origin)
{
    if (!m_Parent)
        return FALSE;
    // Positions are 32-bit and wrap as the stream's own arithmetic does; the
    // parent is always sought absolutely so that it sees the same place.
    switch (origin) {
    case QX_SEEK_BEGIN: m_Position = static_cast<CKDWORD>(offset); break;
    case QX_SEEK_END: m_Position = m_Size - static_cast<CKDWORD>(offset); break;
    default: m_Position += static_cast<CKDWORD>(offset); break;
    }
    uint64_t target = static_cast<uint64_t>(m_Start) + m_Position;
    if (target > 0x7FFFFFFFull)
        return FALSE;
    return m_Parent->Seek(static_cast<int>(target), QX_SEEK_BEGIN);
}

bool QxSubFile::SyncParent()
{
    if (m_Parent->Tell() - m_Start == m_Position)
        return true;
    uint64_t target = static_cast<uint64_t>(m_Start) + m_Position;
    if (target > 0x7FFFFFFFull)
        return false;
    return m_Parent->Seek(static_cast<int>(target), QX_SEEK_BEGIN) != FALSE;
}

CKDWORD QxSubFile::Read(void* buffer, CKDWORD size)
{
    if (!m_Parent || !buffer)
        return 0;
    CKDWORD want = size < Remaining() ? size : Remaining();
    if (want == 0 || !SyncParent())
        return 0;
    CKDWORD got = m_Parent->Read(buffer, want);
    if (got > want)
        got = want;
    m_Position += got;
    return got;
}

CKDWORD QxSubFile::Write(const void* buffer, CKDWORD size)
{
    if (!m_Parent || !buffer)
        return 0;
    CKDWORD want = size < Remaining() ? size : Remaining();
    if (want == 0 || !SyncParent())
        return 0;
    CKDWORD put = m_Parent->Write(buffer, want);
    if (put > want)
        put = want;
    m_Position += put;
    return put;
}
