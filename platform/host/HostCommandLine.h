#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/host/Value.h"

// The export the command line hands its arguments to, in the same process:
// the script function, given the positional arguments as the utility script
// would pass them (0 the file name, 1 only selected, 2 export as, 3 to 48
// the options in the function's order). It gives ok after an export and
// empty when it refused its arguments.
using HostExportFunction = std::function<Value(const std::vector<Value>& arguments)>;

// One positional argument of the script function, as the command line fills
// it: its name (what --opt NAME sets) and its default, whose kind is the
// argument's type. Row n of a table is argument n; rows 0 to 2 (file name,
// only selected, export as) come from OUT, --selected and --as.
struct HostExportArgument
{
    const char* name;
    Value fallback;
};

// qdxexport SCENE OUT.qdx|.qbx|.qfx [--selected] [--as objects|character|animation|level]
//           [--opt NAME=VALUE]... [--options FILE] [--report] [--about] [--dump-host] [--help]
// stands in for the host's utility panel and its script: it loads SCENE (a
// host scene file, .json, or a model file through Assimp), makes the
// recording Interface over it and calls exportFunction with the argument
// vector built from the table. Messages go to err, the scene dump, usage
// and about text to out. Gives the exit code: 0 when the file was saved, 1
// when the export failed (or no export function is given), 2 for a bad
// scene or bad arguments, each failure with one line on err.
int RunHostCommandLine(int argc, const char* const* argv, const std::vector<HostExportArgument>& table,
                       const HostExportFunction& exportFunction, FILE* out, FILE* err);

// What --about prints: the plug-in's About texts (a short default when
// none is given). The text must outlive the command line's run.
void SetHostAboutText(const char* text);

// The positional arguments with every option at its default: the file name,
// onlySelected, exportAs, then the table's defaults from row 3 on.
std::vector<Value> DefaultExportArguments(const std::vector<HostExportArgument>& table, const char* fileName,
                                          bool onlySelected, int exportAs);
// Sets option NAME (a table row from 3 on) from its text: true or false
// (also 1, 0, yes, no, on, off), an integer, a finite number or any text,
// as its default's kind says. False, with a message naming the problem, when
// the name is unknown or the text is not a value of that kind.
bool SetExportOption(const std::vector<HostExportArgument>& table, std::vector<Value>& arguments,
                     const std::string& name, const std::string& text, std::string& error);
