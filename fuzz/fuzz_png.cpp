// PNG files (libpng with the reader's memory callbacks) read from memory: every header field, run and offset is checked
// against the input.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzReader.h"
#include "readers/png/PngReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PngReader reader;
    FuzzReadMemory(reader, data, size);
    return 0;
}
