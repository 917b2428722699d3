// The parameter manager's registry of operation functions.
#include <cstring>

#include "core/context/CKFunctions.h"
#include "core/parameter/CKParameterManager.h"

namespace {

// The node of guid among the sorted nodes, inserted in order when absent.
CKOperationNode* FindOrInsertNode(int& count, CKOperationNode*& nodes, CKGUID guid)
{
    if (CKOperationNode* found = CKFindOperationNode(nodes, 0, count - 1, guid))
        return found;
    int at = 0;
    while (at < count && nodes[at].Guid < guid)
        ++at;
    CKOperationNode* grown = new CKOperationNode[count + 1];
    for (int i = 0; i < at; ++i)
        grown[i] = nodes[i];
    grown[at].Guid = guid;
    for (int i = at; i < count; ++i)
        grown[i + 1] = nodes[i];
    delete[] nodes;
    nodes = grown;
    ++count;
    return &nodes[at];
}

void FreeNodes(int count, CKOperationNode* nodes)
{
    for (int i = 0; i < count; ++i)
        FreeNodes(nodes[i].ChildCount, nodes[i].Children);
    delete[] nodes;
}

// A combination of (output, input 1, input 2) already tried and found empty.
struct Triple
{
    CKGUID out, in1, in2;
    bool operator==(const Triple&) const = default;
};

} // namespace

CKOperationNode* CKFindOperationNode(CKOperationNode* nodes, int lo, int hi, CKGUID guid)
{
    while (lo <= hi) {
        if (hi == lo)
            return nodes[lo].Guid == guid ? &nodes[lo] : nullptr;
        const int mid = (lo + hi) / 2;
        if (nodes[mid].Guid == guid)
            return &nodes[mid];
        // Upper half when the middle GUID is not greater than the key.
        if (!(guid < nodes[mid].Guid))
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return nullptr;
}

int CKParameterManager::RegisterOperationType(CKGUID guid, const char* name)
{
    if (!guid.IsValid())
        return -1;
    int code = OperationGuidToCode(guid);
    if (code >= 0)
        return code;
    for (code = 0; code < m_OperationTree.Size() && m_OperationTree[code].Valid; ++code) {
    }
    if (code == m_OperationTree.Size())
        m_OperationTree.PushBack(CKOperationDesc());
    CKOperationDesc& op = m_OperationTree[code];
    op.Name = CKStrdup(name ? name : "");
    op.Guid = guid;
    op.Count = 0;
    op.Nodes = nullptr;
    op.Valid = TRUE;
    m_OperationGuids.Insert(guid, code);
    return code;
}

CKERROR CKParameterManager::RegisterOperationFunction(CKGUID operation, CKGUID output, CKGUID input1, CKGUID input2,
                                                      CK_PARAMETEROPERATION fct)
{
    if (!fct)
        return CKErr::InvalidParameter;
    int code = OperationGuidToCode(operation);
    if (code < 0)
        return CKErr::InvalidOperation;
    CKOperationDesc& op = m_OperationTree[code];
    CKOperationNode* first = FindOrInsertNode(op.Count, op.Nodes, input1);
    CKOperationNode* second = FindOrInsertNode(first->ChildCount, first->Children, input2);
    CKOperationNode* last = FindOrInsertNode(second->ChildCount, second->Children, output);
    last->Fct = fct;
    return CKErr::Ok;
}

int CKParameterManager::OperationGuidToCode(CKGUID guid) const
{
    const int* code = m_OperationGuids.FindPtr(guid);
    return code ? *code : -1;
}

const CKOperationDesc* CKParameterManager::GetOperationDescription(CKGUID guid) const
{
    int code = OperationGuidToCode(guid);
    if (code < 0 || code >= m_OperationTree.Size() || !m_OperationTree[code].Valid)
        return nullptr;
    return &m_OperationTree[code];
}

CK_PARAMETEROPERATION CKParameterManager::GetOperationFunction(CKGUID operation, CKGUID output, CKGUID input1,
                                                               CKGUID input2) const
{
    int code = OperationGuidToCode(operation);
    if (code < 0 || code >= m_OperationTree.Size())
        return nullptr;
    const CKOperationDesc& op = m_OperationTree[code];

    // Every retry moves a type to its parent; a combination reached along
    // several roads is searched once, which keeps deep hierarchies from
    // multiplying the work without changing which function comes first.
    XArray<Triple> tried;
    auto search = [&](auto& self, CKGUID out, CKGUID in1, CKGUID in2) -> CK_PARAMETEROPERATION {
        Triple key{out, in1, in2};
        if (tried.GetPosition(key) >= 0)
            return nullptr;
        tried.PushBack(key);
        CKOperationNode* n1 = CKFindOperationNode(op.Nodes, 0, op.Count - 1, in1);
        CKOperationNode* n2 = n1 ? CKFindOperationNode(n1->Children, 0, n1->ChildCount - 1, in2) : nullptr;
        CKOperationNode* n3 = n2 ? CKFindOperationNode(n2->Children, 0, n2->ChildCount - 1, out) : nullptr;
        if (n3 && n3->Fct)
            return n3->Fct;

        CKGUID outParent, parent1, parent2;
        bool hasOut = GetParentGuid(out, outParent);
        bool has1 = GetParentGuid(in1, parent1);
        bool has2 = GetParentGuid(in2, parent2);
        CK_PARAMETEROPERATION found = nullptr;
        auto attempt = [&](bool allowed, CKGUID o, CKGUID a, CKGUID b) {
            if (!found && allowed)
                found = self(self, o, a, b);
        };
        if (has1 && has2) {
            attempt(hasOut, outParent, parent1, parent2);
            attempt(true, out, parent1, parent2);
        }
        if (has1) {
            attempt(hasOut, outParent, parent1, in2);
            attempt(true, out, parent1, in2);
        }
        if (has2) {
            attempt(hasOut, outParent, in1, parent2);
            attempt(true, out, in1, parent2);
        }
        attempt(hasOut, outParent, in1, in2);
        return found;
    };
    return search(search, output, input1, input2);
}

void CKParameterManager::RemoveTypeFromOperationTree(int& count, CKOperationNode*& nodes, CKGUID guid)
{
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (nodes[i].Guid == guid)
            FreeNodes(nodes[i].ChildCount, nodes[i].Children);
        else {
            RemoveTypeFromOperationTree(nodes[i].ChildCount, nodes[i].Children, guid);
            ++kept;
        }
    }
    if (kept == count)
        return;
    CKOperationNode* remaining = kept > 0 ? new CKOperationNode[kept] : nullptr;
    for (int i = 0, k = 0; i < count; ++i)
        if (nodes[i].Guid != guid)
            remaining[k++] = nodes[i];
    delete[] nodes;
    nodes = remaining;
    count = kept;
}

CKERROR CKParameterManager::UnRegisterOperationType(int code)
{
    if (code < 0 || code >= m_OperationTree.Size() || !m_OperationTree[code].Valid)
        return CKErr::InvalidOperation;
    CKOperationDesc& op = m_OperationTree[code];
    m_OperationGuids.Remove(op.Guid);
    op.Valid = FALSE;
    FreeNodes(op.Count, op.Nodes);
    op.Nodes = nullptr;
    op.Count = 0;
    CKFreeString(op.Name);
    op.Name = nullptr;
    return CKErr::Ok;
}

void CKParameterManager::RemoveAllOperations()
{
    for (int code = 0; code < m_OperationTree.Size(); ++code)
        UnRegisterOperationType(code);
    m_OperationTree.Free();
    m_OperationGuids.Clear();
}
