#pragma once

#include "core/context/CKDefines.h"
#include "includes/XBitArray.h"
#include "includes/XCompactArray.h"
#include "includes/XString.h"

class CKContext;
class CKObject;

// Functions a class registers with the class registry.
typedef void (*CKCLASSREGISTERFCT)();
typedef CKObject* (*CKCLASSCREATIONFCT)(CKContext* context);
typedef void (*CKCLASSRELEASEFCT)(CKContext* context, CKObject* object);
typedef const char* (*CKCLASSNAMEFCT)();
// The display name of the option index in the mode, or null.
typedef const char* (*CKCLASSDEPENDENCIESFCT)(int index, int mode);
// The number of dependency options of the class in the mode.
typedef int (*CKCLASSDEPENDENCIESCOUNTFCT)(int mode);

// One entry of the class registry, indexed by class id. Ids without a class
// keep an empty entry (no functions, empty name).
struct CKClassDesc
{
    CKBOOL m_Done = FALSE; // work marker of the table build
    XString m_Name;
    CK_CLASSID m_Parent = 0; // 0 for no parent
    CKCLASSREGISTERFCT m_RegisterFct = nullptr;
    CKCLASSCREATIONFCT m_CreationFct = nullptr;
    CKCLASSRELEASEFCT m_ReleaseFct = nullptr;
    CKCLASSNAMEFCT m_NameFct = nullptr;
    CKCLASSDEPENDENCIESFCT m_DependsFct = nullptr;
    CKCLASSDEPENDENCIESCOUNTFCT m_DependsCountFct = nullptr;
    CKDWORD m_CreationFlags = 0;          // CK_GENERALOPTIONS_...
    CKDWORD m_DefaultOptions[4] = {};     // default dependency masks of modes 1 to 4
    CKGUID m_ParameterGuid;               // parameter type standing for objects of the class
    int m_DerivationLevel = 0;            // 0 for id 0, parent's + 1 otherwise
    XBitArray m_Parents;                  // this class and its ancestors
    XBitArray m_Children;                 // this class and the classes derived from it
    XBitArray m_ToBeNotify;               // classes whose deletions this class hears about
    XBitArray m_CommonToBeNotify;         // m_ToBeNotify joined with the parent's common set
    XCompactArray<CK_CLASSID> m_ToNotify; // classes whose common set holds this class
    // Bit 1: the deletion calls CheckPreDeletion on objects of this class;
    // bit 2: CheckPostDeletion.
    CKDWORD m_DeletionCheck = 0xFFFFFFFF;
};
