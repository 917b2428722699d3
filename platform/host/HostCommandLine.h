#pragma once

#include <cstdio>
#include <functional>
#include <vector>

#include "platform/host/Value.h"

// The export the command line hands its arguments to, in the same process:
// the script function, given the positional arguments as the utility script
// would pass them (0 the file name, 1 only selected, 2 export as, 3 to 48
// the options in the function's order). It gives ok after an export and
// empty when it refused its arguments.
using HostExportFunction = std::function<Value(const std::vector<Value>& arguments)>;

// qdxexport SCENE OUT.qdx|.qbx|.qfx [--selected] [--as objects|character|animation|level]
//           [--opt NAME=VALUE]... [--options FILE] [--report] [--about] [--dump-host] [--help]
// stands in for the host's utility panel and its script: it loads SCENE (a
// host scene file, .json, or a model file through Assimp), makes the
// recording Interface over it and calls exportFunction with the argument
// vector. Messages go to err, the scene dump, usage and about text to out.
// Gives the exit code: 0 when the file was saved, 1 when the export failed
// (or no export function is given), 2 for a bad scene or bad arguments,
// each failure with one line on err.
int RunHostCommandLine(int argc, const char* const* argv, const HostExportFunction& exportFunction, FILE* out,
                       FILE* err);

// The positional arguments with every option at its default: the file name,
// FALSE, exportAs, then arguments 3 to 48.
std::vector<Value> DefaultExportArguments(const char* fileName, bool onlySelected, int exportAs);
// Sets option NAME (an argument name from 3 to 48) from its text; false with
// a message naming the problem when the name is unknown or the text is not a
// value of the option's type.
bool SetExportOption(std::vector<Value>& arguments, const std::string& name, const std::string& text,
                     std::string& error);
