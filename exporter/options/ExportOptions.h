#pragma once

#include "includes/XString.h"

class Max2Qdx;

// How the script function converts an argument.
enum class ExportOptionType
{
    Bool,
    Int,
    Float,
    String,
};

// One positional argument of the script function: where it goes in the
// exporter, its default and its line in the usage text. The first three
// arguments (file name, selection, export kind) are required and stored by
// the function itself: they have no field.
struct ExportOption
{
    int argument;
    const char* name;
    ExportOptionType type;
    // The field (by type); null for the required arguments.
    int Max2Qdx::*integer = nullptr;
    float Max2Qdx::*real = nullptr;
    XString Max2Qdx::*text = nullptr;
    // Strings with a setter of their own go through it.
    void (Max2Qdx::*setText)(const char*) = nullptr;
    int integerDefault = 0;
    float realDefault = 0.0f;
    const char* textDefault = nullptr;
    const char* usage = nullptr;
    // Where the export takes another value in place of some it is given, the
    // value it works with for a given one (null: every value is used as
    // given).
    int (*integerInEffect)(int given) = nullptr;

    bool IsStored() const { return integer || real || text; }
};

// Every argument, in argument order (row n is argument n).
constexpr int kExportArgumentCount = 49;
// Fewer arguments than this are refused.
constexpr int kExportRequiredArguments = 3;
extern const ExportOption kExportOptions[kExportArgumentCount];

// "usage: ExtendedExport2Qdx\n" and one line per argument.
XString ExportUsageText();
// The type as the usage text names it: "BOOL", "int", "float", "string".
const char* ExportOptionTypeWord(ExportOptionType type);

// The sampling step, in frames, that the export takes for a sampling-step
// option's value: a step below 1 frame would never leave the range (0) or
// never reach its end (negative), and is taken as 1.
int SamplingStepInFrames(int step);

// Stores the option's default into the exporter (nothing for a required
// argument).
void SetExportOptionDefault(Max2Qdx& exporter, const ExportOption& option);
