#pragma once

#include "core/context/CKBaseManager.h"

// Owns "File Options/Protect Content Password" (its value lives in the
// process-wide state) and gives every saved file an empty chunk of its own.
// It hides nothing by itself.
class CKHideContentManager : public CKBaseManager
{
public:
    // Class id of the manager's (empty) chunk in saved files.
    static constexpr CK_CLASSID ChunkClassID = 1001;

    explicit CKHideContentManager(CKContext* context);
    ~CKHideContentManager() override;

    CKDWORD GetValidFunctionsMask() override { return CKMANAGER_FUNC_PostClearAll; }

    // A new, empty chunk of class 1001.
    CKStateChunk* SaveData(CKFile* file) override;
    // The chunk is not read.
    CKERROR LoadData(CKStateChunk* chunk, CKFile* file) override
    {
        (void) chunk;
        (void) file;
        return 0;
    }
    CKERROR PostClearAll() override { return 0; }
};
