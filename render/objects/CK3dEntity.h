#pragma once

#include "render/objects/CKRenderObject.h"
#include "system/math/QxBbox.h"
#include "system/math/QxMatrix.h"

class SceneGraphNode;

// Moveable flags the render library reads or writes.
enum : CKDWORD
{
    CK_3DENTITY_FRUSTUMTESTED = 0x20,  // the frame's frustum test is done
    CK_3DENTITY_INMOVEDLIST = 0x20000, // queued in the render manager's moved list
    CK_3DENTITY_NOTMOVED = 0x40000000, // no matrix change since the manager's last pass
};

// A positioned object of the 3D scene (class 33), as the render contexts and
// the render manager see it; the render library's entity classes implement
// it.
class CK3dEntity : public CKClass<CK3dEntity, CKRenderObject, CKCID_3DENTITY>
{
public:
    using CKClass::CKClass;

    // Draws the entity (culling, callbacks, mesh); the render flags' low
    // byte asks for screen extents, 0x100 says the world matrix is loaded.
    virtual CKBOOL Render(CKRenderContext* context, CKDWORD flags) = 0;
    // Tests the hierarchical box against the view; marks the node.
    virtual CKBOOL IsInViewFrustrumHierarchic(CKRenderContext* context) = 0;
    virtual CKDWORD GetMoveableFlags() = 0;
    virtual CKDWORD ModifyMoveableFlags(CKDWORD add, CKDWORD remove) = 0;
    virtual const QxMatrix& GetWorldMatrix() = 0;
    virtual const QxMatrix& GetInverseWorldMatrix() = 0;
    virtual const QxBbox& GetBoundingBox(CKBOOL local = FALSE) = 0;
    virtual const QxBbox& GetHierarchicalBox(CKBOOL local = FALSE) = 0;
    // FALSE (and the world position) without a mesh.
    virtual CKBOOL GetBaryCenter(QxVector* position) = 0;
    virtual float GetRadius() = 0;
    // The node the render manager made for the entity.
    virtual SceneGraphNode* GetSceneGraphNode() = 0;
    // Keeps the world matrix as the last frame's.
    virtual void SaveLastFrameMatrix() = 0;
};
