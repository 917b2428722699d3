#pragma once

#include "core/object/CKObject.h"

// Chunk identifier of the state word.
constexpr CKDWORD CK_STATESAVE_STATEOBJECT = 16;

// A 32-bit state word that behaviours share. A creation under a name in use
// gives the existing object.
class CKStateObject : public CKClass<CKStateObject, CKObject, CKCID_STATE>
{
public:
    explicit CKStateObject(CKContext* context, const char* name = nullptr);

    CKDWORD GetState() const { return m_State; }
    void SetState(CKDWORD state) { m_State = state; }

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // -1 for a null chunk.
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    int GetMemoryOccupation() override { return CKObject::GetMemoryOccupation() + 4; }

    static void Register();
    static const char* GetClassName();

private:
    CKDWORD m_State = 0;
};
