#include "exporter/builder/ExportBuilder.h"
#include "exporter/postpass/PostPassSupport.h"
#include "render/mesh/CKMesh.h"

// Only what the export made counts: objects outside createdObjects are
// neither removed nor users.

CKMaterial* ExportBuilder::IsMaterialUnused(CKMaterial* material)
{
    if (!material)
        return nullptr;
    for (CKObject* object : createdObjects) {
        if (!IsOfClass(object, CKCID_MESH))
            continue;
        auto* mesh = static_cast<CKMesh*>(object);
        for (int i = 0; i < mesh->GetMaterialCount(); ++i)
            if (mesh->GetMaterial(i) == material)
                return nullptr;
        for (int c = 0; c < mesh->GetChannelCount(); ++c)
            if (mesh->GetChannelMaterial(c) == material)
                return nullptr;
    }
    return material;
}

CKTexture* ExportBuilder::IsTextureUnused(CKTexture* texture)
{
    if (!texture)
        return nullptr;
    for (CKObject* object : createdObjects) {
        if (!IsOfClass(object, CKCID_MATERIAL))
            continue;
        auto* material = static_cast<CKMaterial*>(object);
        // Every stage counts: a bump or lightmap texture on stage 1 to 3 is
        // as needed as the first one.
        for (int stage = 0; stage < CKMATERIAL_STAGES; ++stage)
            if (material->GetTexture(stage) == texture)
                return nullptr;
        bool named = false;
        ForEachEffectTexture(context, material,
                             [&](CKParameter* member) { named = named || member->GetValueObject(FALSE) == texture; });
        if (named)
            return nullptr;
    }
    return texture;
}

namespace {

template <class T, class Test>
XArray<CKObject*> UnusedOfClass(const XArray<CKObject*>& created, CK_CLASSID cid, Test isUnused)
{
    XArray<CKObject*> unused;
    for (CKObject* object : created)
        if (IsOfClass(object, cid) && isUnused(static_cast<T*>(object)))
            unused.AddIfNotHere(object);
    return unused;
}

} // namespace

void ExportBuilder::RemoveUnusedMaterials()
{
    XArray<CKObject*> unused = UnusedOfClass<CKMaterial>(createdObjects, CKCID_MATERIAL,
                                                         [this](CKMaterial* m) { return IsMaterialUnused(m); });
    for (CKObject* material : unused)
        DestroyObject(material, 0);
}

void ExportBuilder::RemoveUnusedTextures()
{
    XArray<CKObject*> unused =
        UnusedOfClass<CKTexture>(createdObjects, CKCID_TEXTURE, [this](CKTexture* t) { return IsTextureUnused(t); });
    for (CKObject* texture : unused)
        DestroyObject(texture, 0);
}
