#pragma once

#include "render/objects/CKRenderObject.h"

class RenderCallbackList;
class RCKRenderManager;

// What every object a render context draws keeps: one bit per render
// context it is attached to, and its callbacks (the list is made by the
// first Add or Set and goes with RemoveAllCallbacks). The interfaces of the
// 2D entities derive from it.
class RCKRenderObject : public CKRenderObject
{
public:
    explicit RCKRenderObject(CKContext* context, const char* name = nullptr);
    // Runs RemoveAllCallbacks.
    ~RCKRenderObject() override;

    // 2: the object can also be hidden through its hierarchy.
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
    void AddToRenderContext(CKRenderContext* context) override;
    void RemoveFromRenderContext(CKRenderContext* context) override;

    CKDWORD GetRenderContextMask() const { return m_RenderContextMask; }
    // Null until a callback was added or set.
    RenderCallbackList* GetCallbacks() const { return m_Callbacks; }

protected:
    // The context's render manager, null without one.
    RCKRenderManager* GetRenderManager() const;
    // The callback list, made when missing; null without memory.
    RenderCallbackList* Callbacks();

    CKDWORD m_RenderContextMask = 0;
    RenderCallbackList* m_Callbacks = nullptr; // owned
};
