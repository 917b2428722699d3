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
