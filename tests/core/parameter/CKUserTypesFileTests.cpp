#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/context/CKVariableManager.h"
#include "core/file/CKFile.h"
#include "core/object/CKObjectIDList.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterManager.h"
#include "includes/CKByteOrder.h"
#include "tests/core/parameter/ParameterTestSupport.h"
#include "tests/core/support/FileTestSupport.h"
#include "tests/support/TestPaths.h"

// User enumerations and flags travel with the files whose parameters use
// them, and meet the types of the context that loads them under its
// duplicate policy.

namespace {

using Words = std::vector<CKDWORD>;
using Lines = std::vector<std::string>;

constexpr CKGUID kLighting(0x11, 0x22);
constexpr CKGUID kOpts(0x33, 0x44);
constexpr const char* kPolicy = "File Options/On Load Duplicate User Flags & Enums";

constexpr CKDWORD Text4(const char* s)
{
    return (CKDWORD) (CKBYTE) s[0] | ((CKDWORD) (CKBYTE) s[1] << 8) | ((CKDWORD) (CKBYTE) s[2] << 16) |
           ((CKDWORD) (CKBYTE) s[3] << 24);
}

class UserTypesInFiles : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(CKStartUp(), 0); }
    void TearDown() override
    {
        for (CKContext* c : m_Contexts)
            EXPECT_EQ(CKCloseContext(c), 0);
        EXPECT_EQ(CKShutdown(), 0);
    }

    CKContext* NewContext(int policy = 0)
    {
        CKContext* c = nullptr;
        EXPECT_EQ(CKCreateContext(&c, nullptr), 0);
        c->SetInterfaceMode(TRUE, KeepConsoleLine, &m_Console);
        c->SetFileWriteMode(0);
        c->GetVariableManager()->SetValue(kPolicy, policy);
        m_Contexts.push_back(c);
        return c;
    }

    // A file whose two locals use "Lighting" and "Opts", both declared by a
    // file loaded before, and a third local of a built-in type.
    std::string MakeFile(const TestTempDir& dir)
    {
        CKContext* c = NewContext();
        CKParameterManager* pm = c->GetParameterManager();
        EXPECT_EQ(pm->RegisterNewEnum(kLighting, "Lighting", "Prelit=0,Lit=1"), 0);
        EXPECT_EQ(pm->RegisterNewFlags(kOpts, "Opts", "A,B"), 0);
        EXPECT_EQ(pm->RegisterNewEnum(CKGUID(0x55, 0x66), "Unused", "X"), 0);
        for (CKGUID g : {kLighting, kOpts, CKGUID(0x55, 0x66)})
            pm->GetParameterTypeDescription(g)->Flags |= CKPARAMETERTYPE_USER;
        std::string path = dir.File("user.qdx");
        CKFile* file = c->CreateCKFile();
        EXPECT_EQ(file->StartSave(path.c_str()), 0);
        const CKGUID types[] = {kLighting, kOpts, CKGUID(0x5A5716FD, 0x44E276D7)};
        const char* names[] = {"Light", "Options", "Count"};
        for (int i = 0; i < 3; ++i) {
            auto* p = static_cast<CKParameterLocal*>(c->CreateObject(CKCID_PARAMETERLOCAL, names[i]));
            p->SetGUID(types[i]);
            int value = i + 1;
            p->SetValue(&value);
            file->SaveObject(p);
        }
        EXPECT_EQ(file->EndSave(), 0);
        c->DeleteCKFile(file);
        return path;
    }

    void Load(CKContext* c, const std::string& path)
    {
        CKFile* file = c->CreateCKFile();
        CKObjectIDList list;
        EXPECT_EQ(file->Load(path.c_str(), &list), 0);
        c->DeleteCKFile(file);
    }

    static std::string Members(CKContext* c, CKGUID guid)
    {
        CKParameterManager* pm = c->GetParameterManager();
        XString text;
        pm->GetEnumAsString(pm->ParameterGuidToType(guid), text);
        return text.CStr();
    }
    static CKParameterLocal* Local(CKContext* c, const char* name)
    {
        return static_cast<CKParameterLocal*>(c->GetObjectByNameAndClass(name, CKCID_PARAMETERLOCAL));
    }

    std::vector<CKContext*> m_Contexts;
    Lines m_Console;
};

// The parameter manager's record in a file written without packing.
Words ManagerChunk(const std::string& path)
{
    std::vector<CKBYTE> file = ReadWholeFile(path);
    size_t at = 64 + LoadLE32(file.data() + 28);
    CKDWORD managers = LoadLE32(file.data() + 40);
    for (CKDWORD m = 0; m < managers && at + 12 <= file.size(); ++m) {
        CKGUID guid(LoadLE32(&file[at]), LoadLE32(&file[at + 4]));
        CKDWORD size = LoadLE32(&file[at + 8]);
        at += 12;
        if (guid == PARAMETER_MANAGER_GUID && at + size <= file.size()) {
            Words words(size / 4);
            for (size_t i = 0; i < words.size(); ++i)
                words[i] = LoadLE32(&file[at + 4 * i]);
            return words;
        }
        at += size;
    }
    return {};
}

} // namespace

TEST_F(UserTypesInFiles, TheFileCarriesTheDeclarationsItsParametersUse)
{
    EXPECT_EQ(NewContext()->GetParameterManager()->SaveData(nullptr), nullptr); // nothing to save
    TestTempDir dir;
    std::string path = MakeFile(dir);
    // Header word (data version 0, class 1, chunk version 7, bound to the
    // file), the data size, then the identifier, one group per type and 0.
    // clang-format off
    const Words golden = {
        0x18070100, 24, 0x0C0C0C0C, 0,
        0x0B0B0B0B, 0x11, 0x22, 9, Text4("Ligh"), Text4("ting"), 0,
        15, Text4("Prel"), Text4("it=0"), Text4(",Lit"), Text4("=1\0\0"),
        0x0A0A0A0A, 0x33, 0x44, 5, Text4("Opts"), 0, 8, Text4("A=1,"), Text4("B=2\0"),
        0,
    };
    // clang-format on
    EXPECT_EQ(ManagerChunk(path), golden);
    // The marks of the save are gone again.
    CKParameterManager* pm = m_Contexts[1]->GetParameterManager();
    EXPECT_EQ(pm->GetParameterTypeDescription(kLighting)->Flags,
              (CKDWORD) (CKPARAMETERTYPE_ENUMS | CKPARAMETERTYPE_USER));
}

TEST_F(UserTypesInFiles, DeclarationsMeetTheContextsTypesUnderEitherPolicy)
{
    TestTempDir dir;
    std::string path = MakeFile(dir);
    const CKGUID other(0x99, 0x99);
    const std::string unknown = "Light : Unknown Parameter Type (Dll declaring this parameter is maybe absent)";
    auto message = [](const char* what, const char* outcome) {
        return std::string("Warning: Loading User Enum/Flag: Lighting 's ") + what + " already exists, " + outcome;
    };
    struct Case
    {
        int policy;
        const char* guidOrName; // what the context has registered: "guid", "name" or nothing
        const char* members;
        Lines console;
        std::string result; // the members of the file's GUID afterwards; "" for no such type
    } cases[] = {
        {0, "", "", {}, "Prelit=0,Lit=1"},
        {1, "", "", {}, "Prelit=0,Lit=1"},
        {0, "guid", "Prelit=0,Lit=1", {}, "Prelit=0,Lit=1"},
        {1, "guid", "Prelit=0,Lit=1", {}, "Prelit=0,Lit=1"},
        {0, "guid", "Prelit=0,Lit=1,Baked=2", {message("GUID", "ignored")}, "Prelit=0,Lit=1,Baked=2"},
        {1, "guid", "Prelit=0,Lit=1,Baked=2", {message("GUID", "replaced")}, "Prelit=0,Lit=1"},
        {0, "name", "Dark,Bright", {message("name", "ignored"), unknown}, ""},
        {1, "name", "Dark,Bright", {message("name", "replaced")}, "Prelit=0,Lit=1"},
    };
    for (const Case& c : cases) {
        CKContext* context = NewContext(c.policy);
        CKParameterManager* pm = context->GetParameterManager();
        CKParameterLocal* mine = nullptr;
        CKGUID derived(0x99, 0x9A);
        if (*c.guidOrName) {
            pm->RegisterNewEnum(*c.guidOrName == 'g' ? kLighting : other, "Lighting", c.members);
            // A type derived from the context's, and a parameter of it.
            CKParameterTypeDesc d;
            d.Guid = derived;
            d.ParentGuid = *c.guidOrName == 'g' ? kLighting : other;
            d.DefaultSize = 4;
            ASSERT_EQ(pm->RegisterParameterType(&d), 0);
            mine = static_cast<CKParameterLocal*>(context->CreateObject(CKCID_PARAMETERLOCAL, "Mine"));
            mine->SetGUID(d.ParentGuid);
            int bright = 1;
            mine->SetValue(&bright);
        }
        m_Console.clear();
        Load(context, path);
        SCOPED_TRACE(std::to_string(c.policy) + " " + c.guidOrName + " " + c.members);
        EXPECT_EQ(m_Console, c.console);
        EXPECT_EQ(Members(context, kLighting), c.result);
        if (c.result.empty())
            continue;
        EXPECT_EQ(Local(context, "Light")->GetGUID(), kLighting);
        EXPECT_EQ(Local(context, "Options")->GetGUID(), kOpts);
        EXPECT_EQ(pm->ParameterGuidToType(CKGUID(0x55, 0x66)), -1); // not used, not saved
        if (*c.guidOrName != 'g') {
            EXPECT_TRUE(pm->GetParameterTypeDescription(kLighting)->Flags & CKPARAMETERTYPE_USER);
        }
        if (*c.guidOrName == 'n' && c.policy == 1) {
            // The context's parameter moved to the file's type with its
            // value; the old type and the one derived from it are gone.
            int value = 0;
            mine->GetValue(&value);
            EXPECT_EQ(mine->GetGUID(), kLighting);
            EXPECT_EQ(value, 1);
            EXPECT_EQ(pm->ParameterGuidToType(other), -1);
            EXPECT_EQ(pm->ParameterGuidToType(derived), -1);
        }
    }
}

TEST_F(UserTypesInFiles, ADeclarationNeverReplacesATypeOfAnotherKind)
{
    CKContext* c = NewContext(1);
    CKStateChunk* chunk = HandChunk(CKCID_OBJECT, 0, [](CKStateChunk* c) {
        c->WriteIdentifier(0x0C0C0C0C);
        // A new GUID named as the built-in Float, then the built-in Float's GUID.
        for (CKGUID guid : {CKGUID(0x77, 0x77), CKGUID(0x47884C3F, 0x432C2C20)}) {
            c->WriteInt(0x0B0B0B0B);
            c->WriteGuid(guid);
            c->WriteString("Float");
            c->WriteString("Zero,One");
        }
        c->WriteInt(0);
    });
    m_Console.clear();
    EXPECT_EQ(c->GetParameterManager()->LoadData(chunk, nullptr), 0);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(m_Console, (Lines{"Warning: Loading User Enum/Flag: Float 's name already exists, ignored",
                                "Warning: Loading User Enum/Flag: Float 's GUID already exists, ignored"}));
    EXPECT_GE(c->GetParameterManager()->ParameterGuidToType(CKGUID(0x11262CF5, 0x30B0233A)), 0); // Angle stays
}
