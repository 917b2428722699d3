#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/behavior/CKBehavior.h"
#include "core/context/CKContext.h"
#include "core/context/CKPathManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectIDList.h"
#include "exporter/driver/DriverState.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/shell/PluginShell.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "platform/host/Mtl.h"
#include "render/animation/CKAnimController.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/objects/CK3dEntity.h"
#include "tests/exporter/support/ExporterTestSupport.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"

namespace {

// A real export through the driver, the library loaded for the test.
class ExportDriver : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(ExporterLoad(), 0);
        m_Interface.SetEcho(false);
        m_Interface.SetReportOutput(nullptr);
        GetExportDriverState().scriptFolder = m_Dir.Path().c_str();
    }
    void TearDown() override { ExporterUnload(); }

    Object* Dummy()
    {
        if (!m_Dummy)
            m_Dummy = m_Scene.Adopt(std::make_unique<Object>(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy"));
        return m_Dummy;
    }

    // Runs ExportScene as the script function would, keeping the report.
    std::string Export(const std::string& file, Max2Qdx& exporter, BOOL onlySelected = FALSE)
    {
        exporter.progressStarted = 0;
        exporter.reportLevel = exporter.reportLevel ? exporter.reportLevel : 1;
        EXPECT_EQ(exporter.ExportScene(file.c_str(), &m_Interface, onlySelected), 1);
        return exporter.GetReportText();
    }

    // The names of a file's objects, in file order, by class ("" when the
    // file does not load).
    std::vector<std::string> FileObjects(const std::string& file)
    {
        std::vector<std::string> names;
        CKContext* context = GetExportDriverState().context;
        CKObjectIDList list;
        CKFile* reader = context->CreateCKFile();
        if (reader->Load(file.c_str(), &list, 0) == 0)
            for (list.Reset(); !list.EndOfList(); list.Next())
                if (CKObject* object = list.GetCurrentObject(context))
                    names.push_back(std::string(CKClassIDToString(object->GetClassID())) + ":" +
                                    (object->GetName() ? object->GetName() : ""));
        context->DeleteCKFile(reader);
        context->ClearAll();
        return names;
    }

    bool Has(const std::vector<std::string>& names, const std::string& name)
    {
        for (const std::string& n : names)
            if (n == name)
                return true;
        return false;
    }

    // A script file, written through a context of its own.
    void WriteScript(const char* file)
    {
        CKContext* context = nullptr;
        ASSERT_EQ(CKCreateContext(&context, nullptr), 0);
        WriteScriptFile(context, m_Dir.File(file), "Spin");
        CKCloseContext(context);
    }

    TestTempDir m_Dir;
    HostScene m_Scene;
    Interface m_Interface{m_Scene};
    Object* m_Dummy = nullptr;
};

} // namespace

TEST_F(ExportDriver, UnitScaleFollowsTheSystemUnit)
{
    struct Case
    {
        int type;
        float scale;
        float metres;
    };
    const Case cases[] = {{0, 2.0f, 0.0508f}, {1, 1.0f, 0.3048f}, {2, 1.0f, 1609.344f},
                          {3, 10.0f, 0.01f},  {4, 1.0f, 0.01f},   {5, 3.0f, 3.0f},
                          {6, 0.5f, 500.0f},  {7, 4.0f, 4.0f},    {-1, 1.5f, 1.5f}};
    for (const Case& c : cases) {
        m_Scene.Settings().unitType = c.type;
        m_Scene.Settings().unitScale = c.scale;
        Max2Qdx exporter;
        exporter.SetUnitScale();
        EXPECT_FLOAT_EQ(exporter.unitScale, c.metres) << c.type;
    }
}

TEST_F(ExportDriver, CollectingCountsEveryNodeAndGathersDistinctMaterials)
{
    Mtl* a = m_Scene.Adopt(std::make_unique<Mtl>(DMTL_CLASS_ID, "Standard", "A"));
    Mtl* b = m_Scene.Adopt(std::make_unique<Mtl>(DMTL_CLASS_ID, "Standard", "B"));
    INode* n1 = m_Scene.AddNode("n1");
    n1->SetMtl(a);
    INode* n2 = m_Scene.AddNode("n2", n1);
    n2->SetMtl(b);
    n2->SetSelected(true);
    m_Scene.AddNode("n3", n1)->SetMtl(a);
    m_Scene.AddNode("n4");
    Max2Qdx exporter;
    int count = 0;
    exporter.CollectNodes(m_Scene.GetRootNode(), &count);
    EXPECT_EQ(count, 5) << "the root counts";
    ASSERT_EQ(exporter.sceneMaterials.Count(), 2);
    EXPECT_EQ(exporter.sceneMaterials[0], a);
    EXPECT_EQ(exporter.sceneMaterials[1], b);

    Max2Qdx selected;
    GetExportDriverState().onlySelectedNodes = TRUE;
    count = 0;
    selected.CollectNodes(m_Scene.GetRootNode(), &count);
    GetExportDriverState().onlySelectedNodes = FALSE;
    EXPECT_EQ(count, 5);
    ASSERT_EQ(selected.sceneMaterials.Count(), 1);
    EXPECT_EQ(selected.sceneMaterials[0], b);
}

// The user cancels at the third check: the first node is saved, the report
// says where, and the passes after the objects stop at once.
TEST_F(ExportDriver, ACancelAfterThreeChecksStillSavesTheFirstNodes)
{
    for (const char* name : {"First", "Second", "Third"})
        m_Scene.AddNode(name)->SetObjectRef(Dummy());
    m_Interface.CancelAtCheck(3);
    Max2Qdx exporter;
    const std::string report = Export(m_Dir.File("cancel.qdx"), exporter);
    EXPECT_NE(report.find("Canceled by user at object 1\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find("File saved successfully"), std::string::npos);
    const std::vector<std::string> names = FileObjects(m_Dir.File("cancel.qdx"));
    EXPECT_TRUE(Has(names, "RCK3dEntity:First"));
    EXPECT_FALSE(Has(names, "RCK3dEntity:Second"));
    EXPECT_EQ(m_Interface.CancelChecks(), 5) << "the two later passes test once each";
}

// Named selections become groups in front of the file; one whose nodes made
// nothing is not saved.
TEST_F(ExportDriver, NamedSelectionsBecomeGroupsWhenTheyHoldSomething)
{
    INode* a = m_Scene.AddNode("A");
    a->SetObjectRef(Dummy());
    INode* none = m_Scene.AddNode("None");
    m_Scene.NamedSelectionSets().push_back({"Set", {a}});
    m_Scene.NamedSelectionSets().push_back({"Empty", {none}});
    Max2Qdx exporter;
    exporter.SelectionAsGroup = 1;
    Export(m_Dir.File("sets.qdx"), exporter);
    const std::vector<std::string> names = FileObjects(m_Dir.File("sets.qdx"));
    EXPECT_TRUE(Has(names, "CKGroup:Set"));
    EXPECT_FALSE(Has(names, "CKGroup:Empty"));

    Max2Qdx without;
    Export(m_Dir.File("nosets.qdx"), without);
    EXPECT_FALSE(Has(FileObjects(m_Dir.File("nosets.qdx")), "CKGroup:Set"));
}

// A script attached by an instruction wraps the objects in a level: saved
// first in a composition, left out of an object file, whatever the case of
// its extension.
TEST_F(ExportDriver, BehavioursWrapTheObjectsInALevelSavedOutsideObjectFiles)
{
    WriteScript("Spin.qhx");
    INode* node = m_Scene.AddNode("Spinner");
    node->SetObjectRef(Dummy());
    node->SetUserPropBuffer("CK_AttachScriptOnThis(\"Spin\")");
    struct Case
    {
        const char* file;
        bool asLevel;
        bool levelSaved;
    };
    const Case cases[] = {
        {"a.qdx", false, false}, {"b.QDX", false, false}, {"c.qbx", true, true}, {"d.qfx", true, true}};
    for (const Case& c : cases) {
        Max2Qdx exporter;
        exporter.EnableInstructions = 1;
        exporter.asObjects = !c.asLevel;
        exporter.asLevel = c.asLevel;
        Export(m_Dir.File(c.file), exporter);
        const std::vector<std::string> names = FileObjects(m_Dir.File(c.file));
        ASSERT_FALSE(names.empty()) << c.file;
        EXPECT_TRUE(Has(names, "CKBehavior:Spin")) << c.file;
        EXPECT_EQ(names.front() == "CKLevel:", c.levelSaved) << c.file << " " << names.front();
        EXPECT_FALSE(Has(names, "CKLevel:Level")) << "the builder's level leaves the list: " << c.file;
    }
}

TEST_F(ExportDriver, TheReportIsShownWithALevelAndALogOrWhenAlwaysAsked)
{
    struct Case
    {
        int reportLevel;
        bool toFile;
        bool always;
        bool shown;
    };
    const Case cases[] = {
        {1, true, false, true}, {1, false, false, false}, {0, true, false, false}, {0, false, true, true}};
    for (const Case& c : cases) {
        m_Interface.ClearEvents();
        m_Interface.SetAlwaysShowReport(c.always);
        Max2Qdx exporter;
        exporter.reportLevel = c.reportLevel;
        exporter.ReportToFile = c.toFile;
        exporter.ReportFilename = m_Dir.File("report.log").c_str();
        exporter.progressStarted = 0;
        exporter.ExportScene(m_Dir.File("r.qdx").c_str(), &m_Interface, FALSE);
        int dialogs = 0;
        for (const HostEvent& e : m_Interface.Events())
            if (e.kind == HostEvent::Kind::ReportDialog) {
                ++dialogs;
                EXPECT_EQ(e.text, exporter.GetReportText());
            }
        EXPECT_EQ(dialogs, c.shown ? 1 : 0) << c.reportLevel << c.toFile << c.always;
    }
    m_Interface.SetAlwaysShowReport(false);
}

TEST_F(ExportDriver, OptionsReachTheContextAndTheReport)
{
    m_Scene.Settings().unitType = 4;
    m_Scene.Settings().mapDirs = {"/maps/one", "/maps/two"};
    Max2Qdx exporter;
    exporter.unitIsMeter = 1;
    exporter.compressionLevel = 9;
    exporter.storeOnlyTextureFileName = 1;
    exporter.asObjects = 0;
    exporter.asCharacter = 1;
    exporter.characterName = "Hero";
    const std::string report = Export(m_Dir.File("hero.qdx"), exporter);
    EXPECT_EQ(report.rfind("Scene rescaled to 1 unit = 1 meter\r\n", 0), 0u) << report;
    EXPECT_NE(report.find("\r\nCreating character : Hero\r\n"), std::string::npos);
    CKContext* context = GetExportDriverState().context;
    ASSERT_EQ(context->GetPathManager()->GetPathCount(0), 2);
    EXPECT_STREQ(context->GetPathManager()->GetPathName(0, 1), "/maps/two");
    EXPECT_EQ(context->GetStartOptions(), 3) << "Disable Sound,Disable Input";
    EXPECT_EQ(context->GetFileWriteMode(), 8);
    EXPECT_EQ(context->GetCompressionLevel(), 9);
    EXPECT_FLOAT_EQ(exporter.unitScale, 0.01f);
    EXPECT_TRUE(Has(FileObjects(m_Dir.File("hero.qdx")), "RCKCharacter:Hero"));

    Max2Qdx plain;
    Export(m_Dir.File("plain.qdx"), plain);
    EXPECT_EQ(context->GetFileWriteMode(), 0);
    EXPECT_EQ(std::string(plain.GetReportText()).find("Creating character"), std::string::npos);
    EXPECT_EQ(std::string(plain.GetReportText()).find("Scene rescaled"), std::string::npos);
}

// Align on Z turns every rotation key of the root's animation so that the
// first key's projected z axis lies along the engine's z; a first key whose
// z axis projects to nothing changes nothing.
TEST_F(ExportDriver, AlignOnZTurnsTheRootsRotationKeys)
{
    Max2Qdx exporter;
    m_Scene.AddNode("n")->SetObjectRef(Dummy());
    Export(m_Dir.File("first.qdx"), exporter); // makes the shared context
    CKContext* context = GetExportDriverState().context;
    struct Case
    {
        QxQuaternion first;
        float angle; // of the first key's projected z axis from the engine's z
        bool turned;
    };
    QxQuaternion quarter;
    quarter.FromRotation(QxVector(0, 1, 0), 0.5f);
    // A quarter turn about x held exactly (half of the norm on x): the z
    // axis lies along y and its projection has no length.
    const Case cases[] = {
        {QxQuaternion(), 0.0f, true}, {quarter, 0.5f, true}, {QxQuaternion(0.5f, 0, 0, 0.5f), 0, false}};
    for (const Case& c : cases) {
        auto* entity = static_cast<CK3dEntity*>(context->CreateObject(CKCID_3DENTITY, "Root"));
        auto* keyed = static_cast<CKKeyedAnimation*>(context->CreateObject(CKCID_KEYEDANIMATION, "Anim"));
        auto* animation = static_cast<CKObjectAnimation*>(context->CreateObject(CKCID_OBJECTANIMATION, "Root"));
        animation->Set3dEntity(entity);
        keyed->AddAnimation(animation);
        CKAnimController* rotation = animation->CreateController(0x49ED4002);
        ASSERT_NE(rotation, nullptr);
        CKLinearKey<QxQuaternion> k0(0.0f, c.first), k1(10.0f, QxQuaternion());
        rotation->AddKey(&k0);
        rotation->AddKey(&k1);
        exporter.context = context;
        exporter.AlignAnimationOnZ();
        const QxQuaternion& first = static_cast<CKLinearKey<QxQuaternion>*>(rotation->GetKey(0))->Value;
        const QxQuaternion& second = static_cast<CKLinearKey<QxQuaternion>*>(rotation->GetKey(1))->Value;
        // Every key is multiplied on the right by the turn about y by the
        // angle less a quarter turn: the identity key becomes the turn.
        QxQuaternion turn;
        turn.FromRotation(QxVector(0, 1, 0), c.turned ? c.angle - 1.5707963705062866f : 0.0f);
        EXPECT_NEAR(second.x, turn.x, 1e-5f) << c.angle;
        EXPECT_NEAR(second.y, turn.y, 1e-5f) << c.angle;
        EXPECT_NEAR(second.w, turn.w, 1e-5f) << c.angle;
        if (c.turned) {
            QxQuaternion expected = c.first;
            expected *= turn;
            expected.Normalize();
            EXPECT_NEAR(first.y, expected.y, 1e-5f) << c.angle;
            EXPECT_NEAR(first.w, expected.w, 1e-5f) << c.angle;
        } else {
            EXPECT_EQ(first.x, c.first.x);
            EXPECT_EQ(first.w, c.first.w);
        }
        context->ClearAll();
    }
}

// Without the library's load there is no engine: the export tells so in a
// message box and makes nothing.
TEST_F(ExportDriver, WithoutTheLibraryLoadedTheExportOnlyTellsSo)
{
    ExporterUnload();
    Max2Qdx exporter;
    EXPECT_EQ(exporter.ExportScene(m_Dir.File("none.qdx").c_str(), &m_Interface, FALSE), 1);
    ASSERT_FALSE(m_Interface.Events().empty());
    EXPECT_EQ(m_Interface.Events().back().kind, HostEvent::Kind::MessageBox);
    EXPECT_EQ(m_Interface.Events().back().text, "CK Initialisation Problems");
    EXPECT_EQ(m_Interface.Events().back().caption, "Max2Qdx");
    EXPECT_EQ(TestReadFile(m_Dir.File("none.qdx")), "");
    EXPECT_EQ(GetExportDriverState().context, nullptr);
    ASSERT_EQ(ExporterLoad(), 0);
}

// Resetting the driver's state while the engine runs closes the shared
// context; the next export makes a new one.
TEST_F(ExportDriver, ResettingTheDriverClosesTheSharedContext)
{
    m_Scene.AddNode("n")->SetObjectRef(Dummy());
    Max2Qdx first;
    Export(m_Dir.File("first.qdx"), first);
    ASSERT_NE(GetExportDriverState().context, nullptr);
    ASSERT_EQ(CKGetContextCount(), 1);
    ResetExportDriverState();
    EXPECT_EQ(CKGetContextCount(), 0);
    EXPECT_EQ(GetExportDriverState().context, nullptr);
    EXPECT_FALSE(GetExportDriverState().pluginsRegistered);
    Max2Qdx second;
    EXPECT_NE(Export(m_Dir.File("second.qdx"), second).find("File saved successfully"), std::string::npos);
    EXPECT_EQ(CKGetContextCount(), 1);
}

// The object pass counts the root in its total but never visits it: the bar
// is filled when the conversions end, just before it goes.
TEST_F(ExportDriver, TheProgressBarEndsFull)
{
    for (const char* name : {"First", "Second"})
        m_Scene.AddNode(name)->SetObjectRef(Dummy());
    Max2Qdx exporter;
    Export(m_Dir.File("bar.qdx"), exporter);
    std::vector<int> updates;
    bool ended = false;
    for (const HostEvent& e : m_Interface.Events()) {
        if (e.kind == HostEvent::Kind::ProgressUpdate)
            updates.push_back(e.number);
        if (e.kind == HostEvent::Kind::ProgressEnd) {
            ended = true;
            break;
        }
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(updates, (std::vector<int>{33, 66, 100}));
}

// A save that wrote the file hands the objects it holds over before the
// context is emptied (what the command line counts as built); a save that
// failed hands nothing over.
TEST_F(ExportDriver, ASaveHandsOverTheObjectsTheFileHolds)
{
    for (const char* name : {"First", "Second"})
        m_Scene.AddNode(name)->SetObjectRef(Dummy());
    std::vector<std::string> handed;
    int calls = 0;
    GetExportDriverState().onFileSaved = [&](CKContext* context, const XArray<CK_ID>& ids) {
        ++calls;
        EXPECT_EQ(context, GetExportDriverState().context);
        for (CK_ID id : ids) {
            CKObject* object = context->GetObject(id);
            handed.push_back(object ? std::string(CKClassIDToString(object->GetClassID())) + ":" +
                                          (object->GetName() ? object->GetName() : "")
                                    : "gone");
        }
    };
    Max2Qdx exporter;
    Export(m_Dir.File("handed.qdx"), exporter);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(handed, FileObjects(m_Dir.File("handed.qdx")));
    EXPECT_EQ(handed, (std::vector<std::string>{"RCK3dEntity:First", "RCK3dEntity:Second"}));

    Max2Qdx failing;
    Export(m_Dir.File("no/such/folder/x.qdx"), failing);
    EXPECT_NE(GetExportDriverState().lastSaveError, 0);
    EXPECT_EQ(calls, 1);
    GetExportDriverState().onFileSaved = nullptr;
}
