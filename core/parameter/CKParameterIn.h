#pragma once

#include "core/object/CKObject.h"
#include "core/parameter/CKParameter.h"

// Identifiers of an input's state chunk.
enum : CKDWORD
{
    CK_STATESAVE_PARAMETERIN_OWNER_OLD = 128, // data version 0
    CK_STATESAVE_PARAMETERIN_SHARED_OLD = 256,
    CK_STATESAVE_PARAMETERIN_SOURCE_OLD = 512,
    CK_STATESAVE_PARAMETERIN_OLD = 1024, // the type, then owner, shared input and source
    CK_STATESAVE_PARAMETERIN_SHARED = 2048,
    CK_STATESAVE_PARAMETERIN_SOURCE = 4096,
    CK_STATESAVE_PARAMETERIN_DISABLED = 8192,
};

// The input plug of a behaviour or a parameter operation. It holds no value:
// it reads its source (an output or a local parameter), or, when it is
// shared (flag CK_PARAMETERIN_SHARED), the source of another input.
class CKParameterIn : public CKClass<CKParameterIn, CKObject, CKCID_PARAMETERIN>
{
public:
    explicit CKParameterIn(CKContext* context, const char* name = nullptr);

    // The real source's GetValue (with update); -24 without source.
    CKERROR GetValue(void* buffer);
    // The real source's read pointer (with update); null without source.
    void* GetReadDataPtr();
    // Follows shared inputs to the one that is not shared and gives its
    // source; null when none (a ring of shared inputs has none).
    CKParameter* GetRealSource();
    // The source of an input that is not shared, the input it shares
    // otherwise (null when none).
    CKParameter* GetDirectSource();
    CKParameterIn* GetSharedSource();
    // The input reads param (the shared flag goes); 0.
    CKERROR SetDirectSource(CKParameter* param);
    // The input reads the source of another input; -1 for itself.
    CKERROR ShareSourceWith(CKParameterIn* input);

    CKObject* GetOwner() const { return m_Owner; }
    void SetOwner(CKObject* owner) { m_Owner = owner; }

    // -1 / (0, 0) without type.
    int GetType() const { return m_ParamType ? m_ParamType->Index : -1; }
    CKGUID GetGUID() const { return m_ParamType ? m_ParamType->Guid : CKGUID(); }
    CKParameterTypeDesc* GetTypeDesc() const { return m_ParamType; }
    // Sets the type, and the name when one is given. propagate: a behaviour's
    // input passes the type (and name) on to the local of the parent
    // behaviour that it reads, or along the inputs it shares that belong to
    // the parent behaviours.
    void SetType(int type, CKBOOL propagate = FALSE, const char* newName = nullptr);
    void SetGUID(CKGUID guid, CKBOOL propagate = FALSE, const char* newName = nullptr);
    // Called by the parameter manager while it unregisters the type.
    void ForgetType() { m_ParamType = nullptr; }

    // Adds the real source, by reference.
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    // Leaves the owning operation, or the lists of the owning behaviours.
    void PreDelete() override;
    // Forgets a source or an owner that is being deleted.
    void CheckPreDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    static void Register();
    static const char* GetClassName();

private:
    CKBOOL IsShared() const { return (m_ObjectFlags & CK_PARAMETERIN_SHARED) != 0; }
    // Walks are bounded by the context's object count.
    int WalkBound() const;
    void SetTypeDesc(CKParameterTypeDesc* desc, const char* newName);

    CKObject* m_Owner = nullptr;
    // A CKParameter, or for a shared input a CKParameterIn.
    CKObject* m_Source = nullptr;
    CKParameterTypeDesc* m_ParamType = nullptr;
};
