#pragma once

#include <cstdint>

#include "includes/CKTypes.h"
#include "includes/XHashTable.h"
#include "includes/XString.h"

// Thread flags.
enum QxThreadFlags
{
    QX_THREAD_MAIN = 1,
    QX_THREAD_NAME_LOCKED = 2, // SetName is refused
    QX_THREAD_DEFAULT = 8,
};

// A named record of one thread of the process, entered in the thread
// registry under its handle by whoever registers it.
class QxThread
{
public:
    QxThread() = default;
    // Removes the thread's entry from the registry.
    virtual ~QxThread();
    QxThread(const QxThread&) = delete;
    QxThread& operator=(const QxThread&) = delete;

    // Changes the name unless flag 2 is set.
    void SetName(const char* name);
    const char* GetName() const { return m_Name.CStr(); }

    void SetHandle(uint64_t handle) { m_Handle = handle; }
    uint64_t GetHandle() const { return m_Handle; }
    void SetId(uint64_t id) { m_Id = id; }
    uint64_t GetId() const { return m_Id; }
    void SetFlags(CKDWORD flags) { m_Flags = flags; }
    CKDWORD GetFlags() const { return m_Flags; }

private:
    XString m_Name;
    uint64_t m_Handle = 0;
    uint64_t m_Id = 0;
    CKDWORD m_Flags = QX_THREAD_DEFAULT;
};

struct QxThreadHandleHash
{
    CKDWORD operator()(uint64_t handle) const { return static_cast<CKDWORD>(handle >> 8); }
};

using QxThreadTable = XHashTable<QxThread*, uint64_t, QxThreadHandleHash>;

// The process-wide registry from thread handle to thread, made on first use.
QxThreadTable& QxGetThreadTable();

// The registered thread of a handle, or null.
QxThread* QxFindThread(uint64_t handle);
