#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "platform/PlatformCpu.h"
#include "platform/PlatformTime.h"
#include "system/runtime/QxCycleProfiler.h"
#include "system/runtime/QxFpu.h"
#include "system/runtime/QxSharedLibrary.h"
#include "system/runtime/QxThread.h"
#include "system/runtime/QxTimeProfiler.h"
#include "system/runtime/QxTimingFactors.h"

namespace {
uint64_t g_Ticks = 0;
uint64_t FakeCounter()
{
    return g_Ticks;
}

class SavedControlWord
{
public:
    SavedControlWord() : m_Word(QxGetFPUControlWord()) {}
    ~SavedControlWord() { QxSetFPUControlWord(m_Word); }

private:
    CKWORD m_Word;
};
} // namespace

TEST(QxSetupFPU, LoadsSinglePrecisionNearestAndAllMasksAndLibrariesKeepTheWord)
{
    SavedControlWord saved;
    // Double precision, again, round toward zero, exceptions unmasked, other bits.
    const std::pair<CKWORD, CKWORD> cases[] = {
        {0x027F, 0x007F}, {0x007F, 0x007F}, {0x0C7F, 0x007F}, {0x0070, 0x007F}, {0x137F, 0x107F}};
    for (const auto& [before, after] : cases) {
        QxSetFPUControlWord(before);
        QxSetupFPU();
        EXPECT_EQ(QxGetFPUControlWord(), after) << before;
    }
    // Loading a shared library keeps the control word.
    QxSetFPUControlWord(0x1234);
    QxSharedLibrary library;
    EXPECT_EQ(library.GetFunctionPtr("cos"), nullptr);
    ASSERT_NE(library.Load("libm.so.6"), nullptr);
    EXPECT_EQ(QxGetFPUControlWord(), 0x1234);
    EXPECT_NE(library.GetFunctionPtr("cos"), nullptr);
    EXPECT_EQ(library.GetFunctionPtr(nullptr), nullptr);
    EXPECT_EQ(library.Load("no-such-library.so"), nullptr);
    EXPECT_EQ(library.GetModule(), nullptr);
    library.Attach(reinterpret_cast<void*>(0x10));
    EXPECT_EQ(library.GetModule(), reinterpret_cast<void*>(0x10));
}

TEST(QxTimeProfiler, MeasuresMillisecondsOnTheCounterAndCyclesWithTheFactor)
{
    PlatformCounterHook previous = PlatformSetCounterHook(FakeCounter);
    g_Ticks = 5000000000ull;
    QxTimeProfiler profiler;
    g_Ticks += 2500000000ull; // 2.5 s at one tick per nanosecond
    EXPECT_NEAR(profiler.Current(), 2500.0f, 0.001f);
    profiler.Reset();
    EXPECT_EQ(profiler.Current(), 0.0f);
    PlatformSetCounterHook(previous);
    // The cycle profiler converts cycles with the detected factor.
    float tick = QxGetMillisecondsPerTick();
    float cycle = QxGetMillisecondsPerCycle();
    QxSetTimingFactors(tick, 0.0f);
    QxCycleProfiler cycles;
    EXPECT_EQ(cycles.Current(), 0.0f);
    QxSetTimingFactors(tick, 1.0f);
    cycles.Reset();
    volatile int sink = 0;
    for (int i = 0; i < 10000; ++i)
        sink = sink + i;
    EXPECT_GT(cycles.Current(), 0.0f);
    QxSetTimingFactors(tick, cycle);
}

TEST(QxThread, NameIsLockedByFlag2AndTheRegistryForgetsDeletedThreads)
{
    QxThread* thread = new QxThread;
    EXPECT_EQ(thread->GetFlags(), 8u);
    EXPECT_EQ(thread->GetHandle(), 0u);
    thread->SetName("worker");
    EXPECT_STREQ(thread->GetName(), "worker");
    thread->SetFlags(QX_THREAD_NAME_LOCKED);
    thread->SetName("renamed");
    EXPECT_STREQ(thread->GetName(), "worker");
    uint64_t handle = 0x123456789ABCull; // 64-bit handles keep all their bits
    thread->SetHandle(handle);
    QxGetThreadTable().Insert(handle, thread);
    EXPECT_EQ(QxFindThread(handle), thread);
    EXPECT_EQ(QxFindThread(handle & 0xFFFFFFFFull), nullptr);
    delete thread;
    EXPECT_EQ(QxFindThread(handle), nullptr);
}
