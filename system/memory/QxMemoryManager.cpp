#include "system/memory/QxMemoryManager.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/PlatformAssert.h"
#include "system/memory/QxAlignedAlloc.h"
#include "system/memory/QxFixedSizeAllocator.h"

namespace {

constexpr CKDWORD kPoolChunkSize = 4096;
constexpr CKDWORD kScratchAlignment = 16;

} // namespace

bool QxMemoryManager::IsShutDown() const
{
    return std::atomic_ref<bool>(m_ShutDown).load(std::memory_order_acquire);
}

// Holds the manager's lock for one operation.
class QxInAllocator
{
public:
    explicit QxInAllocator(const QxMemoryManager& manager) : m_Mutex(manager.m_Mutex) { m_Mutex.Lock(); }
    ~QxInAllocator() { m_Mutex.Unlock(); }
    QxInAllocator(const QxInAllocator&) = delete;
    QxInAllocator& operator=(const QxInAllocator&) = delete;

private:
    QxMutex& m_Mutex;
};

QxMemoryManager::QxMemoryManager() = default;

QxMemoryManager::~QxMemoryManager()
{
    ShutDown();
}

void QxMemoryManager::ShutDown()
{
    if (IsShutDown())
        return;
    {
        QxInAllocator in(*this);
        for (QxScratchBufferRecord* record : m_UsedScratch) {
            QxDeleteAligned(record->m_Data);
            delete record;
        }
        for (QxScratchBufferRecord* record : m_FreeScratch) {
            QxDeleteAligned(record->m_Data);
            delete record;
        }
        m_UsedScratch.Free();
        m_FreeScratch.Free();
        for (XString* s : m_FreeStrings)
            delete s;
        m_FreeStrings.Free();
        for (QxFixedSizeAllocator*& pool : m_Pools) {
            delete pool;
            pool = nullptr;
        }
        std::atomic_ref<bool>(m_ShutDown).store(true, std::memory_order_release);
    }
}

void QxMemoryManager::ReleaseUnused()
{
    if (IsShutDown())
        return;
    QxInAllocator in(*this);
    for (QxScratchBufferRecord* record : m_FreeScratch) {
        QxDeleteAligned(record->m_Data);
        delete record;
    }
    m_FreeScratch.Free();
    for (XString* s : m_FreeStrings)
        delete s;
    m_FreeStrings.Free();
    for (QxFixedSizeAllocator*& pool : m_Pools) {
        if (pool && !pool->HasLiveBlocks()) {
            delete pool;
            pool = nullptr;
        }
    }
}

// The C library's heap guards itself: plain blocks take no lock of ours
// (names and buffers come and go once per object in loads and saves).
void* QxMemoryManager::Allocate(size_t size)
{
    return std::malloc(size);
}

void QxMemoryManager::Free(void* block)
{
    std::free(block);
}

void* QxMemoryManager::Reallocate(void* block, size_t size)
{
    return std::realloc(block, size);
}

char* QxMemoryManager::DuplicateString(const char* text)
{
    if (!text)
        return nullptr;
    size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(Allocate(size));
    if (copy)
        std::memcpy(copy, text, size);
    return copy;
}

void* QxMemoryManager::AllocatePoolObject(size_t size)
{
#if ENGINE_POOL_MALLOC
    return std::malloc(size ? size : 1);
#else
    if (size > MaxPoolObjectSize || IsShutDown())
        return std::malloc(size);
    int sizeClass = GetPoolClass(size);
    QxInAllocator in(*this);
    QxFixedSizeAllocator*& pool = m_Pools[sizeClass];
    if (!pool)
        pool = new QxFixedSizeAllocator((CKDWORD) sizeClass * 4, kPoolChunkSize);
    return pool->Allocate();
#endif
}

void QxMemoryManager::FreePoolObject(size_t size, void* block)
{
#if ENGINE_POOL_MALLOC
    (void) size;
    std::free(block);
#else
    if (!block)
        return;
    if (size > MaxPoolObjectSize) {
        std::free(block);
        return;
    }
    // After shut-down the pools and every block in them are gone.
    if (IsShutDown())
        return;
    QxInAllocator in(*this);
    QxFixedSizeAllocator* pool = m_Pools[GetPoolClass(size)];
    bool poolExists = pool != nullptr;
    if (PLATFORM_CHECK(poolExists))
        pool->Free(block);
#endif
}

QxScratchBufferRecord* QxMemoryManager::AcquireScratchBuffer(CKDWORD size)
{
    if (size == 0)
        return nullptr;
    if (IsShutDown())
        return nullptr;
    QxInAllocator in(*this);
    QxScratchBufferRecord* record = nullptr;
    for (int i = 0; i < m_FreeScratch.Size(); ++i) {
        if (m_FreeScratch.Begin()[i]->m_Size >= size) {
            record = m_FreeScratch.Begin()[i];
            m_FreeScratch.RemoveAt(i);
            break;
        }
    }
    if (!record) {
        void* data = QxNewAligned(size, kScratchAlignment);
        if (!data)
            return nullptr;
        if (!m_FreeScratch.IsEmpty()) {
            // Regrow the largest free buffer rather than keep one more.
            record = m_FreeScratch.Begin()[m_FreeScratch.Size() - 1];
            m_FreeScratch.RemoveAt(m_FreeScratch.Size() - 1);
            QxDeleteAligned(record->m_Data);
        } else {
            record = new QxScratchBufferRecord;
        }
        record->m_Data = data;
        record->m_Size = size;
    }
    m_UsedScratch.PushBack(record);
    return record;
}

void QxMemoryManager::ReleaseScratchBuffer(void* data)
{
    if (!data || IsShutDown())
        return;
    QxInAllocator in(*this);
    QxScratchBufferRecord* record = nullptr;
    for (int i = 0; i < m_UsedScratch.Size(); ++i) {
        if (m_UsedScratch.Begin()[i]->m_Data == data) {
            record = m_UsedScratch.Begin()[i];
            m_UsedScratch.RemoveAt(i);
            break;
        }
    }
    if (!record)
        return;
    int at = 0;
    while (at < m_FreeScratch.Size() && m_FreeScratch.Begin()[at]->m_Size < record->m_Size)
        ++at;
    m_FreeScratch.Insert(at, record);
}

XString* QxMemoryManager::AcquireTemporaryString()
{
    if (!IsShutDown()) {
        QxInAllocator in(*this);
        if (!m_FreeStrings.IsEmpty()) {
            XString* s = m_FreeStrings.Begin()[m_FreeStrings.Size() - 1];
            m_FreeStrings.RemoveAt(m_FreeStrings.Size() - 1);
            return s;
        }
    }
    return new XString;
}

void QxMemoryManager::ReleaseTemporaryString(XString* string)
{
    if (!string)
        return;
    if (IsShutDown()) {
        delete string;
        return;
    }
    QxInAllocator in(*this);
    m_FreeStrings.PushBack(string);
}

int QxMemoryManager::GetFreeScratchBufferCount() const
{
    QxInAllocator in(*this);
    return m_FreeScratch.Size();
}

CKDWORD QxMemoryManager::GetFreeScratchBufferSize(int i) const
{
    QxInAllocator in(*this);
    if (i < 0 || i >= m_FreeScratch.Size())
        return 0;
    return m_FreeScratch.Begin()[i]->m_Size;
}

int QxMemoryManager::GetUsedScratchBufferCount() const
{
    QxInAllocator in(*this);
    return m_UsedScratch.Size();
}

int QxMemoryManager::GetFreeTemporaryStringCount() const
{
    QxInAllocator in(*this);
    return m_FreeStrings.Size();
}

const QxFixedSizeAllocator* QxMemoryManager::GetPool(int sizeClass) const
{
    if (sizeClass < 0 || sizeClass >= PoolClassCount)
        return nullptr;
    QxInAllocator in(*this);
    return m_Pools[sizeClass];
}

namespace {

// The process-wide manager lives in static storage that outlasts every
// destructor: at exit it is only shut down, so a Free that comes later (from
// a static object destroyed after it) still finds a valid object.
alignas(QxMemoryManager) unsigned char g_ManagerStorage[sizeof(QxMemoryManager)];

void ShutDownGlobalManager()
{
    reinterpret_cast<QxMemoryManager*>(g_ManagerStorage)->ShutDown();
}

QxMemoryManager* MakeGlobalManager()
{
    QxMemoryManager* manager = new (g_ManagerStorage) QxMemoryManager;
    std::atexit(ShutDownGlobalManager);
    return manager;
}

} // namespace

QxMemoryManager* QxGetMemoryManager()
{
    static QxMemoryManager* manager = MakeGlobalManager();
    return manager;
}
