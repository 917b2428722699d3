#pragma once

#include "core/object/CKObject.h"
#include "includes/XArray.h"

// Chunk identifiers of the interface data.
enum : CKDWORD
{
    CK_STATESAVE_INTERFACECHUNKS = 0x01234567,
    CK_STATESAVE_INTERFACEGUID = 0x87654321,
};

// Editor interface data carried by a file: a list of state chunks (owned)
// and a GUID. Loaded only while the context is in interface mode.
class CKInterfaceObjectManager : public CKClass<CKInterfaceObjectManager, CKObject, CKCID_INTERFACEOBJECTMANAGER>
{
public:
    explicit CKInterfaceObjectManager(CKContext* context, const char* name = nullptr);
    ~CKInterfaceObjectManager() override;

    CKGUID GetGuid() const { return m_Guid; }
    void SetGuid(CKGUID guid) { m_Guid = guid; }
    int GetChunkCount() const { return m_Chunks.Size(); }
    // Null outside the list.
    CKStateChunk* GetChunk(int n) const { return n >= 0 && n < m_Chunks.Size() ? m_Chunks[n] : nullptr; }
    // Takes the chunk (null is kept as an empty item).
    void AddStateChunk(CKStateChunk* chunk) { m_Chunks.PushBack(chunk); }
    void DeleteAllChunks();

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // -1 for a null chunk or outside interface mode (nothing is read).
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;

    static void Register();
    static const char* GetClassName();

private:
    XArray<CKStateChunk*> m_Chunks;
    CKGUID m_Guid;
};
