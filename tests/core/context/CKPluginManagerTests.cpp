#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/TestPaths.h"

#include "core/bitmap/CKDataReader.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKVariableManager.h"
#include "core/parameter/CKParameterManager.h"
#include "tests/core/support/CoreTestSupport.h"

namespace {

int g_InitCount = 0;
int g_ExitCount = 0;
int g_Released = 0;
int g_LastIndex = -1;

CKERROR InitPlugin(CKContext*)
{
    ++g_InitCount;
    return 0;
}

CKERROR ExitPlugin(CKContext*)
{
    ++g_ExitCount;
    return 0;
}

CKPluginInfo& ReaderInfo()
{
    static CKPluginInfo info(CKGUID(0x11, 0x22), "png", "Png reader", "test", "summary", 1, nullptr, nullptr,
                             CKPLUGIN_BITMAP_READER);
    return info;
}

class FakeReader : public CKDataReader
{
public:
    void Release() override
    {
        ++g_Released;
        delete this;
    }
    CKPluginInfo* GetReaderInfo() override { return &ReaderInfo(); }
    int GetOptionsCount() override { return 0; }
    CKDWORD GetFlags() override { return 3; }
};

CKDataReader* MakeReader(int index)
{
    g_LastIndex = index;
    return new FakeReader;
}

class PluginTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_InitCount = g_ExitCount = g_Released = 0;
        ASSERT_EQ(CKStartUp(), 0);
    }
    void TearDown() override { CKShutdown(); }
};

} // namespace

TEST_F(PluginTest, ReadersAreFoundByExtensionThenByTheCatchAll)
{
    CKPluginManager* pm = CKGetPluginManager();
    EXPECT_EQ(pm->AddCategory("Bitmap Readers"), 0);
    EXPECT_EQ(pm->AddCategory(""), -1);
    EXPECT_EQ(pm->AddCategory(nullptr), -1);
    pm->RegisterPlugin(4, &ReaderInfo(), nullptr, MakeReader);
    pm->AddStaticDll("builtin", 1);
    CKPluginEntry* entry = pm->GetPluginEntry(0, 0);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->m_PluginDllIndex, 0);
    EXPECT_EQ(entry->m_PositionInDll, 4);
    EXPECT_STREQ(entry->m_PluginInfo.m_ShortExtension, "png");
    EXPECT_EQ(pm->FindComponent(CKGUID(0x11, 0x22)), entry);
    EXPECT_EQ(pm->FindComponent(CKGUID(0x11, 0x22), 1), nullptr);

    CKDataReader* reader = pm->GetBitmapReader("PNG");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(g_LastIndex, 4);
    reader->Release();
    CKGUID guid(0x11, 0x22);
    reader = pm->GetBitmapReader("png", &guid);
    ASSERT_NE(reader, nullptr);
    reader->Release();
    EXPECT_EQ(pm->GetBitmapReader("tga"), nullptr);
    EXPECT_EQ(pm->GetMovieReader("png"), nullptr);

    CKPluginInfo any(CKGUID(0x33, 0), "*", "Any", "", "", 1, nullptr, nullptr, CKPLUGIN_BITMAP_READER);
    pm->RegisterPlugin(0, &any, nullptr, MakeReader);
    reader = pm->GetBitmapReader("tga");
    ASSERT_NE(reader, nullptr);
    reader->Release();
    EXPECT_EQ(pm->FindComponentByExtension("tga", 0), pm->GetPluginEntry(0, 1));
    pm->RegisterPlugin(0, nullptr, nullptr, nullptr);
    EXPECT_EQ(pm->GetPluginCount(0), 2);
}

TEST_F(PluginTest, ComponentsStartAndEndWithEachContext)
{
    CKPluginManager* pm = CKGetPluginManager();
    CKPluginInfo manager(CKGUID(0x44, 0), "", "Manager", "", "", 1, InitPlugin, ExitPlugin, CKPLUGIN_MANAGER_DLL);
    CKPluginInfo input(INPUT_MANAGER_GUID, "", "Input", "", "", 1, InitPlugin, ExitPlugin, CKPLUGIN_MANAGER_DLL);
    pm->RegisterPlugin(0, &manager, nullptr, nullptr);
    pm->RegisterPlugin(1, &input, nullptr, nullptr);
    pm->RegisterPlugin(2, &ReaderInfo(), nullptr, MakeReader);
    CKContext* context = nullptr;
    ASSERT_EQ(CKCreateContext(&context, nullptr, nullptr), 0);
    EXPECT_EQ(g_InitCount, 2);
    // A manager component that registered no manager is inactive.
    EXPECT_FALSE(pm->GetPluginEntry(3, 0)->m_Active);
    EXPECT_EQ(pm->GetPluginEntry(0, 0)->m_ReadersInfo->m_ReaderFlags, 3u);
    EXPECT_EQ(g_Released, 1);
    EXPECT_EQ(CKCloseContext(context), 0);
    EXPECT_EQ(g_ExitCount, 2);

    // "Disable Input" skips the input manager's component.
    TestTempDir dir;
    std::ofstream(dir.File("s.ini")) << "<Globals>\n StartingFlags = Disable Input\n</Globals>\n";
    g_InitCount = 0;
    ASSERT_EQ(CKCreateContext(&context, nullptr, dir.File("s.ini").c_str()), 0);
    EXPECT_EQ(context->GetStartOptions(), 2);
    EXPECT_FALSE(pm->GetPluginEntry(3, 1)->m_Active);
    CKCloseContext(context);
    EXPECT_EQ(g_InitCount, 1);
}

namespace {

CKPluginInfo& OptionsReaderInfo()
{
    static CKPluginInfo info(CKGUID(0x55, 0x66), "opt", "Options Reader", "test", "", 1, nullptr, nullptr,
                             CKPLUGIN_BITMAP_READER);
    return info;
}

class OptionsReader : public FakeReader
{
public:
    CKPluginInfo* GetReaderInfo() override { return &OptionsReaderInfo(); }
    int GetOptionsCount() override { return 4; }
    const char* GetOptionDescription(int index) override
    {
        const char* options[] = {"Enum:Quality:Low,High", "flags:Channels:Red,Green", "Percentage:Amount",
                                 "Fill Mode:Shading"};
        return index >= 0 && index < 4 ? options[index] : "";
    }
};

CKDataReader* MakeOptionsReader(int)
{
    return new OptionsReader;
}

} // namespace

TEST_F(PluginTest, ReaderOptionsBecomeAHiddenStructureOfParameterTypes)
{
    CKPluginManager* pm = CKGetPluginManager();
    pm->RegisterPlugin(0, &OptionsReaderInfo(), nullptr, MakeOptionsReader);
    CKContext* context = nullptr;
    ASSERT_EQ(CKCreateContext(&context, nullptr, nullptr), 0);
    CKParameterManager* params = context->GetParameterManager();
    CKPluginEntry* entry = pm->GetPluginEntry(0, 0);
    CKGUID guid = entry->m_ReadersInfo->m_OptionsGuid;
    int type = params->ParameterGuidToType(guid);
    ASSERT_GE(type, 0);
    EXPECT_STREQ(params->TypeToName(type), "Options Reader Options Parameter");
    CKParameterTypeDesc* desc = params->GetParameterTypeDescriptionByIndex(type);
    EXPECT_EQ(desc->Flags, (CKDWORD) (CKPARAMETERTYPE_STRUCT | CKPARAMETERTYPE_HIDDEN));
    EXPECT_EQ(desc->DeclaringPlugin, entry);
    const CKStructDesc* s = params->GetStructDescByType(type);
    ASSERT_EQ(s->NbData, 4);
    EXPECT_STREQ(s->Desc[0], "Quality");
    EXPECT_STREQ(s->Desc[3], "Shading");
    EXPECT_EQ(s->Guids[2], params->ParameterNameToGuid("Percentage"));
    EXPECT_EQ(s->Guids[3], params->ParameterNameToGuid("Fill Mode"));
    CKGUID quality = s->Guids[0], channels = s->Guids[1];
    XString text;
    params->GetEnumAsString(params->ParameterGuidToType(quality), text);
    EXPECT_STREQ(text.CStr(), "Low=0,High=1");
    params->GetFlagsAsString(params->ParameterGuidToType(channels), text);
    EXPECT_STREQ(text.CStr(), "Red=1,Green=2");
    EXPECT_TRUE(params->GetParameterTypeDescription(channels)->Flags & CKPARAMETERTYPE_HIDDEN);
    EXPECT_EQ(params->GetParameterTypeDescription(quality)->DeclaringPlugin, entry);

    // Ending the component removes the types made for it, never the
    // built-in enumeration an option named.
    pm->ExitPlugin(entry, context);
    EXPECT_EQ(params->ParameterGuidToType(guid), -1);
    EXPECT_EQ(params->ParameterGuidToType(quality), -1);
    EXPECT_EQ(params->ParameterGuidToType(channels), -1);
    EXPECT_GE(params->ParameterNameToType("Fill Mode"), 0);
    EXPECT_EQ(CKCloseContext(context), 0);
}
