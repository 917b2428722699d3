#pragma once

#include "includes/XArray.h"
#include "render/animation/CKCharacter.h"

// The character.
//
// Chunk sections (class 40, after the 3D entity's): 0x01000000, the body
// parts as an object-id sequence; 0x02000000, the animations as an
// object-id sequence; 0x04000000, the animation parameter (float).
class RCKCharacter : public CKCharacter
{
public:
    using CKCharacter::CKCharacter;

    CKERROR AddBodyPart(CKBodyPart* part) override;
    CKERROR RemoveBodyPart(CKBodyPart* part) override;
    int GetBodyPartCount() override { return m_BodyParts.Size(); }
    CKBodyPart* GetBodyPart(int index) override;
    CKBodyPart* GetRootBodyPart() override;
    CKERROR AddAnimation(CKAnimation* animation) override;
    CKERROR RemoveAnimation(CKAnimation* animation) override;
    int GetAnimationCount() override { return m_Animations.Size(); }
    CKAnimation* GetAnimation(int index) override;
    void SetAnimationParameter(float value) override { m_AnimationParameter = value; }
    float GetAnimationParameter() override { return m_AnimationParameter; }
    void AlignCharacterWithRootPosition() override;

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPreDeletion() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;
    int GetMemoryOccupation() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKCharacter(context); }
    static void Register();
    static const char* GetClassName();

private:
    XArray<CKBodyPart*> m_BodyParts;
    XArray<CKAnimation*> m_Animations;
    float m_AnimationParameter = 0.0f;
};
