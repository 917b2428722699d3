#pragma once

#include "core/context/CKPluginInfo.h"
#include "render/context/rasterizer/CKRasterizer.h"

class CKContext;

// The render engine's plug-in description (type 5, render engine). The first
// call after start-up registers the render classes (ids, parents, names,
// display names, parameter-type GUIDs), rebuilds the class hierarchy, sets
// up the rasterizer table with the NULL rasterizer and registers the log
// source "CK2_3D"; later calls change nothing. The index is not used.
CKPluginInfo* CKGetRenderEnginePluginInfo(int index = 0);

// The plug-in's initialisation for a context: makes its render manager.
CKERROR CKRenderEngineInit(CKContext* context);

// Adds a rasterizer to the table (after the NULL rasterizer): render
// managers made from now on start it and offer its drivers after the
// earlier ones. A function already in the table is not added again.
void CKAddRasterizer(CKRasterizerStartFunction start);

// Registers the render classes and rebuilds the class hierarchy (what the
// first CKGetRenderEnginePluginInfo does).
void CKRegisterRenderClasses();
