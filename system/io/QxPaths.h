#pragma once

#include <cstddef>

#include "includes/CKTypes.h"
#include "includes/XString.h"

// Paths, folders and the environment. Both '\' and '/' are accepted as
// separators; paths made here use '/'.

// Writes first, then '/' when first is not empty and does not end with a
// separator, then second into destination (null parts count as empty).
// Returns 1; 0 with an empty destination when the result and its terminator
// do not fit destinationSize bytes (or destination is null).
int QxConcatPath(char* destination, size_t destinationSize, const char* first, const char* second);

// The current working folder into a buffer of 260 characters; null (and an
// empty buffer) when it is longer or cannot be read.
char* QxGetCurrentDirectory(char* buffer);

// A module already loaded (null: the program itself), without a reference.
void* QxGetModuleHandle(const char* name);
// The module's full file name (null: the program), cut to size - 1
// characters and terminated; returns the characters written, 0 on failure.
int QxGetModuleFileName(void* module, char* buffer, int size);

// The system's temporary folder, ending with '/'; "" when it is longer than
// 511 characters.
XString QxGetTempPath();

// Creates one folder; true on success.
CKBOOL QxMakeDirectory(const char* path);
// Creates every missing folder of the path up to its last separator (the
// part after it, a file name, is not created). A leading drive ("c:\") or
// root separator is skipped; a relative path creates its first folder too.
// 0 when a folder cannot be created, else 1.
CKBOOL QxCreateDirectories(const char* path);
// Deletes a folder and everything in it; true on success, false when it is
// missing or something could not be deleted.
CKBOOL QxDeleteDirectory(const char* path);

// Puts the folder in front of the PATH environment variable, followed by the
// platform's list separator and the whole old value. No separator is added
// at the end: an empty entry would put the working folder in the search on
// this platform. False for a null or empty folder.
CKBOOL QxAddDirectoryToPath(const char* directory);
