#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/host/HostScene.h"
#include "platform/host/HostSceneFile.h"
#include "platform/host/INode.h"
#include "platform/host/KeyControl.h"
#include "platform/host/LookAtControl.h"
#include "tests/platform/host/HostTestMath.h"

namespace {

constexpr float kPi = 3.14159265f;

// A turn about z by the angle in the host's sense, as rows (x goes to
// (cos, -sin)), placed at the point given.
Matrix3 TurnZ(float angle, const Point3& at)
{
    const float c = std::cos(angle), s = std::sin(angle);
    return Matrix3(Point3(c, -s, 0.0f), Point3(s, c, 0.0f), Point3(0.0f, 0.0f, 1.0f), at);
}

// A two-level hierarchy read from a scene file: parent P with the position
// and rotation tracks given, child C at (10, 0, 0) under it with its own
// position track.
struct Hierarchy
{
    HostScene scene;
    INode* parent = nullptr;
    INode* child = nullptr;

    Hierarchy(const std::string& parentTransform, const std::string& childTransform)
    {
        const std::string text = R"({"format": "qdx-host-scene", "version": 1, "nodes": [
            {"id": "p", "name": "P", "transform": )" +
                                 parentTransform + R"(},
            {"id": "c", "name": "C", "parent": "p", "transform": )" +
                                 childTransform + "}]}";
        std::string error;
        EXPECT_TRUE(ReadHostScene(text.data(), text.size(), "h.json", scene, error)) << error;
        parent = scene.GetRootNode()->GetChildNode(0);
        child = parent ? parent->GetChildNode(0) : nullptr;
    }
};

} // namespace

TEST(HostKeyControl, LinearKeysMoveAndTurnATwoLevelHierarchy)
{
    Hierarchy h(R"({"position": {"interpolation": "linear", "keys": [
                      {"time": 0, "value": [0, 0, 0]}, {"time": 100, "value": [100, 0, 0]}]},
                    "rotation": {"interpolation": "linear", "keys": [
                      {"time": 0, "value": [0, 0, 0, 1]}, {"time": 100, "value": [0, 0, 0.70710678, 0.70710678]}]}})",
                R"({"position": {"interpolation": "linear", "keys": [
                      {"time": 0, "value": [10, 0, 0]}, {"time": 100, "value": [20, 0, 0]}]}})");
    ASSERT_NE(h.child, nullptr);
    // t = 0: nothing turned; the child 10 along x.
    ExpectNear(h.child->GetNodeTM(0), TurnZ(0.0f, Point3(10.0f, 0.0f, 0.0f)));
    // t = 50: the parent halfway (50 along x, an eighth of a turn); the child
    // 15 along the parent's x, which now points to (cos 45, -sin 45).
    const float r = std::sqrt(0.5f);
    ExpectNear(h.parent->GetNodeTM(50), TurnZ(kPi / 4, Point3(50.0f, 0.0f, 0.0f)));
    ExpectNear(h.child->GetNodeTM(50), TurnZ(kPi / 4, Point3(50.0f + 15.0f * r, -15.0f * r, 0.0f)));
    // t = 100 and beyond: a quarter turn, the child 20 along -y from (100, 0, 0).
    ExpectNear(h.child->GetNodeTM(100), TurnZ(kPi / 2, Point3(100.0f, -20.0f, 0.0f)));
    ExpectNear(h.child->GetNodeTM(400), TurnZ(kPi / 2, Point3(100.0f, -20.0f, 0.0f)));
    ExpectNear(h.child->GetNodeTM(-100), TurnZ(0.0f, Point3(10.0f, 0.0f, 0.0f)));
    ExpectNear(h.child->GetParentTM(50), h.parent->GetNodeTM(50));
}

TEST(HostKeyControl, TcbKeysFollowKochanekBartelsCurves)
{
    // Positions 0, (100, 0, 0), (100, 100, 0) at 0, 100, 200; rotations by
    // relative quarter turns about z.
    Hierarchy h(R"({"position": {"interpolation": "tcb", "keys": [
                      {"time": 0, "value": [0, 0, 0]}, {"time": 100, "value": [100, 0, 0]},
                      {"time": 200, "value": [100, 100, 0]}]},
                    "rotation": {"interpolation": "tcb", "keys": [
                      {"time": 0, "angle": 0, "axis": [0, 0, 1]}, {"time": 100, "angle": 1.5707963, "axis": [0, 0, 1]},
                      {"time": 200, "angle": 1.5707963, "axis": [0, 0, 2]}]}})",
                R"({"position": [10, 0, 0]})");
    ASSERT_NE(h.child, nullptr);
    // At t = 50 (u = 1/2) the Hermite weights are 1/2, 1/8, 1/2, -1/8: the
    // first key's out tangent is the step to the next, (100, 0, 0); the
    // second's in tangent the mean of its two steps, (50, 50, 0).
    const Point3 p50 =
        Point3(50.0f, 0.0f, 0.0f) + Point3(100.0f, 0.0f, 0.0f) * 0.125f - Point3(50.0f, 50.0f, 0.0f) * 0.125f;
    // Equal quarter turns about one axis: the rotation runs evenly.
    ExpectNear(h.parent->GetNodeTM(50), TurnZ(kPi / 4, p50));
    ExpectNear(h.child->GetNodeTM(50),
               TurnZ(kPi / 4, p50 + Point3(10.0f * std::sqrt(0.5f), -10.0f * std::sqrt(0.5f), 0.0f)));
    ExpectNear(h.child->GetNodeTM(100), TurnZ(kPi / 2, Point3(100.0f, -10.0f, 0.0f)));
    // At t = 150: weights mirror, tangents (50, 50, 0) out of the middle key
    // and (0, 100, 0) into the last; the turn is three eighths.
    const Point3 p150 =
        Point3(100.0f, 50.0f, 0.0f) + Point3(50.0f, 50.0f, 0.0f) * 0.125f - Point3(0.0f, 100.0f, 0.0f) * 0.125f;
    const Matrix3 parent150 = TurnZ(3 * kPi / 4, p150);
    ExpectNear(h.parent->GetNodeTM(150), parent150);
    ExpectNear(h.child->GetNodeTM(150), TurnZ(3 * kPi / 4, Point3(10.0f, 0.0f, 0.0f) * parent150));
}

TEST(HostKeyControl, BezierKeysFollowTheirTangents)
{
    // Handles a third of the way along the tangents (units per tick).
    Hierarchy h(R"({"position": {"interpolation": "bezier", "keys": [
                      {"time": 0, "value": [0, 0, 0], "out": [1, 0, 0]},
                      {"time": 300, "value": [300, 0, 0], "in": [0, 0, 0], "out": [0, 0, 0], "outType": "step"},
                      {"time": 600, "value": [0, 0, 0]}]}})",
                R"({"position": {"interpolation": "bezier", "keys": [
                      {"time": 0, "value": [0, 0, 0], "out": [0, 0, 0.3]},
                      {"time": 300, "value": [0, 0, 90], "in": [0, 0, -0.3]}]}})");
    ASSERT_NE(h.child, nullptr);
    // u = 1/3: control points 0, 100, 300, 300 weighted 8/27, 12/27, 6/27, 1/27.
    const float x = (12.0f * 100.0f + 6.0f * 300.0f + 300.0f) / 27.0f;
    // The child: control points 0, 30, 60, 90 - a straight line, 30 at u = 1/3.
    ExpectNear(h.child->GetNodeTM(100), TurnZ(0.0f, Point3(x, 0.0f, 30.0f)));
    ExpectNear(h.child->GetNodeTM(0), Matrix3());
    // After a step tangent the value holds until the next key.
    ExpectNear(h.parent->GetNodeTM(450), TurnZ(0.0f, Point3(300.0f, 0.0f, 0.0f)));
    ExpectNear(h.child->GetNodeTM(450), TurnZ(0.0f, Point3(300.0f, 0.0f, 90.0f)));
}

TEST(HostKeyControl, TensionContinuityBiasAndEaseShapeTheCurve)
{
    const auto at = [](const char* params, TimeValue t) {
        KeyControl c(KeyControl::Track::Float, KeyControl::Interpolation::TCB);
        std::vector<HostKey> keys(3);
        const float values[] = {0.0f, 10.0f, 0.0f};
        for (int i = 0; i < 3; ++i) {
            keys[size_t(i)].time = i * 100;
            keys[size_t(i)].value.x = values[i];
        }
        std::string p = params;
        if (p == "tension")
            keys[0].tens = keys[1].tens = 1.0f;
        if (p == "ease")
            keys[0].easeOut = 50.0f;
        if (p == "continuity")
            keys[1].cont = 1.0f;
        if (p == "bias")
            keys[1].bias = -1.0f;
        c.SetKeys(keys);
        float v = 0.0f;
        Interval valid;
        c.GetValue(t, &v, valid);
        return v;
    };
    // Defaults: out of key 0 the step 10, into key 1 the mean step 0:
    // 5 + 10/8 = 6.25 at u = 1/2.
    EXPECT_NEAR(at("", 50), 6.25f, 1e-5f);
    // Full tension: zero tangents, the plain blend 5.
    EXPECT_NEAR(at("tension", 50), 5.0f, 1e-5f);
    // Ease from key 0 (50 of 50): u = 1/2 runs as 1/4; weights 27/32, 9/64, 5/32.
    EXPECT_NEAR(at("ease", 50), 10.0f * 5.0f / 32.0f + 10.0f * 9.0f / 64.0f, 1e-4f);
    // Continuity 1 at key 1: its in tangent is the next step, -10: 5 + 10/8 + 10/8.
    EXPECT_NEAR(at("continuity", 50), 7.5f, 1e-5f);
    // Bias -1 at key 1: its in tangent the next step, -10: 5 + 10/8 + 10/8.
    EXPECT_NEAR(at("bias", 50), 7.5f, 1e-5f);
    EXPECT_EQ(at("", 100), 10.0f);
    EXPECT_EQ(at("", 1000), 0.0f);
}

TEST(HostKeyControl, ConstantsKeysAndTheirOrder)
{
    KeyControl scale(KeyControl::Track::Scale, KeyControl::Interpolation::Linear);
    EXPECT_EQ(scale.Evaluate(0).value, Point3(1.0f, 1.0f, 1.0f));
    EXPECT_EQ(scale.ClassID(), LININTERP_SCALE_CLASS_ID);
    EXPECT_EQ(scale.SuperClassID(), CTRL_SCALE_CLASS_ID);
    std::vector<HostKey> keys(2);
    keys[0].time = 10;
    keys[1].time = 10;
    EXPECT_FALSE(scale.SetKeys(keys));
    EXPECT_EQ(scale.GetNumKeys(), 0);
    keys[1].time = 20;
    keys[1].value = Point3(3.0f, 3.0f, 3.0f);
    keys[0].value = Point3(1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(scale.SetKeys(keys));
    ScaleValue s;
    Interval valid;
    scale.GetValue(15, &s, valid);
    EXPECT_EQ(s.s, Point3(2.0f, 2.0f, 2.0f));
    EXPECT_EQ(valid, Interval(15, 15));
    EXPECT_EQ(KeyControl::ClassIdOf(KeyControl::Track::Rotation, KeyControl::Interpolation::TCB),
              TCBINTERP_ROTATION_CLASS_ID);
    EXPECT_EQ(KeyControl::ClassIdOf(KeyControl::Track::Float, KeyControl::Interpolation::Bezier),
              HYBRIDINTERP_FLOAT_CLASS_ID);
    EXPECT_EQ(GetOutTanType(2u << 10 | 5u << 7), BEZKEY_STEP);
    EXPECT_EQ(GetInTanType(2u << 10 | 5u << 7), 5u);
}

TEST(HostKeyControl, ScaleAlongItsAxesAndTheObjectOffset)
{
    HostScene scene;
    INode* node = scene.AddNode("n");
    auto* position =
        scene.Adopt(std::make_unique<KeyControl>(KeyControl::Track::Position, KeyControl::Interpolation::Linear));
    auto* scale =
        scene.Adopt(std::make_unique<KeyControl>(KeyControl::Track::Scale, KeyControl::Interpolation::Linear));
    HostKey k;
    k.value = Point3(2.0f, 1.0f, 1.0f);
    k.rotation = QFromAngAxis(kPi / 2, Point3(0.0f, 0.0f, 1.0f));
    scale->SetConstant(k);
    k = HostKey();
    k.value = Point3(0.0f, 0.0f, 5.0f);
    position->SetConstant(k);
    node->SetTMController(scene.Adopt(std::make_unique<PRSControl>(position, nullptr, scale)));
    // Scaling by 2 along the scale axes' x, which is the node's -y: x stays, y doubles.
    ExpectNear(node->GetNodeTM(0), Matrix3(Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 2.0f, 0.0f), Point3(0.0f, 0.0f, 1.0f),
                                           Point3(0.0f, 0.0f, 5.0f)));
    node->SetObjOffsetPos(Point3(1.0f, 0.0f, 0.0f));
    node->SetObjOffsetScale(Point3(3.0f, 3.0f, 3.0f));
    ExpectNear(node->GetObjectTM(0).GetTrans(), Point3(1.0f, 0.0f, 5.0f));
    ExpectNear(node->GetObjectTM(0).GetRow(1), Point3(0.0f, 6.0f, 0.0f));
    EXPECT_TRUE(scene.GetRootNode()->GetNodeTM(0).IsIdentity());
}

TEST(HostKeyControl, ALookAtWithoutTargetKeepsItsParentsTurn)
{
    HostScene scene;
    INode* parent = scene.AddNode("p");
    parent->SetTMController(scene.Adopt(std::make_unique<MatrixControl>(TurnZ(1.0f, Point3(1.0f, 2.0f, 3.0f)))));
    INode* node = scene.AddNode("n", parent);
    auto* position =
        scene.Adopt(std::make_unique<KeyControl>(KeyControl::Track::Position, KeyControl::Interpolation::Linear));
    HostKey k;
    k.value = Point3(1.0f, 0.0f, 0.0f);
    position->SetConstant(k);
    node->SetTMController(scene.Adopt(std::make_unique<LookAtControl>(position, nullptr, 0.0f)));
    ExpectNear(node->GetNodeTM(0), TransMatrix(Point3(1.0f, 0.0f, 0.0f)) * parent->GetNodeTM(0));
    // With a target straight below and a roll of a quarter turn.
    INode* target = scene.AddNode("t");
    node->SetTMController(scene.Adopt(std::make_unique<LookAtControl>(position, target, kPi / 2)));
    const Matrix3 m = node->GetNodeTM(0);
    ExpectNear(-m.GetRow(2), Normalize(Point3() - m.GetTrans()));
    EXPECT_NEAR(m.Determinant(), 1.0f, 1e-5f);
}

TEST(HostKeyControl, LongLookAtChainsAreCutNotFollowedForever)
{
    HostScene scene;
    std::vector<INode*> nodes;
    for (int i = 0; i < 200; ++i)
        nodes.push_back(scene.AddNode("n"));
    for (int i = 0; i < 200; ++i) {
        auto* position =
            scene.Adopt(std::make_unique<KeyControl>(KeyControl::Track::Position, KeyControl::Interpolation::Linear));
        HostKey k;
        k.value = Point3(float(i), float(i * i % 7), 1.0f);
        position->SetConstant(k);
        nodes[size_t(i)]->SetTMController(
            scene.Adopt(std::make_unique<LookAtControl>(position, nodes[size_t(i + 1) % nodes.size()], 0.0f)));
    }
    const Matrix3 m = nodes[0]->GetNodeTM(0);
    EXPECT_EQ(m.GetTrans(), Point3(0.0f, 0.0f, 1.0f));
    EXPECT_NEAR(m.Determinant(), 1.0f, 1e-4f);
    // The first node looks at the second, wherever the cut left that one's turn.
    ExpectNear(-m.GetRow(2), Normalize(Point3(1.0f, 1.0f, 1.0f) - m.GetTrans()));
}

TEST(HostKeyControl, AKeysOwnTimeGivesItsOwnValueAfterAStep)
{
    KeyControl c(KeyControl::Track::Position, KeyControl::Interpolation::Bezier);
    std::vector<HostKey> keys(3);
    for (int i = 0; i < 3; ++i) {
        keys[size_t(i)].time = i * 100;
        keys[size_t(i)].value = Point3(float(i * 10), 0.0f, 0.0f);
        keys[size_t(i)].flags = BEZKEY_STEP << 10;
    }
    c.SetKeys(keys);
    EXPECT_EQ(c.Evaluate(99).value, Point3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(c.Evaluate(100).value, Point3(10.0f, 0.0f, 0.0f));
    EXPECT_EQ(c.Evaluate(150).value, Point3(10.0f, 0.0f, 0.0f));
    EXPECT_EQ(c.Evaluate(200).value, Point3(20.0f, 0.0f, 0.0f));
}

TEST(HostKeyControl, ScaleAxesTurnBetweenTheirKeys)
{
    KeyControl c(KeyControl::Track::Scale, KeyControl::Interpolation::Linear);
    std::vector<HostKey> keys(2);
    keys[1].time = 100;
    keys[0].value = keys[1].value = Point3(2.0f, 1.0f, 1.0f);
    keys[1].rotation = QFromAngAxis(kPi / 2, Point3(0.0f, 0.0f, 1.0f));
    c.SetKeys(keys);
    ScaleValue s;
    Interval valid;
    c.GetValue(50, &s, valid);
    const Quat half = QFromAngAxis(kPi / 4, Point3(0.0f, 0.0f, 1.0f));
    EXPECT_NEAR(std::fabs(QuatDot(s.q, half)), 1.0f, 1e-6f);
    // A position track leaves the rotation alone.
    KeyControl p(KeyControl::Track::Position, KeyControl::Interpolation::Linear);
    p.SetKeys(keys);
    EXPECT_TRUE(p.Evaluate(50).rotation.IsIdentity());
}

TEST(HostKeyControl, TheKeyInterfaceFillsTheRecordOfItsKind)
{
    HostKey a, b;
    a.time = 0;
    a.flags = 5u << 7 | 1u << 10;
    a.value = Point3(1.0f, 2.0f, 3.0f);
    a.inTan = Point3(0.5f, 0.0f, 0.0f);
    a.outTan = Point3(0.25f, 0.0f, 0.0f);
    a.tens = 0.1f;
    a.cont = 0.2f;
    a.bias = 0.3f;
    a.easeIn = 4.0f;
    a.easeOut = 5.0f;
    a.rotation = QFromAngAxis(0.5f, Point3(0.0f, 0.0f, 1.0f));
    a.angleAxis.angle = 0.75f;
    b = a;
    b.time = 160;
    const auto control = [&](KeyControl::Track track, KeyControl::Interpolation kind) {
        auto c = std::make_unique<KeyControl>(track, kind);
        c->SetKeys({a, b});
        return c;
    };
    using I = KeyControl::Interpolation;
    using T = KeyControl::Track;
    {
        auto c = control(T::Position, I::Bezier);
        auto* keys = static_cast<IKeyControl*>(c->GetInterface(I_KEYCONTROL));
        ASSERT_NE(keys, nullptr);
        EXPECT_EQ(keys->GetNumKeys(), 2);
        IBezPoint3Key k;
        keys->GetKey(1, &k);
        EXPECT_EQ(k.time, 160);
        EXPECT_EQ(k.flags, a.flags);
        EXPECT_EQ(k.val, a.value);
        EXPECT_EQ(k.intan, a.inTan);
        EXPECT_EQ(k.outtan, a.outTan);
        // A record of another kind, or an index out of range, stays as it was.
        ILinPoint3Key other;
        other.time = -7;
        keys->GetKey(0, &other);
        EXPECT_EQ(other.time, -7);
        keys->GetKey(2, &k);
        EXPECT_EQ(k.time, 160);
        keys->GetKey(0, nullptr);
    }
    {
        auto c = control(T::Rotation, I::TCB);
        auto* keys = static_cast<IKeyControl*>(c->GetInterface(I_KEYCONTROL));
        ITCBRotKey k;
        keys->GetKey(0, &k);
        EXPECT_EQ(k.val.angle, 0.75f);
        EXPECT_EQ(k.tens, 0.1f);
        EXPECT_EQ(k.cont, 0.2f);
        EXPECT_EQ(k.bias, 0.3f);
        EXPECT_EQ(k.easeIn, 4.0f);
        EXPECT_EQ(k.easeOut, 5.0f);
    }
    {
        auto c = control(T::Rotation, I::Bezier);
        IBezQuatKey k;
        static_cast<IKeyControl*>(c->GetInterface(I_KEYCONTROL))->GetKey(0, &k);
        EXPECT_EQ(k.val, a.rotation);
        EXPECT_EQ(c->ClassID(), HYBRIDINTERP_ROTATION_CLASS_ID);
    }
    {
        auto c = control(T::Rotation, I::Linear);
        ILinRotKey k;
        static_cast<IKeyControl*>(c->GetInterface(I_KEYCONTROL))->GetKey(1, &k);
        EXPECT_EQ(k.val, a.rotation);
    }
    {
        auto c = control(T::Scale, I::Bezier);
        IBezScaleKey k;
        static_cast<IKeyControl*>(c->GetInterface(I_KEYCONTROL))->GetKey(0, &k);
        EXPECT_EQ(k.val.s, a.value);
        EXPECT_EQ(k.val.q, a.rotation);
        EXPECT_EQ(k.outtan, a.outTan);
    }
    {
        auto c = control(T::Scale, I::TCB);
        ITCBScaleKey k;
        static_cast<IKeyControl*>(c->GetInterface(I_KEYCONTROL))->GetKey(0, &k);
        EXPECT_EQ(k.val.s, a.value);
        EXPECT_EQ(k.bias, 0.3f);
        auto l = control(T::Scale, I::Linear);
        ILinScaleKey lk;
        static_cast<IKeyControl*>(l->GetInterface(I_KEYCONTROL))->GetKey(0, &lk);
        EXPECT_EQ(lk.val.s, a.value);
    }
    {
        auto c = control(T::Float, I::Bezier);
        IBezFloatKey k;
        static_cast<IKeyControl*>(c->GetInterface(I_KEYCONTROL))->GetKey(0, &k);
        EXPECT_EQ(k.val, 1.0f);
        EXPECT_EQ(k.intan, 0.5f);
        EXPECT_EQ(k.outtan, 0.25f);
        auto t = control(T::Float, I::TCB);
        ITCBFloatKey tk;
        static_cast<IKeyControl*>(t->GetInterface(I_KEYCONTROL))->GetKey(0, &tk);
        EXPECT_EQ(tk.val, 1.0f);
        EXPECT_EQ(tk.easeOut, 5.0f);
        auto l = control(T::Float, I::Linear);
        ILinFloatKey lk;
        static_cast<IKeyControl*>(l->GetInterface(I_KEYCONTROL))->GetKey(1, &lk);
        EXPECT_EQ(lk.val, 1.0f);
        EXPECT_EQ(lk.time, 160);
    }
    {
        auto c = control(T::Position, I::TCB);
        ITCBPoint3Key k;
        static_cast<IKeyControl*>(c->GetInterface(I_KEYCONTROL))->GetKey(0, &k);
        EXPECT_EQ(k.val, a.value);
        EXPECT_EQ(k.cont, 0.2f);
        auto l = control(T::Position, I::Linear);
        ILinPoint3Key lk;
        static_cast<IKeyControl*>(l->GetInterface(I_KEYCONTROL))->GetKey(0, &lk);
        EXPECT_EQ(lk.val, a.value);
        // Hidden keys: the controller only answers GetValue.
        l->SetKeyInterface(false);
        EXPECT_EQ(l->GetInterface(I_KEYCONTROL), nullptr);
        EXPECT_EQ(l->GetInterface(0x1234), nullptr);
    }
}

TEST(HostKeyControl, ATrackOfAnotherClassHidesItsKeysAndValuesSetAtATimeAreKeys)
{
    HostScene scene;
    const std::string text = R"({"format": "qdx-host-scene", "version": 1, "nodes": [{"id": "n", "name": "N",
        "transform": {"position": {"interpolation": "linear", "classId": ["0x1234", "0x0"], "className": "Noise",
        "keys": [{"time": 0, "value": [0, 0, 0]}, {"time": 100, "value": [10, 0, 0]}]},
        "rotation": {"interpolation": "tcb", "className": "My TCB", "keys": [{"time": 0, "angle": 1, "axis": [0, 0, 1]}]}}}]})";
    std::string error;
    ASSERT_TRUE(ReadHostScene(text.data(), text.size(), "t.json", scene, error)) << error;
    Control* prs = scene.Nodes()[0]->GetTMController();
    auto* position = dynamic_cast<KeyControl*>(prs->GetPositionController());
    ASSERT_NE(position, nullptr);
    EXPECT_EQ(position->ClassID(), Class_ID(0x1234, 0));
    EXPECT_EQ(position->ClassName(), "Noise");
    EXPECT_EQ(position->GetInterface(I_KEYCONTROL), nullptr);
    EXPECT_EQ(position->Evaluate(50).value, Point3(5.0f, 0.0f, 0.0f));
    auto* rotation = dynamic_cast<KeyControl*>(prs->GetRotationController());
    EXPECT_EQ(rotation->ClassID(), TCBINTERP_ROTATION_CLASS_ID);
    EXPECT_EQ(rotation->ClassName(), "My TCB");
    EXPECT_NE(rotation->GetInterface(I_KEYCONTROL), nullptr);

    // A Biped's transform evaluates as a PRS, its parts without keys.
    HostScene biped;
    const std::string bipedText = R"({"format": "qdx-host-scene", "version": 1, "nodes": [{"id": "b", "name": "B",
        "transform": {"classId": ["0x9156", "0x0"], "position": {"interpolation": "linear",
        "keys": [{"time": 0, "value": [0, 0, 0]}, {"time": 100, "value": [10, 0, 0]}]}}}]})";
    ASSERT_TRUE(ReadHostScene(bipedText.data(), bipedText.size(), "b.json", biped, error)) << error;
    Control* bipedPrs = biped.Nodes()[0]->GetTMController();
    EXPECT_EQ(bipedPrs->ClassID(), Class_ID(0x9156, 0));
    EXPECT_EQ(bipedPrs->GetPositionController()->GetInterface(I_KEYCONTROL), nullptr);
    EXPECT_EQ(bipedPrs->GetRotationController()->GetInterface(I_KEYCONTROL), nullptr);
    EXPECT_EQ(biped.Nodes()[0]->GetNodeTM(50).GetTrans(), Point3(5.0f, 0.0f, 0.0f));

    KeyControl weight(KeyControl::Track::Float, KeyControl::Interpolation::Bezier);
    weight.SetFloatAt(0, 25.0f);
    EXPECT_EQ(weight.NumKeys(), 0);
    EXPECT_EQ(weight.Constant().value.x, 25.0f);
    std::vector<HostKey> keys(2);
    keys[1].time = 160;
    keys[1].value.x = 100.0f;
    weight.SetKeys(keys);
    weight.SetFloatAt(160, 50.0f);
    EXPECT_EQ(weight.NumKeys(), 2);
    EXPECT_EQ(weight.Key(1).value.x, 50.0f);
    weight.SetFloatAt(80, 7.0f);
    ASSERT_EQ(weight.NumKeys(), 3);
    EXPECT_EQ(weight.Key(1).time, 80);
    EXPECT_EQ(weight.Evaluate(80).value.x, 7.0f);
    // A copy has the same keys and class, and changes alone.
    std::unique_ptr<Control> copy = weight.CloneControl();
    auto* k = dynamic_cast<KeyControl*>(copy.get());
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->NumKeys(), 3);
    k->SetFloatAt(80, 1.0f);
    EXPECT_EQ(weight.Evaluate(80).value.x, 7.0f);
    EXPECT_EQ(k->ClassID(), HYBRIDINTERP_FLOAT_CLASS_ID);
    // Validity: before the first key, after the last, else the time alone.
    EXPECT_EQ(weight.Validity(-10), Interval(TIME_NegInfinity, 0));
    EXPECT_EQ(weight.Validity(100), Interval(100, 100));
    EXPECT_EQ(weight.Validity(160), Interval(160, TIME_PosInfinity));
    KeyControl single(KeyControl::Track::Float, KeyControl::Interpolation::Linear);
    single.SetKeys({keys[0]});
    EXPECT_EQ(single.Validity(50), FOREVER);
}

TEST(HostKeyControl, BezierTangentTypesLinearTakesTheChordStepHoldsEitherWay)
{
    const auto at = [](DWORD flagsA, DWORD flagsB, TimeValue t) {
        KeyControl c(KeyControl::Track::Float, KeyControl::Interpolation::Bezier);
        std::vector<HostKey> keys(2);
        keys[0].flags = flagsA;
        keys[1].flags = flagsB;
        keys[1].time = 300;
        keys[1].value.x = 30.0f;
        keys[0].outTan.x = 1.0f;
        keys[1].inTan.x = 1.0f;
        c.SetKeys(keys);
        return c.Evaluate(t).value.x;
    };
    // Custom tangents: slope 1 out, 1 in (pointing back): at u = 1/2 the
    // Hermite weights 1/2, 1/8 (x 300), 1/2, -1/8 (x -300).
    EXPECT_NEAR(at(5u << 10, 5u << 7, 150), 15.0f + 37.5f + 37.5f, 1e-3f);
    // Linear both ways: the chord, a straight line.
    EXPECT_NEAR(at(1u << 10, 1u << 7, 150), 15.0f, 1e-4f);
    EXPECT_NEAR(at(1u << 10, 1u << 7, 100), 10.0f, 1e-4f);
    // A step out of the first key, or into the second, holds.
    EXPECT_EQ(at(2u << 10, 5u << 7, 299), 0.0f);
    EXPECT_EQ(at(5u << 10, 2u << 7, 299), 0.0f);
    EXPECT_EQ(at(5u << 10, 2u << 7, 300), 30.0f);
}
