#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Reads up to size bytes of an open stdio file at an absolute offset without
// moving the file's position or touching its buffer (the caller flushes
// pending writes first). Returns the bytes read, fewer only at the end of the
// file or on an error.
size_t PlatformReadFileAt(FILE* file, void* buffer, size_t size, uint64_t offset);
