#pragma once

#include "includes/CKTypes.h"

class CKBehavior;
class CKContext;
class CKScene;
class CKRenderContext;

// What a behaviour's execution function and its callback receive. The
// context keeps one such record and fills it before each callback call.
struct CKBehaviorContext
{
    CKBehavior* Behavior = nullptr;
    // Milliseconds of the last pass of the clock.
    float DeltaTime = 0.0f;
    CKContext* Context = nullptr;
    CKScene* CurrentScene = nullptr;
    CKRenderContext* CurrentRenderContext = nullptr;
    CKDWORD CallbackMessage = 0;
    void* CallbackArg = nullptr;
};

// A building block's execution function. Declared, kept, copied, saved and
// loaded; this system never calls one.
typedef int (*CKBEHAVIORFCT)(const CKBehaviorContext& context);
// A building block's callback, called with the message of an event
// (CKBehavior::CallCallbackFunction).
typedef CKERROR (*CKBEHAVIORCALLBACKFCT)(const CKBehaviorContext& context);
