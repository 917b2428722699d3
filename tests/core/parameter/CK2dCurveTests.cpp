#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKDefines.h"
#include "core/context/CKStartUp.h"
#include "core/parameter/CK2dCurve.h"
#include "tests/core/parameter/ParameterTestSupport.h"

namespace {

// State chunks draw on the engine's allocator and log source.
class Curve2D : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(CKStartUp(), 0); }
    void TearDown() override { CKShutdown(); }
};

CK2dCurve CurveOf(std::initializer_list<Qx2DVector> points)
{
    CK2dCurve curve;
    curve.Resize(0);
    for (const Qx2DVector& p : points)
        curve.AddControlPoint(p);
    return curve;
}

// A curve of 3 to 6 points, x spread over 0..1, with tension, continuity
// and bias, user tangents (some with x 0, which makes x along a segment a
// cubic to be solved) and straight segments.
CK2dCurve RandomCurve(std::mt19937& rng)
{
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_real_distribution<float> signed_(-1.0f, 1.0f);
    int n = 3 + (int) (rng() % 4);
    CK2dCurve curve;
    curve.Resize(0);
    for (int i = 0; i < n; ++i)
        curve.AddControlPoint(Qx2DVector((i + 0.15f + 0.7f * unit(rng)) / n, unit(rng)));
    for (int i = 0; i < n; ++i) {
        CK2dCurvePoint* p = curve.GetControlPoint(i);
        p->SetTCB(0.5f * signed_(rng), 0.5f * signed_(rng), 0.5f * signed_(rng));
        if (rng() % 2) {
            p->SetUserTangents(TRUE);
            float inX = rng() % 2 ? 0.0f : 0.1f + unit(rng);
            float outX = rng() % 2 ? 0.0f : 0.1f + unit(rng);
            p->SetTangents(Qx2DVector(inX, 0.3f * signed_(rng)), Qx2DVector(outX, 0.3f * signed_(rng)));
        }
        if (rng() % 5 == 0)
            p->SetLinear(TRUE);
    }
    curve.SetFittingCoeff(0.25f * unit(rng));
    curve.Update();
    return curve;
}

struct Solved
{
    double y;
    double slope; // dy/dx at the solution
};

// Evaluation written independently: the segment around x, then t solved by
// bisection in double precision (x grows along every segment).
Solved Reference(const CK2dCurve& curve, float xf)
{
    double x = std::min(1.0, std::max(0.0, (double) xf));
    int n = curve.GetControlPointCount();
    int k = 0;
    while (k < n && x > curve.GetControlPoint(k)->GetPosition().x)
        ++k;
    if (k == n)
        return {0.0, 0.0};
    const CK2dCurvePoint* pk = curve.GetControlPoint(k);
    const CK2dCurvePoint* pj = curve.GetControlPoint(k > 0 ? k - 1 : 0);
    double xj = pj->GetPosition().x, yj = pj->GetPosition().y;
    double xk = pk->GetPosition().x, yk = pk->GetPosition().y;
    auto clamp = [](double y) { return std::min(1.0, std::max(0.0, y)); };
    if (xk == xj)
        return {clamp(yj), 0.0};
    if (pj->IsLinear())
        return {clamp(yj + (yk - yj) * (x - xj) / (xk - xj)), (yk - yj) / (xk - xj)};
    auto at = [&](double t, double pj_, double pk_, double out, double in) {
        return (2 * t * t * t - 3 * t * t + 1) * pj_ + (3 - 2 * t) * t * t * pk_ + (t * t * t - 2 * t * t + t) * out +
               (t * t * t - t * t) * in;
    };
    auto X = [&](double t) { return at(t, xj, xk, pj->GetOutTangent().x, pk->GetInTangent().x); };
    auto Y = [&](double t) { return at(t, yj, yk, pj->GetOutTangent().y, pk->GetInTangent().y); };
    double lo = 0.0, hi = 1.0;
    for (int i = 0; i < 200; ++i) {
        double mid = 0.5 * (lo + hi);
        (X(mid) < x ? lo : hi) = mid;
    }
    double t = 0.5 * (lo + hi);
    double h = 1e-6;
    double dx = X(std::min(1.0, t + h)) - X(std::max(0.0, t - h));
    double dy = Y(std::min(1.0, t + h)) - Y(std::max(0.0, t - h));
    return {clamp(Y(t)), dx != 0.0 ? dy / dx : 1e9};
}

std::vector<CKDWORD> PayloadWords(CKStateChunk* chunk)
{
    chunk->StartRead();
    int size = chunk->SeekIdentifierAndReturnSize(256);
    std::vector<CKDWORD> words;
    for (int i = 0; i < size / 4; ++i)
        words.push_back(chunk->ReadDword());
    return words;
}

CKStateChunk* ChunkOfWords(const std::vector<CKDWORD>& words, size_t count)
{
    return HandChunk(14, 10, [&](CKStateChunk* c) {
        c->WriteIdentifier(256);
        for (size_t i = 0; i < count; ++i)
            c->WriteDword(words[i]);
    });
}

void ExpectSamePoints(const CK2dCurve& a, const CK2dCurve& b)
{
    ASSERT_EQ(a.GetControlPointCount(), b.GetControlPointCount());
    EXPECT_EQ(a.GetFittingCoeff(), b.GetFittingCoeff());
    EXPECT_EQ(a.GetLength(), b.GetLength());
    for (int i = 0; i < a.GetControlPointCount(); ++i) {
        const CK2dCurvePoint* p = a.GetControlPoint(i);
        const CK2dCurvePoint* q = b.GetControlPoint(i);
        EXPECT_EQ(p->GetPosition(), q->GetPosition()) << i;
        EXPECT_EQ(p->GetFlags(), q->GetFlags()) << i;
        EXPECT_EQ(p->GetTension(), q->GetTension());
        EXPECT_EQ(p->GetContinuity(), q->GetContinuity());
        EXPECT_EQ(p->GetBias(), q->GetBias());
        EXPECT_EQ(p->GetInTangent(), q->GetInTangent()) << i;
        EXPECT_EQ(p->GetOutTangent(), q->GetOutTangent()) << i;
        EXPECT_EQ(p->GetLength(), q->GetLength()) << i;
        EXPECT_EQ(q->GetCurve(), &b);
    }
}

} // namespace

// Compares the curve with the bisection at x = 0, 0.01 ... 1; returns the
// number of points compared.
int CompareWithReference(const CK2dCurve& curve, const char* what)
{
    int compared = 0;
    for (int i = 0; i <= 100; ++i) {
        float x = i / 100.0f;
        Solved expected = Reference(curve, x);
        // The curve stops once x is within 0.00001; where y climbs much
        // faster than x that allowance alone moves y by more than 1e-4.
        if (std::fabs(expected.slope) > 8.0)
            continue;
        EXPECT_NEAR(curve.Evaluate(x), expected.y, 1e-4) << what << " x " << x;
        ++compared;
    }
    return compared;
}

TEST_F(Curve2D, EvaluationMatchesAnIndependentBisection)
{
    std::mt19937 rng(104);
    int compared = 0;
    for (int round = 0; round < 200 && !HasFailure(); ++round)
        compared += CompareWithReference(RandomCurve(rng), ("round " + std::to_string(round)).c_str());
    EXPECT_GT(compared, 15000);

    // The default curve is the diagonal; points stay sorted; y is clamped
    // to 0..1; of equal x the earlier point answers; right of the last
    // point the answer is 0.
    CK2dCurve diagonal;
    ASSERT_EQ(diagonal.GetControlPointCount(), 2);
    EXPECT_NEAR(diagonal.GetLength(), std::sqrt(2.0f), 0.0001f);
    EXPECT_EQ(diagonal.Evaluate(-3.0f), diagonal.Evaluate(0.0f));
    EXPECT_EQ(diagonal.Evaluate(7.0f), diagonal.Evaluate(1.0f));
    CompareWithReference(diagonal, "diagonal");
    EXPECT_NEAR(diagonal.Evaluate(0.25f), 0.25f, 0.00001f);
    CK2dCurve peak = CurveOf({{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}});
    peak.GetControlPoint(0)->SetLinear(TRUE);
    EXPECT_FLOAT_EQ(peak.Evaluate(0.25f), 0.5f);
    CompareWithReference(peak, "peak");
    CK2dCurve high = CurveOf({{0.0f, 0.5f}, {0.5f, 3.0f}, {1.0f, -2.0f}});
    EXPECT_EQ(high.Evaluate(0.5f), 1.0f);
    CompareWithReference(high, "high");
    CK2dCurve step = CurveOf({{0.0f, 0.0f}, {0.5f, 0.2f}, {0.5f, 0.9f}, {1.0f, 1.0f}});
    EXPECT_EQ(step.GetControlPoint(1)->GetPosition().y, 0.2f);
    CompareWithReference(step, "step");
    CompareWithReference(CurveOf({{0.0f, 0.5f}, {0.6f, 0.5f}}), "short");
    EXPECT_EQ(CurveOf({{0.5f, 0.5f}}).Evaluate(0.5f), 0.0f) << "a single point";

    CK2dCurve curve;
    curve.AddControlPoint(Qx2DVector(0.3f, 0.8f));
    ASSERT_EQ(curve.GetControlPointCount(), 3);
    EXPECT_EQ(curve.GetControlPoint(1)->GetPosition(), Qx2DVector(0.3f, 0.8f));
    curve.GetControlPoint(1)->SetPosition(Qx2DVector(1.5f, 0.0f)); // moves past the last
    EXPECT_EQ(curve.GetControlPoint(2)->GetPosition(), Qx2DVector(1.5f, 0.0f));
    EXPECT_EQ(curve.GetControlPoint(0)->GetCurve(), &curve);
    EXPECT_EQ(curve.GetControlPoint(3), nullptr);
    EXPECT_EQ(curve.ClampIndex(-1), 0);
    EXPECT_EQ(curve.ClampIndex(5), 2);
    CK2dCurve copy(curve);
    EXPECT_EQ(copy.GetControlPoint(1)->GetCurve(), &copy);
}

TEST_F(Curve2D, DumpedCurvesReadBackExactly)
{
    std::mt19937 rng(14);
    for (int round = 0; round < 50; ++round) {
        CK2dCurve curve = RandomCurve(rng);
        CKStateChunk* chunk = curve.Dump();
        EXPECT_EQ(chunk->GetChunkClassID(), 14);
        EXPECT_EQ(chunk->GetDataVersion(), 10);
        std::vector<CKDWORD> words = PayloadWords(chunk);
        int n = curve.GetControlPointCount();
        // Stored form: a sequence of one null id per point, the fitting
        // factor, then 12 words per point marked by 0x10000000.
        ASSERT_EQ((int) words.size(), 1 + n + 1 + 12 * n);
        EXPECT_EQ(words[0], (CKDWORD) n);
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(words[1 + i], 0u);
            const CKDWORD* p = &words[2 + n + 12 * i];
            EXPECT_EQ(p[0], curve.GetControlPoint(i)->GetFlags() | 0x10000000u);
            EXPECT_EQ(std::bit_cast<float>(p[1]), curve.GetControlPoint(i)->GetPosition().x);
            EXPECT_EQ(p[6], 0u);
            EXPECT_EQ(std::bit_cast<float>(p[11]), curve.GetControlPoint(i)->GetOutTangent().y);
        }
        CK2dCurve back;
        EXPECT_EQ(back.Read(chunk), 0);
        ExpectSamePoints(curve, back);
        CKDeleteStateChunk(chunk);
    }
    CK2dCurve curve;
    EXPECT_EQ(curve.Read(nullptr), -1);
}

TEST_F(Curve2D, AnEntryWithoutItsMarkLoadsNoPoint)
{
    CK2dCurve curve = CurveOf({{0.0f, 0.0f}, {0.4f, 0.7f}, {1.0f, 1.0f}});
    CKStateChunk* chunk = curve.Dump();
    std::vector<CKDWORD> words = PayloadWords(chunk);
    CKDeleteStateChunk(chunk);
    // The middle entry keeps only its flags word, without the mark.
    words[2 + 3 + 12] = 0;
    words.erase(words.begin() + 2 + 3 + 12 + 1, words.begin() + 2 + 3 + 24);
    chunk = ChunkOfWords(words, words.size());
    CK2dCurve back;
    EXPECT_EQ(back.Read(chunk), 0);
    ASSERT_EQ(back.GetControlPointCount(), 2);
    EXPECT_EQ(back.GetControlPoint(1)->GetPosition(), Qx2DVector(1.0f, 1.0f));
    CKDeleteStateChunk(chunk);
}

TEST_F(Curve2D, EveryCutOfTheStoredFormReadsSafely)
{
    std::mt19937 rng(41);
    CK2dCurve curve = RandomCurve(rng);
    CKStateChunk* chunk = curve.Dump();
    std::vector<CKDWORD> words = PayloadWords(chunk);
    CKDeleteStateChunk(chunk);
    for (size_t cut = 0; cut < words.size(); ++cut) {
        CKStateChunk* cutChunk = ChunkOfWords(words, cut);
        CK2dCurve back;
        CKERROR err = back.Read(cutChunk);
        EXPECT_TRUE(err == 0 || err == CKErr::InvalidFile) << cut;
        EXPECT_LE(back.GetControlPointCount(), curve.GetControlPointCount()) << cut;
        CKDeleteStateChunk(cutChunk);
    }
    // A count far beyond the data allocates nothing for it.
    std::vector<CKDWORD> huge = {0x7FFFFFF0u, 0, 0};
    chunk = ChunkOfWords(huge, huge.size());
    CK2dCurve back;
    EXPECT_EQ(back.Read(chunk), CKErr::InvalidFile);
    EXPECT_EQ(back.GetControlPointCount(), 0);
    CKDeleteStateChunk(chunk);
}

TEST_F(Curve2D, TheOlderFormReadsEveryPoint)
{
    // Points stored out of order, one sub-chunk each: reading one must not
    // reorder those already read.
    struct Old
    {
        float x, y;
        int user, linear;
    } points[] = {{0.5f, 0.5f, 0, 1}, {1.0f, 1.0f, 1, 0}, {0.0f, 0.2f, 0, 0}};
    CKStateChunk* chunk = HandChunk(14, 0, [&](CKStateChunk* c) {
        c->WriteIdentifier(64);
        c->WriteFloat(0.5f);
        c->WriteIdentifier(0x3F800);
        c->WriteInt(3);
        for (const Old& p : points) {
            CKStateChunk* sub = HandChunk(0, 0, [&](CKStateChunk* s) {
                s->WriteIdentifier(16384);
                s->WriteObjectID(0);
                s->WriteInt(p.user);
                s->WriteInt(p.linear);
                s->WriteFloat(p.x);
                s->WriteFloat(p.y);
                s->WriteIdentifier(2048);
                for (float f : {0.1f, 0.0f, 0.0f}) // tension, continuity, bias
                    s->WriteFloat(f);
                s->WriteIdentifier(4096);
                for (float f : {1.0f, 2.0f, 3.0f, 4.0f})
                    s->WriteFloat(f);
            });
            c->WriteObjectID(0);
            c->WriteSubChunk(sub);
            CKDeleteStateChunk(sub);
        }
    });

    CK2dCurve curve;
    EXPECT_EQ(curve.Read(chunk), 0);
    ASSERT_EQ(curve.GetControlPointCount(), 3);
    EXPECT_EQ(curve.GetFittingCoeff(), 0.5f);
    EXPECT_EQ(curve.GetControlPoint(0)->GetPosition(), Qx2DVector(0.0f, 0.2f));
    EXPECT_EQ(curve.GetControlPoint(1)->GetPosition(), Qx2DVector(0.5f, 0.5f));
    EXPECT_TRUE(curve.GetControlPoint(1)->IsLinear());
    EXPECT_EQ(curve.GetControlPoint(2)->GetPosition(), Qx2DVector(1.0f, 1.0f));
    EXPECT_TRUE(curve.GetControlPoint(2)->HasUserTangents());
    EXPECT_EQ(curve.GetControlPoint(2)->GetTension(), 0.1f);
    // User tangents are kept, scaled to the segment: in.x becomes 0.5.
    EXPECT_EQ(curve.GetControlPoint(2)->GetInTangent(), Qx2DVector(0.5f, 1.0f));
    CKDeleteStateChunk(chunk);
}
