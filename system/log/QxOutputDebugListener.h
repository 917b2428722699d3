#pragma once

#include "system/log/QxLogListener.h"

// Sends each line to the platform's debug output.
class QxOutputDebugListener : public QxLogListener
{
public:
    explicit QxOutputDebugListener(const char* name) : QxLogListener(name) {}

    const CKGUID* GetGuid() override;
    void WriteMessage(int source, CKDWORD level, int line, const char* file, const char* text) override;
};
