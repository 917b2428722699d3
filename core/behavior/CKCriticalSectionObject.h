#pragma once

#include "core/object/CKObject.h"

// Chunk identifier of the holder.
constexpr CKDWORD CK_STATESAVE_CRITICALSECTION = 16;

// The id of the object that holds a section behaviours share; 0 when free.
// A creation under a name in use gives the existing object.
class CKCriticalSectionObject : public CKClass<CKCriticalSectionObject, CKObject, CKCID_CRITICALSECTION>
{
public:
    explicit CKCriticalSectionObject(CKContext* context, const char* name = nullptr);

    CK_ID GetHolder() const { return m_Holder; }
    void SetHolder(CK_ID holder) { m_Holder = holder; }

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // -1 for a null chunk.
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    // A holder that no longer exists frees the section.
    void CheckPostDeletion() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    int GetMemoryOccupation() override { return CKObject::GetMemoryOccupation() + 4; }

    static void Register();
    static const char* GetClassName();

private:
    CK_ID m_Holder = 0;
};
