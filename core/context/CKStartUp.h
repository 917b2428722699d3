#pragma once

#include "includes/CKTypes.h"
#include "includes/XString.h"

class CKContext;
class CKPluginManager;

// Starts the engine: system library, start and plug-in paths, random seed,
// log source "CK2", plug-in categories, the core classes and the class
// tables. 0. May run again after CKShutdown.
CKERROR CKStartUp();
// Releases every process-wide state of the engine and shuts the system
// library down. Call after the last CKCloseContext. 0.
CKERROR CKShutdown();
// Makes a context (settingsFile may be null), initialises the plug-ins for it
// and sends OnCKInit. 0.
CKERROR CKCreateContext(CKContext** context, void* mainWindow, const char* settingsFile = nullptr);
// ClearAll's result, OnCKEnd, plug-in exit, destruction; -1 for null.
CKERROR CKCloseContext(CKContext* context);

CKPluginManager* CKGetPluginManager();
// The folder of the program, without trailing separator; "" before start-up.
const char* CKGetStartPath();
const char* CKGetPluginsPath();
// The log source id of "CK2" (0 before start-up).
int CKGetLogSourceId();
int CKGetContextCount();
CKContext* CKGetContext(int index);
