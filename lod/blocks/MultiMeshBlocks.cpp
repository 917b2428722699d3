// The blocks that manage the list of meshes of a 3D object.
#include "core/object/CKClassRegistry.h"
#include "lod/blocks/BlockParameters.h"
#include "lod/blocks/MeshBlockSupport.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"

namespace {

// The common steps: In off, Out on, the target and the "Mesh" input (null
// when it names no mesh). False without a target.
bool Begin(const CKBehaviorContext& context, CK3dEntity*& entity, CKMesh*& mesh)
{
    CKBehavior* behavior = context.Behavior;
    PassThrough(behavior);
    entity = TargetEntity(behavior);
    if (!entity)
        return false;
    mesh = static_cast<CKMesh*>(InputObjectOfClass(behavior, 0, CKCID_MESH));
    return true;
}

} // namespace

int SelectMesh(const CKBehaviorContext& context)
{
    CK3dEntity* entity = nullptr;
    CKMesh* mesh = nullptr;
    if (!Begin(context, entity, mesh))
        return CKBR_OWNERERROR;
    CKBOOL add = TRUE;
    ReadInputParameter(context.Behavior, 1, add);
    entity->SetCurrentMesh(mesh, add);
    return CKBR_OK;
}

int RemoveMesh(const CKBehaviorContext& context)
{
    CK3dEntity* entity = nullptr;
    CKMesh* mesh = nullptr;
    if (!Begin(context, entity, mesh))
        return CKBR_OWNERERROR;
    entity->RemoveMesh(mesh);
    return CKBR_OK;
}

int AddMesh(const CKBehaviorContext& context)
{
    CK3dEntity* entity = nullptr;
    CKMesh* mesh = nullptr;
    if (!Begin(context, entity, mesh))
        return CKBR_OWNERERROR;
    entity->AddMesh(mesh);
    return CKBR_OK;
}
