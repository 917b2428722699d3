#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorIO.h"
#include "core/behavior/CKBehaviorLink.h"
#include "core/behavior/CKCriticalSectionObject.h"
#include "core/behavior/CKSynchroObject.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKBeObjectLinks.h"
#include "tests/core/support/CoreTestSupport.h"

// Writes the seed corpus of the behaviour chunk fuzz target: the context of
// the target makes the same objects in the same order, so the ids agree.
//   FUZZ_SEEDS_OUT=fuzz/corpus build/dev/tests/core_tests
//     --gtest_also_run_disabled_tests --gtest_filter='*WriteBehaviorSeeds*'
namespace {

using BehaviorSeeds = EngineFixture;

void WriteSeed(const std::string& dir, const char* name, CKBYTE control, CKStateChunk* chunk)
{
    std::vector<CKBYTE> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    CKDeleteStateChunk(chunk);
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.put((char) control);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize) bytes.size());
}

// A chunk of the file form: a block whose sub-behaviour list names id.
CKStateChunk* FileForm(int dataVersion, CKObject* listed)
{
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_BEHAVIOR);
    chunk->StartWrite();
    chunk->SetDataVersion(dataVersion);
    chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORNEWDATA);
    if (dataVersion >= 5) {
        chunk->WriteDword(0x40014); // priority, class and a target follow
        chunk->WriteInt(7);
        chunk->WriteInt(CKCID_SCENE);
        chunk->WriteObject(nullptr);
        chunk->WriteDword(0x100 | 0x800);
    } else {
        chunk->WriteGuid(CKGUID(1, 2));
        for (int word : {0, (int) CKCID_BEOBJECT, 1, 3, 0, 0, 0})
            chunk->WriteInt(word);
        chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORSUBBEHAV);
    }
    XObjectPointerArray list;
    list.PushBack(listed);
    list.Save(chunk);
    if (dataVersion >= 5)
        list.Save(chunk);
    chunk->CloseChunk();
    return chunk;
}

} // namespace

TEST_F(BehaviorSeeds, DISABLED_WriteBehaviorSeeds)
{
    const char* root = std::getenv("FUZZ_SEEDS_OUT");
    ASSERT_NE(root, nullptr);
    const std::string dir = std::string(root) + "/behavior_chunk";
    std::filesystem::create_directories(dir);
    auto* owner = m_Context->CreateObject(CKCID_BEOBJECT, "Owner");
    auto* graph = static_cast<CKBehavior*>(m_Context->CreateObject(CKCID_BEHAVIOR, "Graph"));
    graph->UseGraph();
    auto* a = static_cast<CKBehavior*>(m_Context->CreateObject(CKCID_BEHAVIOR, "A"));
    auto* b = static_cast<CKBehavior*>(m_Context->CreateObject(CKCID_BEHAVIOR, "B"));
    graph->AddSubBehavior(a);
    graph->AddSubBehavior(b);
    CKBehaviorIO* in = a->CreateInput("In");
    auto* link = static_cast<CKBehaviorLink*>(m_Context->CreateObject(CKCID_BEHAVIORLINK, "Link"));
    link->SetInBehaviorIO(b->CreateOutput("Out"));
    link->SetOutBehaviorIO(in);
    auto* synchro = static_cast<CKSynchroObject*>(m_Context->CreateObject(CKCID_SYNCHRO, "Gate"));
    synchro->GetArrivedObjects().InsertRearObject(owner);
    auto* section = static_cast<CKCriticalSectionObject*>(m_Context->CreateObject(CKCID_CRITICALSECTION));
    section->SetHolder(owner->GetID());

    WriteSeed(dir, "block_file", 8, FileForm(5, graph));
    WriteSeed(dir, "graph_file", 9, FileForm(5, a));
    WriteSeed(dir, "old_file", 9, FileForm(4, b));
    WriteSeed(dir, "graph_state", 1, CKSaveObjectState(graph, 0xFFFFFFFF));
    WriteSeed(dir, "link", 10, link->Save(nullptr, 0xFF));
    WriteSeed(dir, "io", 11, in->Save(nullptr, 0xFF));
    WriteSeed(dir, "synchro", 4, CKSaveObjectState(synchro, 0xFFFFFFFF));
    WriteSeed(dir, "section", 5, CKSaveObjectState(section, 0xFFFFFFFF));
    CKStateChunk* time = CKCreateStateChunk(CKCID_OBJECT);
    time->StartWrite();
    time->WriteIdentifier(128);
    for (float v : {30.0f, 20.0f, 0.0f, 1.0f})
        time->WriteFloat(v);
    time->WriteDword(17);
    time->CloseChunk();
    WriteSeed(dir, "time", 7, time);

    // A whole file with the script for the engine file target.
    static_cast<CKBeObject*>(owner)->AddScript(graph);
    graph->SetType(1);
    const std::string files = std::string(root) + "/engine_file";
    std::filesystem::create_directories(files);
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave((files + "/behavior_script").c_str()), 0);
    file->SaveObject(owner, 0xFFFFFFFF);
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);
}
