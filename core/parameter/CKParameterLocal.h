#pragma once

#include "core/parameter/CKParameter.h"

// A behaviour's own value or setting (flag CK_PARAMETERLOCAL_SETTING). A
// myself local (flag CK_PARAMETERLOCAL_MYSELF) holds the id of the object its
// behaviour is applied to and refuses writes.
class CKParameterLocal : public CKClass<CKParameterLocal, CKParameter, CKCID_PARAMETERLOCAL>
{
public:
    explicit CKParameterLocal(CKContext* context, const char* name = nullptr);

    // A myself local: -1, and null for GetWriteDataPtr.
    CKERROR SetValue(const void* buffer, int size = 0) override;
    CKERROR CopyValue(CKParameter* source, CKBOOL updateSource = TRUE) override;
    void* GetWriteDataPtr() override;
    CKERROR SetStringValue(const char* text) override;
    // A myself local follows its new owner.
    void SetOwner(CKObject* owner) override;

    // On: the value becomes the id of the owner (of the behaviour's owner for
    // a behaviour), typed by that object's class ("Behavioral Object" without
    // one), and the local refuses writes. Off: writable again.
    void SetAsMyselfParameter(CKBOOL on);

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    // Leaves the owning behaviour's local list.
    void PreDelete() override;

    static void Register();
    static const char* GetClassName();

protected:
    CKBOOL IsMyself() const { return (m_ObjectFlags & CK_PARAMETERLOCAL_MYSELF) != 0; }
};
