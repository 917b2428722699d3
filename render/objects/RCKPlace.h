#pragma once

#include "includes/XArray.h"
#include "render/objects/CKPlace.h"

// Chunk identifiers and save flags of the place's section.
enum : CKDWORD
{
    CK_STATESAVE_PLACEPORTALS = 0x1000,
    CK_STATESAVE_PLACECAMERA = 0x2000,     // the reference object
    CK_STATESAVE_PLACEREFERENCES = 0x4000, // older files: the children as a list
    CK_STATESAVE_PLACESECOND = 0x8000,
};

// The tolerance and cell count of the portal geometry.
constexpr float CK_PLACE_PORTALTOLERANCE = 0.1f;
constexpr int CK_PLACE_PORTALCELLS = 20;

// The render library's place. It saves through the behavioural object's
// chunk, not the 3D entity's: its matrices and meshes are not in its file
// section, and without a file it saves nothing of its own.
class RCKPlace : public CKPlace
{
public:
    // Priority 20000.
    explicit RCKPlace(CKContext* context, const char* name = nullptr);
    // Unlinks the places it is linked with.
    ~RCKPlace() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKPlace(context); }
    static const char* GetClassName() { return "Place"; }
    static void Register();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

    // CKObject
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPreDeletion() override;
    void CheckPostDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;
    void AddToScene(CKScene* scene, CKBOOL dependencies = TRUE) override;
    void RemoveFromScene(CKScene* scene, CKBOOL dependencies = TRUE) override;

    // CKPlace
    CKObject* GetReferenceObject() override;
    void SetReferenceObject(CKObject* object) override { m_ReferenceObject = object ? object->GetID() : 0; }
    void AddPortal(CKPlace* place, CK3dEntity* portal) override;
    CKBOOL RemovePortal(CKPlace* place, CK3dEntity* portal) override;
    int GetPortalCount() override { return m_Portals.Size(); }
    CKPlace* GetPortal(int index, CK3dEntity** portal) override;
    float* GetPortalRecord() override { return m_PortalRecord; }
    int ComputePortalGeometry(CKPlace* place, QxPrincipalBox& shape) override;

    CK_ID GetSecondObjectID() const { return m_SecondObject; }
    void SetSecondObjectID(CK_ID id) { m_SecondObject = id; }

private:
    struct Link
    {
        RCKPlace* Place;
        CK3dEntity* Portal;
        CK_ID PlaceID; // to tell, without touching it, whether the place still exists
    };
    int FindLink(RCKPlace* place, CK3dEntity* portal) const;
    // Appends the link here and its mirror on the other place, each unless
    // present.
    void Link2(RCKPlace* place, CK3dEntity* portal);
    CKBOOL Unlink(RCKPlace* place, CK3dEntity* portal);
    // Drops every link, here and on the other places.
    void UnlinkAll();
    // The world positions of the meshes of the place's hierarchy.
    void CollectVertices(CK3dEntity* entity, XArray<QxVector>& points);

    XArray<Link> m_Portals;
    CK_ID m_SecondObject = 0;
    CK_ID m_ReferenceObject = 0;
    float m_PortalRecord[4] = {};
};
