#pragma once

#include "core/behavior/CKActiveObjectTable.h"
#include "core/context/CKBaseManager.h"
#include "includes/XArray.h"

class CKBeObject;
class CKBehavior;

// Higher priority first: the second object's priority minus the first's; 0
// when either is null. Arguments point to object pointers.
int CKCompareBeObjectPriority(const void* a, const void* b);

// The bookkeeping of behavioural objects: how many active scripts each
// object has, the objects sorted by priority and the behaviours processed in
// a frame. Relays pause and play to every behaviour, and binds
// "BehaviorManager/MaxIteration". It runs no behaviour.
class CKBehaviorManager : public CKBaseManager
{
public:
    explicit CKBehaviorManager(CKContext* context);
    ~CKBehaviorManager() override;

    // -34 for null; the object's count goes up (down) by one, from 0 when it
    // has none.
    CKERROR AddActiveObject(CKBeObject* object);
    CKERROR RemoveActiveObject(CKBeObject* object);
    // The object's count; 0 when it has none.
    int GetActiveObjectCount(CK_ID id) const;
    const CKActiveObjectTable& GetActiveObjects() const { return m_ActiveObjects; }
    // Stable, higher priority first; called when an object's priority changes.
    void SortObjects();

    CKERROR PreClearAll() override;
    CKERROR PreProcess() override;
    // Messages 5 and 6 to every behaviour with an owner.
    CKERROR OnCKPause() override;
    CKERROR OnCKPlay() override;
    CKERROR OnObjectsToBeDeleted(CK_ID* ids, int count) override;
    // Counts of ids that name no object any more are dropped.
    CKERROR OnObjectsDeleted(CK_ID* ids, int count) override;
    CKDWORD GetValidFunctionsMask() override { return 0x317; }

    int GetMaxIteration() const { return m_MaxIteration; }

private:
    void ClearProcessed();

    XArray<CKBehavior*> m_Behaviors;
    XArray<CKBeObject*> m_BeObjects;
    CKActiveObjectTable m_ActiveObjects;
    int m_MaxIteration = 8000;
};
