#include "core/bitmap/CKBitmapReader.h"

#include "core/context/CKPluginInfo.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "system/memory/QxAlignedAlloc.h"

void* CKReaderAllocate(size_t size)
{
    return QxNewAligned(size ? size : 1, 16);
}

void CKReaderFree(void* block)
{
    QxDeleteAligned(block);
}

CKBitmapReader* CKFindBitmapReader(const char* extension, const CKGUID* guid)
{
    CKPluginManager* plugins = CKGetPluginManager();
    if (!plugins)
        return nullptr;
    // Category 0 holds bitmap readers only.
    if (CKDataReader* reader = plugins->GetBitmapReader(extension, guid))
        return static_cast<CKBitmapReader*>(reader);
    CKPluginEntry* entry = guid ? plugins->FindComponent(*guid, CKPLUGIN_BITMAP_READER) : nullptr;
    if (!entry || !entry->m_PluginInfo.m_Extension[0])
        return nullptr;
    return static_cast<CKBitmapReader*>(plugins->GetBitmapReader(entry->m_PluginInfo.m_Extension));
}
