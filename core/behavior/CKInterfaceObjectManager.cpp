#include "core/behavior/CKInterfaceObjectManager.h"

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"

CKInterfaceObjectManager::CKInterfaceObjectManager(CKContext* context, const char* name) : CKClass(context, name) {}

CKInterfaceObjectManager::~CKInterfaceObjectManager()
{
    DeleteAllChunks();
}

void CKInterfaceObjectManager::DeleteAllChunks()
{
    for (CKStateChunk* chunk : m_Chunks)
        CKDeleteStateChunk(chunk);
    m_Chunks.Free();
}

CKStateChunk* CKInterfaceObjectManager::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_INTERFACEOBJECTMANAGER, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(CKObject::Save(file, flags));
    chunk->WriteIdentifier(CK_STATESAVE_INTERFACECHUNKS);
    chunk->WriteInt(m_Chunks.Size());
    for (CKStateChunk* item : m_Chunks)
        chunk->WriteSubChunk(item);
    chunk->WriteIdentifier(CK_STATESAVE_INTERFACEGUID);
    chunk->WriteGuid(m_Guid);
    if (GetClassID() == CKCID_INTERFACEOBJECTMANAGER)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR CKInterfaceObjectManager::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk || !m_Context || !m_Context->IsInInterfaceMode())
        return CKErr::InvalidParameter;
    CKObject::Load(chunk, file);
    if (chunk->SeekIdentifier(CK_STATESAVE_INTERFACECHUNKS)) {
        DeleteAllChunks();
        int count = chunk->ReadInt();
        // Each item takes a word at least: a count past the data ends with
        // the chunk's read error.
        for (int i = 0; i < count && chunk->GetReadError() == 0; ++i) {
            CKStateChunk* item = chunk->ReadSubChunk();
            if (chunk->GetReadError() != 0) {
                CKDeleteStateChunk(item);
                break;
            }
            m_Chunks.PushBack(item);
        }
    }
    m_Guid = chunk->SeekIdentifier(CK_STATESAVE_INTERFACEGUID) ? chunk->ReadGuid() : CKGUID();
    return CKErr::Ok;
}

void CKInterfaceObjectManager::Register()
{
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_NODUPLICATENAMECHECK);
}

const char* CKInterfaceObjectManager::GetClassName()
{
    return "KeltraneInterfaceObject";
}
