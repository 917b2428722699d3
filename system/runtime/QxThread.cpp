#include "system/runtime/QxThread.h"

QxThread::~QxThread()
{
    QxThreadTable& table = QxGetThreadTable();
    QxThread** entry = table.FindPtr(m_Handle);
    if (entry && *entry == this)
        table.Remove(m_Handle);
}

void QxThread::SetName(const char* name)
{
    if (m_Flags & QX_THREAD_NAME_LOCKED)
        return;
    m_Name = name;
}

QxThreadTable& QxGetThreadTable()
{
    static QxThreadTable table(16);
    return table;
}

QxThread* QxFindThread(uint64_t handle)
{
    QxThread** entry = QxGetThreadTable().FindPtr(handle);
    return entry ? *entry : nullptr;
}
