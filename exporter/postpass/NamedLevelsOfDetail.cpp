#include <cctype>
#include <cstring>
#include <string>

#include "core/attribute/CKAttributeManager.h"
#include "core/object/CKBeObject.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/postpass/PostPassSupport.h"
#include "lod/LODOptions.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"

namespace {

constexpr const char* kMeshSuffix = "_Mesh";
constexpr const char* kLodAttribute = "LOD Object";
constexpr const char* kLodOptionsText = "TRUE:FALSE:FALSE:40:1:100:2:10:5";
constexpr const char* kLodOptionsType = "LOD Options";
constexpr const char* kLodCategory = "LOD (Level Of Detail)";

std::string WithoutMeshSuffix(const char* name)
{
    std::string text(name ? name : "");
    const size_t at = text.find(kMeshSuffix);
    if (at != std::string::npos)
        text.erase(at, std::strlen(kMeshSuffix));
    return text;
}

// The entity chooses among its meshes; the option text the exporter has
// always written has three flag words where the type reads four, so it is
// refused and the record stays at its defaults but for this flag.
void SetLodRecord(CKContext* context, CK3dEntity* entity)
{
    const int type = context->GetAttributeManager()->GetAttributeTypeByName(kLodAttribute);
    CKParameter* parameter = type >= 0 ? entity->GetAttributeParameter(type) : nullptr;
    if (!parameter || parameter->GetDataSize() != (int) sizeof(LODOptions))
        return;
    LODOptions options;
    options.Flags = LOD_MULTIPLEMESHES;
    parameter->SetValue(&options, sizeof options);
}

} // namespace

CKBOOL ExportBuilder::IsNamedLOD(const char* suffix, int digits, const char* baseName, const char* candidateName)
{
    if (!suffix || !*suffix || digits <= 0)
        return FALSE;
    const std::string base = WithoutMeshSuffix(baseName);
    std::string rest = WithoutMeshSuffix(candidateName);
    const size_t at = rest.find(suffix);
    const size_t length = std::strlen(suffix);
    if (at == std::string::npos || at + length + (size_t) digits > rest.size())
        return FALSE;
    int number = 0;
    for (int i = 0; i < digits; ++i) {
        const char c = rest[at + length + (size_t) i];
        if (!std::isdigit((unsigned char) c))
            return FALSE;
        number = number * 10 + (c - '0');
    }
    if (number <= 0)
        return FALSE;
    rest.erase(at, length + (size_t) digits);
    if (rest == base)
        return TRUE;
    // One "_" where the suffix stood joins the names (Tree_LOD1, LOD2_Tree).
    if (at > 0 && rest[at - 1] == '_')
        return rest.substr(0, at - 1) + rest.substr(at) == base;
    if (at < rest.size() && rest[at] == '_')
        return rest.substr(0, at) + rest.substr(at + 1) == base;
    return FALSE;
}

int ExportBuilder::FindNamedLOD(CKMesh* base, const XArray<CKObject*>& objects, const char* suffix, int digits,
                                XArray<CK_ID>& toDestroy)
{
    if (!base)
        return 0;
    const char* baseName = base->GetName() ? base->GetName() : "";
    PostLog(log, "FindNamedLOD %s\n", baseName);
    int found = 0;
    for (CKObject* object : objects) {
        if (object == base || !IsOfClass(object, CKCID_MESH))
            continue;
        auto* cur = static_cast<CKMesh*>(object);
        const char* curName = cur->GetName() ? cur->GetName() : "";
        if (!IsNamedLOD(suffix, digits, baseName, curName)) {
            PostLog(log, "Suffix Not Found: p=%s, cur=%s\n", baseName, curName);
            continue;
        }
        ++found;
        PostLog(log, "Found LOD suffix: p=%s, cur=%s\n", baseName, curName);
        PostLog(log, "Removing Unused 3DEntities: ");
        for (CKObject* other : objects) {
            if (!IsOfClass(other, CKCID_3DENTITY) || toDestroy.IsHere(other->GetID()))
                continue;
            auto* entity = static_cast<CK3dEntity*>(other);
            bool had = false;
            for (int m = entity->GetMeshCount() - 1; m >= 0; --m)
                if (entity->GetMesh(m) == cur) {
                    had = true;
                    entity->RemoveMesh(cur);
                }
            if (had && entity->GetMeshCount() == 0) {
                toDestroy.PushBack(entity->GetID());
                PostLog(log, "%s, ", entity->GetName() ? entity->GetName() : "");
            }
        }
        PostLog(log, "\b\b.\n");
        PostLog(log, "Adding LOD Mesh to 3DEntities: ");
        for (CKObject* other : objects) {
            if (!IsOfClass(other, CKCID_3DENTITY) || toDestroy.IsHere(other->GetID()))
                continue;
            auto* entity = static_cast<CK3dEntity*>(other);
            const int meshCount = entity->GetMeshCount();
            for (int m = 0; m < meshCount; ++m) {
                if (entity->GetMesh(m) != base)
                    continue;
                entity->AddMesh(cur);
                PostLog(log, "%s, ", entity->GetName() ? entity->GetName() : "");
                SetAttribute(entity, kLodAttribute, kLodOptionsText, kLodOptionsType, kLodCategory);
                SetLodRecord(context, entity);
            }
        }
        PostLog(log, "\b\b.\n");
    }
    return found;
}

int ExportBuilder::FindNamedLODGlobal(const char* suffix, int digits)
{
    PostLog(log, "FindNamedLODGlobal\n");
    XArray<CKObject*> objects = CopyAllObjects(context);
    XArray<CK_ID> toDestroy;
    int total = 0;
    for (CKObject* object : objects)
        if (IsOfClass(object, CKCID_MESH))
            total += FindNamedLOD(static_cast<CKMesh*>(object), objects, suffix, digits, toDestroy);
    DestroyWithDependencies(toDestroy);
    return total;
}
