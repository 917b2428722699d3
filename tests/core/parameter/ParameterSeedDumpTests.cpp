#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKVariableManager.h"
#include "core/file/CKFile.h"
#include "core/object/XObjectArray.h"
#include "core/parameter/CK2dCurve.h"
#include "core/parameter/CKOwnedValue.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterOperation.h"
#include "core/parameter/CKParameterOut.h"
#include "core/parameter/CKParameterVariable.h"
#include "tests/core/parameter/ParameterTestSupport.h"
#include "tests/core/support/FileTestSupport.h"
#include "tests/support/TestPaths.h"

// Writes seed inputs of the engine-file and state-chunk fuzz targets into
// $FUZZ_SEEDS_OUT/<target>/ (run once, the output is committed under
// fuzz/corpus/):
//   FUZZ_SEEDS_OUT=fuzz/corpus core_tests --gtest_also_run_disabled_tests
//   --gtest_filter='*WriteParameterSeeds*'

namespace {

using ParameterSeeds = ParameterFixture;

void Put(const std::string& target, const std::string& name, const std::vector<CKBYTE>& bytes)
{
    std::string root = std::getenv("FUZZ_SEEDS_OUT");
    std::filesystem::create_directories(root + "/" + target);
    ASSERT_FALSE(bytes.empty()) << name;
    WriteWholeFile(root + "/" + target + "/" + name, bytes);
}

// A state-chunk seed: control byte, the script, then the chunk.
std::vector<CKBYTE> ChunkSeed(CKStateChunk* chunk, std::vector<CKBYTE> script)
{
    std::vector<CKBYTE> seed = {0, (CKBYTE) script.size()};
    seed.insert(seed.end(), script.begin(), script.end());
    std::vector<CKBYTE> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    seed.insert(seed.end(), bytes.begin(), bytes.end());
    return seed;
}

} // namespace

TEST_F(ParameterSeeds, DISABLED_WriteParameterSeeds)
{
    ASSERT_NE(std::getenv("FUZZ_SEEDS_OUT"), nullptr);
    CKParameterManager* pm = m_Manager;
    ASSERT_EQ(pm->RegisterNewStructure(CKGUID(0xF0, 0xF1), "Fuzz Struct", "a,b,c",
                                       {CKPGUID_VECTOR, CKPGUID_STRING, CKPGUID_OBJECTARRAY}),
              0);
    ASSERT_EQ(pm->RegisterNewEnum(CKGUID(0x11, 0x22), "Lighting", "Prelit=0,Lit=1"), 0);
    pm->GetParameterTypeDescription(CKGUID(0x11, 0x22))->Flags |= CKPARAMETERTYPE_USER;
    CKObject* holder = m_Context->CreateObject(CKCID_BEOBJECT, "Holder");

    // One parameter of each kind of value, and the links between them.
    std::vector<CKObject*> objects = {holder};
    auto add = [&](CKParameter* p) {
        objects.push_back(p);
        return p;
    };
    auto* out = static_cast<CKParameterOut*>(add(New<CKParameterOut>(CKPGUID_FLOAT, "out")));
    auto* local = static_cast<CKParameterLocal*>(add(New<CKParameterLocal>(CKPGUID_FLOAT, "local")));
    out->AddDestination(local);
    local->ModifyObjectFlags(CK_PARAMETERLOCAL_SETTING, 0);
    CKGetOwnedValue<XObjectArray>(add(New<CKParameterLocal>(CKPGUID_OBJECTARRAY, "ids")))->PushBack(holder->GetID());
    CKGetOwnedValue<CK2dCurve>(add(New<CKParameterOut>(CKPGUID_2DCURVE, "curve")))
        ->AddControlPoint(Qx2DVector(0.5f, 0.2f));
    CKStateChunk* value = CKGetOwnedValue<CKStateChunk>(add(New<CKParameter>(CKPGUID_STATECHUNK, "chunk")));
    value->StartWrite();
    value->WriteInt(5);
    value->CloseChunk();
    CKGetOwnedValue<CKDependencies>(add(New<CKParameterLocal>(CKPGUID_SAVEDEPENDENCIES, "deps")))->m_Flags = 0;
    add(New<CKParameterOut>(CKGUID(0xF0, 0xF1), "struct"))->SetStringValue("1,2,3;text;");
    add(New<CKParameterLocal>(CKPGUID_STRING, "text"))->SetStringValue("a string");
    add(New<CKParameterLocal>(CKGUID(0x11, 0x22), "lit"))->SetStringValue("Lit");
    add(New<CKParameterLocal>(CKPGUID_MESSAGE, "message"));
    add(New<CKParameterLocal>(CKPGUID_PARAMETERTYPE, "kind"));
    auto* self = static_cast<CKParameterLocal*>(add(New<CKParameterLocal>(CKPGUID_INT, "self")));
    self->SetAsMyselfParameter(TRUE);
    auto* object = add(New<CKParameterOut>(CKPGUID_OBJECT, "object"));
    CK_ID id = holder->GetID();
    object->SetValue(&id);
    auto* variable = static_cast<CKParameterVariable*>(m_Context->CreateObject(CKCID_PARAMETERVARIABLE));
    variable->BindToVariable("File Options/Compression");
    objects.push_back(variable);
    auto* in = m_Context->CreateCKParameterIn("in", pm->ParameterGuidToType(CKPGUID_FLOAT));
    in->SetDirectSource(out);
    auto* shared = m_Context->CreateCKParameterIn("shared", pm->ParameterGuidToType(CKPGUID_FLOAT));
    shared->ShareSourceWith(in);
    objects.push_back(in);
    objects.push_back(shared);
    auto* op = static_cast<CKParameterOperation*>(m_Context->CreateObject(CKCID_PARAMETEROPERATION, "op"));
    op->SetOperationGuid(CKGUID(0x0CD9471A, 0x52D93818));
    op->SetInParameter1(m_Context->CreateCKParameterIn(nullptr, pm->ParameterGuidToType(CKPGUID_FLOAT)));
    op->SetOutParameter(m_Context->CreateCKParameterOut(nullptr, CKPGUID_FLOAT));
    op->Update();
    objects.push_back(op);

    TestTempDir dir;
    for (int mode : {0, 8}) {
        std::string path = dir.File("params.qdx");
        m_Context->SetFileWriteMode(mode);
        CKFile* file = m_Context->CreateCKFile();
        ASSERT_EQ(file->StartSave(path.c_str()), 0);
        for (CKObject* o : objects)
            file->SaveObject(o);
        ASSERT_EQ(file->EndSave(), 0);
        m_Context->DeleteCKFile(file);
        std::vector<CKBYTE> seed = {0};
        std::vector<CKBYTE> bytes = ReadWholeFile(path);
        seed.insert(seed.end(), bytes.begin(), bytes.end());
        Put("engine_file", mode ? "params_packed" : "params_plain", seed);
    }

    // Each object's own chunk, loaded into a parameter of its class.
    auto classIndex = [](CK_CLASSID cid) -> CKBYTE {
        const CK_CLASSID classes[] = {CKCID_PARAMETERLOCAL, CKCID_PARAMETEROUT,       CKCID_PARAMETER,
                                      CKCID_PARAMETERIN,    CKCID_PARAMETEROPERATION, CKCID_PARAMETERVARIABLE};
        for (CKBYTE i = 0; i < 6; ++i)
            if (classes[i] == cid)
                return i;
        return 0;
    };
    for (CKObject* o : objects) {
        if (o == holder)
            continue;
        CKStateChunk* chunk = CKSaveObjectState(o, o == op ? 0x3C0u : 0xFFFFFFFFu);
        const char* name = o == variable ? "variable" : o->GetName();
        Put("state_chunk", std::string("param_") + name, ChunkSeed(chunk, {19, 0, 33, classIndex(o->GetClassID())}));
        CKDeleteStateChunk(chunk);
    }
    pm->GetParameterTypeDescription(CKGUID(0x11, 0x22))->Flags |= CKPARAMETERTYPE_TOSAVE;
    CKStateChunk* types = pm->SaveData(nullptr);
    Put("state_chunk", "param_user_types", ChunkSeed(types, {19, 0, 34, 1}));
    CKDeleteStateChunk(types);
}
