#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/object/CKClassRegistry.h"
#include "core/scene/CKGroup.h"
#include "exporter/driver/DriverState.h"
#include "exporter/scene/MaxMatrix.h"
#include "platform/host/Control.h"
#include "platform/host/GenCamera.h"
#include "platform/host/GenLight.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKLight.h"
#include "render/objects/CKPlace.h"
#include "tests/exporter/support/ExporterTestSupport.h"

namespace {

Matrix3 Rows(Point3 r0, Point3 r1, Point3 r2, Point3 r3)
{
    return Matrix3(r0, r1, r2, r3);
}

void ExpectMatrix(const QxMatrix& m, const float (&expected)[4][4], const char* what)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(m[r][c], expected[r][c], 1e-6f) << what << " row " << r << " column " << c;
}

using SceneWalk = SceneExportTest;

CKGroup* GroupNamed(CKContext* context, const char* name)
{
    return static_cast<CKGroup*>(context->GetObjectByNameAndClass(name, CKCID_GROUP, nullptr));
}

std::vector<std::string> Members(CKGroup* group)
{
    std::vector<std::string> names;
    for (int i = 0; group && i < group->GetObjectCount(); ++i)
        names.push_back(group->GetObject(i)->GetName());
    return names;
}

} // namespace

// Worked by hand: rows and columns 1 and 2 exchanged; the camera form keeps
// the row order, negates row 2 and normalises the axes.
TEST(MaxMatrix, ConversionsExchangeTheSecondAndThirdAxes)
{
    const Matrix3 m = Rows(Point3(1, 2, 3), Point3(4, 5, 6), Point3(7, 8, 9), Point3(10, 11, 12));
    QxMatrix out;
    MaxToEngineMatrix(m, out);
    const float plain[4][4] = {{1, 3, 2, 0}, {7, 9, 8, 0}, {4, 6, 5, 0}, {10, 12, 11, 1}};
    ExpectMatrix(out, plain, "plain");

    const Matrix3 scaled = Rows(Point3(2, 0, 0), Point3(0, 0, 3), Point3(0, -4, 0), Point3(1, 2, 3));
    MaxToEngineCameraMatrix(scaled, out);
    const float camera[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 3, 2, 1}};
    ExpectMatrix(out, camera, "camera");

    // A zero axis (a camera scaled to nothing) stays zero: no NaN reaches
    // the file.
    const Matrix3 flat = Rows(Point3(0, 0, 0), Point3(0, 1, 0), Point3(0, 0, 0), Point3(0, 0, 0));
    MaxToEngineCameraMatrix(flat, out);
    const float flattened[4][4] = {{0, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 0}, {0, 0, 0, 1}};
    ExpectMatrix(out, flattened, "flat");
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_FALSE(std::isnan(out[r][c]));
}

TEST(MaxMatrix, HandednessIsNegativeForAMirroredFrame)
{
    struct Case
    {
        Point3 scale;
        bool mirrored;
    };
    const Case cases[] = {{{1, 1, 1}, false},   {{-1, 1, 1}, true}, {{1, -1, 1}, true},
                          {{-1, -1, 1}, false}, {{1, 1, -2}, true}, {{-1, -1, -1}, true}};
    for (const Case& c : cases) {
        QxMatrix out;
        MaxToEngineMatrix(ScaleMatrix(c.scale), out);
        EXPECT_EQ(MatrixHandedness(out) < 0.0f, c.mirrored) << c.scale.x << " " << c.scale.y << " " << c.scale.z;
    }
}

// Nested host groups give nested engine groups; each entity joins the
// innermost open group only; a head's own entity is a member of the group it
// heads and the parent of its children.
TEST_F(SceneWalk, NestedGroupsNestAndEntitiesJoinTheInnermostOnly)
{
    Object* dummy = AddObject<Object>(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy");
    INode* outer = AddNode("Outer", dummy);
    outer->SetGroupHead(true);
    INode* a = AddNode("A", dummy, outer);
    INode* inner = AddNode("Inner", dummy, outer);
    inner->SetGroupHead(true);
    AddNode("B", dummy, inner);
    AddNode("C", dummy, outer);
    AddNode("Free", dummy);
    (void) a;
    ExportAll();

    CKGroup* outerGroup = GroupNamed(m_Context, "Outer");
    CKGroup* innerGroup = GroupNamed(m_Context, "Inner");
    ASSERT_NE(outerGroup, nullptr);
    ASSERT_NE(innerGroup, nullptr);
    EXPECT_EQ(Members(outerGroup), (std::vector<std::string>{"Outer", "A", "Inner", "C"}));
    EXPECT_EQ(Members(innerGroup), (std::vector<std::string>{"Inner", "B"}));
    EXPECT_EQ(m_Builder->FindEntity((ExportKey) inner)->GetParent(), m_Builder->FindEntity((ExportKey) outer));
    EXPECT_EQ(m_Exporter.groupStack.Size(), 0);
    EXPECT_EQ(m_Exporter.reportIndent, 0);
    EXPECT_EQ(Report(), "Group : Outer.....Done\r\n  Dummy : A.....Done\r\n  Group : Inner.....Done\r\n"
                        "    Dummy : B.....Done\r\n  Dummy : C.....Done\r\nDummy : Free.....Done\r\n");
}

TEST_F(SceneWalk, WithGroupToPlaceHeadsArePlacesAndNoGroupIsMade)
{
    m_Exporter.groupToPlace = 1;
    Object* dummy = AddObject<Object>(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy");
    INode* head = AddNode("Head", dummy);
    head->SetGroupHead(true);
    AddNode("Child", dummy, head);
    ExportAll();
    EXPECT_EQ(GroupNamed(m_Context, "Head"), nullptr);
    CK3dEntity* place = m_Builder->FindEntity((ExportKey) head);
    ASSERT_NE(place, nullptr);
    EXPECT_TRUE(CKIsChildClassOfObject(place, CKCID_PLACE));
    EXPECT_EQ(m_Exporter.reportIndent, 0);
    EXPECT_EQ(Report(), "Place : Head.....Done\r\n  Dummy : Child.....Done\r\n");
}

// Only the selected nodes: an unselected head makes no group and its
// selected child has neither parent nor group; unselected nodes neither
// count for the progress nor test the cancel button.
TEST_F(SceneWalk, AnUnselectedHeadMakesNoGroupAndItsSelectedChildStandsAlone)
{
    GetExportDriverState().onlySelectedNodes = TRUE;
    Object* dummy = AddObject<Object>(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy");
    INode* head = AddNode("Head", dummy);
    head->SetGroupHead(true);
    INode* child = AddNode("Child", dummy, head);
    child->SetSelected(true);
    ExportAll();
    GetExportDriverState().onlySelectedNodes = FALSE;
    EXPECT_EQ(GroupNamed(m_Context, "Head"), nullptr);
    EXPECT_EQ(m_Builder->FindEntity((ExportKey) head), nullptr);
    ASSERT_NE(m_Builder->FindEntity((ExportKey) child), nullptr);
    EXPECT_EQ(m_Builder->FindEntity((ExportKey) child)->GetParent(), nullptr);
    EXPECT_EQ(m_Exporter.nodeIndex, 1);
    EXPECT_EQ(m_Interface->CancelChecks(), 1);
}

// How each kind of host node is converted, by super class and class.
TEST_F(SceneWalk, NodesAreConvertedByTheirKind)
{
    struct Case
    {
        const char* name;
        Object* object;
        Control* controller;
        bool entity;
        bool visible;
        const char* engineName;
    };
    Control* footprint = AddObject<PRSControl>(nullptr, nullptr, nullptr, Class_ID(0x3011, 0), "Footprints");
    Control* biped = AddObject<PRSControl>(nullptr, nullptr, nullptr, Class_ID(0x9156, 0), "Body");
    Object* box = AddObject<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x10, 0), "Box");
    const Case cases[] = {
        {"Box01", box, nullptr, true, true, "Box01"},
        {"Target01", AddObject<Object>(GEOMOBJECT_CLASS_ID, TARGET_CLASS_ID, "Target"), nullptr, false, false, ""},
        {"Bone01", AddObject<Object>(GEOMOBJECT_CLASS_ID, BONE_OBJ_CLASSID, "Bone"), nullptr, true, true, "Bone01"},
        {"Rig01", AddObject<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x56AE72E5, 0x389B6659), "CATBone"), nullptr, true,
         false, "Rig01"},
        {"Steps", box, footprint, true, false, "FloorRef"},
        {"Pelvis", box, biped, true, false, "Pelvis"},
        {"Sound01", AddObject<Object>(0x80, Class_ID(1, 2), "Sound"), nullptr, false, false, ""},
        {"Empty", nullptr, nullptr, false, false, ""},
    };
    std::vector<INode*> nodes;
    for (const Case& c : cases) {
        nodes.push_back(AddNode(c.name, c.object));
        if (c.controller)
            nodes.back()->SetTMController(c.controller);
    }
    ExportAll();
    for (size_t i = 0; i < nodes.size(); ++i) {
        CK3dEntity* entity = m_Builder->FindEntity((ExportKey) nodes[i]);
        ASSERT_EQ(entity != nullptr, cases[i].entity) << cases[i].name;
        if (!entity)
            continue;
        EXPECT_EQ(entity->IsVisible() != 0, cases[i].visible) << cases[i].name;
        EXPECT_STREQ(entity->GetName(), cases[i].engineName);
    }
    EXPECT_NE(Report().find("Bone or Biped or CAT Object: Bone01....."), std::string::npos);
    EXPECT_NE(Report().find("Bone or Biped or CAT Object: Steps....."), std::string::npos);
}

TEST_F(SceneWalk, SavedBipedGeometryStaysVisible)
{
    m_Exporter.saveBipedGeom = 1;
    Control* biped = AddObject<PRSControl>(nullptr, nullptr, nullptr, Class_ID(0x9154, 0), "Slave");
    INode* node = AddNode("Hand", AddObject<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x10, 0), "Box"));
    node->SetTMController(biped);
    ExportAll();
    EXPECT_TRUE(m_Builder->FindEntity((ExportKey) node)->IsVisible());
    EXPECT_EQ(Report().find("Bone or Biped"), std::string::npos);
}

// hideHelpers hides every entity that is not plain geometry: cameras,
// lights, helpers, bones; hidden host nodes are hidden anyway.
TEST_F(SceneWalk, HideHelpersHidesEverythingButPlainGeometry)
{
    m_Exporter.hideHelpers = 1;
    INode* box = AddNode("Box", AddObject<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x10, 0), "Box"));
    INode* bone = AddNode("Bone", AddObject<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x9125, 0), "Bone"));
    INode* helper = AddNode("Helper", AddObject<Object>(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy"));
    INode* light = AddNode("Light", AddObject<GenLight>(OMNI_LGT, false));
    INode* camera = AddNode("Camera", AddObject<GenCamera>(false));
    ExportAll();
    EXPECT_TRUE(m_Builder->FindEntity((ExportKey) box)->IsVisible());
    EXPECT_FALSE(m_Builder->FindEntity((ExportKey) bone)->IsVisible());
    EXPECT_FALSE(m_Builder->FindEntity((ExportKey) helper)->IsVisible());
    EXPECT_FALSE(m_Builder->FindLight((ExportKey) light)->IsVisible());
    EXPECT_FALSE(m_Builder->FindCamera((ExportKey) camera)->IsVisible());

    m_Exporter.hideHelpers = 0;
    INode* hidden = AddNode("Hidden", AddObject<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x10, 0), "Box"));
    hidden->Hide(TRUE);
    m_Exporter.ExportNode(hidden);
    EXPECT_FALSE(m_Builder->FindEntity((ExportKey) hidden)->IsVisible());
}

// Parents come from the exported parent node, found among entities, cameras
// and lights; a parent that made nothing gives no parent.
TEST_F(SceneWalk, ParentsAreFoundAmongEntitiesCamerasAndLights)
{
    Object* dummy = AddObject<Object>(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy");
    INode* camera = AddNode("Camera", AddObject<GenCamera>(false));
    INode* light = AddNode("Light", AddObject<GenLight>(OMNI_LGT, false));
    INode* nothing = AddNode("Nothing", nullptr);
    INode* underCamera = AddNode("UnderCamera", dummy, camera);
    INode* underLight = AddNode("UnderLight", dummy, light);
    INode* underNothing = AddNode("UnderNothing", dummy, nothing);
    ExportAll();
    EXPECT_EQ(m_Builder->FindEntity((ExportKey) underCamera)->GetParent(), m_Builder->FindCamera((ExportKey) camera));
    EXPECT_EQ(m_Builder->FindEntity((ExportKey) underLight)->GetParent(), m_Builder->FindLight((ExportKey) light));
    EXPECT_EQ(m_Builder->FindEntity((ExportKey) underNothing)->GetParent(), nullptr);
}

TEST_F(SceneWalk, AMirroredNodeKeepsItsMatrixWithTwoWarnings)
{
    INode* node = AddNode("Mirror", AddObject<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x10, 0), "Box"), nullptr,
                          ScaleMatrix(Point3(1, -2, 1)));
    ExportAll();
    const QxMatrix& m = m_Builder->FindEntity((ExportKey) node)->GetWorldMatrix();
    EXPECT_FLOAT_EQ(m[2][2], -2.0f) << "the host's y row is the engine's z row";
    EXPECT_EQ(Report(), "\r\nWarning Indirect Matrix detected for Mirror object...\r\n"
                        "\r\nAnimation may not be correct for this object...\r\n...Done\r\n");
}

// The progress bar: the integer part of the share of visited nodes; a walk
// with no counted node updates nothing (no division by zero); a cancel
// stops the walk at once.
TEST_F(SceneWalk, ProgressFollowsTheNodesAndACancelStopsTheWalk)
{
    Object* dummy = AddObject<Object>(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy");
    for (const char* name : {"A", "B", "C"})
        AddNode(name, dummy);
    m_Exporter.progressStarted = 1;
    m_Exporter.nodeCount = 0;
    ExportAll();
    std::vector<int> updates;
    for (const HostEvent& e : m_Interface->Events())
        if (e.kind == HostEvent::Kind::ProgressUpdate)
            updates.push_back(e.number);
    EXPECT_TRUE(updates.empty());

    m_Builder->ForgetObject(nullptr);
    m_Interface->ClearEvents();
    m_Exporter.nodeIndex = 0;
    m_Exporter.nodeCount = 4;
    INode* root = m_Scene.GetRootNode();
    for (int i = 0; i < 3; ++i)
        m_Exporter.ExportNode(root->GetChildNode(i));
    for (const HostEvent& e : m_Interface->Events())
        if (e.kind == HostEvent::Kind::ProgressUpdate)
            updates.push_back(e.number);
    EXPECT_EQ(updates, (std::vector<int>{25, 50, 75}));

    m_Interface->CancelAtCheck(m_Interface->CancelChecks() + 1);
    EXPECT_EQ(m_Exporter.ExportNode(root->GetChildNode(0)), 0);
}
