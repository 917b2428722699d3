#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <strings.h>
#include <utility>
#include <vector>

#include "platform/host/HostCommandLine.h"
#include "platform/host/Interface.h"
#include "tests/platform/host/HostTestModels.h"
#include "tests/support/HostCommandLineRun.h"
#include "tests/support/TestPaths.h"

namespace {

// A script function of eight arguments, shaped like the exporter's: its
// file names end in .qdx (objects) or .qbx and .qfx (a level), after at
// least one character.
const std::vector<HostExportArgument>& Table()
{
    static const std::vector<HostExportArgument> table = [] {
        std::vector<HostExportArgument> t = {
            {"filename", Value::String("")},
            {"onlySelected", Value::Bool(false)},
            {"exportAs", Value::Int(1)},
            {"convertToSkin", Value::Bool(true)},
            {"reportLevel", Value::Int(0)},
            {"characterName", Value::String("Character")},
            {"reduceKeysThreshold", Value::Float(0.0f)},
            {"ForceSkinToMorph", Value::Bool(false)},
        };
        t[0].fileKind = [](const std::string& name) {
            if (name.size() <= 4)
                return 0;
            const std::string extension = name.substr(name.size() - 4);
            return strcasecmp(extension.c_str(), ".qdx") == 0                                                 ? 1
                   : strcasecmp(extension.c_str(), ".qbx") == 0 || strcasecmp(extension.c_str(), ".qfx") == 0 ? 4
                                                                                                              : 0;
        };
        t[6].type = "float";
        t[6].note = "(a key is kept when it moves more than this)";
        return t;
    }();
    return table;
}

CommandRun RunWith(std::vector<std::string> args, const HostExportFunction& exportFunction = nullptr)
{
    return RunCommandLine("qdxexport", std::move(args), Table(), [&](FILE*, FILE*) { return exportFunction; });
}

std::string Scene()
{
    return TestSourceDir() + "/tests/platform/host/data/every_kind.json";
}

} // namespace

TEST(HostCommandLine, BuildsTheArgumentsAsTheScriptFunctionNumbersThem)
{
    TestTempDir dir;
    const std::string target = dir.File("out.qdx");
    std::vector<Value> seen;
    bool hadInterface = false;
    const CommandRun r =
        RunWith({Scene(), target, "--selected", "--opt", "reportLevel=2", "--opt", "characterName=Hero", "--opt",
                 "reduceKeysThreshold=0.25", "--opt", "ForceSkinToMorph=yes"},
                [&](const std::vector<Value>& arguments) {
                    seen = arguments;
                    hadInterface = GetCOREInterface() != nullptr;
                    return ok;
                });
    EXPECT_EQ(r.code, 1) << r.err; // nothing was saved
    EXPECT_EQ(r.err, "qdxexport: " + target + " was not saved\n");
    EXPECT_TRUE(hadInterface);
    ASSERT_EQ(seen.size(), 8u);
    EXPECT_EQ(seen[0], Value::String(target));
    EXPECT_EQ(seen[1], Value::Bool(true));
    EXPECT_EQ(seen[2], Value::Int(1));
    EXPECT_EQ(seen[3], Value::Bool(true)); // a default
    EXPECT_EQ(seen[4], Value::Int(2));
    EXPECT_EQ(seen[5], Value::String("Hero"));
    EXPECT_EQ(seen[6], Value::Float(0.25f));
    EXPECT_EQ(seen[7], Value::Bool(true));
}

TEST(HostCommandLine, TheExportKindFollowsTheExtensionUnlessGiven)
{
    struct Case
    {
        std::vector<std::string> extra;
        const char* target;
        int exportAs;
    };
    const Case cases[] = {
        {{}, "a.qdx", 1},
        {{}, "a.QBX", 4},
        {{}, "a.qfx", 4},
        {{"--as", "character"}, "a.qdx", 2},
        {{"--as", "animation"}, "a.qdx", 3},
        {{"--as", "level"}, "a.qdx", 4},
        {{"--as", "objects"}, "a.qbx", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        int exportAs = 0;
        std::vector<std::string> args{Scene(), c.target};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        RunWith(args, [&](const std::vector<Value>& arguments) {
            exportAs = arguments[2].to_int();
            return ok;
        });
        EXPECT_EQ(exportAs, c.exportAs);
    }
}

TEST(HostCommandLine, ExitCodesTellSavedFailedAndRefused)
{
    TestTempDir dir;
    const std::string target = dir.File("scene.qdx");
    const auto save = [&](const std::vector<Value>& arguments) {
        std::ofstream(arguments[0].to_string()) << "saved";
        return ok;
    };
    CommandRun r = RunWith({Scene(), target}, save);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // Saved again through a new file renamed over it, same size: saved.
    const auto replace = [&](const std::vector<Value>& arguments) {
        const std::string temporary = std::string(arguments[0].to_string()) + ".tmp";
        std::ofstream(temporary) << "SAVED";
        std::rename(temporary.c_str(), arguments[0].to_string());
        return ok;
    };
    r = RunWith({Scene(), target}, replace);
    EXPECT_EQ(r.code, 0) << r.err;
    // The file is there already and the export leaves it alone: not saved.
    r = RunWith({Scene(), target}, [](const std::vector<Value>&) { return ok; });
    EXPECT_EQ(r.code, 1);
    r = RunWith({Scene(), target}, [](const std::vector<Value>&) { return empty; });
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "qdxexport: the export refused its arguments\n");
    r = RunWith({Scene(), target});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "qdxexport: exporting is not available yet; --dump-host prints the scene\n");
    // --report raises the report level unless it was set.
    int level = -1;
    const auto report = [&](const std::vector<Value>& arguments) {
        level = arguments[4].to_int();
        return ok;
    };
    RunWith({Scene(), target, "--report"}, report);
    EXPECT_EQ(level, 3);
    RunWith({Scene(), target, "--report", "--opt", "reportLevel=1"}, report);
    EXPECT_EQ(level, 1);
}

// What the import mended is told before the export, one line each.
TEST(HostCommandLine, TheImportsWarningsAreTold)
{
    TestTempDir dir;
    const std::string model = dir.File("nan.gltf");
    WriteNanNormalTriangle(model);
    const std::string target = dir.File("nan.qdx");
    const auto save = [&](const std::vector<Value>& arguments) {
        std::ofstream(arguments[0].to_string()) << "saved";
        return ok;
    };
    const CommandRun r = RunWith({model, target}, save);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "qdxexport: warning: " + model +
                         ": 1 normal was not a finite number: rebuilt from the face "
                         "that uses it\n");
    // A scene without any says nothing.
    EXPECT_EQ(RunWith({Scene(), target}, save).err, "");
}

TEST(HostCommandLine, BadArgumentsAreRefusedWithOneLine)
{
    const std::string hint = " (qdxexport --help shows the usage)\n";
    struct Case
    {
        std::vector<std::string> args;
        std::string error;
    };
    const std::string s = Scene();
    const std::string folder = TestSourceDir() + "/samples";
    const Case cases[] = {
        {{}, "no scene given"},
        {{s}, "no output file given"},
        {{s, "a.txt"}, "the output file must be a name ending in .qdx, .qbx or .qfx: \"a.txt\""},
        {{s, "a.qdx", "b.qdx"}, "too many arguments: \"b.qdx\""},
        {{s, "a.qdx", "--as"}, "--as needs objects, character, animation or level"},
        {{s, "a.qdx", "--as", "mesh"}, "--as takes objects, character, animation or level, not \"mesh\""},
        {{s, "a.qdx", "--opt"}, "--opt needs NAME=VALUE"},
        {{s, "a.qdx", "--opt", "reportLevel"}, "--opt needs NAME=VALUE, not \"reportLevel\""},
        {{s, "a.qdx", "--opt", "=1"}, "--opt needs NAME=VALUE, not \"=1\""},
        {{s, "a.qdx", "--opt", "reportlevel=1"}, "unknown option reportlevel"},
        {{s, "a.qdx", "--opt", "reportLevel=x"}, "option reportLevel takes an integer, not \"x\""},
        {{s, "a.qdx", "--opt", "reportLevel=99999999999"},
         "option reportLevel takes an integer from -2147483648 to 2147483647: \"99999999999\" is out of range"},
        {{s, "a.qdx", "--opt", "reportLevel=-99999999999999999999"},
         "option reportLevel takes an integer from -2147483648 to 2147483647: \"-99999999999999999999\" is out of "
         "range"},
        {{s, "a.qdx", "--opt", "reportLevel=99999999999x"},
         "option reportLevel takes an integer, not \"99999999999x\""},
        {{s, "a.qdx", "--opt", "ForceSkinToMorph=2"}, "option ForceSkinToMorph takes true or false, not \"2\""},
        {{s, "a.qdx", "--opt", "reduceKeysThreshold=inf"},
         "option reduceKeysThreshold takes a finite number, not \"inf\""},
        {{s, "a.qdx", "--opt", "exportAs=2"}, "option exportAs is set by OUT, --selected and --as"},
        {{s, "a.qdx", "--options"}, "--options needs a file"},
        {{s, "a.qdx", "--options", "/nonexistent/o.txt"}, "/nonexistent/o.txt: cannot be opened"},
        {{s, "a.qdx", "--verbose"}, "unknown option --verbose"},
        // Folders are named so before the output's name is checked or any
        // scene read.
        {{folder, "a.qdx"}, "the scene is a folder: \"" + folder + "\""},
        {{folder, "--dump-host"}, "the scene is a folder: \"" + folder + "\""},
        {{s, folder}, "the output file is a folder: \"" + folder + "\""},
        {{s, folder + "/"}, "the output file is a folder: \"" + folder + "/\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        const CommandRun r = RunWith(c.args, [](const std::vector<Value>&) { return ok; });
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err, "qdxexport: " + c.error + hint);
        EXPECT_EQ(r.out, "");
    }
}

TEST(HostCommandLine, OptionsFilesAreReadAndTheCommandLineWins)
{
    TestTempDir dir;
    const std::string options = dir.File("options.txt");
    std::ofstream(options) << "# export settings\n  ForceSkinToMorph = true\r\ncharacterName=Walker # the hero\n\n"
                              "reportLevel=1\n";
    std::vector<Value> seen;
    RunWith({Scene(), "a.qdx", "--options", options, "--opt", "reportLevel=2"},
            [&](const std::vector<Value>& arguments) {
                seen = arguments;
                return ok;
            });
    ASSERT_EQ(seen.size(), 8u);
    EXPECT_EQ(seen[7], Value::Bool(true));
    EXPECT_EQ(seen[5], Value::String("Walker"));
    EXPECT_EQ(seen[4], Value::Int(2));
    std::ofstream(options) << "reportLevel\n";
    const CommandRun r = RunWith({Scene(), "a.qdx", "--options", options});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "qdxexport: " + options + ": line 1: expected NAME=VALUE (qdxexport --help shows the usage)\n");
    // Lines are counted from the first, comments and blank lines included.
    std::ofstream(options) << "# settings\n\nreportLevel=1\r\n= 2\n";
    EXPECT_EQ(RunWith({Scene(), "a.qdx", "--options", options}).err,
              "qdxexport: " + options + ": line 4: expected NAME=VALUE (qdxexport --help shows the usage)\n");
}

// An unknown option or a bad value of an options file is named with the
// file and its line, as a malformed line is; --opt's have no line.
TEST(HostCommandLine, AnOptionsFilesBadSettingNamesItsLine)
{
    TestTempDir dir;
    const std::string options = dir.File("options.txt");
    const struct
    {
        const char* text;
        std::string error;
    } cases[] = {
        {"# settings\nreportLevl=1\n", ": line 2: unknown option reportLevl"},
        {"reportLevel=1\n\n  ForceSkinToMorph = maybe\n",
         ": line 3: option ForceSkinToMorph takes true or false, not \"maybe\""},
        {"exportAs=2\n", ": line 1: option exportAs is set by OUT, --selected and --as"},
    };
    int exports = 0;
    const auto count = [&](const std::vector<Value>&) {
        ++exports;
        return ok;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::ofstream(options) << c.text;
        const CommandRun r = RunWith({Scene(), "a.qdx", "--options", options}, count);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err, "qdxexport: " + options + c.error + " (qdxexport --help shows the usage)\n");
    }
    EXPECT_EQ(exports, 0);
    // The file's lines are read before --opt's, whichever is wrong.
    std::ofstream(options) << "reportLevel=2\n";
    EXPECT_EQ(RunWith({Scene(), "a.qdx", "--options", options, "--opt", "reportLevel=x"}).err,
              "qdxexport: option reportLevel takes an integer, not \"x\" (qdxexport --help shows the usage)\n");
}

TEST(HostCommandLine, HelpAboutAndDumpNeedNoExport)
{
    CommandRun r = RunWith({"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("usage: qdxexport SCENE OUT.qdx|.qbx|.qfx", 0), 0u);
    r = RunWith({"--about"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "About Keltrane Export\nKeltrane File Exporter\n");
    r = RunWith({Scene(), "--dump-host"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("scene\n  animation: 0 to 4800 ticks", 0), 0u);
    EXPECT_EQ(r.err, "");
}

TEST(HostCommandLine, DefaultArgumentsAndOptionsByName)
{
    std::vector<Value> a = DefaultExportArguments(Table(), "x.qbx", false, 4);
    ASSERT_EQ(a.size(), 8u);
    EXPECT_EQ(a[0], Value::String("x.qbx"));
    EXPECT_EQ(a[2], Value::Int(4));
    EXPECT_EQ(a[5], Value::String("Character"));
    std::string error;
    EXPECT_TRUE(SetExportOption(Table(), a, "characterName", "Cam 2", error));
    EXPECT_EQ(a[5], Value::String("Cam 2"));
    EXPECT_TRUE(SetExportOption(Table(), a, "reportLevel", "-1", error));
    EXPECT_EQ(a[4], Value::Int(-1));
    EXPECT_FALSE(SetExportOption(Table(), a, "reportLevel", "", error));
    EXPECT_FALSE(SetExportOption(Table(), a, "reduceKeysThreshold", "0.1x", error));
    EXPECT_EQ(error, "option reduceKeysThreshold takes a finite number, not \"0.1x\"");
    // A number too small for a float is the nearest one; one too large is none.
    EXPECT_TRUE(SetExportOption(Table(), a, "reduceKeysThreshold", "1e-50", error)) << error;
    EXPECT_EQ(a[6], Value::Float(0.0f));
    EXPECT_FALSE(SetExportOption(Table(), a, "reduceKeysThreshold", "1e39", error));
    EXPECT_TRUE(SetExportOption(Table(), a, "convertToSkin", "off", error));
    EXPECT_EQ(a[3], Value::Bool(false));
    // Short vectors grow to the table.
    std::vector<Value> few(3);
    EXPECT_TRUE(SetExportOption(Table(), few, "ForceSkinToMorph", "on", error));
    ASSERT_EQ(few.size(), 8u);
    EXPECT_EQ(few[7], Value::Bool(true));
}

// TRUE, True and true are one value in the host's script language.
TEST(HostCommandLine, BooleansAreReadInAnyCase)
{
    const struct
    {
        const char* text;
        bool value;
    } rows[] = {{"TRUE", true},   {"True", true},   {"tRuE", true}, {"YES", true},  {"On", true}, {"1", true},
                {"FALSE", false}, {"False", false}, {"NO", false},  {"oFF", false}, {"0", false}};
    for (const auto& row : rows) {
        std::vector<Value> a = DefaultExportArguments(Table(), "x.qdx", false, 1);
        std::string error;
        EXPECT_TRUE(SetExportOption(Table(), a, "ForceSkinToMorph", row.text, error)) << row.text << ": " << error;
        EXPECT_EQ(a[7], Value::Bool(row.value)) << row.text;
    }
    for (const char* text : {"TRUEE", "t", "", "01", "ja", " true"}) {
        std::vector<Value> a = DefaultExportArguments(Table(), "x.qdx", false, 1);
        std::string error;
        EXPECT_FALSE(SetExportOption(Table(), a, "ForceSkinToMorph", text, error)) << text;
    }
    // A NUL inside a value (an options file may hold one) ends no value.
    std::vector<Value> a = DefaultExportArguments(Table(), "x.qdx", false, 1);
    std::string error;
    EXPECT_FALSE(SetExportOption(Table(), a, "ForceSkinToMorph", std::string("true\0x", 6), error));
    EXPECT_FALSE(SetExportOption(Table(), a, "reportLevel", std::string("12\0", 3), error));
    EXPECT_FALSE(SetExportOption(Table(), a, "reduceKeysThreshold", std::string("0.5\0", 4), error));
    EXPECT_EQ(a, DefaultExportArguments(Table(), "x.qdx", false, 1));
}

// An options file that names a folder is as bad as a missing one: nothing
// is exported.
TEST(HostCommandLine, AnOptionsFolderIsRefused)
{
    TestTempDir dir;
    int exports = 0;
    const CommandRun r = RunWith({Scene(), "a.qdx", "--options", dir.Path()}, [&](const std::vector<Value>&) {
        ++exports;
        return ok;
    });
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err,
              "qdxexport: the options file is a folder: \"" + dir.Path() + "\" (qdxexport --help shows the usage)\n");
    EXPECT_EQ(exports, 0);
}

// The output name goes by the script function's rule when the table gives
// it; without one every name is taken, as objects.
TEST(HostCommandLine, TheOutputNameGoesByTheTablesRule)
{
    std::vector<HostExportArgument> table = Table();
    std::vector<std::string> names;
    table[0].fileKind = [&](const std::string& name) {
        names.push_back(name);
        return name == "level.any" ? 4 : name == "objects.any" ? 1 : 0;
    };
    int exportAs = 0;
    const auto keep = [&](const std::vector<Value>& arguments) {
        exportAs = arguments[2].to_int();
        return ok;
    };
    const auto run = [&](const std::vector<std::string>& args) {
        exportAs = 0;
        return RunCommandLine("qdxexport", args, table, [&](FILE*, FILE*) { return HostExportFunction(keep); });
    };
    run({Scene(), "level.any"});
    EXPECT_EQ(exportAs, 4);
    run({Scene(), "objects.any"});
    EXPECT_EQ(exportAs, 1);
    run({Scene(), "level.any", "--as", "character"});
    EXPECT_EQ(exportAs, 2);
    const CommandRun refused = run({Scene(), "a.qdx"});
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(exportAs, 0);
    EXPECT_EQ(names, (std::vector<std::string>{"level.any", "objects.any", "level.any", "a.qdx"}));
    table[0].fileKind = nullptr;
    run({Scene(), "anything"});
    EXPECT_EQ(exportAs, 1);
    // --dump-host with no output names no file.
    names.clear();
    EXPECT_EQ(run({Scene(), "--dump-host"}).code, 0);
    EXPECT_TRUE(names.empty());
}

// --help lists every option of the table after the required three, with
// its type (the table's word, else its default's kind), its default and
// what the usage adds.
TEST(HostCommandLine, HelpListsEveryOptionOfTheTable)
{
    const CommandRun r = RunWith({"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, HostCommandLineUsage(Table()));
    const std::string options = r.out.substr(r.out.find("  NAME "));
    EXPECT_EQ(options,
              "  NAME                                 TYPE    DEFAULT\n"
              "  convertToSkin                        BOOL    true\n"
              "  reportLevel                          int     0\n"
              "  characterName                        string  \"Character\"\n"
              "  reduceKeysThreshold                  float   0  (a key is kept when it moves more than this)\n"
              "  ForceSkinToMorph                     BOOL    false\n");
    EXPECT_EQ(r.out.find("filename"), std::string::npos);
    // A table of the required arguments alone lists no option.
    const std::vector<HostExportArgument> few(Table().begin(), Table().begin() + 3);
    EXPECT_EQ(HostCommandLineUsage(few).find("\n  NAME "), std::string::npos);
    EXPECT_EQ(HostCommandLineUsage(few), HostCommandLineUsage({}));
    EXPECT_EQ(HostCommandLineUsage({}).rfind("usage: qdxexport", 0), 0u);
}

// A value the export takes as another is noted on err with the value it
// takes; the export still gets the value given.
TEST(HostCommandLine, ReplacedValuesAreNoted)
{
    std::vector<HostExportArgument> table = Table();
    table[4].inEffect = [](const Value& given) { return Value::Int(given.to_int() > 3 ? 3 : given.to_int()); };
    std::vector<Value> seen;
    const auto keep = [&](const std::vector<Value>& arguments) {
        seen = arguments;
        return ok;
    };
    const auto run = [&](const std::vector<std::string>& args) {
        return RunCommandLine("qdxexport", args, table, [&](FILE*, FILE*) { return HostExportFunction(keep); });
    };
    CommandRun r = run({Scene(), "a.qdx", "--opt", "reportLevel=99"});
    EXPECT_EQ(r.err, "qdxexport: reportLevel=99 is taken as 3\nqdxexport: a.qdx was not saved\n");
    ASSERT_EQ(seen.size(), 8u);
    EXPECT_EQ(seen[4], Value::Int(99));
    r = run({Scene(), "a.qdx", "--opt", "reportLevel=3"});
    EXPECT_EQ(r.err, "qdxexport: a.qdx was not saved\n");
    // --report's level is a value like any other.
    table[4].inEffect = [](const Value& given) { return Value::Int(given.to_int() > 2 ? 2 : given.to_int()); };
    r = run({Scene(), "a.qdx", "--report"});
    EXPECT_EQ(r.err, "qdxexport: reportLevel=3 is taken as 2\nqdxexport: a.qdx was not saved\n");
}

// An int option takes every 32-bit value and nothing beyond.
TEST(HostCommandLine, IntegersAreThirtyTwoBit)
{
    const struct
    {
        const char* text;
        bool taken;
    } rows[] = {{"2147483647", true}, {"2147483648", false}, {"-2147483648", true}, {"-2147483649", false}, {"0", true},
                {"-0", true},         {"+7", true},          {"7 ", false},         {"0x10", false}};
    for (const auto& row : rows) {
        std::vector<Value> a = DefaultExportArguments(Table(), "x.qdx", false, 1);
        std::string error;
        EXPECT_EQ(SetExportOption(Table(), a, "reportLevel", row.text, error), row.taken) << row.text;
        if (row.taken) {
            EXPECT_EQ(a[4], Value::Int(int(std::strtol(row.text, nullptr, 10)))) << row.text;
        }
    }
}
