#pragma once

#include "exporter/builder/ExportBuilder.h"
#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "includes/XHashTable.h"
#include "includes/XString.h"
#include "platform/host/PluginClasses.h"
#include "platform/host/TSTR.h"
#include "platform/host/Tab.h"
#include "platform/host/TimeValue.h"

class CK3dEntity;
class CKCamera;
class CKContext;
class CKGroup;
class CKObjectAnimation;
class Control;
class CKObjectIDList;
class CKMaterial;
class CKMesh;
class CKTexture;
class ExportBuilder;
class MorphKeyWriter;
class GeLog;
class IParamBlock2;
class INode;
class Interface;
class Mesh;
class Mtl;
class Object;
class Texmap;
struct MaterialDesc;

// A mesh made for an evaluated host object under a material, with what else
// decides whether another node may show the same mesh: the node's object
// offset and its "MapChannel" properties (empty for a patch mesh).
struct MeshInstanceRecord
{
    Object* object = nullptr;
    Mtl* material = nullptr;
    float offset[12] = {};
    XString mapChannels;
    CKMesh* mesh = nullptr;
};

// The sampling-step options, for Max2Qdx::SamplingStep.
enum SamplingOption
{
    kKeyFrameSampling,
    kBlendShapeSampling,
    kDeformableSampling
};

// The exporter of one export: its options, under their script argument
// names (every conversion reads them from here), and its working state.
// Made by the script function, filled with the arguments, run and deleted;
// as the host's scene exporter (File > Export) it only opens the utility.
class Max2Qdx : public SceneExport
{
public:
    // Empties the report and the texts, then sets every default.
    Max2Qdx();
    ~Max2Qdx() override;
    Max2Qdx(const Max2Qdx&) = delete;
    Max2Qdx& operator=(const Max2Qdx&) = delete;

    // The host's scene-export interface (exporter/shell).
    int ExtCount() override { return 3; }
    // "Qdx", "Qfx", "Qbx"; "" for any other n.
    const char* Ext(int n) override;
    const char* LongDesc() override;
    const char* ShortDesc() override;
    const char* AuthorName() override;
    const char* CopyrightMessage() override;
    const char* OtherMessage1() override { return ""; }
    const char* OtherMessage2() override { return ""; }
    unsigned int Version() override { return 100; }
    // Prints the About texts on standard output.
    void ShowAbout(HWND hWnd) override;
    // Hands the file name (backslashes made slashes) to the utility and opens it; 1.
    int DoExport(const char* name, ExpInterface* ei, Interface* ip, BOOL suppressPrompts = FALSE,
                 DWORD options = 0) override;
    // TRUE exactly for "export selected".
    BOOL SupportsOptions(int ext, DWORD options) override;

    // Every option and working field back to its default value.
    void SetOptionDefaults();
    // Copies of a C string (null gives the empty name).
    void SetCharacterName(const char* name);
    void SetAnimationName(const char* name);
    // The names as host strings; empty for an empty field.
    CStr GetCharacterName() const { return CStr(characterName.CStr()); }
    CStr GetAnimationName() const { return CStr(animationName.CStr()); }

    // The export driver: turns the host's scene into the engine file named;
    // always 1.
    int ExportScene(const char* name, Interface* maxInterface, CKBOOL onlySelected);

    // The driver's steps (exporter/driver).

    // Adds the node and its subtree to *count; gathers the materials of the
    // exported nodes into sceneMaterials.
    void CollectNodes(INode* node, int* count);
    // unitScale from the scene's system unit.
    void SetUnitScale();
    // Turns the keyed animation's first rotation key towards the Z axis.
    void AlignAnimationOnZ();
    // The default channel materials (keys 1 to 8) of channels no mesh used,
    // and always channel 1's.
    void DeleteUnusedChannelMaterials();
    // With behaviours in the file, its objects go into a new level: scenes
    // and levels leave savedObjects, every other object joins the level and
    // keeps its flags of another scene; a level export's environment goes to
    // the new level's scene; a file that is not an object file (".qdx", any
    // case) saves that level first.
    void WrapObjectsInLevel();

    // The object pass (exporter/scene): 1 to go on, 0 when cancelled.
    int ExportNode(INode* node);
    void ExportGeomObject(INode* node);
    // Name, world matrix, visibility, group and parent of a new entity.
    void SetupEntity(INode* node, CK3dEntity* entity);
    void ExportCamera(INode* node);
    void ExportLight(INode* node);
    void ExportShape(INode* node);
    void ExportHelper(INode* node);
    // Level exports: the host's environment into the builder's settings.
    void ExportEnvironment();
    // Makes the camera the level's starting camera and fits the fog to its
    // environment range; 0 without fog.
    int ApplyStartingCamera(CKCamera* camera, float envNear, float envFar);

    // The passes after the objects (exporter/userdata): 1 to go on, 0 when
    // cancelled.
    int ExportObjectProperties(INode* node);
    int ExportInstructions(INode* node);

    // The materials pass: every collected material into engine materials
    // (exporter/materials).
    void ExportMaterials();
    // One material tree, each material converted once; null for a
    // multi/sub-object material (its sub-materials are its engine
    // materials) and for a null one. depth guards against material loops.
    CKMaterial* ExportMaterial(Mtl* m, int depth = 0);
    // Converts a shell's sub-materials in the order its settings give; the
    // shell's viewport choice, or its sub-material count.
    int ExportShellMaterial(Mtl* shell, MaterialDesc& desc, int& alphaUsed, int depth = 0);
    void ConvertMaterial(Mtl* m, MaterialDesc& desc, int& alphaUsed);
    // FALSE when its diffuse bitmap was registered by an earlier material.
    CKBOOL ConvertDirectXShaderMaterial(Mtl* m, MaterialDesc& desc);
    // The maps of a standard material: lightmap, base texture, opacity into
    // alpha, bump and reflection effects.
    void ConvertStandardMaterial(Mtl* m, MaterialDesc& desc, int& alphaUsed);
    // The engine texture of a standard material's map slot (null when the
    // slot holds no bitmap texture); *amount gets the slot's amount, *map
    // the map (both may be null).
    CKTexture* GetMapTexture(Mtl* m, int slot, float* amount, Texmap** map);
    // The leaf material serving sub-material id in map channel (0 the base
    // coordinates) and its key (0 when none); null when none.
    Mtl* FindChannelMaterial(Mtl* m, int subMaterialId, int channel, ExportKey* key);

    // The geometry conversions (exporter/geometry).
    void ExportMesh(INode* node, CK3dEntity* entity);
    void ExportPatchMesh(INode* node, CK3dEntity* entity);
    // The mesh recorded for that object, material, offset and map-channel
    // properties; null when none.
    CKMesh* FindMeshInstance(Object* object, Mtl* material, INode* node, CKBOOL withMapChannels);
    void AddMeshInstance(Object* object, Mtl* material, INode* node, CKBOOL withMapChannels, CKMesh* mesh);
    // The blend shapes of the node's Morpher into the builder (the mesh is
    // the base mesh read with the Morpher off).
    void ExportMorphTargets(INode* node, Mesh& mesh, MeshBuilder& builder);

    // Deformation (exporter/animation). The node's Skin, or its Physique
    // turned rigid, as the entity's skin: 1 when a skin was made.
    int ExportSkin(INode* node, CK3dEntity* entity);
    int ExportPhysiqueAsSkin(INode* node, CK3dEntity* entity);
    // Every node below and with the given one (an explicit stack: any
    // depth), then one node: a skin, or its deformation sampled into morph
    // keys.
    void ExportAnimatedMeshes(INode* node);
    void ExportAnimatedMesh(INode* node);
    // The node's mesh (patch mesh) at t offered to the writer as a morph
    // key; false when it gives none (no mesh, or one that no longer matches
    // the exported mesh).
    bool SampleMeshMorphKey(MorphKeyWriter& writer, INode* node, TimeValue t);
    bool SamplePatchMorphKey(MorphKeyWriter& writer, INode* node, TimeValue t);

    // Node animation (exporter/animation): the node's transform keys, key
    // for key from standard key controllers, else sampled, and with
    // ExportBlendShapeAnims its Morpher's channel weights, into an object
    // animation of the entity.
    void ExportNodeAnimation(INode* node, CK3dEntity* entity);
    void SampleNodeTransform(INode* node, CKObjectAnimation* objectAnimation);
    // One sub-controller's keys; nothing for a controller without keys or
    // of a class the engine has no keys for.
    void ExportPositionKeys(Control* controller, CKObjectAnimation* objectAnimation);
    void ExportRotationKeys(Control* controller, CKObjectAnimation* objectAnimation);
    void ExportScaleKeys(Control* controller, CKObjectAnimation* objectAnimation);
    // A float track into the float controller called name, values times
    // factor: key for key, or sampled at samplingStepForBlendShapes.
    void ExportFloatKeys(Control* controller, CKObjectAnimation* objectAnimation, float factor, const char* name);
    void SampleFloatController(Control* controller, CKObjectAnimation* objectAnimation, float factor, const char* name);
    // A host time in engine frames from the start of the range.
    float EngineTime(TimeValue t) const { return ((float) t - animStart) * framesPerTick; }
    // The sampling step option (kKeyFrameSampling...) in frames: a step
    // below 1 is taken as 1, and the report says so once per option and
    // export.
    int SamplingStep(int option);

    // reportIndent blanks, empty for 0 or less.
    XString GetReportIndent() const;
    // The report so far, "" before the first message.
    const char* GetReportText() const { return reportLength > 0 ? reportText.Begin() : ""; }

    // The report: one NUL-terminated text of reportLength characters.
    XArray<char> reportText;
    CKBOOL progressStarted = 1;

    // exportAs, as four flags: exactly one is set.
    CKBOOL asObjects = 1;
    CKBOOL asCharacter = 0;
    CKBOOL asAnimation = 0;
    CKBOOL asLevel = 0;

    CKBOOL convertToSkin = 1;
    CKBOOL ForceSkinToMorph = 0;
    CKBOOL storeOnlyTextureFileName = 0;
    CKBOOL unitIsMeter = 0;
    CKBOOL saveBipedGeom = 0;
    CKBOOL groupToPlace = 0;
    CKBOOL SelectionAsGroup = 0;
    CKBOOL alignAnimOnZ = 0;
    XString characterName;
    XString animationName;
    // Stored as given; the sampling loops take a step below 1 as 1.
    int samplingStepForDeformables = 3;
    int samplingStepForKeyFrames = 3;
    int compressionLevel = 0;
    // Messages of a level above it are dropped.
    int reportLevel = 0;
    CKBOOL reduceRedondantKeys = 1;
    CKBOOL shellMaterialExportBoth = 0;
    CKBOOL ignore1KeyAnimation = 0;
    CKBOOL exportAnimation = 0;
    float reduceKeysThreshold = 0.0f;
    CKBOOL forceAllUVs = 0;
    CKBOOL splitMesh = 0;
    CKBOOL LOD = 0;
    CKBOOL splinesAsDummies = 0;
    CKBOOL exportAlphaMap = 0;
    CKBOOL usePower2 = 0;
    CKBOOL force1x1Ratio = 0;
    // 0 nearest, 1 lower, 2 higher power of two.
    int resizeMethod = 0;
    CKBOOL deactivateMeshChannels = 0;
    CKBOOL hideHelpers = 0;
    CKBOOL DASIAnimation = 0;
    CKBOOL DASIMesh = 0;
    CKBOOL DASIMaterial = 0;
    CKBOOL DASITexture = 0;
    XString startingCameraName;
    CKBOOL ReadChannels = 0;
    XString ReadChannelsFilename;
    CKBOOL ReportToFile = 0;
    XString ReportFilename;
    CKBOOL ExportBlendShapes = 0;
    CKBOOL ExportBlendShapeAnims = 0;
    CKBOOL IncludeBlendShapesInMorphController = 1;
    CKBOOL reduceRedondantBlendShapesKeys = 1;
    float reduceBlendShapesKeysThreshold = 0.1f;
    int samplingStepForBlendShapes = 3;
    // Metres per scene unit when unitIsMeter is set.
    float unitScale = 1.0f;

    // The working state of one export, set by the driver.
    Interface* maxInterface = nullptr;
    // Nodes counted by the collection walk (root included) and visited so
    // far by the object pass: the progress bar's fraction.
    int nodeCount = 0;
    int nodeIndex = 0;
    // The host's animation range in ticks, and 1 / ticks per frame.
    float animStart = 0.0f;
    float animEnd = 0.0f;
    float framesPerTick = 0.0f;
    // The distinct materials of the collected nodes.
    Tab<Mtl*> sceneMaterials;
    ExportBuilder* builder = nullptr;
    CKContext* context = nullptr;
    // Map channels 1 to 8 that a mesh used (entry c - 1).
    CKBOOL channelUsed[8] = {};
    // What the file holds.
    CKObjectIDList* savedObjects = nullptr;
    // The engine groups open in the object pass, innermost last.
    XArray<CKGroup*> groupStack;
    // Diffuse bitmap files of DirectX-shader materials, each with the first
    // material that used it.
    XHashTable<Mtl*, XString> dxShaderBitmaps;
    // Materials whose walk began in this materials pass: a tree that names
    // one material twice (or holds itself) is walked once, not once per
    // path through it.
    XHashTable<CKBOOL, Mtl*> walkedMaterials;
    // Textures whose alpha an opacity map generated: a material without
    // that alpha that takes the same file gets the file's own image, a copy
    // made once (pristine).
    struct GeneratedAlpha
    {
        CKTexture* texture = nullptr;
        CKTexture* pristine = nullptr;
    };
    XArray<GeneratedAlpha> generatedAlphas;
    // Every mesh made, with what it was made from, in export order.
    XClassArray<MeshInstanceRecord> meshInstances;

    // Blanks that nested report messages put in front of their text.
    int reportIndent = 0;
    // Characters in the report (the position of its terminating NUL).
    int reportLength = 0;
    // The open log the report is copied into, or null.
    GeLog* reportLog = nullptr;
    XString fileName;
    // The sampling-step options already reported as below 1 frame (one bit
    // each).
    CKDWORD samplingStepsReported = 0;
    // The report's warnings and errors so far, whatever its level kept
    // (ReportPrintf), and the bitmap files that were not found, each once.
    int reportWarnings = 0;
    int reportErrors = 0;
    XHashTable<CKBOOL, XString> missingBitmaps;
    CKBOOL EnableInstructions = 0;
    CKBOOL OnlyUsedMaterials = 0;
};
