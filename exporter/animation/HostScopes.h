#pragma once

#include "includes/XArray.h"

class INode;
class IPhyContextExport;
class IPhysiqueExport;
class IPhyVertexExport;
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

// The Physique export interface of a modifier and its context for a node,
// given back (context first) when the scope ends. Either may be null.
class PhysiqueAccess
{
public:
    PhysiqueAccess(Modifier* physique, INode* node);
    ~PhysiqueAccess();
    PhysiqueAccess(const PhysiqueAccess&) = delete;
    PhysiqueAccess& operator=(const PhysiqueAccess&) = delete;

    IPhysiqueExport* Export() const { return m_Export; }
    IPhyContextExport* Context() const { return m_Context; }

private:
    Modifier* m_Modifier = nullptr;
    IPhysiqueExport* m_Export = nullptr;
    IPhyContextExport* m_Context = nullptr;
};

// One vertex interface of a Physique context, given back when the scope
// ends; null for a vertex the context does not have.
class PhysiqueVertexAccess
{
public:
    PhysiqueVertexAccess(IPhyContextExport* context, int vertex);
    ~PhysiqueVertexAccess();
    PhysiqueVertexAccess(const PhysiqueVertexAccess&) = delete;
    PhysiqueVertexAccess& operator=(const PhysiqueVertexAccess&) = delete;

    IPhyVertexExport* Get() const { return m_Vertex; }

private:
    IPhyContextExport* m_Context = nullptr;
    IPhyVertexExport* m_Vertex = nullptr;
};
