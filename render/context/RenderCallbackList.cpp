#include "render/context/RenderCallbackList.h"

#include "render/context/RCKRenderManager.h"

RenderCallbackList::~RenderCallbackList()
{
    delete m_RenderCallback;
}

int RenderCallbackList::Find(const XArray<RenderCallbackRecord>& records, CKRenderCallbackFunction function,
                             void* argument)
{
    for (int i = 0; i < records.Size(); ++i)
        if (records[i].Function == function && records[i].Argument == argument)
            return i;
    return -1;
}

CKBOOL RenderCallbackList::Add(XArray<RenderCallbackRecord>& records, CKRenderCallbackFunction function, void* argument,
                               CKDWORD flags, RCKRenderManager* manager, CKBOOL post)
{
    if (!function || Find(records, function, argument) >= 0)
        return FALSE;
    records.PushBack(RenderCallbackRecord{function, argument, flags});
    m_Flags |= flags;
    if ((flags & CK_RENDERCALLBACK_TEMPORARY) && manager)
        manager->AddTemporaryCallback(this, function, argument, post);
    return TRUE;
}

CKBOOL RenderCallbackList::Remove(XArray<RenderCallbackRecord>& records, CKRenderCallbackFunction function,
                                  void* argument)
{
    int at = Find(records, function, argument);
    if (at < 0)
        return FALSE;
    records.RemoveAt(at);
    if (IsEmpty())
        m_Flags = 0;
    return TRUE;
}

CKBOOL RenderCallbackList::AddPreCallback(CKRenderCallbackFunction function, void* argument, CKDWORD flags,
                                          RCKRenderManager* manager)
{
    return Add(m_PreCallbacks, function, argument, flags, manager, FALSE);
}

CKBOOL RenderCallbackList::AddPostCallback(CKRenderCallbackFunction function, void* argument, CKDWORD flags,
                                           RCKRenderManager* manager)
{
    return Add(m_PostCallbacks, function, argument, flags, manager, TRUE);
}

CKBOOL RenderCallbackList::RemovePreCallback(CKRenderCallbackFunction function, void* argument)
{
    return Remove(m_PreCallbacks, function, argument);
}

CKBOOL RenderCallbackList::RemovePostCallback(CKRenderCallbackFunction function, void* argument)
{
    return Remove(m_PostCallbacks, function, argument);
}

void RenderCallbackList::SetRenderCallback(CKRenderCallbackFunction function, void* argument)
{
    if (!m_RenderCallback)
        m_RenderCallback = new RenderCallbackRecord;
    *m_RenderCallback = RenderCallbackRecord{function, argument, CK_RENDERCALLBACK_MODIFYPATH};
}

CKBOOL RenderCallbackList::RemoveRenderCallback()
{
    if (!m_RenderCallback)
        return FALSE;
    delete m_RenderCallback;
    m_RenderCallback = nullptr;
    if (IsEmpty())
        m_Flags = 0;
    return TRUE;
}

void RenderCallbackList::RemoveAll(RCKRenderManager* manager)
{
    if (manager)
        manager->RemoveTemporaryCallbacks(this);
    m_PreCallbacks.Free();
    m_PostCallbacks.Free();
    delete m_RenderCallback;
    m_RenderCallback = nullptr;
    m_Flags = 0;
}
