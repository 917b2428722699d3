#pragma once

#include "render/animation/CKAnimation.h"

// The plain animation: a length and a step, rooted at no entity.
//
// Chunk section (class 16, after the scene object's): 0x00100000, the
// length (float).
class RCKAnimation : public CKAnimation
{
public:
    using CKAnimation::CKAnimation;

    float GetLength() override { return m_Length; }
    void SetLength(float frames) override { m_Length = frames; }
    float GetStep() override { return m_Step; }
    void SetStep(float step) override { m_Step = step; }
    CK3dEntity* GetRootEntity() override { return nullptr; }
    CKCharacter* GetCharacter() override { return m_Character; }
    // Kept by the character that adds or removes the animation.
    void SetCharacter(CKCharacter* character) { m_Character = character; }

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPreDeletion() override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKAnimation(context); }
    static void Register();
    static const char* GetClassName();

protected:
    float m_Length = 0.0f;
    float m_Step = 0.0f;
    CKCharacter* m_Character = nullptr;
};
