#pragma once

#include <cstddef>

#include "includes/CKTypes.h"
#include "includes/XArray.h"

// Reads a whole file into bytes. False when it cannot be opened or read in
// full (or is 2 GB or larger).
bool ReaderReadWholeFile(const char* name, XArray<CKBYTE>& bytes);

// Writes bytes as a file without destroying an older file of that name on
// failure: the bytes go to a temporary file beside it, renamed over the
// target once all were written. The name is cleaned of the characters a file
// name cannot hold. False on any failure (the temporary file is removed).
bool ReaderWriteWholeFile(const char* name, const void* data, size_t size);
