#pragma once

#include "includes/XArray.h"
#include "render/animation/CKKeyedAnimation.h"

// The keyed animation. Its root entity is the entity of the first object
// animation whose entity has no ancestor that another of its object
// animations moves. Setting its step sets each object animation's.
//
// Chunk section (class 18, after the animation's): 0x00200000, the object
// animations as an object-id sequence.
class RCKKeyedAnimation : public CKKeyedAnimation
{
public:
    using CKKeyedAnimation::CKKeyedAnimation;

    CKERROR AddAnimation(CKObjectAnimation* animation) override;
    CKERROR RemoveAnimation(CKObjectAnimation* animation) override;
    int GetAnimationCount() override { return m_Animations.Size(); }
    CKObjectAnimation* GetAnimation(int index) override;
    CKObjectAnimation* GetAnimationOf(CK3dEntity* entity) override;
    void Clear() override { m_Animations.Clear(); }
    CK3dEntity* GetRootEntity() override;
    void SetStep(float step) override;

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPreDeletion() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;
    int GetMemoryOccupation() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKKeyedAnimation(context); }
    static void Register();
    static const char* GetClassName();

private:
    XArray<CKObjectAnimation*> m_Animations;
};
