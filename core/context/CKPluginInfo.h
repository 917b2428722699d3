#pragma once

#include <cstring>

#include "includes/CKTypes.h"
#include "includes/XString.h"

class CKContext;
class CKDataReader;
class CKObjectDeclaration;
template <class T>
class XArray;

// Plug-in categories, fixed by start-up; the value is the category index.
enum CK_PLUGIN_TYPE
{
    CKPLUGIN_BITMAP_READER = 0,
    CKPLUGIN_SOUND_READER = 1,
    CKPLUGIN_MODEL_READER = 2,
    CKPLUGIN_MANAGER_DLL = 3,
    CKPLUGIN_BEHAVIOR_DLL = 4,
    CKPLUGIN_RENDERENGINE_DLL = 5,
    CKPLUGIN_MOVIE_READER = 6,
    CKPLUGIN_EXTENSION_DLL = 7,
};

// Initialisation and exit functions of a component, called once per context.
typedef CKERROR (*CKINITINSTANCEFCT)(CKContext* context);
typedef CKERROR (*CKEXITINSTANCEFCT)(CKContext* context);
// Makes a new reader; index is the component's position within its plug-in.
typedef CKDataReader* (*CKReaderGetReaderFunction)(int index);
// Fills the array with new object declarations (building-block components).
typedef void (*CKDeclarationListFunction)(XArray<CKObjectDeclaration*>& declarations);

// Description of one plug-in component.
class CKPluginInfo
{
public:
    static constexpr int kShortExtensionSize = 4;
    static constexpr int kExtensionSize = 68;

    CKGUID m_GUID;
    // At most 3 characters of the extension, a leading '.' skipped.
    char m_ShortExtension[kShortExtensionSize] = {};
    XString m_Description;
    XString m_Author;
    XString m_Summary;
    CKDWORD m_Version = 0;
    CKINITINSTANCEFCT m_InitInstanceFct = nullptr;
    CKDWORD m_Type = 0; // CK_PLUGIN_TYPE
    CKEXITINSTANCEFCT m_ExitInstanceFct = nullptr;
    // The extension text that reader lookups compare against (at most 67
    // characters, longer ones are cut).
    char m_Extension[kExtensionSize] = {};

    CKPluginInfo() = default;

    // extension may be null (no extension).
    CKPluginInfo(CKGUID guid, const char* extension, const char* description, const char* author, const char* summary,
                 CKDWORD version, CKINITINSTANCEFCT initFct, CKEXITINSTANCEFCT exitFct, CKDWORD type)
        : m_GUID(guid), m_Description(description), m_Author(author), m_Summary(summary), m_Version(version),
          m_InitInstanceFct(initFct), m_Type(type), m_ExitInstanceFct(exitFct)
    {
        SetExtension(extension);
    }

    void SetExtension(const char* extension)
    {
        std::memset(m_Extension, 0, sizeof(m_Extension));
        std::memset(m_ShortExtension, 0, sizeof(m_ShortExtension));
        if (!extension)
            return;
        // The buffers were zeroed above, so a bounded copy stays terminated.
        std::memcpy(m_Extension, extension, strnlen(extension, kExtensionSize - 1));
        const char* s = extension[0] == '.' ? extension + 1 : extension;
        std::memcpy(m_ShortExtension, s, strnlen(s, kShortExtensionSize - 1));
    }
};
