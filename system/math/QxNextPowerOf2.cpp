#include "includes/XHashTable.h"

int QxNextPowerOf2(int n)
{
    if (n <= 0)
        return 0;
    // Doubling past 2^30 would overflow: callers size their tables below that.
    if (!PLATFORM_CHECK(n <= 0x40000000))
        return 0;
    int p = n & -n;
    while (p < n)
        p <<= 1;
    return p;
}
