#pragma once

#include "includes/XClassArray.h"
#include "render/animation/CKObjectAnimation.h"
#include "system/math/QxQuaternion.h"

class CKStateChunk;

// What object animations share: the channel controllers, the named
// controllers and the length, counted by the animations holding it.
struct CKObjectAnimationData
{
    CKObjectAnimationData() = default;
    ~CKObjectAnimationData();
    CKObjectAnimationData(const CKObjectAnimationData&) = delete;
    CKObjectAnimationData& operator=(const CKObjectAnimationData&) = delete;
    // A deep copy; null without memory.
    CKObjectAnimationData* Copy() const;

    int References = 1;
    // Position, rotation, scale, scale axis, morph.
    CKAnimController* Channels[5] = {};
    XClassArray<CKAnimControllerEntry> Named;
    float Length = 0.0f;
};

// The object animation.
//
// Chunk sections (class 15, after the scene object's):
// - 0x01000000: the entity (object reference), the length (float), the
//   data owner (object reference, 0 when the data is its own);
// - 0x02000000: the controller count, then per controller its type code,
//   its name (a string: null for channel controllers) and its keys (the
//   controller's saved form, CKAnimController.h). Unknown type codes and
//   broken keys refuse the section.
// A loaded animation with a data owner shares the owner's data once all
// objects are loaded.
class RCKObjectAnimation : public CKObjectAnimation
{
public:
    explicit RCKObjectAnimation(CKContext* context, const char* name = nullptr);
    ~RCKObjectAnimation() override;

    CKAnimController* CreateController(CKDWORD type, const char* name = nullptr) override;
    CKBOOL DeleteControllerOfChannel(CKDWORD code, const char* name = nullptr) override;
    CKBOOL DeleteController(CKAnimController* controller) override;
    CKAnimController* GetPositionController() override { return m_Data->Channels[0]; }
    CKAnimController* GetRotationController() override { return m_Data->Channels[1]; }
    CKAnimController* GetScaleController() override { return m_Data->Channels[2]; }
    CKAnimController* GetScaleAxisController() override { return m_Data->Channels[3]; }
    CKMorphController* GetMorphController() override;
    int GetNamedControllerCount() override { return m_Data->Named.Size(); }
    CKAnimController* GetNamedController(int index) override;
    const CKAnimControllerEntry* GetNamedControllerEntry(int index) override;
    CKAnimController* GetNamedControllerByName(const char* name) override;
    int GetMorphVertexCount() override;
    int HasMorphNormalInfo() override;
    void Set3dEntity(CK3dEntity* entity) override { m_Entity = entity; }
    CK3dEntity* Get3dEntity() override { return m_Entity; }
    void SetLength(float frames) override { m_Data->Length = frames; }
    float GetLength() override { return m_Data->Length; }
    void ShareDataFrom(CKObjectAnimation* other) override;
    CKObjectAnimation* GetDataOwner() override { return m_DataOwner; }
    CKBOOL Compare(CKObjectAnimation* other, float threshold) override;
    void SetStep(float step, int owner = 0) override;
    float GetStep() override { return m_Step; }
    void AddDefaultScaleKey(const QxVector& scale) override;

    // The channels at a time: each output whose channel exists is written
    // (null outputs are skipped); returns the channels written.
    CKDWORD EvaluateKeys(float time, QxQuaternion* rotation, QxVector* position, QxVector* scale,
                         QxQuaternion* scaleAxis);

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void PostLoad() override;
    void CheckPreDeletion() override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKObjectAnimation(context); }
    static void Register();
    static const char* GetClassName();

private:
    CKERROR ReadControllers(CKStateChunk& chunk);
    void ReleaseData();

    CKObjectAnimationData* m_Data;
    CKObjectAnimation* m_DataOwner = nullptr;
    CK3dEntity* m_Entity = nullptr;
    // The owner named by a loaded chunk, shared in PostLoad.
    CK_ID m_LoadedOwner = 0;
    float m_Step = 0.0f;
};
