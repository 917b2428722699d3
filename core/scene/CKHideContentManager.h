#pragma once

#include "core/context/CKBaseManager.h"

// Owns "File Options/Protect Content Password" (value in the process-wide state).
class CKHideContentManager : public CKBaseManager
{
public:
    explicit CKHideContentManager(CKContext* context);
    ~CKHideContentManager() override;

    CKDWORD GetValidFunctionsMask() override { return CKMANAGER_FUNC_PostClearAll; }

    CKERROR LoadData(CKStateChunk* chunk, CKFile* file) override
    {
        (void) chunk;
        (void) file;
        return 0;
    }
    CKERROR PostClearAll() override { return 0; }
};
