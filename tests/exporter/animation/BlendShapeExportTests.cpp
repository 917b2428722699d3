#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exporter/builder/ExportBuilder.h"
#include "platform/host/HostDump.h"
#include "platform/host/IParamBlock.h"
#include "platform/host/SkinModifier.h"
#include "platform/host/TriObject.h"
#include "platform/host/VertexAnimation.h"
#include "render/mesh/CKBlendShapeData.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "tests/exporter/animation/AnimationTestSupport.h"

namespace {

constexpr float kLargest = std::numeric_limits<float>::max();

// A quad of two faces (host vertices 0 to 3) under a Morpher, with blend
// shapes exported.
class BlendShapeExport : public MeshAnimationTest
{
protected:
    void SetUp() override
    {
        MeshAnimationTest::SetUp();
        m_Exporter.ExportBlendShapes = 1;
        m_Node = AddNode("Face", nullptr);
        m_Stack = QuadStack(m_Node);
        m_Morpher = AddObject<MorpherModifier>();
        m_Stack->AddModifierAtBottom(m_Morpher);
    }

    // Channel c with a name, a weight and a full target moving vertex 0.
    MorphChannel& Channel(int c, const char* name, float weight, const Point3& move)
    {
        MorphChannel& channel = m_Morpher->Channel(c);
        channel.SetUsed(true);
        channel.SetName(name);
        channel.GetWeightBlock()->SetValue(0, 0, weight);
        std::vector<Point3> target = QuadPoints();
        target[0] += move;
        channel.SetTarget(target);
        return channel;
    }

    const MeshBuilder* Kept() { return m_Builder->FindMeshBuilder((ExportKey) m_Node); }
    CKMesh* Mesh() { return m_Builder->FindEntity((ExportKey) m_Node)->GetCurrentMesh(); }

    // Each engine vertex made from host vertex 0 moves by expected; the
    // others keep their place (their normals may turn).
    void ExpectVertexZeroMoves(const CKBlendShapeTarget& target, const QxVector& expected)
    {
        const MeshBuilder* kept = Kept();
        ASSERT_NE(kept, nullptr);
        int moved = 0;
        for (const CKBlendShapeDelta& delta : target.Deltas) {
            const bool zero = kept->weldedVertices[(int) delta.Vertex].positionIndex == 0;
            moved += zero ? 1 : 0;
            const QxVector want = zero ? expected : QxVector();
            EXPECT_NEAR(delta.Position.x, want.x, 1e-6f);
            EXPECT_NEAR(delta.Position.y, want.y, 1e-6f);
            EXPECT_NEAR(delta.Position.z, want.z, 1e-6f);
        }
        EXPECT_EQ(moved, kept->vertexMap[0].Size());
    }

    INode* m_Node = nullptr;
    IDerivedObject* m_Stack = nullptr;
    MorpherModifier* m_Morpher = nullptr;
};

TEST_F(BlendShapeExport, ChannelsOneAndThreeGiveTwoNamedShapesTheirWeightsAndTheHostDelta)
{
    Channel(1, "smile", 50.0f, Point3(0, 0, 1));
    Channel(3, "blink", 0.0f, Point3(0, 0, 0));
    const std::string before = DumpHostScene(m_Scene);
    const int holdLevel = theHold.SuperLevel();
    ExportAll();

    EXPECT_NE(Report().find("\r\nExporting 2 blend shapes for mesh Face"), std::string::npos);
    EXPECT_NE(Report().find("\r\nExporting blend shape #0 (smile) of mesh Face"), std::string::npos);
    EXPECT_NE(Report().find("\r\nExporting blend shape #2 (blink) of mesh Face"), std::string::npos);
    CKBlendShapeData data;
    Mesh()->GetBlendShapes(data);
    ASSERT_EQ(data.Names.Size(), 2);
    EXPECT_STREQ(data.Names[0].CStr(), "smile");
    EXPECT_STREQ(data.Names[1].CStr(), "blink");
    ASSERT_EQ(data.Targets.Size(), 2);
    // Host (0, 0, 1) is the engine's (0, 1, 0).
    ExpectVertexZeroMoves(data.Targets[0], QxVector(0, 1, 0));
    EXPECT_EQ(data.Targets[0].WeightIndex, 0u);
    EXPECT_EQ(data.Targets[0].Pivot, 1.0f);
    EXPECT_EQ(data.Targets[0].SlopeBelow, 1.0f);
    // A target that moves nothing is still a shape, without deltas.
    EXPECT_EQ(data.Targets[1].WeightIndex, 1u);
    EXPECT_EQ(data.Targets[1].Deltas.Size(), 0);
    CK3dEntity* entity = m_Builder->FindEntity((ExportKey) m_Node);
    EXPECT_EQ(entity->GetBlendShapeWeight(0), 0.5f);
    EXPECT_EQ(entity->GetBlendShapeWeight(1), 0.0f);

    // The host is left as it was: no copy, weights as set, no open hold.
    EXPECT_EQ(DumpHostScene(m_Scene), before);
    EXPECT_EQ(m_Scene.GetRootNode()->NumberOfChildren(), 1);
    float weight = 0.0f;
    Interval valid;
    m_Morpher->Channel(1).GetWeightBlock()->GetValue(0, 0, weight, valid);
    EXPECT_EQ(weight, 50.0f);
    EXPECT_EQ(theHold.SuperLevel(), holdLevel);
}

TEST_F(BlendShapeExport, NormalDeltasAreTheTargetsNormalsLessTheBases)
{
    Channel(1, "smile", 0.0f, Point3(0, 0, 1));
    // The target's shape as a mesh of its own gives the target's normals.
    TriObject* shape = Quad();
    shape->GetMesh().verts[0].z = 1;
    INode* reference = AddNode("Reference", shape);
    ExportAll();

    CKBlendShapeData data;
    Mesh()->GetBlendShapes(data);
    ASSERT_EQ(data.Targets.Size(), 1);
    CKMesh* target = m_Builder->FindEntity((ExportKey) reference)->GetCurrentMesh();
    ASSERT_EQ(target->GetVertexCount(), Mesh()->GetVertexCount());
    ASSERT_EQ(data.Targets[0].Deltas.Size(), Mesh()->GetVertexCount());
    for (const CKBlendShapeDelta& delta : data.Targets[0].Deltas) {
        QxVector base, moved;
        Mesh()->GetVertexNormal((int) delta.Vertex, &base);
        target->GetVertexNormal((int) delta.Vertex, &moved);
        EXPECT_NEAR(delta.Normal.x, moved.x - base.x, 1e-5f) << delta.Vertex;
        EXPECT_NEAR(delta.Normal.y, moved.y - base.y, 1e-5f) << delta.Vertex;
        EXPECT_NEAR(delta.Normal.z, moved.z - base.z, 1e-5f) << delta.Vertex;
    }
}

TEST_F(BlendShapeExport, ModifiersAboveTheMorpherDoNotReachTheDeltas)
{
    Channel(1, "smile", 0.0f, Point3(0, 0, 1));
    // A bone at twice the size scales the skinned points by 2 above the
    // Morpher; a vertex animation below the skin sets every point: neither
    // may scale, cancel or hide the delta.
    INode* bone = AddNode("Bone", nullptr, nullptr, ScaleMatrix(Point3(2, 2, 2)));
    auto* skin = AddObject<SkinModifier>();
    skin->SetBones({bone}, {Matrix3()});
    skin->Weights().assign(4, {SkinWeight{0, 1.0f}});
    auto* still = AddObject<VertexAnimationModifier>();
    std::vector<Point3> points = QuadPoints();
    for (Point3& p : points)
        p += Point3(5, 5, 5);
    ASSERT_TRUE(still->SetKeys({{0, points}}));
    auto* top = AddObject<IDerivedObject>();
    top->ReferenceObject(m_Stack);
    top->AddModifierAtBottom(skin);
    top->AddModifierAtBottom(still);
    m_Node->SetObjectRef(top);
    ExportAll();

    CKBlendShapeData data;
    Mesh()->GetBlendShapes(data);
    ASSERT_EQ(data.Targets.Size(), 1);
    ExpectVertexZeroMoves(data.Targets[0], QxVector(0, 1, 0));
}

TEST_F(BlendShapeExport, ProgressiveTargetsShapeTheirWeightsAndSlopes)
{
    MorphChannel& channel = Channel(2, "grow", 100.0f, Point3(0, 0, 4));
    std::vector<Point3> half = QuadPoints();
    half[0] += Point3(0, 0, 1);
    // Two further targets at the same percentage, before the full one.
    channel.SetProgressiveTargets({{50.0f, half}, {50.0f, half}});
    ExportAll();

    const MeshBuilder* kept = Kept();
    ASSERT_NE(kept, nullptr);
    ASSERT_EQ(kept->blendShapeSources.Size(), 3);
    ASSERT_EQ(kept->blendShapeWeights.Size(), 1);
    EXPECT_EQ(kept->blendShapeWeights[0], 1.0f);
    struct Expected
    {
        float weight, rising, falling, delta;
    };
    const Expected expected[] = {{0.5f, 2.0f, kLargest, 1.0f},
                                 {0.5f, kLargest, -2.0f, 1.0f},
                                 {1.0f, 2.0f, -1.0f / ((kLargest - 100.0f) * 0.01f), 4.0f}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const BlendShapeSource& s = kept->blendShapeSources[i];
        EXPECT_EQ(s.nameIndex, 0u);
        EXPECT_EQ(s.weight, expected[i].weight);
        EXPECT_EQ(s.risingSlope, expected[i].rising);
        EXPECT_EQ(s.fallingSlope, expected[i].falling);
        // Face 0 holds host vertex 0 in its first slot; the normal moves too.
        ASSERT_GE(s.faceDeltas.Size(), 1);
        EXPECT_EQ(s.faceDeltas[0].face, 0u);
        EXPECT_NEAR(s.faceDeltas[0].position[0].y, expected[i].delta, 1e-6f);
        EXPECT_NE(s.faceDeltas[0].normal[0], QxVector());
    }
}

TEST_F(BlendShapeExport, DuplicateNamesWarnForEachTargetAndSeveralMorphersWarnOnce)
{
    Channel(1, "same", 0.0f, Point3(0, 0, 1));
    Channel(2, "same", 0.0f, Point3(0, 0, 2));
    auto* lower = AddObject<MorpherModifier>();
    m_Stack->AddModifierAtBottom(lower);
    ExportAll();

    const std::string report = Report();
    const std::string warning = "\r\nDuplicated blend shape name found in node Face for channel #";
    int count = 0;
    for (size_t at = report.find(warning); at != std::string::npos; at = report.find(warning, at + 1))
        ++count;
    EXPECT_EQ(count, 2);
    EXPECT_NE(report.find(warning + "1! name = same. Some animation tracks will be inoperant!"), std::string::npos);
    EXPECT_NE(report.find("\r\nMesh Face has several 'Morpher' modifiers : blend shapes will be exported for top "
                          "modifier only, other modifier(s) will be ignored!"),
              std::string::npos);
    EXPECT_EQ(Kept()->blendShapeSources.Size(), 2);
}

TEST_F(BlendShapeExport, NothingWithoutTheOptionAMorpherOrAWayToCopyTheNode)
{
    Channel(1, "smile", 0.0f, Point3(0, 0, 1));
    m_Exporter.ExportBlendShapes = 0;
    ExportAll();
    EXPECT_EQ(Kept()->blendShapeNames.Size(), 0);

    // Without the host's interface no copy can be made: no shapes, and the
    // hold is closed all the same.
    const int level = theHold.SuperLevel();
    MeshBuilder builder(FALSE, nullptr);
    Interface* host = m_Exporter.maxInterface;
    m_Exporter.maxInterface = nullptr;
    ::Mesh unused;
    m_Exporter.ExportMorphTargets(m_Node, unused, builder);
    m_Exporter.maxInterface = host;
    EXPECT_EQ(builder.blendShapeNames.Size(), 0);
    EXPECT_EQ(theHold.SuperLevel(), level);

    // A builder that does not match the mesh gets no shapes.
    m_Exporter.ExportMorphTargets(m_Node, unused, builder);
    EXPECT_EQ(builder.blendShapeSources.Size(), 0);
    EXPECT_EQ(m_Scene.GetRootNode()->NumberOfChildren(), 1);
}

} // namespace
