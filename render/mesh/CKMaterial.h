#pragma once

#include "core/object/CKBeObject.h"

// A material (class 30); its operations come with the material code.
class CKMaterial : public CKClass<CKMaterial, CKBeObject, CKCID_MATERIAL>
{
public:
    using CKClass::CKClass;
};
