#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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

// The pass looks at the pairs whose names could match only: each mesh is
// filed under the names it could be a level of (its own less "_Mesh", the
// suffix and the digits after it, and less a "_" beside them), and each
// mesh's holders are kept as the pass changes them, so that neither the
// comparisons nor the log grow with the square of the scene.
struct ExportBuilder::NamedLODIndex
{
    // Meshes by the base name they could be a level of, in list order.
    std::unordered_map<std::string, std::vector<CKMesh*>> candidates;
    // The 3D entities in list order, and by mesh the positions (in that
    // order) of those holding it.
    std::vector<CK3dEntity*> entities;
    std::unordered_map<CKMesh*, std::set<size_t>> holders;
    std::unordered_set<CK_ID> destroyed;

    NamedLODIndex(const XArray<CKObject*>& objects, const char* suffix, int digits, const XArray<CK_ID>& toDestroy)
    {
        for (CK_ID id : toDestroy)
            destroyed.insert(id);
        for (CKObject* object : objects) {
            if (IsOfClass(object, CKCID_MESH)) {
                auto* mesh = static_cast<CKMesh*>(object);
                for (const std::string& base : BaseNamesOf(mesh->GetName(), suffix, digits))
                    candidates[base].push_back(mesh);
            } else if (IsOfClass(object, CKCID_3DENTITY)) {
                auto* entity = static_cast<CK3dEntity*>(object);
                for (int m = 0; m < entity->GetMeshCount(); ++m)
                    if (CKMesh* mesh = entity->GetMesh(m))
                        holders[mesh].insert(entities.size());
                entities.push_back(entity);
            }
        }
    }

    // The positions of the entities holding the mesh, as a copy (the
    // caller changes what they hold).
    std::vector<size_t> HoldersOf(CKMesh* mesh) const
    {
        auto found = holders.find(mesh);
        return found == holders.end() ? std::vector<size_t>()
                                      : std::vector<size_t>(found->second.begin(), found->second.end());
    }

    // Every name IsNamedLOD could find equal to the candidate's: none
    // without the suffix. The digits are not checked here: a name whose
    // digits are not a number above 0 is still a candidate, so the log names
    // it.
    static std::vector<std::string> BaseNamesOf(const char* name, const char* suffix, int digits)
    {
        std::vector<std::string> names;
        if (!suffix || !*suffix || digits <= 0)
            return names;
        std::string rest = WithoutMeshSuffix(name);
        const size_t at = rest.find(suffix);
        if (at == std::string::npos)
            return names;
        rest.erase(at, std::min(std::strlen(suffix) + (size_t) digits, rest.size() - at));
        names.push_back(rest);
        if (at > 0 && rest[at - 1] == '_')
            names.push_back(rest.substr(0, at - 1) + rest.substr(at));
        if (at < rest.size() && rest[at] == '_')
            names.push_back(rest.substr(0, at) + rest.substr(at + 1));
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        return names;
    }
};

int ExportBuilder::FindNamedLOD(CKMesh* base, const XArray<CKObject*>& objects, const char* suffix, int digits,
                                XArray<CK_ID>& toDestroy)
{
    NamedLODIndex index(objects, suffix, digits, toDestroy);
    return FindNamedLOD(base, index, suffix, digits, toDestroy);
}

int ExportBuilder::FindNamedLOD(CKMesh* base, NamedLODIndex& index, const char* suffix, int digits,
                                XArray<CK_ID>& toDestroy)
{
    if (!base)
        return 0;
    const char* baseName = base->GetName() ? base->GetName() : "";
    PostLog(log, "FindNamedLOD %s\n", baseName);
    auto bucket = index.candidates.find(WithoutMeshSuffix(baseName));
    if (bucket == index.candidates.end())
        return 0;
    int found = 0;
    for (CKMesh* cur : bucket->second) {
        if (cur == base)
            continue;
        const char* curName = cur->GetName() ? cur->GetName() : "";
        if (!IsNamedLOD(suffix, digits, baseName, curName)) {
            PostLog(log, "Suffix Not Found: p=%s, cur=%s\n", baseName, curName);
            continue;
        }
        ++found;
        PostLog(log, "Found LOD suffix: p=%s, cur=%s\n", baseName, curName);
        PostLog(log, "Removing Unused 3DEntities: ");
        for (size_t at : index.HoldersOf(cur)) {
            CK3dEntity* entity = index.entities[at];
            if (index.destroyed.count(entity->GetID()))
                continue;
            bool had = false;
            for (int m = entity->GetMeshCount() - 1; m >= 0; --m)
                if (entity->GetMesh(m) == cur) {
                    had = true;
                    entity->RemoveMesh(cur);
                }
            if (had && entity->GetMeshCount() == 0) {
                toDestroy.PushBack(entity->GetID());
                index.destroyed.insert(entity->GetID());
                PostLog(log, "%s, ", entity->GetName() ? entity->GetName() : "");
            }
        }
        index.holders.erase(cur);
        PostLog(log, "\b\b.\n");
        PostLog(log, "Adding LOD Mesh to 3DEntities: ");
        for (size_t at : index.HoldersOf(base)) {
            CK3dEntity* entity = index.entities[at];
            if (index.destroyed.count(entity->GetID()))
                continue;
            const int meshCount = entity->GetMeshCount();
            for (int m = 0; m < meshCount; ++m) {
                if (entity->GetMesh(m) != base)
                    continue;
                entity->AddMesh(cur);
                index.holders[cur].insert(at);
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
    NamedLODIndex index(objects, suffix, digits, toDestroy);
    int total = 0;
    for (CKObject* object : objects)
        if (IsOfClass(object, CKCID_MESH))
            total += FindNamedLOD(static_cast<CKMesh*>(object), index, suffix, digits, toDestroy);
    DestroyWithDependencies(toDestroy);
    return total;
}
