#pragma once

#include <cstdio>
#include <vector>

#include "core/context/CKError.h"
#include "exporter/driver/DriverState.h"
#include "exporter/options/ExportOptions.h"
#include "exporter/options/ExtendedExport2qdx.h"
#include "platform/host/HostCommandLine.h"

// What qdxexport hands the host's command line: the script function's
// arguments as its option table numbers and names them, with their
// defaults, and the function itself, called in this process.
inline std::vector<HostExportArgument> QdxExportArguments()
{
    std::vector<HostExportArgument> table;
    for (const ExportOption& option : kExportOptions) {
        Value fallback;
        switch (option.type) {
        case ExportOptionType::Bool: fallback = Value::Bool(option.integerDefault != 0); break;
        case ExportOptionType::Int: fallback = Value::Int(option.integerDefault); break;
        case ExportOptionType::Float: fallback = Value::Float(option.realDefault); break;
        case ExportOptionType::String: fallback = Value::String(option.textDefault ? option.textDefault : ""); break;
        }
        table.push_back({option.name, fallback});
    }
    return table;
}

// The script function as the command line calls it. A save that failed
// keeps the function's ok (script callers rely on it): the engine's error is
// told on err here, and the command line, finding no file written, exits
// with 1.
inline HostExportFunction QdxExportFunction(FILE* err)
{
    return [err](const std::vector<Value>& arguments) {
        std::vector<Value> copies = arguments;
        std::vector<Value*> pointers;
        for (Value& v : copies)
            pointers.push_back(&v);
        GetExportDriverState().lastSaveError = 0;
        Value result = ExtendedExport2qdx(pointers.data(), int(pointers.size()));
        if (CKERROR error = GetExportDriverState().lastSaveError)
            std::fprintf(err, "qdxexport: error while saving the file: %s\n", CKErrorToString(error));
        return result;
    };
}

inline Value RunExtendedExport2qdx(const std::vector<Value>& arguments)
{
    return QdxExportFunction(stderr)(arguments);
}
