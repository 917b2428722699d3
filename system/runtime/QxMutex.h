#pragma once

class PlatformCriticalSection;

// A recursive lock over a heap-allocated platform critical section, so an
// operation may call another that takes the same lock.
class QxMutex
{
public:
    QxMutex();
    ~QxMutex();
    QxMutex(const QxMutex&) = delete;
    QxMutex& operator=(const QxMutex&) = delete;

    // Both return 1.
    int Lock();
    int Unlock();

private:
    PlatformCriticalSection* m_Section;
};

// Holds a QxMutex for the length of a scope.
class QxMutexLocker
{
public:
    explicit QxMutexLocker(QxMutex& mutex) : m_Mutex(mutex) { m_Mutex.Lock(); }
    ~QxMutexLocker() { m_Mutex.Unlock(); }
    QxMutexLocker(const QxMutexLocker&) = delete;
    QxMutexLocker& operator=(const QxMutexLocker&) = delete;

private:
    QxMutex& m_Mutex;
};

// Holds a lock (QxMutex, or any class with Lock() and Unlock()) across a
// run of operations that each take it again (a recursive lock re-entered by
// its owner costs no atomic operation), letting it go every `period`
// operations so that a waiting thread gets its turn after a bounded wait.
// Call Step() before each operation; Release() before code that must not run
// under the lock. Let go at the end of the scope.
template <class Lockable>
class QxLockBatch
{
public:
    QxLockBatch(Lockable& lock, int period) : m_Lock(lock), m_Period(period > 0 ? period : 1) {}
    ~QxLockBatch() { Release(); }
    QxLockBatch(const QxLockBatch&) = delete;
    QxLockBatch& operator=(const QxLockBatch&) = delete;

    void Step()
    {
        if (m_Left == 0) {
            Release();
            m_Lock.Lock();
            m_Held = true;
            m_Left = m_Period;
        }
        --m_Left;
    }
    void Release()
    {
        if (m_Held)
            m_Lock.Unlock();
        m_Held = false;
        m_Left = 0;
    }
    bool IsHeld() const { return m_Held; }

private:
    Lockable& m_Lock;
    int m_Period;
    int m_Left = 0;
    bool m_Held = false;
};

using QxMutexBatch = QxLockBatch<QxMutex>;
