#pragma once

#include "includes/CKTypes.h"

class CKStateChunk;

// Flags of an object's descriptor in a scene.
enum : CKDWORD
{
    CK_SCENEOBJECT_START_ACTIVATE = 0x01,
    CK_SCENEOBJECT_ACTIVE = 0x08,
    CK_SCENEOBJECT_START_DEACTIVATE = 0x10,
    CK_SCENEOBJECT_START_RESET = 0x40,
    // Not a descriptor flag: in the word an object saves with its scene
    // flags, and in the object data a loaded object brings, it says that the
    // object has (or captures) an initial value.
    CK_SCENEOBJECT_INTERNAL_IC = 0x80,
};

// How one object enters a scene. The descriptor owns its initial value; it
// is a plain record so that the scene's table can move it, and is released
// only by Clear.
struct CKSceneObjectDesc
{
    // The pointer first: large scenes hold millions of these.
    CKStateChunk* m_InitialValue = nullptr;
    CK_ID m_Object = 0;
    CKDWORD m_Flags = CK_SCENEOBJECT_START_ACTIVATE | CK_SCENEOBJECT_START_RESET;

    // A fresh descriptor of the object (0 for none).
    void Init(CK_ID object)
    {
        m_Object = object;
        m_InitialValue = nullptr;
        m_Flags = CK_SCENEOBJECT_START_ACTIVATE | CK_SCENEOBJECT_START_RESET;
    }
    // Deletes the initial value and starts afresh with no object.
    void Clear();
    // Replaces the initial value (owned from now on).
    void SetInitialValue(CKStateChunk* chunk);
    // Bytes held: the initial value's data and 24 for its header.
    int GetSize() const;
    CKBOOL IsActive() const { return (m_Flags & CK_SCENEOBJECT_ACTIVE) != 0; }
};

// Older layouts of the flags word (scene chunks before data version 8):
// bit 8 active, bit 2 reset, bit 1 activate (its absence: deactivate).
CKDWORD CKConvertOldSceneObjectFlags(CKDWORD old);
