#pragma once

#include "render/objects/CKEntityTarget.h"
#include "render/objects/RCKLight.h"

// The chunk identifier of the target light's target.
constexpr CKDWORD CK_STATESAVE_TLIGHTTARGET = 0x80000000;
constexpr CKDWORD CK_STATESAVE_TLIGHTONLY = 0xF0000000;

// A light that points at a target entity (class 39); the class adds nothing
// to the light's interface.
class CKTargetLight : public CKClass<CKTargetLight, RCKLight, CKCID_TARGETLIGHT>
{
public:
    using CKClass::CKClass;
};

// The render library's target light. Its target carries 3D entity flag
// 0x100 while it is one.
class RCKTargetLight : public CKTargetLight
{
public:
    using CKTargetLight::CKTargetLight;
    // Releases the target's flag.
    ~RCKTargetLight() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKTargetLight(context); }
    static const char* GetClassName() { return "Target Light"; }
    static void Register();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

    // CKObject
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void PostLoad() override;
    void CheckPostDeletion() override;
    int GetMemoryOccupation() override { return RCKLight::GetMemoryOccupation() + 4; }
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;
    void AddToScene(CKScene* scene, CKBOOL dependencies = TRUE) override;
    void RemoveFromScene(CKScene* scene, CKBOOL dependencies = TRUE) override;

    // CKLight
    CK3dEntity* GetTarget() override { return m_Target.Get(m_Context); }
    void SetTarget(CK3dEntity* target) override;

private:
    CKEntityTarget m_Target{CK_3DENTITYFLAG_LIGHTTARGET};
};
