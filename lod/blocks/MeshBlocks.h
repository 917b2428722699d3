#pragma once

#include "core/behavior/CKBehaviorContext.h"

// What a building block's function returns: finished for this activation,
// or called again in the next frame.
constexpr int CKBR_OK = 0;
constexpr int CKBR_ACTIVATENEXTFRAME = 1;
// Something the block needs is missing or unusable (Explode without a
// current mesh at a frame step).
constexpr int CKBR_GENERICERROR = 0xA000;
// The block has no target to work on.
constexpr int CKBR_OWNERERROR = 0xA004;
// An input names something the block cannot use: a vertex range or an index
// outside the mesh, a negative count, a missing or mismatched mesh.
constexpr int CKBR_PARAMETERERROR = 0xA008;

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

// Local deformation blocks.
int InvertWinding(const CKBehaviorContext& context);
int ChangeReferential(const CKBehaviorContext& context);
int VertexTranslate(const CKBehaviorContext& context);
int TextureDisplace(const CKBehaviorContext& context);

// Twist, Taper and Stretch.
int Twist(const CKBehaviorContext& context);
int Taper(const CKBehaviorContext& context);
int Stretch(const CKBehaviorContext& context);
// The callback of the deformers that keep their positions in local 0 and,
// for some, the mesh's box in local 1: Twist, Taper, Stretch, Vertex
// Translate, Noise and Bend. On deletion an older behaviour puts its saved
// positions back; on attach the box is taken.
CKERROR DeformCallback(const CKBehaviorContext& context);

// Skin Join.
int SkinJoin(const CKBehaviorContext& context);
CKERROR SkinJoinCallback(const CKBehaviorContext& context);

// Mesh morphing blocks.
int MultiMeshMorpher(const CKBehaviorContext& context);
CKERROR MultiMeshMorpherCallback(const CKBehaviorContext& context);
int MeshMorpher(const CKBehaviorContext& context);
CKERROR MeshMorpherCallback(const CKBehaviorContext& context);

// Wave and noise deformations.
int SineDeform(const CKBehaviorContext& context);
CKERROR SineDeformCallback(const CKBehaviorContext& context);
int Noise(const CKBehaviorContext& context);

// Explode.
int Explode(const CKBehaviorContext& context);
CKERROR ExplodeCallback(const CKBehaviorContext& context);

// Bend and patch-mesh steps.
int Bend(const CKBehaviorContext& context);
int SetPatchMeshSteps(const CKBehaviorContext& context);

// Basic mesh blocks.
int SetFaceCount(const CKBehaviorContext& context);
int SetVertexCount(const CKBehaviorContext& context);
int SetFaceProperties(const CKBehaviorContext& context);
int SetVertexProperties(const CKBehaviorContext& context);

// Precompute Lighting.
int PrecomputeLighting(const CKBehaviorContext& context);
