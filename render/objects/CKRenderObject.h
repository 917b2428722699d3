#pragma once

#include "core/object/CKBeObject.h"

class CKRenderContext;
class CKRenderObject;

// A render object's pre-render, post-render or replacing render callback:
// called with the render context, the object and the argument given.
typedef CKBOOL (*CK_RENDEROBJECT_CALLBACK)(CKRenderContext* context, CKRenderObject* object, void* argument);

// Base of everything a render context draws (class 47): the render contexts
// it is attached to and its render callbacks. The render library's classes
// implement it.
class CKRenderObject : public CKClass<CKRenderObject, CKBeObject, CKCID_RENDEROBJECT>
{
public:
    using CKClass::CKClass;

    virtual CKBOOL IsInRenderContext(CKRenderContext* context) = 0;
    virtual CKBOOL IsRootObject() = 0;
    virtual CKBOOL IsToBeRendered() = 0;
    virtual void SetZOrder(int z) = 0;
    virtual int GetZOrder() = 0;
    virtual CKBOOL IsToBeRenderedLast() = 0;
    // temporary: the callback runs for one frame; modifyRenderPath: a 3D
    // entity carrying it is drawn by its batch group.
    virtual CKBOOL AddPreRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument, CKBOOL temporary = FALSE,
                                        CKBOOL modifyRenderPath = FALSE) = 0;
    virtual CKBOOL RemovePreRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument) = 0;
    virtual CKBOOL SetRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument) = 0;
    virtual CKBOOL RemoveRenderCallBack() = 0;
    virtual CKBOOL AddPostRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument, CKBOOL temporary = FALSE,
                                         CKBOOL modifyRenderPath = FALSE) = 0;
    virtual CKBOOL RemovePostRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument) = 0;
    virtual void RemoveAllCallbacks() = 0;

    // What a render context calls when it takes the object or lets it go.
    virtual void AddToRenderContext(CKRenderContext* context) = 0;
    virtual void RemoveFromRenderContext(CKRenderContext* context) = 0;
};
