#pragma once

#include <atomic>

// Stand-in for a Windows critical section: recursive, so an engine
// operation may call another that takes the same lock. The memory manager
// takes one for every allocation, so entering and leaving stay inline: the
// owner and depth are kept here, around a word that is 0 (free), 1 (held)
// or 2 (held, and a thread may be waiting on it, through the futex behind
// std::atomic::wait).
class PlatformCriticalSection
{
public:
    void Enter()
    {
        const void* self = ThreadToken();
        if (m_Owner.load(std::memory_order_relaxed) == self) {
            ++m_Depth;
            return;
        }
        int state = 0;
        if (!m_State.compare_exchange_strong(state, 1, std::memory_order_acquire))
            Wait(state);
        m_Owner.store(self, std::memory_order_relaxed);
        m_Depth = 1;
    }
    bool TryEnter()
    {
        const void* self = ThreadToken();
        if (m_Owner.load(std::memory_order_relaxed) == self) {
            ++m_Depth;
            return true;
        }
        int state = 0;
        if (!m_State.compare_exchange_strong(state, 1, std::memory_order_acquire))
            return false;
        m_Owner.store(self, std::memory_order_relaxed);
        m_Depth = 1;
        return true;
    }
    // Only by the thread that entered.
    void Leave()
    {
        if (--m_Depth > 0)
            return;
        m_Owner.store(nullptr, std::memory_order_relaxed);
        if (m_State.exchange(0, std::memory_order_release) == 2)
            m_State.notify_one();
    }

private:
    // A different address on every live thread.
    static const void* ThreadToken()
    {
        static thread_local char token;
        return &token;
    }
    void Wait(int state)
    {
        // Marks the word contended, then sleeps until a leave frees it.
        if (state != 2)
            state = m_State.exchange(2, std::memory_order_acquire);
        while (state != 0) {
            m_State.wait(2, std::memory_order_relaxed);
            state = m_State.exchange(2, std::memory_order_acquire);
        }
    }

    std::atomic<int> m_State{0};
    std::atomic<const void*> m_Owner{nullptr};
    int m_Depth = 0;
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
