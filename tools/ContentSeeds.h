#pragma once

// Seeds of the content-chunk fuzz target (data arrays, sounds, message
// types) and an engine file holding such content, for write_fuzz_seeds.

#include <cstdint>
#include <string>
#include <vector>

#include "core/behavior/CKMessageManager.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/file/CKFile.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterOut.h"
#include "core/scene/CKDataArray.h"
#include "core/sound/CKMidiSound.h"
#include "core/sound/CKWaveSound.h"

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

    // The engine file target reads a control byte first.
    std::vector<uint8_t> bytes(1, 0);
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF)
            bytes.push_back((uint8_t) c);
        std::fclose(f);
    }
    std::remove(path.c_str());
    put("engine_file", "content", bytes.size() > 1 ? bytes : std::vector<uint8_t>());
}
