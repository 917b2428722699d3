// Selections against a brute-force scan of the points, ray picking, the
// repeated-query rules, and the iterator.
#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "core/object/XObjectPointerArray.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CKPickResult.h"
#include "render/objects/RCKSprite3D.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "render/objects/pointcloud/RCloudSelection.h"
#include "system/math/QxDistance.h"
#include "system/math/QxRay.h"
#include "tests/render/objects/EntityTestSupport.h"
#include "tests/render/objects/pointcloud/CloudTestSupport.h"
#include "tools/testdata/CubeEntity.h"

namespace {

class CloudSelectTests : public EntityFixture
{
protected:
    void SetUp() override
    {
        EntityFixture::SetUp();
        m_Rng.seed(17);
    }
    RCK3dPointCloud* Cloud(int count)
    {
        auto* cloud = static_cast<RCK3dPointCloud*>(m_Context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
        std::vector<QxVector> p = RandomPoints(m_Rng, count, QxVector(-10, -10, -10), QxVector(10, 10, 10));
        QxVector precision;
        cloud->CreateFromBuffers(count, p.data(), nullptr, nullptr, nullptr, precision);
        m_Points = WalkPoints(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize());
        return cloud;
    }
    template <class Inside>
    std::set<CKDWORD> Brute(Inside inside) const
    {
        std::set<CKDWORD> out;
        for (const WalkedPoint& w : m_Points)
            if (inside(w.Position))
                out.insert(w.Index);
        return out;
    }
    static std::set<CKDWORD> Indices(CloudSelection* s)
    {
        std::set<CKDWORD> out;
        for (int i = 0; i < s->GetPointCount(); ++i)
            out.insert(s->GetEntryPointIndex(i));
        return out;
    }
    float U(float a, float b) { return std::uniform_real_distribution<float>(a, b)(m_Rng); }
    QxVector RandomVector(float a, float b) { return QxVector(U(a, b), U(a, b), U(a, b)); }
    QxVector RandomAxis()
    {
        QxVector v = RandomVector(-1, 1);
        return v / QxMagnitude(v);
    }

    std::mt19937 m_Rng;
    std::vector<WalkedPoint> m_Points;
};

TEST_F(CloudSelectTests, TwoHundredRandomShapesSelectWhatABruteForceScanFinds)
{
    RCK3dPointCloud* cloud = Cloud(100000);
    CloudSelection* s = cloud->CreateSelection("all", 200000);
    CK3dEntity* cube = CreateCubeEntity(m_Context);
    int nonEmpty = 0;
    for (int i = 0; i < 200; ++i) {
        std::set<CKDWORD> expected;
        switch (i % 5) {
        case 0: {
            QxVector a = RandomVector(-12, 12), b = RandomVector(-12, 12);
            const QxBbox box(QxMin(a, b), QxMax(a, b));
            cloud->SelectInBox(box, s);
            expected = Brute([&](const QxVector& p) { return box.VectorIn(p) != 0; });
            break;
        }
        case 1: {
            const QxVector c = RandomVector(-10, 10);
            const float r = U(0.1f, 8);
            cloud->SelectInSphere(c, r, s);
            expected = Brute([&](const QxVector& p) { return QxDotProduct(p - c, p - c) <= r * r; });
            break;
        }
        case 2: {
            QxOBB obb;
            obb.m_Center = RandomVector(-10, 10);
            obb.m_Axis[0] = RandomAxis();
            obb.m_Axis[1] = QxNormalize(QxCrossProduct(obb.m_Axis[0], RandomAxis()));
            obb.m_Axis[2] = QxCrossProduct(obb.m_Axis[0], obb.m_Axis[1]);
            for (float& e : obb.m_Extents)
                e = U(0.2f, 6);
            cloud->SelectInOrientedBox(obb, s);
            expected = Brute([&](const QxVector& p) {
                for (int a = 0; a < 3; ++a)
                    if (std::fabs(QxDotProduct(p - obb.m_Center, obb.m_Axis[a])) > obb.m_Extents[a])
                        return false;
                return true;
            });
            break;
        }
        case 3: {
            const float angle = U(0.05f, 1.2f);
            const QxCone cone{RandomVector(-12, 12), RandomAxis(), std::cos(angle), std::sin(angle)};
            cloud->SelectInCone(cone, s);
            expected = Brute([&](const QxVector& p) {
                const QxVector v = p - cone.m_Apex;
                const float h = QxDotProduct(v, cone.m_Axis);
                return h >= 0 && h >= QxMagnitude(v) * cone.m_K1 - 1e-4f * QxMagnitude(v)
                           ? QxMagnitude(QxCrossProduct(cone.m_Axis, v)) * cone.m_K1 - h * cone.m_K2 <= 0
                           : false;
            });
            break;
        }
        default: {
            cube->SetWorldMatrix(RandomMatrix(m_Rng, false, 8.0f));
            const QxVector scale = RandomVector(0.5f, 5);
            cube->SetScale(&scale);
            cloud->SelectInEntity(cube, s);
            expected = Brute([&](const QxVector& p) {
                QxVector local;
                cube->InverseTransform(&local, &p, nullptr);
                return std::fabs(local.x) <= 1 && std::fabs(local.y) <= 1 && std::fabs(local.z) <= 1;
            });
            break;
        }
        }
        const std::set<CKDWORD> got = Indices(s);
        EXPECT_EQ((int) got.size(), s->GetPointCount()) << "no point twice, shape " << i;
        // Points on a face may go either way by a rounding: allow a few.
        std::vector<CKDWORD> differ;
        std::set_symmetric_difference(got.begin(), got.end(), expected.begin(), expected.end(),
                                      std::back_inserter(differ));
        EXPECT_LE(differ.size(), 2u) << "shape " << i % 5 << ": " << got.size() << " against " << expected.size();
        nonEmpty += !expected.empty();
    }
    EXPECT_GT(nonEmpty, 150);
}

TEST_F(CloudSelectTests, ACapacityTakesExactlyThatManyOrAllThereAre)
{
    RCK3dPointCloud* cloud = Cloud(20000);
    const QxVector c(1, 2, 3);
    const std::set<CKDWORD> all = Brute([&](const QxVector& p) { return QxDotProduct(p - c, p - c) <= 25; });
    for (int k : {0, 1, 17, (int) all.size() - 1, (int) all.size(), (int) all.size() + 50}) {
        CloudSelection* s = cloud->CreateSelection("k", k);
        EXPECT_EQ(cloud->SelectInSphere(c, 5, s), std::min<int>(k, (int) all.size())) << k;
        EXPECT_EQ(s->GetPointCount(), std::min<int>(k, (int) all.size()));
        for (int i = 0; i < s->GetPointCount(); ++i)
            EXPECT_TRUE(all.count(s->GetEntryPointIndex(i)));
        cloud->DeleteSelection(s);
    }
}

TEST_F(CloudSelectTests, ARepeatedQueryWithReplaceDoesNothingAndWithoutReplaceAppends)
{
    RCK3dPointCloud* cloud = Cloud(5000);
    auto* s = static_cast<RCloudSelection*>(cloud->CreateSelection("s", 100000));
    const QxBbox box(QxVector(-2, -2, -2), QxVector(2, 2, 2));
    const int n = cloud->SelectInBox(box, s);
    ASSERT_GT(n, 0);
    // The drawing data stays up to date when nothing is searched again.
    s->ModifyFlags(CLOUD_SELECTION_UPTODATE, 0);
    EXPECT_EQ(cloud->SelectInBox(box, s), n);
    EXPECT_TRUE(s->GetFlags() & CLOUD_SELECTION_UPTODATE) << "the same box with replace walks nothing";
    // Once the entries are gone or the capacity changed, the same box is
    // searched again.
    s->Reset();
    EXPECT_EQ(cloud->SelectInBox(box, s), n) << "after a reset";
    s->SetCapacity(n / 2);
    s->ModifyFlags(CLOUD_SELECTION_UPTODATE, 0);
    EXPECT_EQ(cloud->SelectInBox(box, s), n / 2) << "under a smaller capacity";
    EXPECT_FALSE(s->GetFlags() & CLOUD_SELECTION_UPTODATE);
    s->SetCapacity(100000);
    s->Reset();
    EXPECT_EQ(cloud->SelectInBox(box, s, FALSE), n);
    EXPECT_EQ(cloud->SelectInBox(box, s, FALSE), n);
    EXPECT_EQ(s->GetPointCount(), 2 * n) << "points may come twice";
    const int larger = cloud->SelectInBox(QxBbox(QxVector(-2, -2, -2), QxVector(2, 2, 2.5f)), s);
    EXPECT_EQ(larger, s->GetPointCount());
    EXPECT_GT(larger, n);
    EXPECT_EQ(cloud->SelectInSphere(QxVector(), 1, nullptr), 0);
    CloudSelection* none = cloud->CreateSelection("none", 0);
    EXPECT_EQ(cloud->SelectInBox(box, none), 0);
    EXPECT_EQ(none->GetPointCount(), 0);
    // Out of range, also where a larger selection left entries behind.
    ASSERT_EQ(cloud->SelectInBox(box, s), n);
    for (const int i : {-1, n, larger}) {
        EXPECT_EQ(s->GetEntry(i), nullptr) << i;
        EXPECT_EQ(s->GetEntryPointIndex(i), 0u) << i;
    }
}

TEST_F(CloudSelectTests, RayPickingFindsTheNearestPointWithinTheRadius)
{
    RCK3dPointCloud* cloud = Cloud(30000);
    cloud->SetPickingRadius(0.3f);
    int hits = 0;
    for (int i = 0; i < 100; ++i) {
        const QxVector start = RandomVector(-15, 15), end = RandomVector(-15, 15);
        const bool segment = i % 2;
        const QxRay ray(start, end - start);
        float best = 1e20f;
        const WalkedPoint* nearest = nullptr;
        for (const WalkedPoint& w : m_Points) {
            const float d = segment ? QxPointSegmentSquareDistance(w.Position, ray, nullptr)
                                    : QxPointRaySquareDistance(w.Position, ray, nullptr);
            const float o = QxDotProduct(w.Position - start, w.Position - start);
            if (d < 0.09f && o < best) {
                best = o;
                nearest = &w;
            }
        }
        CKPickResult result;
        const CKBOOL hit =
            cloud->RayIntersection(&start, &end, &result, nullptr, segment ? (CKDWORD) CK_PICK_SEGMENT : 0u);
        ASSERT_EQ(hit != 0, nearest != nullptr) << i;
        if (!nearest)
            continue;
        ++hits;
        EXPECT_EQ((CKDWORD) result.FaceIndex, nearest->Index) << i;
        EXPECT_EQ(result.Point, nearest->Position);
        EXPECT_EQ(result.Object, cloud);
        EXPECT_NEAR(result.Distance, std::sqrt(best), 1e-3f);
    }
    EXPECT_GT(hits, 30);
}

TEST_F(CloudSelectTests, ARayThroughTheViewPicksThePointAtTheCentreOfTheScreen)
{
    auto* cloud = static_cast<RCK3dPointCloud*>(m_Context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
    const QxVector p[3] = {QxVector(0, 0, 10), QxVector(0, 0, 5), QxVector(3, 0, 4)};
    QxVector precision(0.001f, 0.001f, 0.001f);
    cloud->CreateFromBuffers(3, p, nullptr, nullptr, nullptr, precision);
    cloud->SetPickingRadius(0.1f);
    RCKRenderContext* rc = NewRecordingContext(320, 240);
    QxMatrix projection;
    projection.Perspective(0.8f, 320.0f / 240.0f, 1.0f, 100.0f);
    rc->SetProjectionTransformationMatrix(projection);
    CloudSelection* s = cloud->CreateSelection("ray", 10);
    ASSERT_EQ(cloud->SelectByRay(rc, Qx2DVector(160, 120), s), 1);
    EXPECT_EQ(s->GetEntryPointIndex(0), 1u);
    EXPECT_EQ(cloud->SelectByRay(rc, Qx2DVector(0, 0), s), 0);
    EXPECT_EQ(s->GetPointCount(), 0);
    // A view that does not start at the window's corner.
    rc->SetViewRect(QxRect(100, 50, 260, 170));
    rc->SetProjectionTransformationMatrix(projection);
    EXPECT_EQ(cloud->SelectByRay(rc, Qx2DVector(180, 110), s), 1);
    EXPECT_EQ(s->GetEntryPointIndex(0), 1u);
    EXPECT_EQ(cloud->SelectByRay(rc, Qx2DVector(160, 120), s), 0);
}

TEST_F(CloudSelectTests, TheEntityQueryWorksAfterAClearThatDroppedTheSelections)
{
    RCK3dPointCloud* cloud = Cloud(2000);
    cloud->Clear(0, FALSE);
    std::vector<QxVector> p = RandomPoints(m_Rng, 2000, QxVector(-3, -3, -3), QxVector(3, 3, 3));
    QxVector precision;
    cloud->CreateFromBuffers(2000, p.data(), nullptr, nullptr, nullptr, precision);
    m_Points = WalkPoints(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize());
    CloudSelection* s = cloud->CreateSelection("cube", 5000);
    CK3dEntity* cube = CreateCubeEntity(m_Context);
    const int n = cloud->SelectInEntity(cube, s);
    EXPECT_EQ(n, (int) Brute([](const QxVector& q) {
                     return std::fabs(q.x) <= 1 && std::fabs(q.y) <= 1 && std::fabs(q.z) <= 1;
                 }).size());
    EXPECT_GT(n, 0);
    XObjectPointerArray both;
    both.PushBack(cube);
    both.PushBack(cloud);
    EXPECT_EQ(cloud->SelectInEntities(both, s), n) << "the cloud has no mesh";
}

TEST_F(CloudSelectTests, TheIteratorVisitsEveryPointOnceAndWalksNodes)
{
    RCK3dPointCloud* cloud = Cloud(20000);
    CloudIterator* it = cloud->GetIterator();
    std::vector<int> seen(20000, 0);
    size_t i = 0;
    while (it->NextPoint()) {
        const CKDWORD index = it->GetPointIndex();
        ASSERT_LT(index, 20000u);
        ++seen[index];
        QxVector p;
        it->GetPointPosition(&p);
        ASSERT_LT(i, m_Points.size());
        EXPECT_EQ(p, m_Points[i].Position);
        EXPECT_EQ(index, m_Points[i].Index);
        ++i;
    }
    EXPECT_EQ(i, m_Points.size());
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
    EXPECT_FALSE(it->NextPoint());

    it = cloud->GetIterator();
    EXPECT_TRUE(it->IsInnerNode());
    EXPECT_FALSE(it->GoUp());
    QxBbox box;
    it->GetNodeBox(box);
    EXPECT_EQ(box.Min, cloud->GetBoxMin());
    const int children = it->GetChildCount();
    ASSERT_GT(children, 0);
    int octant = 0;
    while (!it->HasChildInOctant(octant))
        ++octant;
    ASSERT_TRUE(it->GoToOctant(octant));
    QxBbox child;
    it->GetNodeBox(child);
    EXPECT_EQ(child.Max - child.Min, (box.Max - box.Min) * 0.5f);
    EXPECT_TRUE(it->GoUp());
    EXPECT_FALSE(it->GoToChild(children));
    EXPECT_FALSE(it->GoToOctant(8));
    int walked = 0;
    it = cloud->GetIterator();
    while (it->NextChild())
        ++walked;
    size_t nodes = 0;
    for (const std::vector<CloudNode>& page : cloud->GetTree().Pages)
        for (const CloudNode& n : page)
            nodes += (n.W & 0xFF) != CLOUD_POINTENTRY;
    EXPECT_EQ((size_t) walked + 1, nodes) << "every node but the root once";
}

TEST_F(CloudSelectTests, AnIteratorOnALeafRootGivesItsPointsThenStops)
{
    auto* cloud = static_cast<RCK3dPointCloud*>(m_Context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
    const QxVector p[3] = {QxVector(0, 0, 0), QxVector(1, 1, 1), QxVector(0.5f, 0.5f, 0.5f)};
    QxVector precision(10, 10, 10);
    cloud->CreateFromBuffers(3, p, nullptr, nullptr, nullptr, precision);
    *cloud->GetTranslation() = QxVector(1, 1, 1);
    CloudIterator* it = cloud->GetIterator();
    EXPECT_TRUE(it->IsLeaf());
    std::set<CKDWORD> indices;
    while (it->NextPoint())
        indices.insert(it->GetPointIndex());
    EXPECT_EQ(indices, (std::set<CKDWORD>{0, 1, 2}));
    QxVector inFile;
    it->GetPointPositionInFile(&inFile);
    QxVector position;
    it->GetPointPosition(&position);
    EXPECT_EQ(inFile, position - QxVector(1, 1, 1));
}

} // namespace
