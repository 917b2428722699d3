#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "core/object/CKClassRegistry.h"
#include "exporter/geometry/NodeObjects.h"
#include "platform/host/GenCamera.h"
#include "platform/host/GenLight.h"
#include "platform/host/SplineShape.h"
#include "platform/host/StdFog.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKCurve.h"
#include "render/objects/CKCurvePoint.h"
#include "render/objects/CKLight.h"
#include "tests/exporter/support/ExporterTestSupport.h"

namespace {

class SceneObjects : public SceneExportTest
{
protected:
    // A spline shape of the class given (an editable spline is itself;
    // another class converts into a temporary copy).
    SplineShape* MakeShape(Class_ID classId)
    {
        return classId == SPLINESHAPE_CLASS_ID ? AddObject<SplineShape>()
                                               : AddObject<SplineShape>(classId, std::string("Circle"));
    }
};

void ExpectVector(const QxVector& v, float x, float y, float z, const std::string& what)
{
    EXPECT_NEAR(v.x, x, 1e-5f) << what;
    EXPECT_NEAR(v.y, y, 1e-5f) << what;
    EXPECT_NEAR(v.z, z, 1e-5f) << what;
}

} // namespace

TEST_F(SceneObjects, LightsTakeTheirEngineTypeAndTheirTargets)
{
    struct Case
    {
        int type;
        bool targeted;
        bool withTargetNode;
        CKDWORD engineType;
        CK_CLASSID cid;
        bool target;
    };
    const Case cases[] = {
        {OMNI_LGT, false, false, 1, CKCID_LIGHT, false},    {SPOT_LGT, false, false, 2, CKCID_LIGHT, false},
        {SPOT_LGT, true, true, 2, CKCID_TARGETLIGHT, true}, {DIRECT_LGT, true, true, 3, CKCID_LIGHT, false},
        {AMBIENT_LGT, false, false, 1, CKCID_LIGHT, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        auto* light = AddObject<GenLight>(c.type, c.targeted);
        light->State().hotsize = 30.0f;
        light->State().fallsize = 60.0f;
        const std::string name = "Light" + std::to_string(n++);
        INode* node = AddNode(name.c_str(), light);
        if (c.withTargetNode)
            node->SetTarget(AddNode((name + ".Target").c_str(),
                                    AddObject<Object>(GEOMOBJECT_CLASS_ID, TARGET_CLASS_ID, std::string("Target"))));
        m_Exporter.ExportNode(node);
        CKLight* made = m_Builder->FindLight((ExportKey) node);
        ASSERT_NE(made, nullptr) << name;
        EXPECT_EQ(made->GetType(), c.engineType) << name;
        EXPECT_EQ(made->GetClassID(), c.cid) << name;
        EXPECT_EQ(made->GetTarget() != nullptr, c.target) << name;
        EXPECT_FLOAT_EQ(made->GetRange(), 200.0f) << "no attenuation: " << name;
        if (c.engineType == 2) {
            EXPECT_FLOAT_EQ(made->GetHotSpot(), 30.0f * 0.01745329238474369f);
            EXPECT_FLOAT_EQ(made->GetFallOff(), 60.0f * 0.01745329238474369f);
        }
        if (c.target) {
            EXPECT_EQ(std::string(made->GetTarget()->GetName()), name + "_Target");
        }
    }
}

TEST_F(SceneObjects, LightColourSwitchesAndRangeComeFromTheState)
{
    auto* light = AddObject<GenLight>(OMNI_LGT, false);
    light->State().color = Color(0.25f, 0.5f, 0.75f);
    light->State().intens = 4.0f;
    light->State().useAtten = TRUE;
    light->State().attenEnd = 321.0f;
    light->State().on = FALSE;
    light->State().affectSpecular = FALSE;
    INode* node = AddNode("Omni", light);
    m_Exporter.ExportNode(node);
    CKLight* made = m_Builder->FindLight((ExportKey) node);
    ASSERT_NE(made, nullptr);
    const QxColor& c = made->GetColor();
    EXPECT_FLOAT_EQ(c.r, 0.25f) << "the multiplier is not exported";
    EXPECT_FLOAT_EQ(c.g, 0.5f);
    EXPECT_FLOAT_EQ(c.b, 0.75f);
    EXPECT_FLOAT_EQ(c.a, 1.0f);
    EXPECT_FLOAT_EQ(made->GetRange(), 321.0f);
    EXPECT_FALSE(made->GetActivity());
    EXPECT_FALSE(made->GetSpecularFlag());
    EXPECT_EQ(Report(), "Light : Omni.....Done\r\n");
}

TEST_F(SceneObjects, CameraClippingKeepsTheFrontPlaneAtOneOrMore)
{
    struct Case
    {
        int manualClip;
        float hither, yon, nearRange, farRange;
        float front, back;
    };
    const Case cases[] = {
        {0, 5.0f, 50.0f, 0.5f, 800.0f, 1.0f, 800.0f},
        {0, 5.0f, 50.0f, 2.5f, 800.0f, 2.5f, 800.0f},
        {1, 5.0f, 50.0f, 0.5f, 800.0f, 5.0f, 50.0f},
        {1, 0.2f, 50.0f, 9.0f, 800.0f, 1.0f, 50.0f},
    };
    int n = 0;
    for (const Case& c : cases) {
        auto* camera = AddObject<GenCamera>(false);
        camera->State().manualClip = c.manualClip;
        camera->State().hither = c.hither;
        camera->State().yon = c.yon;
        camera->State().nearRange = c.nearRange;
        camera->State().farRange = c.farRange;
        camera->State().fov = 0.5f;
        INode* node = AddNode(("Cam" + std::to_string(n++)).c_str(), camera);
        m_Exporter.ExportNode(node);
        CKCamera* made = m_Builder->FindCamera((ExportKey) node);
        ASSERT_NE(made, nullptr);
        EXPECT_FLOAT_EQ(made->GetFrontPlane(), c.front) << n;
        EXPECT_FLOAT_EQ(made->GetBackPlane(), c.back) << n;
        EXPECT_FLOAT_EQ(made->GetFov(), 0.5f);
    }
}

TEST_F(SceneObjects, OnlyTheCameraNamedExactlyStartsTheLevel)
{
    m_Exporter.startingCameraName = "Camera01";
    INode* other = AddNode("camera01", AddObject<GenCamera>(false));
    m_Exporter.ExportNode(other);
    EXPECT_EQ(m_Builder->environment.startingCamera, nullptr) << "another letter case is another name";
    INode* node = AddNode("Camera01", AddObject<GenCamera>(true));
    node->SetTarget(AddNode("Camera01.Target", nullptr));
    m_Exporter.ExportNode(node);
    CKCamera* made = m_Builder->FindCamera((ExportKey) node);
    EXPECT_EQ(m_Builder->environment.startingCamera, made);
    ASSERT_NE(made->GetTarget(), nullptr);
    EXPECT_STREQ(made->GetTarget()->GetName(), "Camera01_Target");
}

// Knots by type: a Bezier knot gives its tangents, a corner knot its own
// with the line flag, an automatic knot keeps the engine's tangent mode. The
// handles go through the object transform with the knots: a shape turned a
// quarter about z keeps its curve.
TEST_F(SceneObjects, ShapeKnotsAndTangentsFollowTheObjectTransform)
{
    SplineShape* shape = MakeShape(SPLINESHAPE_CLASS_ID);
    Spline3D* spline = shape->shape.NewSpline();
    spline->AddKnot(SplineKnot(KTYPE_BEZIER, LTYPE_CURVE, Point3(1, 0, 0), Point3(0, 0, 0), Point3(2, 0, 0)));
    spline->AddKnot(SplineKnot(KTYPE_CORNER, LTYPE_LINE, Point3(0, 1, 0), Point3(0, 1, 0), Point3(0, 1, 0)));
    spline->AddKnot(SplineKnot(KTYPE_AUTO, LTYPE_CURVE, Point3(0, 0, 1), Point3(0, 0, 0), Point3(0, 0, 2)));
    spline->SetClosed(true);
    shape->shape.NewSpline()->AddKnot(SplineKnot());
    // A quarter turn about z (x goes to -y), moved by (10, 0, 0), scaled 2.
    Matrix3 tm = ScaleMatrix(Point3(2, 2, 2)) * RotateZMatrix(1.5707963f) * TransMatrix(Point3(10, 0, 0));
    INode* node = AddNode("Path", shape, nullptr, tm);
    m_Exporter.ExportNode(node);
    auto* curve = static_cast<CKCurve*>(m_Builder->FindEntity((ExportKey) node));
    ASSERT_NE(curve, nullptr);
    ASSERT_EQ(curve->GetControlPointCount(), 3) << "only the first spline";
    EXPECT_EQ(curve->IsOpen(), 0);
    QxVector position, in, out;
    CKCurvePoint* p0 = curve->GetControlPoint(0);
    p0->GetPosition(&position);
    ExpectVector(position, 10, 0, -2, "knot 0");
    p0->GetTangents(&in, &out);
    EXPECT_FALSE(p0->IsTCB());
    ExpectVector(in, 0, 0, -6, "in: -3 x (-1, 0, 0) turned and scaled");
    ExpectVector(out, 0, 0, -6, "out: 3 x (1, 0, 0) turned and scaled");
    CKCurvePoint* p1 = curve->GetControlPoint(1);
    EXPECT_FALSE(p1->IsTCB());
    EXPECT_TRUE(p1->IsLinear());
    p1->GetPosition(&position);
    ExpectVector(position, 12, 0, 0, "knot 1");
    EXPECT_TRUE(curve->GetControlPoint(2)->IsTCB()) << "an automatic knot";
    EXPECT_EQ(Report(), "Curve : Path.....Done\r\n");
}

TEST_F(SceneObjects, AShapeOfAnotherClassIsReadThroughATemporaryCopy)
{
    SplineShape* circle = MakeShape(Class_ID(0x1234, 0));
    circle->shape.NewSpline()->AddKnot(SplineKnot());
    INode* node = AddNode("Circle01", circle);
    bool temporary = false;
    SplineShape* read = GetSplineShapeFromNode(node, 0, temporary);
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(temporary);
    EXPECT_NE(read, circle);
    read->DeleteMe();
    m_Exporter.ExportNode(node); // its copy is deleted: the sanitizers see no leak
    EXPECT_NE(m_Builder->FindEntity((ExportKey) node), nullptr);

    INode* plain = AddNode("NotAShape", AddObject<Object>(SHAPE_CLASS_ID, SPLINESHAPE_CLASS_ID, std::string("Fake")));
    EXPECT_EQ(GetSplineShapeFromNode(plain, 0, temporary), nullptr) << "an object that only claims the class";
    EXPECT_FALSE(temporary);
    m_Exporter.ExportNode(plain);
    EXPECT_EQ(m_Builder->FindEntity((ExportKey) plain), nullptr);
    EXPECT_EQ(GetSplineShapeFromNode(nullptr, 0, temporary), nullptr);
}

// Shapes become helpers with splinesAsDummies and in a character export;
// every helper and shape of a character is a body part.
TEST_F(SceneObjects, HelpersAndShapesByExportKind)
{
    SplineShape* shape = MakeShape(SPLINESHAPE_CLASS_ID);
    shape->shape.NewSpline()->AddKnot(SplineKnot());
    m_Exporter.splinesAsDummies = 1;
    INode* asDummy = AddNode("Dummy01", shape);
    m_Exporter.ExportNode(asDummy);
    EXPECT_EQ(m_Builder->FindEntity((ExportKey) asDummy)->GetClassID(), CKCID_3DENTITY);
    EXPECT_EQ(Report(), "Editable Spline : Dummy01.....Done\r\n");

    m_Exporter.splinesAsDummies = 0;
    m_Exporter.asObjects = 0;
    m_Exporter.asCharacter = 1;
    INode* part = AddNode("Part01", shape);
    INode* helper = AddNode("Part02", AddObject<Object>(HELPER_CLASS_ID, DUMMY_CLASS_ID, std::string("Dummy")));
    m_Exporter.ExportNode(part);
    m_Exporter.ExportNode(helper);
    EXPECT_EQ(m_Builder->FindEntity((ExportKey) part)->GetClassID(), CKCID_BODYPART);
    EXPECT_EQ(m_Builder->FindEntity((ExportKey) helper)->GetClassID(), CKCID_BODYPART);
}

// The fog of the starting camera: worked by hand from the line through
// (envNear, near) and (envFar, far).
TEST_F(SceneObjects, FogFitsTheStartingCamerasRange)
{
    struct Case
    {
        float fogNear, fogFar, envNear, envFar;
        bool exponential;
        float start, end, density;
        bool warned;
    };
    const float density110 = std::log(5.436563491821289f) / (120.0f * 0.18393972516059875f);
    const Case cases[] = {
        {0.0f, 1.0f, 10.0f, 110.0f, false, 10.0f, 110.0f, 0.0f, false},
        {0.5f, 1.0f, 10.0f, 110.0f, false, -90.0f, 110.0f, 0.0f, false},
        {0.0f, 1.0f, 10.0f, 110.0f, true, 10.0f, 110.0f, density110, false},
        {0.0f, 1.0f, 50.0f, 50.0f, false, 0.0f, 1.0f, 0.0f, true},
        {0.5f, 0.5f, 10.0f, 110.0f, false, 0.5f, 0.5f, 0.0f, true},
        {0.0f, 1.0f, -10.0f, 10.0f, true, -10.0f, 10.0f, 0.0f, true},
    };
    for (const Case& c : cases) {
        m_Exporter.reportLength = 0;
        m_Exporter.reportText.Clear();
        m_Scene.Atmospherics().clear();
        auto* fog = AddObject<StdFog>(std::string("Fog"));
        fog->SetRange(c.fogNear, c.fogFar);
        fog->SetExponential(c.exponential);
        m_Scene.Atmospherics().push_back(fog);
        m_Exporter.ExportEnvironment();
        EXPECT_EQ(m_Builder->environment.fogMode, c.exponential ? 1u : 3u);
        m_Exporter.ApplyStartingCamera(nullptr, c.envNear, c.envFar);
        const EnvironmentSettings& env = m_Builder->environment;
        EXPECT_FLOAT_EQ(env.fogStart, c.start) << c.fogNear << " " << c.envNear;
        EXPECT_FLOAT_EQ(env.fogEnd, c.end) << c.fogNear << " " << c.envNear;
        EXPECT_FLOAT_EQ(env.fogDensity, c.density) << c.fogNear << " " << c.envNear;
        EXPECT_TRUE(std::isfinite(env.fogStart) && std::isfinite(env.fogEnd) && std::isfinite(env.fogDensity));
        EXPECT_EQ(Report().find("Warning") != std::string::npos, c.warned) << Report();
    }
}

TEST_F(SceneObjects, OnlyTheLastStandardNonLayeredFogIsRead)
{
    HostSceneSettings& settings = m_Scene.Settings();
    settings.ambient = Color(0.1f, 0.2f, 0.3f);
    settings.background = Color(0.4f, 0.5f, 0.6f);
    settings.lightTint = Color(1.0f, 0.5f, 0.0f);
    settings.lightLevel = 2.0f;
    auto* layered = AddObject<StdFog>(std::string("Layered"));
    layered->SetType(1);
    m_Scene.Atmospherics() = {layered, nullptr, AddObject<Atmospheric>(Class_ID(7, 7), "Volume Light", "Glow")};
    m_Exporter.ExportEnvironment();
    const EnvironmentSettings& env = m_Builder->environment;
    EXPECT_EQ(env.fogMode, 0u) << "a layered fog and other effects give no fog";
    EXPECT_FLOAT_EQ(env.backgroundColor.b, 0.6f);
    EXPECT_FLOAT_EQ(env.ambientColor.g, 0.2f);
    EXPECT_FLOAT_EQ(env.lightTint.g, 0.5f);
    EXPECT_FLOAT_EQ(env.lightLevel, 2.0f);
    EXPECT_EQ(m_Exporter.ApplyStartingCamera(nullptr, 0.0f, 1.0f), 0);

    auto* first = AddObject<StdFog>(std::string("First"));
    first->SetColor(Color(1, 0, 0));
    auto* last = AddObject<StdFog>(std::string("Last"));
    last->SetColor(Color(0, 1, 0));
    last->SetRange(0.25f, 0.75f);
    m_Scene.Atmospherics() = {first, last};
    m_Exporter.ExportEnvironment();
    EXPECT_EQ(env.fogMode, 3u);
    EXPECT_FLOAT_EQ(env.fogColor.g, 1.0f);
    EXPECT_FLOAT_EQ(env.backgroundColor.g, 1.0f) << "the fog also fogs the background";
    EXPECT_FLOAT_EQ(env.fogStart, 0.25f) << "raw until a starting camera fits it";
    EXPECT_FLOAT_EQ(env.fogEnd, 0.75f);
    EXPECT_FLOAT_EQ(env.fogDensity, 0.0f);
}
