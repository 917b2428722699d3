#include "platform/host/HostCommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>
#include <sys/stat.h>

#include "platform/PlatformPaths.h"
#include "platform/host/HostDump.h"
#include "platform/host/HostModelImport.h"
#include "platform/host/HostScene.h"
#include "platform/host/HostSceneFile.h"
#include "platform/host/Interface.h"

namespace {

constexpr size_t kFirstOption = 3;

enum class Parsed
{
    Value,
    NotOfKind,
    OutOfRange,
};

// The text as a value of the kind given.
Parsed ParseValue(Value::Kind kind, const std::string& text, Value& value)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    switch (kind) {
    case Value::Kind::Boolean:
        // TRUE, True and true are one value in the script language.
        for (const char* yes : {"1", "true", "yes", "on"})
            if (text.size() == std::strlen(yes) && strcasecmp(begin, yes) == 0) {
                value = Value::Bool(true);
                return Parsed::Value;
            }
        for (const char* no : {"0", "false", "no", "off"})
            if (text.size() == std::strlen(no) && strcasecmp(begin, no) == 0) {
                value = Value::Bool(false);
                return Parsed::Value;
            }
        return Parsed::NotOfKind;
    case Value::Kind::Integer: {
        const long v = std::strtol(begin, &end, 10);
        // Every character must be read: a NUL inside the text ends no number.
        if (text.empty() || end != begin + text.size())
            return Parsed::NotOfKind;
        // A whole number all the same, beyond what strtol or 32 bits hold.
        if (errno == ERANGE || v < -2147483647L - 1 || v > 2147483647L)
            return Parsed::OutOfRange;
        value = Value::Int(int(v));
        return Parsed::Value;
    }
    case Value::Kind::Float: {
        const float v = std::strtof(begin, &end);
        // A number too large for a float reads as infinite, and is none; one
        // too small (ERANGE too) is the nearest float, 0 or a tiny one.
        if (text.empty() || end != begin + text.size() || !std::isfinite(v))
            return Parsed::NotOfKind;
        value = Value::Float(v);
        return Parsed::Value;
    }
    case Value::Kind::String: value = Value::String(text); return Parsed::Value;
    default: return Parsed::NotOfKind;
    }
}

const char* KindText(Value::Kind kind)
{
    switch (kind) {
    case Value::Kind::Boolean: return "true or false";
    case Value::Kind::Integer: return "an integer";
    case Value::Kind::Float: return "a finite number";
    default: return "a text";
    }
}

// The type word of an argument whose table gives none.
const char* TypeWordOf(Value::Kind kind)
{
    switch (kind) {
    case Value::Kind::Boolean: return "BOOL";
    case Value::Kind::Integer: return "int";
    case Value::Kind::Float: return "float";
    default: return "string";
    }
}

const char* const kUsage =
    "usage: qdxexport SCENE OUT.qdx|.qbx|.qfx [--selected] [--as objects|character|animation|level]\n"
    "                 [--opt NAME=VALUE]... [--options FILE] [--report] [--about] [--dump-host]\n"
    "Exports SCENE (a host scene file, .json, or a model file: glTF, FBX, 3DS, OBJ, Collada...)\n"
    "to an engine file, as the host's export utility does.\n"
    "  --selected      export the selected nodes only\n"
    "  --as KIND       export as objects, a character, an animation or a level\n"
    "                  (default: objects for .qdx, level for .qbx and .qfx)\n"
    "  --opt NAME=VALUE  set one export option, named as the script function names it\n"
    "                  (reportLevel=2, exportAnimation=true, characterName=Hero...)\n"
    "  --options FILE  read NAME=VALUE lines (# starts a comment); --opt wins over them\n"
    "  --report        report in detail (reportLevel 3 unless set) and print the report\n"
    "  --about         print what the exporter is\n"
    "  --dump-host     print the scene as the host holds it and export nothing (OUT may be left out)\n"
    "After a save, standard output ends with the totals of what the file holds (built: ...), and\n"
    "standard error with one line naming what was lost, if anything (saved with 2 warnings, ...).\n"
    "Exit code: 0 saved, 1 the export failed, 2 a bad scene or bad arguments.\n";

bool EndsWithNoCase(const std::string& s, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

// What identifies the file on disk, to tell whether the export wrote it.
struct FileStamp
{
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    off_t size = 0;

    static FileStamp Of(const std::string& path)
    {
        FileStamp s;
        struct stat st;
        if (stat(PlatformNativePath(path.c_str()).c_str(), &st) == 0) {
            s.exists = true;
            s.device = st.st_dev;
            s.inode = st.st_ino;
            s.modified = st.st_mtim;
            s.size = st.st_size;
        }
        return s;
    }
    bool SameAs(const FileStamp& o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec && size == o.size;
    }
};

bool IsFolder(const std::string& path)
{
    return S_ISDIR(PlatformGetFileMode(path.c_str()));
}

// One NAME=VALUE setting and where it was given: "" for --opt, the file and
// its line ("options.txt: line 3: ") for an options file, so that an error
// names the line.
struct OptionSetting
{
    std::string name, text, where;
};

std::string Trimmed(const std::string& s)
{
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// NAME=VALUE lines; blanks around both and # comments are dropped.
bool ReadOptionsFile(const std::string& path, std::vector<OptionSetting>& options, std::string& error)
{
    if (IsFolder(path)) {
        error = "the options file is a folder: \"" + path + "\"";
        return false;
    }
    FILE* file = PlatformOpenFile(path.c_str(), "rb");
    if (!file) {
        error = path + ": cannot be opened";
        return false;
    }
    std::string text;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        text.append(buffer, got);
    // A file that opens may still fail to read: not an empty file.
    const bool unreadable = std::ferror(file) != 0;
    std::fclose(file);
    if (unreadable) {
        error = path + ": cannot be read";
        return false;
    }
    size_t start = 0;
    for (int line = 1; start <= text.size(); ++line) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string l = text.substr(start, end - start);
        start = end + 1;
        if (const size_t hash = l.find('#'); hash != std::string::npos)
            l.erase(hash);
        l = Trimmed(l);
        if (l.empty())
            continue;
        const size_t equals = l.find('=');
        const std::string name = Trimmed(l.substr(0, equals));
        const std::string where = path + ": line " + std::to_string(line) + ": ";
        if (equals == std::string::npos || name.empty()) {
            error = where + "expected NAME=VALUE";
            return false;
        }
        options.push_back({name, Trimmed(l.substr(equals + 1)), where});
    }
    return true;
}

const char* g_AboutText = nullptr;

} // namespace

void SetHostAboutText(const char* text)
{
    g_AboutText = text;
}

std::string HostCommandLineUsage(const std::vector<HostExportArgument>& table)
{
    std::string usage = kUsage;
    if (table.size() <= kFirstOption)
        return usage;
    usage += "Options (--opt NAME=VALUE), as the script function takes them; BOOL is true or false,\n"
             "1 or 0, yes or no, on or off, in any case:\n";
    char line[512];
    std::snprintf(line, sizeof(line), "  %-36s %-7s %s\n", "NAME", "TYPE", "DEFAULT");
    usage += line;
    for (size_t n = kFirstOption; n < table.size(); ++n) {
        const HostExportArgument& row = table[n];
        const Value::Kind kind = row.fallback.GetKind();
        std::snprintf(line, sizeof(line), "  %-36s %-7s %s", row.name, row.type ? row.type : TypeWordOf(kind),
                      row.fallback.Print().c_str());
        usage += line;
        if (!row.note.empty())
            usage += "  " + row.note;
        usage += "\n";
    }
    return usage;
}

std::vector<Value> DefaultExportArguments(const std::vector<HostExportArgument>& table, const char* fileName,
                                          bool onlySelected, int exportAs)
{
    std::vector<Value> arguments{Value::String(fileName ? fileName : ""), Value::Bool(onlySelected),
                                 Value::Int(exportAs)};
    for (size_t n = kFirstOption; n < table.size(); ++n)
        arguments.push_back(table[n].fallback);
    return arguments;
}

bool SetExportOption(const std::vector<HostExportArgument>& table, std::vector<Value>& arguments,
                     const std::string& name, const std::string& text, std::string& error)
{
    for (size_t n = 0; n < table.size(); ++n) {
        if (name != table[n].name)
            continue;
        if (n < kFirstOption) {
            error = "option " + name + " is set by OUT, --selected and --as";
            return false;
        }
        Value v;
        const Value::Kind kind = table[n].fallback.GetKind();
        switch (ParseValue(kind, text, v)) {
        case Parsed::Value: break;
        case Parsed::NotOfKind:
            error = "option " + name + " takes " + KindText(kind) + ", not \"" + text + "\"";
            return false;
        case Parsed::OutOfRange:
            error =
                "option " + name + " takes an integer from -2147483648 to 2147483647: \"" + text + "\" is out of range";
            return false;
        }
        if (arguments.size() < table.size())
            arguments.resize(table.size());
        arguments[n] = v;
        return true;
    }
    error = "unknown option " + name;
    return false;
}

int RunHostCommandLine(int argc, const char* const* argv, const std::vector<HostExportArgument>& table,
                       const HostExportFunction& exportFunction, FILE* out, FILE* err)
{
    std::vector<std::string> positional;
    std::vector<OptionSetting> options;
    std::string optionsFile;
    bool selected = false, report = false, about = false, dump = false, help = false;
    int exportAs = 0;
    const auto bad = [err](const std::string& what) {
        std::fprintf(err, "qdxexport: %s (qdxexport --help shows the usage)\n", what.c_str());
        return 2;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasNext = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--selected") {
            selected = true;
        } else if (a == "--report") {
            report = true;
        } else if (a == "--about") {
            about = true;
        } else if (a == "--dump-host") {
            dump = true;
        } else if (a == "--as") {
            if (!hasNext)
                return bad("--as needs objects, character, animation or level");
            const std::string kind = argv[++i];
            const char* const kinds[] = {"objects", "character", "animation", "level"};
            exportAs = 0;
            for (int k = 0; k < 4; ++k)
                if (kind == kinds[k])
                    exportAs = k + 1;
            if (exportAs == 0)
                return bad("--as takes objects, character, animation or level, not \"" + kind + "\"");
        } else if (a == "--opt") {
            if (!hasNext)
                return bad("--opt needs NAME=VALUE");
            const std::string setting = argv[++i];
            const size_t equals = setting.find('=');
            if (equals == std::string::npos || equals == 0)
                return bad("--opt needs NAME=VALUE, not \"" + setting + "\"");
            options.push_back({setting.substr(0, equals), setting.substr(equals + 1), ""});
        } else if (a == "--options") {
            if (!hasNext)
                return bad("--options needs a file");
            optionsFile = argv[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return bad("unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (help) {
        const std::string usage = HostCommandLineUsage(table);
        std::fwrite(usage.data(), 1, usage.size(), out);
        return 0;
    }
    if (about) {
        std::fputs(g_AboutText ? g_AboutText : "About Keltrane Export\nKeltrane File Exporter\n", out);
        if (positional.empty())
            return 0;
    }
    if (positional.size() > 2)
        return bad("too many arguments: \"" + positional[2] + "\"");
    if (positional.empty())
        return bad("no scene given");
    if (positional.size() < 2 && !dump)
        return bad("no output file given");
    // Said here, before the engine's own words for a file it cannot read or
    // write.
    if (IsFolder(positional[0]))
        return bad("the scene is a folder: \"" + positional[0] + "\"");
    if (positional.size() == 2 && IsFolder(positional[1]))
        return bad("the output file is a folder: \"" + positional[1] + "\"");

    std::vector<Value> arguments;
    if (positional.size() == 2) {
        const std::string& target = positional[1];
        // The script function's own rule: what it would refuse is a bad
        // argument here, before any scene is read.
        const int fileKind = !table.empty() && table[0].fileKind ? table[0].fileKind(target) : 1;
        if (fileKind == 0)
            return bad("the output file must be a name ending in .qdx, .qbx or .qfx: \"" + target + "\"");
        arguments = DefaultExportArguments(table, target.c_str(), selected, exportAs ? exportAs : fileKind);
        std::vector<OptionSetting> fromFile;
        std::string error;
        if (!optionsFile.empty() && !ReadOptionsFile(optionsFile, fromFile, error))
            return bad(error);
        options.insert(options.begin(), fromFile.begin(), fromFile.end());
        bool levelGiven = false;
        for (const OptionSetting& option : options) {
            if (!SetExportOption(table, arguments, option.name, option.text, error))
                return bad(option.where + error);
            levelGiven = levelGiven || option.name == "reportLevel";
        }
        if (report && !levelGiven)
            SetExportOption(table, arguments, "reportLevel", "3", error);
        for (size_t n = 0; n < table.size() && n < arguments.size(); ++n) {
            if (!table[n].inEffect)
                continue;
            const Value used = table[n].inEffect(arguments[n]);
            if (used != arguments[n])
                std::fprintf(err, "qdxexport: %s=%s is taken as %s\n", table[n].name, arguments[n].Print().c_str(),
                             used.Print().c_str());
        }
    }

    HostScene scene;
    std::string error;
    const std::string& source = positional[0];
    const bool loaded = EndsWithNoCase(source, ".json") ? LoadHostSceneFile(source, scene, error)
                                                        : ImportHostModel(source, scene, error);
    if (!loaded) {
        std::fprintf(err, "qdxexport: %s\n", error.c_str());
        return 2;
    }
    // What the import mended (the dump lists it with the scene).
    if (!dump)
        for (const std::string& warning : scene.Warnings())
            std::fprintf(err, "qdxexport: warning: %s\n", warning.c_str());
    if (dump) {
        const std::string text = DumpHostScene(scene);
        std::fwrite(text.data(), 1, text.size(), out);
        return 0;
    }
    if (!exportFunction) {
        std::fprintf(err, "qdxexport: exporting is not available yet; --dump-host prints the scene\n");
        return 1;
    }
    Interface ip(scene);
    ip.SetReportOutput(out);
    ip.SetAlwaysShowReport(report);
    const FileStamp before = FileStamp::Of(positional[1]);
    const Value result = exportFunction(arguments);
    if (result != ok) {
        std::fprintf(err, "qdxexport: the export refused its arguments\n");
        return 1;
    }
    const FileStamp after = FileStamp::Of(positional[1]);
    if (!after.exists || after.SameAs(before)) {
        std::fprintf(err, "qdxexport: %s was not saved\n", positional[1].c_str());
        return 1;
    }
    return 0;
}
