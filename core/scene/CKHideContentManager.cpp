#include "core/scene/CKHideContentManager.h"

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKGlobals.h"
#include "core/context/CKVariableManager.h"

CKHideContentManager::CKHideContentManager(CKContext* context)
    : CKBaseManager(context, HIDECONTENT_MANAGER_GUID, "HideContentManager")
{
    if (CKVariableManager* vm = context->GetVariableManager())
        vm->BindString("File Options/Protect Content Password", &CKGetGlobals().m_ProtectContentPassword, "empty", 0,
                       "If you choose to hide content, this value is the one you will need if you want to UnHide this "
                       "same content.");
    m_Context->RegisterNewManager(this);
}

CKHideContentManager::~CKHideContentManager()
{
    if (CKVariableManager* vm = m_Context->GetVariableManager())
        vm->UnBind("File Options/Protect Content Password");
}

CKStateChunk* CKHideContentManager::SaveData(CKFile* file)
{
    (void) file;
    CKStateChunk* chunk = CKCreateStateChunk(ChunkClassID);
    chunk->StartWrite();
    chunk->CloseChunk();
    return chunk;
}
