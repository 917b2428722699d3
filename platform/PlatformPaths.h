#pragma once

#include <cstdio>
#include <string>

// Files, folders and the environment, as the engine expects them of the
// Windows kernel. Every path argument accepts both '\' and '/' as the
// separator; paths given back use '/'.

// The path with every '\' turned into '/'; null gives "".
std::string PlatformNativePath(const char* path);

// fopen on the native form of the path; null on failure or a null argument.
FILE* PlatformOpenFile(const char* path, const char* mode);

// The full path of the running program ("" when it cannot be read) and its
// folder, ending with '/'.
std::string PlatformGetExecutablePath();
std::string PlatformGetExecutableDir();

// The temporary folder as the system gives it (TMPDIR, else /tmp), always
// ending with '/'.
std::string PlatformGetTempPath();

// The current working folder; false when it cannot be read.
bool PlatformGetCurrentDirectory(std::string& out);

// Whether anything (file or folder) exists under that name.
bool PlatformPathExists(const char* path);

// Creates one folder (its parent must exist); false when it cannot.
bool PlatformMakeDirectory(const char* path);

// Deletes a file or a folder with everything in it; false when nothing was
// there or something could not be deleted. Symbolic links are removed, never
// followed.
bool PlatformDeleteTree(const char* path);

// st_mode of the file, 0 for a null or empty path or one that cannot be found.
unsigned PlatformGetFileMode(const char* path);

// Environment variables. PlatformGetEnv gives false when the variable is not set.
bool PlatformGetEnv(const char* name, std::string& out);
bool PlatformSetEnv(const char* name, const char* value);

// Separates the folders of PATH.
constexpr char kPlatformPathListSeparator = ':';
