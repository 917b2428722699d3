// Reads arbitrary bytes as the state chunk of a 3D entity (every identifier
// of its section, the older layout and the skin of data version 5 included),
// loads it into a fresh entity and saves the entity again.
//
// Input: a control byte (bit 0: the entity is a 3D object; bit 1: the load
// is told it reads a file), then a serialised chunk bound to a file of six
// records, so that the references in the chunk are record indices:
//   0 a 3D entity (a parent), 1 a 3D object (a bone), 2 a mesh of 8
//   vertices and 2 blend shapes, 3 an object animation, 4 the loading entity
//   itself, 5 a behavioural object of no render class.
// tools/write_fuzz_seeds writes the seeds with the same records.

#include <cstddef>
#include <cstdint>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "render/animation/RCKObjectAnimation.h"
#include "render/context/CKRenderEngine.h"
#include "render/mesh/RCKMesh.h"
#include "render/objects/RCK3dEntity.h"

namespace {

// A mesh of 8 vertices and 2 blend shapes, as the entity sees meshes.
class FuzzMesh : public CKClass<FuzzMesh, RCKMesh, 0>
{
public:
    using CKClass::CKClass;
    CKBOOL IsTransparent() override { return FALSE; }
    void SetLitMode(int) override {}
    int GetLitMode() override { return 1; }
    CKDWORD GetFlags() override { return m_Flags; }
    void SetFlags(CKDWORD flags) override { m_Flags = flags; }
    void* GetModifierVertices(CKDWORD* stride) override
    {
        *stride = sizeof(QxVector);
        return m_Points;
    }
    int GetModifierVertexCount() override { return 8; }
    void ModifierVertexMove(CKBOOL, CKBOOL) override {}
    int GetVertexCount() override { return 8; }
    void* GetNormalsPtr(CKDWORD* stride) override
    {
        *stride = sizeof(QxVector);
        return m_Normals;
    }
    void NormalChanged() override {}
    int GetBlendShapeCount() override { return 2; }
    int GetBlendShapeIndex(const XString& name) override { return name == "a" ? 0 : name == "b" ? 1 : -1; }
    static const char* GetClassName() { return "Fuzz Mesh"; }

    CKDWORD m_Flags = CKMESH_VISIBLE;
    QxVector m_Points[8];
    QxVector m_Normals[8];
};

class FuzzAnimation : public CKClass<FuzzAnimation, RCKObjectAnimation, 0>
{
public:
    using CKClass::CKClass;
    void AddDefaultScaleKey(const QxVector&) override {}
    static const char* GetClassName() { return "Fuzz Animation"; }
};

template <class T>
void Register(const char* name, CK_CLASSID parent)
{
    T::m_ClassID = CKAllocateClassID();
    CKClassRegister(name, T::m_ClassID, parent, &T::Register, &T::CreateInstance, &T::ReleaseInstance, &T::GetClassName,
                    &T::GetDependencies, &T::GetDependenciesCount);
}

void StartOnce()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    CKStartUp();
    CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
    Register<FuzzMesh>("FuzzMesh", CKCID_MESH);
    Register<FuzzAnimation>("FuzzAnimation", CKCID_OBJECTANIMATION);
    CKBuildClassHierarchyTable();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1 << 20))
        return 0;
    StartOnce();
    CKContext* context = nullptr;
    CKCreateContext(&context, nullptr, nullptr);
    auto* entity =
        static_cast<RCK3dEntity*>(context->CreateObject(data[0] & 1 ? CKCID_3DOBJECT : CKCID_3DENTITY, "entity"));
    CKObject* records[] = {context->CreateObject(CKCID_3DENTITY, "parent"),
                           context->CreateObject(CKCID_3DOBJECT, "bone"),
                           context->CreateObject(FuzzMesh::m_ClassID, "mesh"),
                           context->CreateObject(FuzzAnimation::m_ClassID, "walk"),
                           entity,
                           context->CreateObject(CKCID_BEOBJECT, "other")};
    CKFile* file = context->CreateCKFile();
    for (CKObject* o : records) {
        int index = file->AddObjectRecord(o->GetID(), o->GetClassID());
        file->m_FileObjects[index].m_CreatedObject = o->GetID();
    }

    CKStateChunk* chunk = CKCreateStateChunk(CKCID_3DENTITY, file);
    if (chunk->ConvertFromBuffer(data + 1, (int) size - 1))
        entity->Load(chunk, (data[0] & 2) ? file : nullptr);
    CKDeleteStateChunk(chunk);

    CKStateChunk* saved = entity->Save(nullptr, 0xFFFFFFFF);
    if (saved)
        saved->ConvertToBuffer(nullptr);
    CKDeleteStateChunk(saved);
    context->DeleteCKFile(file);
    CKCloseContext(context);
    return 0;
}
