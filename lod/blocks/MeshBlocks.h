#pragma once

#include "core/behavior/CKBehaviorContext.h"

// What a building block's function returns: finished for this activation,
// or called again in the next frame.
constexpr int CKBR_OK = 0;
constexpr int CKBR_ACTIVATENEXTFRAME = 1;
// The block has no target to work on.
constexpr int CKBR_OWNERERROR = 0xA004;

// Blend-shape and level-of-detail blocks.
int SetBlendShapeWeightByIndex(const CKBehaviorContext& context);
int SetBlendShapeWeightByName(const CKBehaviorContext& context);
int SetProgressiveMeshOptions(const CKBehaviorContext& context);
int GetLodAttribute(const CKBehaviorContext& context);
int SetLodAttribute(const CKBehaviorContext& context);
int LodManagerOptions(const CKBehaviorContext& context);
int LevelOfDetail(const CKBehaviorContext& context);
// "Set LOD Attribute" and "LOD Manager Options": the setting "Modify
// Parameters" enables the input parameters whose bit it holds and disables
// the others, after a copy or an edit of the settings.
CKERROR LodParametersCallback(const CKBehaviorContext& context);

// Multi-mesh blocks.
int AddMesh(const CKBehaviorContext& context);
int RemoveMesh(const CKBehaviorContext& context);
int SelectMesh(const CKBehaviorContext& context);
