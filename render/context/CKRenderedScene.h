#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"

class CK3dEntity;
class CKCamera;
class CKLight;
class CKRenderObject;
class RCKRenderContext;
class SceneGraphNode;

// What one render context shows: the render objects attached to it, with
// its 3D entities, cameras and lights apart, its ambient colour, and the
// 3D pass over the render manager's scene graph.
class CKRenderedScene
{
public:
    explicit CKRenderedScene(RCKRenderContext* context) : m_Context(context) {}

    // FALSE when the object is already there.
    CKBOOL AddObject(CKRenderObject* object);
    // FALSE when it was not there.
    CKBOOL RemoveObject(CKRenderObject* object);
    CKBOOL IsAttached(CKRenderObject* object) const { return m_RenderObjects.IsHere(object); }
    // Drops every object being deleted (object flag 0x10).
    void ForgetObjectsToBeDeleted();
    void Clear();

    const XArray<CKRenderObject*>& GetRenderObjects() const { return m_RenderObjects; }
    const XArray<CK3dEntity*>& Get3dEntities() const { return m_3dEntities; }
    const XArray<CKLight*>& GetLights() const { return m_Lights; }
    const XArray<CKCamera*>& GetCameras() const { return m_Cameras; }

    // ARGB colour of the ambient light (render state 139).
    CKDWORD GetAmbientLight() const { return m_AmbientLight; }
    void SetAmbientLight(CKDWORD color) { m_AmbientLight = color; }

    // Disables the lights enabled last frame, sets each light up under the
    // next free index (counting only those that light), then the ambient
    // colour. Returns the number of lights set up.
    int SetupLights();
    // The 3D pass: lights, then the scene graph walked from the root, each
    // active entity shown here drawn (or queued when the context batches),
    // the batches replayed, the entities drawn last sorted far to near.
    void Draw(CKDWORD entityFlags);

private:
    void DrawNode(SceneGraphNode* node, CKDWORD entityFlags, CKBOOL parentInside);
    void DrawEntity(CK3dEntity* entity, CKDWORD entityFlags);

    RCKRenderContext* m_Context;
    XArray<CKRenderObject*> m_RenderObjects;
    XArray<CK3dEntity*> m_3dEntities;
    XArray<CKLight*> m_Lights;
    XArray<CKCamera*> m_Cameras;
    CKDWORD m_AmbientLight = 0;
    int m_EnabledLights = 0;
    XArray<CK3dEntity*> m_DrawnLast;
};
