#include "exporter/options/ExportOptions.h"

#include "exporter/options/Max2Qdx.h"

namespace {

using T = ExportOptionType;

constexpr ExportOption Required(int argument, const char* name, T type, const char* usage)
{
    return {.argument = argument, .name = name, .type = type, .usage = usage};
}

constexpr ExportOption Flag(int argument, const char* name, int Max2Qdx::*field, int value, const char* usage)
{
    return {
        .argument = argument, .name = name, .type = T::Bool, .integer = field, .integerDefault = value, .usage = usage};
}

constexpr ExportOption Integer(int argument, const char* name, int Max2Qdx::*field, int value, const char* usage)
{
    return {
        .argument = argument, .name = name, .type = T::Int, .integer = field, .integerDefault = value, .usage = usage};
}

constexpr ExportOption Step(int argument, const char* name, int Max2Qdx::*field, int value, const char* usage)
{
    ExportOption option = Integer(argument, name, field, value, usage);
    option.integerInEffect = SamplingStepInFrames;
    return option;
}

constexpr ExportOption Real(int argument, const char* name, float Max2Qdx::*field, float value, const char* usage)
{
    return {.argument = argument, .name = name, .type = T::Float, .real = field, .realDefault = value, .usage = usage};
}

constexpr ExportOption Text(int argument, const char* name, XString Max2Qdx::*field, const char* value,
                            const char* usage, void (Max2Qdx::*setter)(const char*) = nullptr)
{
    return {.argument = argument,
            .name = name,
            .type = T::String,
            .text = field,
            .setText = setter,
            .textDefault = value,
            .usage = usage};
}

} // namespace

#define FIELD(name) #name, &Max2Qdx::name

const ExportOption kExportOptions[kExportArgumentCount] = {
    Required(0, "filename", T::String, "[string filename]"),
    Required(1, "onlySelected", T::Bool, "[BOOL\tonlySelected]"),
    Required(2, "exportAs", T::Int, "[int\texportAs]"),
    Flag(3, FIELD(convertToSkin), 1, "[BOOL\tconvertToSkin]"),
    Flag(4, FIELD(storeOnlyTextureFileName), 0, "[BOOL\tstoreOnlyTextureFileName]"),
    Flag(5, FIELD(unitIsMeter), 0, "[BOOL\tunitIsMeter]"),
    Integer(6, FIELD(reportLevel), 0, "[int\treportLevel]"),
    Step(7, FIELD(samplingStepForDeformables), 3, "[int\tsamplingStepForDeformables]"),
    Step(8, FIELD(samplingStepForKeyFrames), 3, "[int\tsamplingStepForKeyFrames]"),
    Text(9, FIELD(characterName), "Character", "[string characterName]", &Max2Qdx::SetCharacterName),
    Text(10, FIELD(animationName), "Animation", "[string animationName]", &Max2Qdx::SetAnimationName),
    Flag(11, FIELD(groupToPlace), 0, "[BOOL\tgroupToPlace]"),
    Flag(12, FIELD(saveBipedGeom), 0, "[BOOL\tsaveBipedGeom]"),
    Integer(13, FIELD(compressionLevel), 0, "[int\tcompressionLevel]"),
    Flag(14, FIELD(alignAnimOnZ), 0, "[BOOL\talignAnimOnZ]"),
    Flag(15, FIELD(reduceRedondantKeys), 1, "[BOOL\treduceRedondantKeys]"),
    Flag(16, FIELD(shellMaterialExportBoth), 0, "[BOOL\tshellMaterialExportBoth]"),
    Flag(17, FIELD(ignore1KeyAnimation), 0, "[BOOL\tignore1KeyAnimation]"),
    Flag(18, FIELD(exportAnimation), 0, "[BOOL\texportAnimation]"),
    Real(19, FIELD(reduceKeysThreshold), 0.0f, "[float\treduceKeysThreshold]"),
    Flag(20, FIELD(forceAllUVs), 0, "[BOOL\tforceAllUVs]"),
    Flag(21, FIELD(splitMesh), 0, "[BOOL\tsplitMesh]"),
    Flag(22, FIELD(LOD), 0, "[BOOL\tLOD]"),
    Flag(23, FIELD(splinesAsDummies), 0, "[BOOL\tsplinesAsDummies]"),
    Flag(24, FIELD(exportAlphaMap), 0, "[BOOL\texportAlphaMap]"),
    Flag(25, FIELD(usePower2), 0, "[BOOL\tusePower2]"),
    Flag(26, FIELD(force1x1Ratio), 0, "[BOOL\tforce1x1Ratio]"),
    Integer(27, FIELD(resizeMethod), 0,
            "[int\tresizeMethod (NearestPowerOfTwo=0, LowerPowerOfTwo=1, HigherPowerOfTwo=2)]"),
    Flag(28, FIELD(deactivateMeshChannels), 0, "[BOOL\tdeactivateMeshChannels]"),
    Flag(29, FIELD(hideHelpers), 0, "[BOOL\thideHelpers]"),
    Flag(30, FIELD(DASIAnimation), 0, "[BOOL\tDASIAnimation]"),
    Flag(31, FIELD(DASIMesh), 0, "[BOOL\tDASIMesh]"),
    Flag(32, FIELD(DASIMaterial), 0, "[BOOL\tDASIMaterial]"),
    Flag(33, FIELD(DASITexture), 0, "[BOOL\tDASITexture]"),
    Text(34, FIELD(startingCameraName), "Camera01", "[string startingCameraName]"),
    Flag(35, FIELD(SelectionAsGroup), 0, "[BOOL\tSelectionAsGroup]"),
    Flag(36, FIELD(ReadChannels), 0, "[BOOL\tReadChannels]"),
    Text(37, FIELD(ReadChannelsFilename), "MyChannels.txt", "[string ReadChannelsFilename]"),
    Flag(38, FIELD(ReportToFile), 0, "[BOOL\tReportToFile]"),
    Text(39, FIELD(ReportFilename), "Report.txt", "[string ReportFilename]"),
    Flag(40, FIELD(ExportBlendShapes), 0, "[BOOL ExportBlendShapes]"),
    Flag(41, FIELD(ExportBlendShapeAnims), 0, "[BOOL ExportBlendShapeAnims]"),
    Flag(42, FIELD(IncludeBlendShapesInMorphController), 1, "[BOOL IncludeBlendShapesInMorphController]"),
    Flag(43, FIELD(reduceRedondantBlendShapesKeys), 1, "[BOOL\treduceRedondantBlendShapesKeys]"),
    Real(44, FIELD(reduceBlendShapesKeysThreshold), 0.1f, "[float reduceBlendShapesKeysThreshold]"),
    Step(45, FIELD(samplingStepForBlendShapes), 3, "[int\tsamplingStepForBlendShapes]"),
    Flag(46, FIELD(EnableInstructions), 0, "[BOOL\tEnableInstructions]"),
    Flag(47, FIELD(OnlyUsedMaterials), 0, "[BOOL\tOnlyUsedMaterials]"),
    Flag(48, FIELD(ForceSkinToMorph), 0, "[BOOL\tForceSkinToMorph]"),
};

#undef FIELD

XString ExportUsageText()
{
    XString usage("usage: ExtendedExport2Qdx\n");
    for (const ExportOption& option : kExportOptions) {
        usage += option.usage;
        usage += "\n";
    }
    return usage;
}

const char* ExportOptionTypeWord(ExportOptionType type)
{
    switch (type) {
    case ExportOptionType::Bool: return "BOOL";
    case ExportOptionType::Int: return "int";
    case ExportOptionType::Float: return "float";
    case ExportOptionType::String: break;
    }
    return "string";
}

int SamplingStepInFrames(int step)
{
    return step >= 1 ? step : 1;
}

void SetExportOptionDefault(Max2Qdx& exporter, const ExportOption& option)
{
    if (option.integer)
        exporter.*option.integer = option.integerDefault;
    else if (option.real)
        exporter.*option.real = option.realDefault;
    else if (option.text)
        exporter.*option.text = option.textDefault;
}
