#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/QdxExportArguments.h"

// What one run of qdxexport's command line gave: its exit code and what it
// wrote on its two streams.
struct CommandRun
{
    int code = -1;
    std::string out;
    std::string err;
};

// qdxexport in this process, as its main runs it, with the arguments after
// the program name.
inline CommandRun RunQdxExport(std::vector<std::string> args)
{
    args.insert(args.begin(), "qdxexport");
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    char* outText = nullptr;
    char* errText = nullptr;
    size_t outSize = 0, errSize = 0;
    FILE* out = open_memstream(&outText, &outSize);
    FILE* err = open_memstream(&errText, &errSize);
    CommandRun run;
    run.code =
        RunHostCommandLine(int(argv.size()), argv.data(), QdxExportArguments(), QdxExportFunction(err), out, err);
    std::fclose(out);
    std::fclose(err);
    run.out.assign(outText, outSize);
    run.err.assign(errText, errSize);
    std::free(outText);
    std::free(errText);
    return run;
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
