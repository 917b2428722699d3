#pragma once

#include "includes/XArray.h"

class CKObjectDeclaration;

// Declares the 30 building blocks of the mesh plug-in, appended to the list
// from "Set Vertex Properties" to "Set Blend Shape Weight By Index". A
// declaration that cannot be made is left out.
void CKRegisterLodBehaviorDeclarations(XArray<CKObjectDeclaration*>& list);
