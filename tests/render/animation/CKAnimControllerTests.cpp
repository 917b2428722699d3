#include "render/animation/CKAnimController.h"

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "render/animation/CKKeyedController.h"
#include "render/animation/CKMorphController.h"

namespace {

using Vec = std::array<double, 4>;

// An independent model of the curves, in double precision.

double Ease(double u, double easeOut, double easeIn)
{
    double a = std::clamp(easeOut / 50.0, 0.0, 1.0), b = std::clamp(easeIn / 50.0, 0.0, 1.0);
    if (a + b == 0.0)
        return u;
    if (a + b > 1.0) {
        const double s = a + b;
        a /= s;
        b /= s;
    }
    const double k = 1.0 / (2.0 - a - b);
    if (u < a)
        return k * u * u / a;
    if (u < 1.0 - b)
        return k * (2.0 * u - a);
    return 1.0 - k * (1.0 - u) * (1.0 - u) / b;
}

Vec Hermite(double u, const Vec& p0, const Vec& d0, const Vec& p1, const Vec& d1)
{
    Vec r{};
    for (int i = 0; i < 4; ++i)
        r[i] = (2 * u * u * u - 3 * u * u + 1) * p0[i] + (u * u * u - 2 * u * u + u) * d0[i] +
               (-2 * u * u * u + 3 * u * u) * p1[i] + (u * u * u - u * u) * d1[i];
    return r;
}

Vec Sub(const Vec& a, const Vec& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2], a[3] - b[3]};
}

Vec Mix(const Vec& a, double s, const Vec& b, double t)
{
    return {a[0] * s + b[0] * t, a[1] * s + b[1] * t, a[2] * s + b[2] * t, a[3] * s + b[3] * t};
}

// Quaternions (x, y, z, w).
Vec QMul(const Vec& a, const Vec& b)
{
    return {
        a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1], a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
        a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3], a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

Vec QConj(const Vec& q)
{
    return {-q[0], -q[1], -q[2], q[3]};
}

Vec QLog(const Vec& q)
{
    const double l = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    if (l == 0.0)
        return {0, 0, 0, 0};
    const double s = std::atan2(l, q[3]) / l;
    return {q[0] * s, q[1] * s, q[2] * s, 0};
}

Vec QExp(const Vec& v)
{
    const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    const double s = l > 1e-9 ? std::sin(l) / l : 1.0;
    return {v[0] * s, v[1] * s, v[2] * s, std::cos(l)};
}

Vec QNormalize(const Vec& q)
{
    const double l = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    return {q[0] / l, q[1] / l, q[2] / l, q[3] / l};
}

Vec Slerp(double t, const Vec& a, Vec b)
{
    double c = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    if (c < 0) {
        c = -c;
        b = Mix(b, -1.0, b, 0.0);
    }
    if (c > 0.99)
        return QNormalize(Mix(a, 1 - t, b, t));
    const double th = std::acos(c);
    return QNormalize(Mix(a, std::sin((1 - t) * th) / std::sin(th), b, std::sin(t * th) / std::sin(th)));
}

Vec LogDif(const Vec& a, const Vec& b)
{
    Vec d = QMul(QConj(a), b);
    if (d[3] < 0)
        d = Mix(d, -1.0, d, 0.0);
    return QLog(d);
}

struct RefKey
{
    double t;
    Vec v;
    double tension, continuity, bias, easeIn, easeOut;
    unsigned flags;
    Vec in, out;
};

enum Kind
{
    Linear,
    TCB,
    Bezier
};

Vec Reference(const std::vector<RefKey>& k, Kind kind, bool rotation, double time)
{
    const int n = (int) k.size();
    if (time <= k[0].t)
        return k[0].v;
    if (time >= k[n - 1].t)
        return k[n - 1].v;
    int i = 0;
    while (k[i + 1].t <= time)
        ++i;
    double u = (time - k[i].t) / (k[i + 1].t - k[i].t);
    Vec r;
    if (kind == Linear) {
        r = rotation ? Slerp(u, k[i].v, k[i + 1].v) : Mix(k[i].v, 1 - u, k[i + 1].v, u);
    } else if (kind == TCB) {
        u = Ease(u, k[i].easeOut, k[i + 1].easeIn);
        auto weights = [&](int j) {
            const double t = 1 - k[j].tension, c = k[j].continuity, b = k[j].bias;
            return std::array<double, 4>{t * (1 + c) * (1 + b) / 2, t * (1 - c) * (1 - b) / 2,
                                         t * (1 - c) * (1 + b) / 2, t * (1 + c) * (1 - b) / 2};
        };
        if (rotation) {
            auto controls = [&](int j, bool outgoing) {
                Vec lNext = j + 1 < n ? LogDif(k[j].v, k[j + 1].v) : LogDif(k[j - 1].v, k[j].v);
                Vec lPrev = j > 0 ? LogDif(k[j - 1].v, k[j].v) : lNext;
                auto w = weights(j);
                if (outgoing)
                    return QMul(k[j].v, QExp(Mix(Sub(Mix(lPrev, w[0], lNext, w[1]), lNext), 0.5, lNext, 0)));
                return QMul(k[j].v, QExp(Mix(Sub(lPrev, Mix(lPrev, w[2], lNext, w[3])), 0.5, lNext, 0)));
            };
            const Vec a = controls(i, true), b = controls(i + 1, false);
            r = Slerp(2 * u * (1 - u), Slerp(u, k[i].v, k[i + 1].v), Slerp(u, a, b));
        } else {
            const Vec d = Sub(k[i + 1].v, k[i].v);
            const Vec dPrev = i > 0 ? Sub(k[i].v, k[i - 1].v) : d;
            const Vec dNext = i + 2 < n ? Sub(k[i + 2].v, k[i + 1].v) : d;
            auto wa = weights(i), wb = weights(i + 1);
            r = Hermite(u, k[i].v, Mix(dPrev, wa[0], d, wa[1]), k[i + 1].v, Mix(d, wb[2], dNext, wb[3]));
        }
    } else {
        const double dt = k[i + 1].t - k[i].t;
        if ((k[i].flags & 0x40000) || (k[i + 1].flags & 0x4))
            return k[i].v;
        const Vec chord = Sub(k[i + 1].v, k[i].v);
        const Vec d0 = (k[i].flags & 0x20000) ? chord : Mix(k[i].out, dt, chord, 0);
        const Vec d1 = (k[i + 1].flags & 0x2) ? chord : Mix(k[i + 1].in, -dt, chord, 0);
        r = Hermite(u, k[i].v, d0, k[i + 1].v, d1);
        if (rotation)
            r = QNormalize(r);
    }
    return r;
}

// One row per type code: its interpolation and value size.
struct TypeRow
{
    CKDWORD type;
    Kind kind;
    int floats;
};

const TypeRow kTypes[] = {
    {CKANIMATION_LINEARPOSITION_CONTROL, Linear, 3}, {CKANIMATION_TCBPOSITION_CONTROL, TCB, 3},
    {CKANIMATION_BEZIERPOSITION_CONTROL, Bezier, 3}, {CKANIMATION_LINEARROTATION_CONTROL, Linear, 4},
    {CKANIMATION_TCBROTATION_CONTROL, TCB, 4},       {CKANIMATION_BEZIERROTATION_CONTROL, Bezier, 4},
    {CKANIMATION_LINEARSCALE_CONTROL, Linear, 3},    {CKANIMATION_TCBSCALE_CONTROL, TCB, 3},
    {CKANIMATION_BEZIERSCALE_CONTROL, Bezier, 3},    {CKANIMATION_LINEARSCALEAXIS_CONTROL, Linear, 4},
    {CKANIMATION_TCBSCALEAXIS_CONTROL, TCB, 4},      {CKANIMATION_BEZIERSCALEAXIS_CONTROL, Bezier, 4},
    {CKANIMATION_LINEARFLOAT_CONTROL, Linear, 1},    {CKANIMATION_TCBFLOAT_CONTROL, TCB, 1},
    {CKANIMATION_BEZIERFLOAT_CONTROL, Bezier, 1},
};

// Keys of varied values and parameters, added in a scrambled order.
std::vector<RefKey> MakeKeys(const TypeRow& row)
{
    std::vector<RefKey> keys;
    const double times[] = {0, 4, 5, 12, 20};
    for (int i = 0; i < 5; ++i) {
        RefKey k{};
        k.t = times[i];
        for (int c = 0; c < row.floats; ++c)
            k.v[c] = std::sin(1.3 * i + 0.7 * c) * (c + 1);
        if (row.floats == 4)
            k.v = QNormalize(k.v);
        k.tension = 0.2 * (i % 3) - 0.1;
        k.continuity = 0.15 * (i % 2) - 0.05;
        k.bias = -0.3 + 0.1 * i;
        k.easeIn = i == 2 ? 20 : 0;
        k.easeOut = i == 1 ? 30 : 0;
        k.flags = i == 3 ? 0x20002u : (i == 4 ? 0x40001u : 0x10001u);
        for (int c = 0; c < row.floats; ++c) {
            k.in[c] = 0.1 * std::cos(i + c);
            k.out[c] = -0.2 * std::sin(i - c);
        }
        keys.push_back(k);
    }
    return keys;
}

template <class T>
T ValueOf(const Vec& v)
{
    float f[4] = {(float) v[0], (float) v[1], (float) v[2], (float) v[3]};
    T value;
    std::memcpy(&value, f, sizeof(T));
    return value;
}

template <class T>
int AddKeyOfKind(CKAnimController* c, const RefKey& k, Kind kind)
{
    if (kind == Linear) {
        const CKLinearKey<T> key((float) k.t, ValueOf<T>(k.v));
        return c->AddKey(&key);
    }
    if (kind == TCB) {
        const CKTCBKey<T> key((float) k.t, ValueOf<T>(k.v), (float) k.tension, (float) k.continuity, (float) k.bias,
                              (float) k.easeIn, (float) k.easeOut);
        return c->AddKey(&key);
    }
    const CKBezierKey<T> key((float) k.t, ValueOf<T>(k.v), k.flags, ValueOf<T>(k.in), ValueOf<T>(k.out));
    return c->AddKey(&key);
}

int AddRefKey(CKAnimController* c, const TypeRow& row, const RefKey& k)
{
    if (row.floats == 1)
        return AddKeyOfKind<float>(c, k, row.kind);
    if (row.floats == 3)
        return AddKeyOfKind<QxVector>(c, k, row.kind);
    return AddKeyOfKind<QxQuaternion>(c, k, row.kind);
}

std::unique_ptr<CKAnimController> Keyed(const TypeRow& row, const std::vector<RefKey>& keys)
{
    std::unique_ptr<CKAnimController> c(CKCreateAnimController(row.type));
    for (int i : {3, 0, 4, 1, 2})
        AddRefKey(c.get(), row, keys[(size_t) i]);
    return c;
}

// The controller's saved form and a controller of the same type read back
// from it (nullptr when the read failed).
std::vector<CKDWORD> Saved(CKAnimController& c)
{
    CKStateChunk chunk(0, nullptr);
    chunk.StartWrite();
    c.Write(chunk);
    chunk.CloseChunk();
    chunk.StartRead();
    const int n = CKChunkRemainingWords(chunk);
    const CKDWORD* data = chunk.LockReadBuffer(n);
    return std::vector<CKDWORD>(data, data + n);
}

CKERROR ReadBack(CKAnimController& into, const std::vector<CKDWORD>& words)
{
    CKStateChunk chunk(0, nullptr);
    chunk.StartWrite();
    for (CKDWORD w : words)
        chunk.WriteDword(w);
    chunk.CloseChunk();
    chunk.StartRead();
    return into.Read(chunk);
}

} // namespace

TEST(CKAnimController, EveryTypeKeepsKeysInTimeOrderAndReplacesAKeyAtTheSameTime)
{
    for (const TypeRow& row : kTypes) {
        SCOPED_TRACE(row.type);
        const std::vector<RefKey> keys = MakeKeys(row);
        std::unique_ptr<CKAnimController> c = Keyed(row, keys);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->GetType(), row.type);
        EXPECT_EQ(c->GetValueSize(), row.floats);
        ASSERT_EQ(c->GetKeyCount(), 5);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(c->GetKey(i)->TimeStep, (float) keys[(size_t) i].t);
        RefKey again = keys[1];
        again.v = keys[3].v;
        EXPECT_EQ(AddRefKey(c.get(), row, again), 1);
        EXPECT_EQ(c->GetKeyCount(), 5) << "the value is replaced, no key added";
        float value[4] = {};
        c->Evaluate(4.0f, value);
        EXPECT_EQ(value[0], (float) keys[3].v[0]);
        RefKey bad = keys[0];
        bad.t = std::numeric_limits<double>::quiet_NaN();
        EXPECT_EQ(AddRefKey(c.get(), row, bad), -1);
        c->RemoveKey(1);
        c->RemoveKey(7);
        EXPECT_EQ(c->GetKeyCount(), 4);
        EXPECT_EQ(c->GetKey(1)->TimeStep, 5.0f);
        EXPECT_EQ(c->GetKey(4), nullptr);
    }
    EXPECT_EQ(CKCreateAnimController(0x12345601), nullptr);
}

TEST(CKAnimController, EvaluationMatchesTheModelAtAndBetweenKeysAndRotationsStayUnit)
{
    for (const TypeRow& row : kTypes) {
        SCOPED_TRACE(row.type);
        const std::vector<RefKey> keys = MakeKeys(row);
        std::unique_ptr<CKAnimController> c = Keyed(row, keys);
        float value[4] = {};
        EXPECT_FALSE(std::unique_ptr<CKAnimController>(CKCreateAnimController(row.type))->Evaluate(0.0f, value));
        for (const RefKey& k : keys) {
            ASSERT_TRUE(c->Evaluate((float) k.t, value));
            for (int i = 0; i < row.floats; ++i)
                EXPECT_EQ(value[i], (float) k.v[i]) << "exact at a key's time";
        }
        for (double t = -2.0; t <= 23.0; t += 0.37) {
            ASSERT_TRUE(c->Evaluate((float) t, value));
            const Vec expected = Reference(keys, row.kind, row.floats == 4, (float) t);
            for (int i = 0; i < row.floats; ++i)
                EXPECT_NEAR(value[i], expected[(size_t) i], 1e-5) << "at " << t << ", component " << i;
            if (row.floats == 4) {
                EXPECT_NEAR(value[0] * value[0] + value[1] * value[1] + value[2] * value[2] + value[3] * value[3], 1.0,
                            1e-6);
            }
        }
    }
}

TEST(CKAnimController, CloneCopiesKeysAndLengthAndCompareUsesTheThreshold)
{
    for (const TypeRow& row : kTypes) {
        SCOPED_TRACE(row.type);
        std::unique_ptr<CKAnimController> c = Keyed(row, MakeKeys(row));
        c->SetLength(20.0f);
        std::unique_ptr<CKAnimController> copy(CKCreateAnimController(row.type));
        EXPECT_TRUE(copy->Clone(c.get()));
        EXPECT_EQ(copy->GetKeyCount(), 5);
        EXPECT_EQ(copy->GetLength(), 20.0f);
        EXPECT_TRUE(copy->Compare(c.get(), 0.0f));
        reinterpret_cast<float*>(copy->GetKey(2) + 1)[0] += 0.001f;
        EXPECT_FALSE(copy->Compare(c.get(), 0.0001f));
        EXPECT_TRUE(copy->Compare(c.get(), 0.01f));
        const CKDWORD other =
            row.type == CKANIMATION_TCBFLOAT_CONTROL ? CKANIMATION_LINEARFLOAT_CONTROL : CKANIMATION_TCBFLOAT_CONTROL;
        std::unique_ptr<CKAnimController> stranger(CKCreateAnimController(other));
        EXPECT_FALSE(stranger->Clone(c.get())) << "another type code";
    }
}

TEST(CKAnimController, ASavedControllerReadsBackAndACutOneIsRefused)
{
    for (const TypeRow& row : kTypes) {
        SCOPED_TRACE(row.type);
        std::unique_ptr<CKAnimController> c = Keyed(row, MakeKeys(row));
        c->SetLength(21.0f);
        const std::vector<CKDWORD> words = Saved(*c);
        std::unique_ptr<CKAnimController> back(CKCreateAnimController(row.type));
        ASSERT_EQ(ReadBack(*back, words), CKErr::Ok);
        EXPECT_TRUE(back->Compare(c.get(), 0.0f));
        for (size_t cut = 0; cut < words.size(); ++cut) {
            std::unique_ptr<CKAnimController> part(CKCreateAnimController(row.type));
            const std::vector<CKDWORD> prefix(words.begin(), words.begin() + (std::ptrdiff_t) cut);
            EXPECT_NE(ReadBack(*part, prefix), CKErr::Ok) << cut;
            EXPECT_EQ(part->GetKeyCount(), 0);
        }
    }
}

TEST(CKAnimController, KeysReadOutOfOrderAreSortedAndTimesThatAreNotNumbersRefused)
{
    // Two linear float keys written as time 5 then time 1.
    const std::vector<CKDWORD> words = {2, 0, 0x40A00000u, 0x3F800000u, 0x3F800000u, 0x40000000u};
    CKLinearFloatController c(CKANIMATION_LINEARFLOAT_CONTROL);
    ASSERT_EQ(ReadBack(c, words), CKErr::Ok);
    EXPECT_EQ(c.GetKey(0)->TimeStep, 1.0f);
    EXPECT_EQ(static_cast<CKLinearKey<float>*>(c.GetKey(0))->Value, 2.0f);
    std::vector<CKDWORD> nan = words;
    nan[2] = 0x7FC00000u;
    EXPECT_EQ(ReadBack(c, nan), CKErr::InvalidFile);
    EXPECT_EQ(c.GetKeyCount(), 0);
    std::vector<CKDWORD> huge = words;
    huge[0] = 0x7FFFFFFF;
    EXPECT_EQ(ReadBack(c, huge), CKErr::InvalidFile) << "a count beyond the data";
}

TEST(CKMorphController, KeysHoldTheirVerticesAndInterpolateLinearly)
{
    CKMorphController m;
    EXPECT_EQ(m.GetType(), (CKDWORD) CKANIMATION_MORPH_CONTROL);
    m.SetMorphVertexCount(3);
    const int first = m.AddKeyAtTime(10.0f, TRUE);
    auto* k = static_cast<CKMorphKey*>(m.GetKey(first));
    for (int v = 0; v < 3; ++v)
        k->PosArray[v] = QxVector((float) v, 0, 0);
    CKMorphKey source;
    source.TimeStep = 0.0f;
    QxVector positions[3] = {QxVector(0, 2, 0), QxVector(1, 2, 0), QxVector(2, 2, 0)};
    source.PosArray = positions;
    EXPECT_EQ(m.AddKeyEx(&source, FALSE), 0) << "inserted before the first";
    EXPECT_EQ(m.GetKeyCount(), 2);
    float nothing[4] = {7, 7, 7, 7};
    EXPECT_FALSE(m.Evaluate(5.0f, nothing));
    EXPECT_EQ(nothing[0], 7.0f) << "the evaluation slot writes nothing";
    QxVector out[3];
    ASSERT_TRUE(m.EvaluateMorph(2.5f, 3, out, sizeof(QxVector)));
    EXPECT_EQ(out[2], QxVector(2, 1.5f, 0));
    EXPECT_TRUE(m.HasNormals());
    m.SetMorphVertexCount(4);
    EXPECT_EQ(static_cast<CKMorphKey*>(m.GetKey(1))->PosArray[3], QxVector()) << "a new vertex is zero";
    EXPECT_EQ(static_cast<CKMorphKey*>(m.GetKey(1))->PosArray[2], QxVector(2, 0, 0));

    const std::vector<CKDWORD> words = Saved(m);
    CKMorphController back;
    ASSERT_EQ(ReadBack(back, words), CKErr::Ok);
    EXPECT_TRUE(back.Compare(&m, 0.0f));
    for (size_t cut = 0; cut < words.size(); ++cut) {
        CKMorphController part;
        EXPECT_NE(ReadBack(part, std::vector<CKDWORD>(words.begin(), words.begin() + (std::ptrdiff_t) cut)), CKErr::Ok);
    }
    // Counts whose product with the key size passes 64 bits are refused too.
    for (CKDWORD keys : {1u, 2u, 0x5F32A243u, 0x7FFFFFFFu})
        for (CKDWORD vertices : {0x40000000u, 0x5D45D6A2u, 0x7FFFFFFFu}) {
            std::vector<CKDWORD> huge = words;
            huge[0] = keys;
            huge[2] = vertices;
            CKMorphController part;
            EXPECT_EQ(ReadBack(part, huge), CKErr::InvalidFile) << keys << " keys of " << vertices << " vertices";
            EXPECT_EQ(part.GetKeyCount(), 0);
        }
}
