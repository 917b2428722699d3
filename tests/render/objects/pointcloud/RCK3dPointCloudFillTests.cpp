// The vertex buffers of a cloud drawn with colours: every vertex holds a
// point of its level with that point's own colour, after a first fill, a
// move of the box (positions written again) and a change of colours. And
// every buffer byte for byte as the walk of the entries writes it, in
// every vertex format and level, through the changes that write it again.
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "render/context/RCKRenderManager.h"
#include "render/context/rasterizer/CKRasterizer.h"
#include "render/context/rasterizer/CKVertexFormat.h"
#include "render/mesh/CKMaterial.h"
#include "render/objects/pointcloud/CloudPointCodec.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "tests/render/objects/EntityTestSupport.h"
#include "tests/render/objects/pointcloud/CloudTestSupport.h"

namespace {

// A vertex: position bits and colour.
using Vertex = std::vector<CKDWORD>;

class CloudFillTests : public EntityFixture
{
protected:
    std::multiset<Vertex> Buffered(RCK3dPointCloud* cloud, int level)
    {
        std::multiset<Vertex> out;
        CKRasterizerContext* rst = m_Rc->GetRasterizerContext();
        for (const CloudVertexGroup& group : cloud->GetVertexGroups().Groups) {
            const CloudLevelEntry& e = group.Levels[level];
            const CKVertexBufferDesc* desc = e.VertexCount ? rst->GetVertexBufferData(e.VertexBuffer) : nullptr;
            if (!desc)
                continue;
            EXPECT_EQ(desc->VertexSize, 16u);
            const auto* data = static_cast<const CKBYTE*>(rst->LockVertexBuffer(e.VertexBuffer, 0, e.VertexCount));
            for (int v = 0; v < e.VertexCount; ++v) {
                Vertex vertex(4);
                std::memcpy(vertex.data(), data + (size_t) v * 16, 16);
                out.insert(vertex);
            }
            rst->UnlockVertexBuffer(e.VertexBuffer);
        }
        return out;
    }
    std::multiset<Vertex> Expected(RCK3dPointCloud* cloud, int level, const std::vector<CKDWORD>& colors,
                                   const CKDWORD* fixed = nullptr)
    {
        std::multiset<Vertex> out;
        for (const WalkedPoint& w : WalkPoints(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize())) {
            if (level != 0 && !(w.Levels & (1u << (level - 1))))
                continue;
            Vertex vertex(4);
            std::memcpy(vertex.data(), &w.Position, 12);
            vertex[3] = fixed ? *fixed : CloudColorFrom565(CloudColorTo565(colors[w.Index]));
            out.insert(vertex);
        }
        return out;
    }
    void Frame(RCK3dPointCloud* cloud)
    {
        cloud->ModifyMoveableFlags(CK_3DENTITY_FRUSTUMTESTED, 0);
        cloud->Render(m_Rc, 0);
    }

    RCKRenderContext* m_Rc = nullptr;
};

TEST_F(CloudFillTests, EveryVertexHoldsAPointOfItsLevelWithItsOwnColour)
{
    m_Rc = NewRecordingContext();
    Manager()->GetSettings().PointsMaxTimeToFillVB = 1e30f;
    Manager()->GetSettings().PointsVerticesPerVB = 8192;
    auto* cloud = static_cast<RCK3dPointCloud*>(m_Context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
    std::mt19937 rng(11);
    const std::vector<QxVector> p = RandomPoints(rng, 30000, QxVector(-10, -10, 20), QxVector(10, 10, 40));
    std::vector<CKDWORD> colors(p.size());
    for (CKDWORD& c : colors)
        c = 0xFF000000 | (CKDWORD) rng();
    QxVector precision;
    cloud->CreateFromBuffers((int) p.size(), p.data(), nullptr, colors.data(), nullptr, precision);
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, TRUE);
    for (int level : {0, 3}) {
        cloud->SetCurrentLevel(level);
        Frame(cloud);
        EXPECT_TRUE(Buffered(cloud, level) == Expected(cloud, level, colors)) << level;
    }
    // Moved: the positions follow the box, the colours stay.
    const QxVector to(1.5f, 0, 0);
    cloud->SetPositionAndBox(&to);
    Frame(cloud);
    EXPECT_TRUE(Buffered(cloud, 3) == Expected(cloud, 3, colors));
    cloud->SetCurrentLevel(0);
    Frame(cloud);
    EXPECT_TRUE(Buffered(cloud, 0) == Expected(cloud, 0, colors));
    // New colours reach the buffers.
    for (size_t i = 0; i < colors.size(); i += 7) {
        colors[i] = 0xFF000000 | (CKDWORD) rng();
        cloud->SetPointColor((int) i, colors[i]);
    }
    Frame(cloud);
    EXPECT_TRUE(Buffered(cloud, 0) == Expected(cloud, 0, colors));
    // The material's colour replaces every point's.
    auto* material = static_cast<CKMaterial*>(m_Context->CreateObject(CKCID_MATERIAL, "m"));
    material->SetDiffuse(QxColor(1.0f, 0.0f, 0.0f, 1.0f));
    cloud->SetMaterial(material);
    cloud->UseMaterialColor(TRUE);
    Frame(cloud);
    const CKDWORD red = material->GetDiffuse().GetARGB();
    EXPECT_TRUE(Buffered(cloud, 0) == Expected(cloud, 0, colors, &red));
}

// What each entry's buffer of the level holds by the walk of the entries:
// per group, the vertices' bytes.
std::map<int, std::vector<CKBYTE>> Walked(RCK3dPointCloud* cloud, int level, bool bgra)
{
    std::map<int, std::vector<CKBYTE>> out;
    CloudVertexGroups groups = cloud->GetVertexGroups();
    const CKDWORD format = cloud->GetVertexFormat();
    CKMaterial* material = cloud->IsUsingMaterialColor() ? cloud->GetMaterial() : nullptr;
    CloudForEachEntry(cloud->GetTree(), groups, cloud->GetBoxMin(), cloud->GetBoxSize(), level,
                      [&](int g, CloudLevelEntry& entry, auto&& points) {
                          std::vector<CKBYTE>& bytes = out[g];
                          int n = 0;
                          points([&](const CloudNode& point, const QxVector& min, const QxVector& size) {
                              if (n++ >= entry.VertexCount)
                                  return;
                              const int index = (int) CloudPointIndex(point.P);
                              auto put = [&](const void* v, size_t count) {
                                  const auto* b = static_cast<const CKBYTE*>(v);
                                  bytes.insert(bytes.end(), b, b + count);
                              };
                              const QxVector p = CloudReconstruct(CloudQuantizedOf(point), min, size);
                              put(&p, 12);
                              if (format & CKRST_FVF_NORMAL) {
                                  QxVector normal;
                                  cloud->GetPointNormal(&normal, index);
                                  put(&normal, 12);
                              }
                              if (format & CKRST_FVF_DIFFUSE) {
                                  CKDWORD c = material ? material->GetDiffuse().GetARGB() : cloud->GetPointColor(index);
                                  if (bgra)
                                      c = (c & 0xFF00FF00) | ((c >> 16) & 0xFF) | ((c & 0xFF) << 16);
                                  put(&c, 4);
                              }
                              int sets = 0;
                              for (int a = CLOUD_ATTRIBUTE_INTENSITY; a < cloud->GetAttributeCount() && sets < 8; ++a) {
                                  if (!cloud->IsAttributeEnabled(a) || !cloud->IsAttributeDrawn(a))
                                      continue;
                                  const float v = cloud->GetAttribute(a)->Type == CLOUD_ATTRIBUTE_FLOAT
                                                      ? cloud->GetAttributeFloat(index, a)
                                                      : (float) cloud->GetAttributeValue(index, a);
                                  put(&v, 4);
                                  ++sets;
                              }
                          });
                          return true;
                      });
    return out;
}

class CloudFillBytesTests : public CloudFillTests
{
protected:
    void SetUp() override
    {
        CloudFillTests::SetUp();
        m_Rc = NewRecordingContext();
        Manager()->GetSettings().PointsMaxTimeToFillVB = 1e30f;
        Manager()->GetSettings().PointsVerticesPerVB = 8192;
    }
    RCK3dPointCloud* Make(unsigned seed, int count)
    {
        auto* cloud = static_cast<RCK3dPointCloud*>(m_Context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
        Replace(cloud, seed, count);
        return cloud;
    }
    void Replace(RCK3dPointCloud* cloud, unsigned seed, int count)
    {
        std::mt19937 rng(seed);
        const std::vector<QxVector> p = RandomPoints(rng, count, QxVector(-10, -10, 20), QxVector(10, 10, 40));
        std::vector<QxVector> normals(p.size());
        std::vector<CKDWORD> colors(p.size());
        std::vector<CKBYTE> intensities(p.size());
        for (size_t i = 0; i < p.size(); ++i) {
            normals[i] = QxNormalize(QxVector((float) (rng() % 200) - 100, (float) (rng() % 200) - 100, 50));
            colors[i] = 0xFF000000 | (CKDWORD) rng();
            intensities[i] = (CKBYTE) rng();
        }
        QxVector precision;
        cloud->CreateFromBuffers(count, p.data(), normals.data(), colors.data(), intensities.data(), precision);
    }
    // Every level drawn in turn: each entry's buffer of the level and of
    // the coarse one as the walk writes it.
    void ExpectAsWalked(RCK3dPointCloud* cloud, const char* what, bool bgra = false)
    {
        for (int level = 0; level < 4; ++level) {
            cloud->SetCurrentLevel(level);
            Frame(cloud);
            // Every buffer of the level drawn, once.
            int buffers = 0, points = 0;
            for (const CloudVertexGroup& group : cloud->GetVertexGroups().Groups) {
                buffers += group.Levels[level].VertexCount > 0;
                points += group.Levels[level].VertexCount;
            }
            EXPECT_EQ(Manager()->GetSettings().PointsProfCountVBDrawn, buffers) << what;
            EXPECT_EQ(Manager()->GetSettings().PointsProfCountPointsDrawn, points) << what;
            for (int drawn : {level, 3}) {
                const std::map<int, std::vector<CKBYTE>> walked = Walked(cloud, drawn, bgra);
                std::map<int, std::vector<CKBYTE>> buffered;
                CKRasterizerContext* rst = m_Rc->GetRasterizerContext();
                const std::vector<CloudVertexGroup>& groups = cloud->GetVertexGroups().Groups;
                for (size_t g = 0; g < groups.size(); ++g) {
                    const CloudLevelEntry& e = groups[g].Levels[drawn];
                    if (e.VertexCount == 0)
                        continue;
                    const CKVertexBufferDesc* desc = rst->GetVertexBufferData(e.VertexBuffer);
                    ASSERT_TRUE(desc) << what;
                    ASSERT_EQ(desc->VertexSize, (CKDWORD) cloud->GetVertexSize()) << what;
                    const auto* data =
                        static_cast<const CKBYTE*>(rst->LockVertexBuffer(e.VertexBuffer, 0, e.VertexCount));
                    buffered[(int) g].assign(data, data + (size_t) e.VertexCount * desc->VertexSize);
                    rst->UnlockVertexBuffer(e.VertexBuffer);
                }
                EXPECT_FALSE(walked.empty()) << what;
                EXPECT_TRUE(buffered == walked) << what << ": level " << level << ", buffers of level " << drawn;
            }
        }
    }
};

TEST_F(CloudFillBytesTests, ColoursOnlyEveryLevelAsTheWalkThroughEveryChange)
{
    RCK3dPointCloud* cloud = Make(3, 30000);
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, TRUE);
    ExpectAsWalked(cloud, "first fill");
    ASSERT_EQ(cloud->GetVertexSize(), 16);
    const QxVector to(2.25f, -1.0f, 0.5f);
    cloud->SetPositionAndBox(&to);
    ExpectAsWalked(cloud, "moved");
    for (int i = 0; i < 30000; i += 5)
        cloud->SetPointColor(i, 0xFF000000 | (CKDWORD) i * 40503u);
    ExpectAsWalked(cloud, "new colours");
    cloud->SetLevelPointCount(3, 700);
    cloud->SetLevelPointCount(1, 9000);
    ExpectAsWalked(cloud, "other level counts");
    Replace(cloud, 4, 21000);
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, TRUE);
    ExpectAsWalked(cloud, "points replaced");
    // No colour attribute: the material's colour mode with no material
    // gives white, with one its diffuse colour.
    cloud->UseColors(FALSE);
    cloud->UseMaterialColor(TRUE);
    ExpectAsWalked(cloud, "white");
    auto* material = static_cast<CKMaterial*>(m_Context->CreateObject(CKCID_MATERIAL, "m"));
    material->SetDiffuse(QxColor(0.0f, 0.5f, 1.0f, 1.0f));
    // A material given alone asks for no writing: the mode is set again.
    cloud->UseMaterialColor(FALSE);
    cloud->SetMaterial(material);
    cloud->UseMaterialColor(TRUE);
    ExpectAsWalked(cloud, "material");
}

TEST_F(CloudFillBytesTests, ColoursForADeviceThatWantsRedLowAsTheWalk)
{
    RCK3dPointCloud* cloud = Make(6, 12000);
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, TRUE);
    auto& caps = const_cast<CKRasterizerDriverCaps&>(m_Rc->GetRasterizerContext()->GetDriver()->GetCaps());
    const CKDWORD was = caps.CapsFlags;
    caps.CapsFlags |= CKRST_CAPS_COLORBGRA;
    ExpectAsWalked(cloud, "bgra", true);
    caps.CapsFlags = was;
}

TEST_F(CloudFillBytesTests, ColoursOfAnotherWidthOrCutShortAsTheWalk)
{
    // As a file may leave them: the colours of the last points missing,
    // then packed in 12 bits.
    RCK3dPointCloud* cloud = Make(9, 15000);
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, TRUE);
    CloudAttribute* colors = cloud->GetAttribute(CLOUD_ATTRIBUTE_COLORS);
    colors->Data.resize(colors->Data.size() - 2 * 700 - 1);
    ExpectAsWalked(cloud, "cut short");
    colors->Bits = 12;
    colors->Mask = CloudAttribute::MaskOf(12);
    colors->Data.resize(colors->ByteSizeFor(15000) - 1000);
    cloud->SetPointColor(3, 0xFFFFFFFF);
    ExpectAsWalked(cloud, "12 bits");
}

TEST_F(CloudFillBytesTests, EveryOtherVertexFormatAsTheWalk)
{
    RCK3dPointCloud* cloud = Make(7, 20000);
    ExpectAsWalked(cloud, "positions only");
    ASSERT_EQ(cloud->GetVertexSize(), 12);
    cloud->EnableLighting(TRUE);
    ExpectAsWalked(cloud, "normals");
    ASSERT_EQ(cloud->GetVertexSize(), 24);
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, TRUE);
    ExpectAsWalked(cloud, "normals and colours");
    ASSERT_EQ(cloud->GetVertexSize(), 28);
    cloud->EnableLighting(FALSE);
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, FALSE);
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_INTENSITY, TRUE);
    // Sixteen bytes a vertex, as with colours, but a texture set.
    ExpectAsWalked(cloud, "intensity");
    ASSERT_EQ(cloud->GetVertexSize(), 16);
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, TRUE);
    CloudAttributeDesc desc;
    desc.Name = "f";
    desc.Type = CLOUD_ATTRIBUTE_FLOAT;
    desc.Flags = CLOUD_ATTRIBUTE_DRAWN;
    const int f = cloud->AddAttribute(desc);
    cloud->EnableAttribute(f, TRUE);
    for (int i = 0; i < 20000; i += 3)
        cloud->SetAttributeFloat(i, f, 0.25f * (float) i);
    ExpectAsWalked(cloud, "colours and two texture sets");
    ASSERT_EQ(cloud->GetVertexSize(), 24);
    const QxVector to(-4.0f, 0.125f, 3.0f);
    cloud->SetPositionAndBox(&to);
    cloud->SetAttributeFloat(1, f, -1.0f);
    ExpectAsWalked(cloud, "moved, a value changed");
}

} // namespace
