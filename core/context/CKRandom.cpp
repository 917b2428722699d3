#include "core/context/CKRandom.h"

#include "core/context/CKGlobals.h"

void CKSrand(CKDWORD seed)
{
    CKGetGlobals().m_RandomSeed = seed;
}

int CKRand()
{
    CKDWORD& seed = CKGetGlobals().m_RandomSeed;
    seed = seed * 214013u + 2531011u;
    return (int) ((seed >> 16) & 0x7FFF);
}
