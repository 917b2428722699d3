#pragma once

#include "core/object/CKSceneObject.h"
#include "includes/XString.h"
#include "render/animation/CKAnimController.h"
#include "system/math/QxVector.h"

class CK3dEntity;
class CKMorphController;

// A named (float) controller of an object animation.
struct CKAnimControllerEntry
{
    XString Name;
    CKAnimController* Controller = nullptr;
};

// The animation of one 3D entity (class 15): a controller per channel
// (position, rotation, scale, scale axis, morph) and named float
// controllers, over a length in frames. Its data (controllers and length)
// may be shared with other object animations.
class CKObjectAnimation : public CKClass<CKObjectAnimation, CKSceneObject, CKCID_OBJECTANIMATION>
{
public:
    using CKClass::CKClass;

    // A new controller of the type code (null for an unknown code). A
    // channel controller replaces the channel's controller; a float
    // controller (channel 0x20) replaces the named controller of the same
    // name (null: the empty name) in place, or is appended under that name.
    virtual CKAnimController* CreateController(CKDWORD type, const char* name = nullptr) = 0;
    // Deletes the controller of the channel in the low byte of code (a type
    // code or a bare channel code: 1, 2, 4, 8, 0x10), or with 0x20 the named
    // controller of that name (null: the empty name). FALSE when there is
    // none.
    virtual CKBOOL DeleteControllerOfChannel(CKDWORD code, const char* name = nullptr) = 0;
    // Deletes the controller wherever it stands; FALSE when it is not one of
    // this animation's.
    virtual CKBOOL DeleteController(CKAnimController* controller) = 0;

    // The channel controllers, null when absent.
    virtual CKAnimController* GetPositionController() = 0;
    virtual CKAnimController* GetRotationController() = 0;
    virtual CKAnimController* GetScaleController() = 0;
    virtual CKAnimController* GetScaleAxisController() = 0;
    virtual CKMorphController* GetMorphController() = 0;

    // The named controllers in order; null out of range.
    virtual int GetNamedControllerCount() = 0;
    virtual CKAnimController* GetNamedController(int index) = 0;
    virtual const CKAnimControllerEntry* GetNamedControllerEntry(int index) = 0;
    // The controller of that name (case-sensitive), null when none.
    virtual CKAnimController* GetNamedControllerByName(const char* name) = 0;

    // Vertices per morph key, 0 without a morph controller; greater than 0
    // when a morph key carries normals.
    virtual int GetMorphVertexCount() = 0;
    virtual int HasMorphNormalInfo() = 0;

    virtual void Set3dEntity(CK3dEntity* entity) = 0;
    virtual CK3dEntity* Get3dEntity() = 0;
    // Length in frames.
    virtual void SetLength(float frames) = 0;
    virtual float GetLength() = 0;

    // Drops its own data and shares other's (a null other, or itself, gives
    // it back data of its own, a copy of what it shared).
    virtual void ShareDataFrom(CKObjectAnimation* other) = 0;
    // The animation whose data it shares, null when the data is its own.
    virtual CKObjectAnimation* GetDataOwner() = 0;
    // TRUE for itself or an animation sharing the same data; else both
    // animations' lengths, channels and named controllers compared key by
    // key within the threshold.
    virtual CKBOOL Compare(CKObjectAnimation* other, float threshold) = 0;

    // Evaluates the animation at the step (0 .. 1 of its length) and moves
    // its entity: the channels it has replace the parts of the entity's
    // local matrix, the morph keys its current mesh's vertices. An entity
    // with 3D entity flag 0x400 is left alone unless owner is -1.
    virtual void SetStep(float step, int owner = 0) = 0;
    virtual float GetStep() = 0;

    // Gives an animation without a scale key one at time 0 with that scale;
    // an animation that has one keeps it.
    virtual void AddDefaultScaleKey(const QxVector& scale) = 0;
};
