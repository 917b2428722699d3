#pragma once

#include "core/context/CKDefines.h"
#include "includes/XBitArray.h"
#include "includes/XString.h"

class CKParameter;
class CKStateChunk;
struct CKPluginEntry;

// Value callbacks of a parameter type. Each works on one parameter of the type.

// Fills a new parameter with the type's default value; 0 or an error code.
typedef CKERROR (*CK_PARAMETERCREATEDEFAULTFUNCTION)(CKParameter* param);
// Releases what the value owns.
typedef void (*CK_PARAMETERDELETEFUNCTION)(CKParameter* param);
// load 0: makes a chunk holding the value and stores it through chunk;
// load 1: reads the value from *chunk.
typedef void (*CK_PARAMETERSAVELOADFUNCTION)(CKParameter* param, CKStateChunk** chunk, CKBOOL load);
// Repairs a value after objects were deleted.
typedef void (*CK_PARAMETERCHECKFUNCTION)(CKParameter* param);
typedef void (*CK_PARAMETERCOPYFUNCTION)(CKParameter* dest, CKParameter* src);
// readFromString 0: writes the text into valueString (when not null; at most
// bufferSize bytes, cut and terminated when longer) and returns its full
// size with the terminating zero, so a caller asks with a null buffer first;
// 1: parses valueString (bufferSize unused).
typedef int (*CK_PARAMETERSTRINGFUNCTION)(CKParameter* param, char* valueString, int bufferSize, CKBOOL readFromString);

// Bits of CKParameterTypeDesc::Flags.
enum CKPARAMETERTYPE_FLAGS : CKDWORD
{
    CKPARAMETERTYPE_VARIABLESIZE = 0x01, // strings, buffers: never the 4-byte default copy
    CKPARAMETERTYPE_HIDDEN = 0x04,       // left out of "Registered Parameter"
    CKPARAMETERTYPE_FLAGS = 0x08,        // record in the flags table
    CKPARAMETERTYPE_STRUCT = 0x10,       // record in the structure table
    CKPARAMETERTYPE_ENUMS = 0x20,        // record in the enumeration table
    CKPARAMETERTYPE_USER = 0x40,         // declared by a loaded file
    CKPARAMETERTYPE_NOENDIANCONV = 0x80, // raw bytes, not 32-bit words
    CKPARAMETERTYPE_TOSAVE = 0x100,      // written with the file being saved
};

// One parameter type. The manager keeps its own copy of every registered
// description; the members of enumerations, flags and structures live in the
// manager's tables at TableIndex.
struct CKParameterTypeDesc
{
    int Index = 0; // slot in the manager's type table, written by registration
    CKGUID Guid;
    CKGUID ParentGuid; // null for a root type
    XString Name;
    CKBOOL Registered = FALSE;
    int DefaultSize = 0;
    CK_PARAMETERCREATEDEFAULTFUNCTION CreateDefault = nullptr;
    CK_PARAMETERDELETEFUNCTION Destroy = nullptr;
    CK_PARAMETERSAVELOADFUNCTION SaveLoad = nullptr;
    CK_PARAMETERCHECKFUNCTION Check = nullptr;
    CK_PARAMETERCOPYFUNCTION Copy = nullptr;
    CK_PARAMETERSTRINGFUNCTION StringConvert = nullptr;
    // Supplied by an optional interface manager that this system lacks: null.
    void* UserInterface = nullptr;
    CKPluginEntry* DeclaringPlugin = nullptr;
    int TableIndex = 0;
    CKDWORD Flags = 0;       // CKPARAMETERTYPE_FLAGS
    CK_CLASSID ClassId = 0;  // class of the objects the values name; 0 for others
    XBitArray DerivationSet; // bit j: this type derives from type j (or is j)
    CKGUID ValueManager;     // manager whose integers the values are; null for most
    CKDWORD Reserved = 0;
};

// Members of an enumeration or a flags type: names and their values.
struct CKEnumDesc
{
    int NbData = 0;
    int* Vals = nullptr;
    char** Desc = nullptr; // CKStrndup strings
};
struct CKFlagsDesc
{
    int NbData = 0;
    int* Vals = nullptr;
    char** Desc = nullptr;
};
// Members of a structure type: their names and types.
struct CKStructDesc
{
    int NbData = 0;
    CKGUID* Guids = nullptr;
    char** Desc = nullptr;
};
