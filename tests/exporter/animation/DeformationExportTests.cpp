#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exporter/builder/ExportBuilder.h"
#include "exporter/geometry/MeshConversion.h"
#include "exporter/scene/MaxMatrix.h"
#include "platform/host/HostDump.h"
#include "platform/host/IParamBlock.h"
#include "platform/host/PatchMesh.h"
#include "platform/host/Physique.h"
#include "platform/host/SkinModifier.h"
#include "platform/host/VertexAnimation.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKSkin.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "tests/exporter/animation/AnimationTestSupport.h"

namespace {

constexpr TimeValue kFrame = 160;

// Deforming quads: skins, Physique and sampled morph keys.
class DeformationExport : public MeshAnimationTest
{
protected:
    void SetUp() override
    {
        MeshAnimationTest::SetUp();
        SetAnimationRange(0, 40 * kFrame);
        m_Exporter.samplingStepForDeformables = 1;
    }

    // The object pass, then the animated-mesh pass, as the driver runs them.
    void ExportScene()
    {
        ExportAll();
        m_Exporter.ExportAnimatedMeshes(m_Scene.GetRootNode());
    }
    CK3dEntity* Entity(INode* node) { return m_Builder->FindEntity((ExportKey) node); }
    CKSkin* SkinOf(INode* node) { return Entity(node) ? Entity(node)->GetSkin() : nullptr; }
    const MeshBuilder* Kept(INode* node) { return m_Builder->FindMeshBuilder((ExportKey) node); }
    CKMorphController* MorphOf(INode* node)
    {
        CKObjectAnimation* animation = AnimationOf(node);
        return animation ? animation->GetMorphController() : nullptr;
    }
    // A still bone (a box moved by a constant position track) at a place.
    INode* Bone(const char* name, const Point3& at)
    {
        return PRSNode(name, Track(KeyControl::Track::Position, KeyControl::Interpolation::Linear, {KeyAt(0, at)}),
                       nullptr, nullptr);
    }
    // A quad under a vertex animation with the keys (frames, vertex 0's
    // height), all other points as the quad's.
    INode* Deforming(const char* name, std::vector<std::pair<float, float>> heights)
    {
        INode* node = AddNode(name, nullptr);
        IDerivedObject* stack = QuadStack(node);
        auto* modifier = AddObject<VertexAnimationModifier>();
        std::vector<VertexAnimationKey> keys;
        for (const auto& [frame, height] : heights) {
            VertexAnimationKey key;
            key.time = (TimeValue) (frame * kFrame);
            key.points = QuadPoints();
            key.points[0].z = height;
            keys.push_back(key);
        }
        EXPECT_TRUE(modifier->SetKeys(keys));
        stack->AddModifierAtBottom(modifier);
        return node;
    }
};

TEST_F(DeformationExport, SkinWeightsStayAsGivenBonesBindToTheirEntitiesAndBadIndicesAreLeftOut)
{
    std::vector<INode*> bones;
    std::vector<Matrix3> init;
    for (int b = 0; b < 4; ++b) {
        bones.push_back(Bone(("Bone" + std::to_string(b)).c_str(), Point3((float) b, 0, 1)));
        init.push_back(bones.back()->GetNodeTM(0));
    }
    INode* node = AddNode("Skinned", nullptr);
    auto* skin = AddObject<SkinModifier>();
    skin->SetBones(bones, init);
    skin->SetSkinInitTM(node->GetNodeTM(0));
    skin->Weights() = {{{0, 0.1f}, {1, 0.2f}, {2, 0.3f}, {3, 0.9f}}, {{7, 0.5f}, {1, 1.0f}}, {{3, 1.0f}}, {}};
    QuadStack(node)->AddModifierAtBottom(skin);
    ExportScene();

    CKSkin* engine = SkinOf(node);
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(engine->GetBoneCount(), 4);
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(engine->GetBoneData(b)->GetBone(), Entity(bones[(size_t) b]));
        // The inverse of the bone's place at time 0.
        EXPECT_NEAR(engine->GetBoneData(b)->GetInitialInverseMatrix()[3][0], -(float) b, 1e-6f);
    }
    const MeshBuilder* kept = Kept(node);
    ASSERT_NE(kept, nullptr);
    ASSERT_EQ(engine->GetVertexCount(), kept->weldedVertices.Size());
    EXPECT_EQ(engine->GetNormalCount(), engine->GetVertexCount());
    for (int v = 0; v < engine->GetVertexCount(); ++v) {
        SCOPED_TRACE(v);
        const CKSkinVertexData* data = engine->GetVertexData(v);
        const CKDWORD host = kept->weldedVertices[v].positionIndex;
        EXPECT_EQ(data->GetInitialPos(), kept->weldedVertices[v].position);
        const std::vector<SkinWeight>& given = skin->Weights()[host];
        if (host == 1) {
            // Bone 7 does not exist: left out, bone 1 kept.
            ASSERT_EQ(data->GetBoneCount(), 1);
            EXPECT_EQ(data->GetBone(0), 1);
            EXPECT_EQ(data->GetWeight(0), 1.0f);
            continue;
        }
        ASSERT_EQ(data->GetBoneCount(), (int) given.size());
        for (size_t j = 0; j < given.size(); ++j) {
            EXPECT_EQ(data->GetBone((int) j), given[j].bone);
            EXPECT_EQ(data->GetWeight((int) j), given[j].weight);
        }
    }
    EXPECT_NE(Report().find("Skinned : Saving Skin Data\r\n"), std::string::npos);
    EXPECT_NE(Report().find("WARNING: 1 invalid bone indices in vertex bone lists of Skinned: they are left out\r\n"),
              std::string::npos);
    // A skinned node is no morph animation.
    EXPECT_EQ(MorphOf(node), nullptr);
}

TEST_F(DeformationExport, TheEnginesSkinDeformsAsTheHostsAtThreeFrames)
{
    // Two bones, one moving up and along, one turning.
    INode* lift = PRSNode("Lift",
                          Track(KeyControl::Track::Position, KeyControl::Interpolation::Linear,
                                {KeyAt(0, Point3(0, 0, 0)), KeyAt(20, Point3(1, 2, 3))}),
                          nullptr, nullptr);
    INode* turn = PRSNode("Turn", nullptr,
                          Track(KeyControl::Track::Rotation, KeyControl::Interpolation::Linear,
                                {RotationAt(0, Quat()), RotationAt(20, QFromAngAxis(1.0f, Point3(0, 0, 1)))}),
                          nullptr);
    INode* node = AddNode("Skinned", nullptr, nullptr, TransMatrix(Point3(0.5f, 0.25f, 2)));
    node->SetObjOffsetPos(Point3(0, 0, 0.5f));
    auto* skin = AddObject<SkinModifier>();
    skin->SetBones({lift, turn}, {lift->GetNodeTM(0), turn->GetNodeTM(0)});
    skin->SetSkinInitTM(node->GetNodeTM(0));
    skin->Weights() = {{{0, 1.0f}}, {{0, 0.25f}, {1, 0.75f}}, {{1, 1.0f}}, {{0, 0.5f}, {1, 0.5f}}};
    QuadStack(node)->AddModifierAtBottom(skin);
    ExportScene();

    CK3dEntity* entity = Entity(node);
    CKSkin* engine = SkinOf(node);
    ASSERT_NE(engine, nullptr);
    const MeshBuilder* kept = Kept(node);
    CKMesh* mesh = entity->GetCurrentMesh();
    for (int frame : {0, 7, 20}) {
        SCOPED_TRACE(frame);
        const TimeValue t = frame * kFrame;
        for (INode* n : {lift, turn, node}) {
            QxMatrix world;
            MaxToEngineMatrix(n->GetNodeTM(t), world);
            Entity(n)->SetWorldMatrix(world);
        }
        ASSERT_TRUE(engine->DeformMesh(entity));
        Object* host = node->EvalWorldState(t).obj;
        for (int v = 0; v < mesh->GetVertexCount(); ++v) {
            QxVector got;
            mesh->GetModifierVertex(v, &got);
            const int m = (int) kept->weldedVertices[v].positionIndex;
            const QxVector want = ToEngineAxes(host->GetPoint(m) * node->GetObjectOffsetTM());
            EXPECT_NEAR(got.x, want.x, 1e-4f);
            EXPECT_NEAR(got.y, want.y, 1e-4f);
            EXPECT_NEAR(got.z, want.z, 1e-4f);
        }
    }
}

TEST_F(DeformationExport, PhysiqueBecomesARigidSkinWithNormalisedWeightsAndBonesInFirstUseOrder)
{
    INode* a = Bone("A", Point3(1, 0, 0));
    INode* b = Bone("B", Point3(2, 0, 0));
    INode* unused = Bone("Unused", Point3(3, 0, 0));
    INode* node = AddNode("Body", nullptr);
    auto* physique = AddObject<PhysiqueModifier>();
    physique->Vertices() = {{RIGID_BLENDED_TYPE, {b, a}, {0.2f, 0.2f}},
                            {RIGID_TYPE, {a}, {1.0f}},
                            {RIGID_BLENDED_TYPE, {a, b}, {0.0f, 0.0f}},
                            {9, {unused}, {1.0f}}};
    QuadStack(node)->AddModifierAtBottom(physique);
    ExportScene();

    CKSkin* engine = SkinOf(node);
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(engine->GetBoneCount(), 2);
    EXPECT_EQ(engine->GetBoneData(0)->GetBone(), Entity(b));
    EXPECT_EQ(engine->GetBoneData(1)->GetBone(), Entity(a));
    const MeshBuilder* kept = Kept(node);
    for (int v = 0; v < engine->GetVertexCount(); ++v) {
        SCOPED_TRACE(v);
        const CKSkinVertexData* data = engine->GetVertexData(v);
        switch (kept->weldedVertices[v].positionIndex) {
        case 0: // 0.2 / 0.2 shares the vertex half and half.
        case 2: // weights summing to 0 share it equally
            ASSERT_EQ(data->GetBoneCount(), 2);
            EXPECT_EQ(data->GetWeight(0), 0.5f);
            EXPECT_EQ(data->GetWeight(1), 0.5f);
            break;
        case 1:
            ASSERT_EQ(data->GetBoneCount(), 1);
            EXPECT_EQ(data->GetBone(0), 1);
            EXPECT_EQ(data->GetWeight(0), 1.0f);
            break;
        default: EXPECT_EQ(data->GetBoneCount(), 0);
        }
    }
    EXPECT_NE(Report().find("Body : Converting Physique modifier to Skinning\r\n"), std::string::npos);
    EXPECT_NE(Report().find("Body : Invalid skin vertex type (Not Rigid)\r\n"), std::string::npos);
    EXPECT_EQ(physique->OpenInterfaces(), 0);
}

TEST_F(DeformationExport, OptionsChooseBetweenSkinPhysiqueAndMorphKeys)
{
    INode* bone = PRSNode("Bone",
                          Track(KeyControl::Track::Position, KeyControl::Interpolation::Linear,
                                {KeyAt(0, Point3(0, 0, 0)), KeyAt(10, Point3(0, 0, 1))}),
                          nullptr, nullptr);
    INode* skinned = AddNode("Skinned", nullptr);
    auto* skin = AddObject<SkinModifier>();
    skin->SetBones({bone}, {bone->GetNodeTM(0)});
    skin->Weights().assign(4, {SkinWeight{0, 1.0f}});
    QuadStack(skinned)->AddModifierAtBottom(skin);
    INode* body = AddNode("Body", nullptr);
    auto* physique = AddObject<PhysiqueModifier>();
    physique->Vertices().assign(4, {RIGID_TYPE, {bone}, {1.0f}});
    QuadStack(body)->AddModifierAtBottom(physique);
    m_Exporter.ForceSkinToMorph = 1;
    m_Exporter.convertToSkin = 0;
    ExportScene();

    // Forced to morph keys, the skin is sampled: the bone moves over
    // frames 0 to 10, then the mesh holds.
    EXPECT_EQ(SkinOf(skinned), nullptr);
    ASSERT_NE(MorphOf(skinned), nullptr);
    EXPECT_EQ(Times(MorphOf(skinned)), std::vector<float>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_NE(Report().find("Skinned : Sampling to morph animation : 11 keys\r\n"), std::string::npos);
    // Without convertToSkin the Physique is sampled too.
    EXPECT_EQ(SkinOf(body), nullptr);
    EXPECT_NE(MorphOf(body), nullptr);
    EXPECT_EQ(physique->OpenInterfaces(), 0);
}

TEST_F(DeformationExport, MorphKeysStopAtAHoldKeepItsEndAndAddNothingInAStillTail)
{
    INode* node = Deforming("Wave", {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {20, 5}, {23, 8}});
    INode* still = AddNode("Still", Quad());
    // The shape of frame 5 as a mesh of its own: its normals are those the
    // morph key of frame 5 must carry.
    TriObject* shape = Quad();
    shape->GetMesh().verts[0].z = 5;
    INode* frameFive = AddNode("FrameFive", shape);
    ExportScene();

    CKMorphController* morph = MorphOf(node);
    ASSERT_NE(morph, nullptr);
    EXPECT_EQ(Times(morph), std::vector<float>({0, 1, 2, 3, 4, 5, 20, 21, 22, 23}));
    EXPECT_EQ(morph->GetLength(), 40.0f);
    EXPECT_TRUE(morph->HasNormals());
    // The engine plays the host's deformation at every frame.
    const MeshBuilder* kept = Kept(node);
    const int count = kept->weldedVertices.Size();
    ASSERT_EQ(morph->GetMorphVertexCount(), count);
    for (int frame = 0; frame <= 40; ++frame) {
        SCOPED_TRACE(frame);
        std::vector<QxVector> played((size_t) count);
        ASSERT_TRUE(morph->EvaluateMorph((float) frame, count, played.data(), sizeof(QxVector)));
        Object* host = node->EvalWorldState(frame * kFrame).obj;
        for (int v = 0; v < count; ++v) {
            const QxVector want = ToEngineAxes(host->GetPoint((int) kept->weldedVertices[v].positionIndex));
            EXPECT_NEAR(played[(size_t) v].y, want.y, 1e-4f);
        }
    }
    std::vector<QxVector> positions((size_t) count), normals((size_t) count);
    ASSERT_TRUE(
        morph->EvaluateMorph(5.0f, count, positions.data(), sizeof(QxVector), normals.data(), sizeof(QxVector)));
    // Packed normals are coarse near the poles of their angles (a normal
    // along y): within 0.02.
    CKMesh* reference = Entity(frameFive)->GetCurrentMesh();
    ASSERT_EQ(reference->GetVertexCount(), count);
    for (int v = 0; v < count; ++v) {
        QxVector want;
        reference->GetVertexNormal(v, &want);
        EXPECT_NEAR(normals[(size_t) v].x, want.x, 2e-2f) << v;
        EXPECT_NEAR(normals[(size_t) v].y, want.y, 2e-2f) << v;
        EXPECT_NEAR(normals[(size_t) v].z, want.z, 2e-2f) << v;
    }
    // The kept builder describes the exported mesh still.
    EXPECT_EQ(kept->weldedVertices[0].position, QxVector(0, 0, 0));
    // A mesh that never changes gets no morph controller.
    EXPECT_EQ(MorphOf(still), nullptr);
}

TEST_F(DeformationExport, AHoldMetInItsMiddleDoesNotEndSamplingAndAStepOfZeroFinishes)
{
    INode* node = Deforming("Held", {{0, 0}, {10, 1}, {19, 1}, {25, 2}});
    m_Exporter.samplingStepForDeformables = 11;
    SetAnimationRange(0, 32 * kFrame);
    ExportScene();
    // 0, then 11 inside the hold from 10 to 19 (kept until 19), then 30 and
    // the range's end is never passed.
    EXPECT_EQ(Times(MorphOf(node)), std::vector<float>({0, 11, 19, 30}));

    m_Exporter.samplingStepForDeformables = 0;
    ExportScene();
    EXPECT_EQ(Times(MorphOf(node)), std::vector<float>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 19, 20, 21, 22, 23, 24, 25}));
    EXPECT_NE(Report().find("Warning : samplingStepForDeformables = 0 is below 1 frame: 1 frame is used\r\n"),
              std::string::npos);
}

TEST_F(DeformationExport, TheRangesEndIsSampledAndNothingBeyondIt)
{
    INode* node = Deforming("Long", {{0, 0}, {10, 5}});
    m_Exporter.samplingStepForDeformables = 3;
    SetAnimationRange(0, 7 * kFrame);
    ExportScene();
    EXPECT_EQ(Times(MorphOf(node)), std::vector<float>({0, 3, 6, 7}));
}

TEST_F(DeformationExport, MorphersAreSampledOnlyWhenAskedAndSwitchedOnAgainAfter)
{
    INode* node = AddNode("Face", nullptr);
    MorpherModifier* morpher = AddObject<MorpherModifier>();
    QuadStack(node)->AddModifierAtBottom(morpher);
    MorphChannel& channel = morpher->Channel(1);
    channel.SetUsed(true);
    channel.SetName("open");
    std::vector<Point3> target = QuadPoints();
    target[2].z = 1;
    channel.SetTarget(target);
    auto weight = std::make_unique<KeyControl>(KeyControl::Track::Float, KeyControl::Interpolation::Linear);
    HostKey k0, k1;
    k0.time = 0;
    k1.time = 4 * kFrame;
    k1.value.x = 100;
    ASSERT_TRUE(weight->SetKeys({k0, k1}));
    channel.GetWeightBlock()->SetController(0, std::move(weight));
    const std::string before = DumpHostScene(m_Scene);

    // Blend shapes off, Morphers included: the weights are baked in.
    ExportScene();
    EXPECT_EQ(Times(MorphOf(node)), std::vector<float>({0, 1, 2, 3, 4}));
    EXPECT_TRUE(morpher->IsEnabled());
    EXPECT_EQ(DumpHostScene(m_Scene), before);
}

TEST_F(DeformationExport, BlendShapeExportSwitchesTheMorpherOffWhileSampling)
{
    INode* node = AddNode("Face", nullptr);
    MorpherModifier* morpher = AddObject<MorpherModifier>();
    QuadStack(node)->AddModifierAtBottom(morpher);
    MorphChannel& channel = morpher->Channel(1);
    channel.SetUsed(true);
    auto weight = std::make_unique<KeyControl>(KeyControl::Track::Float, KeyControl::Interpolation::Linear);
    HostKey k0, k1;
    k1.time = 4 * kFrame;
    k1.value.x = 100;
    ASSERT_TRUE(weight->SetKeys({k0, k1}));
    channel.GetWeightBlock()->SetController(0, std::move(weight));
    std::vector<Point3> target = QuadPoints();
    target[2].z = 1;
    channel.SetTarget(target);
    m_Exporter.ExportBlendShapes = 1;
    ExportScene();
    EXPECT_EQ(MorphOf(node), nullptr);
    EXPECT_TRUE(morpher->IsEnabled());
}

// An object whose mesh gains a face from frame 3 on: every sample of it
// is valid for its own time alone.
class GrowingMesh : public Object
{
public:
    GrowingMesh() : Object(GEOMOBJECT_CLASS_ID, Class_ID(0x6E0, 0x6E0), "Growing") {}
    int CanConvertToType(Class_ID classId) override { return classId == triObjectClassID ? 1 : 0; }
    Object* ConvertToType(TimeValue t, Class_ID) override
    {
        auto* tri = new TriObject();
        tri->MarkTemporary();
        Mesh& m = tri->GetMesh();
        m.verts = {{0, 0, (float) t / kFrame}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
        const int faces = t >= 3 * kFrame && t < 6 * kFrame ? 2 : 1;
        for (int f = 0; f < faces; ++f) {
            Face face;
            face.setVerts(0, (DWORD) f + 1, (DWORD) f + 2);
            face.setSmGroup(1);
            m.faces.push_back(face);
        }
        return tri;
    }
    Interval ObjectValidity(TimeValue t) override { return Interval(t, t); }
};

TEST_F(DeformationExport, SamplesOfAnotherTopologyAreSkipped)
{
    INode* node = AddNode("Growing", AddObject<GrowingMesh>());
    SetAnimationRange(0, 8 * kFrame);
    ExportScene();
    EXPECT_EQ(Times(MorphOf(node)), std::vector<float>({0, 1, 2, 6, 7, 8}));
}

} // namespace

namespace {

// A quad patch of four corners and twelve vectors under a vertex animation
// that lifts corner 0 over frames 0 to 2.
TEST_F(DeformationExport, PatchMeshesAreSampledWithoutNormals)
{
    auto* patch = AddQuadPatch(4);
    PatchMesh& pm = patch->patch;
    for (int i = 0; i < 4; ++i)
        pm.verts[(size_t) i].p = QuadPoints()[(size_t) i];
    INode* node = AddNode("Patch", nullptr);
    auto* stack = AddObject<IDerivedObject>();
    stack->ReferenceObject(patch);
    node->SetObjectRef(stack);
    auto* modifier = AddObject<VertexAnimationModifier>();
    std::vector<Point3> still(16), lifted(16);
    for (int i = 0; i < 4; ++i)
        still[(size_t) i] = lifted[(size_t) i] = QuadPoints()[(size_t) i];
    lifted[0].z = 2;
    ASSERT_TRUE(modifier->SetKeys({{0, still}, {2 * kFrame, lifted}}));
    stack->AddModifierAtBottom(modifier);
    node->SetObjOffsetPos(Point3(0, 0, 1));
    ExportScene();

    CKMorphController* morph = MorphOf(node);
    ASSERT_NE(morph, nullptr);
    EXPECT_EQ(Times(morph), std::vector<float>({0, 1, 2}));
    EXPECT_EQ(morph->GetMorphVertexCount(), 16);
    EXPECT_FALSE(morph->HasNormals());
    std::vector<QxVector> played(16);
    ASSERT_TRUE(morph->EvaluateMorph(1.0f, 16, played.data(), sizeof(QxVector)));
    // Corner 0 at height 1 plus the offset's 1, in the engine's y.
    EXPECT_EQ(played[0], QxVector(0, 2, 0));
    EXPECT_EQ(played[2], QxVector(1, 1, 1));
}

} // namespace
