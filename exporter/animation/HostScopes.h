#pragma once

#include "includes/XArray.h"

class INode;
class Modifier;
class Object;

// Undoes the innermost undo super-transaction: everything the export
// changed in the host since its SuperBegin.
void CancelUndoTransaction();

// An undo super-transaction for the lifetime of the object: whatever the
// export changes in the host meanwhile (copied nodes, channel weights) is
// undone when it ends, on every path.
class UndoTransaction
{
public:
    UndoTransaction();
    ~UndoTransaction();
    UndoTransaction(const UndoTransaction&) = delete;
    UndoTransaction& operator=(const UndoTransaction&) = delete;
};

// Switches off every enabled Morpher of the node for its lifetime and
// switches them on again when it ends. Made with a null node it holds
// nothing.
class MorpherDisabler
{
public:
    explicit MorpherDisabler(INode* node);
    ~MorpherDisabler();
    MorpherDisabler(const MorpherDisabler&) = delete;
    MorpherDisabler& operator=(const MorpherDisabler&) = delete;

    int Count() const { return m_Disabled.Size(); }

private:
    XArray<Modifier*> m_Disabled;
};

// A host object converted for one reading: deleted when the scope ends when
// it is a temporary copy.
class ConvertedObject
{
public:
    ConvertedObject() = default;
    ~ConvertedObject() { Release(); }
    ConvertedObject(const ConvertedObject&) = delete;
    ConvertedObject& operator=(const ConvertedObject&) = delete;

    // Takes an object and whether it is a temporary copy; the one held
    // before is released first.
    void Reset(Object* object, bool deleteIt);
    void Release();

private:
    Object* m_Object = nullptr;
    bool m_Delete = false;
};
