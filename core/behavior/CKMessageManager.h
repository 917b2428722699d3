#pragma once

#include "core/context/CKBaseManager.h"

// The registry of message types and the message queue. Its content comes with messages.
class CKMessageManager : public CKBaseManager
{
public:
    explicit CKMessageManager(CKContext* context);
    ~CKMessageManager() override;

    CKDWORD GetValidFunctionsMask() override { return 0x4019; }
};
