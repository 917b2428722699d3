#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/attribute/CKAttributeManager.h"
#include "core/behavior/CKBehavior.h"
#include "core/file/CKFile.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterLocal.h"
#include "exporter/driver/DriverState.h"
#include "exporter/userdata/Instructions.h"
#include "platform/host/GenCamera.h"
#include "platform/host/GenLight.h"
#include "platform/host/SplineShape.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKLight.h"
#include "tests/exporter/support/ExporterTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

class Instructions : public SceneExportTest
{
protected:
    void SetUp() override
    {
        SceneExportTest::SetUp();
        GetExportDriverState().scriptFolder = m_Dir.Path().c_str();
        m_Exporter.EnableInstructions = 1;
        m_Box = AddNode("Box01", AddObject<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x10, 0), std::string("Box")));
        m_Other = AddNode("Other", AddObject<Object>(HELPER_CLASS_ID, DUMMY_CLASS_ID, std::string("Dummy")));
        ExportAll();
        m_Speed = AddScript(m_Builder->FindEntity((ExportKey) m_Box), "Walk");
        m_OtherSpeed = AddScript(m_Builder->FindEntity((ExportKey) m_Other), "Run");
        WriteScriptFile("Spin.qhx", "Spin");
        WriteScriptFile("sub/Deep.qhx", "Deep");
    }
    void TearDown() override
    {
        GetExportDriverState().scriptFolder = "";
        SceneExportTest::TearDown();
    }

    // A script of the object with the text parameters "Speed" and "Name".
    CKParameterLocal* AddScript(CK3dEntity* owner, const char* name)
    {
        auto* script = Make<CKBehavior>(CKCID_BEHAVIOR, name);
        script->SetType(1);
        script->UseGraph();
        CKParameterLocal* speed = script->CreateLocalParameter("Speed", CKPGUID_STRING);
        script->CreateLocalParameter("Name", CKPGUID_STRING);
        owner->AddScript(script);
        return speed;
    }

    void WriteScriptFile(const std::string& file, const char* name)
    {
        std::filesystem::create_directories(std::filesystem::path(m_Dir.File(file)).parent_path());
        ::WriteScriptFile(m_Context, m_Dir.File(file), name);
    }

    // Runs the text as the box's user properties.
    void RunOnBox(const std::string& text)
    {
        m_Box->SetUserPropBuffer(TSTR(text.c_str()));
        ProcessNodeInstructions(m_Builder, m_Box, &m_Exporter);
    }

    static std::string Text(CKParameterLocal* parameter)
    {
        std::vector<char> buffer((size_t) parameter->GetStringValue(nullptr, 0) + 1, '\0');
        parameter->GetStringValue(buffer.data(), (int) buffer.size());
        return buffer.data();
    }

    std::vector<std::string> BoxScripts()
    {
        std::vector<std::string> names;
        CK3dEntity* box = m_Builder->FindEntity((ExportKey) m_Box);
        for (int i = 0; i < box->GetScriptCount(); ++i)
            names.push_back(box->GetScript(i)->GetName());
        return names;
    }

    TestTempDir m_Dir;
    INode* m_Box = nullptr;
    INode* m_Other = nullptr;
    CKParameterLocal* m_Speed = nullptr;
    CKParameterLocal* m_OtherSpeed = nullptr;
};

} // namespace

// What a user-property text sets: the box's script parameter "Speed" and
// the other entity's, after each text alone.
TEST_F(Instructions, TextsSetWhatTheirInstructionsSay)
{
    m_Exporter.characterName = "Hero";
    m_Exporter.animationName = "Walk Cycle";
    struct Case
    {
        const char* text;
        const char* speed;
        const char* otherSpeed;
    };
    const Case cases[] = {
        {"CK_SetParamOnThis(\"Speed\", \"2.5\")", "2.5", ""},
        {"CK_SetParamOnThis(\"Speed\", \"CK_THIS\")", "Box01", ""},
        {"CK_SetParamOnThis(\"Speed\", \"CK_EXPORTEDCHARACTER\")", "Hero", ""},
        {"CK_SetParamOnThis(\"Speed\", \"CK_EXPORTEDANIMATION\")", "Walk Cycle", ""},
        {"CK_SetParamOnThis(\"CK_THIS\", \"1\")", "", ""},
        {"CK_setparamonthis(\"Speed\", \"1\")", "", ""},
        {"CK_SetParamOnThis(\"Speed\", \"1\") CK_SetParam(\"Other\", \"Speed\", \"CK_THIS\")", "1", "Box01"},
        {"CK_SetParam(\"Nobody\", \"Speed\", \"3\")", "", ""},
        {"CK_SetParamOnThis(\"Speed\")", "", ""},
        {"CK_SetParamOnThis(\"Speed\", \"unterminated)", "", ""},
        {"CK_SetParamOnThis \"Speed\", \"4\"", "", ""},
        {"CK_Unknown(\"a\") CK_SetParamOnThis(\"Speed\",\"5\")", "5", ""},
        {"text\r\nCK_SetParamOnThis(\"Speed\", \"6\")\r\nCK_SetParamOnThis(\"Speed\", \"7\")", "7", ""},
        // A character instruction outside a character export reads nothing:
        // the scan meets "CK_THIS" inside its quotes, takes the text up to the
        // next "(" as a name and ignores it.
        {"CK_SetParamOnCharacter(\"Speed\", \"CK_THIS\") CK_SetParamOnThis(\"Speed\", \"8\")", "", ""},
        {"CK_SetParamOnCharacter(\"Speed\", \"1\") CK_SetParamOnThis(\"Speed\", \"9\")", "9", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        m_Speed->SetStringValue("");
        m_OtherSpeed->SetStringValue("");
        RunOnBox(c.text);
        EXPECT_EQ(Text(m_Speed), c.speed) << c.text;
        EXPECT_EQ(Text(m_OtherSpeed), c.otherSpeed) << c.text;
    }
}

TEST_F(Instructions, ScriptsComeFromTheScriptFolderOnly)
{
    RunOnBox("CK_AttachScriptOnThis(\"Spin\") CK_AttachScriptOnThis(\"Missing\")");
    EXPECT_EQ(BoxScripts(), (std::vector<std::string>{"Walk", "Spin"}));
    RunOnBox("CK_AttachScriptOnThis(\"sub\\Deep\")");
    EXPECT_EQ(BoxScripts().back(), "Deep") << "a backslash is a folder separator";

    const std::string outside = m_Dir.Path() + "/../" + "Spin";
    for (const std::string& name : {std::string("../Spin"), std::string("sub/../Spin"), std::string("sub\\..\\Spin"),
                                    m_Dir.File("Spin"), std::string("\\Spin"), std::string("C:Spin"), outside}) {
        const size_t before = BoxScripts().size();
        m_Exporter.reportLength = 0;
        m_Exporter.reportText.Clear();
        RunOnBox("CK_AttachScriptOnThis(\"" + name + "\")");
        EXPECT_EQ(BoxScripts().size(), before) << name;
        EXPECT_EQ(Report(), "Script name refused: " + name + "\r\n");
    }
    EXPECT_TRUE(IsSafeScriptName("Orbit"));
    EXPECT_TRUE(IsSafeScriptName("a/b..c/d"));
    EXPECT_FALSE(IsSafeScriptName(""));
    EXPECT_FALSE(IsSafeScriptName(".."));
}

TEST_F(Instructions, AttributesAreSetByTypeName)
{
    RunOnBox("CK_SetAttributeOnThis(\"Weight\", \"7\", \"Integer\", \"Exporter\")"
             "CK_SetAttributeOnThis(\"Colour\", \"1\", \"No Such Type\", \"Exporter\")");
    CK3dEntity* box = m_Builder->FindEntity((ExportKey) m_Box);
    CKAttributeManager* attributes = m_Context->GetAttributeManager();
    const int weight = attributes->GetAttributeTypeByName("Weight");
    ASSERT_GE(weight, 0);
    EXPECT_TRUE(box->HasAttribute(weight));
    EXPECT_LT(attributes->GetAttributeTypeByName("Colour"), 0);
}

// With the option off only the preview camera runs its instructions.
TEST_F(Instructions, WithTheOptionOffOnlyThePreviewCameraRunsItsInstructions)
{
    m_Exporter.EnableInstructions = 0;
    RunOnBox("CK_AttachScriptOnThis(\"Spin\")");
    EXPECT_EQ(BoxScripts(), (std::vector<std::string>{"Walk"}));
    INode* camera = AddNode("00_KeltranePreviewCamera", AddObject<GenCamera>(false));
    camera->SetUserPropBuffer("CK_AttachScriptOnThis(\"Spin\")");
    m_Exporter.ExportNode(camera);
    EXPECT_EQ(m_Exporter.ExportInstructions(m_Scene.GetRootNode()), 1);
    EXPECT_EQ(m_Builder->FindCamera((ExportKey) camera)->GetScriptCount(), 1);
}

// Texts that a careless or hostile scene holds run clean: a megabyte of
// unfinished instructions is scanned once.
TEST_F(Instructions, LongAndBrokenTextsRunClean)
{
    std::string big;
    while (big.size() < (1u << 20))
        big += "CK_SetParamOnThis(";
    RunOnBox(big);
    EXPECT_EQ(Text(m_Speed), "");
    // Arguments are only what stands between quotes: the second argument is
    // the next instruction's first.
    RunOnBox("CK_SetParamOnThis(\"Speed\", CK_SetParamOnThis(\"Speed\", ");
    EXPECT_EQ(Text(m_Speed), "Speed");
    std::string quotes(1u << 20, '"');
    RunOnBox("CK_SetParamOnThis(" + quotes);
    std::string names(1u << 20, '(');
    RunOnBox("CK_" + names);
    RunOnBox(std::string(1u << 20, 'C'));
    std::string longValue(100000, 'v');
    RunOnBox("CK_SetParamOnThis(\"Speed\", \"CK_EXPORTEDCHARACTER\")");
    m_Exporter.characterName = longValue.c_str();
    RunOnBox("x(CK_SetParamOnThis(\"Speed\", \"CK_EXPORTEDCHARACTER\")");
    EXPECT_EQ(Text(m_Speed), longValue) << "the value is longer than the text: it still fits";
}

TEST(InstructionScanner, ExtractBetweenLeavesTheCursorWhenNothingIsFound)
{
    InstructionContext c;
    const char text[] = "ab \"one\" \"two";
    c.text = text;
    c.end = sizeof(text) - 1;
    std::string out;
    EXPECT_EQ(ExtractBetween(c, "\"", out, "\""), 0);
    EXPECT_EQ(out, "one");
    EXPECT_EQ(c.cursor, 8u);
    EXPECT_EQ(ExtractBetween(c, "\"", out, "\""), 1);
    EXPECT_EQ(c.cursor, 8u);
    EXPECT_EQ(ExtractBetween(c, "\"", out, nullptr), 0);
    EXPECT_EQ(out, "two");
    EXPECT_EQ(c.cursor, c.end);
    EXPECT_EQ(ExtractBetween(c, "x", out, nullptr), 1);
}

// The walk hands every kind of exported node to the instructions: helpers,
// geometry, shapes, cameras and lights alike; an animation export runs none.
TEST_F(Instructions, TheWalkRunsTheInstructionsOfEveryKindOfNode)
{
    INode* light = AddNode("Light01", AddObject<GenLight>(OMNI_LGT, false));
    INode* camera = AddNode("Camera01", AddObject<GenCamera>(false));
    SplineShape* shape = AddObject<SplineShape>();
    shape->shape.NewSpline()->AddKnot(SplineKnot());
    INode* curve = AddNode("Curve01", shape);
    for (INode* node : {light, camera, curve}) {
        m_Exporter.ExportNode(node);
        node->SetUserPropBuffer("CK_AttachScriptOnThis(\"Spin\")");
    }
    m_Box->SetUserPropBuffer("CK_AttachScriptOnThis(\"Spin\")");
    m_Exporter.asAnimation = 1;
    EXPECT_EQ(m_Exporter.ExportInstructions(m_Scene.GetRootNode()), 1);
    EXPECT_EQ(BoxScripts().size(), 1u);
    m_Exporter.asAnimation = 0;
    EXPECT_EQ(m_Exporter.ExportInstructions(m_Scene.GetRootNode()), 1);
    EXPECT_EQ(BoxScripts().back(), "Spin");
    EXPECT_EQ(m_Builder->FindLight((ExportKey) light)->GetScriptCount(), 1);
    EXPECT_EQ(m_Builder->FindCamera((ExportKey) camera)->GetScriptCount(), 1);
    EXPECT_EQ(m_Builder->FindEntity((ExportKey) curve)->GetScriptCount(), 1);
    m_Interface->CancelAtCheck(m_Interface->CancelChecks() + 1);
    EXPECT_EQ(m_Exporter.ExportInstructions(m_Scene.GetRootNode()), 0);
}
