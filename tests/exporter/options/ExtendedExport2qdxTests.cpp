#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exporter/options/ExportOptions.h"
#include "exporter/options/ExtendedExport2qdx.h"
#include "exporter/options/Max2Qdx.h"
#include "platform/host/HostScene.h"
#include "platform/host/Interface.h"

namespace {

// What the export saw of its exporter, copied before the exporter goes.
struct ExportCall
{
    std::string name;
    Interface* maxInterface = nullptr;
    BOOL onlySelected = 0;
    CKBOOL progressStarted = -1;
    CKBOOL as[4] = {};
    std::vector<int> integers;
    std::vector<float> reals;
    std::vector<std::string> texts;
    std::string characterName, animationName;
};

std::vector<ExportCall> g_Calls;

int RecordExport(Max2Qdx& exporter, const char* name, Interface* maxInterface, BOOL onlySelected)
{
    ExportCall call;
    call.name = name;
    call.maxInterface = maxInterface;
    call.onlySelected = onlySelected;
    call.progressStarted = exporter.progressStarted;
    call.as[0] = exporter.asObjects;
    call.as[1] = exporter.asCharacter;
    call.as[2] = exporter.asAnimation;
    call.as[3] = exporter.asLevel;
    for (const ExportOption& option : kExportOptions) {
        call.integers.push_back(option.integer ? exporter.*option.integer : 0);
        call.reals.push_back(option.real ? exporter.*option.real : 0.0f);
        call.texts.push_back(option.text ? (exporter.*option.text).CStr() : "");
    }
    call.characterName = exporter.GetCharacterName().data();
    call.animationName = exporter.GetAnimationName().data();
    g_Calls.push_back(call);
    return 1;
}

class ScriptFunction : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Interface.SetEcho(false);
        g_Calls.clear();
        m_Previous = SetExportSceneFunction(&RecordExport);
    }
    void TearDown() override { SetExportSceneFunction(m_Previous); }

    // Calls the function with the values, as a script would.
    Value Call(std::vector<Value> values)
    {
        std::vector<Value*> pointers;
        for (Value& value : values)
            pointers.push_back(&value);
        return ExtendedExport2qdx(pointers.data(), (int) pointers.size());
    }
    std::vector<HostEvent> MessageBoxes() const
    {
        std::vector<HostEvent> boxes;
        for (const HostEvent& e : m_Interface.Events())
            if (e.kind == HostEvent::Kind::MessageBox)
                boxes.push_back(e);
        return boxes;
    }

    HostScene m_Scene;
    Interface m_Interface{m_Scene};
    ExportSceneFunction m_Previous = nullptr;
};

const char kUsage[] = "usage: ExtendedExport2Qdx\n"
                      "[string filename]\n"
                      "[BOOL\tonlySelected]\n"
                      "[int\texportAs]\n"
                      "[BOOL\tconvertToSkin]\n"
                      "[BOOL\tstoreOnlyTextureFileName]\n"
                      "[BOOL\tunitIsMeter]\n"
                      "[int\treportLevel]\n"
                      "[int\tsamplingStepForDeformables]\n"
                      "[int\tsamplingStepForKeyFrames]\n"
                      "[string characterName]\n"
                      "[string animationName]\n"
                      "[BOOL\tgroupToPlace]\n"
                      "[BOOL\tsaveBipedGeom]\n"
                      "[int\tcompressionLevel]\n"
                      "[BOOL\talignAnimOnZ]\n"
                      "[BOOL\treduceRedondantKeys]\n"
                      "[BOOL\tshellMaterialExportBoth]\n"
                      "[BOOL\tignore1KeyAnimation]\n"
                      "[BOOL\texportAnimation]\n"
                      "[float\treduceKeysThreshold]\n"
                      "[BOOL\tforceAllUVs]\n"
                      "[BOOL\tsplitMesh]\n"
                      "[BOOL\tLOD]\n"
                      "[BOOL\tsplinesAsDummies]\n"
                      "[BOOL\texportAlphaMap]\n"
                      "[BOOL\tusePower2]\n"
                      "[BOOL\tforce1x1Ratio]\n"
                      "[int\tresizeMethod (NearestPowerOfTwo=0, LowerPowerOfTwo=1, HigherPowerOfTwo=2)]\n"
                      "[BOOL\tdeactivateMeshChannels]\n"
                      "[BOOL\thideHelpers]\n"
                      "[BOOL\tDASIAnimation]\n"
                      "[BOOL\tDASIMesh]\n"
                      "[BOOL\tDASIMaterial]\n"
                      "[BOOL\tDASITexture]\n"
                      "[string startingCameraName]\n"
                      "[BOOL\tSelectionAsGroup]\n"
                      "[BOOL\tReadChannels]\n"
                      "[string ReadChannelsFilename]\n"
                      "[BOOL\tReportToFile]\n"
                      "[string ReportFilename]\n"
                      "[BOOL ExportBlendShapes]\n"
                      "[BOOL ExportBlendShapeAnims]\n"
                      "[BOOL IncludeBlendShapesInMorphController]\n"
                      "[BOOL\treduceRedondantBlendShapesKeys]\n"
                      "[float reduceBlendShapesKeysThreshold]\n"
                      "[int\tsamplingStepForBlendShapes]\n"
                      "[BOOL\tEnableInstructions]\n"
                      "[BOOL\tOnlyUsedMaterials]\n"
                      "[BOOL\tForceSkinToMorph]\n";

std::vector<Value> Required(const char* name, bool selected = false, int exportAs = 1)
{
    return {Value::String(name), Value::Bool(selected), Value::Int(exportAs)};
}

} // namespace

TEST_F(ScriptFunction, TooFewArgumentsPrintTheCountAndTheUsage)
{
    for (int count = 0; count < 3; ++count) {
        m_Interface.ClearEvents();
        std::vector<Value> values = Required("a.qdx");
        values.resize(count);
        EXPECT_EQ(Call(values), empty) << count;
        EXPECT_EQ(m_Interface.ScriptOutput(), "ExtendedExport2Qdx: Invalid Argument Count. Wanted 49 and got only " +
                                                  std::to_string(count) + ".\n" + kUsage);
    }
    EXPECT_EQ(ExportUsageText(), XString(kUsage));
    EXPECT_TRUE(g_Calls.empty());
    EXPECT_EQ(ExtendedExport2qdx(nullptr, 5), empty);
    EXPECT_TRUE(g_Calls.empty());
}

TEST_F(ScriptFunction, OnlyTheThreeFileExtensionsAreAcceptedInAnyCase)
{
    const struct
    {
        const char* name;
        bool accepted;
    } rows[] = {
        {"a.qdx", true},     {"A.QDX", true},   {"b.qbx", true},  {"c.qfx", true},
        {"dir/e.QfX", true}, {".qdx", false},   {"d.txt", false}, {"qdx", false},
        {"", false},         {"a.qdx ", false}, {"a.qd", false},  {"scene.qdx.bak", false},
    };
    for (const auto& row : rows) {
        m_Interface.ClearEvents();
        g_Calls.clear();
        Value result = Call(Required(row.name, false, 4));
        EXPECT_EQ(result, row.accepted ? ok : empty) << row.name;
        EXPECT_EQ(g_Calls.size(), row.accepted ? 1u : 0u) << row.name;
        if (!row.accepted)
            EXPECT_EQ(m_Interface.ScriptOutput(),
                      "ExtendedExport2Qdx: Invalid File Extension Type! (Waiting for .qdx, .qbx or .qfx)")
                << row.name;
        else
            EXPECT_EQ(g_Calls[0].name, row.name);
    }
}

TEST_F(ScriptFunction, TheExportKindIsFixedToTheExtensionWithANotice)
{
    const char* toObjects = "Cannot export As Level in QDX !\nSwitching automatically to Export As Objects.";
    const char* toLevel = "Can only export As Level in QBX or QFX !\nSwitching automatically to Export As Level.";
    const struct
    {
        const char* name;
        int exportAs;
        int kind; // 0 objects .. 3 level
        const char* notice;
    } rows[] = {
        {"a.qdx", 1, 0, nullptr},   {"a.qdx", 2, 1, nullptr}, {"a.qdx", 3, 2, nullptr}, {"a.qdx", 4, 0, toObjects},
        {"a.QDX", 4, 0, toObjects}, {"a.qdx", 0, 0, nullptr}, {"a.qdx", 9, 0, nullptr}, {"a.qdx", -4, 0, nullptr},
        {"b.qbx", 1, 3, toLevel},   {"b.qbx", 4, 3, nullptr}, {"c.qfx", 2, 3, toLevel}, {"c.qfx", 0, 3, toLevel},
    };
    for (const auto& row : rows) {
        m_Interface.ClearEvents();
        g_Calls.clear();
        ASSERT_EQ(Call(Required(row.name, true, row.exportAs)), ok) << row.name << " " << row.exportAs;
        ASSERT_EQ(g_Calls.size(), 1u);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(g_Calls[0].as[k], k == row.kind ? 1 : 0) << row.name << " " << row.exportAs << " flag " << k;
        std::vector<HostEvent> boxes = MessageBoxes();
        ASSERT_EQ(boxes.size(), row.notice ? 1u : 0u) << row.name << " " << row.exportAs;
        if (row.notice) {
            EXPECT_EQ(boxes[0].caption, "Max2Qdx");
            EXPECT_EQ(boxes[0].text, row.notice);
        }
    }
}

TEST_F(ScriptFunction, ThreeArgumentsGiveEveryDefault)
{
    ASSERT_EQ(Call(Required("scene.qdx", true, 1)), ok);
    ASSERT_EQ(g_Calls.size(), 1u);
    const ExportCall& c = g_Calls[0];
    EXPECT_EQ(c.name, "scene.qdx");
    EXPECT_EQ(c.onlySelected, 1);
    EXPECT_EQ(c.maxInterface, &m_Interface);
    EXPECT_EQ(c.progressStarted, 0) << "the function hands the exporter over without a progress bar";
    // Argument n's default, as the option table of the script function's
    // documentation gives them (0 for the three required arguments).
    const int integers[49] = {0, 0, 0, 1, 0, 0, 0, 3, 3, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 3, 0, 0, 0};
    for (int n = 0; n < 49; ++n)
        EXPECT_EQ(c.integers[n], integers[n]) << "argument " << n << " " << kExportOptions[n].name;
    EXPECT_EQ(c.reals[19], 0.0f);
    EXPECT_EQ(c.reals[44], 0.1f);
    EXPECT_EQ(c.characterName, "Character");
    EXPECT_EQ(c.animationName, "Animation");
    EXPECT_EQ(c.texts[34], "Camera01");
    EXPECT_EQ(c.texts[37], "MyChannels.txt");
    EXPECT_EQ(c.texts[39], "Report.txt");
}

TEST_F(ScriptFunction, FortyNineArgumentsSetEveryOptionAndMoreAreIgnored)
{
    std::vector<Value> values = Required("x.qbx", false, 4);
    for (int n = 3; n < 49; ++n) {
        switch (kExportOptions[n].type) {
        case ExportOptionType::Bool: values.push_back(Value::Bool(kExportOptions[n].integerDefault == 0)); break;
        case ExportOptionType::Int: values.push_back(Value::Int(100 + n)); break;
        case ExportOptionType::Float: values.push_back(Value::Float(n / 4.0f)); break;
        case ExportOptionType::String: values.push_back(Value::String("text " + std::to_string(n))); break;
        }
    }
    std::vector<Value> fifty = values;
    fifty.push_back(Value::String("not even the right type"));
    for (const std::vector<Value>* args : {&values, &fifty}) {
        g_Calls.clear();
        ASSERT_EQ(Call(*args), ok) << args->size();
        ASSERT_EQ(g_Calls.size(), 1u);
        const ExportCall& c = g_Calls[0];
        for (int n = 3; n < 49; ++n) {
            switch (kExportOptions[n].type) {
            case ExportOptionType::Bool:
                EXPECT_EQ(c.integers[n], kExportOptions[n].integerDefault == 0 ? 1 : 0) << n;
                break;
            case ExportOptionType::Int: EXPECT_EQ(c.integers[n], 100 + n) << n; break;
            case ExportOptionType::Float: EXPECT_EQ(c.reals[n], n / 4.0f) << n; break;
            case ExportOptionType::String: break;
            }
        }
        EXPECT_EQ(c.characterName, "text 9");
        EXPECT_EQ(c.animationName, "text 10");
        EXPECT_EQ(c.texts[34], "text 34");
        EXPECT_EQ(c.texts[37], "text 37");
        EXPECT_EQ(c.texts[39], "text 39");
    }
    // Spot checks by field name: the table sends each argument to its field.
    EXPECT_EQ(kExportOptions[6].integer, &Max2Qdx::reportLevel);
    EXPECT_EQ(kExportOptions[22].integer, &Max2Qdx::LOD);
    EXPECT_EQ(kExportOptions[27].integer, &Max2Qdx::resizeMethod);
    EXPECT_EQ(kExportOptions[44].real, &Max2Qdx::reduceBlendShapesKeysThreshold);
    EXPECT_EQ(kExportOptions[46].integer, &Max2Qdx::EnableInstructions);
    EXPECT_EQ(kExportOptions[48].integer, &Max2Qdx::ForceSkinToMorph);
}

TEST_F(ScriptFunction, AValueOfTheWrongTypeIsRefusedAndNothingIsExported)
{
    const struct
    {
        int argument;
        Value value;
        const char* message;
    } rows[] = {
        {6, Value::String("3"), "Invalid Argument 6 (reportLevel): wanted int and got \"3\".\n"},
        {9, Value::Int(3), "Invalid Argument 9 (characterName): wanted string and got 3.\n"},
        {3, Value::Int(1), "Invalid Argument 3 (convertToSkin): wanted BOOL and got 1.\n"},
        {19, Value::String("0.5"), "Invalid Argument 19 (reduceKeysThreshold): wanted float and got \"0.5\".\n"},
        {0, Value::Int(1), "Invalid Argument 0 (filename): wanted string and got 1.\n"},
        {2, Value::Float(3e10f), "Invalid Argument 2 (exportAs): wanted int and got "},
        {48, Value(), "Invalid Argument 48 (ForceSkinToMorph): wanted BOOL and got undefined.\n"},
    };
    for (const auto& row : rows) {
        std::vector<Value> values = Required("a.qdx");
        while ((int) values.size() < 49)
            values.push_back(Value::Bool(false));
        for (int n = 3; n < 49; ++n)
            if (kExportOptions[n].type != ExportOptionType::Bool)
                values[n] = kExportOptions[n].type == ExportOptionType::String ? Value::String("s")
                            : kExportOptions[n].type == ExportOptionType::Int  ? Value::Int(1)
                                                                               : Value::Float(1.0f);
        values[row.argument] = row.value;
        m_Interface.ClearEvents();
        EXPECT_EQ(Call(values), empty) << row.argument;
        EXPECT_EQ(m_Interface.ScriptOutput().rfind(std::string("ExtendedExport2Qdx: ") + row.message, 0), 0u)
            << m_Interface.ScriptOutput();
        EXPECT_TRUE(MessageBoxes().empty());
    }
    EXPECT_TRUE(g_Calls.empty());
    // A whole float is an int to the script language.
    std::vector<Value> values = Required("a.qdx");
    values[2] = Value::Float(2.0f);
    values.push_back(Value::Float(1.0f));
    EXPECT_EQ(Call(values), empty) << "a float is no BOOL";
    values[3] = Value::Bool(true);
    values.push_back(Value::Bool(true));
    values.push_back(Value::Bool(true));
    values.push_back(Value::Float(2.9f));
    EXPECT_EQ(Call(values), ok);
    ASSERT_EQ(g_Calls.size(), 1u);
    EXPECT_EQ(g_Calls[0].as[1], 1);
    EXPECT_EQ(g_Calls[0].integers[6], 2) << "reportLevel truncated from 2.9";
    Value* nothing[3] = {nullptr, nullptr, nullptr};
    EXPECT_EQ(ExtendedExport2qdx(nothing, 3), empty);
}

TEST(ExportOptions, DefaultsComeBackAndNamesAreCopied)
{
    Max2Qdx exporter;
    exporter.reportLevel = 3;
    exporter.asLevel = 1;
    exporter.asObjects = 0;
    exporter.SetCharacterName(nullptr);
    EXPECT_TRUE(exporter.GetCharacterName().isNull());
    char name[] = "Hero";
    exporter.SetAnimationName(name);
    name[0] = 'Z';
    EXPECT_STREQ(exporter.GetAnimationName().data(), "Hero");
    exporter.unitScale = 0.5f;
    exporter.SetOptionDefaults();
    EXPECT_EQ(exporter.reportLevel, 0);
    EXPECT_EQ(exporter.asObjects, 1);
    EXPECT_EQ(exporter.asLevel, 0);
    EXPECT_EQ(exporter.unitScale, 1.0f);
    EXPECT_STREQ(exporter.characterName.CStr(), "Character");
    EXPECT_EQ(exporter.progressStarted, 1);
    int stored = 0;
    for (const ExportOption& option : kExportOptions)
        stored += option.IsStored();
    EXPECT_EQ(stored, 46);
    for (int n = 0; n < kExportArgumentCount; ++n)
        EXPECT_EQ(kExportOptions[n].argument, n);
}

// The command line checks a file name by this rule before it reads a scene:
// it must give what the function does with the same name, kind included.
TEST_F(ScriptFunction, TheFileNameRuleIsTheFunctionsOwn)
{
    const struct
    {
        const char* name;
        int kind;
    } rows[] = {
        {"a.qdx", 1}, {"A.QDX", 1},  {"b.qbx", 4},         {"c.QFX", 4}, {".qdx", 0},  {".qbx", 0},     {"qdx", 0},
        {"", 0},      {"a.qdx ", 0}, {"scene.qdx.bak", 0}, {"x.qd", 0},  {"x.txt", 0}, {"dir/.qfx", 4}, {"a\\b.Qbx", 4},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ExportKindOfFileName(row.name), row.kind) << row.name;
        g_Calls.clear();
        // Asked for a level: an object file is switched to objects.
        EXPECT_EQ(Call(Required(row.name, false, 4)), row.kind ? ok : empty) << row.name;
        ASSERT_EQ(g_Calls.size(), row.kind ? 1u : 0u) << row.name;
        if (row.kind) {
            EXPECT_EQ(g_Calls[0].as[row.kind - 1], 1) << row.name;
        }
    }
    EXPECT_EQ(ExportKindOfFileName(nullptr), 0);
}

// Where the export takes another value than it is given, the option table
// says so, with the rule the export itself applies.
TEST(ExportOptions, OnlyTheSamplingStepsAreTakenAsAnotherValue)
{
    for (const ExportOption& option : kExportOptions) {
        const std::string name = option.name;
        const bool step = name.rfind("samplingStepFor", 0) == 0;
        EXPECT_EQ(option.integerInEffect != nullptr, step) << name;
        if (step) {
            EXPECT_EQ(option.integerInEffect, &SamplingStepInFrames) << name;
        }
    }
    const int steps[][2] = {{3, 3}, {1, 1}, {0, 1}, {-1, 1}, {-2147483647 - 1, 1}, {2147483647, 2147483647}};
    for (const auto& s : steps)
        EXPECT_EQ(SamplingStepInFrames(s[0]), s[1]) << s[0];
    EXPECT_STREQ(ExportOptionTypeWord(ExportOptionType::Bool), "BOOL");
    EXPECT_STREQ(ExportOptionTypeWord(ExportOptionType::Int), "int");
    EXPECT_STREQ(ExportOptionTypeWord(ExportOptionType::Float), "float");
    EXPECT_STREQ(ExportOptionTypeWord(ExportOptionType::String), "string");
}
