#pragma once

#include "core/context/CKBaseManager.h"

// The registry of attribute types. Its content comes with the attributes.
class CKAttributeManager : public CKBaseManager
{
public:
    explicit CKAttributeManager(CKContext* context);
    ~CKAttributeManager() override;

    CKDWORD GetValidFunctionsMask() override { return 0xC8010; }
};
