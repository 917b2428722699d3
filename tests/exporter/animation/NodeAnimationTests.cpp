#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exporter/animation/AnimationKeys.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/scene/MaxMatrix.h"
#include "platform/host/GenCamera.h"
#include "platform/host/IParamBlock.h"
#include "render/animation/CKAnimKeys.h"
#include "render/objects/CK3dObject.h"
#include "tests/exporter/animation/AnimationTestSupport.h"

namespace {

using I = KeyControl::Interpolation;
using T = KeyControl::Track;
constexpr float kQuarter = 1.5707964f;

template <class Key>
const Key& KeyOf(CKAnimController* controller, int i)
{
    return *static_cast<const Key*>(controller->GetKey(i));
}

void ExpectQuat(const QxQuaternion& q, const QxQuaternion& expected, const char* what)
{
    // q and -q are one rotation.
    const float sign = q.x * expected.x + q.y * expected.y + q.z * expected.z + q.w * expected.w < 0.0f ? -1.0f : 1.0f;
    EXPECT_NEAR(q.x * sign, expected.x, 1e-5f) << what;
    EXPECT_NEAR(q.y * sign, expected.y, 1e-5f) << what;
    EXPECT_NEAR(q.z * sign, expected.z, 1e-5f) << what;
    EXPECT_NEAR(q.w * sign, expected.w, 1e-5f) << what;
}

HostKey TcbTurn(float frame, float angle, const Point3& axis)
{
    HostKey key;
    key.time = (TimeValue) (frame * 160.0f);
    key.angleAxis.angle = angle;
    key.angleAxis.axis = axis;
    return key;
}

bool Contains(const std::string& text, const std::string& what)
{
    return text.find(what) != std::string::npos;
}

} // namespace

// The engine's Bezier flags: 1 << type in each half, nothing above 5.
TEST(AnimationKeys, TangentFlagsTakeOneBitPerTypeAndNoneAbove5)
{
    for (DWORD in = 0; in < 8; ++in)
        for (DWORD out = 0; out < 8; ++out) {
            CKDWORD flags = 0xDEAD;
            ConvertTangentFlags(flags, in << 7 | out << 10 | 0x7F);
            const CKDWORD low = in <= 5 ? 1u << in : 0u;
            const CKDWORD high = out <= 5 ? 1u << out : 0u;
            EXPECT_EQ(flags, low | high << 16) << in << " " << out;
        }
}

TEST(AnimationKeys, EqualityToleratesAThousandthAndNoNaN)
{
    EXPECT_TRUE(EqualFloat(1.0f, 1.0009f));
    EXPECT_TRUE(EqualFloat(-2.0f, -2.0f));
    EXPECT_FALSE(EqualFloat(1.0f, 1.0011f));
    EXPECT_FALSE(EqualFloat(NAN, NAN));
    EXPECT_TRUE(EqualPoint3(Point3(1, 2, 3), Point3(1.0009f, 1.9991f, 3.0f)));
    for (int axis = 0; axis < 3; ++axis) {
        Point3 moved(1, 2, 3);
        moved[axis] += 0.0011f;
        EXPECT_FALSE(EqualPoint3(Point3(1, 2, 3), moved)) << axis;
    }
    const Quat q = QFromAngAxis(0.7f, Point3(1, 2, 3));
    EXPECT_TRUE(EqualRotation(q, q));
    EXPECT_FALSE(EqualRotation(q, QFromAngAxis(0.7001f, Point3(1, 2, 3))));
}

TEST(AnimationKeys, StandardControllersAreTheTwelveKeyClassesAndNull)
{
    EXPECT_TRUE(IsStandardController(nullptr));
    for (T track : {T::Float, T::Position, T::Rotation, T::Scale})
        for (I kind : {I::Linear, I::Bezier, I::TCB}) {
            KeyControl control(track, kind);
            EXPECT_TRUE(IsStandardController(&control));
        }
    KeyControl expression(T::Position, I::Linear, Class_ID(0x2002, 1), "Not quite");
    EXPECT_FALSE(IsStandardController(&expression));
    PRSControl prs(nullptr, nullptr, nullptr);
    EXPECT_FALSE(IsStandardController(&prs));
    EXPECT_TRUE(IsBipedController(&*std::make_unique<PRSControl>(nullptr, nullptr, nullptr, Class_ID(0x9156, 0))));
    EXPECT_FALSE(IsBipedController(&prs));
}

TEST(AnimationKeys, ATurnOfZeroOrBrokenAxisIsTheIdentityAndANegativeAngleFlipsTheAxis)
{
    EXPECT_EQ(TurnOfAngleAxis(1.0f, Point3(0, 0, 0)), Quat());
    EXPECT_EQ(TurnOfAngleAxis(NAN, Point3(0, 0, 1)), Quat());
    EXPECT_EQ(TurnOfAngleAxis(1.0f, Point3(0, NAN, 1)), Quat());
    const Quat a = TurnOfAngleAxis(-0.5f, Point3(0, 0, 2));
    const Quat b = QFromAngAxis(0.5f, Point3(0, 0, -1));
    EXPECT_NEAR(a.z, b.z, 1e-7f);
    EXPECT_NEAR(a.w, b.w, 1e-7f);
}

// Key for key: every value changes axes, Bezier tangents go from per tick to
// per frame (160 at 30 frames a second), TCB parameters are copied.
TEST_F(NodeAnimationTest, StandardKeysAreCopiedOneForOneInTheEnginesAxes)
{
    HostKey b0 = KeyAt(0, Point3(1, 2, 3));
    b0.outTan = Point3(0.5f, -1, 2);
    b0.inTan = Point3(1, 1, 1);
    b0.flags = 5u << 7 | 6u << 10;
    HostKey b1 = KeyAt(10, Point3(4, 5, 6));
    b1.inTan = Point3(-0.25f, 0, 0.125f);
    b1.flags = 1u << 7 | 2u << 10;
    HostKey s0 = KeyAt(0, Point3(1, 2, 3)), s1 = KeyAt(20, Point3(2, 2, 2));
    s0.tens = 0.5f;
    s0.cont = -0.25f;
    s0.bias = 0.125f;
    s0.easeIn = 10;
    s0.easeOut = 40;
    INode* node = PRSNode(
        "Box", Track(T::Position, I::Bezier, {b0, b1}),
        Track(T::Rotation, I::Linear, {RotationAt(0, Quat()), RotationAt(5, QFromAngAxis(1.0f, Point3(0, 1, 0)))}),
        Track(T::Scale, I::TCB, {s0, s1}));
    ExportAll();
    CKObjectAnimation* animation = AnimationOf(node);
    ASSERT_NE(animation, nullptr);
    CKAnimController* position = animation->GetPositionController();
    ASSERT_NE(position, nullptr);
    EXPECT_EQ(position->GetType(), (CKDWORD) CKANIMATION_BEZIERPOSITION_CONTROL);
    const auto& p0 = KeyOf<CKBezierKey<QxVector>>(position, 0);
    EXPECT_EQ(p0.TimeStep, 0.0f);
    EXPECT_EQ(p0.Value, QxVector(1, 3, 2));
    EXPECT_EQ(p0.Out, QxVector(80, 320, -160));
    EXPECT_EQ(p0.In, QxVector(160, 160, 160));
    EXPECT_EQ(p0.Flags, 1u << 5) << "an out type of 6 leaves the high half empty";
    const auto& p1 = KeyOf<CKBezierKey<QxVector>>(position, 1);
    EXPECT_EQ(p1.TimeStep, 10.0f);
    EXPECT_EQ(p1.In, QxVector(-40, 20, 0));
    EXPECT_EQ(p1.Flags, 2u | 4u << 16);

    CKAnimController* rotation = animation->GetRotationController();
    ASSERT_NE(rotation, nullptr);
    EXPECT_EQ(rotation->GetType(), (CKDWORD) CKANIMATION_LINEARROTATION_CONTROL);
    EXPECT_EQ(Times(rotation), (std::vector<float>{0, 5}));
    ExpectQuat(KeyOf<CKLinearKey<QxQuaternion>>(rotation, 1).Value,
               MaxToEngineQuat(QFromAngAxis(1.0f, Point3(0, 1, 0))), "rotation");

    CKAnimController* scale = animation->GetScaleController();
    ASSERT_NE(scale, nullptr);
    EXPECT_EQ(scale->GetType(), (CKDWORD) CKANIMATION_TCBSCALE_CONTROL);
    const auto& k0 = KeyOf<CKTCBKey<QxVector>>(scale, 0);
    EXPECT_EQ(k0.Value, QxVector(1, 3, 2));
    EXPECT_EQ(k0.Tension, 0.5f);
    EXPECT_EQ(k0.Continuity, -0.25f);
    EXPECT_EQ(k0.Bias, 0.125f);
    EXPECT_EQ(k0.EaseIn, 10.0f);
    EXPECT_EQ(k0.EaseOut, 40.0f);
    EXPECT_EQ(KeyOf<CKTCBKey<QxVector>>(scale, 1).TimeStep, 20.0f);
    EXPECT_EQ(animation->GetLength(), 100.0f);
    EXPECT_TRUE(
        Contains(Report(), "\r\nSaving standard animation...\r\nPosition: 2 keys, Rotation: 2 keys, Scale: 2 keys\r\n"))
        << Report();
}

// At 25 frames a second a frame lasts 192 ticks: the tangents follow the
// scene's frame, so the engine's curve is the host's.
TEST_F(NodeAnimationTest, BezierTangentsFollowTheTicksOfAFrame)
{
    m_Scene.Settings().ticksPerFrame = 192;
    SetAnimationRange(0, 192 * 10);
    HostKey a = KeyAt(0, Point3(0, 0, 0)), b = KeyAt(6, Point3(1, 1, 1));
    a.outTan = Point3(0.001f, 0.002f, 0.003f);
    a.flags = 5u << 7 | 5u << 10;
    b.flags = a.flags;
    INode* node = PRSNode("Box", Track(T::Position, I::Bezier, {a, b}), nullptr, nullptr);
    ExportAll();
    CKAnimController* position = AnimationOf(node)->GetPositionController();
    ASSERT_NE(position, nullptr);
    const auto& p0 = KeyOf<CKBezierKey<QxVector>>(position, 0);
    EXPECT_FLOAT_EQ(p0.Out.x, 0.192f);
    EXPECT_FLOAT_EQ(p0.Out.y, 0.576f);
    EXPECT_FLOAT_EQ(p0.Out.z, 0.384f);
    EXPECT_FLOAT_EQ(KeyOf<CKBezierKey<QxVector>>(position, 1).TimeStep, 960.0f / 192.0f);
}

// Each TCB rotation key turns from the one before it.
TEST_F(NodeAnimationTest, TcbRotationsAccumulateTheirTurns)
{
    const Point3 z(0, 0, 1);
    HostKey k1 = TcbTurn(0, kQuarter, z), k2 = TcbTurn(10, kQuarter, z), k3 = TcbTurn(20, -kQuarter, -z);
    k2.easeIn = 25;
    HostKey broken = TcbTurn(30, 2.0f, Point3(0, 0, 0));
    INode* node = PRSNode("Box", nullptr, Track(T::Rotation, I::TCB, {k1, k2, k3, broken}), nullptr);
    ExportAll();
    CKAnimController* rotation = AnimationOf(node)->GetRotationController();
    ASSERT_NE(rotation, nullptr);
    EXPECT_EQ(rotation->GetType(), (CKDWORD) CKANIMATION_TCBROTATION_CONTROL);
    ASSERT_EQ(rotation->GetKeyCount(), 4);
    for (int i = 0; i < 3; ++i)
        ExpectQuat(KeyOf<CKTCBKey<QxQuaternion>>(rotation, i).Value,
                   MaxToEngineQuat(QFromAngAxis(kQuarter * float(i + 1), z)), ("key " + std::to_string(i)).c_str());
    ExpectQuat(KeyOf<CKTCBKey<QxQuaternion>>(rotation, 3).Value, KeyOf<CKTCBKey<QxQuaternion>>(rotation, 2).Value,
               "a turn about no axis turns nothing");
    EXPECT_EQ(KeyOf<CKTCBKey<QxQuaternion>>(rotation, 1).EaseIn, 25.0f);
    // 270 degrees about the engine's -y: w = cos(135 degrees).
    EXPECT_NEAR(KeyOf<CKTCBKey<QxQuaternion>>(rotation, 2).Value.w * KeyOf<CKTCBKey<QxQuaternion>>(rotation, 2).Value.y,
                std::cos(2.3561945f) * -std::sin(2.3561945f), 1e-6f);
}

// The sampler writes every step and the end of the range; the float
// sampler stops at the last step.
TEST_F(NodeAnimationTest, SamplingEveryThreeFramesWritesTheRangeEndForTransformsOnly)
{
    SetAnimationRange(0, 1600);
    m_Exporter.reduceRedondantKeys = 0;
    m_Exporter.ExportBlendShapeAnims = 1;
    INode* node = PRSNode("Box", Procedural(T::Position, I::Linear, {KeyAt(0, Point3()), KeyAt(10, Point3(1, 1, 1))}),
                          nullptr, nullptr);
    AddMorpher(m_Scene, node, 2, "Smile",
               std::make_unique<KeyControl>(T::Float, I::Linear, Class_ID(0x7A12, 1), "Wave"));
    ExportAll();
    CKObjectAnimation* animation = AnimationOf(node);
    ASSERT_NE(animation, nullptr);
    for (CKAnimController* c : {animation->GetPositionController(), animation->GetRotationController(),
                                animation->GetScaleController(), animation->GetScaleAxisController()}) {
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(Times(c), (std::vector<float>{0, 3, 6, 9, 10}));
    }
    EXPECT_EQ(animation->GetPositionController()->GetType(), (CKDWORD) CKANIMATION_LINEARPOSITION_CONTROL);
    EXPECT_EQ(animation->GetScaleAxisController()->GetType(), (CKDWORD) CKANIMATION_LINEARSCALEAXIS_CONTROL);
    const auto& moved = KeyOf<CKLinearKey<QxVector>>(animation->GetPositionController(), 2);
    EXPECT_NEAR(moved.Value.x, 0.6f, 1e-6f);
    ASSERT_EQ(animation->GetNamedControllerCount(), 1);
    EXPECT_STREQ(animation->GetNamedControllerEntry(0)->Name.CStr(), "Smile");
    EXPECT_EQ(Times(animation->GetNamedController(0)), (std::vector<float>{0, 3, 6, 9}));
    EXPECT_TRUE(Contains(Report(), "\r\nConverting unknown animation (Sampling)...\r\n")) << Report();
    EXPECT_TRUE(Contains(Report(), "Warning : OffAxis Scale : 5 keys\r\n")) << Report();
}

// A step of 0 (or below) would never leave the range: 1 frame is used, and
// the report says so once for each option.
TEST_F(NodeAnimationTest, ASamplingStepBelowOneFrameCountsAsOneAndIsReportedOnce)
{
    SetAnimationRange(0, 480);
    m_Exporter.reduceRedondantKeys = 0;
    m_Exporter.samplingStepForKeyFrames = 0;
    m_Exporter.samplingStepForBlendShapes = -4;
    m_Exporter.ExportBlendShapeAnims = 1;
    INode* a = PRSNode("A", Procedural(T::Position, I::Linear, {KeyAt(0, Point3()), KeyAt(3, Point3(1, 1, 1))}),
                       nullptr, nullptr);
    INode* b = PRSNode("B", Procedural(T::Position, I::Linear, {KeyAt(0, Point3()), KeyAt(3, Point3(1, 1, 1))}),
                       nullptr, nullptr);
    AddMorpher(m_Scene, b, 1, "Blink", std::make_unique<KeyControl>(T::Float, I::Linear, Class_ID(0x7A12, 1), "Wave"));
    ExportAll();
    EXPECT_EQ(Times(AnimationOf(a)->GetPositionController()), (std::vector<float>{0, 1, 2, 3}));
    EXPECT_EQ(Times(AnimationOf(b)->GetNamedController(0)), (std::vector<float>{0, 1, 2, 3}));
    const std::string report = Report();
    const std::string line = "Warning : samplingStepForKeyFrames = 0 is below 1 frame: 1 frame is used\r\n";
    ASSERT_TRUE(Contains(report, line)) << report;
    EXPECT_EQ(report.find(line), report.rfind(line)) << "once";
    EXPECT_TRUE(Contains(report, "Warning : samplingStepForBlendShapes = -4 is below 1 frame: 1 frame is used\r\n"));
}

// A sample equal to the last key is held back; when something different
// follows, the last one held back is written first, so a hold ends where it
// ended and a slow drift is not lost.
TEST_F(NodeAnimationTest, RedundantSamplesAreHeldBackAgainstTheLastKeyWritten)
{
    SetAnimationRange(0, 160 * 12);
    m_Exporter.samplingStepForKeyFrames = 1;
    INode* hold = PRSNode("Hold",
                          Procedural(T::Position, I::Linear,
                                     {KeyAt(0, Point3(1, 1, 1)), KeyAt(5, Point3(1, 1, 1)), KeyAt(8, Point3(4, 1, 1))}),
                          nullptr, nullptr);
    INode* drift =
        PRSNode("Drift", Procedural(T::Position, I::Linear, {KeyAt(0, Point3()), KeyAt(12, Point3(0.0048f, 0, 0))}),
                nullptr, nullptr);
    ExportAll();
    EXPECT_EQ(Times(AnimationOf(hold)->GetPositionController()), (std::vector<float>{0, 5, 6, 7, 8}));
    const std::vector<float> drifted = Times(AnimationOf(drift)->GetPositionController());
    ASSERT_GE(drifted.size(), 5u) << "a drift of 0.0004 a frame still moves";
    EXPECT_EQ(drifted.back(), 12.0f);
    EXPECT_EQ(drifted.front(), 0.0f);
    // Rotation, scale and axes never change: one key each, which the
    // one-key option would drop.
    EXPECT_EQ(Times(AnimationOf(hold)->GetRotationController()), (std::vector<float>{0}));
    EXPECT_EQ(Times(AnimationOf(hold)->GetScaleController()), (std::vector<float>{0}));
}

TEST_F(NodeAnimationTest, AHeldRotationIsWrittenBeforeItTurns)
{
    SetAnimationRange(0, 160 * 6);
    m_Exporter.samplingStepForKeyFrames = 1;
    const Quat turned = QFromAngAxis(0.5f, Point3(1, 0, 0));
    INode* node = PRSNode(
        "Turn", nullptr,
        Procedural(T::Rotation, I::Linear, {RotationAt(0, Quat()), RotationAt(3, Quat()), RotationAt(4, turned)}),
        nullptr);
    ExportAll();
    CKAnimController* rotation = AnimationOf(node)->GetRotationController();
    EXPECT_EQ(Times(rotation), (std::vector<float>{0, 3, 4}));
    ExpectQuat(KeyOf<CKLinearKey<QxQuaternion>>(rotation, 1).Value, QxQuaternion(), "held");
}

// A camera looks down the engine's z: its rotations take a quarter turn
// about x first, sampled or keyed; a still camera gets it too.
TEST_F(NodeAnimationTest, CameraRotationsTakeAQuarterTurnAboutX)
{
    SetAnimationRange(0, 160);
    const Quat look = QFromAngAxis(0.6f, Point3(0, 0, 1));
    Matrix3 local;
    look.MakeMatrix(local);
    local.SetTrans(Point3(1, 2, 3));
    INode* still = AddNode("Still", AddObject<GenCamera>(false), nullptr, local);
    INode* keyed = AddNode("Keyed", AddObject<GenCamera>(false));
    keyed->SetTMController(AddObject<PRSControl>(
        nullptr, Track(T::Rotation, I::Linear, {RotationAt(0, look), RotationAt(1, Quat())}), nullptr));
    ExportAll();
    const QxQuaternion expected = MaxToEngineQuat(QFromAngAxis(kQuarter, Point3(1, 0, 0)) * look);
    CKObjectAnimation* s = AnimationOf(still);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(s->GetRotationController(), nullptr);
    ExpectQuat(KeyOf<CKLinearKey<QxQuaternion>>(s->GetRotationController(), 0).Value, expected, "still");
    // Its matrix is the camera matrix the object pass gave the entity.
    QxMatrix fromKey, camera;
    KeyOf<CKLinearKey<QxQuaternion>>(s->GetRotationController(), 0).Value.ToMatrix(fromKey);
    MaxToEngineCameraMatrix(local, camera);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(fromKey[r][c], camera[r][c], 1e-5f) << r << " " << c;
    ExpectQuat(KeyOf<CKLinearKey<QxQuaternion>>(AnimationOf(keyed)->GetRotationController(), 0).Value, expected,
               "keyed");
}

// Morpher weights are percent: a key of 50 is 0.5, in a float controller
// named after the channel; tangents scale with them, eases do not.
TEST_F(NodeAnimationTest, MorpherWeightKeysBecomeNamedFloatControllersInFractions)
{
    m_Exporter.ExportBlendShapeAnims = 1;
    INode* node = PRSNode("Face", nullptr, nullptr, nullptr);
    HostKey w0 = KeyAt(0, Point3(50, 0, 0)), w1 = KeyAt(10, Point3(100, 0, 0));
    w0.outTan = Point3(2, 0, 0);
    w0.flags = 5u << 7 | 5u << 10;
    auto weight = std::make_unique<KeyControl>(T::Float, I::Bezier);
    ASSERT_TRUE(weight->SetKeys({w0, w1}));
    MorpherModifier* morpher = AddMorpher(m_Scene, node, 3, "Smile", std::move(weight));
    HostKey e0 = KeyAt(0, Point3(20, 0, 0)), e1 = KeyAt(4, Point3(0, 0, 0));
    e0.easeIn = 30;
    e0.easeOut = 12;
    e0.tens = 0.25f;
    auto tcb = std::make_unique<KeyControl>(T::Float, I::TCB);
    ASSERT_TRUE(tcb->SetKeys({e0, e1}));
    morpher->Channel(7).SetUsed(true);
    morpher->Channel(7).SetName("Blink");
    morpher->Channel(7).GetWeightBlock()->SetController(0, std::move(tcb));
    morpher->Channel(9).SetUsed(true); // a constant weight: no keys, no controller
    ExportAll();
    CKObjectAnimation* animation = AnimationOf(node);
    ASSERT_NE(animation, nullptr);
    ASSERT_EQ(animation->GetNamedControllerCount(), 2);
    CKAnimController* smile = animation->GetNamedControllerByName("Smile");
    ASSERT_NE(smile, nullptr);
    EXPECT_EQ(smile->GetType(), (CKDWORD) CKANIMATION_BEZIERFLOAT_CONTROL);
    EXPECT_EQ(KeyOf<CKBezierKey<float>>(smile, 0).Value, 0.5f);
    EXPECT_EQ(KeyOf<CKBezierKey<float>>(smile, 1).Value, 1.0f);
    EXPECT_FLOAT_EQ(KeyOf<CKBezierKey<float>>(smile, 0).Out, 3.2f);
    CKAnimController* blink = animation->GetNamedControllerByName("Blink");
    ASSERT_NE(blink, nullptr);
    const auto& b0 = KeyOf<CKTCBKey<float>>(blink, 0);
    EXPECT_FLOAT_EQ(b0.Value, 0.2f);
    EXPECT_EQ(b0.EaseIn, 30.0f);
    EXPECT_EQ(b0.EaseOut, 12.0f);
    EXPECT_EQ(b0.Tension, 0.25f);
    const std::string report = Report();
    EXPECT_TRUE(Contains(report, "\r\nSearching blend shape animations for node Face")) << report;
    EXPECT_TRUE(Contains(report, "\r\nExporting animation of blend shape #2 (Smile) for mesh Face")) << report;
    EXPECT_TRUE(Contains(report, "\r\nExporting animation of blend shape #6 (Blink) for mesh Face")) << report;
    EXPECT_TRUE(Contains(report, "\r\nExporting animation of blend shape #8 () for mesh Face")) << report;
}

TEST_F(NodeAnimationTest, WithoutTheOptionMorpherWeightsAreLeft)
{
    INode* node = PRSNode("Face", nullptr, nullptr, nullptr);
    auto weight = std::make_unique<KeyControl>(T::Float, I::Linear);
    ASSERT_TRUE(weight->SetKeys({KeyAt(0, Point3(50, 0, 0)), KeyAt(1, Point3(0, 0, 0))}));
    AddMorpher(m_Scene, node, 1, "Smile", std::move(weight));
    ExportAll();
    ASSERT_NE(AnimationOf(node), nullptr);
    EXPECT_EQ(AnimationOf(node)->GetNamedControllerCount(), 0);
}

// Controllers below the minimum go with the one-key option (a Biped's keep a
// single key); a rotation track gets the entity's scale as its scale key.
TEST_F(NodeAnimationTest, PruningDropsSingleKeysExceptABipedsAndAddsTheScaleOfRotations)
{
    m_Exporter.ignore1KeyAnimation = 1;
    Matrix3 scaled = ScaleMatrix(Point3(2, 3, 4));
    INode* single = PRSNode("Single", Track(T::Position, I::Linear, {KeyAt(0, Point3(1, 2, 3))}),
                            Track(T::Rotation, I::Linear, {RotationAt(0, Quat())}),
                            Track(T::Scale, I::Linear, {KeyAt(0, Point3(1, 1, 1))}));
    INode* turning = AddNode("Turning", Box(), nullptr, scaled);
    turning->SetTMController(AddObject<PRSControl>(
        nullptr,
        Track(T::Rotation, I::Linear, {RotationAt(0, Quat()), RotationAt(4, QFromAngAxis(1, Point3(0, 0, 1)))}),
        Track(T::Scale, I::Linear, {KeyAt(0, Point3(2, 3, 4))})));
    INode* biped = AddNode("Bip01", Box());
    biped->SetTMController(AddObject<PRSControl>(Track(T::Position, I::Linear, {KeyAt(0, Point3(1, 2, 3))}), nullptr,
                                                 nullptr, Class_ID(0x9156, 0), "Biped"));
    SetAnimationRange(0, 0);
    ExportAll();
    CKObjectAnimation* a = AnimationOf(single);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetPositionController(), nullptr);
    EXPECT_EQ(a->GetRotationController(), nullptr);
    EXPECT_EQ(a->GetScaleController(), nullptr);
    const std::string report = Report();
    for (const char* line :
         {"Rotation Controller deleted for object Single\r\n", "Position Controller deleted for object Single\r\n",
          "Scale Controller deleted for object Single\r\n"})
        EXPECT_TRUE(Contains(report, line)) << line << report;

    CKObjectAnimation* t = AnimationOf(turning);
    ASSERT_NE(t->GetRotationController(), nullptr);
    EXPECT_EQ(t->GetScaleController(), nullptr) << "its one scale key went";

    CKObjectAnimation* b = AnimationOf(biped);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->GetPositionController(), nullptr) << "sampled: S = E gives one key, which a Biped keeps";
    EXPECT_EQ(b->GetPositionController()->GetKeyCount(), 1);
    EXPECT_NE(b->GetScaleAxisController(), nullptr);
    EXPECT_TRUE(m_Builder->singleKeyAnimations.IsHere(b));
    EXPECT_FALSE(m_Builder->singleKeyAnimations.IsHere(a));
    EXPECT_TRUE(Contains(report, "Position: 1 keys, Rotation: 1 keys, Scale: 1 keys\r\n")) << report;
    EXPECT_TRUE(Contains(report, "Warning : OffAxis Scale : 1 keys\r\n"));
}

TEST_F(NodeAnimationTest, ARotationTrackWithoutScaleGetsTheEntitysScaleAtTimeZero)
{
    INode* node = AddNode("Turning", Box(), nullptr, ScaleMatrix(Point3(2, 3, 4)));
    node->SetTMController(AddObject<PRSControl>(
        nullptr,
        Track(T::Rotation, I::Linear, {RotationAt(0, Quat()), RotationAt(4, QFromAngAxis(1, Point3(0, 0, 1)))}),
        nullptr));
    // The object pass placed the entity with the scale the node had.
    CK3dEntity* entity = m_Builder->CreateObject3D("Turning", (ExportKey) node);
    QxMatrix scaled;
    MaxToEngineMatrix(ScaleMatrix(Point3(2, 3, 4)), scaled);
    entity->SetWorldMatrix(scaled);
    m_Exporter.ExportNodeAnimation(node, entity);
    CKAnimController* scale = AnimationOf(node)->GetScaleController();
    ASSERT_NE(scale, nullptr);
    EXPECT_EQ(scale->GetType(), (CKDWORD) CKANIMATION_LINEARSCALE_CONTROL);
    ASSERT_EQ(scale->GetKeyCount(), 1);
    const auto& key = KeyOf<CKLinearKey<QxVector>>(scale, 0);
    EXPECT_EQ(key.TimeStep, 0.0f);
    EXPECT_NEAR(key.Value.x, 2.0f, 1e-6f);
    EXPECT_NEAR(key.Value.y, 4.0f, 1e-6f);
    EXPECT_NEAR(key.Value.z, 3.0f, 1e-6f);
}

// Nothing animated: no controller, no summary.
TEST_F(NodeAnimationTest, ANodeWithoutKeysGetsNoControllerAndNoSummary)
{
    INode* node = PRSNode("Still", Track(T::Position, I::Linear, {}), nullptr, nullptr);
    ExportAll();
    CKObjectAnimation* animation = AnimationOf(node);
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->GetPositionController(), nullptr);
    EXPECT_FALSE(Contains(Report(), "Saving standard animation")) << Report();
    m_Exporter.ExportNodeAnimation(nullptr, nullptr);
    m_Exporter.ExportPositionKeys(nullptr, animation);
    m_Exporter.SampleFloatController(nullptr, animation, 1.0f, "x");
    EXPECT_EQ(animation->GetNamedControllerCount(), 0);
}
