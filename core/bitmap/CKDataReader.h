#pragma once

#include "includes/CKTypes.h"

class CKPluginInfo;

// Capabilities a reader announces in GetFlags.
enum CK_DATAREADER_FLAGS
{
    CK_DATAREADER_FILELOAD = 0x1,    // ReadFile
    CK_DATAREADER_FILESAVE = 0x2,    // SaveFile
    CK_DATAREADER_MEMORYLOAD = 0x4,  // ReadMemory
    CK_DATAREADER_MEMORYSAVE = 0x8,  // SaveMemory
    CK_DATAREADER_STREAMLOAD = 0x40, // ReadFromStream
};

// An image, sound or movie reader made by a plug-in's creation function or
// by the plug-in manager. The caller destroys it with Release, never delete.
class CKDataReader
{
public:
    virtual ~CKDataReader() = default;
    // Destroys the reader.
    virtual void Release() = 0;
    // The reader's plug-in record (static, never null for the readers here).
    virtual CKPluginInfo* GetReaderInfo() = 0;
    // Number of save options described by GetOptionDescription.
    virtual int GetOptionsCount() { return 0; }
    // "Type:Name" or "Type:Name:label=value,...", type one of "Enum",
    // "Flags", "Percentage", "Boolean"; "" (never null) past the last.
    virtual const char* GetOptionDescription(int index)
    {
        (void) index;
        return "";
    }
    // CK_DATAREADER_FLAGS bits.
    virtual CKDWORD GetFlags() { return 0; }
};
