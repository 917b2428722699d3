#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "core/context/CKVariableManager.h"
#include "system/config/QxConfiguration.h"
#include "tests/core/support/CoreTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

class CountingWatcher : public CKVariableManager::Watcher
{
public:
    void PreRead(const char*) override { ++reads; }
    void PostWrite(const char*) override { ++writes; }
    int reads = 0;
    int writes = 0;
};

using VariableTest = EngineFixture;

} // namespace

TEST(VariableSettings, SettingsFileValuesAreReadBeforeTheManagersStart)
{
    TestTempDir dir;
    std::string file = dir.File("settings.ini");
    {
        std::ofstream out(file);
        out << "<File Options>\n  Compression Level = 7\n</File Options>\n"
            << "<Globals>\n  StartingFlags = Disable Sound,Disable Input\n</Globals>\n";
    }
    ASSERT_EQ(CKStartUp(), 0);
    CKContext* context = nullptr;
    ASSERT_EQ(CKCreateContext(&context, nullptr, file.c_str()), 0);
    CKVariableManager* vm = context->GetVariableManager();
    int level = 0;
    EXPECT_TRUE(vm->GetValue("File Options/Compression Level", &level));
    EXPECT_EQ(level, 7);
    EXPECT_EQ(context->GetCompressionLevel(), 7);
    int flags = 0;
    EXPECT_TRUE(vm->GetValue("Globals/StartingFlags", &flags));
    EXPECT_EQ(flags, 3);
    EXPECT_EQ(context->GetStartOptions(), 3);
    XString text;
    EXPECT_TRUE(vm->GetValueAsString("Globals/StartingFlags", text));
    EXPECT_STREQ(text.CStr(), "Disable Sound,Disable Input");
    EXPECT_STREQ(vm->GetConfigFile(), file.c_str());
    EXPECT_EQ(CKCloseContext(context), 0);
    EXPECT_EQ(CKShutdown(), 0);
}

TEST_F(VariableTest, SavedVariablesLoadBackUnchanged)
{
    TestTempDir dir;
    std::string file = dir.File("saved.ini");
    CKVariableManager* vm = m_Context->GetVariableManager();
    vm->SetStringValue("Globals/StartingFlags", "Do Warn,Disable Sound");
    vm->SetValue("File Options/Compression Level", 9);
    vm->SetStringValue("File Options/Compression", "Uncompressed");
    vm->SetStringValue("File Options/Protect Content Password", "secret, with = signs");
    vm->SetStringValue("Player/Focus Lost Behavior", "3");
    int a = 0;
    float f = 0;
    XString s;
    vm->BindInt("Test/Negative", &a, -5, 0, "int");
    vm->BindFloat("Test/Float", &f, 0.25f, 0, "float");
    vm->BindString("Test/String", &s, "text", 0, "string");
    vm->BindString("NoSlash", &s, "text", 0, "string");
    ASSERT_TRUE(vm->SaveToFile(file.c_str()));

    // Remember every writable value, scramble them, load the file back.
    std::vector<std::pair<std::string, std::string>> before;
    for (auto it = vm->Begin(); it != vm->End(); ++it) {
        if ((*it)->GetFlags() & CKVariableManager::READONLY)
            continue;
        XString value;
        (*it)->GetValueAsString(value);
        before.emplace_back(it.GetKey().CStr(), value.CStr());
    }
    ASSERT_GE(before.size(), 14u);
    vm->RestoreDefaults(1);
    a = 1;
    f = 9;
    s = "other";
    ASSERT_TRUE(vm->LoadFromFile(file.c_str()));
    for (auto& [name, value] : before) {
        XString now;
        ASSERT_TRUE(vm->GetValueAsString(name.c_str(), now));
        EXPECT_EQ(value, now.CStr()) << name;
    }
    QxConfiguration config;
    ASSERT_TRUE(config.ReadFromFile(file.c_str(), nullptr, nullptr));
    EXPECT_NE(config.GetRoot()->GetSubSection("No Category"), nullptr);
    EXPECT_EQ(config.GetRoot()->GetSubSection("Globals")->GetEntry("StartingPath"), nullptr);
    for (const char* name : {"Test/Negative", "Test/Float", "Test/String", "NoSlash"})
        vm->UnBind(name);
}

TEST_F(VariableTest, PendingValuesApplyAtBinding)
{
    CKVariableManager* vm = m_Context->GetVariableManager();
    EXPECT_FALSE(vm->SetStringValue("Late/Flags", "Disable Sound,Disable Input"));
    int value = 0;
    vm->BindIntWithRepresentation("Late/Flags", &value, 4, 0, "flag:1=Disable Sound;2=Disable Input;4=Do Warn", "d");
    EXPECT_EQ(value, 3);
    int second = 0;
    vm->BindInt("Late/Flags", &second, 9, 0, "again");
    EXPECT_EQ(second, 0);
    EXPECT_EQ(vm->GetVariable("Late/Flags")->GetDescription(), std::string("d"));
    vm->UnBind("Late/Flags");
}

TEST_F(VariableTest, RepresentationsConvertBothWaysAndOverflowingTextIsClamped)
{
    CKVariableManager* vm = m_Context->GetVariableManager();
    int flags = 0, e = 0, b = 0, r = 0, i = 0;
    float f = 0;
    vm->BindIntWithRepresentation("T/Flags", &flags, 0, 0, "flag:1=Disable Sound;2=Disable Input;4=Do Warn", "");
    vm->BindIntWithRepresentation("T/Enum", &e, 0, 0, "enum:0=Uncompressed;8=Compressed", "");
    vm->BindIntWithRepresentation("T/Bool", &b, 0, 0, "bool:", "");
    vm->BindIntWithRepresentation("T/Bad", &r, 0, 0, "nocolon", "");
    vm->BindInt("T/Int", &i, 0, 0, "");
    vm->BindFloat("T/Float", &f, 0, 0, "");
    auto text = [&](const char* name) {
        XString t;
        vm->GetValueAsString(name, t);
        return std::string(t.CStr());
    };
    EXPECT_EQ(text("T/Flags"), "NA");
    flags = 5;
    EXPECT_EQ(text("T/Flags"), "Disable Sound,Do Warn");
    e = 5;
    EXPECT_EQ(text("T/Enum"), "Invalid Value");
    EXPECT_EQ(text("T/Bad"), "Invalid Representation");
    b = 1;
    EXPECT_EQ(text("T/Bool"), "TRUE");
    struct Case
    {
        const char* name;
        const char* text;
        int* value;
        int expected;
    };
    const Case cases[] = {{"T/Enum", "8", &e, 8},
                          {"T/Enum", "Uncompressed", &e, 0},
                          {"T/Enum", "Compressed", &e, 8},
                          {"T/Enum", "Nothing", &e, 0},
                          {"T/Bool", "TRUE", &b, 1},
                          {"T/Bool", "yes", &b, 0},
                          {"T/Int", "99999999999999999999", &i, 2147483647},
                          {"T/Int", "-99999999999999999999", &i, -2147483647 - 1}};
    for (const Case& c : cases) {
        vm->SetStringValue(c.name, c.text);
        EXPECT_EQ(*c.value, c.expected) << c.name << " " << c.text;
    }
    vm->SetStringValue("T/Float", "1e300");
    EXPECT_EQ(f, 3.40282347e+38f);
    for (const char* name : {"T/Flags", "T/Enum", "T/Bool", "T/Bad", "T/Int", "T/Float"})
        vm->UnBind(name);
}

TEST_F(VariableTest, ReadOnlyWatchersAndSaveFlags)
{
    CKVariableManager* vm = m_Context->GetVariableManager();
    EXPECT_FALSE(vm->SetStringValue("Globals/StartingPath", "x"));
    EXPECT_FALSE(vm->SetValue("Globals/StartingPath", "x"));
    EXPECT_FALSE(vm->SetValue("Missing/Name", 1));
    int v = 0;
    EXPECT_FALSE(vm->GetValue("Missing/Name", &v));
    CountingWatcher watcher;
    vm->RegisterWatcher("File Options/Compression Level", &watcher);
    vm->GetValue("File Options/Compression Level", &v);
    vm->SetValue("File Options/Compression Level", 3);
    EXPECT_EQ(watcher.reads, 1);
    EXPECT_EQ(watcher.writes, 1);
    EXPECT_EQ(vm->UnRegisterWatcher("File Options/Compression Level"), &watcher);
    EXPECT_EQ(vm->UnRegisterWatcher("File Options/Compression Level"), nullptr);
    EXPECT_TRUE(vm->SetSaveInFile("Profiling/ProfileEnabled", TRUE));
    EXPECT_TRUE(vm->GetVariable("Profiling/ProfileEnabled")->GetFlags() & CKVariableManager::COMPOSITIONBOUND);
    // ClearAll clears the flag of variables that lack flag 8.
    m_Context->ClearAll();
    EXPECT_FALSE(vm->GetVariable("Profiling/ProfileEnabled")->GetFlags() & CKVariableManager::COMPOSITIONBOUND);
    EXPECT_FALSE(vm->SetSaveInFile("Missing/Name", TRUE));
    XString password;
    EXPECT_TRUE(vm->GetValue("File Options/Protect Content Password", &password));
    EXPECT_STREQ(password.CStr(), "empty");
    int iterations = 0;
    EXPECT_TRUE(vm->GetValue("BehaviorManager/MaxIteration", &iterations));
    EXPECT_EQ(iterations, 8000);
}
