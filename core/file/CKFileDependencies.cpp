#include <cstring>

#include "core/context/CKPluginManager.h"
#include "core/file/CKFile.h"
#include "system/io/CKPathSplitter.h"

namespace {

// The entry of that GUID in the category (every category when negative)
// becomes needed.
void MarkNeeded(CKPluginManager& manager, CKGUID guid, int category)
{
    if (CKPluginEntry* entry = manager.FindComponent(guid, category))
        entry->m_NeededByFile = TRUE;
}

} // namespace

void CKPluginManager::ComputeFileDependencies(CKFile* file)
{
    if (!file)
        return;
    for (CKPluginCategory& category : m_Categories)
        for (CKPluginEntry* entry : category.m_Entries)
            entry->m_NeededByFile = FALSE;

    // Included files need the reader of their extension.
    for (int i = 0; i < file->GetIncludedFileCount(); ++i) {
        CKPathSplitter splitter(file->GetIncludedFile(i));
        const char* extension = splitter.GetExtension();
        if (extension && *extension == '.')
            ++extension;
        CKPluginEntry* entry = FindComponentByExtension(extension, CKPLUGIN_BITMAP_READER);
        if (!entry)
            entry = FindComponentByExtension(extension, CKPLUGIN_SOUND_READER);
        if (!entry)
            entry = FindComponentByExtension(extension, CKPLUGIN_MOVIE_READER);
        if (entry)
            entry->m_NeededByFile = TRUE;
    }

    // Managers whose data the file stores.
    for (const CKFileManagerRecord& record : file->m_ManagersData)
        MarkNeeded(*this, record.m_Manager, CKPLUGIN_MANAGER_DLL);

    file->m_PluginsDep.Clear();
    for (int c = 0; c < m_Categories.Size(); ++c) {
        CKFilePluginDependency dependency;
        dependency.m_PluginCategory = c;
        for (CKPluginEntry* entry : m_Categories[c].m_Entries)
            if (entry->m_NeededByFile)
                dependency.m_Guids.PushBack(entry->m_PluginInfo.m_GUID);
        if (dependency.m_Guids.Size() > 0)
            file->m_PluginsDep.PushBack(dependency);
    }
}
