#pragma once

#include "render/objects/CKEntityTarget.h"
#include "render/objects/RCKCamera.h"

// The chunk identifier of the target camera's target.
constexpr CKDWORD CK_STATESAVE_TCAMERATARGET = 0x10000000;
constexpr CKDWORD CK_STATESAVE_TCAMERAONLY = 0x70000000;

// A camera that looks at a target entity (class 35); the class adds nothing
// to the camera's interface.
class CKTargetCamera : public CKClass<CKTargetCamera, RCKCamera, CKCID_TARGETCAMERA>
{
public:
    using CKClass::CKClass;
};

// The render library's target camera. Its target carries 3D entity flag
// 0x200 while it is one.
class RCKTargetCamera : public CKTargetCamera
{
public:
    using CKTargetCamera::CKTargetCamera;
    // Releases the target's flag.
    ~RCKTargetCamera() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKTargetCamera(context); }
    static const char* GetClassName() { return "Target Camera"; }
    static void Register();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

    // CKObject
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void PostLoad() override;
    void CheckPostDeletion() override;
    int GetMemoryOccupation() override { return RCKCamera::GetMemoryOccupation() + 4; }
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;
    void AddToScene(CKScene* scene, CKBOOL dependencies = TRUE) override;
    void RemoveFromScene(CKScene* scene, CKBOOL dependencies = TRUE) override;

    // CKCamera
    CK3dEntity* GetTarget() override { return m_Target.Get(m_Context); }
    void SetTarget(CK3dEntity* target) override;

private:
    CKEntityTarget m_Target{CK_3DENTITYFLAG_CAMERATARGET};
};
