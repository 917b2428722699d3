#include "render/objects/RCKRenderObject.h"

#include <new>

#include "core/context/CKContext.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/RenderCallbackList.h"

namespace {

CKDWORD RecordFlags(CKBOOL temporary, CKBOOL modifyRenderPath)
{
    return (temporary ? (CKDWORD) CK_RENDERCALLBACK_TEMPORARY : 0u) |
           (modifyRenderPath ? (CKDWORD) CK_RENDERCALLBACK_MODIFYPATH : 0u);
}

} // namespace

RCKRenderObject::RCKRenderObject(CKContext* context, const char* name) : CKRenderObject(context, name) {}

RCKRenderObject::~RCKRenderObject()
{
    RemoveAllCallbacks();
}

int RCKRenderObject::GetMemoryOccupation()
{
    return CKRenderObject::GetMemoryOccupation() + 8;
}

RCKRenderManager* RCKRenderObject::GetRenderManager() const
{
    return m_Context ? static_cast<RCKRenderManager*>(m_Context->GetRenderManager()) : nullptr;
}

RenderCallbackList* RCKRenderObject::Callbacks()
{
    if (!m_Callbacks)
        m_Callbacks = new (std::nothrow) RenderCallbackList;
    return m_Callbacks;
}

CKBOOL RCKRenderObject::IsInRenderContext(CKRenderContext* context)
{
    return context && (m_RenderContextMask & static_cast<RCKRenderContext*>(context)->GetMaskBit()) != 0;
}

CKBOOL RCKRenderObject::AddPreRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument, CKBOOL temporary,
                                             CKBOOL modifyRenderPath)
{
    RenderCallbackList* list = function ? Callbacks() : nullptr;
    return list && list->AddPreCallback(CKRenderCallbackFrom(function), argument,
                                        RecordFlags(temporary, modifyRenderPath), GetRenderManager());
}

CKBOOL RCKRenderObject::RemovePreRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument)
{
    return m_Callbacks && m_Callbacks->RemovePreCallback(CKRenderCallbackFrom(function), argument);
}

CKBOOL RCKRenderObject::SetRenderCallBack(CK_RENDEROBJECT_CALLBACK function, void* argument)
{
    RenderCallbackList* list = Callbacks();
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
    RenderCallbackList* list = function ? Callbacks() : nullptr;
    return list && list->AddPostCallback(CKRenderCallbackFrom(function), argument,
                                         RecordFlags(temporary, modifyRenderPath), GetRenderManager());
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
    if (context)
        m_RenderContextMask |= static_cast<RCKRenderContext*>(context)->GetMaskBit();
}

void RCKRenderObject::RemoveFromRenderContext(CKRenderContext* context)
{
    if (context)
        m_RenderContextMask &= ~static_cast<RCKRenderContext*>(context)->GetMaskBit();
}
