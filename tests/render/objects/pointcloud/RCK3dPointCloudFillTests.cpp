// The vertex buffers of a cloud drawn with colours: every vertex holds a
// point of its level with that point's own colour, after a first fill, a
// move of the box (positions written again) and a change of colours.
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "render/context/RCKRenderManager.h"
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

} // namespace
