#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/context/CKContext.h"
#include "core/context/CKError.h"
#include "exporter/driver/DriverState.h"
#include "exporter/options/ExportOptions.h"
#include "exporter/options/ExtendedExport2qdx.h"
#include "exporter/options/Max2Qdx.h"
#include "platform/host/HostCommandLine.h"
#include "platform/host/HostScene.h"
#include "platform/host/Interface.h"
#include "tools/info/EngineTotals.h"
#include "tools/info/ExportSummary.h"

// What qdxexport hands the host's command line: the script function's
// arguments as its option table numbers and names them, with their
// defaults, the usage words and the rules the function applies to them,
// and the function itself, called in this process.
inline std::vector<HostExportArgument> QdxExportArguments()
{
    std::vector<HostExportArgument> table;
    for (const ExportOption& option : kExportOptions) {
        HostExportArgument row{option.name, Value()};
        switch (option.type) {
        case ExportOptionType::Bool: row.fallback = Value::Bool(option.integerDefault != 0); break;
        case ExportOptionType::Int: row.fallback = Value::Int(option.integerDefault); break;
        case ExportOptionType::Float: row.fallback = Value::Float(option.realDefault); break;
        case ExportOptionType::String:
            row.fallback = Value::String(option.textDefault ? option.textDefault : "");
            break;
        }
        row.type = ExportOptionTypeWord(option.type);
        // What the usage line says after the name, without its bracket:
        // "(NearestPowerOfTwo=0, ...)" for resizeMethod.
        const std::string usage = option.usage;
        const size_t after = usage.find(option.name) + std::strlen(option.name);
        if (usage[after] == ' ')
            row.note = usage.substr(after + 1, usage.size() - after - 2);
        if (int (*inEffect)(int) = option.integerInEffect)
            row.inEffect = [inEffect](const Value& given) { return Value::Int(inEffect(given.to_int())); };
        if (option.argument == 0)
            row.fileKind = [](const std::string& file) { return ExportKindOfFileName(file.c_str()); };
        table.push_back(row);
    }
    return table;
}

// The value of an int or BOOL option among the arguments, its default when
// they stop before it.
inline int QdxExportOption(const std::vector<Value>& arguments, int Max2Qdx::*field)
{
    for (const ExportOption& option : kExportOptions) {
        if (option.integer != field)
            continue;
        if (size_t(option.argument) >= arguments.size())
            return option.integerDefault;
        const Value& value = arguments[size_t(option.argument)];
        return option.type == ExportOptionType::Bool ? value.to_bool() : value.to_int();
    }
    return 0;
}

// The script function as the command line calls it. A save that failed
// keeps the function's ok (script callers rely on it): the engine's error is
// told on err here, and the command line, finding no file written, exits
// with 1. After a save, out gets the line "built: " and the totals of what
// the file holds, counted before the export's objects go; err gets the
// value the engine took for a compression level it does not take, and one
// closing line when something was lost (ExportClosingLine).
inline HostExportFunction QdxExportFunction(FILE* out, FILE* err)
{
    return [out, err](const std::vector<Value>& arguments) {
        std::vector<Value> copies = arguments;
        std::vector<Value*> pointers;
        for (Value& v : copies)
            pointers.push_back(&v);
        ExportDriverState& state = GetExportDriverState();
        state.lastSaveError = 0;
        bool saved = false;
        EngineTotals built;
        state.onFileSaved = [&](CKContext* context, const XArray<CK_ID>& ids) {
            built = CountEngineTotals(ObjectsOf(context, ids));
            saved = true;
        };
        Value result = ExtendedExport2qdx(pointers.data(), int(pointers.size()));
        state.onFileSaved = nullptr;
        if (CKERROR error = state.lastSaveError)
            std::fprintf(err, "qdxexport: error while saving the file: %s\n", CKErrorToString(error));
        if (!saved)
            return result;
        std::fprintf(out, "built: %s\n", EngineTotalsText(built).c_str());

        // The engine keeps a compression level only from 1 to 9.
        const int compression = QdxExportOption(arguments, &Max2Qdx::compressionLevel);
        if (compression != 0 && state.context && state.context->GetCompressionLevel() != compression)
            std::fprintf(err, "qdxexport: compressionLevel=%d is taken as %d\n", compression,
                         state.context->GetCompressionLevel());

        ExportLosses losses;
        losses.warnings = state.lastWarnings;
        losses.errors = state.lastErrors;
        losses.missingBitmaps = state.lastMissingBitmaps;
        losses.nothingExported = built.objects == built.levels;
        Interface* ip = GetCOREInterface();
        // The command line has told each of them before the export.
        if (ip)
            losses.importWarnings = int(ip->Scene().Warnings().size());
        if (!QdxExportOption(arguments, &Max2Qdx::exportAnimation))
            if (ip) {
                const Interval range = ip->GetAnimRange();
                const bool onlySelected = arguments.size() > 1 && arguments[1].to_bool();
                losses.animationLeftOut = SceneAnimates(ip->GetRootNode(), range.Start(), range.End(), onlySelected);
            }
        const std::string closing = ExportClosingLine(losses);
        std::fputs(closing.c_str(), err);
        return result;
    };
}

inline Value RunExtendedExport2qdx(const std::vector<Value>& arguments)
{
    return QdxExportFunction(stdout, stderr)(arguments);
}
