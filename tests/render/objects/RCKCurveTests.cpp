// Curves and their points: the path against an independent model (chords,
// a double-precision Hermite evaluation, the line mesh's samples), wrapping
// of fractions, the list's rules, both sides of the link when either object
// goes, files and hostile chunks.
#include <bit>
#include <cmath>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/RCKCurve.h"
#include "render/objects/RCKCurvePoint.h"
#include "tests/render/objects/EntityTestSupport.h"

namespace {

struct Random
{
    CKDWORD seed = 7;
    int Next() { return (int) (((seed = seed * 214013u + 2531011u) >> 16) & 0x7FFF); }
    float Range(float lo, float hi) { return lo + (hi - lo) * (float) Next() / 32767.0f; }
};

bool Same(const QxVector& a, const QxVector& b)
{
    return std::bit_cast<CKDWORD>(a.x) == std::bit_cast<CKDWORD>(b.x) &&
           std::bit_cast<CKDWORD>(a.y) == std::bit_cast<CKDWORD>(b.y) &&
           std::bit_cast<CKDWORD>(a.z) == std::bit_cast<CKDWORD>(b.z);
}

// The model: Kochanek-Bartels tangents and the Hermite form in doubles.
struct V
{
    double x, y, z;
};
V operator+(V a, V b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V operator-(V a, V b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V operator*(V a, double s)
{
    return {a.x * s, a.y * s, a.z * s};
}
double Norm(V a)
{
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}

class CurveTests : public EntityFixture
{
protected:
    RCKCurve* NewCurve(const char* name = "curve")
    {
        return static_cast<RCKCurve*>(m_Context->CreateObject(CKCID_CURVE, name));
    }
    RCKCurvePoint* NewPoint(RCKCurve* curve, float x, float y, float z, const char* name = "point")
    {
        RCKCurvePoint* point = static_cast<RCKCurvePoint*>(m_Context->CreateObject(CKCID_CURVEPOINT, name));
        QxVector position(x, y, z);
        point->SetPosition(&position);
        if (curve) {
            EXPECT_EQ(curve->AddControlPoint(point), CKErr::Ok);
        }
        return point;
    }
    // Length of an open TCB curve by 10,000 samples a segment in doubles.
    static double ModelLength(const std::vector<V>& p, const std::vector<double>& t, const std::vector<double>& c,
                              const std::vector<double>& b)
    {
        const int n = (int) p.size();
        auto at = [&](int i) { return p[i < 0 ? 0 : (i >= n ? n - 1 : i)]; };
        std::vector<V> in(n), out(n);
        for (int i = 0; i < n; ++i) {
            V dp = p[i] - at(i - 1), dn = at(i + 1) - p[i];
            double k = 1 - t[i];
            in[i] = (dp * (k * (1 - c[i]) * (1 + b[i])) + dn * (k * (1 + c[i]) * (1 - b[i]))) * 0.5;
            out[i] = (dp * (k * (1 + c[i]) * (1 + b[i])) + dn * (k * (1 - c[i]) * (1 - b[i]))) * 0.5;
        }
        double length = 0;
        for (int s = 0; s + 1 < n; ++s) {
            V previous = p[s];
            for (int k = 1; k <= 10000; ++k) {
                double u = k / 10000.0;
                V x = p[s] * ((2 * u - 3) * u * u + 1) + p[s + 1] * ((3 - 2 * u) * u * u) +
                      out[s] * (u * (u - 1) * (u - 1)) + in[s + 1] * (u * u * (u - 1));
                length += Norm(x - previous);
                previous = x;
            }
        }
        return length;
    }
};

TEST_F(CurveTests, AClosedCurveWrapsFractionsBitForBitAndPromptly)
{
    RCKCurve* curve = NewCurve();
    NewPoint(curve, 0, 0, 0);
    NewPoint(curve, 10, 0, 0);
    NewPoint(curve, 10, 0, 10);
    NewPoint(curve, 0, 3, 10);
    curve->Close();
    QxVector a, b, ta, tb;
    ASSERT_EQ(curve->GetPos(1.25f, &a, &ta), CKErr::Ok);
    ASSERT_EQ(curve->GetPos(0.25f, &b, &tb), CKErr::Ok);
    EXPECT_TRUE(Same(a, b) && Same(ta, tb));
    curve->GetPos(-0.25f, &a);
    curve->GetPos(0.75f, &b);
    EXPECT_TRUE(Same(a, b));
    EXPECT_EQ(curve->GetControlPoint(0)->GetLength(), 0.0f) << "the first point stays at 0";
    // Huge, infinite and NaN fractions end at once on the curve.
    for (float s : {1e30f, -1e30f, INFINITY, -INFINITY, NAN}) {
        ASSERT_EQ(curve->GetPos(s, &a), CKErr::Ok);
        EXPECT_TRUE(std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z)) << s;
    }
    curve->Open();
    curve->GetPos(1.0f, &a);
    curve->GetPos(7.0f, &b);
    EXPECT_TRUE(Same(a, b)) << "an open curve clamps";
    EXPECT_EQ(a, QxVector(0, 3, 10));
}

TEST_F(CurveTests, LinearPointsGiveTheSumOfTheirChords)
{
    RCKCurve* curve = NewCurve();
    const float xs[][3] = {{0, 0, 0}, {3, 4, 0}, {3, 4, 12}, {-1, 2, 5}, {7, -3, 2}};
    float chords = 0.0f;
    for (int i = 0; i < 5; ++i) {
        NewPoint(curve, xs[i][0], xs[i][1], xs[i][2])->SetLinear(1);
        if (i > 0)
            chords += QxMagnitude(QxVector(xs[i][0], xs[i][1], xs[i][2]) -
                                  QxVector(xs[i - 1][0], xs[i - 1][1], xs[i - 1][2]));
    }
    EXPECT_EQ(curve->GetLength(), chords);
    QxVector middle;
    curve->GetLocalPos(3.0f / chords, &middle);
    EXPECT_NEAR(middle.x, 1.8f, 1e-5f);
    EXPECT_NEAR(middle.y, 2.4f, 1e-5f);
    CKMesh* mesh = curve->GetCurrentMesh();
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetLineCount(), 4) << "one mesh segment per straight segment";
    EXPECT_TRUE(mesh->GetObjectFlags() & CK_OBJECT_NOTTOBESAVED);
    EXPECT_STREQ(mesh->GetName(), "curveLineMesh");
}

TEST_F(CurveTests, ATcbCurveMeasuresWhatADoubleModelMeasures)
{
    RCKCurve* curve = NewCurve();
    Random random;
    std::vector<V> p;
    std::vector<double> t, c, b;
    for (int i = 0; i < 8; ++i) {
        float x = random.Range(-50, 50), y = random.Range(-50, 50), z = random.Range(-50, 50);
        RCKCurvePoint* point = NewPoint(curve, x, y, z);
        point->SetTension(random.Range(-0.5f, 0.5f));
        point->SetContinuity(random.Range(-0.5f, 0.5f));
        point->SetBias(random.Range(-0.5f, 0.5f));
        p.push_back({x, y, z});
        t.push_back(point->GetTension());
        c.push_back(point->GetContinuity());
        b.push_back(point->GetBias());
    }
    const double model = ModelLength(p, t, c, b);
    EXPECT_NEAR(curve->GetLength(), model, model * 0.001);
}

TEST_F(CurveTests, LineMeshVerticesAreSamplesOfTheSegments)
{
    RCKCurve* curve = NewCurve();
    NewPoint(curve, 0, 0, 0);
    NewPoint(curve, 4, 1, 0)->SetLinear(1);
    NewPoint(curve, 8, 0, 3);
    NewPoint(curve, 9, 5, 3);
    curve->SetStepCount(20);
    curve->SetFittingCoeff(0.25f);
    const float length = curve->GetLength();
    CKMesh* mesh = curve->GetCurrentMesh();
    std::vector<QxVector> expected;
    for (int s = 0; s < 3; ++s) {
        RCKCurvePoint* p = static_cast<RCKCurvePoint*>(curve->GetControlPoint(s));
        RCKCurvePoint* q = static_cast<RCKCurvePoint*>(curve->GetControlPoint(s + 1));
        const float end = s == 2 ? length : q->GetLength();
        int m = p->IsLinear() ? 1 : (int) (20.0f * (1.0f / length) * (end - p->GetLength()));
        m = m < 1 ? 1 : m;
        QxVector ta, tb;
        p->GetTangents(nullptr, &ta);
        q->GetTangents(&tb, nullptr);
        for (int j = 0; j < m; ++j) {
            const float u = (float) j / (float) m;
            const float u2 = u * u;
            expected.push_back(p->m_FittedPosition * ((2.0f * u - 3.0f) * u2 + 1.0f) +
                               q->m_FittedPosition * ((3.0f - 2.0f * u) * u2) + ta * (u * (u - 1.0f) * (u - 1.0f)) +
                               tb * (u2 * (u - 1.0f)));
        }
    }
    expected.push_back(static_cast<RCKCurvePoint*>(curve->GetControlPoint(3))->m_FittedPosition);
    ASSERT_EQ(mesh->GetVertexCount(), (int) expected.size());
    EXPECT_EQ(mesh->GetLineCount(), (int) expected.size() - 1);
    for (int i = 0; i < (int) expected.size(); ++i) {
        QxVector v;
        mesh->GetVertexPosition(i, &v);
        EXPECT_TRUE(Same(v, expected[i])) << i;
    }
    EXPECT_EQ(mesh->GetVertexColor(0), 0xFFFFFFFFu);
    curve->SetColor(QxColor(1.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_EQ(mesh->GetVertexColor(3), 0xFFFF0000u);
}

TEST_F(CurveTests, CoincidentAndTooFewPointsGiveFiniteMeshes)
{
    RCKCurve* curve = NewCurve();
    QxVector position;
    EXPECT_EQ(curve->GetLength(), 0.0f);
    EXPECT_EQ(curve->GetPos(0.5f, &position), CKErr::InvalidParameter);
    CKMesh* mesh = curve->GetCurrentMesh();
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetVertexCount(), 101);
    for (int i = 0; i < 3; ++i)
        NewPoint(curve, 1, 2, 3);
    curve->Close();
    EXPECT_EQ(curve->GetLength(), 0.0f);
    EXPECT_EQ(mesh->GetLineCount(), 3) << "one segment each";
    for (int i = 0; i < mesh->GetVertexCount(); ++i) {
        mesh->GetVertexPosition(i, &position);
        EXPECT_EQ(position, QxVector(1, 2, 3));
    }
    curve->SetStepCount(0x7FFFFFFF);
    EXPECT_LE(curve->GetLength(), 0.0f);
    EXPECT_LE(mesh->GetVertexCount(), CK_CURVE_MAXMESHSTEPS + 4) << "a huge step count is drawn bounded";
}

TEST_F(CurveTests, TheListKeepsOrderAndRefusesDuplicates)
{
    RCKCurve* curve = NewCurve();
    RCKCurvePoint* a = NewPoint(curve, 0, 0, 0);
    RCKCurvePoint* b = NewPoint(curve, 1, 0, 0);
    RCKCurvePoint* c = NewPoint(curve, 2, 0, 0);
    RCKCurvePoint* x = NewPoint(nullptr, 5, 5, 5);
    RCKCurvePoint* y = NewPoint(nullptr, 6, 6, 6);
    EXPECT_EQ(curve->InsertControlPoint(b, x), CKErr::Ok);
    EXPECT_EQ(curve->InsertControlPoint(y, y), CKErr::Ok) << "a before not in the list appends";
    EXPECT_EQ(curve->AddControlPoint(a), CKErr::AlreadyPresent);
    EXPECT_EQ(curve->AddControlPoint(nullptr), CKErr::InvalidParameter);
    const CKCurvePoint* order[] = {a, x, b, c, y};
    ASSERT_EQ(curve->GetControlPointCount(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(curve->GetControlPoint(i), order[i]);
    EXPECT_EQ(curve->GetControlPoint(-1), nullptr);
    EXPECT_EQ(x->GetCurve(), curve);
    EXPECT_EQ(x->GetParent(), curve);
    EXPECT_TRUE(curve->IsObjectUsed(x, CKCID_CURVEPOINT));
    EXPECT_EQ(curve->RemoveControlPoint(x), CKErr::Ok);
    EXPECT_EQ(x->GetCurve(), nullptr);
    EXPECT_EQ(curve->GetTangents(4, nullptr, nullptr), CKErr::InvalidParameter);
}

TEST_F(CurveTests, PointChangesMarkTheCurveAndUserTangentsStay)
{
    RCKCurve* curve = NewCurve();
    RCKCurvePoint* a = NewPoint(curve, 0, 0, 0);
    RCKCurvePoint* b = NewPoint(curve, 4, 0, 0);
    NewPoint(curve, 4, 0, 4);
    curve->GetLength();
    EXPECT_TRUE(curve->GetObjectFlags() & CK_OBJECT_UPTODATE);
    a->Translate3f(0, 1, 0);
    EXPECT_FALSE(curve->GetObjectFlags() & CK_OBJECT_UPTODATE);
    curve->GetLength();
    const QxVector in(1, 2, 3), out(4, 5, 6);
    b->UseTCB(0);
    EXPECT_FALSE(b->IsTCB());
    b->SetTangents(&in, &out);
    curve->GetLength();
    QxVector gotIn, gotOut;
    b->GetTangents(&gotIn, &gotOut);
    EXPECT_EQ(gotIn, in);
    EXPECT_EQ(gotOut, out);
    b->UseTCB(5);
    EXPECT_TRUE(b->IsTCB());
    // The bias derived from a pair of tangents gives them back.
    b->SetTension(0.25f);
    curve->GetLength();
    QxVector tin, tout;
    curve->GetTangents(1, &tin, &tout);
    b->SetBias(0.0f);
    ASSERT_EQ(curve->SetTangentsByPoint(b, &tin, &tout), CKErr::Ok);
    curve->GetLength();
    QxVector again;
    curve->GetTangents(1, nullptr, &again);
    EXPECT_NEAR(again.x, tout.x, 1e-4f);
    EXPECT_NEAR(again.z, tout.z, 1e-4f);
}

TEST_F(CurveTests, EitherSideGoingLeavesTheOtherClean)
{
    RCKCurve* curve = NewCurve();
    std::vector<RCKCurvePoint*> points;
    for (int i = 0; i < 4; ++i)
        points.push_back(NewPoint(curve, (float) i, 0, (float) (i * i)));
    curve->GetLength();
    m_Context->DestroyObject(points[1]);
    EXPECT_EQ(curve->GetControlPointCount(), 3);
    points.erase(points.begin() + 1);
    m_Context->DestroyObject(curve);
    for (RCKCurvePoint* point : points) {
        EXPECT_EQ(point->GetCurve(), nullptr);
        point->SetTension(0.5f);
        point->Translate3f(1, 1, 1);
    }
}

TEST_F(CurveTests, FiftyCurvesComeBackFromAFileBitForBit)
{
    Random random;
    std::vector<CKObject*> curves;
    for (int k = 0; k < 50; ++k) {
        RCKCurve* curve = NewCurve(("curve " + std::to_string(k)).c_str());
        for (int i = 0; i < 20; ++i) {
            RCKCurvePoint* point = NewPoint(curve, random.Range(-9, 9), random.Range(-9, 9), random.Range(-9, 9),
                                            ("p" + std::to_string(k) + "_" + std::to_string(i)).c_str());
            point->SetTension(random.Range(-1, 1));
            point->SetContinuity(random.Range(-1, 1));
            point->SetBias(random.Range(-1, 1));
            point->SetLinear(random.Next() % 5 == 0);
            if (random.Next() % 4 == 0) {
                QxVector in(random.Range(-3, 3), 0, 1), out(0, random.Range(-3, 3), 2);
                point->UseTCB(0);
                point->SetTangents(&in, &out);
            }
        }
        if (k % 2)
            curve->Close();
        curve->SetFittingCoeff(k % 3 ? 0.0f : random.Range(0, 0.5f));
        curve->SetStepCount(10 + k);
        curves.push_back(curve);
    }
    CKContext* loaded = SaveAndLoad(curves);
    for (int k = 0; k < 50; ++k) {
        RCKCurve* a = static_cast<RCKCurve*>(curves[k]);
        RCKCurve* b = Find<RCKCurve>(loaded, a->GetName(), CKCID_CURVE);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->IsOpen(), a->IsOpen());
        EXPECT_EQ(b->GetStepCount(), a->GetStepCount());
        EXPECT_EQ(b->GetFittingCoeff(), a->GetFittingCoeff());
        ASSERT_EQ(b->GetControlPointCount(), 20);
        for (int i = 0; i < 20; ++i) {
            CKCurvePoint* p = a->GetControlPoint(i);
            CKCurvePoint* q = b->GetControlPoint(i);
            EXPECT_STREQ(q->GetName(), p->GetName());
            EXPECT_EQ(q->GetCurve(), b);
            EXPECT_EQ(q->GetTension(), p->GetTension());
            EXPECT_EQ(q->GetContinuity(), p->GetContinuity());
            EXPECT_EQ(q->GetBias(), p->GetBias());
            EXPECT_EQ(q->IsLinear(), p->IsLinear());
            EXPECT_EQ(q->IsTCB(), p->IsTCB());
        }
        for (int s = 0; s <= 100; ++s) {
            QxVector x, y, tx, ty;
            a->GetPos((float) s / 100.0f, &x, &tx);
            b->GetPos((float) s / 100.0f, &y, &ty);
            ASSERT_TRUE(Same(x, y) && Same(tx, ty)) << k << " " << s;
        }
    }
}

TEST_F(CurveTests, ChunksWithoutAFileCarryThePointsAndHostileOnesAreRefused)
{
    RCKCurve* curve = NewCurve();
    RCKCurvePoint* a = NewPoint(curve, 0, 0, 0);
    NewPoint(curve, 3, 0, 0);
    a->SetTension(0.75f);
    CKStateChunk* chunk = CKSaveObjectState(curve, 0xFFFFFFFF);
    ASSERT_NE(chunk, nullptr);
    a->SetTension(0.0f);
    curve->SetStepCount(7);
    ASSERT_EQ(curve->Load(chunk, nullptr), CKErr::Ok);
    EXPECT_EQ(a->GetTension(), 0.75f) << "the embedded state";
    EXPECT_EQ(curve->GetStepCount(), 100);

    // Every prefix of the chunk loads into a fresh curve without harm.
    const int words = chunk->GetDataSize() / 4;
    for (int n = 0; n < words; ++n) {
        CKStateChunk cut(CKCID_CURVE, nullptr);
        cut.StartWrite();
        cut.SetDataVersion(chunk->GetDataVersion());
        for (int i = 0; i < n; ++i)
            cut.WriteDword(chunk->GetBuffer()[i]);
        cut.CloseChunk();
        RCKCurve* fresh = NewCurve("fresh");
        fresh->Load(&cut, nullptr);
        EXPECT_LE(fresh->GetControlPointCount(), 2);
        fresh->GetLength();
        m_Context->DestroyObject(fresh);
    }
    CKDeleteStateChunk(chunk);

    // A list naming an object of another class keeps only the points.
    RCK3dEntity* stranger = NewEntity("stranger");
    CKStateChunk list(CKCID_CURVE, nullptr);
    list.StartWrite();
    list.SetDataVersion(4);
    list.WriteIdentifier(CK_STATESAVE_CURVECONTROLPOINT);
    list.StartObjectIDSequence(3);
    list.WriteObjectSequenceItem(stranger);
    list.WriteObjectSequenceItem(a);
    list.WriteObjectSequenceItem(curve);
    list.CloseChunk();
    RCKCurve* other = NewCurve("other");
    other->Load(&list, nullptr);
    ASSERT_EQ(other->GetControlPointCount(), 1);
    EXPECT_EQ(other->GetControlPoint(0), a);
}

TEST_F(CurveTests, AnOlderPointChunkMovesThePoint)
{
    RCKCurve* curve = NewCurve();
    RCKCurvePoint* point = NewPoint(nullptr, 0, 0, 0);
    CKStateChunk chunk(CKCID_CURVEPOINT, nullptr);
    chunk.StartWrite();
    chunk.SetDataVersion(4);
    chunk.WriteIdentifier(CK_STATESAVE_CURVEPOINTDEFAULTDATA);
    chunk.WriteObject(curve);
    chunk.WriteInt(1);
    chunk.WriteInt(1);
    chunk.WriteVector(QxVector(2, 3, 4));
    chunk.WriteIdentifier(CK_STATESAVE_CURVEPOINTTCB);
    chunk.WriteFloat(0.5f);
    chunk.WriteFloat(0.25f);
    chunk.WriteFloat(-0.5f);
    chunk.CloseChunk();
    ASSERT_EQ(point->Load(&chunk, nullptr), CKErr::Ok);
    QxVector position;
    point->GetPosition(&position);
    EXPECT_EQ(position, QxVector(2, 3, 4));
    EXPECT_EQ(point->GetCurve(), curve);
    EXPECT_FALSE(point->IsTCB());
    EXPECT_TRUE(point->IsLinear());
    EXPECT_EQ(point->GetBias(), -0.5f);
}

} // namespace
