#pragma once

#include "core/object/CKObject.h"

class CKBehaviorIO;

// Chunk identifiers of a link's sections.
enum : CKDWORD
{
    CK_STATESAVE_BEHAVIORLINKDELAY_OLD = 4,
    CK_STATESAVE_BEHAVIORLINKIOS_OLD = 8,
    CK_STATESAVE_BEHAVIORLINKINITDELAY_OLD = 16,
    CK_STATESAVE_BEHAVIORLINKNEWDATA = 32, // delays word, input end, output end
};

// Joins one IO (its input end) to another (its output end) inside a graph,
// with an activation delay and an initial activation delay, saved as one
// word (activation delay low, initial delay high). A link is in the links
// list of its input end.
class CKBehaviorLink : public CKClass<CKBehaviorLink, CKObject, CKCID_BEHAVIORLINK>
{
public:
    explicit CKBehaviorLink(CKContext* context, const char* name = nullptr);

    CKWORD GetActivationDelay() const { return m_ActivationDelay; }
    void SetActivationDelay(CKWORD delay) { m_ActivationDelay = delay; }
    CKWORD GetInitialActivationDelay() const { return m_InitialActivationDelay; }
    void SetInitialActivationDelay(CKWORD delay) { m_InitialActivationDelay = delay; }
    CKBehaviorIO* GetInBehaviorIO() const { return m_In; }
    CKBehaviorIO* GetOutBehaviorIO() const { return m_Out; }
    // Moves the link from the old input end's list to the new one's.
    CKERROR SetInBehaviorIO(CKBehaviorIO* io);
    CKERROR SetOutBehaviorIO(CKBehaviorIO* io);

    // Identifier 32, in files or with save flags 0xF0.
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // Ends that are no IOs are dropped.
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void PostLoad() override;
    // Leaves its input end's list and the graph of that end's owner.
    void PreDelete() override;
    // Forgets ends that are being deleted.
    void CheckPreDeletion() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    static void Register();
    static const char* GetClassName();

private:
    CKWORD m_ActivationDelay = 1;
    CKWORD m_InitialActivationDelay = 1;
    CKBehaviorIO* m_In = nullptr;
    CKBehaviorIO* m_Out = nullptr;
};
