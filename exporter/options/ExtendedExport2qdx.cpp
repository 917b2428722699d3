#include "exporter/options/ExtendedExport2qdx.h"

#include <cstring>
#include <strings.h>

#include "exporter/options/ExportOptions.h"
#include "exporter/options/Max2Qdx.h"
#include "platform/host/Interface.h"

namespace {

ExportSceneFunction g_ExportScene = nullptr;

const char kCaption[] = "Max2Qdx";
enum ExportAs
{
    kAsObjects = 1,
    kAsCharacter = 2,
    kAsAnimation = 3,
    kAsLevel = 4,
};

Value::Kind KindOf(ExportOptionType type)
{
    switch (type) {
    case ExportOptionType::Bool: return Value::Kind::Boolean;
    case ExportOptionType::Int: return Value::Kind::Integer;
    case ExportOptionType::Float: return Value::Kind::Float;
    case ExportOptionType::String: break;
    }
    return Value::Kind::String;
}

// The first argument the function reads that its option's type cannot
// take, or -1. A conversion that does not apply would otherwise store 0 or
// "" and export with a setting nobody asked for.
int FirstMistypedArgument(Value** arguments, int used)
{
    for (int n = 0; n < used; ++n)
        if (!arguments[n] || !arguments[n]->ConvertsTo(KindOf(kExportOptions[n].type)))
            return n;
    return -1;
}

// The name's last four characters when it is longer than that, else "".
const char* Extension(const char* name)
{
    size_t length = std::strlen(name);
    return length > 4 ? name + length - 4 : "";
}

void StoreOption(Max2Qdx& exporter, const ExportOption& option, const Value& value)
{
    switch (option.type) {
    case ExportOptionType::Bool: exporter.*option.integer = value.to_bool(); break;
    case ExportOptionType::Int: exporter.*option.integer = value.to_int(); break;
    case ExportOptionType::Float: exporter.*option.real = value.to_float(); break;
    case ExportOptionType::String:
        if (option.setText)
            (exporter.*option.setText)(value.to_string());
        else
            exporter.*option.text = value.to_string();
        break;
    }
}

} // namespace

int ExportKindOfFileName(const char* name)
{
    const char* extension = Extension(name ? name : "");
    if (strcasecmp(extension, ".qdx") == 0)
        return kAsObjects;
    if (strcasecmp(extension, ".qbx") == 0 || strcasecmp(extension, ".qfx") == 0)
        return kAsLevel;
    return 0;
}

ExportSceneFunction SetExportSceneFunction(ExportSceneFunction function)
{
    ExportSceneFunction previous = g_ExportScene;
    g_ExportScene = function;
    return previous;
}

Value ExtendedExport2qdx(Value** arguments, int count)
{
    if (count < kExportRequiredArguments || !arguments) {
        mprintf("ExtendedExport2Qdx: Invalid Argument Count. Wanted %d and got only %d.\n", kExportArgumentCount,
                arguments ? count : 0);
        mputs(ExportUsageText().CStr());
        return empty;
    }
    const int used = count < kExportArgumentCount ? count : kExportArgumentCount;
    int mistyped = FirstMistypedArgument(arguments, used);
    if (mistyped >= 0) {
        const ExportOption& option = kExportOptions[mistyped];
        std::string given = arguments[mistyped] ? arguments[mistyped]->Print() : std::string("nothing");
        mprintf("ExtendedExport2Qdx: Invalid Argument %d (%s): wanted %s and got %s.\n", mistyped, option.name,
                ExportOptionTypeWord(option.type), given.c_str());
        return empty;
    }

    const char* name = arguments[0]->to_string();
    const int fileKind = ExportKindOfFileName(name);
    const bool objectFile = fileKind == kAsObjects;
    if (fileKind == 0) {
        mputs("ExtendedExport2Qdx: Invalid File Extension Type! (Waiting for .qdx, .qbx or .qfx)");
        return empty;
    }

    Max2Qdx* exporter = new Max2Qdx();
    const BOOL onlySelected = arguments[1]->to_bool();
    int exportAs = arguments[2]->to_int();
    if (exportAs < kAsObjects || exportAs > kAsLevel)
        exportAs = kAsObjects;
    if (objectFile && exportAs == kAsLevel) {
        MessageBox(nullptr, "Cannot export As Level in QDX !\nSwitching automatically to Export As Objects.", kCaption,
                   MB_OK);
        exportAs = kAsObjects;
    } else if (!objectFile && exportAs != kAsLevel) {
        MessageBox(nullptr, "Can only export As Level in QBX or QFX !\nSwitching automatically to Export As Level.",
                   kCaption, MB_OK);
        exportAs = kAsLevel;
    }
    exporter->asObjects = exportAs == kAsObjects;
    exporter->asCharacter = exportAs == kAsCharacter;
    exporter->asAnimation = exportAs == kAsAnimation;
    exporter->asLevel = exportAs == kAsLevel;

    for (int n = kExportRequiredArguments; n < used; ++n)
        StoreOption(*exporter, kExportOptions[n], *arguments[n]);

    exporter->progressStarted = 0;
    if (g_ExportScene)
        g_ExportScene(*exporter, name, MAXScript_interface, onlySelected);
    else
        exporter->ExportScene(name, MAXScript_interface, onlySelected);
    delete exporter;
    return ok;
}
