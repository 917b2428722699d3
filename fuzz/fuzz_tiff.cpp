// TIFF files (libtiff over the reader's memory stream) read from memory: every header field, run and offset is checked
// against the input.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzReader.h"
#include "readers/tiff/TiffReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TiffReader reader;
    FuzzReadMemory(reader, data, size);
    return 0;
}
