#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/HostCommandLineRun.h"
#include "tools/QdxExportArguments.h"

// qdxexport in this process, as its main runs it, with the arguments after
// the program name.
inline CommandRun RunQdxExport(std::vector<std::string> args)
{
    return RunCommandLine("qdxexport", std::move(args), QdxExportArguments(), QdxExportFunction);
}

// The block of a file dump that describes one object: its header line and the
// indented lines under it; empty when the dump has no such header.
inline std::string DumpBlock(const std::string& dump, const std::string& header)
{
    const size_t at = dump.find(header + "\n");
    if (at == std::string::npos)
        return "";
    size_t end = at + header.size() + 1;
    while (end < dump.size() && dump[end] == ' ')
        end = dump.find('\n', end) + 1;
    return dump.substr(at, end - at);
}
