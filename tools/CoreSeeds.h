#pragma once

// Seeds of the behaviour-chunk, scene-chunk and state-chunk fuzz targets, and
// engine files holding behaviours, levels and parameters, for
// write_fuzz_seeds. Each writer takes a fresh context: the fuzz targets make
// the same objects in the same order, so the ids in the chunks agree.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "core/attribute/CKAttributeManager.h"
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
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterOperation.h"
#include "core/scene/CKGroup.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "core/scene/CKSceneObjectDesc.h"
#include "tools/ParameterWorld.h"

// The bytes of a chunk, which is deleted.
inline std::vector<uint8_t> SeedChunkBytes(CKStateChunk* chunk)
{
    std::vector<uint8_t> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    CKDeleteStateChunk(chunk);
    return bytes;
}

// A control byte, then the bytes.
inline std::vector<uint8_t> SeedWithControl(uint8_t control, const std::vector<uint8_t>& bytes)
{
    std::vector<uint8_t> seed(bytes.size() + 1);
    seed[0] = control;
    std::copy(bytes.begin(), bytes.end(), seed.begin() + 1);
    return seed;
}

// The objects saved into a file at path, whose bytes are returned (the file
// is removed); empty when the save fails.
inline std::vector<uint8_t> SeedFileBytes(CKContext* context, const std::string& path,
                                          const std::vector<CKObject*>& objects, CKDWORD flags)
{
    std::vector<uint8_t> bytes;
    CKFile* file = context->CreateCKFile();
    bool saved = file->StartSave(path.c_str()) == 0;
    for (CKObject* o : objects)
        if (saved)
            file->SaveObject(o, flags);
    saved = saved && file->EndSave() == 0;
    context->DeleteCKFile(file);
    if (FILE* f = saved ? std::fopen(path.c_str(), "rb") : nullptr) {
        int c;
        while ((c = std::fgetc(f)) != EOF)
            bytes.push_back((uint8_t) c);
        std::fclose(f);
    }
    std::remove(path.c_str());
    return bytes;
}

// A behaviour chunk of the file form: a block whose sub-behaviour list names
// listed.
inline CKStateChunk* BehaviorFileForm(int dataVersion, CKObject* listed)
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

// put(target, name, bytes) writes one seed; scratch is a folder for files.
template <class Put>
void WriteBehaviorSeeds(CKContext* context, const std::string& scratch, Put put)
{
    auto seed = [&](const char* name, uint8_t control, CKStateChunk* chunk) {
        put("behavior_chunk", name, SeedWithControl(control, SeedChunkBytes(chunk)));
    };
    auto* owner = static_cast<CKBeObject*>(context->CreateObject(CKCID_BEOBJECT, "Owner"));
    auto* graph = static_cast<CKBehavior*>(context->CreateObject(CKCID_BEHAVIOR, "Graph"));
    graph->UseGraph();
    auto* a = static_cast<CKBehavior*>(context->CreateObject(CKCID_BEHAVIOR, "A"));
    auto* b = static_cast<CKBehavior*>(context->CreateObject(CKCID_BEHAVIOR, "B"));
    graph->AddSubBehavior(a);
    graph->AddSubBehavior(b);
    CKBehaviorIO* in = a->CreateInput("In");
    auto* link = static_cast<CKBehaviorLink*>(context->CreateObject(CKCID_BEHAVIORLINK, "Link"));
    link->SetInBehaviorIO(b->CreateOutput("Out"));
    link->SetOutBehaviorIO(in);
    auto* synchro = static_cast<CKSynchroObject*>(context->CreateObject(CKCID_SYNCHRO, "Gate"));
    synchro->GetArrivedObjects().InsertRearObject(owner);
    auto* section = static_cast<CKCriticalSectionObject*>(context->CreateObject(CKCID_CRITICALSECTION));
    section->SetHolder(owner->GetID());

    seed("block_file", 8, BehaviorFileForm(5, graph));
    seed("graph_file", 9, BehaviorFileForm(5, a));
    seed("old_file", 9, BehaviorFileForm(4, b));
    seed("graph_state", 1, CKSaveObjectState(graph, 0xFFFFFFFF));
    seed("link", 10, link->Save(nullptr, 0xFF));
    seed("io", 11, in->Save(nullptr, 0xFF));
    seed("synchro", 4, CKSaveObjectState(synchro, 0xFFFFFFFF));
    seed("section", 5, CKSaveObjectState(section, 0xFFFFFFFF));
    CKStateChunk* time = CKCreateStateChunk(CKCID_OBJECT);
    time->StartWrite();
    time->WriteIdentifier(128);
    for (float v : {30.0f, 20.0f, 0.0f, 1.0f})
        time->WriteFloat(v);
    time->WriteDword(17);
    time->CloseChunk();
    seed("time", 7, time);

    // A whole file with the script, for the engine file target (which reads
    // a control byte first).
    owner->AddScript(graph);
    graph->SetType(1);
    put("engine_file", "behavior_script",
        SeedWithControl(0, SeedFileBytes(context, scratch + "/behavior_script.qdx", {owner}, 0xFFFFFFFF)));
}

template <class Put>
void WriteSceneSeeds(CKContext* context, const std::string& scratch, Put put)
{
    auto seed = [&](const std::string& name, uint8_t control, CKStateChunk* chunk) {
        put("scene_chunk", name, SeedWithControl(control, SeedChunkBytes(chunk)));
    };
    auto make = [&](CK_CLASSID cid, const std::string& name) { return context->CreateObject(cid, name.c_str()); };
    CKAttributeManager* attributes = context->GetAttributeManager();
    const int tag = attributes->RegisterNewAttributeType("Tag", CKGUID());
    const int value = attributes->RegisterNewAttributeType("Value", CKPGUID_INT);
    attributes->SetAttributeCategory(value, "Values");
    auto* level = static_cast<CKLevel*>(make(CKCID_LEVEL, "Level"));
    context->SetCurrentLevel(level);
    auto* scene = static_cast<CKScene*>(make(CKCID_SCENE, "Scene"));
    level->AddScene(scene);
    scene->SetFogMode(2);
    auto* group = static_cast<CKGroup*>(make(CKCID_GROUP, "Group"));
    auto* inner = static_cast<CKGroup*>(make(CKCID_GROUP, "Inner"));
    group->AddObject(inner);
    level->AddObject(group);
    for (int i = 0; i < 3; ++i) {
        auto* object = static_cast<CKBeObject*>(make(CKCID_BEOBJECT, "Object " + std::to_string(i)));
        level->AddObject(object);
        scene->AddObject(object, TRUE);
        inner->AddObject(object);
        object->SetAttribute(i % 2 ? tag : value);
        scene->GetSceneObjectDesc(object)->SetInitialValue(CKSaveObjectState(object));
    }
    seed("scene", 0, CKSaveObjectState(scene));
    seed("level", 1, level->Save(nullptr, 0xFFFFFFFF));
    seed("level_file", 9, level->Save(nullptr, 0xFFFFFFFF));
    seed("group", 2, CKSaveObjectState(group));
    seed("object", 3, CKSaveObjectState(level->GetLevelScene()));
    seed("attributes", 4, attributes->SaveData(nullptr));
    seed("level_scene", 5, CKSaveObjectState(level->GetLevelScene()));
    seed("inner", 6, CKSaveObjectState(inner));

    // The oldest scene form: descriptor chunks of class 47 under 256.
    CKStateChunk* oldest = CKCreateStateChunk(CKCID_SCENE);
    oldest->StartWrite();
    oldest->SetDataVersion(0);
    oldest->WriteIdentifier(CK_STATESAVE_SCENEOLD_LEVEL);
    oldest->WriteObjectID(level->GetID());
    oldest->WriteIdentifier(CK_STATESAVE_SCENEOLD_OBJECTS);
    oldest->WriteInt(1);
    oldest->WriteObjectID(group->GetID());
    CKStateChunk* desc = CKCreateStateChunk(47);
    desc->StartWrite();
    desc->WriteIdentifier(CK_STATESAVE_SCENEOLD_DESCFLAGS16);
    desc->WriteIdentifier(CK_STATESAVE_SCENEOLD_DESCRIPTOR);
    desc->WriteObjectID(group->GetID());
    desc->WriteSubChunk(nullptr);
    desc->WriteSubChunk(nullptr);
    desc->WriteDword(9);
    desc->WriteDword(0);
    desc->CloseChunk();
    oldest->WriteSubChunk(desc);
    CKDeleteStateChunk(desc);
    oldest->CloseChunk();
    seed("scene_oldest", 7, oldest);

    // Whole files, stored plain and packed.
    for (int mode : {0, 8}) {
        context->SetFileWriteMode(mode);
        put("engine_file", mode ? "level_packed" : "level_plain",
            SeedWithControl(0, SeedFileBytes(context, scratch + "/level.qbx", {level}, 0xFFFFFFFF)));
    }
}

// The parameter world saved whole, plain and packed, and chunks of some of
// its parameters: each loaded into a parameter of its class by the state
// chunk target's operation 33, or read as user types (34). *failures counts
// what the context refused.
template <class Put>
void WriteParameterSeeds(CKContext* context, const std::string& scratch, Put put, int* failures)
{
    EngineVariables variables;
    if (!PrepareParameterWorldContext(context, variables))
        ++*failures;
    std::vector<CKObject*> saved = BuildParameterWorld(context, 160, failures);
    auto* op = static_cast<CKParameterOperation*>(context->CreateObject(CKCID_PARAMETEROPERATION, "op"));
    op->SetOperationGuid(CKGUID(0x0CD9471A, 0x52D93818));
    op->SetInParameter1(
        context->CreateCKParameterIn(nullptr, context->GetParameterManager()->ParameterGuidToType(CKPGUID_FLOAT)));
    op->SetOutParameter(context->CreateCKParameterOut(nullptr, CKPGUID_FLOAT));
    op->Update();
    saved.push_back(op);
    for (int mode : {0, 8}) {
        context->SetFileWriteMode(mode);
        put("engine_file", mode ? "params_packed" : "params_plain",
            SeedWithControl(0, SeedFileBytes(context, scratch + "/params.qdx", saved, 0)));
    }
    const CK_CLASSID classes[] = {CKCID_PARAMETERLOCAL, CKCID_PARAMETEROUT,       CKCID_PARAMETER,
                                  CKCID_PARAMETERIN,    CKCID_PARAMETEROPERATION, CKCID_PARAMETERVARIABLE};
    auto chunkSeed = [&](CKStateChunk* chunk, uint8_t operation, uint8_t argument) {
        std::vector<uint8_t> seed = {0, 4, 19, 0, operation, argument};
        const std::vector<uint8_t> bytes = SeedChunkBytes(chunk);
        seed.insert(seed.end(), bytes.begin(), bytes.end());
        return seed;
    };
    for (size_t i = 0; i < saved.size(); i += 7) {
        CKObject* o = saved[i];
        const auto index = (uint8_t) (std::find(std::begin(classes), std::end(classes), o->GetClassID()) - classes);
        if (index < 6)
            put("state_chunk", "param_" + std::to_string(i), chunkSeed(CKSaveObjectState(o, 0x3C0), 33, index));
    }
    context->GetParameterManager()->GetParameterTypeDescription(kFileMode)->Flags |= CKPARAMETERTYPE_TOSAVE;
    put("state_chunk", "param_user_types", chunkSeed(context->GetParameterManager()->SaveData(nullptr), 34, 1));
    UnbindParameterWorldVariables(context);
}
