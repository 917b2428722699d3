// PCX files read from memory: every header field, run and offset is checked
// against the input.
#include <cstddef>
#include <cstdint>

#include "readers/pcx/PcxReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PcxReader reader;
    CKBitmapProperties* properties = nullptr;
    const int result = reader.ReadMemory(data, (CKDWORD) size, &properties);
    (void) result;
    return 0;
}
