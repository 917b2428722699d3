#pragma once

#include <string>

// The whole content of a file, byte for byte; empty when it cannot be read.
std::string TestReadFile(const std::string& path);
// Writes bytes as the whole file (replacing it).
void TestWriteFile(const std::string& path, const std::string& bytes);
