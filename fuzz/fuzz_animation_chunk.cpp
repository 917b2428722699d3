// Reads arbitrary bytes as the state chunk of an object animation, an
// animation, a keyed animation, a character or a body part (the controllers
// of every type code, the morph keys and the object lists), loads it into a
// fresh object, exercises what was loaded and saves it again.
//
// Input: a control byte (bits 0-2: the class, 0 object animation, 1
// animation, 2 keyed animation, 3 character, 4 body part, else object
// animation; bit 3: the load is told it reads a file), then a serialised
// chunk bound to a file of six records, so that the references in the chunk
// are record indices:
//   0 a 3D entity, 1 an object animation, 2 a keyed animation, 3 a
//   character, 4 a body part, 5 the loading object itself.
// tools/write_fuzz_seeds writes the seeds with the same records.

#include <cstddef>
#include <cstdint>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/RCKBodyPart.h"
#include "render/animation/RCKCharacter.h"
#include "render/animation/RCKKeyedAnimation.h"
#include "render/animation/RCKObjectAnimation.h"
#include "render/context/CKRenderEngine.h"

namespace {

void StartOnce()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    CKStartUp();
    CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
}

const CK_CLASSID kClasses[] = {CKCID_OBJECTANIMATION, CKCID_ANIMATION, CKCID_KEYEDANIMATION, CKCID_CHARACTER,
                               CKCID_BODYPART};

void Exercise(CKObject* object)
{
    if (CKIsChildClassOfObject(object, CKCID_OBJECTANIMATION)) {
        auto* a = static_cast<CKObjectAnimation*>(object);
        a->SetStep(0.5f, -1);
        a->Compare(a, 0.0f);
        float value[4];
        for (CKAnimController* c : {a->GetPositionController(), a->GetRotationController(), a->GetScaleController(),
                                    a->GetScaleAxisController(), a->GetNamedController(0)})
            if (c)
                for (float t : {-1.0f, 0.5f, 3.0f, 1e9f})
                    c->Evaluate(t, value);
        if (CKMorphController* morph = a->GetMorphController()) {
            QxVector positions[4];
            morph->EvaluateMorph(1.5f, 4, positions, sizeof(QxVector), positions, sizeof(QxVector));
        }
    } else if (CKIsChildClassOfObject(object, CKCID_KEYEDANIMATION)) {
        auto* k = static_cast<CKKeyedAnimation*>(object);
        k->SetStep(0.25f);
        k->GetRootEntity();
    } else if (CKIsChildClassOfObject(object, CKCID_CHARACTER)) {
        auto* c = static_cast<CKCharacter*>(object);
        c->GetRootBodyPart();
        c->AlignCharacterWithRootPosition();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1 << 20))
        return 0;
    StartOnce();
    CKContext* context = nullptr;
    CKCreateContext(&context, nullptr, nullptr);
    const int kind = (data[0] & 7) < 5 ? data[0] & 7 : 0;
    CKObject* object = context->CreateObject(kClasses[kind], "loaded");
    CKObject* records[] = {
        context->CreateObject(CKCID_3DENTITY, "entity"),      context->CreateObject(CKCID_OBJECTANIMATION, "walk"),
        context->CreateObject(CKCID_KEYEDANIMATION, "keyed"), context->CreateObject(CKCID_CHARACTER, "hero"),
        context->CreateObject(CKCID_BODYPART, "hips"),        object};
    CKFile* file = context->CreateCKFile();
    for (CKObject* o : records) {
        int index = file->AddObjectRecord(o->GetID(), o->GetClassID());
        file->m_FileObjects[index].m_CreatedObject = o->GetID();
    }

    CKStateChunk* chunk = CKCreateStateChunk(kClasses[kind], file);
    if (chunk->ConvertFromBuffer(data + 1, (int) size - 1)) {
        object->Load(chunk, (data[0] & 8) ? file : nullptr);
        object->PostLoad();
        Exercise(object);
    }
    CKDeleteStateChunk(chunk);

    CKStateChunk* saved = object->Save(nullptr, 0xFFFFFFFF);
    if (saved)
        saved->ConvertToBuffer(nullptr);
    CKDeleteStateChunk(saved);
    context->DeleteCKFile(file);
    CKCloseContext(context);
    return 0;
}
