#include "core/object/CKObjectIDList.h"

#include "core/context/CKContext.h"
#include "core/object/CKObject.h"
#include "system/memory/QxMemoryManager.h"

CKObjectIDList::CKObjectIDList(const CKObjectIDList& other)
{
    for (Node* n = other.m_Head; n; n = n->m_Next)
        if (n->m_ID)
            InsertRear(n->m_ID);
}

CKObjectIDList::Node* CKObjectIDList::NewNode(CK_ID id)
{
    void* block = QxGetMemoryManager()->AllocatePoolObject(sizeof(Node));
    Node* node = static_cast<Node*>(block);
    node->m_Prev = node->m_Next = nullptr;
    node->m_ID = id;
    return node;
}

void CKObjectIDList::FreeNode(Node* node)
{
    QxGetMemoryManager()->FreePoolObject(sizeof(Node), node);
}

void CKObjectIDList::Reset()
{
    m_Cursor = m_Head;
    m_CursorIndex = m_Head ? 0 : -1;
}

void CKObjectIDList::Next()
{
    if (!m_Cursor)
        return;
    m_Cursor = m_Cursor->m_Next;
    m_CursorIndex = m_Cursor ? m_CursorIndex + 1 : -1;
}

CK_ID CKObjectIDList::GetCurrentID() const
{
    return m_Cursor ? m_Cursor->m_ID : 0;
}

CKObject* CKObjectIDList::GetCurrentObject(CKContext* context) const
{
    return m_Cursor && context ? context->GetObject(m_Cursor->m_ID) : nullptr;
}

void CKObjectIDList::Link(Node* node, Node* prev, Node* next)
{
    node->m_Prev = prev;
    node->m_Next = next;
    if (prev)
        prev->m_Next = node;
    else
        m_Head = node;
    if (next)
        next->m_Prev = node;
    else
        m_Tail = node;
    ++m_Count;
    if (m_Count == 1) {
        m_Cursor = node;
        m_CursorIndex = 0;
    }
}

void CKObjectIDList::InsertFront(CK_ID id)
{
    Link(NewNode(id), nullptr, m_Head);
    if (m_Count > 1 && m_Cursor)
        ++m_CursorIndex;
}

void CKObjectIDList::InsertFrontObject(CKObject* object)
{
    if (object)
        InsertFront(object->GetID());
}

void CKObjectIDList::InsertRear(CK_ID id)
{
    Link(NewNode(id), m_Tail, nullptr);
}

void CKObjectIDList::InsertRearObject(CKObject* object)
{
    if (object)
        InsertRear(object->GetID());
}

void CKObjectIDList::Unlink(Node* node)
{
    if (node->m_Prev)
        node->m_Prev->m_Next = node->m_Next;
    else
        m_Head = node->m_Next;
    if (node->m_Next)
        node->m_Next->m_Prev = node->m_Prev;
    else
        m_Tail = node->m_Prev;
    --m_Count;
}

CK_ID CKObjectIDList::RemoveEnd(bool front)
{
    Node* node = front ? m_Head : m_Tail;
    if (!node)
        return 0;
    const CK_ID id = node->m_ID;
    const bool cursorHere = m_Cursor == node;
    Unlink(node);
    FreeNode(node);
    if (cursorHere) {
        m_Cursor = front ? m_Head : m_Tail;
        m_CursorIndex = !m_Cursor ? -1 : front ? 0 : m_Count - 1;
    } else if (front && m_Cursor) {
        --m_CursorIndex;
    }
    return id;
}

CK_ID CKObjectIDList::RemoveFront()
{
    return RemoveEnd(true);
}

CK_ID CKObjectIDList::RemoveRear()
{
    return RemoveEnd(false);
}

CK_ID CKObjectIDList::RemoveCurrent()
{
    Node* node = m_Cursor;
    if (!node)
        return 0;
    CK_ID id = node->m_ID;
    m_Cursor = node->m_Next;
    Unlink(node);
    FreeNode(node);
    if (!m_Cursor)
        m_CursorIndex = -1;
    return id;
}

CKBOOL CKObjectIDList::FindID(CK_ID id)
{
    int index = 0;
    for (Node* n = m_Head; n && n->m_ID != 0; n = n->m_Next, ++index) {
        if (n->m_ID == id) {
            m_Cursor = n;
            m_CursorIndex = index;
            return TRUE;
        }
    }
    return FALSE;
}

CKBOOL CKObjectIDList::FindObject(CKObject* object)
{
    return FindID(object ? object->GetID() : 0);
}

CK_ID CKObjectIDList::ContainsObject(CKObject* object)
{
    Node* cursor = m_Cursor;
    int index = m_CursorIndex;
    CK_ID result = FindObject(object) ? object->GetID() : 0;
    m_Cursor = cursor;
    m_CursorIndex = index;
    return result;
}

CKBOOL CKObjectIDList::Check(CKContext* context)
{
    if (!context)
        return FALSE;
    CKBOOL removed = FALSE;
    Node* n = m_Head;
    while (n) {
        Node* next = n->m_Next;
        if (!context->GetObject(n->m_ID)) {
            if (m_Cursor == n)
                m_Cursor = next;
            Unlink(n);
            FreeNode(n);
            removed = TRUE;
        }
        n = next;
    }
    if (removed) {
        // Recount the cursor's position.
        int index = 0;
        Node* c = m_Head;
        while (c && c != m_Cursor) {
            c = c->m_Next;
            ++index;
        }
        m_CursorIndex = m_Cursor ? index : -1;
    }
    return removed;
}

void CKObjectIDList::Clear()
{
    Node* n = m_Head;
    while (n) {
        Node* next = n->m_Next;
        FreeNode(n);
        n = next;
    }
    m_Head = m_Tail = m_Cursor = nullptr;
    m_Count = 0;
    m_CursorIndex = -1;
}
