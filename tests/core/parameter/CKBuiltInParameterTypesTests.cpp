#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/object/CKClassRegistry.h"
#include "core/object/CKSceneObject.h"
#include "tests/core/parameter/ParameterTestSupport.h"

namespace {

// One row of the type table as the engine defines it, written out by hand.
struct Row
{
    std::string name;
    CKDWORD d1, d2;
    std::string parent; // by name; "" for none
    int size;
    CKDWORD flags;
    CK_CLASSID cid;
    std::string callbacks; // entries of the parameter links, in the order the dump lists them
    CKDWORD valueManager = 0;
    std::string members = ""; // definition text of an enumeration or flags type
};

const char* kCopy4 = "copy=Copy4Bytes";

Row Value(const char* name, CKDWORD d1, CKDWORD d2, const char* parent, int size, CKDWORD flags, std::string callbacks,
          CKDWORD valueManager = 0, CK_CLASSID cid = 0)
{
    return Row{name, d1, d2, parent, size, flags, cid, callbacks, valueManager};
}

Row Enum(const char* name, CKDWORD d1, CKDWORD d2, std::string members)
{
    return Row{name, d1, d2, "Integer", 4, 0x20, 0, std::string(kCopy4) + " text=EnumText", 0, members};
}

Row Flags(const char* name, CKDWORD d1, CKDWORD d2, std::string members)
{
    return Row{name, d1, d2, "Integer", 4, 0x08, 0, std::string(kCopy4) + " text=FlagsText", 0, members};
}

Row Class(const char* name, CKDWORD d1, CKDWORD d2, const char* parent, CK_CLASSID cid)
{
    return Row{name, d1, d2, parent, 4, 0, cid, "check=ObjectCheck copy=Copy4Bytes text=ObjectText"};
}

const char* kDeps = "create=DependenciesCreate destroy=DependenciesDestroy saveload=DependenciesSaveLoad "
                    "copy=DependenciesCopy";

std::string FilterMembers()
{
    std::string text;
    for (int k = 1; k <= 32; ++k)
        text += (k > 1 ? "," : "") + std::to_string(k) + "=" + std::to_string((int) (1u << (k - 1)));
    return text;
}

std::vector<Row> ExpectedTable()
{
    std::vector<Row> rows = {
        Value("None", 0x1CB10760, 0x419F50C5, "", 0, 0, "copy=CopyGeneric"),
        Value("Buffer", 0x4D082C90, 0x0C8339A2, "", 10, 0x85, "copy=CopyGeneric"),
        Value("Copy Dependencies", 0x748D4E0D, 0x3BF7195B, "", 4, 0, kDeps),
        Value("Delete Dependencies", 0x69590C80, 0x30B61630, "", 4, 0, kDeps),
        Value("Replace Dependencies", 0x7F2E61BD, 0x007D6890, "", 4, 0, kDeps),
        Value("Save Dependencies", 0x0C187C6F, 0x54F87691, "", 4, 0, kDeps),
        Value("Float", 0x47884C3F, 0x432C2C20, "", 4, 0, "copy=Copy4Bytes text=FloatText"),
        Value("Angle", 0x11262CF5, 0x30B0233A, "Float", 4, 0, "copy=Copy4Bytes text=AngleText"),
        Value("Float Slider", 0x429D42CF, 0x211C0CC2, "Float", 12, 0, "copy=CopySlider text=FloatSliderText"),
        Value("Integer", 0x5A5716FD, 0x44E276D7, "", 4, 0, "copy=Copy4Bytes text=IntegerText"),
        Value("Time", 0x54B4422B, 0x730F0F4F, "Float", 4, 0, "copy=Copy4Bytes text=TimeText"),
        Value("Boolean", 0x1AD52A8E, 0x5E741920, "Integer", 4, 0, "copy=Copy4Bytes text=BooleanText"),
        Value("String", 0x6BD010E2, 0x115617EA, "", 64, 0x81, "copy=CopyGeneric text=StringText"),
        Value("Vector", 0x48824EAE, 0x2FE47960, "", 12, 0, "copy=CopyFixed text=VectorText"),
        Value("Euler Angles", 0x13B01B3C, 0x1942583E, "Vector", 12, 0, "copy=CopyFixed text=EulerAnglesText"),
        Value("Quaternion", 0x06C439EE, 0x45B50FC2, "", 16, 0, "copy=CopyFixed text=FourFloatsText"),
        Value("Vector 4D", 0x6C439EE0, 0x2FE47960, "Quaternion", 16, 0, "copy=CopyFixed text=FourFloatsText"),
        Value("Rectangle", 0x7AB20D20, 0x693044A9, "", 16, 0, "copy=CopyFixed text=RectangleText"),
        Value("Vector 2D", 0x4EFCB34A, 0x6079E42F, "", 8, 0, "copy=CopyFixed text=Vector2DText"),
        Value("Matrix", 0x643F046E, 0x65211B71, "", 64, 0, "create=MatrixCreate copy=CopyFixed text=MatrixText"),
        Value("Color", 0x57D42FEE, 0x7CBB3B91, "", 16, 0, "copy=CopyFixed text=ColorText"),
        Value("Box", 0x668649C8, 0x283E2EE1, "", 24, 0, "copy=CopyFixed text=BoxText"),
        Value("Collection", 0x71DF7142, 0xC437133A, "", 4, 0,
              "create=CollectionCreate destroy=CollectionDestroy saveload=CollectionSaveLoad check=CollectionCheck "
              "copy=CollectionCopy text=CollectionText"),
        Value("Percentage", 0xF3C84B4E, 0x0FFACC34, "Float", 4, 0, "copy=Copy4Bytes text=PercentageText"),
        Value("Message", 0x03881E12, 0x5BA34E2B, "", 4, 0, "copy=Copy4Bytes text=MessageText", 0x466A0FAC),
        Value("2D Curve", 0x20AD345D, 0x1AFB25B1, "", 4, 0,
              "create=Curve2DCreate destroy=Curve2DDestroy saveload=Curve2DSaveLoad copy=Curve2DCopy"),
        Value("Attribute", 0x3EA34EE9, 0x09FA5366, "", 4, 0, "copy=Copy4Bytes text=AttributeText", 0x3D242466),
        Value("Script", 0x7EA4176D, 0x1B405D30, "Basic Object", 4, 0,
              "check=ObjectCheck copy=Copy4Bytes text=ObjectText", 0, 8),
        Value("State Chunk", 0x9FB5E33C, 0x134CB77E, "", 4, 0,
              "create=StateChunkCreate destroy=StateChunkDestroy saveload=StateChunkSaveLoad copy=StateChunkCopy"),
        Value("Pointer", 0x50766059, 0x159D4BDE, "", 4, 0x04, "saveload=PointerSaveLoad copy=CopyNothing"),
        Value("Unicode String", 0x02893670, 0x482D5151, "String", 0, 0x81, "copy=CopyGeneric"),

        Enum("Direction", 0x0286652D, 0x5EA709C2, "X=1,-X=2,Y=3,-Y=4,Z=5,-Z=6"),
        Enum("Texture Blend Mode", 0x3C2A6ACA, 0x6F0E5865,
             "Decal=1,Modulate=2,DecalAlpha=3,ModulateAlpha=4,DecalMask=5,ModulateMask=6,Copy=7,Add=8"),
        Enum("Filter Mode", 0x2BD753B3, 0x563E5165,
             "Nearest=1,Linear=2,MipNearest=3,MipLinear=4,LinearMipNearest=5,LinearMipLinear=6,Anisotropic=7"),
        Enum("Blend Factor", 0x089E28D4, 0x2EF031D2,
             "Zero=1,One=2,Source Color=3,Inverse Source Color=4,Source Alpha=5,Inverse Source Alpha=6,"
             "Destination Alpha=7,Inverse Destination Alpha=8,Destination Color=9,Inverse Destination Color=10,"
             "Source Alpha Saturation=11,Both Source Alpha=12,Both Inverse Source Alpha=13"),
        Enum("Fill Mode", 0x2B0F1617, 0x53CE1B0E, "Point=1,WireFrame=2,Solid=3,OnlyZ=4"),
        Enum("Lit Mode", 0x6DD30F0A, 0x74671D2E, "Prelit=0,Lit=1"),
        Enum("Mode of Shading", 0x7990258F, 0x60326351, "Flat=1,Gouraud=2"),
        Enum("Global Shade Mode", 0x0259699F, 0x6EDA4960, "Wireframe=0,Flat=1,Gouraud=2,Material Default=4"),
        Enum("Z Compare Function", 0x51CD1CF5, 0x1D5C2D9B,
             "Never=1,Less=2,Equal=3,Less Equal=4,Greater=5,Not Equal=6,Greater Equal=7,Always=8"),
        Enum("Address Mode", 0x080D38D5, 0x02CF7A30, "Wrap=1,Mirror=2,Clamp=3,Border=4"),
        Enum("Wrap Mode", 0x14E14BD8, 0x32A738E7, "None=0,V Looping=1,U Looping=2,UV Looping=3"),
        Enum("3DSprite Mode", 0x1D1A3403, 0x535E7252, "Billboard=0,XRotate=1,YRotate=2,Orientable=3"),
        Enum("Fog Mode", 0x686F28EF, 0x5ECC7766, "None=0,Exponential=1,Exponential Squared=2,Linear=3"),
        Enum("Light Type", 0x4F0F4891, 0x340A05D1, "Point=1,Spot=2,Directional=3"),
        Enum("Comparison Operator", 0x79B90856, 0x75D070FF,
             "Equal=1,Not Equal=2,Less than=3,Less or equal=4,Greater than=5,Greater or equal=6"),
        Enum("Binary Operator", 0x2CE46C85, 0x4B791332, "+=1,-=2,*=3,/=4"),
        Enum("Sets Operator", 0x02011B99, 0x1EFB0B91, "Union=1,Intersection=2,Subtraction=3"),
        Enum("Sprite Text Alignment", 0x6E49509A, 0x2F067425,
             "Center=1,Left=2,Right=4,Top=8,Bottom=16,VCenter=32,HCenter=64"),
        Enum("Array Column Type", 0x615D017C, 0x54A9524F, "Integer=1,Float=2,String=3,Object=4,Parameter=5"),
        Flags("Filter", 0x4A5D4963, 0x4D28883F, FilterMembers()),
        Enum("Scene Activity Options", 0x1CD24241, 0x533C0F8F,
             "Scene Defaults=0,Force activate=1,Force deactivate=2,Do nothing=3"),
        Enum("Scene Reset Options", 0x18170AFB, 0x687D5DA7, "Scene Defaults=0,Force Reset=1,Do nothing=2"),
        Flags("Render Options", 0x745655A9, 0x61BB29A1,
              "Background Sprites=1,Foreground Sprites=2,Use Camera Ratio=8,Clear ZBuffer=16,Clear Back Buffer=32,"
              "Clear Stencil Buffer=64,Buffer Swapping=128,Clear Only Viewport=256,Vertical Sync=512,"
              "Disable Rendering=1024,Disable 3D Only=4096,Hint Render Attrib Tex=262144"),
        Enum("Pixel Format", 0x79465229, 0x61AF2AF1,
             "Unknown=0,32 bits ARGB 8888=1,32 bits RGB  888=2,24 bits RGB  888=3,16 bits RGB  565=4,"
             "16 bits RGB  555=5,16 bits ARGB 1555=6,16 bits ARGB 4444=7,8 bits RGB  332=8,8 bits ARGB 2222=9,"
             "32 bits ABGR 8888=10,32 bits RGBA 8888=11,32 bits BGRA 8888=12,32 bits BGR  888=13,"
             "24 bits BGR  888=14,16 bits BGR  565=15,16 bits BGR  555=16,16 bits ABGR 1555=17,"
             "16 bits ABGR 4444=18,Compressed DXT1=19,Compressed DXT2=20,Compressed DXT3=21,Compressed DXT4=22,"
             "Compressed DXT5=23,V8U8 BumpMap=24,V16U16 BumpMap=25,L6V5U5 BumpMap=26,L8V8U8 BumpMap=27"),
        Enum("Axis", 0x79465230, 0x62A88AF1, "X=0,Y=1,Z=2"),
        Enum("Support", 0x71119230, 0x62ABEACC, "Front=0,Center=1,Back=2"),
        Enum("SystemCaching", 0x75894231, 0x12AFE226, "Procedural=0,VideoShadow=1,Discard=2"),
        Enum("Host Platform", 0x74E426FA, 0xA3E48963,
             "Unknown=-1,Windows=0,Mac=1,XBox=2,WinCE=3,Linux=4,PSX2=5,XBox360=6,PSP=7,WII=8"),
        Enum("Shadow Map Format", 0x6125717E, 0x652C20A6,
             "Debug Material=0,24 bits Hardware Shadow Map=1,16 bits Hardware Shadow Map=2,"
             "32 bits Float WBuffer=3,16 bits Float WBuffer=4"),
        // The blanks before "=" belong to the names.
        Enum("Shadow Map Tap Count", 0x0B7116AF, 0x32624773, "1 Tap=0,5 Taps =1,9 Taps =2"),
        Enum("Shadow Map Attenuation Mode", 0x54AC4786, 0x41845F5D,
             "No Attenuation=0,Light Factors=1,Directional Attenuation=2"),
        Enum("Shadow Map Fallback Policy", 0x6D4F72B2, 0x23C04463,
             "No Fallback=0,Prefer Sampling=1,Prefer Filtering=2"),

        // Class types in class id order; 18 and 50 share a lower class's GUID.
        Class("Basic Object", 0x30EC20AB, 0x6DF6517D, "", 1),
        Class("State", 0xABE13353, 0xA2834124, "Basic Object", 5),
        Class("Behavior", 0x286B19DB, 0x21185D4F, "Scene Object", 8),
        Class("Scene", 0x25AE6BD7, 0x7C8F73A2, "Behavioral Object", 10),
        Class("Scene Object", 0x5BDF2D37, 0x64EA731F, "Basic Object", 11),
        Class("Kinematic Chain", 0x305B4E1C, 0x3DA07AE6, "Basic Object", 13),
        Class("Object Animation", 0x43476550, 0x11E52C0E, "Scene Object", 15),
        Class("Animation", 0x5BFA474D, 0x19E60236, "Scene Object", 16),
        Class("Behavioral Object", 0x71D80779, 0x402F42F3, "Scene Object", 19),
        Class("Synchronization Object", 0x2314A763, 0xC2F49238, "Basic Object", 20),
        Class("Level", 0x10584787, 0x76932F77, "Behavioral Object", 21),
        Class("Place", 0x249530ED, 0x4C0865F3, "3D Entity", 22),
        Class("Group", 0x5C0F151B, 0x6F0547FD, "Behavioral Object", 23),
        Class("Sound", 0x40194410, 0x3A773F80, "Behavioral Object", 24),
        Class("Wave Sound", 0x4BF74E5E, 0x45F409EF, "Sound", 25),
        Class("Midi Sound", 0x4B81218B, 0x2EB7145E, "Sound", 26),
        Class("2D Entity", 0x181671E3, 0x1BDC1503, "Render Object", 27),
        Class("Sprite", 0x577E2EA8, 0x5B901969, "2D Entity", 28),
        Class("Sprite Text", 0x5C2E69E3, 0xFE156F09, "Sprite", 29),
        Class("Material", 0x55AB12CD, 0x22AE6A8B, "Behavioral Object", 30),
        Class("Texture", 0x155B2870, 0x183679F8, "Behavioral Object", 31),
        Class("Mesh", 0x24535345, 0x65D15229, "Behavioral Object", 32),
        Class("3D Entity", 0x5B8A05D5, 0x31EA28D4, "Render Object", 33),
        Class("Camera", 0x3CF24D6F, 0x216204F9, "3D Entity", 34),
        Class("Target Camera", 0x11D87565, 0x5D0B7989, "Camera", 35),
        Class("Curve Point", 0x5CC5194F, 0x72342879, "3D Entity", 36),
        Class("3D Sprite", 0x23C8061B, 0x70033A27, "3D Entity", 37),
        Class("Light", 0x4B6D412F, 0x5D1E1416, "3D Entity", 38),
        Class("Target Light", 0x4E5F22FC, 0x194709D4, "Light", 39),
        Class("Character", 0x35985C64, 0x51AF1372, "3D Entity", 40),
        Class("3D Object", 0x362E4DF8, 0x17443539, "3D Entity", 41),
        Class("Body Part", 0x4BA1010E, 0x7ABD6D02, "3D Object", 42),
        Class("Curve", 0x1072130B, 0x1F9572BA, "3D Entity", 43),
        Class("Render Object", 0x65706358, 0x63627B50, "Behavioral Object", 47),
        Class("Critical Section", 0x9438212A, 0xC2F4312C, "Basic Object", 49),
        Class("Array", 0x024D52F1, 0x678223B2, "Behavioral Object", 52),
        Class("Patch Mesh", 0x75FD45B5, 0x59E70E4B, "Mesh", 53),
        Class("3D Points Cloud", 0x4D111CEA, 0x1AB12E02, "3D Entity", 56),

        Enum("Registered Class", 0x19644E43, 0x4D6F6123,
             "2D Entity=27,3D Entity=33,3D Object=41,3D Points Cloud=56,3D Sprite=37,Animation=16,Array=52,"
             "Basic Object=1,Behavior IO=9,Behavior Link=6,Behavior=8,Behavioral Object=19,Body Part=42,"
             "Camera=34,Character=40,Critical Section=49,Curve Point=36,Curve=43,Grid Layer=51,Grid=50,Group=23,"
             "KeltraneInterfaceObject=48,Keyed Animation=18,Kinematic Chain=13,Level=21,Light=38,Material=30,"
             "Mesh=32,Midi Sound=26,Object Animation=15,Parameter In=2,Parameter Local=45,"
             "Parameter Operation=4,Parameter Out=3,Parameter=46,Patch Mesh=53,Place=22,Render Context=12,"
             "Render Object=47,Scene Object=11,Scene=10,Sound=24,Sprite Text=29,Sprite=28,State=5,"
             "Synchronization Object=20,Target Camera=35,Target Light=39,Texture=31,Variable Parameter=55,"
             "Wave Sound=25,=26"),
    };
    Row registered = Enum("Registered Parameter", 0x34517DF5, 0x045E4965, "NA=0");
    registered.callbacks = "create=RegisteredParameterCreate copy=Copy4Bytes text=EnumText";
    rows.push_back(registered);
    for (auto [name, d1, d2] :
         {std::tuple{"Shader", 0x66A07E01u, 0x0E5C468Du}, std::tuple{"Shader Technique", 0x44AF1E63u, 0x3C2C0D3Eu},
          std::tuple{"Shader Pass", 0x2D0168DDu, 0x1622074Fu}})
        rows.push_back(Value(name, d1, d2, "String", 64, 0x01, "copy=CopyGeneric text=StringText"));
    rows.push_back(
        Enum("Error", 0x03F35054, 0x0CF137C5,
             "Ok=0,InvalidParameter=-1,InvalidParameterType=-2,InvalidSize=-3,InvalidOperation=-4,"
             "OperationNotImplemented=-5,OutOfMemory=-6,NotImplemented=-7,NotFound=-11,NoLevel=-13,"
             "CannotCreateRenderContext=-14,NotificationNotHandled=-16,AlreadyPresent=-17,InvalidRenderContext=-18,"
             "RenderContextInactive=-19,NoLoadPlugins=-20,NoSavePlugins=-21,InvalidFile=-22,InvalidPlugin=-23,"
             "NotInitialized=-24,InvalidMessage=-25,InvalidPrototype=-28,NoDLLFound=-29,AlreadyRegisteredDLL=-30,"
             "InvalidDLL=-31,InvalidObject=-34,InvalidConsoleWindow=-35,InvalidKinematicChain=-36,NoKeyboard=-37,"
             "NoMouse=-38,NoJoystick=-39,IncompatibleParameters=-40,NoRenderEngine=-44,NoCurrentLevel=-45,"
             "SoundDisabled=-46,DirectInputDisabled=-47,InvalidGUID=-48,NotEnoughDiskPlace=-49,CannotWriteToFile=-50,"
             "BehaviorAddDenied=-51,IncompatibleClassID=-52,ManagerAlreadyExists=-53,Paused=-54,PluginsMissing=-55,"
             "ObsoleteKeltrane=-56,FileCRCError=-57,AlreadyFullscreen=-58,Canceled=-59,NoAnimationKey=-121,"
             "InvalidIndex=-122,IndexAnimation=-123"));
    return rows;
}

std::string Hex(CKGUID g)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%08X,%08X", g.d1, g.d2);
    return text;
}

// One line per type: what a description holds, callbacks named by their
// link entries.
std::string Line(const std::string& name, CKGUID guid, CKGUID parent, int size, CKDWORD flags, CK_CLASSID cid,
                 const std::string& callbacks, CKGUID valueManager)
{
    char numbers[96];
    std::snprintf(numbers, sizeof(numbers), " size=%d flags=0x%X cid=%d ", size, flags, cid);
    std::string line = name + " " + Hex(guid) + " parent=" + Hex(parent) + numbers + callbacks;
    if (valueManager.IsValid())
        line += " values=" + Hex(valueManager);
    return line;
}

std::string DumpCallbacks(const CKParameterTypeDesc& d)
{
    std::string text;
    auto add = [&](const char* what, auto f) {
        if (f)
            text += std::string(text.empty() ? "" : " ") + what + "=" + MarkerName(f);
    };
    add("create", d.CreateDefault);
    add("destroy", d.Destroy);
    add("saveload", d.SaveLoad);
    add("check", d.Check);
    add("copy", d.Copy);
    add("text", d.StringConvert);
    return text;
}

using BuiltInTypes = ParameterFixture;

} // namespace

TEST_F(BuiltInTypes, TheTypeTableOfAFreshContextIsTheEnginesOwn)
{
    std::vector<Row> rows = ExpectedTable();
    std::map<std::string, CKGUID> byName;
    for (const Row& r : rows)
        byName[r.name] = CKGUID(r.d1, r.d2);

    ASSERT_EQ(m_Manager->GetParameterTypesCount(), (int) rows.size());
    for (int i = 0; i < (int) rows.size(); ++i) {
        const Row& r = rows[i];
        CKParameterTypeDesc* d = m_Manager->GetParameterTypeDescriptionByIndex(i);
        ASSERT_NE(d, nullptr) << i;
        CKGUID parent = r.parent.empty() ? CKGUID() : byName.at(r.parent);
        EXPECT_EQ(
            Line(d->Name.CStr(), d->Guid, d->ParentGuid, d->DefaultSize, d->Flags, d->ClassId, DumpCallbacks(*d),
                 d->ValueManager),
            Line(r.name, CKGUID(r.d1, r.d2), parent, r.size, r.flags, r.cid, r.callbacks, CKGUID(r.valueManager, 0)))
            << "type " << i;
        EXPECT_EQ(d->Index, i);
        EXPECT_TRUE(d->Registered);
        XString members;
        if (d->Flags & CKPARAMETERTYPE_FLAGS)
            m_Manager->GetFlagsAsString(i, members);
        else
            m_Manager->GetEnumAsString(i, members);
        EXPECT_EQ(std::string(members.CStr()), r.members) << r.name;
    }
}

TEST_F(BuiltInTypes, ClassesSharingAGuidAnswerWithTheLowerClasssType)
{
    // The classes whose code is not linked get their types from the table;
    // Keyed Animation and Grid have none of their own.
    int animation = m_Manager->ParameterNameToType("Animation");
    ASSERT_GE(animation, 0);
    EXPECT_EQ(m_Manager->ClassIDToType(CKCID_KEYEDANIMATION), animation);
    EXPECT_EQ(m_Manager->ClassIDToType(CKCID_GRID), m_Manager->ParameterNameToType("3D Entity"));
    EXPECT_EQ(m_Manager->ClassIDToType(CKCID_BEHAVIOR), m_Manager->ParameterNameToType("Behavior"));
    EXPECT_EQ(m_Manager->ClassIDToType(CKCID_PARAMETERIN), -1);
    EXPECT_EQ(m_Manager->ClassIDToType(200), -1);
    EXPECT_EQ(m_Manager->TypeToClassID(m_Manager->ParameterNameToType("Animation")), CKCID_ANIMATION);
    EXPECT_EQ(m_Manager->ParameterNameToType("Keyed Animation"), -1);
    EXPECT_EQ(m_Manager->ParameterNameToType("Grid"), -1);
    EXPECT_EQ(m_Manager->ClassIDToType(CKCID_OBJECT), m_Manager->ParameterNameToType("Basic Object"));
    EXPECT_EQ(m_Manager->GuidToClassID(CKGUID(0x5B8A05D5, 0x31EA28D4)), CKCID_3DENTITY);
}

namespace {

// A class of a plug-in, with a parameter type of its own.
class GadgetClass : public CKClass<GadgetClass, CKSceneObject, 0>
{
public:
    explicit GadgetClass(CKContext* context) : CKClass(context) {}
    static void Register() { CKClassSetParameterGuid(m_ClassID, CKGUID(0x6AD6E7, 1)); }
    static const char* GetClassName() { return "Gadget"; }
};

} // namespace

TEST(BuiltInClassTypes, RegisteredClassesBringTheirOwnTypes)
{
    ASSERT_EQ(CKStartUp(), 0);
    GadgetClass::m_ClassID = 0;
    CKClassRegisterT<GadgetClass, CKSceneObject>("Gadget");
    CKBuildClassHierarchyTable();
    CKContext* context = nullptr;
    ASSERT_EQ(CKCreateContext(&context, nullptr), 0);
    CKParameterManager* pm = context->GetParameterManager();
    int type = pm->ClassIDToType(GadgetClass::m_ClassID);
    ASSERT_GE(type, 0);
    EXPECT_STREQ(pm->TypeToName(type), "Gadget");
    EXPECT_EQ(pm->TypeToClassID(type), GadgetClass::m_ClassID);
    CKGUID parent;
    EXPECT_TRUE(pm->GetParentGuid(pm->TypeToGuid(type), parent));
    EXPECT_EQ(parent, CKGUID(0x5BDF2D37, 0x64EA731F)); // "Scene Object"
    XString classes;
    pm->GetEnumAsString(pm->ParameterNameToType("Registered Class"), classes);
    EXPECT_NE(classes.Find(XString("Gadget=58,")), -1);
    EXPECT_EQ(CKCloseContext(context), 0);
    EXPECT_EQ(CKShutdown(), 0);
}
