#pragma once

#include "includes/CKTypes.h"
#include "includes/XString.h"

class CKContext;
class CKObject;

// What parameters need of the message manager and the attribute manager
// (whose type indices the "Message" and "Attribute" values are). Those
// install the entries (CKSetParameterLinks). An entry left null means the
// manager is absent: the step that needs it is skipped, as each entry says.
struct CKParameterLinks
{
    // Message types. The name of a type (empty for an unnamed one); FALSE
    // for an index outside the table. Null: no message type exists.
    CKBOOL (*GetMessageTypeName)(CKContext* context, int type, XString& name) = nullptr;
    // The index of the message type of that name, added when missing. Null: -1.
    int (*AddMessageType)(CKContext* context, const char* name) = nullptr;

    // Attribute types. The name of a type; FALSE when the index names none.
    // Null: no attribute type exists.
    CKBOOL (*GetAttributeName)(CKContext* context, int type, XString& name) = nullptr;
    // The index of the attribute type of that name, -1 when none. Null: -1.
    int (*GetAttributeTypeByName)(CKContext* context, const char* name) = nullptr;
};

const CKParameterLinks& CKGetParameterLinks();
// Replaces the entries, all of them at once.
void CKSetParameterLinks(const CKParameterLinks& links);
