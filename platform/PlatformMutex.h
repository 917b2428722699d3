#pragma once

#include <mutex>

// Stand-in for a Windows critical section: recursive, so an engine
// operation may call another that takes the same lock.
class PlatformCriticalSection
{
public:
    void Enter() { m_Mutex.lock(); }
    bool TryEnter() { return m_Mutex.try_lock(); }
    void Leave() { m_Mutex.unlock(); }

private:
    std::recursive_mutex m_Mutex;
};

class PlatformLockGuard
{
public:
    explicit PlatformLockGuard(PlatformCriticalSection& section) : m_Section(section) { m_Section.Enter(); }
    ~PlatformLockGuard() { m_Section.Leave(); }
    PlatformLockGuard(const PlatformLockGuard&) = delete;
    PlatformLockGuard& operator=(const PlatformLockGuard&) = delete;

private:
    PlatformCriticalSection& m_Section;
};
