#include "lod/blocks/MeshBlockDeclarations.h"

#include <initializer_list>

#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorPrototype.h"
#include "core/behavior/CKObjectDeclaration.h"
#include "core/parameter/CKParameterGuids.h"
#include "lod/LODPlugin.h"
#include "lod/blocks/MeshBlocks.h"

namespace {

// The parameter types of the object classes the blocks take.
constexpr CKGUID kMeshType(0x24535345, 0x65D15229);
constexpr CKGUID kMaterialType(0x55AB12CD, 0x22AE6A8B);
constexpr CKGUID kTextureType(0x155B2870, 0x183679F8);
constexpr CKGUID k3dEntityType(0x5B8A05D5, 0x31EA28D4);
constexpr CKGUID k3dObjectType(0x362E4DF8, 0x17443539);

constexpr CKGUID kKeltraneGuid(0x4B454C54, 0x52414E45);
constexpr char kAuthorName[] = "Keltrane";

// Prototype flags most blocks take, and that of "Multi Mesh Morpher".
constexpr CKDWORD kTargetable = 0x40000;
constexpr CKDWORD kTargetableInherited = 0x04040000;

// A prototype with its inputs and outputs; null when none can be made.
CKBehaviorPrototype* Begin(const char* name, std::initializer_list<const char*> inputs,
                           std::initializer_list<const char*> outputs)
{
    CKBehaviorPrototype* p = CKCreateBehaviorPrototype(name);
    if (!p)
        return nullptr;
    for (const char* input : inputs)
        p->DeclareInput(input);
    for (const char* output : outputs)
        p->DeclareOutput(output);
    return p;
}

// The prototype's functions and flags, stored into out.
CKERROR Finish(CKBehaviorPrototype* p, CKBehaviorPrototype** out, CKBEHAVIORFCT function, CKDWORD flags,
               CKBEHAVIORCALLBACKFCT callback, CKDWORD behaviorFlags = 1)
{
    p->SetBehaviorFlags(behaviorFlags);
    p->SetFunction(function);
    if (flags)
        p->SetFlags(flags);
    if (callback)
        p->SetBehaviorCallbackFct(callback, 0xFFFFFFFF, nullptr);
    *out = p;
    return CKErr::Ok;
}

// Mesh Modifications/Basic.

CKERROR SetVertexPropertiesProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Set Vertex Properties", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Vertex Index", CKPGUID_INT);
    p->DeclareInParameter("Vertex Position", CKPGUID_VECTOR);
    p->DeclareInParameter("Vertex Normal", CKPGUID_VECTOR);
    p->DeclareInParameter("Vertex Color", CKPGUID_COLOR, "128,128,128,255");
    p->DeclareInParameter("Vertex Specular Color", CKPGUID_COLOR, "0,0,0,0");
    p->DeclareInParameter("Vertex UV", CKPGUID_2DVECTOR);
    p->DeclareInParameter("UV Channel", CKPGUID_INT, "-1");
    return Finish(p, out, &SetVertexProperties, kTargetable, nullptr);
}

CKERROR SetFacePropertiesProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Set Face Properties", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Face Index", CKPGUID_INT);
    p->DeclareInParameter("Face Material", kMaterialType);
    p->DeclareInParameter("Face Vertex Indices", CKPGUID_VECTOR, "0,1,2");
    return Finish(p, out, &SetFaceProperties, kTargetable, nullptr);
}

CKERROR SetVertexCountProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Set Vertex Count", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Vertex Count", CKPGUID_INT, "100");
    return Finish(p, out, &SetVertexCount, kTargetable, nullptr);
}

CKERROR SetFaceCountProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Set Face Count", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Face Count", CKPGUID_INT, "100");
    return Finish(p, out, &SetFaceCount, kTargetable, nullptr);
}

CKERROR PrecomputeLightingProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Precompute Lighting", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Specular", CKPGUID_BOOL, "FALSE");
    return Finish(p, out, &PrecomputeLighting, kTargetable, nullptr);
}

// Mesh Modifications/Deformation.

CKERROR BendProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Bend", {"In"}, {"Exit"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Angle", CKPGUID_ANGLE, "0:90");
    p->DeclareInParameter("Direction", CKPGUID_FLOAT, "0.0");
    p->DeclareInParameter("Axis", CKPGUID_VECTOR, "0,0,1");
    p->DeclareInParameter("Reset Mesh", CKPGUID_BOOL, "TRUE");
    p->DeclareInParameter("Normal Recalculation", CKPGUID_BOOL, "TRUE");
    p->DeclareLocalParameter("", CKPGUID_VOIDBUF);
    p->DeclareLocalParameter("", CKPGUID_BOX);
    return Finish(p, out, &Bend, kTargetable, &DeformCallback);
}

CKERROR ExplodeProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Explode", {"In", "Loop In"}, {"Out", "Loop Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Duration (ms)", CKPGUID_INT, "1000");
    p->DeclareInParameter("Explosion Curve", CKPGUID_2DCURVE);
    p->DeclareInParameter("Max Distance Factor", CKPGUID_FLOAT, "2");
    p->DeclareInParameter("Spreading Direction", CKPGUID_VECTOR);
    p->DeclareInParameter("Rotation", CKPGUID_BOOL, "TRUE");
    p->DeclareInParameter("Deformation", CKPGUID_BOOL, "FALSE");
    p->DeclareLocalParameter("", CKPGUID_INT);
    p->DeclareLocalParameter("", CKPGUID_FLOAT);
    p->DeclareLocalParameter("curveDeltaX", CKPGUID_FLOAT);
    p->DeclareLocalParameter("baryCenter", CKPGUID_VECTOR);
    p->DeclareLocalParameter("alpha", CKPGUID_FLOAT);
    p->DeclareLocalParameter("mesh saved", kMeshType);
    p->DeclareLocalParameter("new mesh", kMeshType);
    return Finish(p, out, &Explode, 0, &ExplodeCallback);
}

CKERROR MeshMorpherProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Mesh Morpher", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Start Mesh", kMeshType);
    p->DeclareInParameter("End Mesh", kMeshType);
    p->DeclareInParameter("Effect Value", CKPGUID_PERCENTAGE, "50");
    p->DeclareInParameter("Calculate Vertices Normals", CKPGUID_BOOL, "FALSE");
    p->DeclareInParameter("Calculate Faces Normals", CKPGUID_BOOL, "FALSE");
    p->DeclareLocalParameter("initial mesh", kMeshType);
    p->DeclareLocalParameter("created mesh", kMeshType);
    return Finish(p, out, &MeshMorpher, 0, &MeshMorpherCallback);
}

CKERROR NoiseProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Noise", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Seed", CKPGUID_FLOAT, "0.1");
    p->DeclareInParameter("Scale", CKPGUID_FLOAT, "50.0");
    p->DeclareInParameter("Axis", CKPGUID_VECTOR, "0.1,0,0");
    p->DeclareInParameter("Reset Mesh", CKPGUID_BOOL, "TRUE");
    p->DeclareLocalParameter("data", CKPGUID_VOIDBUF);
    return Finish(p, out, &Noise, kTargetable, &DeformCallback);
}

CKERROR SineDeformProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Sine Deform", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Deform Axis", CKPGUID_VECTOR, "1,1,1");
    p->DeclareInParameter("Magnitude", CKPGUID_FLOAT, "1");
    p->DeclareInParameter("Wave Length", CKPGUID_FLOAT, "1");
    p->DeclareInParameter("Reset Mesh", CKPGUID_BOOL, "TRUE");
    p->DeclareLocalParameter("Time", CKPGUID_FLOAT);
    p->DeclareLocalParameter("Vertex Array", CKPGUID_VOIDBUF);
    return Finish(p, out, &SineDeform, kTargetable, &SineDeformCallback);
}

CKERROR MultiMeshMorpherProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Multi Mesh Morpher", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Mesh 1", kMeshType);
    p->DeclareInParameter("Coef 1", CKPGUID_FLOAT, "0");
    p->DeclareInParameter("Mesh 2", kMeshType);
    p->DeclareInParameter("Coef 2", CKPGUID_FLOAT, "1");
    p->DeclareSetting("Mesh Count", CKPGUID_INT, "2");
    p->DeclareSetting("Calculate Normals", CKPGUID_BOOL, "TRUE");
    p->DeclareSetting("Use Relative Morphing", CKPGUID_BOOL, "FALSE");
    return Finish(p, out, &MultiMeshMorpher, kTargetableInherited, &MultiMeshMorpherCallback);
}

CKERROR SetPatchMeshStepsProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Set PatchMesh Steps", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Steps", CKPGUID_INT, "1");
    return Finish(p, out, &SetPatchMeshSteps, kTargetable, nullptr);
}

CKERROR SkinJoinProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Skin Join", {"On", "Off"}, {});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Threshold", CKPGUID_FLOAT, "0.2");
    p->DeclareInParameter("Object 1", k3dObjectType);
    p->DeclareInParameter("Object 2", k3dObjectType);
    p->DeclareLocalParameter("Joined Objects", CKPGUID_OBJECTARRAY);
    p->DeclareLocalParameter("Correspondance", CKPGUID_VOIDBUF);
    p->DeclareLocalParameter("Is Joining", CKPGUID_BOOL);
    p->DeclareLocalParameter("Temporary Joined Object Info", CKPGUID_VOIDBUF);
    return Finish(p, out, &SkinJoin, 0x200, &SkinJoinCallback);
}

CKERROR StretchProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Stretch", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Stretch", CKPGUID_FLOAT, "0.1");
    p->DeclareInParameter("Amplify", CKPGUID_FLOAT, "0.0");
    p->DeclareInParameter("Axis", CKPGUID_VECTOR, "0,0,1");
    p->DeclareInParameter("Reset Mesh", CKPGUID_BOOL, "TRUE");
    p->DeclareLocalParameter("data", CKPGUID_VOIDBUF);
    p->DeclareLocalParameter("initialBox", CKPGUID_BOX);
    return Finish(p, out, &Stretch, kTargetable, &DeformCallback);
}

CKERROR TaperProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Taper", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Amount", CKPGUID_FLOAT, "0.1");
    p->DeclareInParameter("Curve", CKPGUID_FLOAT, "0.0");
    p->DeclareInParameter("Axis", CKPGUID_VECTOR, "0,0,1");
    p->DeclareInParameter("Symmetry", CKPGUID_BOOL, "FALSE");
    p->DeclareInParameter("Modify First Axis", CKPGUID_BOOL, "TRUE");
    p->DeclareInParameter("Modify Second Axis", CKPGUID_BOOL, "TRUE");
    p->DeclareInParameter("Reset Mesh", CKPGUID_BOOL, "TRUE");
    p->DeclareInParameter("Normal Recalculation", CKPGUID_BOOL, "TRUE");
    p->DeclareLocalParameter("data", CKPGUID_VOIDBUF);
    p->DeclareLocalParameter("initialBox", CKPGUID_BOX);
    return Finish(p, out, &Taper, kTargetable, &DeformCallback);
}

CKERROR TwistProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Twist", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Angle", CKPGUID_ANGLE, "0:90");
    p->DeclareInParameter("Bias", CKPGUID_FLOAT, "0.0");
    p->DeclareInParameter("Axis", CKPGUID_VECTOR, "0,1,0");
    p->DeclareInParameter("Reset Mesh", CKPGUID_BOOL, "TRUE");
    p->DeclareInParameter("Normal Recalculation", CKPGUID_BOOL, "TRUE");
    p->DeclareLocalParameter("data", CKPGUID_VOIDBUF);
    p->DeclareLocalParameter("initialBox", CKPGUID_BOX);
    return Finish(p, out, &Twist, kTargetable, &DeformCallback);
}

// Mesh Modifications/Local Deformation.

CKERROR TextureDisplaceProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Texture Displace", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Texture", kTextureType);
    p->DeclareInParameter("Red Scale", CKPGUID_PERCENTAGE, "20");
    p->DeclareInParameter("Green Scale", CKPGUID_PERCENTAGE, "20");
    p->DeclareInParameter("Blue Scale", CKPGUID_PERCENTAGE, "20");
    p->DeclareInParameter("Alpha Scale", CKPGUID_PERCENTAGE, "20");
    p->DeclareInParameter("Min Texture Source Rectangle", CKPGUID_2DVECTOR, "0,0");
    p->DeclareInParameter("Max Texture Source Rectangle", CKPGUID_2DVECTOR, "-1,-1");
    p->DeclareInParameter("Reset Mesh", CKPGUID_BOOL, "FALSE");
    p->DeclareInParameter("Normal Recalculation", CKPGUID_BOOL, "TRUE");
    p->DeclareSetting("3D Displacement", CKPGUID_BOOL, "TRUE");
    return Finish(p, out, &TextureDisplace, kTargetable, nullptr);
}

CKERROR ChangeReferentialProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Change Referential", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Referential to match", k3dEntityType);
    return Finish(p, out, &ChangeReferential, kTargetable, nullptr);
}

CKERROR VertexTranslateProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Vertex Translate", {"In", "Reset"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Vertex Start Index", CKPGUID_INT, "0");
    p->DeclareInParameter("Vertex Count", CKPGUID_INT, "1");
    p->DeclareInParameter("Translation Vector", CKPGUID_VECTOR, "0,0,0");
    p->DeclareInParameter("Translation Referential", k3dEntityType);
    p->DeclareLocalParameter("Vertex Array", CKPGUID_VOIDBUF);
    return Finish(p, out, &VertexTranslate, kTargetable, &DeformCallback);
}

CKERROR InvertWindingProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Invert Winding", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    return Finish(p, out, &InvertWinding, kTargetable, nullptr);
}

// Mesh Modifications/Multi Mesh.

CKERROR AddMeshProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Add Mesh", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Mesh", kMeshType);
    return Finish(p, out, &AddMesh, kTargetable, nullptr);
}

CKERROR RemoveMeshProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Remove Mesh", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Mesh", kMeshType);
    return Finish(p, out, &RemoveMesh, kTargetable, nullptr);
}

CKERROR SelectMeshProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Select Mesh", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Mesh", kMeshType);
    p->DeclareInParameter("Add If Missing", CKPGUID_BOOL, "TRUE");
    return Finish(p, out, &SelectMesh, kTargetable, nullptr);
}

// Optimizations/Level Of Detail.

CKERROR LevelOfDetailProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Level Of Detail", {"On", "Off"}, {"Exit On", "Exit Off"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Distance Min", CKPGUID_FLOAT, "100");
    p->DeclareInParameter("Distance Max", CKPGUID_FLOAT, "1000");
    return Finish(p, out, &LevelOfDetail, 0, nullptr, 5);
}

CKERROR LodManagerOptionsProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("LOD Manager Options", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Activate", CKPGUID_BOOL, "TRUE");
    p->DeclareInParameter("Global LOD Factor", CKPGUID_FLOAT, "1");
    p->DeclareInParameter("Build Normals For Progressive Meshes", CKPGUID_BOOL, "FALSE");
    p->DeclareOutParameter("Active", CKPGUID_BOOL);
    p->DeclareOutParameter("Global LOD Factor", CKPGUID_FLOAT);
    p->DeclareOutParameter("Build Normals For Progressive Meshes", CKPGUID_BOOL);
    p->DeclareSetting("Modify Parameters", LOD_MANAGER_FLAGS_GUID,
                      "Activate,Global LOD Factor,Build Normals For Progressive Meshes");
    return Finish(p, out, &LodManagerOptions, 0, &LodParametersCallback);
}

// The ten fields of "Set LOD Attribute" and "Get LOD Attribute", in order.
constexpr const char* kFlagNames[4] = {"Multiple Meshes", "Character Animation", "Patch Mesh", "Alpha"};
constexpr const char* kFractionNames[6] = {"Screen Mag", "Screen Min",       "Faces Mag",
                                           "Faces Min",  "Screen Alpha Mag", "Screen Alpha Min"};

CKERROR SetLodAttributeProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Set LOD Attribute", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    for (const char* name : kFlagNames)
        p->DeclareInParameter(name, CKPGUID_BOOL, "FALSE");
    const char* defaults[6] = {"40", "1", "100", "3", "10", "5"};
    for (int i = 0; i < 6; ++i)
        p->DeclareInParameter(kFractionNames[i], CKPGUID_PERCENTAGE, defaults[i]);
    p->DeclareSetting("Modify Parameters", LOD_ATTRIBUTE_FLAGS_GUID,
                      "Multiple Meshes,Character Animation,Patch Mesh,Alpha,Screen Mag,Screen Min,Face Mag,Face "
                      "Min,Screen Alpha Mag,Screen Alpha Min");
    return Finish(p, out, &SetLodAttribute, kTargetable, &LodParametersCallback);
}

CKERROR GetLodAttributeProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Get LOD Attribute", {"In"}, {"LOD Attribute Found", "LOD Attribute Not Found"});
    if (!p)
        return CKErr::OutOfMemory;
    for (const char* name : kFlagNames)
        p->DeclareOutParameter(name, CKPGUID_BOOL);
    for (const char* name : kFractionNames)
        p->DeclareOutParameter(name, CKPGUID_PERCENTAGE);
    return Finish(p, out, &GetLodAttribute, kTargetable, nullptr);
}

CKERROR SetProgressiveMeshOptionsProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Set Progressive Mesh Options", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Active", CKPGUID_BOOL, "TRUE");
    p->DeclareInParameter("GeoMorph", CKPGUID_BOOL, "FALSE");
    p->DeclareInParameter("GeoMorph Steps", CKPGUID_INT, "0");
    return Finish(p, out, &SetProgressiveMeshOptions, kTargetable, nullptr);
}

// Mesh Modifications/Blend shapes.

CKERROR SetBlendShapeWeightByNameProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Set Blend Shape Weight By Name", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Blend Shape Name", CKPGUID_STRING);
    p->DeclareInParameter("Blend Shape Weight", CKPGUID_FLOAT);
    return Finish(p, out, &SetBlendShapeWeightByName, kTargetable, nullptr);
}

CKERROR SetBlendShapeWeightByIndexProto(CKBehaviorPrototype** out)
{
    CKBehaviorPrototype* p = Begin("Set Blend Shape Weight By Index", {"In"}, {"Out"});
    if (!p)
        return CKErr::OutOfMemory;
    p->DeclareInParameter("Blend Shape Index", CKPGUID_INT);
    p->DeclareInParameter("Blend Shape Weight", CKPGUID_FLOAT);
    return Finish(p, out, &SetBlendShapeWeightByIndex, kTargetable, nullptr);
}

// One row of the declaration list.
struct Declaration
{
    const char* Name;
    const char* Category;
    CKGUID Guid;
    CK_CLASSID Class;
    CKDWORD Version;
    bool Keltrane; // the author GUID is Keltrane's, else none
    CKDLL_CREATEPROTOFUNCTION Create;
    const char* Description;
};

constexpr char kBasic[] = "Mesh Modifications/Basic";
constexpr char kDeformation[] = "Mesh Modifications/Deformation";
constexpr char kLocal[] = "Mesh Modifications/Local Deformation";
constexpr char kMultiMesh[] = "Mesh Modifications/Multi Mesh";
constexpr char kLod[] = "Optimizations/Level Of Detail";
constexpr char kBlendShapes[] = "Mesh Modifications/Blend shapes";

const Declaration kDeclarations[] = {
    {"Set Vertex Properties", kBasic, CKGUID(0x696353B2, 0x40667087), CKCID_MESH, 0x10000, false,
     &SetVertexPropertiesProto, "Set the properties of a vertex."},
    {"Set Face Properties", kBasic, CKGUID(0x1D8E2716, 0x64F47239), CKCID_MESH, 0x10000, false, &SetFacePropertiesProto,
     "Set the properties of a Face."},
    {"Set Vertex Count", kBasic, CKGUID(0x4BF4352E, 0x6C786DB2), CKCID_MESH, 0x10000, false, &SetVertexCountProto,
     "Set the number of Vertexs of a mesh."},
    {"Set Face Count", kBasic, CKGUID(0x15A14196, 0x69530840), CKCID_MESH, 0x10000, false, &SetFaceCountProto,
     "Set the number of faces of a mesh."},
    {"Precompute Lighting", kBasic, CKGUID(0x053A5BE9, 0x78CC3E15), CKCID_3DOBJECT, 0x10000, false,
     &PrecomputeLightingProto, "Precompute the lighting of an object."},
    {"Bend", kDeformation, CKGUID(0x7C9A7008, 0x6B0F1D1F), CKCID_3DOBJECT, 0x20000, true, &BendProto,
     "Bends a mesh uniformly along an axis with an angle and a direction of bending."},
    {"Explode", kDeformation, CKGUID(0x002D010A, 0x003D010A), CKCID_3DOBJECT, 0x10000, true, &ExplodeProto,
     "Makes an object appear to explode by spreading out its faces from the barycenter of the object."},
    {"Mesh Morpher", kDeformation, CKGUID(0xFF0D010A, 0x001D010A), CKCID_3DOBJECT, 0x10000, true, &MeshMorpherProto,
     "Makes a mesh out of two (that must have the same number of vertices)."},
    {"Noise", kDeformation, CKGUID(0x3918083F, 0x77D70F5C), CKCID_3DOBJECT, 0x20000, true, &NoiseProto,
     "Displaces the vertices of the mesh with a random vector."},
    {"Sine Deform", kDeformation, CKGUID(0x45123704, 0x72F25769), CKCID_3DOBJECT, 0x20000, false, &SineDeformProto,
     "Applies a time-dependent sinusoidal deformation to each vertice of the mesh."},
    {"Multi Mesh Morpher", kDeformation, CKGUID(0x53DA65C4, 0x6F0F194A), CKCID_3DOBJECT, 0x10000, true,
     &MultiMeshMorpherProto,
     "Transforms the current mesh so it matches the interpolation of other meshes (ie there vertice)"},
    {"Set PatchMesh Steps", kDeformation, CKGUID(0x50C12830, 0x18033A52), CKCID_PATCHMESH, 0x10000, true,
     &SetPatchMeshStepsProto, "Sets number of steps used to render a PatchMesh."},
    {"Skin Join", kDeformation, CKGUID(0x38677C72, 0x4F4715CB), CKCID_3DOBJECT, 0x10000, true, &SkinJoinProto,
     "Deforms a join so it sticks on the objects it's joined."},
    {"Stretch", kDeformation, CKGUID(0x22D774F6, 0x4AC542C3), CKCID_3DOBJECT, 0x20000, true, &StretchProto,
     "Stretches an object, equivalent to scaling it with a stretch factor along the selected axis and with the "
     "opposite factor along the two other axes."},
    {"Taper", kDeformation, CKGUID(0x0E971A6B, 0x210F703A), CKCID_3DOBJECT, 0x20000, true, &TaperProto,
     "Modifies the mesh by scaling one end of it and changes the amount of tapering and the curvature of the "
     "effect."},
    {"Twist", kDeformation, CKGUID(0x75B066AF, 0x70371B90), CKCID_3DOBJECT, 0x20000, true, &TwistProto,
     "Twists an object around an axis. You can choose the angle of twisting and the bias, ranging from -100 to "
     "100."},
    {"Texture Displace", kLocal, CKGUID(0x32145678, 0x32145678), CKCID_3DOBJECT, 0x30000, false, &TextureDisplaceProto,
     "Displaces the vertices of the mesh, according to the luminosity of the texture mapped to this vertex."},
    {"Change Referential", kLocal, CKGUID(0x5F6428F2, 0x04E55C7A), CKCID_3DOBJECT, 0x10000, false,
     &ChangeReferentialProto, "Change the referential of a specified object, with another object referential."},
    {"Vertex Translate", kLocal, CKGUID(0x08032EBC, 0x791960C9), CKCID_3DOBJECT, 0x20000, false, &VertexTranslateProto,
     "Translates one or more vertices of the current mesh."},
    {"Invert Winding", kLocal, CKGUID(0x31CE61CD, 0x69A44BEB), CKCID_MESH, 0x10000, false, &InvertWindingProto,
     "Inverse the orientation of the faces of a mesh."},
    {"Add Mesh", kMultiMesh, CKGUID(0x7A1D593E, 0x12C5648D), CKCID_3DOBJECT, 0x10000, true, &AddMeshProto,
     "Adds a mesh to the selected 3d Entity."},
    {"Remove Mesh", kMultiMesh, CKGUID(0x0002145E, 0x6E1B2592), CKCID_3DOBJECT, 0x10000, true, &RemoveMeshProto,
     "Removes a mesh from the selected 3d Entity."},
    {"Select Mesh", kMultiMesh, CKGUID(0x43890176, 0x58B2244E), CKCID_3DOBJECT, 0x10000, true, &SelectMeshProto,
     "Selects which mesh should be used to represent the 3D entity."},
    {"Level Of Detail", kLod, CKGUID(0x21465F42, 0x194C71A1), CKCID_3DOBJECT, 0x10000, true, &LevelOfDetailProto,
     "Chooses the mesh with the appropriate level of detail according to the distance of the camera to the "
     "object."},
    {"LOD Manager Options", kLod, CKGUID(0x2B557187, 0x02027BAF), CKCID_BEOBJECT, 0x10000, true,
     &LodManagerOptionsProto, "Set and Get information about the LOD Manager."},
    {"Set LOD Attribute", kLod, CKGUID(0x0D360136, 0x63D0633B), CKCID_3DENTITY, 0x10000, true, &SetLodAttributeProto,
     "Set the LOD Attribute on an object."},
    {"Get LOD Attribute", kLod, CKGUID(0x62BF39FA, 0x53E264C6), CKCID_3DENTITY, 0x10000, true, &GetLodAttributeProto,
     "Get the LOD Attribute parameters applied to an object."},
    {"Set Progressive Mesh Options", kLod, CKGUID(0x10357830, 0x18099A52), CKCID_MESH, 0x10000, true,
     &SetProgressiveMeshOptionsProto, "Sets the options of the progressive mesh."},
    {"Set Blend Shape Weight By Name", kBlendShapes, CKGUID(0x07AD1EFF, 0x32740C07), CKCID_3DENTITY, 0x10000, false,
     &SetBlendShapeWeightByNameProto, "Set the weight of a blend shape by its name"},
    {"Set Blend Shape Weight By Index", kBlendShapes, CKGUID(0x7BD3596E, 0x49065736), CKCID_3DENTITY, 0x10000, false,
     &SetBlendShapeWeightByIndexProto, "Set the weight of a blend shape by its index"},
};

} // namespace

void CKRegisterLodBehaviorDeclarations(XArray<CKObjectDeclaration*>& list)
{
    for (const Declaration& row : kDeclarations) {
        CKObjectDeclaration* d = CKCreateObjectDeclaration(row.Name);
        if (!d)
            continue;
        d->SetDescription(row.Description);
        d->SetCategory(row.Category);
        d->SetType(CKDLL_BEHAVIORPROTOTYPE);
        d->SetGuid(row.Guid);
        d->SetAuthorGuid(row.Keltrane ? kKeltraneGuid : CKGUID(0, 0));
        d->SetAuthorName(kAuthorName);
        d->SetVersion(row.Version);
        d->SetCreationFunction(row.Create);
        d->SetCompatibleClassId(row.Class);
        list.PushBackValue(d);
    }
}
