#include "core/scene/CKSceneObjectDesc.h"

#include "core/chunk/CKStateChunk.h"

void CKSceneObjectDesc::Clear()
{
    CKDeleteStateChunk(m_InitialValue);
    Init(0);
}

void CKSceneObjectDesc::SetInitialValue(CKStateChunk* chunk)
{
    if (chunk == m_InitialValue)
        return;
    CKDeleteStateChunk(m_InitialValue);
    m_InitialValue = chunk;
}

int CKSceneObjectDesc::GetSize() const
{
    return m_InitialValue ? m_InitialValue->GetDataSize() + 24 : 0;
}

CKDWORD CKConvertOldSceneObjectFlags(CKDWORD old)
{
    CKDWORD flags = old & CK_SCENEOBJECT_ACTIVE;
    if (old & 2)
        flags |= CK_SCENEOBJECT_START_RESET;
    flags |= (old & 1) ? CK_SCENEOBJECT_START_ACTIVATE : CK_SCENEOBJECT_START_DEACTIVATE;
    return flags;
}
