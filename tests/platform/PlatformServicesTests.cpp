#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>

#include "platform/PlatformConsole.h"
#include "platform/PlatformCpu.h"
#include "platform/PlatformDebugOutput.h"
#include "platform/PlatformFpu.h"
#include "platform/PlatformSharedLibrary.h"
#include "platform/PlatformTime.h"

namespace {
std::string g_Captured;
void Capture(const char* text)
{
    g_Captured += text;
}
void CaptureBytes(const char* data, size_t size)
{
    g_Captured.append(data, size);
}
uint64_t FixedCounter()
{
    return 42;
}
PlatformLocalTime FixedTime()
{
    PlatformLocalTime t;
    t.year = 2009;
    return t;
}
} // namespace

TEST(PlatformTime, CountersAdvanceAndHooksReplaceTheClocks)
{
    uint64_t a = PlatformQueryCounter();
    PlatformSleepMs(1);
    uint64_t b = PlatformQueryCounter();
    EXPECT_GT(b, a);
    EXPECT_GT(PlatformCounterFrequency(), 0u);
    uint64_t c0 = PlatformReadCycleCounter();
    uint64_t c1 = PlatformReadCycleCounter();
    EXPECT_GE(c1, c0);

    PlatformSetCounterHook(FixedCounter);
    PlatformSetLocalTimeHook(FixedTime);
    EXPECT_EQ(PlatformQueryCounter(), 42u);
    EXPECT_EQ(PlatformGetLocalTime().year, 2009);
    PlatformSetCounterHook(nullptr);
    PlatformSetLocalTimeHook(nullptr);
    EXPECT_NE(PlatformQueryCounter(), 42u);
    PlatformLocalTime now = PlatformGetLocalTime();
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_LE(now.millisecond, 999);
}

TEST(PlatformCpu, ThreadIdsDifferBetweenThreads)
{
    uint64_t mine = PlatformGetCurrentThreadId();
    uint64_t myHandle = PlatformGetCurrentThreadHandle();
    uint64_t other = 0, otherHandle = 0;
    std::thread t([&] {
        other = PlatformGetCurrentThreadId();
        otherHandle = PlatformGetCurrentThreadHandle();
    });
    t.join();
    EXPECT_NE(mine, 0u);
    EXPECT_NE(mine, other);
    EXPECT_NE(myHandle, otherHandle);
    EXPECT_EQ(mine, PlatformGetCurrentThreadId());
}

TEST(PlatformCpu, IdentificationGivesAVendorOnX86)
{
    uint32_t regs[4];
#if defined(__x86_64__) || defined(__i386__)
    ASSERT_TRUE(PlatformCpuid(0, regs));
    EXPECT_GE(regs[0], 1u);
    // Leaves beyond the highest one are refused rather than answered with junk.
    EXPECT_FALSE(PlatformCpuid(0x7FFFFFFF, regs));
    EXPECT_EQ(regs[0] | regs[1] | regs[2] | regs[3], 0u);
#else
    EXPECT_FALSE(PlatformCpuid(0, regs));
#endif
}

TEST(PlatformFpu, ControlWordStartsAtTheWindowsDefaultPerThread)
{
    uint16_t saved = PlatformGetFpuControlWord();
    PlatformSetFpuControlWord(0x007F);
    EXPECT_EQ(PlatformGetFpuControlWord(), 0x007F);
    uint16_t seenByOther = 0;
    std::thread t([&] { seenByOther = PlatformGetFpuControlWord(); });
    t.join();
    EXPECT_EQ(seenByOther, kPlatformDefaultFpuControlWord);
    PlatformSetFpuControlWord(saved);
}

TEST(PlatformSharedLibrary, LoadsFindsAndFrees)
{
    void* libm = PlatformLoadLibrary("libm.so.6");
    ASSERT_NE(libm, nullptr);
    using CosFn = double (*)(double);
    CosFn fn = reinterpret_cast<CosFn>(PlatformGetProcAddress(libm, "cos"));
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn(0.0), 1.0);
    EXPECT_EQ(PlatformGetProcAddress(libm, "no_such_function_here"), nullptr);
    EXPECT_EQ(PlatformGetProcAddress(libm, nullptr), nullptr);
    EXPECT_NE(PlatformGetModuleFileName(libm).find("libm"), std::string::npos);
    EXPECT_TRUE(PlatformFreeLibrary(libm));
    EXPECT_EQ(PlatformLoadLibrary("no-such-library.so"), nullptr);
    EXPECT_EQ(PlatformLoadLibrary(nullptr), nullptr);
    EXPECT_EQ(PlatformGetProcAddress(nullptr, "cos"), nullptr);
}

TEST(PlatformSharedLibrary, ModuleHandleOfNullIsTheProgram)
{
    void* self = PlatformGetModuleHandle(nullptr);
    ASSERT_NE(self, nullptr);
    std::string name = PlatformGetModuleFileName(self);
    EXPECT_NE(name.find("platform_tests"), std::string::npos);
    EXPECT_EQ(PlatformGetModuleFileName(nullptr), name);
    EXPECT_EQ(PlatformGetModuleHandle("not-loaded-library.so"), nullptr);
}

TEST(PlatformDebugOutput, SilentUnlessHooked)
{
    g_Captured.clear();
    PlatformOutputDebugString("dropped");
    PlatformDebugOutputHook previous = PlatformSetDebugOutputHook(Capture);
    PlatformOutputDebugString("line\n");
    PlatformOutputDebugString(nullptr);
    PlatformSetDebugOutputHook(previous);
    EXPECT_EQ(g_Captured, "line\n");
}

TEST(PlatformConsole, SecondAllocationFailsUntilFreed)
{
    g_Captured.clear();
    PlatformConsoleHook previous = PlatformSetConsoleHook(CaptureBytes);
    EXPECT_EQ(PlatformGetConsoleOutput(), nullptr);
    ASSERT_TRUE(PlatformAllocConsole());
    EXPECT_FALSE(PlatformAllocConsole());
    PlatformConsoleHandle out = PlatformGetConsoleOutput();
    ASSERT_NE(out, nullptr);
    PlatformSetConsoleTitle("Title");
    EXPECT_EQ(PlatformGetConsoleTitle(), "Title");
    EXPECT_TRUE(PlatformWriteConsole(out, "abc", 3));
    EXPECT_FALSE(PlatformWriteConsole(nullptr, "abc", 3));
    PlatformFreeConsole();
    EXPECT_EQ(PlatformGetConsoleOutput(), nullptr);
    EXPECT_TRUE(PlatformAllocConsole());
    PlatformFreeConsole();
    PlatformSetConsoleHook(previous);
    EXPECT_EQ(g_Captured, "abc");
}
