#include "platform/PlatformCpu.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

bool PlatformCpuid(uint32_t leaf, uint32_t regs[4])
{
    regs[0] = regs[1] = regs[2] = regs[3] = 0;
#if defined(__x86_64__) || defined(__i386__)
    // __get_cpuid checks the leaf against the highest one of its range.
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(leaf, &a, &b, &c, &d))
        return false;
    regs[0] = a;
    regs[1] = b;
    regs[2] = c;
    regs[3] = d;
    return true;
#else
    (void) leaf;
    return false;
#endif
}

uint64_t PlatformGetCurrentThreadId()
{
    return static_cast<uint64_t>(::syscall(SYS_gettid));
}

uint64_t PlatformGetCurrentThreadHandle()
{
    static_assert(sizeof(pthread_t) <= sizeof(uint64_t), "pthread_t must fit a 64-bit handle");
    return static_cast<uint64_t>(pthread_self());
}
