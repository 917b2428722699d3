// Truevision Targa files read from memory: every header field, run and offset is checked
// against the input.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzReader.h"
#include "readers/tga/TgaReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TgaReader reader;
    FuzzReadMemory(reader, data, size, 24);
    return 0;
}
