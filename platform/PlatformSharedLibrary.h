#pragma once

#include <string>

// Shared libraries (dlopen). A module is an opaque handle; null is none.

// Loads a library ('\' accepted as a separator); null on failure.
void* PlatformLoadLibrary(const char* name);
// The address of an exported symbol; null for a null module or name.
void* PlatformGetProcAddress(void* module, const char* name);
// Gives back one reference taken by PlatformLoadLibrary.
bool PlatformFreeLibrary(void* module);

// A module already loaded, without taking a reference: null gives the
// program itself; a name not loaded gives null.
void* PlatformGetModuleHandle(const char* name);
// The full file name of a module (null: the program); "" when unknown.
std::string PlatformGetModuleFileName(void* module);
