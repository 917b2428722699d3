#include "system/runtime/QxFpu.h"

#include "platform/PlatformFpu.h"

namespace {
constexpr CKWORD kExceptionMasks = 0x003F;
constexpr CKWORD kPrecisionField = 0x0300;
constexpr CKWORD kRoundingField = 0x0C00;
} // namespace

CKWORD QxGetFPUControlWord()
{
    return PlatformGetFpuControlWord();
}

void QxSetFPUControlWord(CKWORD word)
{
    PlatformSetFpuControlWord(word);
}

void QxSetupFPU()
{
    CKWORD word = QxGetFPUControlWord();
    if ((word & kPrecisionField) != 0 || (word & kExceptionMasks) != kExceptionMasks || (word & kRoundingField) != 0) {
        word = static_cast<CKWORD>((word & ~(kPrecisionField | kRoundingField)) | kExceptionMasks);
        QxSetFPUControlWord(word);
    }
}
