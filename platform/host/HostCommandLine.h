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
// only selected, export as) come from OUT, --selected and --as. The other
// fields are the script function's own words and rules, so that the
// command line says and checks what the function does; each may be left
// out.
struct HostExportArgument
{
    HostExportArgument(const char* argumentName, Value defaultValue) : name(argumentName), fallback(defaultValue) {}

    const char* name;
    Value fallback;
    // The type as the function's usage text writes it ("BOOL", "int"...;
    // null: from the default's kind) and what its usage line adds after the
    // name (null: nothing), for --help.
    const char* type = nullptr;
    std::string note;
    // The value the export works with for a given one, where it takes
    // another in place of some (null: every value is used as given).
    std::function<Value(const Value& given)> inEffect;
    // Row 0, the file name: the export kind the function gives a file of
    // that name, 1 (objects) or 4 (a level), or 0 for a name it refuses.
    // Null: every name is taken, as objects.
    std::function<int(const std::string& name)> fileKind;
};

// qdxexport SCENE OUT.qdx|.qbx|.qfx [--selected] [--as objects|character|animation|level]
//           [--opt NAME=VALUE]... [--options FILE] [--report] [--about] [--dump-host] [--help]
// stands in for the host's utility panel and its script: it loads SCENE (a
// host scene file, .json, or a model file through Assimp), makes the
// recording Interface over it and calls exportFunction with the argument
// vector built from the table. What the scene's import mended is told on
// err, one "qdxexport: warning: " line each. Messages go to err, the scene dump, usage
// (with every option of the table, its type and default) and about text to
// out; an option value the export replaces is noted on err with the value
// used. Gives the exit code: 0 when the file was saved, 1 when the export
// failed (or no export function is given), 2 for a bad scene or bad
// arguments (an output name the script function refuses, a scene, output or
// options file that is a folder, an options file that cannot be read, an
// unknown option or bad value, named with its file and line when an
// options file gives it), each failure with one line on err.
int RunHostCommandLine(int argc, const char* const* argv, const std::vector<HostExportArgument>& table,
                       const HostExportFunction& exportFunction, FILE* out, FILE* err);

// The usage text: the command line's own, then every option of the table
// (rows 3 on) with its type, its default and what the function's usage adds.
std::string HostCommandLineUsage(const std::vector<HostExportArgument>& table);

// What --about prints: the plug-in's About texts (a short default when
// none is given). The text must outlive the command line's run.
void SetHostAboutText(const char* text);

// The positional arguments with every option at its default: the file name,
// onlySelected, exportAs, then the table's defaults from row 3 on.
std::vector<Value> DefaultExportArguments(const std::vector<HostExportArgument>& table, const char* fileName,
                                          bool onlySelected, int exportAs);
// Sets option NAME (a table row from 3 on) from its text: true or false
// (also 1, 0, yes, no, on, off; any case, as the script language reads
// them), an integer, a finite number or any text, as its default's kind
// says. False, with a message naming the problem, when
// the name is unknown, the text is not a value of that kind, or an integer
// lies outside 32 bits.
bool SetExportOption(const std::vector<HostExportArgument>& table, std::vector<Value>& arguments,
                     const std::string& name, const std::string& text, std::string& error);
