#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/object/XObjectArray.h"
#include "core/parameter/CKOwnedValue.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterLinks.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterOut.h"
#include "tests/core/parameter/ParameterTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

// Message and attribute types as their managers would hold them.
std::vector<std::string> g_Messages;
std::vector<std::string> g_Attributes;

CKParameterLinks TypeNameLinks()
{
    CKParameterLinks links;
    links.GetMessageTypeName = [](CKContext*, int type, XString& name) -> CKBOOL {
        if (type < 0 || type >= (int) g_Messages.size())
            return FALSE;
        name = g_Messages[(size_t) type].c_str();
        return TRUE;
    };
    links.AddMessageType = [](CKContext*, const char* name) {
        for (size_t i = 0; i < g_Messages.size(); ++i)
            if (g_Messages[i] == name)
                return (int) i;
        g_Messages.push_back(name);
        return (int) g_Messages.size() - 1;
    };
    links.GetAttributeName = [](CKContext*, int type, XString& name) -> CKBOOL {
        if (type < 0 || type >= (int) g_Attributes.size())
            return FALSE;
        name = g_Attributes[(size_t) type].c_str();
        return TRUE;
    };
    links.GetAttributeTypeByName = [](CKContext*, const char* name) {
        for (size_t i = 0; i < g_Attributes.size(); ++i)
            if (g_Attributes[i] == name)
                return (int) i;
        return -1;
    };
    return links;
}

// One value, its text, and what reading the text (or another) stores.
struct Case
{
    CKGUID type;
    ByteVector value;
    std::string text;
    std::string read;    // the text to read back; "" reads text itself
    ByteVector readBack; // what reading stores; empty: the value itself
};

std::vector<Case> Cases()
{
    const float slider[3] = {0.5f, 0.0f, 1.0f};
    const float sliderRead[3] = {0.25f, 0.0f, 2.0f};
    const float vector[3] = {1.0f, 2.5f, -3.0f};
    const float v2[2] = {0.125f, -8.0f};
    const float quaternion[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const float quaternionRead[4] = {1.0f, 2.0f, 0.0f, 1.0f};
    const float rect[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    const float box[6] = {1.0f, 2.0f, 3.0f, -1.0f, -2.0f, -3.0f}; // maximum first
    const float emptyBox[6] = {-1000000.0f, -1000000.0f, -1000000.0f, 1000000.0f, 1000000.0f, 1000000.0f};
    const float color[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    const float colorRead[4] = {1.0f, 127.0f / 255.0f, 0.0f, 1.0f};
    float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float nearlyIdentity[16] = {1, 0.000001f, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -0.000002f, 1};
    const float pi = 3.1415927410125732f;
    const float euler[3] = {pi / 2.0f, -pi / 2.0f, pi};
    const CKGUID fill(0x2B0F1617, 0x53CE1B0E), render(0x745655A9, 0x61BB29A1); // "Fill Mode", "Render Options"
    const std::string renderText = "Background Sprites,Clear ZBuffer,Clear Back Buffer";
    return {
        {CKPGUID_INT, BytesOf(42), "42", "", {}},
        {CKPGUID_INT, BytesOf(-7), "-7", "abc", BytesOf(0)},
        {CKPGUID_FLOAT, BytesOf(2.5f), "2.5", "", {}},
        {CKPGUID_FLOAT, BytesOf(-0.0625f), "-0.0625", "", {}},
        {CKPGUID_PERCENTAGE, BytesOf(0.25f), "25%", "50%", BytesOf(0.5f)},
        {CKPGUID_TIME, BytesOf(61500.0f), "01m 01s 500ms", "", {}},
        {CKPGUID_TIME, BytesOf(61500.7f), "01m 01s 500ms", "01m 01s 500ms", BytesOf(61500.0f)},
        {CKPGUID_TIME, BytesOf(0.0f), "00m 00s 000ms", "2m 3s", BytesOf(123000.0f)},
        {CKPGUID_BOOL, BytesOf(5), "TRUE", "true", BytesOf(1)},
        {CKPGUID_BOOL, BytesOf(0), "FALSE", "yes", BytesOf(0)},
        {CKPGUID_FLOATSLIDER, BytesOf(slider), "0.5", "0.25:0:2", BytesOf(sliderRead)},
        {CKPGUID_VECTOR, BytesOf(vector), "1,2.5,-3", "", {}},
        {CKPGUID_2DVECTOR, BytesOf(v2), "0.125,-8", "", {}},
        {CKPGUID_QUATERNION, BytesOf(quaternion), "0,0,0,1", "1,2", BytesOf(quaternionRead)},
        {CKPGUID_RECT, BytesOf(rect), "(1,2),(3,4)", "", {}},
        // The text lists the minimum corner first.
        {CKPGUID_BOX, BytesOf(box), "(-1,-2,-3),(1,2,3)", "", {}},
        {CKPGUID_BOX, BytesOf(box), "(-1,-2,-3),(1,2,3)", "nothing", BytesOf(emptyBox)},
        {CKPGUID_MATRIX, BytesOf(identity), "[1,0,0,0][0,1,0,0][0,0,1,0][0,0,0,1]", "", {}},
        {CKPGUID_MATRIX, BytesOf(nearlyIdentity), "[1,0,0,0][0,1,0,0][0,0,1,0][0,0,0,1]",
         "[1,0,0,0][0,1,0,0][0,0,1,0][0,0,0,1]", BytesOf(identity)},
        {CKPGUID_COLOR, BytesOf(color), "255,127,0,255", "255,127,0,255", BytesOf(colorRead)},
        {CKPGUID_ANGLE, BytesOf(-pi / 2.0f), "0:-90", "", {}},
        {CKPGUID_ANGLE, BytesOf(0.0f), "0:0", "1:90", BytesOf((1.0f * 360.0f + 90.0f) * pi / 180.0f)},
        {CKPGUID_EULERANGLES, BytesOf(euler), "0:90,0:-90,0:180", "", {}},
        // Enumerations and flags by their member names; numbers for the rest.
        {fill, BytesOf(3), "Solid", "", {}},
        {fill, BytesOf(9), "9", "solid", BytesOf(0)},
        {fill, BytesOf(7), "7", "", {}},
        {render, BytesOf(0x31), renderText, "clear zbuffer,Background Sprites", BytesOf(17)},
        {render, BytesOf(0x31), renderText, "Clear ZBuffer,,Background Sprites", BytesOf(16)},
        // Messages and attributes by the names of their managers' types; an
        // unknown message name is a new type, an unknown attribute none.
        {CKPGUID_MESSAGE, BytesOf(2), "Hit", "null", BytesOf(-1)},
        {CKPGUID_MESSAGE, BytesOf(0), "OnClick", "Bounce", BytesOf(3)},
        {CKPGUID_ATTRIBUTE, BytesOf(1), "Solid", "", {}},
        {CKPGUID_ATTRIBUTE, BytesOf(0), "Visible", "Unknown", BytesOf(-1)},
    };
}

class Texts : public ParameterFixture
{
protected:
    void SetUp() override
    {
        ParameterFixture::SetUp();
        g_Messages = {"OnClick", "", "Hit"};
        g_Attributes = {"Visible", "Solid"};
        CKSetParameterLinks(TypeNameLinks());
    }

    // Every case: the text, then what reading text gives, in bytes.
    void CheckCases()
    {
        for (const Case& c : Cases()) {
            auto* p = New<CKParameterLocal>(c.type);
            ASSERT_EQ(p->SetValue(c.value.data(), (int) c.value.size()), 0);
            EXPECT_EQ(Text(p), c.text) << m_Manager->TypeToName(p->GetType());
            const std::string& read = c.read.empty() ? c.text : c.read;
            EXPECT_EQ(p->SetStringValue(read.c_str()), 0);
            EXPECT_EQ(Bytes(p), c.readBack.empty() ? c.value : c.readBack)
                << m_Manager->TypeToName(p->GetType()) << " from " << read;
            m_Context->DestroyObject(p);
        }
    }
};

} // namespace

TEST_F(Texts, ValuesGiveTheirTextsAndReadThemBack)
{
    CheckCases();
}

TEST_F(Texts, NumbersUseADotWhateverTheLocaleOfTheProcess)
{
    // A locale with a decimal comma, compiled into a folder of the test's own.
    TestTempDir dir;
    std::string command = "localedef -i de_DE -f UTF-8 " + dir.Path() + "/de_DE.UTF-8 >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "the locales package gives the de_DE sources";
    setenv("LOCPATH", dir.Path().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    char probe[16];
    std::snprintf(probe, sizeof probe, "%g", 1.5);
    EXPECT_STREQ(probe, "1,5");
    CheckCases();
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
}

TEST_F(Texts, StringsCarryTheirBytesAndAreCutToTheBuffer)
{
    auto* s = New<CKParameterLocal>(CKPGUID_STRING);
    ASSERT_EQ(s->SetStringValue("hello"), 0);
    EXPECT_EQ(s->GetDataSize(), 6);
    EXPECT_EQ(s->GetStringValue(nullptr, 0), 6);
    char small[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(s->GetStringValue(small, 3), 6);
    EXPECT_STREQ(small, "he");
    EXPECT_EQ(small[3], '#');
    EXPECT_EQ(Text(s), "hello");

    // An angle of a turn and a quarter: the whole turn, then the rest in degrees.
    auto* angle = New<CKParameterLocal>(CKPGUID_ANGLE);
    float turnAndAQuarter = 450.0f * 3.1415927410125732f / 180.0f;
    angle->SetValue(&turnAndAQuarter);
    std::string text = Text(angle);
    ASSERT_EQ(text.substr(0, 2), "1:");
    EXPECT_NEAR(std::stof(text.substr(2)), 90.0f, 0.001f);
}

TEST_F(Texts, StructuresJoinTheirMembersTexts)
{
    ASSERT_EQ(m_Manager->RegisterNewStructure(CKGUID(0x57, 1), "Three", "a,b,c",
                                              {CKPGUID_STRING, CKPGUID_STRING, CKPGUID_STRING}),
              0);
    auto* s = New<CKParameterOut>(CKGUID(0x57, 1));
    s->SetStringValue("a;b;");
    EXPECT_EQ(Text(s), "a;b;NULL");
    EXPECT_EQ(s->GetStringValue(nullptr, 0), 9);
    // An empty piece leaves its member as it was.
    s->SetStringValue("x;;z");
    EXPECT_EQ(Text(s), "x;b;z");
}

TEST_F(Texts, CollectionsObjectsAndUnnamedTypesNameWhatTheyHold)
{
    auto* collection = New<CKParameterLocal>(CKPGUID_OBJECTARRAY);
    XObjectArray* ids = CKGetOwnedValue<XObjectArray>(collection);
    ASSERT_NE(ids, nullptr);
    for (CK_ID id : {1u, 2u, 3u})
        ids->PushBack(id);
    EXPECT_EQ(Text(collection), "3 Elements");
    EXPECT_EQ(collection->SetStringValue("1 Elements"), 0);
    EXPECT_EQ(ids->Size(), 3);

    CKObject* cube = m_Context->CreateObject(CKCID_BEOBJECT, "Cube");
    auto* object = New<CKParameterLocal>(CKGUID(0x30EC20AB, 0x6DF6517D)); // "Basic Object"
    object->SetStringValue("Cube");
    EXPECT_EQ(object->GetValueObject(), cube);
    EXPECT_EQ(Text(object), "Cube");
    object->SetStringValue("Nothing");
    EXPECT_EQ(Bytes(object), BytesOf(0));
    EXPECT_EQ(object->GetStringValue(nullptr, 0), 0);

    // A message type without name gives the empty text, an unknown one or
    // attribute none at all.
    auto* message = New<CKParameterLocal>(CKPGUID_MESSAGE);
    auto* attribute = New<CKParameterLocal>(CKPGUID_ATTRIBUTE);
    const int nameless = 1, past = 9, none = -1;
    message->SetValue(&nameless);
    EXPECT_EQ(message->GetStringValue(nullptr, 0), 1);
    message->SetValue(&past);
    attribute->SetValue(&none);
    EXPECT_EQ(message->GetStringValue(nullptr, 0), 0);
    EXPECT_EQ(attribute->GetStringValue(nullptr, 0), 0);
}
