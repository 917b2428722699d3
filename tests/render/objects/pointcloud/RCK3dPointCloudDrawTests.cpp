// Drawing through the recording rasterizer: the vertex buffers of each
// level hold exactly the points of that level, culling by the camera, the
// filling budget, and the selections.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "render/objects/pointcloud/RCloudSelection.h"
#include "tests/render/objects/EntityTestSupport.h"
#include "tests/render/objects/pointcloud/CloudTestSupport.h"
#include "tests/support/TestDeadline.h"

namespace {

struct Key
{
    float x, y, z;
    bool operator<(const Key& o) const { return x != o.x ? x < o.x : y != o.y ? y < o.y : z < o.z; }
    bool operator==(const Key& o) const { return x == o.x && y == o.y && z == o.z; }
};

class CloudDrawTests : public EntityFixture
{
protected:
    void SetUp() override
    {
        EntityFixture::SetUp();
        // Frames fill everything unless a test gives a budget of its own.
        Manager()->GetSettings().PointsMaxTimeToFillVB = 1e30f;
    }
    RCK3dPointCloud* Cloud(int count, unsigned seed = 3)
    {
        auto* cloud = static_cast<RCK3dPointCloud*>(m_Context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
        std::mt19937 rng(seed);
        std::vector<QxVector> p = RandomPoints(rng, count, QxVector(-10, -10, 20), QxVector(10, 10, 40));
        QxVector precision;
        cloud->CreateFromBuffers(count, p.data(), nullptr, nullptr, nullptr, precision);
        return cloud;
    }
    // One frame with the frustum test of the render context taken as done.
    void Frame(RCK3dPointCloud* cloud)
    {
        cloud->ModifyMoveableFlags(CK_3DENTITY_FRUSTUMTESTED, 0);
        cloud->Render(m_Rc, 0);
    }
    // The positions held by the buffers of a level's entries.
    std::multiset<Key> BufferedPoints(RCK3dPointCloud* cloud, int level, bool* oversized = nullptr)
    {
        std::multiset<Key> out;
        CKRasterizerContext* rst = m_Rc->GetRasterizerContext();
        for (const CloudVertexGroup& group : cloud->GetVertexGroups().Groups) {
            const CloudLevelEntry& e = group.Levels[level];
            if (e.VertexCount == 0)
                continue;
            const CKVertexBufferDesc* desc = rst->GetVertexBufferData(e.VertexBuffer);
            if (!desc)
                continue;
            if (oversized && (e.VertexCount > m_VerticesPerBuffer || (int) desc->MaxVertexCount > m_VerticesPerBuffer))
                *oversized = true;
            const auto* data = static_cast<const CKBYTE*>(rst->LockVertexBuffer(e.VertexBuffer, 0, e.VertexCount));
            for (int v = 0; v < e.VertexCount; ++v) {
                const float* f = reinterpret_cast<const float*>(data + (size_t) v * desc->VertexSize);
                out.insert({f[0], f[1], f[2]});
            }
            rst->UnlockVertexBuffer(e.VertexBuffer);
        }
        return out;
    }
    int Count(const char* prefix)
    {
        int n = 0;
        for (const XString& call : Recorder(m_Rc)->GetCalls())
            n += std::string(call.CStr()).rfind(prefix, 0) == 0;
        return n;
    }

    RCKRenderContext* m_Rc = nullptr;
    int m_VerticesPerBuffer = 8192;
};

TEST_F(CloudDrawTests, EachLevelsBuffersHoldExactlyThePointsOfThatLevel)
{
    m_Rc = NewRecordingContext();
    Manager()->GetSettings().PointsVerticesPerVB = m_VerticesPerBuffer;
    RCK3dPointCloud* cloud = Cloud(60000);
    cloud->SetLevelPointCount(1, 20000);
    auto expectLevel = [&](int level) {
        cloud->SetCurrentLevel(level);
        Frame(cloud);
        const std::vector<WalkedPoint> walked = WalkPoints(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize());
        std::multiset<Key> expected;
        for (const WalkedPoint& w : walked)
            if (level == 0 || (w.Levels & (1u << (level - 1))))
                expected.insert({w.Position.x, w.Position.y, w.Position.z});
        bool oversized = false;
        const std::multiset<Key> got = BufferedPoints(cloud, level, &oversized);
        EXPECT_EQ(got.size(), expected.size()) << level;
        EXPECT_TRUE(got == expected) << level;
        EXPECT_FALSE(oversized) << level;
        return got.size();
    };
    for (int level = 0; level <= 3; ++level) {
        expectLevel(level);
        EXPECT_EQ(cloud->GetLevelPointCount(level), level == 0 ? 60000 : level == 1 ? 20000 : 60000 >> level);
    }
    EXPECT_GT(cloud->GetVertexBufferGroupCount(), 8);
    EXPECT_EQ(Manager()->GetSettings().PointsProfCountPoints, 60000);
    // One point in every eighth, counting from the ninth.
    EXPECT_EQ(Manager()->GetSettings().PointsProfCountPointsDrawn, 60000 / 8 - 1);

    // A level given another count is built again at the next drawing.
    cloud->SetLevelPointCount(1, 10000);
    EXPECT_LT(expectLevel(1), 10100u);
}

// The cloud loads its world matrix unless the caller says it did (0x100).
TEST_F(CloudDrawTests, TheWorldMatrixIsLoadedUnlessTheCallerLoadedIt)
{
    m_Rc = NewRecordingContext();
    RCK3dPointCloud* cloud = Cloud(100);
    const QxVector at(5, 0, 0);
    cloud->SetPosition(&at);
    for (const CKDWORD flags : {0x100u, 0u}) {
        m_Rc->SetWorldTransformationMatrix(QxMatrix::Identity());
        cloud->ModifyMoveableFlags(CK_3DENTITY_FRUSTUMTESTED, 0);
        cloud->Render(m_Rc, flags);
        EXPECT_EQ(m_Rc->GetWorldTransformationMatrix()[3][0], flags ? 0.0f : 5.0f) << flags;
    }
}

TEST_F(CloudDrawTests, ACameraLookingAwayDrawsNothingAndOneLookingAtTheCloudDrawsIt)
{
    m_Rc = NewRecordingContext();
    // Buffers small enough for the cloud to be culled in parts.
    Manager()->GetSettings().PointsVerticesPerVB = m_VerticesPerBuffer;
    RCK3dPointCloud* cloud = Cloud(20000);
    auto* camera = static_cast<CKCamera*>(m_Context->CreateObject(CKCID_CAMERA, "camera"));
    m_Rc->AttachViewpointToCamera(camera);
    const QxVector behind(0, 0, -1);
    camera->LookAt(&behind);
    Frame(cloud);
    EXPECT_EQ(Count("DrawPrimitiveVB"), 0);
    EXPECT_EQ(Manager()->GetSettings().PointsProfCountPointsDrawn, 0);
    const QxVector ahead(0, 0, 30);
    camera->LookAt(&ahead);
    Recorder(m_Rc)->ClearCalls();
    Frame(cloud);
    EXPECT_GT(Count("DrawPrimitiveVB(1,"), 0);
    EXPECT_EQ(Manager()->GetSettings().PointsProfCountPointsDrawn, 20000);
    // From far back the whole cloud lies inside the view.
    const QxVector back(0, 0, -400);
    camera->SetPosition(&back);
    camera->LookAt(&ahead);
    Frame(cloud);
    EXPECT_EQ(Manager()->GetSettings().PointsProfCountPointsDrawn, 20000);
    // From the middle of the cloud looking along x, part of it shows.
    const QxVector middle(0, 0, 30), side(10, 0, 30);
    camera->SetPosition(&middle);
    camera->LookAt(&side);
    Frame(cloud);
    const int part = Manager()->GetSettings().PointsProfCountPointsDrawn;
    EXPECT_GT(part, 0);
    EXPECT_LT(part, 20000);
    // The debug camera wins over the attached one.
    auto* debug = static_cast<CKCamera*>(m_Context->CreateObject(CKCID_CAMERA, "CloudDebugCamera"));
    debug->LookAt(&behind);
    Frame(cloud);
    EXPECT_EQ(Manager()->GetSettings().PointsProfCountPointsDrawn, 0);
}

TEST_F(CloudDrawTests, WithNoTimeToFillTheCoarseLevelComesFirstAndTheRestOverLaterFrames)
{
    m_Rc = NewRecordingContext();
    Manager()->GetSettings().PointsVerticesPerVB = m_VerticesPerBuffer;
    Manager()->GetSettings().PointsMaxTimeToFillVB = 0.0f;
    RCK3dPointCloud* cloud = Cloud(60000);
    float now = 0.0f;
    cloud->SetFillClock([&] { return now += 1.0f; });
    auto filled = [&](int level) {
        int entries = 0, done = 0;
        for (const CloudVertexGroup& g : cloud->GetVertexGroups().Groups)
            if (g.Levels[level].VertexCount > 0) {
                ++entries;
                done += (g.Levels[level].Flags & CLOUD_ENTRY_POSITIONS) != 0;
            }
        return std::make_pair(done, entries);
    };
    Frame(cloud);
    EXPECT_EQ(filled(3).first, filled(3).second) << "level 3 at once";
    EXPECT_EQ(filled(0).first, 1) << "one entry of the current level";
    // Groups whose buffers are not ready are stood in for by their
    // fallback's coarse level.
    int drawn = 0, coarse = 0;
    for (const CloudVertexGroup& g : cloud->GetVertexGroups().Groups) {
        coarse += g.Coarse;
        const CloudLevelEntry& e = g.Levels[g.Coarse ? 3 : 0];
        if (e.VertexCount > 0 && (e.Flags & CLOUD_ENTRY_POSITIONS))
            drawn += e.VertexCount;
    }
    EXPECT_GT(coarse, 0);
    EXPECT_EQ(Manager()->GetSettings().PointsProfCountPointsDrawn, drawn);
    ASSERT_GT(filled(0).second, 3);
    for (int frame = 1; frame < filled(0).second; ++frame) {
        Frame(cloud);
        EXPECT_EQ(filled(0).first, frame + 1);
    }
    EXPECT_EQ(BufferedPoints(cloud, 0).size(), 60000u);
    EXPECT_GT(Manager()->GetSettings().PointsProfTimeVBFill, 0.0f);
}

TEST_F(CloudDrawTests, ChangingTheBufferSizeRebuildsAndHiddenPointsLeaveOnlySelections)
{
    m_Rc = NewRecordingContext();
    Manager()->GetSettings().PointsVerticesPerVB = 100000;
    RCK3dPointCloud* cloud = Cloud(30000);
    Frame(cloud);
    EXPECT_EQ(cloud->GetVertexBufferGroupCount(), 1);
    Manager()->GetSettings().PointsVerticesPerVB = 8192;
    Frame(cloud);
    EXPECT_GT(cloud->GetVertexBufferGroupCount(), 1);
    EXPECT_EQ(BufferedPoints(cloud, 0).size(), 30000u);

    CloudSelection* s = cloud->CreateSelection("s", 100);
    ASSERT_EQ(cloud->SelectInSphere(QxVector(0, 0, 30), 20, s), 100);
    cloud->ShowPoints(FALSE);
    Recorder(m_Rc)->ClearCalls();
    Frame(cloud);
    EXPECT_EQ(Count("DrawPrimitiveVB(1,"), 1);
    const auto& calls = Recorder(m_Rc)->GetCalls();
    bool hundred = false;
    for (const XString& call : calls)
        hundred = hundred || std::string(call.CStr()).find(",0,100,") != std::string::npos;
    EXPECT_TRUE(hundred) << "the selection's hundred points";
    EXPECT_TRUE(static_cast<RCloudSelection*>(s)->GetFlags() & CLOUD_SELECTION_UPTODATE);
    s->SetVisible(FALSE);
    Recorder(m_Rc)->ClearCalls();
    Frame(cloud);
    EXPECT_EQ(Count("DrawPrimitiveVB"), 0);
}

// A selection keeps one buffer per block of points the device can index;
// when it shrinks, the buffers past its last block go back to the render
// manager, and when it grows again it takes new ones.
TEST_F(CloudDrawTests, ASelectionThatShrinksGivesBackTheBuffersItNoLongerNeeds)
{
    m_Rc = NewRecordingContext();
    CKRasterizerContext* rst = m_Rc->GetRasterizerContext();
    auto& caps = const_cast<CKRasterizerDriverCaps&>(rst->GetDriver()->GetCaps());
    struct Restore
    {
        CKRasterizerDriverCaps& caps;
        const int was = caps.MaxVertexIndex;
        ~Restore() { caps.MaxVertexIndex = was; }
    } restore{caps};
    caps.MaxVertexIndex = 1000;
    RCK3dPointCloud* cloud = Cloud(3000);
    cloud->ShowPoints(FALSE);
    auto* selection = static_cast<RCloudSelection*>(cloud->CreateSelection("s", 0));
    QxBbox all = cloud->GetBoundingBox(TRUE);
    all.Min -= QxVector(1, 1, 1);
    all.Max += QxVector(1, 1, 1);

    struct Step
    {
        int points, buffers;
    };
    XArray<CKDWORD> before;
    for (const Step& step : {Step{3000, 3}, Step{200, 1}, Step{2001, 3}, Step{1000, 1}}) {
        selection->Reset();
        selection->SetCapacity(step.points);
        cloud->SelectInBox(all, selection);
        ASSERT_EQ(selection->GetPointCount(), step.points);
        Recorder(m_Rc)->ClearCalls();
        {
            TestDeadline deadline(std::chrono::seconds(20), "drawing a selection");
            Frame(cloud);
        }
        const XArray<CKDWORD>& buffers = selection->GetVertexBuffers();
        ASSERT_EQ(buffers.Size(), step.buffers) << step.points << " points";
        EXPECT_EQ(Count("DrawPrimitiveVB(1,"), step.buffers) << step.points << " points";
        // Each buffer holds its block of the entries, in order.
        for (int b = 0; b < buffers.Size(); ++b) {
            const CKVertexBufferDesc* desc = rst->GetVertexBufferData(buffers[b]);
            ASSERT_NE(desc, nullptr) << step.points << " points, buffer " << b;
            const int vertices = std::min(1000, step.points - b * 1000);
            ASSERT_EQ((int) desc->MaxVertexCount, vertices) << step.points << " points, buffer " << b;
            const auto* data = static_cast<const CKBYTE*>(rst->LockVertexBuffer(buffers[b], 0, vertices));
            ASSERT_NE(data, nullptr);
            int wrong = 0;
            for (int v = 0; v < vertices; ++v)
                wrong += std::memcmp(data + (size_t) v * desc->VertexSize, &selection->GetEntry(b * 1000 + v)->Position,
                                     12) != 0;
            rst->UnlockVertexBuffer(buffers[b]);
            EXPECT_EQ(wrong, 0) << step.points << " points, buffer " << b;
        }
        for (int b = step.buffers; b < before.Size(); ++b)
            EXPECT_EQ(rst->GetVertexBufferData(before[b]), nullptr) << "buffer " << b << " was given back";
        before = buffers;
    }
}

TEST_F(CloudDrawTests, LightingClipPlanesAndSpritesSetTheirStates)
{
    m_Rc = NewRecordingContext();
    auto* cloud = static_cast<RCK3dPointCloud*>(m_Context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
    std::mt19937 rng(1);
    std::vector<QxVector> p = RandomPoints(rng, 1000, QxVector(0, 0, 0), QxVector(1, 1, 1));
    std::vector<QxVector> n(1000, QxVector(0, 0, 1));
    std::vector<CKDWORD> c(1000, 0xFF00FF00);
    QxVector precision;
    cloud->CreateFromBuffers(1000, p.data(), n.data(), c.data(), nullptr, precision);
    cloud->EnableLighting(TRUE);
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, TRUE);
    cloud->SetClipPlaneCount(2);
    Frame(cloud);
    EXPECT_EQ(Count("SetRenderState(137,1)"), 1);
    EXPECT_EQ(Count("SetRenderState(152,3)"), 1);
    EXPECT_EQ(Count("SetRenderState(152,0)"), 1);
    EXPECT_EQ(Count("SetUserClipPlane"), 2);
    EXPECT_EQ(cloud->GetVertexFormat(), (CKDWORD) (0x2 | 0x10 | 0x40));
    EXPECT_EQ(cloud->GetVertexSize(), 28);
    // Vertices: position, normal, colour.
    const CloudLevelEntry& e = cloud->GetVertexGroups().Groups[0].Levels[0];
    CKRasterizerContext* rst = m_Rc->GetRasterizerContext();
    const auto* data = static_cast<const CKBYTE*>(rst->LockVertexBuffer(e.VertexBuffer, 0, e.VertexCount));
    CKDWORD color;
    float normalZ;
    std::memcpy(&normalZ, data + 20, 4);
    std::memcpy(&color, data + 24, 4);
    rst->UnlockVertexBuffer(e.VertexBuffer);
    EXPECT_EQ(color, 0xFF00FC00u);
    EXPECT_GT(normalZ, 0.99f);
    // A changed colour is written again into the coarse level's buffer and
    // the current one's; nothing is written again without a change.
    Recorder(m_Rc)->ClearCalls();
    Frame(cloud);
    EXPECT_EQ(Count("LockVertexBuffer"), 0);
    cloud->SetPointColor(0, 0xFFFF0000);
    Frame(cloud);
    EXPECT_EQ(Count("LockVertexBuffer"), 2);
}

TEST_F(CloudDrawTests, DrawnAttributesBecomeOneFloatTextureSetsEightAtMost)
{
    m_Rc = NewRecordingContext();
    auto* cloud = static_cast<RCK3dPointCloud*>(m_Context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
    const QxVector p[3] = {QxVector(0, 0, 0), QxVector(1, 1, 1), QxVector(2, 0, 1)};
    const CKBYTE intensities[3] = {10, 20, 30};
    QxVector precision;
    cloud->CreateFromBuffers(3, p, nullptr, nullptr, intensities, precision);
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_INTENSITY, TRUE);
    for (int k = 0; k < 9; ++k) {
        CloudAttributeDesc desc;
        desc.Name = ("f" + std::to_string(k)).c_str();
        desc.Type = CLOUD_ATTRIBUTE_FLOAT;
        desc.Flags = CLOUD_ATTRIBUTE_DRAWN;
        const int a = cloud->AddAttribute(desc);
        cloud->EnableAttribute(a, TRUE);
        for (int i = 0; i < 3; ++i)
            cloud->SetAttributeFloat(i, a, 100.0f * (float) k + (float) i);
    }
    Frame(cloud);
    // A changed value writes the values again over the positions written
    // before.
    cloud->SetAttributeFloat(0, 4, 0.0f);
    Frame(cloud);
    EXPECT_EQ(cloud->GetVertexFormat(), (CKDWORD) (0x2 | (8 << 8) | 0xFFFF0000));
    ASSERT_EQ(cloud->GetVertexSize(), 12 + 8 * 4);
    const CloudLevelEntry& e = cloud->GetVertexGroups().Groups[0].Levels[0];
    ASSERT_EQ(e.VertexCount, 3);
    CKRasterizerContext* rst = m_Rc->GetRasterizerContext();
    const auto* data = static_cast<const CKBYTE*>(rst->LockVertexBuffer(e.VertexBuffer, 0, 3));
    std::multiset<Key> positions;
    for (int v = 0; v < 3; ++v) {
        float f[11];
        std::memcpy(f, data + v * 44, sizeof(f));
        positions.insert({f[0], f[1], f[2]});
        const int point = (int) (f[4] - 0.0f + 0.5f);
        EXPECT_EQ(f[3], (float) intensities[point]) << "intensity as a float";
        for (int k = 1; k < 8; ++k)
            EXPECT_EQ(f[3 + k], 100.0f * (float) (k - 1) + (float) point);
    }
    rst->UnlockVertexBuffer(e.VertexBuffer);
    std::multiset<Key> expected;
    for (const WalkedPoint& w : WalkPoints(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize()))
        expected.insert({w.Position.x, w.Position.y, w.Position.z});
    EXPECT_TRUE(positions == expected) << "the ninth set spills into no vertex";
}

TEST_F(CloudDrawTests, AMeshSelectionOfMoreThanTenThousandPointsWarnsOncePerFrame)
{
    m_Rc = NewRecordingContext();
    RCK3dPointCloud* cloud = Cloud(20000);
    CloudSelection* s = cloud->CreateSelection("meshes", 20000);
    ASSERT_EQ(cloud->SelectInBox(cloud->GetBoundingBox(TRUE), s), 20000);
    s->SetDrawMode(CLOUD_SELECTION_DRAWMESH);
    s->SetMesh(static_cast<CKMesh*>(m_Context->CreateObject(CKCID_MESH, "mesh")));
    std::vector<std::string> console;
    m_Context->SetInterfaceMode(
        TRUE,
        [](CKUICallbackStruct& message, void* data) {
            if (message.Reason == CKUIM_OUTTOCONSOLE)
                static_cast<std::vector<std::string>*>(data)->push_back(reinterpret_cast<const char*>(message.Param2));
            return (CKERROR) CKErr::Ok;
        },
        &console);
    Frame(cloud);
    Frame(cloud);
    m_Context->SetInterfaceMode(FALSE, nullptr, nullptr);
    ASSERT_EQ(console.size(), 2u);
    EXPECT_EQ(console[0], "Warning : trying to render more than 10000 primitive in selection, clamping to 10000");
}

TEST_F(CloudDrawTests, AMeshSelectionDrawsTheMeshAtEachOfItsFirstTenThousandPoints)
{
    m_Rc = NewRecordingContext();
    RCK3dPointCloud* cloud = Cloud(12000);
    cloud->ShowPoints(FALSE);
    CloudSelection* s = cloud->CreateSelection("meshes", 12000);
    ASSERT_EQ(cloud->SelectInBox(cloud->GetBoundingBox(TRUE), s), 12000);
    // The entries stay in the cloud's space when it moves.
    const QxVector offset(1.0f, -2.0f, 3.0f);
    cloud->SetPosition(&offset);
    s->SetDrawMode(CLOUD_SELECTION_DRAWMESH);
    auto* mesh = static_cast<CKMesh*>(m_Context->CreateObject(CKCID_MESH, "triangle"));
    mesh->SetVertexCount(3);
    for (int v = 0; v < 3; ++v)
        mesh->SetVertexPosition(v, QxVector((float) (v == 1), (float) (v == 2), 0.0f));
    mesh->SetFaceCount(1);
    mesh->SetFaceVertexIndex(0, 0, 1, 2);
    s->SetMesh(mesh);
    for (int frame = 0; frame < 2; ++frame) {
        SCOPED_TRACE(frame);
        Recorder(m_Rc)->ClearCalls();
        Frame(cloud);
        EXPECT_EQ(Count("DrawPrimitive"), 10000);
        // The world matrices set: the cloud's first, then one at each point
        // in turn, then the cloud's again.
        std::vector<std::string> worlds;
        for (const XString& call : Recorder(m_Rc)->GetCalls())
            if (std::string(call.CStr()).rfind("SetTransform(1,", 0) == 0)
                worlds.emplace_back(call.CStr());
        ASSERT_GE(worlds.size(), 10001u);
        char text[128];
        for (int i = 0; i < 10000; i += 999) {
            const QxVector p = s->GetEntry(i)->Position + offset;
            std::snprintf(text, sizeof(text), "SetTransform(1,pos=%g/%g/%g)", p.x, p.y, p.z);
            EXPECT_EQ(worlds[worlds.size() - 10001 + (size_t) i], text) << i;
        }
        std::snprintf(text, sizeof(text), "SetTransform(1,pos=%g/%g/%g)", offset.x, offset.y, offset.z);
        EXPECT_EQ(worlds.back(), text);
    }
}

} // namespace
