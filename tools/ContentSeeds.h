#pragma once

// Seeds of the content-chunk fuzz target (data arrays, sounds, message
// types), an engine file holding such content and a whole composition, for
// write_fuzz_seeds; the composition is also the scene tests'.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/attribute/CKAttributeManager.h"
#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorIO.h"
#include "core/behavior/CKBehaviorLink.h"
#include "core/behavior/CKCriticalSectionObject.h"
#include "core/behavior/CKMessageManager.h"
#include "core/behavior/CKStateObject.h"
#include "core/behavior/CKSynchroObject.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/file/CKFile.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterOperation.h"
#include "core/parameter/CKParameterOut.h"
#include "core/scene/CKDataArray.h"
#include "core/scene/CKGroup.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "core/sound/CKMidiSound.h"
#include "core/sound/CKWaveSound.h"

// The user enumeration of the composition.
constexpr CKGUID kCompositionMood(0x6D6F6F64, 0x11);

// A composition holding every kind of scene content of the engine core: a
// level (the context's current one) with two scenes, a group, three objects
// with an attribute, a script whose graph holds a block with IOs and a link,
// parameters of every kind, a user enumeration, a message type, an
// operation, a data array of every column type, wave and MIDI sounds, and
// synchronisation, state and critical-section objects. The objects are
// made in the same order each time.
inline void BuildComposition(CKContext* context)
{
    auto make = [context](CK_CLASSID cid, const char* name) { return context->CreateObject(cid, name); };
    CKParameterManager* parameters = context->GetParameterManager();
    parameters->RegisterNewEnum(kCompositionMood, "Mood", "Calm=1,Angry=4");
    // As a file would have declared it, so that files carry it.
    parameters->GetParameterTypeDescription(kCompositionMood)->Flags |= CKPARAMETERTYPE_USER;
    // With the flags a type a file brings gets, so that a load keeps them.
    const int health = context->GetAttributeManager()->RegisterNewAttributeType("Health", CKPGUID_INT, CKCID_BEOBJECT,
                                                                                CK_ATTRIBUTE_FROMFILE);
    context->GetMessageManager()->AddMessageType("Alarm");

    auto* level = static_cast<CKLevel*>(make(CKCID_LEVEL, "Level"));
    context->SetCurrentLevel(level);
    for (const char* name : {"Intro", "Battle"})
        level->AddScene(static_cast<CKScene*>(make(CKCID_SCENE, name)));
    auto* group = static_cast<CKGroup*>(make(CKCID_GROUP, "Crew"));
    level->AddObject(group);
    CKBeObject* actors[3];
    for (int i = 0; i < 3; ++i) {
        actors[i] = static_cast<CKBeObject*>(make(CKCID_BEOBJECT, ("Actor " + std::to_string(i)).c_str()));
        level->AddObject(actors[i]);
        group->AddObject(actors[i]);
        actors[i]->SetAttribute(health);
    }

    auto* script = static_cast<CKBehavior*>(make(CKCID_BEHAVIOR, "Script"));
    script->SetType(1);
    script->UseGraph();
    auto* block = static_cast<CKBehavior*>(make(CKCID_BEHAVIOR, "Block"));
    script->AddSubBehavior(block);
    CKBehaviorIO* in = block->CreateInput("In");
    CKBehaviorIO* out = block->CreateOutput("Out");
    // Out loops back into In.
    auto* link = static_cast<CKBehaviorLink*>(make(CKCID_BEHAVIORLINK, "Loop"));
    link->SetOutBehaviorIO(in);
    link->SetInBehaviorIO(out);
    script->AddSubBehaviorLink(link);
    block->CreateInputParameterByGuid("Speed", CKPGUID_FLOAT);
    CKParameterOut* message = block->CreateOutputParameter("Message", CKPGUID_MESSAGE);
    message->SetStringValue("Alarm");
    CKParameterLocal* mood = script->CreateLocalParameter("Mood", kCompositionMood);
    mood->SetStringValue("Angry");
    auto* operation = static_cast<CKParameterOperation*>(make(CKCID_PARAMETEROPERATION, "Add"));
    operation->SetOperationGuid(CKGUID(0x1111, 0x2222));
    operation->SetOutParameter(static_cast<CKParameterOut*>(make(CKCID_PARAMETEROUT, "Result")));
    script->AddParameterOperation(operation);
    actors[0]->AddScript(script);

    auto* array = static_cast<CKDataArray*>(make(CKCID_DATAARRAY, "Table"));
    array->AddColumn("N", CKARRAYTYPE_INT);
    array->AddColumn("W", CKARRAYTYPE_FLOAT);
    array->AddColumn("S", CKARRAYTYPE_STRING);
    array->AddColumn("O", CKARRAYTYPE_OBJECT);
    array->AddColumn("P", CKARRAYTYPE_PARAMETER, CKPGUID_INT);
    for (int r = 0; r < 4; ++r) {
        array->AddRow();
        array->GetElement(r, 0)->Int = r * 1000 - 7;
        array->SetElementString(r, 2, r % 2 ? "odd" : nullptr);
        array->GetElement(r, 3)->Object = actors[r % 3]->GetID();
    }
    level->AddObject(array);

    auto* wave = static_cast<CKWaveSound*>(make(CKCID_WAVESOUND, "Wave"));
    wave->SetSoundFileName("step.wav");
    wave->SetAttachedObject(actors[1]->GetID());
    wave->SetCone({45, 90, 0.25f});
    level->AddObject(wave);
    auto* midi = static_cast<CKMidiSound*>(make(CKCID_MIDISOUND, "Tune"));
    midi->SetSoundFileName("tune.mid");
    level->AddObject(midi);

    auto* synchro = static_cast<CKSynchroObject*>(make(CKCID_SYNCHRO, "Gate"));
    synchro->GetArrivedObjects().InsertRearObject(actors[2]);
    static_cast<CKStateObject*>(make(CKCID_STATE, "Door"))->SetState(3);
    static_cast<CKCriticalSectionObject*>(make(CKCID_CRITICALSECTION, "Bridge"))->SetHolder(actors[0]->GetID());
}

// Saves the composition of the context (its level and the objects no level
// holds) uncompressed; the CKERROR of the save.
inline CKERROR SaveComposition(CKContext* context, const std::string& path)
{
    context->SetFileWriteMode(0);
    CKFile* file = context->CreateCKFile();
    CKERROR result = file->StartSave(path.c_str());
    if (result == CKErr::Ok) {
        file->SaveObject(context->GetObjectByNameAndClass("Level", CKCID_LEVEL), 0xFFFFFFFF);
        for (auto [name, cid] : {std::pair{"Gate", CKCID_SYNCHRO}, std::pair{"Door", CKCID_STATE},
                                 std::pair{"Bridge", CKCID_CRITICALSECTION}})
            file->SaveObject(context->GetObjectByNameAndClass(name, cid), 0xFFFFFFFF);
        result = file->EndSave();
    }
    context->DeleteCKFile(file);
    return result;
}

// The file's bytes after the engine-file fuzz target's control byte (0);
// empty when it cannot be read. The file is removed.
inline std::vector<uint8_t> EngineFileSeed(const std::string& path)
{
    std::vector<uint8_t> bytes(1, 0);
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF)
            bytes.push_back((uint8_t) c);
        std::fclose(f);
    }
    std::remove(path.c_str());
    return bytes.size() > 1 ? bytes : std::vector<uint8_t>();
}

// put(target, name, bytes) writes one seed. The context is started.
template <class Put>
void WriteContentSeeds(CKContext* context, const std::string& scratch, Put put)
{
    auto seed = [&](const char* name, uint8_t control, CKStateChunk* chunk) {
        std::vector<uint8_t> bytes(1 + (size_t) chunk->ConvertToBuffer(nullptr), control);
        chunk->ConvertToBuffer(bytes.data() + 1);
        put("content_chunk", name, bytes);
        CKDeleteStateChunk(chunk);
    };
    CKObject* object = context->CreateObject(CKCID_BEOBJECT, "Object");
    auto* array = static_cast<CKDataArray*>(context->CreateObject(CKCID_DATAARRAY, "Array"));
    array->AddColumn("N", CKARRAYTYPE_INT);
    array->AddColumn("W", CKARRAYTYPE_FLOAT);
    array->AddColumn("S", CKARRAYTYPE_STRING);
    array->AddColumn("O", CKARRAYTYPE_OBJECT);
    array->AddColumn("P", CKARRAYTYPE_PARAMETER, CKPGUID_INT);
    for (int r = 0; r < 3; ++r) {
        array->AddRow();
        array->GetElement(r, 0)->Int = 7 - r;
        array->GetElement(r, 1)->Float = 0.5f * r;
        array->SetElementString(r, 2, r ? "text" : nullptr);
        array->GetElement(r, 3)->Object = object->GetID();
        array->GetElement(r, 4)->Parameter->SetValue(&r, 4);
    }
    seed("array", 0, CKSaveObjectState(array));
    CKFile* file = context->CreateCKFile();
    seed("array_file", 8, array->Save(file, 0xFFFFFFFF));
    context->DeleteCKFile(file);

    auto* wave = static_cast<CKWaveSound*>(context->CreateObject(CKCID_WAVESOUND, "Wave"));
    wave->SetSoundFileName("step.wav");
    wave->SetAttachedObject(object->GetID());
    seed("wave", 1, CKSaveObjectState(wave));
    auto* midi = static_cast<CKMidiSound*>(context->CreateObject(CKCID_MIDISOUND, "Midi"));
    midi->SetSoundFileName("tune.mid");
    seed("midi", 2, CKSaveObjectState(midi));

    CKParameterOut* message = context->CreateCKParameterOut("Message", CKPGUID_MESSAGE);
    message->SetStringValue("Alarm");
    const std::string path = scratch + "/content.qbx";
    file = context->CreateCKFile();
    file->StartSave(path.c_str());
    for (CKObject* saved : {(CKObject*) array, (CKObject*) wave, (CKObject*) midi, (CKObject*) message, object})
        file->SaveObject(saved, 0xFFFFFFFF);
    seed("message_types", 3, context->GetMessageManager()->SaveData(file));
    file->EndSave();
    context->DeleteCKFile(file);

    put("engine_file", "content", EngineFileSeed(path));
}

// The composition of BuildComposition as an engine-file seed, built in a
// context of its own (interface mode on, as an editor saves).
template <class Put>
void WriteCompositionSeed(const std::string& scratch, Put put)
{
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0)
        return;
    context->SetInterfaceMode(TRUE, nullptr, nullptr);
    BuildComposition(context);
    const std::string path = scratch + "/composition.qbx";
    if (SaveComposition(context, path) == CKErr::Ok)
        put("engine_file", "composition", EngineFileSeed(path));
    CKCloseContext(context);
}
