#pragma once

#include "core/object/CKBeObject.h"
#include "core/scene/CKSceneObjectDesc.h"
#include "includes/XArray.h"
#include "includes/XHashTable.h"

class CKLevel;

// Chunk identifiers of a scene's sections.
enum : CKDWORD
{
    CK_STATESAVE_SCENEOLD_AFTERCHUNK = 0x40, // data version 0: a word
    CK_STATESAVE_SCENEOLD_LEVEL = 0x80,      // data version 0: the level
    CK_STATESAVE_SCENEOLD_OBJECTS = 0x100,   // data version 0: the descriptors
    CK_STATESAVE_SCENENEW_LEVEL = 0x8000,    // data version 0, second form: the level
    CK_STATESAVE_SCENENEW_OBJECTS = 0x10000, // data version 0, second form: the descriptors
    CK_STATESAVE_SCENELAUNCHED = 0x20000,    // the level and the descriptors
    CK_STATESAVE_SCENEFLAGSWORD = 0x40000,   // the scene flags
    CK_STATESAVE_SCENEENVIRONMENT = 0x80000, // background, ambient light, fog, camera
    CK_STATESAVE_SCENEOLD_DESCFLAGS16 = 2,   // in an old descriptor: 16-bit flags and an extra word
    CK_STATESAVE_SCENEOLD_DESCRIPTOR = 255,  // in an old descriptor: id, initial value, flags
};

// Scene chunks older than this data version store the flags of their
// descriptors in the older layout (CKConvertOldSceneObjectFlags).
constexpr int CK_SCENE_DESCFLAGS_VERSION = 8;
// Files saved by engines older than this wrote fog mode 3 as 1 or 2.
constexpr CKDWORD CK_SCENE_FOGCHANGE_ENGINEVERSION = 0x02010000;

// The descriptor table hashes ids by themselves: ids are dense, and the
// engine's integer hash (id >> 8) would chain 256 neighbours per bucket.
// Iteration stays in insertion order whatever the hash.
struct CKSceneIDHash
{
    CKDWORD operator()(CK_ID id) const { return id; }
};
using CKSceneObjectDescTable = XHashTable<CKSceneObjectDesc, CK_ID, CKSceneIDHash>;

// Walks a scene's descriptors in table order. Valid until the scene's
// membership changes.
class CKSceneObjectIterator
{
public:
    explicit CKSceneObjectIterator(CKSceneObjectDescTable& table) : m_It(table.Begin()), m_End(table.End()) {}
    CK_ID GetObjectID() const { return m_It.GetKey(); }
    CKSceneObjectDesc* GetObjectDesc() { return &*m_It; }
    bool End() const { return !(m_It != m_End); }
    CKSceneObjectIterator& operator++()
    {
        ++m_It;
        return *this;
    }

private:
    CKSceneObjectDescTable::Iterator m_It;
    CKSceneObjectDescTable::Iterator m_End;
};

// A set of scene objects that play together: one descriptor per object (how
// it enters the scene, its initial state) and the scene's environment.
// Membership is kept twice, in step: the descriptor table and the scene's
// bit (its scene index) in each member's scene set.
class CKScene : public CKClass<CKScene, CKBeObject, CKCID_SCENE>
{
public:
    explicit CKScene(CKContext* context, const char* name = nullptr);
    // Clears every descriptor and gives the scene index back.
    ~CKScene() override;

    // Drops the descriptors of objects that no longer exist, then saves every
    // described object but levels and the behaviours levels own.
    void PreSave(CKFile* file, CKDWORD flags) override;
    // CKBeObject's sections, then the level and descriptors (0x20000), the
    // scene flags (0x40000) and the environment (0x80000).
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // -1 for a null chunk. Reads every data version, the oldest forms too.
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    // Takes every member out (their bits) and clears the current level's
    // references to this scene.
    void PreDelete() override;
    // Forgets objects that no longer exist.
    void CheckPostDeletion() override;
    int GetMemoryOccupation() override;
    // True for a described object.
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // Membership.

    // A behavioural object joins through its AddToScene (which brings its
    // scripts along); any other object through AddObjectToScene.
    void AddObject(CKSceneObject* object, CKBOOL dependencies);
    // Nothing for null, a scene, an object already here or a behaviour that
    // gets no descriptor. Applies the scene flags a loaded object brings,
    // then announces the object to the managers (or queues it inside an add
    // sequence).
    void AddObjectToScene(CKSceneObject* object);
    // Nothing for null or an object not here; otherwise drops its descriptor
    // and bit and announces it to the managers.
    void RemoveObjectFromScene(CKSceneObject* object);
    // The object's bit in this scene.
    CKBOOL IsObjectHere(CKObject* object) const;
    // Additions inside a sequence reach the managers in one call when the
    // outermost sequence ends.
    void BeginAddSequence(CKBOOL begin);
    int GetObjectCount() const { return m_Descriptors.Size(); }
    CKSceneObjectIterator GetObjectIterator() { return CKSceneObjectIterator(m_Descriptors); }
    // Null for null, for an object not here, or without a descriptor.
    CKSceneObjectDesc* GetSceneObjectDesc(CKSceneObject* object);
    // The descriptor's flags word; 0 when not here.
    CKDWORD GetObjectFlags(CKSceneObject* object);
    void SetObjectFlags(CKSceneObject* object, CKDWORD flags);
    CKStateChunk* GetObjectInitialValue(CKSceneObject* object);
    // True for the scene itself; else the descriptor's active bit.
    CKBOOL IsObjectActive(CKSceneObject* object);
    // For behavioural objects and behaviours. Outside the current scene only
    // the descriptor's active bit changes.
    void ActivateObject(CKSceneObject* object, CKBOOL reset);
    void DeactivateObject(CKSceneObject* object);
    // A new descriptor for the object, its bit set; null for a behaviour that
    // is no script or has no owner. The pointer lives until the next change.
    CKSceneObjectDesc* AddObjectDesc(CKSceneObject* object);

    // The level the scene belongs to.
    void SetLevel(CKLevel* level);
    CKLevel* GetLevel() const;

    // Environment.
    CKDWORD GetBackgroundColor() const { return m_BackgroundColor; }
    void SetBackgroundColor(CKDWORD color) { m_BackgroundColor = color; }
    // Any object (a texture); not checked.
    CKObject* GetBackgroundTexture() const;
    void SetBackgroundTexture(CKObject* texture) { m_BackgroundTexture = texture ? texture->GetID() : 0; }
    // Taken only when the camera is in the scene (null clears it).
    CKSceneObject* GetStartingCamera() const;
    void SetStartingCamera(CKSceneObject* camera);
    CKDWORD GetAmbientLightColor() const { return m_AmbientLightColor; }
    void SetAmbientLightColor(CKDWORD color) { m_AmbientLightColor = color; }
    CKDWORD GetFogMode() const { return m_FogMode; }
    void SetFogMode(CKDWORD mode) { m_FogMode = mode; }
    CKDWORD GetFogColor() const { return m_FogColor; }
    void SetFogColor(CKDWORD color) { m_FogColor = color; }
    float GetFogStart() const { return m_FogStart; }
    void SetFogStart(float start) { m_FogStart = start; }
    float GetFogEnd() const { return m_FogEnd; }
    void SetFogEnd(float end) { m_FogEnd = end; }
    float GetFogDensity() const { return m_FogDensity; }
    void SetFogDensity(float density) { m_FogDensity = density; }

    CKDWORD GetSceneFlags() const { return m_SceneFlags; }
    void SetSceneFlags(CKDWORD flags) { m_SceneFlags = flags; }
    // The bit of this scene in objects' scene sets.
    int GetSceneIndex() const { return m_SceneIndex; }

    static void Register();
    static const char* GetClassName();

private:
    // Fills a fresh descriptor of the object; false for a behaviour that is
    // no script or has no owner.
    bool PrepareObjectDesc(CKSceneObject* object, bool behavior, CKSceneObjectDesc& desc);
    // Announces one added id, or queues it inside an add sequence.
    void AnnounceAdded(CK_ID id);
    // Clears every descriptor, taking the members' bits when asked.
    void ClearDescriptors(bool clearBits);
    // Drops (and clears) the descriptors of objects that no longer exist.
    // True when any was dropped.
    bool DropDeadDescriptors();
    // Enters a loaded descriptor when its object may be a member; otherwise
    // deletes its initial value.
    void EnterLoadedDescriptor(CK_ID id, CKStateChunk* initialValue, CKDWORD flags);
    // The level of a loaded id: kept only when it names a level.
    void TakeLoadedLevel(CK_ID id);
    void LoadCurrentForm(CKStateChunk* chunk, CKFile* file);
    void LoadOldForm(CKStateChunk* chunk, CKFile* file);
    // Reads a descriptor list of the data-version-0 forms.
    void LoadOldDescriptors(CKStateChunk* chunk, CKFile* file);
    void ActivateBeObject(CKBeObject* object, CKSceneObjectDesc* desc, CKBOOL reset, bool current);
    void DeactivateBeObject(CKBeObject* object, CKSceneObjectDesc* desc, bool current);
    void ActivateBehavior(CKSceneObject* behavior, CKSceneObjectDesc* desc, CKBOOL reset, bool current);
    void DeactivateBehavior(CKSceneObject* behavior, CKSceneObjectDesc* desc, bool current);

    int m_SceneIndex = -1;
    CKSceneObjectDescTable m_Descriptors;
    CKDWORD m_SceneFlags = 2;
    CK_ID m_Level = 0;
    CKDWORD m_BackgroundColor = 0;
    CK_ID m_BackgroundTexture = 0;
    CK_ID m_StartingCamera = 0;
    CKDWORD m_AmbientLightColor = 0x000F0F0F;
    CKDWORD m_FogColor = 0;
    CKDWORD m_FogMode = 0;
    float m_FogStart = 1.0f;
    float m_FogEnd = 100.0f;
    float m_FogDensity = 1.0f;
    int m_AddSequenceDepth = 0;
    XArray<CK_ID> m_PendingAdded;
};

// The behaviour type the scenes go by: 0 a building block, 1 a script, 4
// anything else.
int CKGetBehaviorType(CKObject* behavior);
// The scene of the context whose scene index this is; null for none.
CKScene* CKGetSceneByIndex(CKContext* context, int index);
