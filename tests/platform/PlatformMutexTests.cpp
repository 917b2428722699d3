#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/PlatformMutex.h"

TEST(PlatformCriticalSection, TheOwnerEntersAgainAndOthersWaitUntilItsLastLeave)
{
    PlatformCriticalSection section;
    section.Enter();
    EXPECT_TRUE(section.TryEnter()) << "recursive for its owner";
    section.Enter();
    auto tryFromAnother = [&] {
        bool got = true;
        std::thread other([&] {
            got = section.TryEnter();
            if (got)
                section.Leave();
        });
        other.join();
        return got;
    };
    section.Leave();
    section.Leave();
    EXPECT_FALSE(tryFromAnother()) << "held until the third leave";
    section.Leave();
    EXPECT_TRUE(tryFromAnother()) << "free after it";

    // A thread that waits in Enter gets the section when the owner leaves.
    section.Enter();
    std::atomic<int> stage{0};
    std::thread waiter([&] {
        stage = 1;
        PlatformLockGuard guard(section);
        stage = 2;
    });
    while (stage.load() == 0)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(stage.load(), 1) << "still waiting while the section is held";
    section.Leave();
    waiter.join();
    EXPECT_EQ(stage.load(), 2);
    EXPECT_TRUE(section.TryEnter());
    section.Leave();
}

TEST(PlatformCriticalSection, ThreadsEnteringInTurnsNeverOverlap)
{
    // Plain counters changed inside the section, nested entries among them:
    // every increment counts and no two threads are ever inside at once.
    PlatformCriticalSection section;
    long counter = 0;
    int inside = 0;
    std::atomic<int> overlaps{0};
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                const bool tried = (i + t) % 5 == 0;
                if (tried) {
                    if (!section.TryEnter())
                        section.Enter();
                } else {
                    section.Enter();
                }
                if (++inside != 1)
                    ++overlaps;
                {
                    PlatformLockGuard nested(section);
                    ++counter;
                }
                --inside;
                section.Leave();
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(counter, (long) kThreads * kRounds);
    EXPECT_EQ(overlaps.load(), 0);
}
