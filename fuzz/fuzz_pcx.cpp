// PCX files read from memory: every header field, run and offset is checked
// against the input.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzReader.h"
#include "readers/pcx/PcxReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PcxReader reader;
    FuzzReadMemory(reader, data, size);
    return 0;
}
