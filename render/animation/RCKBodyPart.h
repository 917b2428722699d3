#pragma once

#include "render/animation/CKBodyPart.h"

// The body part. The character keeps the link: adding or removing the part
// sets it.
//
// Chunk section (class 42, after the 3D entity's): 0x01000000, the
// character (object reference).
class RCKBodyPart : public CKBodyPart
{
public:
    using CKBodyPart::CKBodyPart;

    CKCharacter* GetCharacter() override { return m_Character; }
    void SetCharacter(CKCharacter* character) { m_Character = character; }

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPreDeletion() override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKBodyPart(context); }
    static void Register();
    static const char* GetClassName();

private:
    CKCharacter* m_Character = nullptr;
};
