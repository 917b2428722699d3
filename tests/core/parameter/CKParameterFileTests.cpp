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
#include "tools/ParameterWorld.h"

namespace {

using Bytes = std::vector<CKBYTE>;

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
        SetParameterWorldLinks();
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
        EXPECT_TRUE(PrepareParameterWorldContext(context, v));
        return context;
    }
    void CloseContext(CKContext* context)
    {
        UnbindParameterWorldVariables(context);
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
    std::vector<CKObject*> Build(CKContext* c, int count)
    {
        int failures = 0;
        std::vector<CKObject*> saved = BuildParameterWorld(c, count, &failures);
        EXPECT_EQ(failures, 0);
        return saved;
    }

    CKContext* m_A = nullptr;
    CKContext* m_B = nullptr;
    EngineVariables m_VarsA, m_VarsB;
    std::vector<std::string> m_Console;
};

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
