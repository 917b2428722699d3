#include "tools/info/EngineTotals.h"

#include <cstdio>

#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "render/animation/CKAnimController.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/mesh/CKMesh.h"

namespace {

int Keys(CKAnimController* controller)
{
    return controller ? controller->GetKeyCount() : 0;
}

int AnimationKeys(CKObjectAnimation* animation)
{
    if (animation->GetDataOwner())
        return 0;
    int keys = Keys(animation->GetPositionController()) + Keys(animation->GetRotationController()) +
               Keys(animation->GetScaleController()) + Keys(animation->GetScaleAxisController()) +
               Keys(animation->GetMorphController());
    for (int i = 0; i < animation->GetNamedControllerCount(); ++i)
        keys += Keys(animation->GetNamedController(i));
    return keys;
}

} // namespace

EngineTotals CountEngineTotals(const std::vector<CKObject*>& objects)
{
    EngineTotals totals;
    for (CKObject* object : objects) {
        if (!object)
            continue;
        const CK_CLASSID cid = object->GetClassID();
        if (!CKIsChildClassOf(cid, CKCID_BEOBJECT) && !CKIsChildClassOf(cid, CKCID_OBJECTANIMATION) &&
            !CKIsChildClassOf(cid, CKCID_ANIMATION))
            continue;
        ++totals.objects;
        if (CKIsChildClassOf(cid, CKCID_LEVEL) || CKIsChildClassOf(cid, CKCID_SCENE))
            ++totals.levels;
        totals.meshes += CKIsChildClassOf(cid, CKCID_MESH) ? 1 : 0;
        // A patch mesh's faces are made from its patches when it loads:
        // they are not what the file holds.
        if (CKIsChildClassOf(cid, CKCID_MESH) && !CKIsChildClassOf(cid, CKCID_PATCHMESH)) {
            auto* mesh = static_cast<CKMesh*>(object);
            totals.vertices += mesh->GetVertexCount();
            totals.faces += mesh->GetFaceCount();
        }
        totals.materials += CKIsChildClassOf(cid, CKCID_MATERIAL) ? 1 : 0;
        totals.textures += CKIsChildClassOf(cid, CKCID_TEXTURE) ? 1 : 0;
        if (CKIsChildClassOf(cid, CKCID_OBJECTANIMATION))
            totals.animationKeys += AnimationKeys(static_cast<CKObjectAnimation*>(object));
    }
    return totals;
}

std::string EngineTotalsText(const EngineTotals& t)
{
    char text[256];
    std::snprintf(text, sizeof(text),
                  "%d objects, %d meshes, %d vertices, %d faces, %d materials, %d textures, %d animation keys",
                  t.objects, t.meshes, t.vertices, t.faces, t.materials, t.textures, t.animationKeys);
    return text;
}

std::vector<CKObject*> LoadedFileObjects(CKContext* context, const CKFile& file)
{
    std::vector<CKObject*> objects;
    for (const CKFileObjectRecord& record : file.m_FileObjects) {
        CKObject* object = record.m_CreatedObject ? context->GetObject(record.m_CreatedObject) : nullptr;
        if (object && object == record.m_Object)
            objects.push_back(object);
    }
    return objects;
}

std::vector<CKObject*> ObjectsOf(CKContext* context, const XArray<CK_ID>& ids)
{
    std::vector<CKObject*> objects;
    for (CK_ID id : ids)
        objects.push_back(context->GetObject(id));
    return objects;
}
