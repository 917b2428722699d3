#include "core/parameter/CKBuiltInParameterTypes.h"

#include <algorithm>

#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterCallbacks.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterManager.h"
#include "includes/XClassArray.h"

namespace {

// One value type: its description's fields and callbacks (null: none).
struct ValueType
{
    const char* name;
    CKGUID guid;
    CKGUID parent = CKGUID();
    int size = 4;
    CKDWORD flags = 0;
    CK_PARAMETERCOPYFUNCTION copy = nullptr;
    CK_PARAMETERSTRINGFUNCTION text = nullptr;
    CK_PARAMETERCREATEDEFAULTFUNCTION create = nullptr;
    CK_PARAMETERDELETEFUNCTION destroy = nullptr;
    CK_PARAMETERSAVELOADFUNCTION saveLoad = nullptr;
    CK_PARAMETERCHECKFUNCTION check = nullptr;
    CKGUID valueManager = CKGUID();
    CK_CLASSID classId = 0;
};

constexpr CKDWORD kVariable = CKPARAMETERTYPE_VARIABLESIZE;

// In registration order: the index of a type is its row.
const ValueType kValueTypes[] = {
    {.name = "None", .guid = CKPGUID_NONE, .size = 0},
    {.name = "Buffer",
     .guid = CKPGUID_VOIDBUF,
     .size = 10,
     .flags = kVariable | CKPARAMETERTYPE_HIDDEN | CKPARAMETERTYPE_NOENDIANCONV,
     .copy = CKCopyGenericValue},
#define DEPENDENCY_TYPE(label, id)                                                                                     \
    {                                                                                                                  \
        .name = label, .guid = id, .copy = CKCopyDependenciesValue, .create = CKCreateDependenciesValue,               \
        .destroy = CKDestroyDependenciesValue, .saveLoad = CKSaveLoadDependenciesValue                                 \
    }
    DEPENDENCY_TYPE("Copy Dependencies", CKPGUID_COPYDEPENDENCIES),
    DEPENDENCY_TYPE("Delete Dependencies", CKPGUID_DELETEDEPENDENCIES),
    DEPENDENCY_TYPE("Replace Dependencies", CKPGUID_REPLACEDEPENDENCIES),
    DEPENDENCY_TYPE("Save Dependencies", CKPGUID_SAVEDEPENDENCIES),
#undef DEPENDENCY_TYPE
    {.name = "Float", .guid = CKPGUID_FLOAT, .copy = CKCopy4ByteValue, .text = CKFloatText},
    {.name = "Angle", .guid = CKPGUID_ANGLE, .parent = CKPGUID_FLOAT, .copy = CKCopy4ByteValue, .text = CKAngleText},
    {.name = "Float Slider",
     .guid = CKPGUID_FLOATSLIDER,
     .parent = CKPGUID_FLOAT,
     .size = 12,
     .copy = CKCopySliderValue,
     .text = CKFloatSliderText},
    {.name = "Integer", .guid = CKPGUID_INT, .copy = CKCopy4ByteValue, .text = CKIntegerText},
    {.name = "Time", .guid = CKPGUID_TIME, .parent = CKPGUID_FLOAT, .copy = CKCopy4ByteValue, .text = CKTimeText},
    {.name = "Boolean", .guid = CKPGUID_BOOL, .parent = CKPGUID_INT, .copy = CKCopy4ByteValue, .text = CKBooleanText},
    {.name = "String",
     .guid = CKPGUID_STRING,
     .size = 64,
     .flags = kVariable | CKPARAMETERTYPE_NOENDIANCONV,
     .copy = CKCopyGenericValue,
     .text = CKStringText},
    {.name = "Vector", .guid = CKPGUID_VECTOR, .size = 12, .copy = CKCopyFixedValue, .text = CKVectorText},
    {.name = "Euler Angles",
     .guid = CKPGUID_EULERANGLES,
     .parent = CKPGUID_VECTOR,
     .size = 12,
     .copy = CKCopyFixedValue,
     .text = CKEulerAnglesText},
    {.name = "Quaternion", .guid = CKPGUID_QUATERNION, .size = 16, .copy = CKCopyFixedValue, .text = CKFourFloatsText},
    {.name = "Vector 4D",
     .guid = CKPGUID_VECTOR4,
     .parent = CKPGUID_QUATERNION,
     .size = 16,
     .copy = CKCopyFixedValue,
     .text = CKFourFloatsText},
    {.name = "Rectangle", .guid = CKPGUID_RECT, .size = 16, .copy = CKCopyFixedValue, .text = CKRectangleText},
    {.name = "Vector 2D", .guid = CKPGUID_2DVECTOR, .size = 8, .copy = CKCopyFixedValue, .text = CKVector2DText},
    {.name = "Matrix",
     .guid = CKPGUID_MATRIX,
     .size = 64,
     .copy = CKCopyFixedValue,
     .text = CKMatrixText,
     .create = CKCreateMatrixValue},
    {.name = "Color", .guid = CKPGUID_COLOR, .size = 16, .copy = CKCopyFixedValue, .text = CKColorText},
    {.name = "Box", .guid = CKPGUID_BOX, .size = 24, .copy = CKCopyFixedValue, .text = CKBoxText},
    {.name = "Collection",
     .guid = CKPGUID_OBJECTARRAY,
     .copy = CKCopyCollectionValue,
     .text = CKCollectionText,
     .create = CKCreateCollectionValue,
     .destroy = CKDestroyCollectionValue,
     .saveLoad = CKSaveLoadCollectionValue,
     .check = CKCheckCollectionValue},
    {.name = "Percentage",
     .guid = CKPGUID_PERCENTAGE,
     .parent = CKPGUID_FLOAT,
     .copy = CKCopy4ByteValue,
     .text = CKPercentageText},
    {.name = "Message",
     .guid = CKPGUID_MESSAGE,
     .copy = CKCopy4ByteValue,
     .text = CKMessageText,
     .valueManager = MESSAGE_MANAGER_GUID},
    {.name = "2D Curve",
     .guid = CKPGUID_2DCURVE,
     .copy = CKCopyCurveValue,
     .create = CKCreateCurveValue,
     .destroy = CKDestroyCurveValue,
     .saveLoad = CKSaveLoadCurveValue},
    {.name = "Attribute",
     .guid = CKPGUID_ATTRIBUTE,
     .copy = CKCopy4ByteValue,
     .text = CKAttributeText,
     .valueManager = ATTRIBUTE_MANAGER_GUID},
    {.name = "Script",
     .guid = CKPGUID_SCRIPT,
     .parent = CKPGUID_OBJECT,
     .copy = CKCopy4ByteValue,
     .text = CKObjectText,
     .check = CKCheckObjectValue,
     .classId = CKCID_BEHAVIOR},
    {.name = "State Chunk",
     .guid = CKPGUID_STATECHUNK,
     .copy = CKCopyChunkValue,
     .create = CKCreateChunkValue,
     .destroy = CKDestroyChunkValue,
     .saveLoad = CKSaveLoadChunkValue},
    {.name = "Pointer",
     .guid = CKPGUID_POINTER,
     .flags = CKPARAMETERTYPE_HIDDEN,
     .copy = CKCopyNoValue,
     .saveLoad = CKSaveLoadPointerValue},
    {.name = "Unicode String",
     .guid = CKPGUID_UNICODESTRING,
     .parent = CKPGUID_STRING,
     .size = 0,
     .flags = kVariable | CKPARAMETERTYPE_NOENDIANCONV,
     .copy = CKCopyGenericValue},
};

struct MemberType
{
    const char* name;
    CKGUID guid;
    const char* members; // null: built by code
    bool flags;
};

const MemberType kMemberTypes[] = {
    {"Direction", CKGUID(0x0286652D, 0x5EA709C2), "X=1,-X=2,Y=3,-Y=4,Z=5,-Z=6", false},
    {"Texture Blend Mode", CKGUID(0x3C2A6ACA, 0x6F0E5865),
     "Decal=1,Modulate=2,DecalAlpha=3,ModulateAlpha=4,DecalMask=5,ModulateMask=6,Copy=7,Add=8", false},
    {"Filter Mode", CKGUID(0x2BD753B3, 0x563E5165),
     "Nearest=1,Linear=2,MipNearest=3,MipLinear=4,LinearMipNearest=5,LinearMipLinear=6,Anisotropic=7", false},
    {"Blend Factor", CKGUID(0x089E28D4, 0x2EF031D2),
     "Zero=1,One=2,Source Color=3,Inverse Source Color=4,Source Alpha=5,Inverse Source Alpha=6,Destination "
     "Alpha=7,Inverse Destination Alpha=8,Destination Color=9,Inverse Destination Color=10,Source Alpha "
     "Saturation=11,Both Source Alpha=12,Both Inverse Source Alpha=13",
     false},
    {"Fill Mode", CKGUID(0x2B0F1617, 0x53CE1B0E), "Point=1,WireFrame=2,Solid=3,OnlyZ=4", false},
    {"Lit Mode", CKGUID(0x6DD30F0A, 0x74671D2E), "Prelit=0,Lit=1", false},
    {"Mode of Shading", CKGUID(0x7990258F, 0x60326351), "Flat=1,Gouraud=2", false},
    {"Global Shade Mode", CKGUID(0x0259699F, 0x6EDA4960), "Wireframe=0,Flat=1,Gouraud=2,Material Default=4", false},
    {"Z Compare Function", CKGUID(0x51CD1CF5, 0x1D5C2D9B),
     "Never=1,Less=2,Equal=3,Less Equal=4,Greater=5,Not Equal=6,Greater Equal=7,Always=8", false},
    {"Address Mode", CKGUID(0x080D38D5, 0x02CF7A30), "Wrap=1,Mirror=2,Clamp=3,Border=4", false},
    {"Wrap Mode", CKGUID(0x14E14BD8, 0x32A738E7), "None=0,V Looping=1,U Looping=2,UV Looping=3", false},
    {"3DSprite Mode", CKGUID(0x1D1A3403, 0x535E7252), "Billboard=0,XRotate=1,YRotate=2,Orientable=3", false},
    {"Fog Mode", CKGUID(0x686F28EF, 0x5ECC7766), "None=0,Exponential=1,Exponential Squared=2,Linear=3", false},
    {"Light Type", CKGUID(0x4F0F4891, 0x340A05D1), "Point=1,Spot=2,Directional=3", false},
    {"Comparison Operator", CKGUID(0x79B90856, 0x75D070FF),
     "Equal=1,Not Equal=2,Less than=3,Less or equal=4,Greater than=5,Greater or equal=6", false},
    {"Binary Operator", CKGUID(0x2CE46C85, 0x4B791332), "+=1,-=2,*=3,/=4", false},
    {"Sets Operator", CKGUID(0x02011B99, 0x1EFB0B91), "Union=1,Intersection=2,Subtraction=3", false},
    {"Sprite Text Alignment", CKGUID(0x6E49509A, 0x2F067425),
     "Center=1,Left=2,Right=4,Top=8,Bottom=16,VCenter=32,HCenter=64", false},
    {"Array Column Type", CKGUID(0x615D017C, 0x54A9524F), "Integer=1,Float=2,String=3,Object=4,Parameter=5", false},
    {"Filter", CKGUID(0x4A5D4963, 0x4D28883F), nullptr, true},
    {"Scene Activity Options", CKGUID(0x1CD24241, 0x533C0F8F),
     "Scene Defaults=0,Force activate=1,Force deactivate=2,Do nothing=3", false},
    {"Scene Reset Options", CKGUID(0x18170AFB, 0x687D5DA7), "Scene Defaults=0,Force Reset=1,Do nothing=2", false},
    {"Render Options", CKGUID(0x745655A9, 0x61BB29A1),
     "Background Sprites=1,Foreground Sprites=2,Use Camera Ratio=8,Clear ZBuffer=16,Clear Back Buffer=32,Clear "
     "Stencil Buffer=64,Buffer Swapping=128,Clear Only Viewport=256,Vertical Sync=512,Disable Rendering=1024,Disable "
     "3D Only=4096,Hint Render Attrib Tex=262144",
     true},
    {"Pixel Format", CKGUID(0x79465229, 0x61AF2AF1),
     "Unknown=0,32 bits ARGB 8888=1,32 bits RGB  888=2,24 bits RGB  888=3,16 bits RGB  565=4,16 bits RGB  555=5,16 "
     "bits ARGB 1555=6,16 bits ARGB 4444=7,8 bits RGB  332=8,8 bits ARGB 2222=9,32 bits ABGR 8888=10,32 bits RGBA "
     "8888=11,32 bits BGRA 8888=12,32 bits BGR  888=13,24 bits BGR  888=14,16 bits BGR  565=15,16 bits BGR  555=16,16 "
     "bits ABGR 1555=17,16 bits ABGR 4444=18,Compressed DXT1=19,Compressed DXT2=20,Compressed DXT3=21,Compressed "
     "DXT4=22,Compressed DXT5=23,V8U8 BumpMap=24,V16U16 BumpMap=25,L6V5U5 BumpMap=26,L8V8U8 BumpMap=27",
     false},
    {"Axis", CKGUID(0x79465230, 0x62A88AF1), "X=0,Y=1,Z=2", false},
    {"Support", CKGUID(0x71119230, 0x62ABEACC), "Front=0,Center=1,Back=2", false},
    {"SystemCaching", CKGUID(0x75894231, 0x12AFE226), "Procedural=0,VideoShadow=1,Discard=2", false},
    {"Host Platform", CKGUID(0x74E426FA, 0xA3E48963),
     "Unknown=-1,Windows=0,Mac=1,XBox=2,WinCE=3,Linux=4,PSX2=5,XBox360=6,PSP=7,WII=8", false},
    {"Shadow Map Format", CKGUID(0x6125717E, 0x652C20A6),
     "Debug Material=0,24 bits Hardware Shadow Map=1,16 bits Hardware Shadow Map=2,32 bits Float WBuffer=3,16 bits "
     "Float WBuffer=4",
     false},
    {"Shadow Map Tap Count", CKGUID(0x0B7116AF, 0x32624773), "1 Tap=0,5 Taps = 1,9 Taps = 2", false},
    {"Shadow Map Attenuation Mode", CKGUID(0x54AC4786, 0x41845F5D),
     "No Attenuation=0,Light Factors=1,Directional Attenuation=2", false},
    {"Shadow Map Fallback Policy", CKGUID(0x6D4F72B2, 0x23C04463), "No Fallback=0,Prefer Sampling=1,Prefer Filtering=2",
     false},
};

// The classes of this system: display name, parameter-type GUID (null for
// none) and parent id.
struct ClassType
{
    CK_CLASSID cid;
    const char* name;
    CKGUID guid;
    CK_CLASSID parent;
};

const ClassType kClassTypes[] = {
    {CKCID_OBJECT, "Basic Object", CKPGUID_OBJECT, 0},
    {CKCID_PARAMETERIN, "Parameter In", CKGUID(), CKCID_OBJECT},
    {CKCID_PARAMETEROUT, "Parameter Out", CKGUID(), CKCID_PARAMETER},
    {CKCID_PARAMETEROPERATION, "Parameter Operation", CKGUID(), CKCID_OBJECT},
    {CKCID_STATE, "State", CKGUID(0xABE13353, 0xA2834124), CKCID_OBJECT},
    {CKCID_BEHAVIORLINK, "Behavior Link", CKGUID(), CKCID_OBJECT},
    {CKCID_BEHAVIOR, "Behavior", CKGUID(0x286B19DB, 0x21185D4F), CKCID_SCENEOBJECT},
    {CKCID_BEHAVIORIO, "Behavior IO", CKGUID(), CKCID_OBJECT},
    {CKCID_SCENE, "Scene", CKGUID(0x25AE6BD7, 0x7C8F73A2), CKCID_BEOBJECT},
    {CKCID_SCENEOBJECT, "Scene Object", CKGUID(0x5BDF2D37, 0x64EA731F), CKCID_OBJECT},
    {CKCID_RENDERCONTEXT, "Render Context", CKGUID(), CKCID_OBJECT},
    {CKCID_KINEMATICCHAIN, "Kinematic Chain", CKGUID(0x305B4E1C, 0x3DA07AE6), CKCID_OBJECT},
    {CKCID_OBJECTANIMATION, "Object Animation", CKGUID(0x43476550, 0x11E52C0E), CKCID_SCENEOBJECT},
    {CKCID_ANIMATION, "Animation", CKGUID(0x5BFA474D, 0x19E60236), CKCID_SCENEOBJECT},
    {CKCID_KEYEDANIMATION, "Keyed Animation", CKGUID(0x5BFA474D, 0x19E60236), CKCID_ANIMATION},
    {CKCID_BEOBJECT, "Behavioral Object", CKGUID(0x71D80779, 0x402F42F3), CKCID_SCENEOBJECT},
    {CKCID_SYNCHRO, "Synchronization Object", CKGUID(0x2314A763, 0xC2F49238), CKCID_OBJECT},
    {CKCID_LEVEL, "Level", CKGUID(0x10584787, 0x76932F77), CKCID_BEOBJECT},
    {CKCID_PLACE, "Place", CKGUID(0x249530ED, 0x4C0865F3), CKCID_3DENTITY},
    {CKCID_GROUP, "Group", CKGUID(0x5C0F151B, 0x6F0547FD), CKCID_BEOBJECT},
    {CKCID_SOUND, "Sound", CKGUID(0x40194410, 0x3A773F80), CKCID_BEOBJECT},
    {CKCID_WAVESOUND, "Wave Sound", CKGUID(0x4BF74E5E, 0x45F409EF), CKCID_SOUND},
    {CKCID_MIDISOUND, "Midi Sound", CKGUID(0x4B81218B, 0x2EB7145E), CKCID_SOUND},
    {CKCID_2DENTITY, "2D Entity", CKGUID(0x181671E3, 0x1BDC1503), CKCID_RENDEROBJECT},
    {CKCID_SPRITE, "Sprite", CKGUID(0x577E2EA8, 0x5B901969), CKCID_2DENTITY},
    {CKCID_SPRITETEXT, "Sprite Text", CKGUID(0x5C2E69E3, 0xFE156F09), CKCID_SPRITE},
    {CKCID_MATERIAL, "Material", CKGUID(0x55AB12CD, 0x22AE6A8B), CKCID_BEOBJECT},
    {CKCID_TEXTURE, "Texture", CKGUID(0x155B2870, 0x183679F8), CKCID_BEOBJECT},
    {CKCID_MESH, "Mesh", CKGUID(0x24535345, 0x65D15229), CKCID_BEOBJECT},
    {CKCID_3DENTITY, "3D Entity", CKGUID(0x5B8A05D5, 0x31EA28D4), CKCID_RENDEROBJECT},
    {CKCID_CAMERA, "Camera", CKGUID(0x3CF24D6F, 0x216204F9), CKCID_3DENTITY},
    {CKCID_TARGETCAMERA, "Target Camera", CKGUID(0x11D87565, 0x5D0B7989), CKCID_CAMERA},
    {CKCID_CURVEPOINT, "Curve Point", CKGUID(0x5CC5194F, 0x72342879), CKCID_3DENTITY},
    {CKCID_SPRITE3D, "3D Sprite", CKGUID(0x23C8061B, 0x70033A27), CKCID_3DENTITY},
    {CKCID_LIGHT, "Light", CKGUID(0x4B6D412F, 0x5D1E1416), CKCID_3DENTITY},
    {CKCID_TARGETLIGHT, "Target Light", CKGUID(0x4E5F22FC, 0x194709D4), CKCID_LIGHT},
    {CKCID_CHARACTER, "Character", CKGUID(0x35985C64, 0x51AF1372), CKCID_3DENTITY},
    {CKCID_3DOBJECT, "3D Object", CKGUID(0x362E4DF8, 0x17443539), CKCID_3DENTITY},
    {CKCID_BODYPART, "Body Part", CKGUID(0x4BA1010E, 0x7ABD6D02), CKCID_3DOBJECT},
    {CKCID_CURVE, "Curve", CKGUID(0x1072130B, 0x1F9572BA), CKCID_3DENTITY},
    {CKCID_PARAMETERLOCAL, "Parameter Local", CKGUID(), CKCID_PARAMETER},
    {CKCID_PARAMETER, "Parameter", CKGUID(), CKCID_OBJECT},
    {CKCID_RENDEROBJECT, "Render Object", CKGUID(0x65706358, 0x63627B50), CKCID_BEOBJECT},
    {CKCID_INTERFACEOBJECTMANAGER, "KeltraneInterfaceObject", CKGUID(), CKCID_OBJECT},
    {CKCID_CRITICALSECTION, "Critical Section", CKGUID(0x9438212A, 0xC2F4312C), CKCID_OBJECT},
    {CKCID_GRID, "Grid", CKGUID(0x5B8A05D5, 0x31EA28D4), CKCID_3DENTITY},
    {CKCID_LAYER, "Grid Layer", CKGUID(), CKCID_OBJECT},
    {CKCID_DATAARRAY, "Array", CKGUID(0x024D52F1, 0x678223B2), CKCID_BEOBJECT},
    {CKCID_PATCHMESH, "Patch Mesh", CKGUID(0x75FD45B5, 0x59E70E4B), CKCID_MESH},
    {CKCID_PARAMETERVARIABLE, "Variable Parameter", CKGUID(), CKCID_PARAMETERLOCAL},
    {CKCID_3DPOINTCLOUD, "3D Points Cloud", CKGUID(0x4D111CEA, 0x1AB12E02), CKCID_3DENTITY},
};

struct ErrorName
{
    const char* name;
    CKERROR code;
};

const ErrorName kErrorNames[] = {
    {"InvalidParameter", CKErr::InvalidParameter},
    {"InvalidParameterType", CKErr::InvalidParameterType},
    {"InvalidSize", CKErr::InvalidSize},
    {"InvalidOperation", CKErr::InvalidOperation},
    {"OperationNotImplemented", CKErr::OperationNotImplemented},
    {"OutOfMemory", CKErr::OutOfMemory},
    {"NotImplemented", CKErr::NotImplemented},
    {"NotFound", CKErr::NotFound},
    {"NoLevel", CKErr::NoLevel},
    {"CannotCreateRenderContext", CKErr::CannotCreateRenderContext},
    {"NotificationNotHandled", CKErr::NotificationNotHandled},
    {"AlreadyPresent", CKErr::AlreadyPresent},
    {"InvalidRenderContext", CKErr::InvalidRenderContext},
    {"RenderContextInactive", CKErr::RenderContextInactive},
    {"NoLoadPlugins", CKErr::NoLoadPlugins},
    {"NoSavePlugins", CKErr::NoSavePlugins},
    {"InvalidFile", CKErr::InvalidFile},
    {"InvalidPlugin", CKErr::InvalidPlugin},
    {"NotInitialized", CKErr::NotInitialized},
    {"InvalidMessage", CKErr::InvalidMessage},
    {"InvalidPrototype", CKErr::InvalidPrototype},
    {"NoDLLFound", CKErr::NoDLLFound},
    {"AlreadyRegisteredDLL", CKErr::AlreadyRegisteredDLL},
    {"InvalidDLL", CKErr::InvalidDLL},
    {"InvalidObject", CKErr::InvalidObject},
    {"InvalidConsoleWindow", CKErr::InvalidConsoleWindow},
    {"InvalidKinematicChain", CKErr::InvalidKinematicChain},
    {"NoKeyboard", CKErr::NoKeyboard},
    {"NoMouse", CKErr::NoMouse},
    {"NoJoystick", CKErr::NoJoystick},
    {"IncompatibleParameters", CKErr::IncompatibleParameters},
    {"NoRenderEngine", CKErr::NoRenderEngine},
    {"NoCurrentLevel", CKErr::NoCurrentLevel},
    {"SoundDisabled", CKErr::SoundDisabled},
    {"DirectInputDisabled", CKErr::DirectInputDisabled},
    {"InvalidGUID", CKErr::InvalidGUID},
    {"NotEnoughDiskPlace", CKErr::NotEnoughDiskPlace},
    {"CannotWriteToFile", CKErr::CannotWriteToFile},
    {"BehaviorAddDenied", CKErr::BehaviorAddDenied},
    {"IncompatibleClassID", CKErr::IncompatibleClassID},
    {"ManagerAlreadyExists", CKErr::ManagerAlreadyExists},
    {"Paused", CKErr::Paused},
    {"PluginsMissing", CKErr::PluginsMissing},
    {"ObsoleteKeltrane", CKErr::ObsoleteKeltrane},
    {"FileCRCError", CKErr::FileCRCError},
    {"AlreadyFullscreen", CKErr::AlreadyFullscreen},
    {"Canceled", CKErr::Canceled},
    {"NoAnimationKey", CKErr::NoAnimationKey},
    {"InvalidIndex", CKErr::InvalidIndex},
    {"IndexAnimation", CKErr::IndexAnimation},
};

// What the class type of an id is made of. The registry's class-name
// function decides first; otherwise the table above describes the classes
// whose code is not registered yet.
struct ClassInfo
{
    const char* name = nullptr; // null: no class
    CKGUID guid;
    CK_CLASSID parent = 0;
};

ClassInfo DescribeClass(CK_CLASSID cid)
{
    ClassInfo info;
    CKClassDesc* desc = cid > 0 && cid < CKGetClassCount() ? CKGetClassDesc(cid) : nullptr;
    if (desc && desc->m_NameFct) {
        info.name = desc->m_NameFct();
        info.guid = desc->m_ParameterGuid;
        info.parent = desc->m_Parent;
        return info;
    }
    for (const ClassType& row : kClassTypes)
        if (row.cid == cid) {
            info.name = row.name;
            info.guid = row.guid;
            info.parent = desc && !desc->m_Name.IsEmpty() ? desc->m_Parent : row.parent;
            break;
        }
    return info;
}

// The GUID of the nearest ancestor class that has one; null when none.
CKGUID ParentClassGuid(CK_CLASSID cid)
{
    CK_CLASSID parent = DescribeClass(cid).parent;
    for (int steps = 0; parent > 0 && parent != cid && steps < CKGetClassCount(); ++steps) {
        ClassInfo info = DescribeClass(parent);
        if (info.guid.IsValid())
            return info.guid;
        parent = info.parent;
    }
    return CKGUID();
}

void SortTexts(XClassArray<XString>& texts)
{
    std::sort(texts.Begin(), texts.End(), [](const XString& a, const XString& b) { return a.Compare(b) < 0; });
}

void RegisterClassTypes(CKParameterManager* manager, const CKParameterTypeDesc& tmpl)
{
    XClassArray<XString> names;
    for (CK_CLASSID cid = 1; cid < CKGetClassCount(); ++cid) {
        ClassInfo info = DescribeClass(cid);
        if (!info.name)
            continue;
        XString entry;
        entry.Format("%s=%d", info.name, cid);
        names.PushBack(entry);
        if (!info.guid.IsValid())
            continue;
        CKParameterTypeDesc desc = tmpl;
        desc.Name = info.name;
        desc.Guid = info.guid;
        desc.ParentGuid = ParentClassGuid(cid);
        desc.ClassId = cid;
        desc.DefaultSize = 4;
        desc.Copy = CKCopy4ByteValue;
        desc.Check = CKCheckObjectValue;
        desc.StringConvert = CKObjectText;
        // A class sharing a lower class's GUID is refused here and answers
        // with that class's type.
        manager->RegisterParameterType(&desc);
    }
    SortTexts(names);
    XString list;
    for (const XString& entry : names) {
        list += entry;
        list += ",";
    }
    manager->RegisterNewEnum(CKPGUID_CLASSID, "Registered Class", list.CStr());
}

} // namespace

CKGUID CKGetClassTypeGuid(CK_CLASSID cid)
{
    return DescribeClass(cid).guid;
}

void CKRegisterBuiltInParameterTypes(CKParameterManager* manager)
{
    CKParameterTypeDesc tmpl;
    tmpl.Guid = CKPGUID_NONE;
    tmpl.Name = "None";
    tmpl.Registered = TRUE;

    for (const ValueType& row : kValueTypes) {
        CKParameterTypeDesc desc = tmpl;
        desc.Name = row.name;
        desc.Guid = row.guid;
        desc.ParentGuid = row.parent;
        desc.DefaultSize = row.size;
        desc.Flags = row.flags;
        desc.ValueManager = row.valueManager;
        desc.ClassId = row.classId;
        desc.Copy = row.copy;
        desc.StringConvert = row.text;
        desc.CreateDefault = row.create;
        desc.Destroy = row.destroy;
        desc.SaveLoad = row.saveLoad;
        desc.Check = row.check;
        manager->RegisterParameterType(&desc);
    }

    for (const MemberType& row : kMemberTypes) {
        XString members;
        if (row.members)
            members = row.members;
        else // "Filter": member k is bit k - 1
            for (int k = 1; k <= 32; ++k)
                members += XString().Format("%s%d=%u", k > 1 ? "," : "", k, 1u << (k - 1));
        if (row.flags)
            manager->RegisterNewFlags(row.guid, row.name, members.CStr());
        else
            manager->RegisterNewEnum(row.guid, row.name, members.CStr());
    }

    RegisterClassTypes(manager, tmpl);

    manager->RegisterNewEnum(CKPGUID_PARAMETERTYPE, "Registered Parameter", "NA=0");
    if (CKParameterTypeDesc* desc = manager->GetParameterTypeDescription(CKPGUID_PARAMETERTYPE))
        desc->CreateDefault = CKCreateParameterTypeValue;

    const struct
    {
        const char* name;
        CKGUID guid;
    } shaders[] = {{"Shader", CKPGUID_SHADER}, {"Shader Technique", CKPGUID_TECHNIQUE}, {"Shader Pass", CKPGUID_PASS}};
    for (const auto& shader : shaders) {
        CKParameterTypeDesc desc;
        desc.Name = shader.name;
        desc.Guid = shader.guid;
        desc.ParentGuid = CKPGUID_STRING;
        desc.DefaultSize = 64;
        desc.StringConvert = CKStringText;
        desc.Flags = CKPARAMETERTYPE_VARIABLESIZE;
        manager->RegisterParameterType(&desc);
    }

    XString errors("Ok=0");
    for (const ErrorName& e : kErrorNames)
        errors += XString().Format(",%s=%d", e.name, e.code);
    manager->RegisterNewEnum(CKPGUID_ERROR, "Error", errors.CStr());
}
