#pragma once

#include "includes/CKTypes.h"
#include "includes/XString.h"

class CKContext;
class CKObject;

// What parameters need of classes that come after them: behaviours (the
// owners of most parameters), the message manager and the attribute manager
// (whose type indices the "Message" and "Attribute" values are). Those
// classes install the entries (CKSetParameterLinks) when they are
// registered. An entry left null means the class is absent: the step that
// needs it is skipped, as each entry says.
struct CKParameterLinks
{
    // Behaviours (class 8 and derived). The parent behaviour; null: none.
    CKObject* (*GetBehaviorParent)(CKObject* behavior) = nullptr;
    // The top of the parent chain when it is a script; null: none.
    CKObject* (*GetBehaviorOwnerScript)(CKObject* behavior) = nullptr;
    // The behaviour drops the parameter from its input, output or local list
    // (by the parameter's class) and forgets it as its target input. Null:
    // behaviours keep no lists.
    void (*RemoveParameterFromBehavior)(CKObject* behavior, CKObject* parameter) = nullptr;
    // The behaviour drops the operation from its graph's operation list.
    void (*RemoveOperationFromBehavior)(CKObject* behavior, CKObject* operation) = nullptr;

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
