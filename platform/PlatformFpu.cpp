#include "platform/PlatformFpu.h"

namespace {
thread_local uint16_t t_ControlWord = kPlatformDefaultFpuControlWord;
} // namespace

uint16_t PlatformGetFpuControlWord()
{
    return t_ControlWord;
}

void PlatformSetFpuControlWord(uint16_t word)
{
    t_ControlWord = word;
}
