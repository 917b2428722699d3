#include <cstring>

#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKObjectDeclaration.h"
#include "core/bitmap/CKBitmapData.h"
#include "core/bitmap/CKBitmapProperties.h"
#include "core/bitmap/CKMovieReader.h"
#include "core/context/CKContext.h"
#include "core/context/CKDefines.h"
#include "core/context/CKPluginInfo.h"
#include "core/context/CKPluginManager.h"
#include "core/file/CKFile.h"
#include "core/file/CKFileFormat.h"
#include "core/object/CKBeObjectLinks.h"
#include "system/io/CKPathSplitter.h"

namespace {

// The entry of that GUID in the category (every category when negative)
// becomes needed.
void MarkNeeded(CKPluginManager& manager, CKGUID guid, int category)
{
    if (CKPluginEntry* entry = manager.FindComponent(guid, category))
        entry->m_NeededByFile = TRUE;
}

// Textures and sprites need the reader of their movie, or the reader of the
// format their images are saved in. True when one saves in the context's
// global format.
bool MarkBitmapReaders(CKPluginManager& manager, CKFile* file)
{
    CKBitmapData* (*bitmapOf)(CKObject*) = CKGetBeObjectLinks().GetBitmapData;
    if (!bitmapOf)
        return false;
    bool global = false;
    for (CK_CLASSID cid : {CKCID_TEXTURE, CKCID_SPRITE}) {
        const XArray<int>* records = file->GetIndexByClass(cid);
        if (!records)
            continue;
        for (int index : *records) {
            CKBitmapData* bitmap = bitmapOf(file->m_FileObjects[index].m_Object);
            if (!bitmap)
                continue;
            if (CKMovieReader* movie = bitmap->GetMovieReader()) {
                if (CKPluginInfo* info = movie->GetReaderInfo())
                    MarkNeeded(manager, info->m_GUID, (int) info->m_Type);
            } else if (bitmap->GetSaveOptions() == CKBITMAP_SAVEFORMAT) {
                if (CKBitmapProperties* format = bitmap->GetSaveFormat())
                    MarkNeeded(manager, format->m_ReaderGuid, CKPLUGIN_BITMAP_READER);
            } else if (bitmap->GetSaveOptions() == CKBITMAP_SAVEGLOBAL) {
                global = true;
            }
        }
    }
    return global;
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

    CKContext* context = file->GetCKContext();
    if (MarkBitmapReaders(*this, file) && context && context->GetGlobalImagesSaveOptions() == CKBITMAP_SAVEFORMAT)
        MarkNeeded(*this, context->GetGlobalImagesSaveFormat()->m_ReaderGuid, CKPLUGIN_BITMAP_READER);

    // Building blocks need the component that declared them and the
    // managers they depend on; their own GUIDs are listed too.
    XArray<CKGUID> blocks;
    if (const XArray<int>* behaviors = file->GetIndexByClass(CKCID_BEHAVIOR))
        for (int index : *behaviors) {
            CKObject* object =
                context ? context->GetObject(file->m_FileObjects[index].m_ObjectID & ~CK_FILE_REFERENCE_BIT) : nullptr;
            if (!object || object->GetClassID() != CKCID_BEHAVIOR)
                continue;
            auto* behavior = static_cast<CKBehavior*>(object);
            if (!(behavior->GetFlags() & CKBEHAVIOR_BUILDINGBLOCK))
                continue;
            CKObjectDeclaration* declaration = CKGetObjectDeclarationFromGuid(behavior->GetPrototypeGuid());
            if (!declaration)
                continue;
            blocks.AddIfNotHere(declaration->GetGuid());
            if (CKPluginEntry* entry = GetPluginEntry(CKPLUGIN_BEHAVIOR_DLL, declaration->GetPluginIndex()))
                entry->m_NeededByFile = TRUE;
            for (CKGUID manager : declaration->GetManagers())
                MarkNeeded(*this, manager, CKPLUGIN_MANAGER_DLL);
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
        if (m_Categories[c].m_Name == "BuildingBlocks")
            for (CKGUID block : blocks)
                dependency.m_Guids.PushBack(block);
        if (dependency.m_Guids.Size() > 0)
            file->m_PluginsDep.PushBack(dependency);
    }
}
