#pragma once

// Every process-wide state of the system library and of the platform layer
// beneath it stays beside the code that uses it, behind its own functions;
// this is the one list of them. Library shut-down (QxShutDown, and so
// CKShutdown) returns each listed state to what a fresh process has, so that
// the library and the engine can be started and stopped several times in one
// process. The states kept on purpose are listed in QxGlobals.cpp, each with
// its reason.

// One resettable state: its name and the function that makes it fresh.
struct QxGlobalReset
{
    const char* m_Name;
    void (*m_Reset)();
};

// The resettable states, in the order QxResetGlobals resets them; null for
// an index out of range.
int QxGetGlobalResetCount();
const QxGlobalReset* QxGetGlobalReset(int index);

// Resets every listed state, in order. Harmless before start-up and when
// called twice.
void QxResetGlobals();
