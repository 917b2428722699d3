#include "exporter/builder/ExportBuilder.h"

#include <cstring>
#include <unordered_set>
#include <vector>

#include "core/attribute/CKAttributeManager.h"
#include "core/behavior/CKBehavior.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectIDList.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterManager.h"
#include "core/scene/CKGroup.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "exporter/report/ReportPrintf.h"
#include "render/animation/CKBodyPart.h"
#include "render/animation/CKCharacter.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK3dObject.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKCurve.h"
#include "render/objects/CKCurvePoint.h"
#include "render/objects/CKLight.h"
#include "render/objects/CKPlace.h"

namespace {

// Frame entities show as axes in the engine's editors.
constexpr CKDWORD kFrameEntityFlags = 2;
// Attributes the builder registers apply to 3D entities; flag 16 as the
// exporter's attributes have always been registered.
constexpr CKDWORD kAttributeFlags = 16;
// Load flags of a script file.
constexpr CKDWORD kScriptLoadFlags = 3;

template <class Table>
void RemoveValues(Table& table, const ExportBuilder::ObjectSet& gone)
{
    // Removing moves the last entry into the freed slot: look at the same
    // slot again.
    for (auto it = table.Begin(); it != table.End();)
        if (gone.count(static_cast<const CKObject*>(*it)))
            table.Remove(it.GetKey());
        else
            ++it;
}

// Keeps the order of what stays.
template <class T>
void RemoveAllOf(XArray<T*>& list, const ExportBuilder::ObjectSet& gone)
{
    int kept = 0;
    for (int i = 0; i < list.Size(); ++i)
        if (!gone.count(static_cast<const CKObject*>(list[i])))
            list[kept++] = list[i];
    list.Resize(kept);
}

// The object when it can carry scripts and attributes, else null.
CKBeObject* AsBeObject(CKObject* object)
{
    return object && CKIsChildClassOfObject(object, CKCID_BEOBJECT) ? static_cast<CKBeObject*>(object) : nullptr;
}

template <class T>
T* FindIn(const ExportTable<T>& table, ExportKey key)
{
    auto it = table.Find(key);
    return it == table.End() ? nullptr : *it;
}

} // namespace

ExportBuilder::ExportBuilder(CKContext* ctx, CKBOOL createLevel)
    : entities(16), meshes(16), materials(16), textures(16), objectAnimations(16), lights(16), cameras(16), groups(16),
      context(ctx)
{
    if (createLevel && context) {
        auto* level = static_cast<CKLevel*>(context->CreateObject(CKCID_LEVEL, "Level", creationOptions));
        if (level)
            context->SetCurrentLevel(level);
    }
}

ExportBuilder::~ExportBuilder()
{
    for (MeshBuilder* kept : meshBuilders)
        delete kept;
}

// Creation.

CKObject* ExportBuilder::Create(CK_CLASSID cid, const char* name)
{
    CKObject* object = context ? context->CreateObject(cid, name, creationOptions) : nullptr;
    if (!object) {
        ReportPrintf(exporter, 1, "Error : cannot create the %s \"%s\"\r\n", CKClassIDToString(cid), name ? name : "");
        return nullptr;
    }
    createdObjects.PushBack(object);
    return object;
}

template <class T>
T* ExportBuilder::CreateMapped(CK_CLASSID cid, const char* name, ExportKey key, ExportTable<T>& table)
{
    auto* object = static_cast<T*>(Create(cid, name));
    if (object && key)
        table.Insert(key, object);
    return object;
}

CK3dObject* ExportBuilder::CreateObject3D(const char* name, ExportKey node)
{
    return static_cast<CK3dObject*>(CreateMapped<CK3dEntity>(CKCID_3DOBJECT, name, node, entities));
}

CK3dEntity* ExportBuilder::CreateEntity(const char* name, ExportKey node)
{
    CK3dEntity* entity = CreateMapped<CK3dEntity>(CKCID_3DENTITY, name, node, entities);
    if (entity)
        entity->SetFlags(kFrameEntityFlags);
    return entity;
}

CKPlace* ExportBuilder::CreatePlace(const char* name, ExportKey node)
{
    return static_cast<CKPlace*>(CreateMapped<CK3dEntity>(CKCID_PLACE, name, node, entities));
}

CKBodyPart* ExportBuilder::CreateBodyPart(const char* name, ExportKey node)
{
    auto* part = static_cast<CKBodyPart*>(CreateMapped<CK3dEntity>(CKCID_BODYPART, name, node, entities));
    if (!part)
        return nullptr;
    if (character)
        character->AddBodyPart(part);
    bodyParts.PushBack(part);
    return part;
}

CKGroup* ExportBuilder::CreateGroup(const char* name, ExportKey node)
{
    return CreateMapped<CKGroup>(CKCID_GROUP, name, node, groups);
}

CKCurve* ExportBuilder::CreateCurve(const char* name, ExportKey node)
{
    return static_cast<CKCurve*>(CreateMapped<CK3dEntity>(CKCID_CURVE, name, node, entities));
}

CKCurvePoint* ExportBuilder::CreateCurvePoint(CKCurve* curve, const char* name, ExportKey node)
{
    auto* point = static_cast<CKCurvePoint*>(CreateMapped<CK3dEntity>(CKCID_CURVEPOINT, name, node, entities));
    if (point && curve)
        curve->AddControlPoint(point);
    return point;
}

CKMesh* ExportBuilder::CreatePatchMesh(const char* name, ExportKey node)
{
    return CreateMapped<CKMesh>(CKCID_PATCHMESH, name, node, meshes);
}

CK3dEntity* ExportBuilder::CreateTarget(const char* name, const char* fallback)
{
    XString targetName(name ? name : fallback);
    targetName += "_Target";
    return static_cast<CK3dEntity*>(Create(CKCID_3DENTITY, targetName.CStr()));
}

CKLight* ExportBuilder::CreateLight(CKBOOL targeted, CKDWORD type, const char* name, ExportKey node, CKBOOL withTarget)
{
    CK3dEntity* target = targeted && withTarget ? CreateTarget(name, "Light") : nullptr;
    CKLight* light = CreateMapped<CKLight>(targeted ? CKCID_TARGETLIGHT : CKCID_LIGHT, name, node, lights);
    if (!light) {
        // A target without its light would be saved as a stray entity.
        DestroyObject(target, 0);
        return nullptr;
    }
    if (target)
        light->SetTarget(target);
    light->SetType(type);
    return light;
}

CKCamera* ExportBuilder::CreateCamera(CKBOOL targeted, const char* name, ExportKey node, CKBOOL withTarget)
{
    CK3dEntity* target = targeted && withTarget ? CreateTarget(name, "Camera") : nullptr;
    CKCamera* camera = CreateMapped<CKCamera>(targeted ? CKCID_TARGETCAMERA : CKCID_CAMERA, name, node, cameras);
    if (!camera) {
        DestroyObject(target, 0);
        return nullptr;
    }
    if (target)
        camera->SetTarget(target);
    return camera;
}

CKObjectAnimation* ExportBuilder::CreateObjectAnimation(CK3dEntity* entity, const char* name, ExportKey node)
{
    auto* objectAnimation = static_cast<CKObjectAnimation*>(Create(CKCID_OBJECTANIMATION, name));
    if (!objectAnimation)
        return nullptr;
    objectAnimation->Set3dEntity(entity);
    RecordObjectAnimation(objectAnimation, node);
    return objectAnimation;
}

void ExportBuilder::AddObjectAnimation(CKObjectAnimation* objectAnimation, ExportKey node)
{
    if (!objectAnimation)
        return;
    AddCreatedObject(objectAnimation);
    RecordObjectAnimation(objectAnimation, node);
}

void ExportBuilder::RecordObjectAnimation(CKObjectAnimation* objectAnimation, ExportKey node)
{
    if (node)
        objectAnimations.Insert(node, objectAnimation);
    if (animation)
        animation->AddAnimation(objectAnimation);
    objectAnimationList.AddIfNotHere(objectAnimation);
}

CKKeyedAnimation* ExportBuilder::CreateAnimation(const char* name)
{
    auto* keyed = static_cast<CKKeyedAnimation*>(Create(CKCID_KEYEDANIMATION, name));
    if (!keyed)
        return nullptr;
    animation = keyed;
    for (CKObjectAnimation* objectAnimation : objectAnimationList)
        if (objectAnimation)
            animation->AddAnimation(objectAnimation);
    if (character)
        character->AddAnimation(animation);
    return animation;
}

CKCharacter* ExportBuilder::CreateCharacter(const char* name)
{
    auto* made = static_cast<CKCharacter*>(Create(CKCID_CHARACTER, name));
    if (!made)
        return nullptr;
    character = made;
    for (CKBodyPart* part : bodyParts)
        if (part)
            character->AddBodyPart(part);
    if (animation)
        character->AddAnimation(animation);
    return character;
}

void ExportBuilder::AddCreatedObject(CKObject* object)
{
    if (object)
        createdObjects.AddIfNotHere(object);
}

// Lookups.

CK3dEntity* ExportBuilder::FindEntity(ExportKey node) const
{
    return FindIn(entities, node);
}

CKMaterial* ExportBuilder::FindMaterial(ExportKey key) const
{
    return FindIn(materials, key);
}

CKLight* ExportBuilder::FindLight(ExportKey node) const
{
    return FindIn(lights, node);
}

CKCamera* ExportBuilder::FindCamera(ExportKey node) const
{
    return FindIn(cameras, node);
}

// Destruction.

void ExportBuilder::ForgetObject(CKObject* object)
{
    if (!object)
        return;
    if (savedObjects) {
        const CK_ID id = object->GetID();
        while (savedObjects->FindID(id))
            savedObjects->RemoveCurrent();
    }
    DropRecords(ObjectSet{object});
}

void ExportBuilder::DropRecords(const ObjectSet& gone)
{
    if (gone.empty())
        return;
    RemoveValues(entities, gone);
    RemoveValues(meshes, gone);
    RemoveValues(materials, gone);
    RemoveValues(textures, gone);
    RemoveValues(textureFiles, gone);
    RemoveValues(objectAnimations, gone);
    RemoveValues(lights, gone);
    RemoveValues(cameras, gone);
    RemoveValues(groups, gone);
    RemoveAllOf(createdObjects, gone);
    RemoveAllOf(objectAnimationList, gone);
    RemoveAllOf(bodyParts, gone);
    RemoveAllOf(singleKeyAnimations, gone);
    for (int i = multiMaterials.Size() - 1; i >= 0; --i) {
        MultiMaterialRecord& record = multiMaterials[i];
        if (gone.count(record.base)) {
            multiMaterials.RemoveAt(i);
            continue;
        }
        for (int c = record.channels.Size() - 1; c >= 0; --c)
            if (gone.count(record.channels[c].material))
                record.channels.RemoveAt(c);
    }
    for (const CKObject* object : gone) {
        // A later mesh at the same address must not find this one's builder.
        meshBuilderIndices.Remove((ExportKey) object);
        if (static_cast<CKObject*>(character) == object)
            character = nullptr;
        if (static_cast<CKObject*>(animation) == object)
            animation = nullptr;
        if (static_cast<CKObject*>(environment.startingCamera) == object)
            environment.startingCamera = nullptr;
        if (environment.sceneObject == object)
            environment.sceneObject = nullptr;
    }
}

void ExportBuilder::DestroyWithDependencies(CKObject* object)
{
    if (object) {
        XArray<CK_ID> ids;
        ids.PushBack(object->GetID());
        DestroyWithDependencies(ids);
    }
}

void ExportBuilder::DestroyWithDependencies(const XArray<CK_ID>& ids)
{
    if (!context || ids.Size() == 0)
        return;
    ObjectSet gone;
    std::unordered_set<CK_ID> goneIds;
    XArray<CK_ID> live;
    for (CK_ID id : ids)
        if (CKObject* object = context->GetObject(id)) {
            gone.insert(object);
            if (goneIds.insert(id).second)
                live.PushBack(id);
        }
    if (savedObjects) {
        for (savedObjects->Reset(); !savedObjects->EndOfList();) {
            if (goneIds.count(savedObjects->GetCurrentID()))
                savedObjects->RemoveCurrent();
            else
                savedObjects->Next();
        }
    }
    DropRecords(gone);
    context->DestroyObjects(live.Begin(), live.Size(), 0, CKGetDefaultClassDependencies(2));
    // The dependencies may have taken recorded objects along.
    ForgetDestroyedObjects();
}

void ExportBuilder::ForgetDestroyedObjects()
{
    if (!context)
        return;
    if (savedObjects)
        savedObjects->Check(context);
    ObjectSet live;
    for (CKObject* object : context->GetObjectListByType(CKCID_OBJECT, TRUE))
        live.insert(object);
    ObjectSet dead;
    auto gather = [&](const CKObject* object) {
        if (object && !live.count(object))
            dead.insert(object);
    };
    for (CKObject* object : createdObjects)
        gather(object);
    for (CKObjectAnimation* object : objectAnimationList)
        gather(object);
    for (CKBodyPart* object : bodyParts)
        gather(object);
    for (CKObjectAnimation* object : singleKeyAnimations)
        gather(object);
    for (CK3dEntity* object : entities)
        gather(object);
    for (CKMesh* object : meshes)
        gather(object);
    for (CKMaterial* object : materials)
        gather(object);
    for (CKTexture* object : textures)
        gather(object);
    for (CKTexture* object : textureFiles)
        gather(object);
    for (CKObjectAnimation* object : objectAnimations)
        gather(object);
    for (CKLight* object : lights)
        gather(object);
    for (CKCamera* object : cameras)
        gather(object);
    for (CKGroup* object : groups)
        gather(object);
    for (const MultiMaterialRecord& record : multiMaterials) {
        gather(record.base);
        for (const MultiMaterialChannel& channel : record.channels)
            gather(channel.material);
    }
    gather(character);
    gather(animation);
    gather(environment.startingCamera);
    gather(environment.sceneObject);
    DropRecords(dead);
}

void ExportBuilder::DestroyObject(CKObject* object, ExportKey key)
{
    (void) key; // every table is searched by value: a key adds nothing
    if (!object)
        return;
    CK_ID id = object->GetID();
    ForgetObject(object);
    if (context)
        context->DestroyObjectByID(id, 0);
}

// Engine services.

CKParameter* ExportBuilder::MakeObjectParameter(CKObject* object, CK_CLASSID classId)
{
    auto* parameter = static_cast<CKParameter*>(context->CreateObject(CKCID_PARAMETER, nullptr, creationOptions));
    if (!parameter)
        return nullptr;
    parameter->SetGUID(CKGetClassParameterGuid(object ? object->GetClassID() : classId));
    CK_ID id = object ? object->GetID() : 0;
    parameter->SetValue(&id, sizeof(id));
    return parameter;
}

CKParameter* ExportBuilder::MakeFloatParameter(float value)
{
    auto* parameter = static_cast<CKParameter*>(context->CreateObject(CKCID_PARAMETER, nullptr, creationOptions));
    if (!parameter)
        return nullptr;
    parameter->SetGUID(CKPGUID_FLOAT);
    parameter->SetValue(&value, sizeof(value));
    return parameter;
}

CKParameter* ExportBuilder::MakeStringParameter(const char* text)
{
    auto* parameter = static_cast<CKParameter*>(context->CreateObject(CKCID_PARAMETER, nullptr, creationOptions));
    if (!parameter)
        return nullptr;
    parameter->SetGUID(CKPGUID_STRING);
    const char* value = text ? text : "";
    parameter->SetValue(value, (int) std::strlen(value) + 1);
    return parameter;
}

CKBOOL ExportBuilder::SetAttribute(CKObject* object, const char* attributeName, const char* valueText,
                                   const char* typeName, const char* categoryName)
{
    CKBeObject* target = AsBeObject(object);
    CKAttributeManager* attributes = context->GetAttributeManager();
    if (!target || !attributeName)
        return 0;
    int type = attributes->GetAttributeTypeByName(attributeName);
    if (type < 0) {
        CKParameterManager* parameters = context->GetParameterManager();
        const CKParameterTypeDesc* found = nullptr;
        for (int i = 0; i < parameters->GetParameterTypesCount() && !found; ++i) {
            const CKParameterTypeDesc* desc = parameters->GetParameterTypeDescriptionByIndex(i);
            if (desc && typeName && desc->Name == typeName)
                found = desc;
        }
        if (!found)
            return 0;
        type = attributes->RegisterNewAttributeType(attributeName, found->Guid, CKCID_3DENTITY, kAttributeFlags);
        if (type < 0)
            return 0;
        attributes->AddCategory(categoryName ? categoryName : "");
        attributes->SetAttributeCategory(type, categoryName ? categoryName : "");
    }
    target->SetAttribute(type);
    if (CKParameter* parameter = target->GetAttributeParameter(type))
        parameter->SetStringValue(valueText ? valueText : "");
    return 1;
}

CKBOOL ExportBuilder::AttachScripts(CKObject* object, const char* fileName)
{
    CKBeObject* owner = AsBeObject(object);
    if (!owner || !fileName)
        return 0;
    context->SetInterfaceMode(1, nullptr, nullptr);
    CKObjectIDList loaded;
    CKFile* file = context->CreateCKFile();
    CKERROR error = file ? file->Load(fileName, &loaded, kScriptLoadFlags) : CKErr::OutOfMemory;
    context->DeleteCKFile(file);
    if (error != CKErr::Ok)
        return 0;
    for (loaded.Reset(); !loaded.EndOfList(); loaded.Next()) {
        CKObject* script = loaded.GetCurrentObject(context);
        if (script && CKIsChildClassOfObject(script, CKCID_BEHAVIOR) &&
            static_cast<CKBehavior*>(script)->GetType() == 1)
            owner->AddScript(script);
    }
    return 1;
}

CKBOOL ExportBuilder::SetScriptParameter(CKObject* object, const char* parameterName, const char* valueText)
{
    if (!object || !parameterName)
        return FALSE;
    CKBOOL any = FALSE;
    CKObject* previous = nullptr;
    while (CKObject* found = context->GetObjectByNameAndClass(parameterName, CKCID_PARAMETERLOCAL, previous)) {
        previous = found;
        CKObject* owner = static_cast<CKParameter*>(found)->GetOwner();
        if (!owner || !CKIsChildClassOfObject(owner, CKCID_BEHAVIOR))
            continue;
        auto* script = static_cast<CKBehavior*>(owner);
        if (script->GetType() == 1 && script->GetOwner() == object) {
            static_cast<CKParameter*>(found)->SetStringValue(valueText ? valueText : "");
            any = TRUE;
        }
    }
    return any;
}

int ExportBuilder::RoundToPowerOfTwo(int value, int method)
{
    if (value > 0 && (value & (value - 1)) == 0)
        return value;
    if (method < 0 || method > 2)
        return value;
    constexpr long long kLargest = 1LL << 30;
    long long higher = 2;
    while (higher < value)
        higher *= 2;
    long long lower = higher / 2;
    long long result = method == 1 ? lower : method == 2 ? higher : (value - lower >= higher - value ? higher : lower);
    return (int) (result > kLargest ? kLargest : result);
}

int ExportBuilder::ResizeTexturesToPowerOfTwo(int method, CKBOOL square)
{
    int resized = 0;
    for (CKTexture* texture : textures) {
        if (!texture || texture->GetWidth() <= 0 || texture->GetHeight() <= 0 ||
            !texture->GetBitmapData().GetSlotImageData(-1))
            continue;
        int width = texture->GetWidth();
        int height = texture->GetHeight();
        if (square)
            width = height = width > height ? width : height;
        width = RoundToPowerOfTwo(width, method);
        height = RoundToPowerOfTwo(height, method);
        if ((width != texture->GetWidth() || height != texture->GetHeight()) && texture->ResizeImages(width, height))
            ++resized;
    }
    return resized;
}

// The final pass.

void ExportBuilder::CleanObjectAnimations()
{
    for (int i = 0; i < objectAnimationList.Size();) {
        CKObjectAnimation* objectAnimation = objectAnimationList[i];
        if (!objectAnimation) {
            objectAnimationList.RemoveAt(i);
            createdObjects.Remove(nullptr);
            continue;
        }
        CKAnimController* channels[] = {objectAnimation->GetPositionController(),
                                        objectAnimation->GetRotationController(), objectAnimation->GetScaleController(),
                                        objectAnimation->GetScaleAxisController(),
                                        objectAnimation->GetMorphController()};
        bool kept = false;
        for (CKAnimController* controller : channels) {
            if (!controller)
                continue;
            if (controller->GetKeyCount() == 0)
                objectAnimation->DeleteControllerOfChannel(controller->GetChannel());
            else
                kept = true;
        }
        for (int n = 0; n < objectAnimation->GetNamedControllerCount();) {
            CKAnimController* controller = objectAnimation->GetNamedController(n);
            if (controller && controller->GetKeyCount() == 0 && objectAnimation->DeleteController(controller))
                continue;
            kept = true;
            ++n;
        }
        if (kept) {
            ++i;
            continue;
        }
        DestroyObject(objectAnimation, 0); // leaves objectAnimationList: i stays
    }
}

int ExportBuilder::FinishObjects(CKObjectIDList* savedObjects, CKBOOL asAnimation, CKBOOL asLevel)
{
    if (!savedObjects)
        return 0;
    this->savedObjects = savedObjects;
    if (splitMesh)
        SplitMeshes();
    CleanObjectAnimations();
    if (animation && objectAnimationList.IsEmpty())
        DestroyObject(animation, 0);
    if (character)
        character->AlignCharacterWithRootPosition();
    if (asAnimation) {
        savedObjects->InsertRearObject(animation);
        for (CKObjectAnimation* objectAnimation : objectAnimationList)
            savedObjects->InsertRearObject(objectAnimation);
    } else {
        for (CKObject* object : createdObjects)
            savedObjects->InsertRearObject(object);
    }
    if (asLevel)
        PutObjectsInLevel(savedObjects);
    return 1;
}

int ExportBuilder::PutObjectsInLevel(CKObjectIDList* savedObjects)
{
    CKLevel* level = context->GetCurrentLevel();
    CKScene* scene = level ? level->GetLevelScene() : nullptr;
    if (!scene)
        return 0;
    scene->BeginAddSequence(TRUE);
    const QxColor& tint = environment.lightTint;
    bool tintOn = tint.r != 1.0f || tint.g != 1.0f || tint.b != 1.0f || tint.a != 1.0f;
    bool levelOn = environment.lightLevel != 1.0f;
    XArray<CKObject*> objects = context->GetObjectListByType(CKCID_SCENEOBJECT, TRUE);
    for (CKObject* object : objects) {
        if (object == scene)
            continue;
        scene->AddObject(static_cast<CKSceneObject*>(object), TRUE);
        if ((!tintOn && !levelOn) || !CKIsChildClassOfObject(object, CKCID_LIGHT))
            continue;
        auto* light = static_cast<CKLight*>(object);
        if (tintOn) {
            QxColor color = light->GetColor();
            color.r *= tint.r;
            color.g *= tint.g;
            color.b *= tint.b;
            color.a *= tint.a;
            light->SetColor(color);
        }
        if (levelOn) {
            light->SetConstantAttenuation(light->GetConstantAttenuation() * environment.lightLevel);
            light->SetLinearAttenuation(light->GetLinearAttenuation() * environment.lightLevel);
            light->SetQuadraticAttenuation(light->GetQuadraticAttenuation() * environment.lightLevel);
        }
    }
    scene->BeginAddSequence(FALSE);
    ApplyEnvironment(scene);

    context->SetInterfaceMode(1, nullptr, nullptr);
    savedObjects->InsertRearObject(level);
    return objects.Size();
}

void ExportBuilder::ApplyEnvironment(CKScene* scene) const
{
    if (!scene)
        return;
    scene->SetAmbientLightColor(environment.ambientColor.GetARGB());
    scene->SetBackgroundColor(environment.backgroundColor.GetARGB());
    scene->SetBackgroundTexture(environment.sceneObject);
    scene->SetFogColor(environment.fogColor.GetARGB());
    scene->SetFogMode(environment.fogMode);
    scene->SetFogDensity(environment.fogDensity);
    scene->SetFogStart(environment.fogStart);
    scene->SetFogEnd(environment.fogEnd);
    scene->SetStartingCamera(environment.startingCamera);
}
