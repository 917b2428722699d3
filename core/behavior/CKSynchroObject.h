#pragma once

#include "core/object/CKObject.h"
#include "core/object/CKObjectIDList.h"

// Chunk identifier of the count and both lists.
constexpr CKDWORD CK_STATESAVE_SYNCHRODATA = 16;

// A rendez-vous that behaviours share: a maximum count, the objects that
// arrived and those that passed. Ids that no longer name objects leave the
// lists. A creation under a name in use gives the existing object.
class CKSynchroObject : public CKClass<CKSynchroObject, CKObject, CKCID_SYNCHRO>
{
public:
    explicit CKSynchroObject(CKContext* context, const char* name = nullptr);

    int GetRendezVousNumberOfWaiters() const { return m_MaxWaiters; }
    void SetRendezVousNumberOfWaiters(int count) { m_MaxWaiters = count; }
    CKObjectIDList& GetArrivedObjects() { return m_Arrived; }
    CKObjectIDList& GetPassedObjects() { return m_Passed; }

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // -1 for a null chunk.
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPostDeletion() override;
    // For behavioural objects: whether either list holds it.
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    int GetMemoryOccupation() override;

    static void Register();
    static const char* GetClassName();

private:
    int m_MaxWaiters = 0;
    CKObjectIDList m_Arrived;
    CKObjectIDList m_Passed;
};
