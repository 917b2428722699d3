#pragma once

#include "render/objects/CKRenderObject.h"

class RenderCallbackList;
class RCKRenderManager;

// The render object: the render contexts it is attached to (one bit each)
// and its render callbacks. The interfaces of the render classes that
// derive from it (CK3dEntity...) derive from this implementation, so that
// each implementation class derives from its interface alone.
class RCKRenderObject : public CKRenderObject
{
public:
    explicit RCKRenderObject(CKContext* context, const char* name = nullptr);
    // Runs RemoveAllCallbacks.
    ~RCKRenderObject() override;

    // Can also be hidden hierarchically.
    CKBOOL CanBeHidden() override { return 2; }
    int GetMemoryOccupation() override;

    CKBOOL IsInRenderContext(CKRenderContext* context) override;
    CKBOOL IsRootObject() override { return TRUE; }
    CKBOOL IsToBeRendered() override { return TRUE; }
    void SetZOrder(int) override {}
    int GetZOrder() override { return 0; }
    CKBOOL IsToBeRenderedLast() override { return FALSE; }
    CKBOOL AddPreRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument, CKBOOL temporary = FALSE,
                                CKBOOL modifyRenderPath = FALSE) override;
    CKBOOL RemovePreRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument) override;
    CKBOOL SetRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument) override;
    CKBOOL RemoveRenderCallBack() override;
    CKBOOL AddPostRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument, CKBOOL temporary = FALSE,
                                 CKBOOL modifyRenderPath = FALSE) override;
    CKBOOL RemovePostRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument) override;
    void RemoveAllCallbacks() override;

    // The context's bit joins (leaves) the mask; a 3D entity passes the new
    // mask on to its scene-graph node.
    void AddToRenderContext(CKRenderContext* context) override;
    void RemoveFromRenderContext(CKRenderContext* context) override;

    CKDWORD GetRenderContextMask() const { return m_RenderContextMask; }
    // Null until a callback was added or set.
    RenderCallbackList* GetCallbacks() const { return m_Callbacks; }

    static CKObject* CreateInstance(CKContext* context) { return new RCKRenderObject(context); }
    static void Register();
    static const char* GetClassName();

protected:
    RCKRenderManager* GetRenderManager() const;
    RenderCallbackList* CallbackList();
    // Passes the mask to the 3D entity's scene-graph node.
    void UpdateNodeMask(CKRenderContext* context);

    CKDWORD m_RenderContextMask = 0;
    RenderCallbackList* m_Callbacks = nullptr;
};
