// The point cloud object: attributes, settings, building from arrays, and
// its section saved and loaded.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "render/objects/pointcloud/CloudPointCodec.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "tests/render/objects/EntityTestSupport.h"
#include "tests/render/objects/pointcloud/CloudTestSupport.h"

namespace {

CKERROR RecordConsole(CKUICallbackStruct& message, void* data)
{
    if (message.Reason == CKUIM_OUTTOCONSOLE)
        static_cast<std::vector<std::string>*>(data)->push_back(std::to_string(message.Param1) + " " +
                                                                reinterpret_cast<const char*>(message.Param2));
    return CKErr::Ok;
}

class CloudTests : public EntityFixture
{
protected:
    RCK3dPointCloud* NewCloud(const char* name = "cloud", CKContext* context = nullptr)
    {
        return static_cast<RCK3dPointCloud*>((context ? context : m_Context)->CreateObject(CKCID_3DPOINTCLOUD, name));
    }
    // A cloud of count random points with every built-in attribute.
    RCK3dPointCloud* RandomCloud(int count, unsigned seed, std::vector<QxVector>* positions = nullptr)
    {
        std::mt19937 rng(seed);
        std::vector<QxVector> p = RandomPoints(rng, count, QxVector(-10, 0, 5), QxVector(10, 4, 25));
        std::vector<QxVector> normals = RandomPoints(rng, count, QxVector(-1, -1, -1), QxVector(1, 1, 1));
        std::vector<CKDWORD> colors((size_t) count);
        std::vector<CKBYTE> intensities((size_t) count);
        for (int i = 0; i < count; ++i) {
            colors[i] = rng();
            intensities[i] = (CKBYTE) rng();
        }
        RCK3dPointCloud* cloud = NewCloud();
        QxVector precision;
        EXPECT_TRUE(
            cloud->CreateFromBuffers(count, p.data(), normals.data(), colors.data(), intensities.data(), precision));
        m_Colors = colors;
        m_Normals = normals;
        m_Intensities = intensities;
        if (positions)
            *positions = p;
        return cloud;
    }
    std::vector<std::string> Console(const std::function<void()>& f)
    {
        std::vector<std::string> console;
        m_Context->SetInterfaceMode(TRUE, RecordConsole, &console);
        f();
        m_Context->SetInterfaceMode(FALSE, nullptr, nullptr);
        return console;
    }

    std::vector<CKDWORD> m_Colors;
    std::vector<QxVector> m_Normals;
    std::vector<CKBYTE> m_Intensities;
};

TEST_F(CloudTests, ANewCloudHasFourBuiltInAttributesNoneEnabled)
{
    RCK3dPointCloud* cloud = NewCloud();
    ASSERT_NE(cloud, nullptr);
    EXPECT_EQ(cloud->GetClassID(), CKCID_3DPOINTCLOUD);
    EXPECT_EQ(cloud->GetMoveableFlags(), 0x44013u);
    ASSERT_EQ(cloud->GetAttributeCount(), 4);
    const char* names[4] = {"Unused", "Colors", "Normals", "I"};
    const int bits[4] = {8, 16, 10, 8};
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(cloud->GetAttribute(i)->Name.CStr(), names[i]);
        EXPECT_EQ(cloud->GetAttribute(i)->Bits, bits[i]);
        EXPECT_FALSE(cloud->IsAttributeEnabled(i));
    }
    EXPECT_EQ(cloud->FindAttribute("Colors"), 1);
    EXPECT_EQ(cloud->FindAttribute("None"), -1);
    EXPECT_EQ(cloud->GetAttribute(4), nullptr);
    EXPECT_EQ(cloud->GetPointColor(0), 0xFFFFFFFFu);
    QxVector n(1, 1, 1);
    EXPECT_EQ(*cloud->GetPointNormal(&n, 0), QxVector());
    EXPECT_TRUE(cloud->ArePointsShown());
    EXPECT_EQ(cloud->GetPickingRadius(), 1.0f);
}

TEST_F(CloudTests, AttributesAreAddedOnceRemovedAboveTheBuiltInsAndDescribedAgain)
{
    RCK3dPointCloud* cloud = NewCloud();
    CloudAttributeDesc desc;
    desc.Name = "Class";
    EXPECT_EQ(cloud->AddAttribute(desc), 4);
    EXPECT_EQ(cloud->GetAttribute(4)->Bits, 32);
    EXPECT_EQ(cloud->GetAttribute(4)->Mask, 0xFFFFFFFFu);
    desc.Bits = 3;
    EXPECT_EQ(cloud->AddAttribute(desc), 4) << "an existing name changes nothing";
    EXPECT_EQ(cloud->GetAttribute(4)->Bits, 32);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(cloud->RemoveAttribute(i), i);
    EXPECT_EQ(cloud->GetAttributeCount(), 5);

    std::vector<QxVector> p = {QxVector(0, 0, 0), QxVector(1, 1, 1), QxVector(2, 0, 1)};
    QxVector precision;
    ASSERT_TRUE(cloud->CreateFromBuffers(3, p.data(), nullptr, nullptr, nullptr, precision));
    cloud->EnableAttribute(4, TRUE);
    cloud->SetAttributeValue(2, 4, 0xDEADBEEF);
    EXPECT_EQ(cloud->GetAttributeValue(2, 4), 0xDEADBEEFu);
    desc.Bits = 5;
    cloud->SetAttributeDescription(4, desc);
    EXPECT_EQ(cloud->GetAttribute(4)->Mask, 31u);
    EXPECT_EQ(cloud->GetAttributeValue(2, 4), 0u) << "another size clears the values";
    cloud->SetAttributeValue(1, 4, 0x3F);
    EXPECT_EQ(cloud->GetAttributeValue(1, 4), 31u);
    desc.Type = CLOUD_ATTRIBUTE_FLOAT;
    desc.Bits = 7;
    cloud->SetAttributeDescription(4, desc);
    EXPECT_EQ(cloud->GetAttribute(4)->Bits, 32) << "floats are 32 bits";
    cloud->SetAttributeFloat(0, 4, 2.5f);
    EXPECT_EQ(cloud->GetAttributeFloat(0, 4), 2.5f);
    EXPECT_EQ(cloud->GetAttributeFloat(0, 99), 0.0f);
    desc.Name = "Renamed";
    cloud->SetAttributeDescription(1, desc);
    EXPECT_STREQ(cloud->GetAttribute(1)->Name.CStr(), "Colors") << "built-ins take only the flags";
    EXPECT_EQ(cloud->RemoveAttribute(4), 4);
    EXPECT_EQ(cloud->GetAttributeCount(), 4);
    cloud->SetAttributeDrawn(1, TRUE);
    EXPECT_TRUE(cloud->IsAttributeDrawn(1));
    EXPECT_FALSE(cloud->IsAttributeDrawn(40));
}

TEST_F(CloudTests, SettingsKeepTheirRanges)
{
    RCK3dPointCloud* cloud = NewCloud();
    cloud->SetClipPlaneCount(7);
    EXPECT_EQ(cloud->GetClipPlaneCount(), 4);
    EXPECT_EQ(cloud->SetClipPlane(4, QxVector4(1, 2, 3, 4)), nullptr);
    ASSERT_NE(cloud->SetClipPlane(3, QxVector4(1, 2, 3, 4)), nullptr);
    QxVector4 plane;
    cloud->GetClipPlane(3, plane);
    EXPECT_EQ(plane.w, 4.0f);
    cloud->SetCurrentLevel(2);
    EXPECT_EQ(cloud->GetCurrentLevel(), 2);
    EXPECT_EQ(cloud->GetCurrentLevelMask(), 2u);

    std::vector<QxVector> p(100, QxVector(1, 2, 3));
    QxVector precision;
    cloud->CreateFromBuffers(100, p.data(), nullptr, nullptr, nullptr, precision);
    EXPECT_EQ(cloud->GetLevelPointCount(0), 100);
    EXPECT_EQ(cloud->GetLevelPointCount(1), 50);
    EXPECT_EQ(cloud->GetLevelPointCount(2), 25);
    EXPECT_EQ(cloud->GetLevelPointCount(3), 12);
    EXPECT_EQ(cloud->GetLevelPointCount(4), 0);
    cloud->SetLevelPointCount(2, 80);
    EXPECT_EQ(cloud->GetLevelPointCount(2), 50) << "at most the level before";
    cloud->SetLevelPointCount(0, 1);
    cloud->SetLevelPointCount(4, 1);
    EXPECT_EQ(cloud->GetLevelPointCount(0), 100);
}

TEST_F(CloudTests, LightingNeedsNormals)
{
    RCK3dPointCloud* cloud = NewCloud();
    std::vector<std::string> console = Console([&] { cloud->EnableLighting(TRUE); });
    ASSERT_EQ(console.size(), 1u);
    EXPECT_EQ(console[0], "1 Lighting can not be enabled on point cloud if no Normal attributes are used");
    EXPECT_FALSE(cloud->IsLightingEnabled());
    cloud->UseNormals(TRUE);
    cloud->EnableLighting(TRUE);
    EXPECT_TRUE(cloud->IsLightingEnabled());
    cloud->UseNormals(FALSE);
    EXPECT_FALSE(cloud->IsLightingEnabled());
}

TEST_F(CloudTests, AMillionRandomPointsComeBackWithinTheirLeafBoxesAndTheirAttributes)
{
    const int count = 1000000;
    std::vector<QxVector> positions;
    RCK3dPointCloud* cloud = RandomCloud(count, 1, &positions);
    EXPECT_EQ(cloud->GetPointCount(), count);
    ASSERT_EQ(CheckTree(cloud->GetTree()), "");
    EXPECT_EQ(cloud->GetSubdivisionMemory(), (int) cloud->GetTree().GetBytes());
    const std::vector<WalkedPoint> walked = WalkPoints(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize());
    ASSERT_EQ(walked.size(), (size_t) count);
    const QxVector precision = cloud->GetPrecision();
    std::vector<char> seen((size_t) count, 0);
    int far = 0;
    for (const WalkedPoint& w : walked) {
        ASSERT_LT(w.Index, (CKDWORD) count);
        seen[w.Index]++;
        const QxVector d = w.Position - positions[w.Index];
        // Within the leaf box / 256, or for a point that stopped higher up
        // (its error below the precision) and moved down when its leaf
        // split, within the precision.
        const QxVector slack = QxMax((w.LeafBox.Max - w.LeafBox.Min) * (1.0f / 256), precision) * 1.001f;
        far += std::fabs(d.x) > slack.x || std::fabs(d.y) > slack.y || std::fabs(d.z) > slack.z;
    }
    EXPECT_EQ(far, 0);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), count);
    const QxVector* table = CloudNormalTable();
    int wrong = 0;
    for (int i = 0; i < count; ++i) {
        QxVector n;
        cloud->GetPointNormal(&n, i);
        wrong += cloud->GetPointColor(i) != CloudColorFrom565(CloudColorTo565(m_Colors[i])) ||
                 !(n == table[CloudNormalIndex(m_Normals[i])]) || cloud->GetPointIntensity(i) != m_Intensities[i];
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_NEAR(cloud->GetPickingRadius(), QxMagnitude(cloud->GetBoxSize()) / 1000, 1e-6f);
}

TEST_F(CloudTests, BuffersOfNoPointsOrHostileCountsAreHandled)
{
    RCK3dPointCloud* cloud = NewCloud();
    QxVector precision;
    EXPECT_FALSE(cloud->CreateFromBuffers(-1, nullptr, nullptr, nullptr, nullptr, precision));
    EXPECT_FALSE(cloud->CreateFromBuffers(5, nullptr, nullptr, nullptr, nullptr, precision));
    EXPECT_FALSE(cloud->CreateFromBuffers(CLOUD_MAXPOINTS + 1, nullptr, nullptr, nullptr, nullptr, precision));
    EXPECT_TRUE(cloud->CreateFromBuffers(0, nullptr, nullptr, nullptr, nullptr, precision));
    EXPECT_EQ(cloud->GetPointCount(), 0);
    CloudIterator* it = cloud->GetIterator();
    EXPECT_FALSE(it->NextPoint());
    const QxVector odd[3] = {QxVector(NAN, 0, 0), QxVector(1, 1, 1), QxVector(2, INFINITY, 2)};
    EXPECT_TRUE(cloud->CreateFromBuffers(3, odd, nullptr, nullptr, nullptr, precision));
    EXPECT_EQ(cloud->GetBoundingBox(TRUE).Min, QxVector(1, 1, 1)) << "only finite points make the box";
    EXPECT_EQ(WalkPoints(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize()).size(), 3u);
}

TEST_F(CloudTests, APrecisionOfZeroBecomesTheBoxSizeTimesTheDefault)
{
    RCK3dPointCloud* cloud = NewCloud();
    const QxVector p[2] = {QxVector(0, 0, 0), QxVector(10, 20, 40)};
    QxVector precision;
    Manager()->GetSettings().PointsDefaultPrecision = 0.01f;
    cloud->CreateFromBuffers(2, p, nullptr, nullptr, nullptr, precision);
    EXPECT_EQ(precision, QxVector(10, 20, 40) * 0.01f) << "written back";
    EXPECT_EQ(cloud->GetPrecision(), precision);
    QxVector given(1, 2, 3);
    cloud->CreateFromBuffers(2, p, nullptr, nullptr, nullptr, given);
    EXPECT_EQ(cloud->GetPrecision(), QxVector(1, 2, 3));
}

TEST_F(CloudTests, SaveAndLoadKeepPagesAttributesAndLevels)
{
    RCK3dPointCloud* cloud = RandomCloud(30000, 2);
    CloudAttributeDesc desc;
    desc.Name = "Odd";
    desc.Bits = 27;
    const int odd = cloud->AddAttribute(desc);
    cloud->EnableAttribute(odd, TRUE);
    for (int i = 0; i < 30000; ++i)
        cloud->SetAttributeValue(i, odd, (CKDWORD) i * 2654435761u);
    cloud->SetLevelPointCount(1, 1000);
    cloud->SetCurrentLevel(1);
    cloud->UsePointSprites(TRUE);
    cloud->SetPointSize(3.0f);
    CloudSelection* selection = cloud->CreateSelection("picked", 77);
    selection->SetDrawMode(CLOUD_SELECTION_DRAWSPRITES);
    // Drawing once sets the level bits and the group bits of the nodes.
    RCKRenderContext* rc = NewRecordingContext();
    cloud->Render(rc, 0);
    const CloudTree tree = cloud->GetTree();

    CKContext* loaded = SaveAndLoad({cloud});
    RCK3dPointCloud* back = Find<RCK3dPointCloud>(loaded, "cloud", CKCID_3DPOINTCLOUD);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->GetTree().Pages.size(), tree.Pages.size());
    for (size_t d = 0; d < tree.Pages.size(); ++d) {
        ASSERT_EQ(back->GetTree().Pages[d].size(), tree.Pages[d].size());
        for (size_t i = 0; i < tree.Pages[d].size(); ++i) {
            const CloudNode& a = tree.Pages[d][i];
            const CloudNode& b = back->GetTree().Pages[d][i];
            ASSERT_EQ(b.W, CloudIsInner(a) ? (a.W & ~CLOUD_GROUPMASK) : a.W) << d << " " << i;
            if (!CloudIsInner(a) && !CloudIsMultiLeaf(a)) {
                ASSERT_EQ(b.P, a.P) << "point words and their level bits";
            }
        }
    }
    EXPECT_EQ(WalkPoints(back->GetTree(), back->GetBoxMin(), back->GetBoxSize()).size(), 30000u);
    ASSERT_EQ(back->GetAttributeCount(), cloud->GetAttributeCount());
    for (int a = 0; a < cloud->GetAttributeCount(); ++a) {
        EXPECT_EQ(back->GetAttribute(a)->Data, cloud->GetAttribute(a)->Data) << a;
        EXPECT_EQ(back->GetAttribute(a)->Bits, cloud->GetAttribute(a)->Bits) << a;
    }
    EXPECT_EQ(back->GetAttributeValue(29999, odd), cloud->GetAttributeValue(29999, odd));
    EXPECT_EQ(back->GetLevelPointCount(1), 1000);
    EXPECT_EQ(back->GetCurrentLevel(), 1);
    EXPECT_TRUE(back->IsUsingPointSprites());
    EXPECT_EQ(back->GetPointSize(), 3.0f);
    EXPECT_EQ(back->GetPickingRadius(), cloud->GetPickingRadius());
    EXPECT_EQ(back->GetBoundingBox(TRUE), cloud->GetBoundingBox(TRUE));
    ASSERT_EQ(back->GetSelectionCount(), 1);
    EXPECT_STREQ(back->GetSelection(0)->GetName()->CStr(), "picked");
    EXPECT_EQ(back->GetSelection(0)->GetCapacity(), 77);
    EXPECT_EQ(back->GetSelection(0)->GetDrawMode(), CLOUD_SELECTION_DRAWSPRITES);
}

TEST_F(CloudTests, ARootLeafOfManyPointsSurvivesSaveAndLoad)
{
    RCK3dPointCloud* cloud = NewCloud();
    std::mt19937 rng(8);
    std::vector<QxVector> p = RandomPoints(rng, 400, QxVector(0, 0, 0), QxVector(1, 1, 1));
    QxVector precision(10, 10, 10);
    cloud->CreateFromBuffers(400, p.data(), nullptr, nullptr, nullptr, precision);
    ASSERT_TRUE(CloudIsMultiLeaf(cloud->GetTree().Root()));
    CKContext* loaded = SaveAndLoad({cloud});
    RCK3dPointCloud* back = Find<RCK3dPointCloud>(loaded, "cloud", CKCID_3DPOINTCLOUD);
    ASSERT_NE(back, nullptr);
    std::vector<WalkedPoint> a = WalkPoints(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize());
    std::vector<WalkedPoint> b = WalkPoints(back->GetTree(), back->GetBoxMin(), back->GetBoxSize());
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].Index, b[i].Index);
        EXPECT_EQ(a[i].Position, b[i].Position);
    }
}

TEST_F(CloudTests, AVersionZeroSectionTakesItsPickingRadiusAndLevelsFromTheBox)
{
    RCK3dPointCloud* cloud = NewCloud();
    CKStateChunk* chunk = HandChunk(CKCID_3DPOINTCLOUD, 10, [](CKStateChunk* c) {
        c->WriteIdentifier(CK_STATESAVE_CLOUDDATA);
        c->WriteInt(0);
        c->WriteInt(80);
        c->WriteInt(0);
        c->WriteVector(QxVector(0.1f, 0.1f, 0.1f));
        c->WriteVector(QxVector(0, 0, 0));
        c->WriteVector(QxVector(3, 4, 0));
        c->WriteFloat(2.0f);
        c->WriteVector(QxVector(1, 2, 3));
        c->WriteFloat(4.0f);
    });
    ASSERT_EQ(cloud->Load(chunk, nullptr), 0);
    CKDeleteStateChunk(chunk);
    EXPECT_FLOAT_EQ(cloud->GetPickingRadius(), 0.005f);
    EXPECT_EQ(cloud->GetLevelPointCount(1), 40);
    EXPECT_EQ(cloud->GetLevelPointCount(2), 20);
    EXPECT_EQ(cloud->GetLevelPointCount(3), 10);
    EXPECT_TRUE(cloud->ArePointsShown());
    EXPECT_EQ(cloud->GetRescale(), 4.0f);
    EXPECT_EQ(*cloud->GetTranslation(), QxVector(1, 2, 3));
}

TEST_F(CloudTests, HostileSectionsAreRefused)
{
    RCK3dPointCloud* cloud = RandomCloud(500, 3);
    CKStateChunk* saved = cloud->Save(nullptr, 0xFFFFFFFF);
    const int words = saved->GetDataSize() / 4;
    const CKDWORD* data = saved->GetBuffer() + 1;
    // Every cut of the chunk either loads what it holds or is refused,
    // without harm.
    for (int cut = 0; cut < words; cut += 7) {
        CKStateChunk* chunk = HandChunk(CKCID_3DPOINTCLOUD, saved->GetDataVersion(), [&](CKStateChunk* c) {
            for (int i = 0; i < cut; ++i)
                c->WriteDword(data[i]);
        });
        RCK3dPointCloud* other = NewCloud("other");
        other->Load(chunk, nullptr);
        CKDeleteStateChunk(chunk);
        ASSERT_EQ(CheckTree(other->GetTree()), "") << cut;
        m_Context->DestroyObject(other);
    }
    CKDeleteStateChunk(saved);

    auto load = [&](auto fill) {
        CKStateChunk* chunk = HandChunk(CKCID_3DPOINTCLOUD, 10, fill);
        RCK3dPointCloud* other = NewCloud("other");
        const CKERROR error = other->Load(chunk, nullptr);
        CKDeleteStateChunk(chunk);
        m_Context->DestroyObject(other);
        return error;
    };
    EXPECT_NE(load([](CKStateChunk* c) {
                  c->WriteIdentifier(CK_STATESAVE_CLOUDDATA);
                  c->WriteInt(2);
                  c->WriteInt(-5);
              }),
              0);
    EXPECT_NE(load([](CKStateChunk* c) {
                  c->WriteIdentifier(CK_STATESAVE_CLOUDATTRIBUTES);
                  c->WriteInt(2);
              }),
              0)
        << "fewer attributes than the built-ins";
    EXPECT_NE(load([](CKStateChunk* c) {
                  c->WriteIdentifier(CK_STATESAVE_CLOUDSELECTIONS);
                  c->WriteInt(100000000);
              }),
              0);
}

TEST_F(CloudTests, ClearDropsPointsAndSelectionsUnlessKept)
{
    RCK3dPointCloud* cloud = RandomCloud(100, 4);
    cloud->CreateSelection("a", 10);
    cloud->CreateSelection("a", 20);
    EXPECT_EQ(cloud->GetSelectionByName("a")->GetCapacity(), 10) << "the first of that name";
    cloud->Clear(0, TRUE);
    EXPECT_EQ(cloud->GetPointCount(), 0);
    EXPECT_FALSE(cloud->GetTree().HasRoot());
    EXPECT_EQ(cloud->GetSelectionCount(), 2);
    cloud->DeleteSelectionByName("a");
    EXPECT_EQ(cloud->GetSelection(0)->GetCapacity(), 20);
    cloud->DeleteSelection(nullptr);
    cloud->Clear(0, FALSE);
    EXPECT_EQ(cloud->GetSelectionCount(), 0);
    EXPECT_EQ(cloud->GetWorkingSelection(), nullptr);
}

TEST_F(CloudTests, PositionAndBoxMoveTogether)
{
    RCK3dPointCloud* cloud = RandomCloud(100, 5);
    const QxBbox before = cloud->GetBoundingBox(TRUE);
    const QxVector to(5, 6, 7);
    cloud->SetPositionAndBox(&to);
    QxVector position;
    cloud->GetPosition(&position);
    EXPECT_EQ(position, to);
    EXPECT_EQ(cloud->GetBoundingBox(TRUE).Min, before.Min + to);
}

} // namespace

namespace {

// An attribute beside the four built-ins is taken when it is a float of 32
// bits (a width of 0 meaning 32) or an integer of 1 to 32 bits; any other
// kind or width refuses the attribute section, and the cloud keeps its own.
TEST_F(CloudTests, AttributesOfAKnownKindAndWidthOnlyAreLoaded)
{
    struct Case
    {
        int type;
        int bits;
        bool taken;
    };
    const Case cases[] = {
        {CLOUD_ATTRIBUTE_FLOAT, 32, true},    {CLOUD_ATTRIBUTE_FLOAT, 0, true},     {CLOUD_ATTRIBUTE_FLOAT, 16, false},
        {CLOUD_ATTRIBUTE_FLOAT, 31, false},   {CLOUD_ATTRIBUTE_INTEGER, 1, true},   {CLOUD_ATTRIBUTE_INTEGER, 32, true},
        {CLOUD_ATTRIBUTE_INTEGER, 33, false}, {CLOUD_ATTRIBUTE_INTEGER, -1, false}, {2, 32, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << ", " << c.bits << " bits");
        CKStateChunk* chunk = HandChunk(CKCID_3DPOINTCLOUD, 10, [&](CKStateChunk* k) {
            k->WriteIdentifier(CK_STATESAVE_CLOUDATTRIBUTES);
            k->WriteInt(5);
            for (int a = 0; a < 5; ++a) {
                k->WriteInt(a < 4 ? CLOUD_ATTRIBUTE_INTEGER : c.type);
                k->WriteString(a < 4 ? "built-in" : "Extra");
                k->WriteString("");
                k->WriteInt(a < 4 ? 32 : c.bits);
                k->WriteDword(0);
                k->WriteInt(0);
                k->WriteInt(0); // not enabled: no values
                k->WriteDword(0);
            }
        });
        RCK3dPointCloud* cloud = NewCloud();
        EXPECT_EQ(cloud->Load(chunk, nullptr), c.taken ? CKErr::Ok : CKErr::InvalidFile);
        CKDeleteStateChunk(chunk);
        ASSERT_EQ(cloud->GetAttributeCount(), c.taken ? 5 : 4);
        if (c.taken) {
            EXPECT_STREQ(cloud->GetAttribute(4)->Name.CStr(), "Extra");
            EXPECT_EQ(cloud->GetAttribute(4)->Bits, c.bits == 0 ? 32 : c.bits);
        }
        m_Context->DestroyObject(cloud);
    }
}

} // namespace
