#pragma once

#include "includes/CKTypes.h"

class CKContext;
class CKObject;

// A doubly linked list of object ids with a cursor; nodes come from the
// memory manager's pools.
class CKObjectIDList
{
public:
    CKObjectIDList() = default;
    // Appends every non-zero id of the source, in order.
    CKObjectIDList(const CKObjectIDList& other);
    CKObjectIDList& operator=(const CKObjectIDList&) = delete;
    ~CKObjectIDList() { Clear(); }

    int GetCount() const { return m_Count; }
    CKBOOL IsEmpty() const { return m_Count == 0; }
    // Cursor at the head, index 0.
    void Reset();
    // Past the last node the cursor is null and the index -1.
    void Next();
    CKBOOL EndOfList() const { return m_Cursor == nullptr; }
    int GetCursorIndex() const { return m_CursorIndex; }
    // 0 / null past the end.
    CK_ID GetCurrentID() const;
    CKObject* GetCurrentObject(CKContext* context) const;

    void InsertFront(CK_ID id);
    void InsertFrontObject(CKObject* object); // a null object adds nothing
    void InsertRear(CK_ID id);
    void InsertRearObject(CKObject* object); // a null object adds nothing
    // The removed end node's id (0 when empty); a cursor on it moves to the
    // new end node.
    CK_ID RemoveFront();
    CK_ID RemoveRear();
    // Removes the cursor's node (0 past the end); the cursor moves to the next.
    CK_ID RemoveCurrent();
    // Moves the cursor to the first node with the id; stops with false at the
    // end or at a node holding 0.
    CKBOOL FindID(CK_ID id);
    CKBOOL FindObject(CKObject* object);
    // The object's id when the list holds it, else 0; the cursor is restored.
    CK_ID ContainsObject(CKObject* object);
    // Removes the ids that name no object of the context; true when any was.
    CKBOOL Check(CKContext* context);
    void Clear();

private:
    struct Node
    {
        Node* m_Prev;
        Node* m_Next;
        CK_ID m_ID;
    };
    Node* NewNode(CK_ID id);
    void FreeNode(Node* node);
    // Links node between prev and next (null: an end of the list); the
    // first node of a list takes the cursor.
    void Link(Node* node, Node* prev, Node* next);
    void Unlink(Node* node);
    // RemoveFront or RemoveRear.
    CK_ID RemoveEnd(bool front);

    Node* m_Cursor = nullptr;
    Node* m_Head = nullptr;
    Node* m_Tail = nullptr;
    int m_Count = 0;
    int m_CursorIndex = -1;
};
