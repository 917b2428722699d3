// Loads arbitrary bytes, read as a serialised state chunk, into a scene, a
// level, a group, a behavioural object or the attribute manager of a context
// that holds a few objects of each kind, then saves and deletes what was
// loaded. References in the chunk name those objects by their small ids.
//
// Input: a control byte (bits 0-2: the loader; bit 3: load with a file),
// then the chunk bytes.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "core/attribute/CKAttributeManager.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/scene/CKGroup.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"

namespace {

template <class T>
T* Make(CKContext* context, CK_CLASSID cid, const char* name)
{
    return static_cast<T*>(context->CreateObject(cid, name));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1 << 20))
        return 0;
    CKContext* context = nullptr;
    CKCreateContext(&context, nullptr, nullptr);
    CKAttributeManager* attributes = context->GetAttributeManager();
    const int tag = attributes->RegisterNewAttributeType("Tag", CKGUID());
    const int value = attributes->RegisterNewAttributeType("Value", CKPGUID_INT);
    attributes->SetAttributeCategory(value, "Values");

    auto* level = Make<CKLevel>(context, CKCID_LEVEL, "Level");
    context->SetCurrentLevel(level);
    auto* scene = Make<CKScene>(context, CKCID_SCENE, "Scene");
    level->AddScene(scene);
    auto* group = Make<CKGroup>(context, CKCID_GROUP, "Group");
    auto* inner = Make<CKGroup>(context, CKCID_GROUP, "Inner");
    group->AddObject(inner);
    CKBeObject* objects[4];
    for (CKBeObject*& object : objects) {
        object = Make<CKBeObject>(context, CKCID_BEOBJECT, "Object");
        level->AddObject(object);
        inner->AddObject(object);
        object->SetAttribute(tag);
        object->SetAttribute(value);
    }
    level->AddObject(group);

    CKStateChunk* chunk = CKCreateStateChunk(0);
    if (chunk->ConvertFromBuffer(data + 1, (int) size - 1)) {
        CKFile* file = (data[0] & 8) ? context->CreateCKFile() : nullptr;
        switch (data[0] & 7) {
        case 0: scene->Load(chunk, file); break;
        case 1: level->Load(chunk, file); break;
        case 2:
            group->Load(chunk, file);
            group->PostLoad();
            break;
        case 3: objects[0]->Load(chunk, file); break;
        case 4: attributes->LoadData(chunk, file); break;
        case 5: level->GetLevelScene()->Load(chunk, file); break;
        case 6:
            inner->Load(chunk, file);
            inner->PostLoad();
            group->Show(CKHIDE);
            break;
        default:
            scene->Load(chunk, file);
            level->PatchAfterLoad(0, nullptr);
            break;
        }
        if (file)
            context->DeleteCKFile(file);
        // What was loaded saves again and goes away cleanly.
        for (CKObject* object : std::initializer_list<CKObject*>{scene, level, group, inner, objects[0]})
            CKDeleteStateChunk(CKSaveObjectState(object));
        CKDeleteStateChunk(attributes->SaveData(nullptr));
        context->DestroyObject(scene);
        context->DestroyObject(objects[1]);
    }
    CKDeleteStateChunk(chunk);
    CKCloseContext(context);
    return 0;
}
