// PNG files (libpng with the reader's memory callbacks) read from memory: every header field, run and offset is checked
// against the input.
#include <cstddef>
#include <cstdint>

#include "readers/png/PngReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PngReader reader;
    CKBitmapProperties* properties = nullptr;
    const int result = reader.ReadMemory(data, (CKDWORD) size, &properties);
    (void) result;
    return 0;
}
