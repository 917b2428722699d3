#pragma once

#include "core/context/CKDefines.h"

class CK3dEntity;
class CKContext;
class CKDependenciesContext;
class CKFile;
class CKObject;
class CKScene;
class CKStateChunk;

// 3D entity flags that mark the target of a target camera or light, and the
// mark an entity gets when it stops being one.
enum : CKDWORD
{
    CK_3DENTITYFLAG_FORMERTARGET = 0x2,
    CK_3DENTITYFLAG_LIGHTTARGET = 0x100,
    CK_3DENTITYFLAG_CAMERATARGET = 0x200,
};

// The target a target camera or light looks at, held by id, with the flag
// it puts on that entity. Both classes forward their target operations here.
class CKEntityTarget
{
public:
    explicit CKEntityTarget(CKDWORD flag) : m_Flag(flag) {}

    CK_ID GetID() const { return m_Target; }
    // The target's entity, null when the id names none (or not a 3D entity).
    CK3dEntity* Get(CKContext* context) const;
    // The old target loses the flag and gets the former-target mark, the
    // new one the reverse; the owner itself is refused.
    void Set(CKContext* context, CK3dEntity* owner, CK3dEntity* entity);
    // After a load: a target that is not a 3D entity, or is the owner, is
    // dropped; a kept one carries the flag.
    void Check(CKContext* context, CK3dEntity* owner);
    // Forgets a target whose object no longer exists.
    void CheckPostDeletion(CKContext* context);
    void SetID(CK_ID id) { m_Target = id; }

    void PreSave(CKContext* context, CKFile* file, CKDWORD flags) const;
    void Write(CKContext* context, CKStateChunk& chunk, CKDWORD identifier) const;
    // The id under the identifier when present; the target is unchanged
    // otherwise.
    void Read(CKStateChunk& chunk, CKDWORD identifier);
    void PrepareDependencies(CKContext* context, CKDependenciesContext& dependencies, CK_CLASSID cid) const;
    void Remap(CKDependenciesContext& dependencies);
    void AddToScene(CKContext* context, CKScene* scene, CKBOOL dependencies) const;
    void RemoveFromScene(CKContext* context, CKScene* scene, CKBOOL dependencies) const;

private:
    CK_ID m_Target = 0;
    CKDWORD m_Flag;
};
