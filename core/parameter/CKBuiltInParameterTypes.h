#pragma once

#include "includes/CKTypes.h"

class CKParameterManager;

// Registers the engine's own parameter types into an empty type table, in
// the order that fixes their indices: the value types, the enumerations and
// flags, one type per object class, "Registered Class", then "Registered
// Parameter", the three shader name types and "Error". Run once by the
// manager's constructor.
//
// A class type takes the display name and parameter-type GUID that the class
// registry holds for the class; the classes of this system whose code is not
// registered yet get theirs from a table here, so the type indices never
// depend on which libraries are linked.
void CKRegisterBuiltInParameterTypes(CKParameterManager* manager);

// The GUID of the parameter type that stands for objects of the class, by the
// same rule: the class registry's for a class with a class-name function,
// else the table's; null for none.
CKGUID CKGetClassTypeGuid(CK_CLASSID cid);
