#include <gtest/gtest.h>

#include "system/runtime/QxMutex.h"

namespace {

// Counts what the batch does to its lock, and refuses taking it twice or
// letting go of it unheld.
struct CountingLock
{
    int locks = 0;
    int unlocks = 0;
    bool held = false;
    void Lock()
    {
        EXPECT_FALSE(held) << "taken while held";
        held = true;
        ++locks;
    }
    void Unlock()
    {
        EXPECT_TRUE(held) << "let go while free";
        held = false;
        ++unlocks;
    }
};

TEST(QxLockBatch, TakesTheLockOncePerPeriodOfStepsAndLetsItGoBetweenRuns)
{
    CountingLock lock;
    {
        QxLockBatch<CountingLock> batch(lock, 4);
        EXPECT_FALSE(batch.IsHeld());
        EXPECT_EQ(lock.locks, 0) << "nothing is taken before the first step";
        for (int i = 0; i < 10; ++i) {
            batch.Step();
            EXPECT_TRUE(lock.held) << "step " << i;
        }
        // Steps 0-3, 4-7 and 8-9: three holds, the first two let go.
        EXPECT_EQ(lock.locks, 3);
        EXPECT_EQ(lock.unlocks, 2);
        batch.Release();
        EXPECT_FALSE(batch.IsHeld());
        EXPECT_EQ(lock.unlocks, 3);
        batch.Release();
        EXPECT_EQ(lock.unlocks, 3) << "a second release lets go of nothing";
        // After a release a whole new period starts.
        for (int i = 0; i < 4; ++i)
            batch.Step();
        EXPECT_EQ(lock.locks, 4);
        batch.Step();
        EXPECT_EQ(lock.locks, 5);
        EXPECT_TRUE(batch.IsHeld());
    }
    EXPECT_FALSE(lock.held) << "the end of the scope lets go";
    EXPECT_EQ(lock.unlocks, lock.locks);
}

TEST(QxLockBatch, APeriodBelowOneTakesTheLockForEachStep)
{
    for (int period : {0, -3, 1}) {
        CountingLock lock;
        {
            QxLockBatch<CountingLock> batch(lock, period);
            for (int i = 0; i < 3; ++i)
                batch.Step();
        }
        EXPECT_EQ(lock.locks, 3) << "period " << period;
        EXPECT_EQ(lock.unlocks, 3) << "period " << period;
    }
}

TEST(QxLockBatch, HoldsARecursiveMutexThatItsOwnerTakesAgain)
{
    QxMutex mutex;
    QxMutexBatch batch(mutex, 2);
    for (int i = 0; i < 5; ++i) {
        batch.Step();
        // What each operation does: the owner takes it again.
        QxMutexLocker again(mutex);
    }
    batch.Release();
    EXPECT_FALSE(batch.IsHeld());
}

} // namespace
