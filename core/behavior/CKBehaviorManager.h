#pragma once

#include "core/context/CKBaseManager.h"

// Bookkeeping of behavioural objects; binds "BehaviorManager/MaxIteration".
class CKBehaviorManager : public CKBaseManager
{
public:
    explicit CKBehaviorManager(CKContext* context);
    ~CKBehaviorManager() override;

    CKDWORD GetValidFunctionsMask() override { return 0x317; }

    int GetMaxIteration() const { return m_MaxIteration; }

private:
    int m_MaxIteration = 8000;
};
