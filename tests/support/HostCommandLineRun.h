#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/host/HostCommandLine.h"

// What one run of a host command line gave: its exit code and what it wrote
// on its two streams.
struct CommandRun
{
    int code = -1;
    std::string out;
    std::string err;
};

// The host command line in this process, as a program's main runs it, with
// the arguments after the program name, over the script function's table;
// the export function is made for the run's output and error streams.
inline CommandRun RunCommandLine(const char* program, std::vector<std::string> args,
                                 const std::vector<HostExportArgument>& table,
                                 const std::function<HostExportFunction(FILE* out, FILE* err)>& makeFunction)
{
    args.insert(args.begin(), program);
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    char* outText = nullptr;
    char* errText = nullptr;
    size_t outSize = 0, errSize = 0;
    FILE* out = open_memstream(&outText, &outSize);
    FILE* err = open_memstream(&errText, &errSize);
    CommandRun run;
    run.code = RunHostCommandLine(int(argv.size()), argv.data(), table, makeFunction(out, err), out, err);
    std::fclose(out);
    std::fclose(err);
    run.out.assign(outText, outSize);
    run.err.assign(errText, errSize);
    std::free(outText);
    std::free(errText);
    return run;
}
