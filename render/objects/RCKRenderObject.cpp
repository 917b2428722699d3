#include "render/objects/RCKRenderObject.h"

#include <new>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/RenderCallbackList.h"
#include "render/context/SceneGraphNode.h"
#include "render/objects/CK3dEntity.h"

RCKRenderObject::RCKRenderObject(CKContext* context, const char* name) : CKRenderObject(context, name) {}

RCKRenderObject::~RCKRenderObject()
{
    RemoveAllCallbacks();
}

int RCKRenderObject::GetMemoryOccupation()
{
    // The mask and the list pointer, as the engine's 32-bit figures count them.
    return CKBeObject::GetMemoryOccupation() + 8;
}

RCKRenderManager* RCKRenderObject::GetRenderManager() const
{
    return m_Context ? static_cast<RCKRenderManager*>(m_Context->GetRenderManager()) : nullptr;
}

RenderCallbackList* RCKRenderObject::CallbackList()
{
    if (!m_Callbacks)
        m_Callbacks = new (std::nothrow) RenderCallbackList;
    return m_Callbacks;
}

CKBOOL RCKRenderObject::IsInRenderContext(CKRenderContext* context)
{
    return context && (static_cast<RCKRenderContext*>(context)->GetMaskBit() & m_RenderContextMask) != 0;
}

CKBOOL RCKRenderObject::AddPreRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument, CKBOOL temporary,
                                             CKBOOL modifyRenderPath)
{
    RenderCallbackList* list = CallbackList();
    CKDWORD flags = (temporary ? (CKDWORD) CK_RENDERCALLBACK_TEMPORARY : 0u) |
                    (modifyRenderPath ? (CKDWORD) CK_RENDERCALLBACK_MODIFYPATH : 0u);
    return list && list->AddPreCallback(CKRenderCallbackFrom(function), argument, flags, GetRenderManager());
}

CKBOOL RCKRenderObject::RemovePreRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument)
{
    return m_Callbacks && m_Callbacks->RemovePreCallback(CKRenderCallbackFrom(function), argument);
}

CKBOOL RCKRenderObject::SetRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument)
{
    RenderCallbackList* list = CallbackList();
    if (!list)
        return FALSE;
    list->SetRenderCallback(CKRenderCallbackFrom(function), argument);
    return TRUE;
}

CKBOOL RCKRenderObject::RemoveRenderCallBack()
{
    return m_Callbacks && m_Callbacks->RemoveRenderCallback();
}

CKBOOL RCKRenderObject::AddPostRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument, CKBOOL temporary,
                                              CKBOOL modifyRenderPath)
{
    RenderCallbackList* list = CallbackList();
    CKDWORD flags = (temporary ? (CKDWORD) CK_RENDERCALLBACK_TEMPORARY : 0u) |
                    (modifyRenderPath ? (CKDWORD) CK_RENDERCALLBACK_MODIFYPATH : 0u);
    return list && list->AddPostCallback(CKRenderCallbackFrom(function), argument, flags, GetRenderManager());
}

CKBOOL RCKRenderObject::RemovePostRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument)
{
    return m_Callbacks && m_Callbacks->RemovePostCallback(CKRenderCallbackFrom(function), argument);
}

void RCKRenderObject::RemoveAllCallbacks()
{
    if (!m_Callbacks)
        return;
    m_Callbacks->RemoveAll(GetRenderManager());
    delete m_Callbacks;
    m_Callbacks = nullptr;
}

void RCKRenderObject::AddToRenderContext(CKRenderContext* context)
{
    if (!context)
        return;
    m_RenderContextMask |= static_cast<RCKRenderContext*>(context)->GetMaskBit();
    UpdateNodeMask(context);
}

void RCKRenderObject::RemoveFromRenderContext(CKRenderContext* context)
{
    if (!context)
        return;
    m_RenderContextMask &= ~static_cast<RCKRenderContext*>(context)->GetMaskBit();
    UpdateNodeMask(context);
}

void RCKRenderObject::UpdateNodeMask(CKRenderContext* context)
{
    if (!CKIsChildClassOfObject(this, CKCID_3DENTITY) || (m_Context && m_Context->IsInClearAll()))
        return;
    SceneGraphNode* node = static_cast<CK3dEntity*>(this)->GetSceneGraphNode();
    if (!node)
        return;
    // While a context attaches many objects, the masks are passed up once
    // at the end.
    if (static_cast<RCKRenderContext*>(context)->IsAttachingObjects())
        node->SetEntityMask(m_RenderContextMask);
    else
        node->SetRenderContextMask(m_RenderContextMask);
}

void RCKRenderObject::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x65706358, 0x63627B50));
}

const char* RCKRenderObject::GetClassName()
{
    return "Render Object";
}
