#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/KeyControl.h"
#include "render/animation/CKKeyedController.h"

// The host stand-in's key controllers interpolate by the formulas of the
// engine's own controllers, so that keys exported key for key animate in the
// engine exactly as in the host. Here the same keys go to both (in the
// engine's axes, times in frames, Bezier tangents per frame) and the host's
// node transform is compared with the one the engine's values make.
namespace {

constexpr float kTicksPerFrame = 160.0f;

QxVector Axes(const Point3& p)
{
    return QxVector(p.x, p.z, p.y);
}

QxQuaternion Axes(const Quat& q)
{
    return QxQuaternion(-q.x, -q.z, -q.y, q.w);
}

Point3 Back(const QxVector& v)
{
    return Point3(v.x, v.z, v.y);
}

Quat Back(const QxQuaternion& q)
{
    return Quat(-q.x, -q.z, -q.y, q.w);
}

// The engine's Bezier flags: 1 << in type low, 1 << out type high (types
// above 5 give 0).
CKDWORD Flags(DWORD hostFlags)
{
    const DWORD in = GetInTanType(hostFlags), out = GetOutTanType(hostFlags);
    return (in <= 5 ? 1u << in : 0u) | (out <= 5 ? (1u << out) << 16 : 0u);
}

template <class Key, class Value>
void Tcb(Key& k, const HostKey& h, const Value& v)
{
    k = Key(float(h.time) / kTicksPerFrame, v, h.tens, h.cont, h.bias, h.easeIn, h.easeOut);
}

// Keys at irregular times, with values, TCB parameters and tangents of
// every kind (custom, linear, step, flat).
std::vector<HostKey> Keys(KeyControl::Track track, KeyControl::Interpolation kind)
{
    const TimeValue times[] = {0, 320, 500, 1120};
    const Point3 values[] = {Point3(1.0f, 2.0f, 3.0f), Point3(4.0f, -1.0f, 2.5f), Point3(3.0f, 3.0f, -2.0f),
                             Point3(-2.0f, 0.5f, 1.0f)};
    const Point3 axes[] = {Point3(0.0f, 0.0f, 1.0f), Point3(1.0f, 2.0f, 0.5f), Point3(-1.0f, 0.0f, 1.0f),
                           Point3(0.0f, 1.0f, 0.0f)};
    const float angles[] = {0.3f, 1.1f, -0.8f, 2.0f};
    const DWORD types[4][2] = {{5, 5}, {5, 1}, {1, 2}, {6, 5}};
    std::vector<HostKey> keys(4);
    for (size_t i = 0; i < 4; ++i) {
        HostKey& k = keys[i];
        k.time = times[i];
        k.value = track == KeyControl::Track::Scale ? Point3(1.0f, 1.0f, 1.0f) + values[i] * 0.1f : values[i];
        // A scale's axes stay put: the engine's scale controllers have none.
        if (track == KeyControl::Track::Rotation)
            k.rotation = QFromAngAxis(angles[i], axes[i]);
        k.angleAxis.angle = angles[i];
        k.angleAxis.axis = axes[i];
        if (kind == KeyControl::Interpolation::TCB) {
            k.tens = 0.1f * float(i) - 0.1f;
            k.cont = 0.2f - 0.15f * float(i);
            k.bias = 0.05f * float(i);
            k.easeIn = 5.0f * float(i);
            k.easeOut = 30.0f - 10.0f * float(i);
        } else if (kind == KeyControl::Interpolation::Bezier) {
            k.flags = types[i][0] << 7 | types[i][1] << 10;
            k.inTan = Point3(0.01f, -0.02f, 0.005f) * float(i + 1);
            k.outTan = Point3(-0.015f, 0.01f, 0.02f) * float(4 - i);
        }
    }
    return keys;
}

template <class Key, class Value, class Make>
std::unique_ptr<CKKeyedController<Key>> Engine(CKDWORD type, const std::vector<HostKey>& keys, Make make)
{
    auto c = std::make_unique<CKKeyedController<Key>>(type);
    for (const HostKey& h : keys) {
        Key k;
        make(k, h);
        c->AddKey(&k);
    }
    return c;
}

} // namespace

TEST(HostKeysMatchEngine, NodeTransformsOfLinearTcbAndBezierTracksEqualTheEngines)
{
    using I = KeyControl::Interpolation;
    using T = KeyControl::Track;
    for (const I kind : {I::Linear, I::TCB, I::Bezier}) {
        SCOPED_TRACE(int(kind));
        HostScene scene;
        INode* parent = scene.AddNode("Parent");
        parent->SetTMController(
            scene.Adopt(std::make_unique<MatrixControl>(RotateZMatrix(0.4f) * TransMatrix(Point3(1.0f, -2.0f, 0.5f)))));
        INode* node = scene.AddNode("Node", parent);
        auto* position = scene.Adopt(std::make_unique<KeyControl>(T::Position, kind));
        auto* rotation = scene.Adopt(std::make_unique<KeyControl>(T::Rotation, kind));
        auto* scale = scene.Adopt(std::make_unique<KeyControl>(T::Scale, kind));
        const std::vector<HostKey> pk = Keys(T::Position, kind), rk = Keys(T::Rotation, kind),
                                   sk = Keys(T::Scale, kind);
        ASSERT_TRUE(position->SetKeys(pk));
        ASSERT_TRUE(rotation->SetKeys(rk));
        ASSERT_TRUE(scale->SetKeys(sk));
        node->SetTMController(scene.Adopt(std::make_unique<PRSControl>(position, rotation, scale)));

        // The engine's controllers fed the same keys. TCB rotations are the
        // running product of their turns; Bezier rotations go to a linear
        // controller.
        std::unique_ptr<CKAnimController> ep, er, es;
        const auto time = [](const HostKey& h) { return float(h.time) / kTicksPerFrame; };
        if (kind == I::Linear) {
            ep = Engine<CKLinearKey<QxVector>, QxVector>(CKANIMATION_LINEARPOSITION_CONTROL, pk, [&](auto& k, auto& h) {
                k = CKLinearKey<QxVector>(time(h), Axes(h.value));
            });
            es = Engine<CKLinearKey<QxVector>, QxVector>(CKANIMATION_LINEARSCALE_CONTROL, sk, [&](auto& k, auto& h) {
                k = CKLinearKey<QxVector>(time(h), Axes(h.value));
            });
        } else if (kind == I::TCB) {
            ep = Engine<CKTCBKey<QxVector>, QxVector>(CKANIMATION_TCBPOSITION_CONTROL, pk,
                                                      [&](auto& k, auto& h) { Tcb(k, h, Axes(h.value)); });
            es = Engine<CKTCBKey<QxVector>, QxVector>(CKANIMATION_TCBSCALE_CONTROL, sk,
                                                      [&](auto& k, auto& h) { Tcb(k, h, Axes(h.value)); });
        } else {
            const auto bezier = [&](auto& k, auto& h) {
                k = CKBezierKey<QxVector>(time(h), Axes(h.value), Flags(h.flags), Axes(h.inTan * kTicksPerFrame),
                                          Axes(h.outTan * kTicksPerFrame));
            };
            ep = Engine<CKBezierKey<QxVector>, QxVector>(CKANIMATION_BEZIERPOSITION_CONTROL, pk, bezier);
            es = Engine<CKBezierKey<QxVector>, QxVector>(CKANIMATION_BEZIERSCALE_CONTROL, sk, bezier);
        }
        if (kind == I::TCB) {
            Quat running;
            er = Engine<CKTCBKey<QxQuaternion>, QxQuaternion>(
                CKANIMATION_TCBROTATION_CONTROL, rk, [&](auto& k, auto& h) {
                    running *= QFromAngAxis(h.angleAxis.angle, h.angleAxis.axis);
                    Tcb(k, h, Axes(running));
                });
        } else {
            er = Engine<CKLinearKey<QxQuaternion>, QxQuaternion>(
                CKANIMATION_LINEARROTATION_CONTROL, rk,
                [&](auto& k, auto& h) { k = CKLinearKey<QxQuaternion>(time(h), Axes(h.rotation)); });
        }

        // Twenty times: before, at and between the keys, and after.
        const TimeValue times[] = {-100, 0,   40,  160, 250, 319,  320,  321,  400,  480,
                                   500,  501, 640, 777, 900, 1000, 1119, 1120, 1121, 2000};
        for (const TimeValue t : times) {
            SCOPED_TRACE(t);
            const float frame = float(t) / kTicksPerFrame;
            QxVector p, s;
            QxQuaternion q;
            ASSERT_TRUE(ep->Evaluate(frame, &p));
            ASSERT_TRUE(er->Evaluate(frame, &q));
            ASSERT_TRUE(es->Evaluate(frame, &s));
            Matrix3 r;
            Back(q).MakeMatrix(r);
            const Matrix3 engine = ScaleMatrix(Back(s)) * r * TransMatrix(Back(p)) * parent->GetNodeTM(t);
            const Matrix3 host = node->GetNodeTM(t);
            for (int row = 0; row < 4; ++row)
                for (int col = 0; col < 3; ++col)
                    EXPECT_NEAR(host[row][col], engine[row][col], 1e-5f) << row << " " << col;
        }
    }
}

TEST(HostKeysMatchEngine, FloatTracksEqualTheEngines)
{
    using I = KeyControl::Interpolation;
    for (const I kind : {I::Linear, I::TCB, I::Bezier}) {
        SCOPED_TRACE(int(kind));
        KeyControl host(KeyControl::Track::Float, kind);
        const std::vector<HostKey> keys = Keys(KeyControl::Track::Position, kind);
        host.SetKeys(keys);
        std::unique_ptr<CKAnimController> engine;
        const auto time = [](const HostKey& h) { return float(h.time) / kTicksPerFrame; };
        if (kind == I::Linear)
            engine = Engine<CKLinearKey<float>, float>(CKANIMATION_LINEARFLOAT_CONTROL, keys, [&](auto& k, auto& h) {
                k = CKLinearKey<float>(time(h), h.value.x);
            });
        else if (kind == I::TCB)
            engine = Engine<CKTCBKey<float>, float>(CKANIMATION_TCBFLOAT_CONTROL, keys,
                                                    [&](auto& k, auto& h) { Tcb(k, h, h.value.x); });
        else
            engine = Engine<CKBezierKey<float>, float>(CKANIMATION_BEZIERFLOAT_CONTROL, keys, [&](auto& k, auto& h) {
                k = CKBezierKey<float>(time(h), h.value.x, Flags(h.flags), h.inTan.x * kTicksPerFrame,
                                       h.outTan.x * kTicksPerFrame);
            });
        for (TimeValue t = -80; t <= 1200; t += 67) {
            float e = 0.0f, v = 0.0f;
            ASSERT_TRUE(engine->Evaluate(float(t) / kTicksPerFrame, &e));
            Interval valid;
            host.GetValue(t, &v, valid);
            EXPECT_NEAR(v, e, 1e-5f) << t;
        }
    }
}
