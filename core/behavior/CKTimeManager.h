#pragma once

#include "core/context/CKBaseManager.h"

// The engine clock. Its content comes with the time settings.
class CKTimeManager : public CKBaseManager
{
public:
    explicit CKTimeManager(CKContext* context);
    ~CKTimeManager() override;

    CKDWORD GetValidFunctionsMask() override { return 0x4324; }
    // PreProcess runs before every other manager's.
    int GetFunctionPriority(CKDWORD function) override { return function == CKMANAGER_FUNC_PreProcess ? 30000 : 0; }
};
