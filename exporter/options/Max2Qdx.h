#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XString.h"
#include "platform/host/TSTR.h"

class GeLog;
class Interface;

// The exporter of one export: its options, under their script argument
// names (every conversion reads them from here), and its working state.
// Made by the script function, filled with the arguments, run and deleted.
class Max2Qdx
{
public:
    // Empties the report and the texts, then sets every default.
    Max2Qdx();
    virtual ~Max2Qdx();
    Max2Qdx(const Max2Qdx&) = delete;
    Max2Qdx& operator=(const Max2Qdx&) = delete;

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

    // Blanks that nested report messages put in front of their text.
    int reportIndent = 0;
    // Characters in the report (the position of its terminating NUL).
    int reportLength = 0;
    // The open log the report is copied into, or null.
    GeLog* reportLog = nullptr;
    XString fileName;
    CKBOOL EnableInstructions = 0;
    CKBOOL OnlyUsedMaterials = 0;
};
