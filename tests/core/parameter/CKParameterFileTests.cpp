#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKStartUp.h"
#include "core/context/CKVariableManager.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKDependencies.h"
#include "core/object/CKObjectIDList.h"
#include "core/object/XObjectArray.h"
#include "core/parameter/CK2dCurve.h"
#include "core/parameter/CKOwnedValue.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterOperation.h"
#include "core/parameter/CKParameterOut.h"
#include "core/parameter/CKParameterVariable.h"
#include "core/parameter/CKStructValueRef.h"
#include "includes/CKByteOrder.h"
#include "tests/core/parameter/ParameterTestSupport.h"
#include "tests/core/support/FileTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

using Bytes = std::vector<CKBYTE>;

constexpr CKGUID kFileMode(0xF11E0001, 1);   // an enumeration a loaded file declared
constexpr CKGUID kFileFlags(0xF11E0002, 1);  // flags likewise
constexpr CKGUID kFileStruct(0xF11E0003, 1); // a structure registered by code

// Program variables each context binds under the same names.
struct EngineVariables
{
    int number = 0;
    float real = 0.0f;
    XString text;
    int mode = 0;
};
const char* const kVariableNames[] = {"Params/Number", "Params/Real", "Params/Text", "Params/Mode"};

Bytes ValueBytes(CKParameter* p)
{
    p->GetReadDataPtr(FALSE); // a variable's text gives its size as it is now
    Bytes out(p->GetDataSize() > 0 ? (size_t) p->GetDataSize() : 0);
    if (!out.empty() && p->GetValue(out.data(), FALSE) != 0)
        out.clear();
    return out;
}

Bytes ChunkBytes(CKStateChunk* chunk)
{
    if (!chunk)
        return {};
    Bytes out((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(out.data());
    return out;
}

std::string NameOf(CKObject* o)
{
    return o ? (o->GetName() ? o->GetName() : "(unnamed)") : "(none)";
}

// A value as it stands in any context: the names of the objects a
// collection or an object value names, the type's saved form for the other
// values that own an object or members, else the bytes.
std::string Signature(CKContext* c, CKParameter* p)
{
    CKParameterTypeDesc* d = p->GetTypeDesc();
    std::string out;
    if (d->Guid == CKPGUID_OBJECTARRAY) {
        for (CK_ID id : *CKGetOwnedValue<XObjectArray>(p))
            out += NameOf(c->GetObject(id)) + ",";
    } else if (d->SaveLoad) {
        CKStateChunk* chunk = nullptr;
        d->SaveLoad(p, &chunk, FALSE);
        Bytes b = ChunkBytes(chunk);
        out.assign(b.begin(), b.end());
        CKDeleteStateChunk(chunk);
    } else if (d->ClassId) {
        out = NameOf(p->GetValueObject(FALSE));
    } else {
        Bytes b = ValueBytes(p);
        out.assign(b.begin(), b.end());
    }
    return out;
}

// The data section of a file written without packing.
Bytes DataSection(const std::string& path)
{
    Bytes file = ReadWholeFile(path);
    if (file.size() < 64)
        return {};
    CKDWORD header = LoadLE32(file.data() + 28);
    CKDWORD data = LoadLE32(file.data() + 32);
    if (64 + (size_t) header + data > file.size())
        return {};
    return Bytes(file.begin() + 64 + header, file.begin() + 64 + header + data);
}

class ParameterFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CKStartUp(), 0);
        CKBeObjectLinks links;
        // Attribute type 0 carries a Float, 1 a value of the file's enumeration.
        links.GetAttributeParameterGuid = [](CKContext*, int type) {
            return type == 0 ? CKPGUID_FLOAT : type == 1 ? kFileMode : CKGUID();
        };
        CKSetBeObjectLinks(links);
        m_A = NewContext(m_VarsA);
    }
    void TearDown() override
    {
        CloseContext(m_A);
        if (m_B)
            CloseContext(m_B);
        EXPECT_EQ(CKShutdown(), 0);
    }

    CKContext* NewContext(EngineVariables& v)
    {
        CKContext* context = nullptr;
        EXPECT_EQ(CKCreateContext(&context, nullptr), 0);
        context->SetInterfaceMode(TRUE, KeepConsoleLine, &m_Console);
        context->SetFileWriteMode(0);
        CKVariableManager* vm = context->GetVariableManager();
        vm->BindInt(kVariableNames[0], &v.number, 0, 0, "n");
        vm->BindFloat(kVariableNames[1], &v.real, 0.0f, 0, "r");
        vm->BindString(kVariableNames[2], &v.text, "", 0, "t");
        vm->BindIntWithRepresentation(kVariableNames[3], &v.mode, 0, 0, "enum:0=Still;3=Moving", "m");
        EXPECT_EQ(context->GetParameterManager()->RegisterNewStructure(kFileStruct, "File Struct", "x,label,mode",
                                                                       {CKPGUID_FLOAT, CKPGUID_STRING, kFileMode}),
                  0);
        return context;
    }
    void CloseContext(CKContext* context)
    {
        for (const char* name : kVariableNames)
            context->GetVariableManager()->UnBind(name);
        EXPECT_EQ(CKCloseContext(context), 0);
    }

    // Saves the objects, in order, into path.
    CKERROR Save(CKContext* context, const std::vector<CKObject*>& objects, const std::string& path)
    {
        CKFile* file = context->CreateCKFile();
        CKERROR err = file->StartSave(path.c_str());
        if (err == 0) {
            for (CKObject* o : objects)
                file->SaveObject(o);
            err = file->EndSave();
        }
        context->DeleteCKFile(file);
        return err;
    }
    CKERROR Load(CKContext* context, const std::string& path)
    {
        CKFile* file = context->CreateCKFile();
        CKObjectIDList list;
        CKERROR err = file->Load(path.c_str(), &list);
        context->DeleteCKFile(file);
        return err;
    }

    // A world of parameters of every type the context knows.
    std::vector<CKObject*> Build(CKContext* c, int count);

    CKContext* m_A = nullptr;
    CKContext* m_B = nullptr;
    EngineVariables m_VarsA, m_VarsB;
    std::vector<std::string> m_Console;
};

std::vector<CKObject*> ParameterFiles::Build(CKContext* c, int count)
{
    CKParameterManager* pm = c->GetParameterManager();
    EXPECT_EQ(pm->RegisterNewEnum(kFileMode, "File Mode", "Off,On,Auto=4"), 0);
    EXPECT_EQ(pm->RegisterNewFlags(kFileFlags, "File Flags", "A,B,C"), 0);
    for (CKGUID g : {kFileMode, kFileFlags})
        pm->GetParameterTypeDescription(g)->Flags |= CKPARAMETERTYPE_USER;
    int builtIn = pm->ParameterGuidToType(kFileMode);

    std::mt19937 rng(2000);
    std::vector<CKObject*> saved;
    std::vector<CKBeObject*> holders;
    for (int i = 0; i < 10; ++i) {
        auto* b = static_cast<CKBeObject*>(c->CreateObject(CKCID_BEOBJECT, ("B" + std::to_string(i)).c_str()));
        for (int type : {0, 1}) {
            EXPECT_TRUE(b->SetAttribute(type));
            b->GetAttributeParameter(type)->SetName(("A" + std::to_string(i) + "_" + std::to_string(type)).c_str());
        }
        int on = 1;
        b->GetAttributeParameter(1)->SetValue(&on);
        holders.push_back(b);
        saved.push_back(b);
        saved.push_back(b->GetAttributeParameter(0));
        saved.push_back(b->GetAttributeParameter(1));
    }
    auto holder = [&]() { return holders[rng() % holders.size()]; };

    std::vector<int> types;
    for (int i = 0; i < pm->GetParameterTypesCount(); ++i)
        if (pm->IsParameterTypeValid(i))
            types.push_back(i);
    const CK_CLASSID classes[] = {CKCID_PARAMETERLOCAL, CKCID_PARAMETEROUT, CKCID_PARAMETER};
    std::vector<CKParameter*> params;
    for (int i = 0; i < count; ++i) {
        int type = types[(size_t) i % types.size()];
        CK_CLASSID cid = classes[((size_t) i / types.size() + (size_t) i) % 3];
        auto* p = static_cast<CKParameter*>(c->CreateObject(cid, ("P" + std::to_string(i)).c_str()));
        p->SetType(type);
        CKParameterTypeDesc* d = p->GetTypeDesc();
        if (d->Guid == CKPGUID_OBJECTARRAY) {
            for (int k = 0; k < 3; ++k)
                CKGetOwnedValue<XObjectArray>(p)->PushBack(k == 1 ? 0 : holder()->GetID());
        } else if (d->Guid == CKPGUID_2DCURVE) {
            CKGetOwnedValue<CK2dCurve>(p)->AddControlPoint(Qx2DVector((float) (rng() % 100) / 100.0f, 0.25f));
        } else if (d->Guid == CKPGUID_STATECHUNK) {
            CKStateChunk* value = CKGetOwnedValue<CKStateChunk>(p);
            value->StartWrite();
            value->WriteIdentifier(7);
            value->WriteInt((int) rng());
            value->WriteString("inside");
            value->CloseChunk();
        } else if (CKDependencies* deps = CKGetOwnedValue<CKDependencies>(p)) {
            deps->m_Flags = rng() % 3;
            if (deps->m_Options.Size() > 20)
                deps->m_Options[1 + rng() % 19] ^= 0x5;
        } else if (d->Guid == kFileStruct) {
            p->SetStringValue(i % 2 ? "1.5;left;On" : "-2;right;Auto");
        } else if (d->ClassId) {
            CK_ID id = rng() % 4 ? holder()->GetID() : 0;
            p->SetValue(&id);
        } else if (d->Guid == CKPGUID_PARAMETERTYPE) {
            int index = (int) (rng() % (CKDWORD) builtIn);
            p->SetValue(&index);
        } else if (d->Flags & CKPARAMETERTYPE_VARIABLESIZE) {
            Bytes text(1 + rng() % 30);
            for (CKBYTE& b : text)
                b = (CKBYTE) ('a' + rng() % 26);
            text.back() = 0;
            p->SetValue(text.data(), (int) text.size());
        } else if (!CKIsPointerParameterType(d) && p->GetDataSize() > 0) {
            Bytes noise((size_t) p->GetDataSize());
            for (CKBYTE& b : noise)
                b = (CKBYTE) rng();
            p->SetValue(noise.data());
        }
        if (cid == CKCID_PARAMETERLOCAL && i % 7 == 0)
            p->ModifyObjectFlags(CK_PARAMETERLOCAL_SETTING, 0);
        if (cid == CKCID_PARAMETERLOCAL && i % 97 == 0)
            static_cast<CKParameterLocal*>(p)->SetAsMyselfParameter(TRUE);
        params.push_back(p);
    }
    // Outputs push to earlier parameters of their type.
    std::map<int, std::vector<CKParameter*>> byType;
    for (CKParameter* p : params)
        byType[p->GetType()].push_back(p);
    for (CKParameter* p : params) {
        if (p->GetClassID() != CKCID_PARAMETEROUT || rng() % 2)
            continue;
        const std::vector<CKParameter*>& same = byType[p->GetType()];
        for (int tries = 0; tries < 3; ++tries)
            static_cast<CKParameterOut*>(p)->AddDestination(same[rng() % same.size()]);
    }
    for (CKParameter* p : params)
        saved.push_back(p);
    // Inputs reading parameters, or sharing the source of an earlier input.
    std::vector<CKParameterIn*> inputs;
    for (int i = 0; i < count / 12; ++i) {
        CKParameter* source = params[rng() % params.size()];
        CKParameterIn* in = c->CreateCKParameterIn(("I" + std::to_string(i)).c_str(), source->GetType());
        if (!inputs.empty() && i % 3 == 0)
            in->ShareSourceWith(inputs[rng() % inputs.size()]);
        else
            in->SetDirectSource(source);
        if (i % 5 == 0)
            in->ModifyObjectFlags(CK_PARAMETERIN_DISABLED, 0);
        inputs.push_back(in);
        saved.push_back(in);
    }
    // Parameters bound to the engine variables.
    for (const char* name : kVariableNames) {
        auto* v = static_cast<CKParameterVariable*>(c->CreateObject(CKCID_PARAMETERVARIABLE));
        EXPECT_EQ(v->BindToVariable(name), 0);
        saved.push_back(v);
    }
    return saved;
}

} // namespace

TEST_F(ParameterFiles, TwoThousandParametersOfEveryTypeComeBackAndSaveAgainTheSame)
{
    TestTempDir dir;
    std::vector<CKObject*> saved = Build(m_A, 1830);
    m_VarsA.number = 77;
    m_VarsA.real = 0.5f;
    m_VarsA.text = "variable text";
    m_VarsA.mode = 3;
    ASSERT_GE(saved.size(), 2000u);
    ASSERT_EQ(Save(m_A, saved, dir.File("a.qdx")), 0);
    // The marks of the save are gone.
    EXPECT_FALSE(m_A->GetParameterManager()->GetParameterTypeDescription(kFileMode)->Flags & CKPARAMETERTYPE_TOSAVE);

    m_VarsB = m_VarsA;
    m_B = NewContext(m_VarsB);
    m_VarsB = m_VarsA;
    ASSERT_EQ(Load(m_B, dir.File("a.qdx")), 0);
    EXPECT_EQ(m_Console, std::vector<std::string>{});
    CKParameterManager* pmB = m_B->GetParameterManager();
    ASSERT_NE(pmB->GetParameterTypeDescription(kFileFlags), nullptr);
    EXPECT_TRUE(pmB->GetParameterTypeDescription(kFileMode)->Flags & CKPARAMETERTYPE_USER);

    std::vector<CKObject*> loaded;
    int destinations = 0;
    for (CKObject* a : saved) {
        CKObject* b = m_B->GetObjectByNameAndClass(a->GetName(), a->GetClassID());
        ASSERT_NE(b, nullptr) << NameOf(a);
        loaded.push_back(b);
        EXPECT_EQ(b->GetObjectFlags(), a->GetObjectFlags()) << NameOf(a);
        if (a->GetClassID() == CKCID_BEOBJECT)
            continue;
        if (a->GetClassID() == CKCID_PARAMETERIN) {
            auto* ia = static_cast<CKParameterIn*>(a);
            auto* ib = static_cast<CKParameterIn*>(b);
            EXPECT_EQ(ib->GetGUID(), ia->GetGUID());
            EXPECT_EQ(NameOf(ib->GetSharedSource()), NameOf(ia->GetSharedSource())) << NameOf(a);
            EXPECT_EQ(NameOf(ib->GetDirectSource()), NameOf(ia->GetDirectSource())) << NameOf(a);
            continue;
        }
        auto* pa = static_cast<CKParameter*>(a);
        auto* pb = static_cast<CKParameter*>(b);
        if (a->GetClassID() == CKCID_PARAMETERVARIABLE)
            EXPECT_STREQ(pmB->TypeToName(pb->GetType()), m_A->GetParameterManager()->TypeToName(pa->GetType()));
        else
            EXPECT_EQ(pb->GetGUID(), pa->GetGUID()) << NameOf(a);
        EXPECT_EQ(NameOf(pb->GetOwner()), NameOf(pa->GetOwner())) << NameOf(a);
        EXPECT_EQ(Signature(m_B, pb), Signature(m_A, pa)) << NameOf(a) << " " << pa->GetTypeDesc()->Name.CStr();
        if (a->GetClassID() == CKCID_PARAMETEROUT) {
            auto* oa = static_cast<CKParameterOut*>(a);
            auto* ob = static_cast<CKParameterOut*>(b);
            ASSERT_EQ(ob->GetDestinationCount(), oa->GetDestinationCount()) << NameOf(a);
            destinations += oa->GetDestinationCount();
            for (int k = 0; k < oa->GetDestinationCount(); ++k)
                EXPECT_EQ(NameOf(ob->GetDestination(k)), NameOf(oa->GetDestination(k)));
        }
    }

    EXPECT_GT(destinations, 100);

    // Saved again in the same order, the object and manager data are the same.
    ASSERT_EQ(Save(m_B, loaded, dir.File("b.qdx")), 0);
    Bytes first = DataSection(dir.File("a.qdx"));
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == DataSection(dir.File("b.qdx")));
}

TEST_F(ParameterFiles, ASourceSavedByReferenceIsFoundAmongTheOperationsOfTheLoadingContext)
{
    TestTempDir dir;
    // The input alone is saved: its source goes by reference.
    auto* source = m_A->CreateCKParameterOut("Shared Result", CKPGUID_FLOAT);
    auto* input = m_A->CreateCKParameterIn("Reader", m_A->GetParameterManager()->ParameterGuidToType(CKPGUID_FLOAT));
    input->SetDirectSource(source);
    ASSERT_EQ(Save(m_A, {input}, dir.File("ref.qdx")), 0);

    // Nothing of that name and type: the console says so.
    m_B = NewContext(m_VarsB);
    m_Console.clear();
    ASSERT_EQ(Load(m_B, dir.File("ref.qdx")), 0);
    EXPECT_EQ(m_Console,
              std::vector<std::string>{"Missing Shortcut Source with name <Shared Result> and of type <Float>"});
    auto* reader = static_cast<CKParameterIn*>(m_B->GetObjectByNameAndClass("Reader", CKCID_PARAMETERIN));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->GetRealSource(), nullptr);
    CloseContext(m_B);

    // The result of an operation with that name and type is the source.
    m_B = NewContext(m_VarsB);
    auto* op = static_cast<CKParameterOperation*>(m_B->CreateObject(CKCID_PARAMETEROPERATION));
    auto* result = m_B->CreateCKParameterOut("Shared Result", CKPGUID_FLOAT);
    m_B->CreateCKParameterOut("Shared Result", CKPGUID_INT); // another type
    op->SetOutParameter(result);
    op->Update();
    result->SetName("Shared Result");
    float kept = 4.0f;
    result->SetValue(&kept);
    m_Console.clear();
    ASSERT_EQ(Load(m_B, dir.File("ref.qdx")), 0);
    EXPECT_EQ(m_Console, std::vector<std::string>{});
    reader = static_cast<CKParameterIn*>(m_B->GetObjectByNameAndClass("Reader", CKCID_PARAMETERIN));
    EXPECT_EQ(reader->GetRealSource(), result);
    float value = 0.0f;
    result->GetValue(&value, FALSE);
    EXPECT_EQ(value, 4.0f); // found, not loaded over
}

TEST_F(ParameterFiles, TypesMadeForVariablesGoWhenTheContextIsClearedAndStructureViewsNameMembers)
{
    auto* v = static_cast<CKParameterVariable*>(m_A->CreateObject(CKCID_PARAMETERVARIABLE));
    ASSERT_EQ(v->BindToVariable("Params/Mode"), 0);
    CKGUID made = v->GetGUID();
    CKParameterManager* pm = m_A->GetParameterManager();
    EXPECT_STREQ(pm->TypeToName(pm->ParameterGuidToType(made)), "Params/Mode");
    CKGUID again;
    ASSERT_TRUE(m_A->GetVariableManager()->GetVariableParameterType("Params/Mode", again));
    EXPECT_EQ(again, made);

    // A structure view names the members.
    auto* s = static_cast<CKParameter*>(m_A->CreateObject(CKCID_PARAMETERLOCAL));
    s->SetGUID(kFileStruct);
    CKStructValueRef view(s);
    EXPECT_EQ(view.GetMemberCount(), 3);
    EXPECT_STREQ(view.GetMemberName(1), "label");
    EXPECT_EQ(view.GetMemberName(3), nullptr);
    EXPECT_EQ(CKStructValueRef(nullptr).GetMemberCount(), 0);
    m_A->ClearAll();
    EXPECT_EQ(pm->ParameterGuidToType(made), -1);
}

// Writes seeds of the engine-file and state-chunk fuzz targets into
// $FUZZ_SEEDS_OUT/<target>/ (run once, the output is committed under
// fuzz/corpus/):
//   FUZZ_SEEDS_OUT=fuzz/corpus core_tests --gtest_also_run_disabled_tests
//   --gtest_filter='*WriteParameterSeeds*'
TEST_F(ParameterFiles, DISABLED_WriteParameterSeeds)
{
    const char* root = std::getenv("FUZZ_SEEDS_OUT");
    ASSERT_NE(root, nullptr);
    auto put = [&](const std::string& target, const std::string& name, Bytes bytes) {
        std::filesystem::create_directories(std::string(root) + "/" + target);
        WriteWholeFile(std::string(root) + "/" + target + "/" + name, bytes);
    };
    // A world with one parameter of each type, and an operation.
    std::vector<CKObject*> saved = Build(m_A, 160);
    auto* op = static_cast<CKParameterOperation*>(m_A->CreateObject(CKCID_PARAMETEROPERATION, "op"));
    op->SetOperationGuid(CKGUID(0x0CD9471A, 0x52D93818));
    op->SetInParameter1(
        m_A->CreateCKParameterIn(nullptr, m_A->GetParameterManager()->ParameterGuidToType(CKPGUID_FLOAT)));
    op->SetOutParameter(m_A->CreateCKParameterOut(nullptr, CKPGUID_FLOAT));
    op->Update();
    saved.push_back(op);
    TestTempDir dir;
    for (int mode : {0, 8}) {
        m_A->SetFileWriteMode(mode);
        ASSERT_EQ(Save(m_A, saved, dir.File("seed.qdx")), 0);
        Bytes seed = {0};
        Bytes file = ReadWholeFile(dir.File("seed.qdx"));
        seed.insert(seed.end(), file.begin(), file.end());
        put("engine_file", mode ? "params_packed" : "params_plain", seed);
    }
    // Chunks of some of the objects, each loaded into a parameter of its
    // class (the fuzz target's operation 33) or read as user types (34).
    const CK_CLASSID classes[] = {CKCID_PARAMETERLOCAL, CKCID_PARAMETEROUT,       CKCID_PARAMETER,
                                  CKCID_PARAMETERIN,    CKCID_PARAMETEROPERATION, CKCID_PARAMETERVARIABLE};
    auto chunkSeed = [&](CKStateChunk* chunk, CKBYTE op, CKBYTE arg) {
        Bytes seed = {0, 4, 19, 0, op, arg};
        Bytes b = ChunkBytes(chunk);
        seed.insert(seed.end(), b.begin(), b.end());
        CKDeleteStateChunk(chunk);
        return seed;
    };
    for (size_t i = 0; i < saved.size(); i += 7) {
        CKObject* o = saved[i];
        CKBYTE index = (CKBYTE) (std::find(std::begin(classes), std::end(classes), o->GetClassID()) - classes);
        if (index < 6)
            put("state_chunk", "param_" + std::to_string(i), chunkSeed(CKSaveObjectState(o, 0x3C0), 33, index));
    }
    m_A->GetParameterManager()->GetParameterTypeDescription(kFileMode)->Flags |= CKPARAMETERTYPE_TOSAVE;
    put("state_chunk", "param_user_types", chunkSeed(m_A->GetParameterManager()->SaveData(nullptr), 34, 1));
}
