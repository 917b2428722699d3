#pragma once

#include "render/objects/RCK3dEntity.h"
#include "system/math/QxOrientedBoxFit.h"

// 3D entity flag of an entity that may serve as a portal between places.
constexpr CKDWORD CK_3DENTITYFLAG_PORTAL = 0x80000;

// A part of a scene (class 22): its children hierarchy, the places it is
// connected to and the portal entities they connect through. Links are
// symmetric: a link added to one place is mirrored on the other.
class CKPlace : public CKClass<CKPlace, RCK3dEntity, CKCID_PLACE>
{
public:
    using CKClass::CKClass;

    // Null when none.
    virtual CKObject* GetReferenceObject() = 0;
    virtual void SetReferenceObject(CKObject* object) = 0;
    // Links the place through the portal (a 3D entity with flag 0x80000)
    // or through none (null); nothing when either link is already there.
    virtual void AddPortal(CKPlace* place, CK3dEntity* portal) = 0;
    // Removes the link from both places; whether the other place had it.
    virtual CKBOOL RemovePortal(CKPlace* place, CK3dEntity* portal) = 0;
    virtual int GetPortalCount() = 0;
    // The linked place of a link, with its portal through the out pointer
    // when given; null out of range.
    virtual CKPlace* GetPortal(int index, CK3dEntity** portal) = 0;
    // Four floats that the place keeps for its user.
    virtual float* GetPortalRecord() = 0;
    // The opening shared with another place: the box fitted to the vertices
    // of the other place's meshes that lie on vertices of this place's
    // meshes. 0 when none (or for a null place), else 1.
    virtual int ComputePortalGeometry(CKPlace* place, QxPrincipalBox& shape) = 0;
};
