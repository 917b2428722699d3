#pragma once

#include "core/context/CKBaseManager.h"

// The registry of parameter types. Its content comes with the parameters.
class CKParameterManager : public CKBaseManager
{
public:
    explicit CKParameterManager(CKContext* context);
    ~CKParameterManager() override;

    CKDWORD GetValidFunctionsMask() override { return 0; }
};
