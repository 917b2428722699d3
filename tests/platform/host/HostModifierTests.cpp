#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "platform/host/Hold.h"
#include "platform/host/HostDump.h"
#include "platform/host/HostScene.h"
#include "platform/host/HostSceneFile.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "platform/host/KeyControl.h"
#include "platform/host/Modifier.h"
#include "platform/host/Morpher.h"
#include "platform/host/PatchMesh.h"
#include "platform/host/Physique.h"
#include "platform/host/SkinModifier.h"
#include "platform/host/TriObject.h"
#include "platform/host/VertexAnimation.h"
#include "tests/platform/host/HostTestMath.h"
#include "tests/support/TestPaths.h"

namespace {

constexpr float kPi = 3.14159265f;

struct GeometryScene
{
    HostScene scene;
    INode* Node(const char* id) const
    {
        for (INode* n : scene.Nodes())
            if (n->HostId() == id)
                return n;
        return nullptr;
    }
};

// The scene of every geometry kind: a box with two smoothing groups and two
// texture channels under a Morpher with channels 1 and 3 (node Morph01),
// skinned and Physique copies of it, a waving patch...
void LoadGeometry(GeometryScene& g)
{
    std::string error;
    ASSERT_TRUE(LoadHostSceneFile(TestSourceDir() + "/tests/platform/host/data/geometry.json", g.scene, error))
        << error;
}

std::vector<Point3> PointsOf(Object* o)
{
    std::vector<Point3> points;
    for (int i = 0; o && i < o->NumPoints(); ++i)
        points.push_back(o->GetPoint(i));
    return points;
}

MorpherModifier* MorpherOf(INode* node, int* index = nullptr)
{
    IDerivedObject* d = dynamic_cast<IDerivedObject*>(node->GetObjectRef());
    for (int i = 0; d && i < d->NumModifiers(); ++i)
        if (auto* m = dynamic_cast<MorpherModifier*>(d->GetModifier(i))) {
            if (index)
                *index = i;
            return m;
        }
    return nullptr;
}

void SetWeight(MorpherModifier* m, int channel, float percent)
{
    auto* block = dynamic_cast<IParamBlock*>(m->SubAnim(channel));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(block->SetValue(0, 0, percent));
}

float Weight(MorpherModifier* m, int channel)
{
    auto* block = dynamic_cast<IParamBlock*>(m->SubAnim(channel));
    float w = -1.0f;
    Interval valid;
    if (block)
        block->GetValue(0, 0, w, valid);
    return w;
}

} // namespace

TEST(HostModifierStack, AMorpherSwitchedOffGivesTheBaseAndEvaluatedUpToItGivesTheTarget)
{
    GeometryScene g;
    LoadGeometry(g);
    INode* node = g.Node("morph1");
    INode* box = g.Node("box1");
    ASSERT_NE(node, nullptr);
    int index = -1;
    MorpherModifier* morpher = MorpherOf(node, &index);
    ASSERT_NE(morpher, nullptr);
    EXPECT_EQ(index, 1);
    const std::vector<Point3> base = PointsOf(box->EvalWorldState(0).obj);
    ASSERT_EQ(base.size(), 8u);
    // Channels 1 and 3 hold targets; 2 and the others none.
    EXPECT_NE(morpher->SubAnim(1), nullptr);
    EXPECT_EQ(morpher->SubAnim(2), nullptr);
    EXPECT_NE(morpher->SubAnim(3), nullptr);
    EXPECT_EQ(morpher->SubAnim(0), nullptr);
    EXPECT_EQ(morpher->SubAnim(101), nullptr);
    EXPECT_STREQ(morpher->SubAnimName(3), "Widen");
    EXPECT_STREQ(morpher->SubAnimName(2), "");

    // At time 0 channel 1 weighs 0 and channel 3 25 (half way to its
    // progressive target at 50, which scales x by 1.5): x grows by an eighth.
    std::vector<Point3> now = PointsOf(node->EvalWorldState(0).obj);
    for (size_t i = 0; i < 8; ++i)
        ExpectNear(now[i], Point3(base[i].x * 1.25f, base[i].y, base[i].z), 1e-5f);

    // Switched off: the base.
    morpher->SetAFlag(A_MOD_DISABLED);
    morpher->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    EXPECT_EQ(PointsOf(node->EvalWorldState(0).obj), base);
    morpher->ClearAFlag(A_MOD_DISABLED);

    // Up to the Morpher at weight 100 on channel 1 and 0 on channel 3: the
    // target of channel 1 (the top raised by 5).
    SetWeight(morpher, 1, 100.0f);
    SetWeight(morpher, 3, 0.0f);
    IDerivedObject* derived = static_cast<IDerivedObject*>(node->GetObjectRef());
    const ObjectState state = derived->Eval(0, index);
    EXPECT_EQ(PointsOf(state.obj), morpher->Channel(1).Target());
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(state.obj->GetPoint(int(i)).z, base[i].z == 10.0f ? 15.0f : 0.0f);
    // Beyond the stack: the base alone.
    EXPECT_EQ(PointsOf(derived->Eval(0, 9).obj), base);
}

TEST(HostModifierStack, ACancelledHoldLeavesTheSceneAsItWas)
{
    GeometryScene g;
    LoadGeometry(g);
    INode* node = g.Node("morph1");
    Interface ip(g.scene);
    const std::string before = DumpHostScene(g.scene);
    const size_t nodes = g.scene.Nodes().size(), items = g.scene.Items().size();

    theHold.SuperBegin();
    INodeTab list, copies;
    list.Append(1, &node);
    ASSERT_TRUE(ip.CloneNodes(list, Point3(), false, NODE_COPY, nullptr, &copies));
    ASSERT_EQ(copies.Count(), 1);
    INode* copy = copies[0];
    EXPECT_NE(copy->GetObjectRef(), node->GetObjectRef());
    EXPECT_EQ(copy->GetParentNode(), node->GetParentNode());
    EXPECT_STREQ(copy->GetName(), "Morph01");
    MorpherModifier* original = MorpherOf(node);
    MorpherModifier* copied = MorpherOf(copy);
    ASSERT_NE(copied, nullptr);
    ASSERT_NE(copied, original);
    // The copy's weights are its own.
    SetWeight(copied, 1, 100.0f);
    SetWeight(copied, 3, 0.0f);
    EXPECT_EQ(Weight(copied, 1), 100.0f);
    EXPECT_EQ(Weight(original, 1), 0.0f);
    EXPECT_EQ(Weight(original, 3), 25.0f);
    // And the original's change too, and a switched-off modifier.
    SetWeight(original, 3, 75.0f);
    original->SetAFlag(A_MOD_DISABLED);
    node->SetName("Renamed");
    EXPECT_EQ(PointsOf(copy->EvalWorldState(0).obj), copied->Channel(1).Target());
    EXPECT_NE(DumpHostScene(g.scene), before);
    theHold.SuperCancel();

    EXPECT_EQ(theHold.SuperLevel(), 0);
    EXPECT_EQ(g.scene.Nodes().size(), nodes);
    EXPECT_EQ(g.scene.Items().size(), items);
    EXPECT_EQ(Weight(original, 3), 25.0f);
    EXPECT_TRUE(original->IsEnabled());
    EXPECT_EQ(DumpHostScene(g.scene), before);
}

TEST(HostModifierStack, HoldsNestAndSurviveAnException)
{
    GeometryScene g;
    LoadGeometry(g);
    INode* node = g.Node("morph1");
    MorpherModifier* morpher = MorpherOf(node);
    Interface ip(g.scene);
    const std::string before = DumpHostScene(g.scene);
    try {
        theHold.SuperBegin();
        SetWeight(morpher, 1, 10.0f);
        theHold.SuperBegin();
        SetWeight(morpher, 1, 20.0f);
        theHold.SuperCancel();
        EXPECT_EQ(Weight(morpher, 1), 10.0f);
        theHold.SuperBegin();
        SetWeight(morpher, 1, 30.0f);
        INodeTab list;
        list.Append(1, &node);
        ip.CloneNodes(list, Point3(), false);
        theHold.SuperAccept();
        EXPECT_EQ(Weight(morpher, 1), 30.0f);
        EXPECT_EQ(theHold.SuperLevel(), 1);
        throw std::runtime_error("export failed");
    } catch (const std::runtime_error&) {
        // The outer cancel undoes the accepted inner changes too.
        theHold.SuperCancel();
    }
    EXPECT_EQ(Weight(morpher, 1), 0.0f);
    EXPECT_EQ(DumpHostScene(g.scene), before);
    // Without an open transaction nothing is recorded or undone.
    theHold.SuperCancel();
    SetWeight(morpher, 1, 40.0f);
    theHold.SuperBegin();
    theHold.SuperCancel();
    EXPECT_EQ(Weight(morpher, 1), 40.0f);
    EXPECT_FALSE(theHold.Holding());
}

TEST(HostModifierStack, CloneNodesRefusesWhatItDoesNotCopy)
{
    GeometryScene g;
    LoadGeometry(g);
    Interface ip(g.scene);
    INode* node = g.Node("morph1");
    INodeTab list;
    list.Append(1, &node);
    const size_t nodes = g.scene.Nodes().size();
    EXPECT_FALSE(ip.CloneNodes(list, Point3(), true));
    EXPECT_FALSE(ip.CloneNodes(list, Point3(), false, NODE_INSTANCE));
    EXPECT_FALSE(ip.CloneNodes(list, Point3(1.0f, 0.0f, 0.0f), false));
    INodeTab bad;
    INode* none = nullptr;
    bad.Append(1, &none);
    EXPECT_FALSE(ip.CloneNodes(bad, Point3(), false));
    INodeTab root;
    INode* rootNode = g.scene.GetRootNode();
    root.Append(1, &rootNode);
    EXPECT_FALSE(ip.CloneNodes(root, Point3(), false));
    EXPECT_EQ(g.scene.Nodes().size(), nodes);
    // A plain node: its object copied, its controller and material shared.
    INode* box = g.Node("box1");
    INodeTab boxes, copies;
    boxes.Append(1, &box);
    ASSERT_TRUE(ip.CloneNodes(boxes, Point3(), false, NODE_COPY, nullptr, &copies));
    INode* copy = copies[0];
    EXPECT_NE(copy->GetObjectRef(), box->GetObjectRef());
    EXPECT_EQ(static_cast<TriObject*>(copy->GetObjectRef())->mesh.getNumFaces(), 12);
    EXPECT_EQ(copy->GetMtl(), box->GetMtl());
    EXPECT_EQ(copy->GetTMController(), box->GetTMController());
    EXPECT_EQ(copy->GetCVertMode(), 1);
    TSTR value;
    EXPECT_TRUE(copy->GetUserPropString("MapChannel:2", value));
}

TEST(HostModifierStack, NodesSharingAStackShareItsResult)
{
    GeometryScene g;
    LoadGeometry(g);
    INode* morph = g.Node("morph1");
    HostScene& scene = g.scene;
    INode* twin = scene.AddNode("Twin");
    twin->SetObjectRef(morph->GetObjectRef());
    Object* a = morph->EvalWorldState(0).obj;
    Object* b = twin->EvalWorldState(0).obj;
    EXPECT_EQ(a, b);
    EXPECT_EQ(morph->EvalWorldState(800).obj, a);
    // Another stack over the same base has its own result; the plain base
    // is itself.
    EXPECT_NE(g.Node("skin1")->EvalWorldState(0).obj, a);
    Object* box = g.Node("box1")->EvalWorldState(0).obj;
    EXPECT_EQ(box, g.Node("box1")->GetObjectRef());
    EXPECT_EQ(box->ObjectValidity(0), FOREVER);
    // Channel 1's weight has keys at 0 and 1600: the result holds before
    // the first and after the last, else at its time only.
    EXPECT_EQ(morph->EvalWorldState(800).obj->ObjectValidity(800), Interval(800, 800));
    EXPECT_EQ(morph->EvalWorldState(-5).obj->ObjectValidity(-5), Interval(TIME_NegInfinity, 0));
    EXPECT_EQ(morph->EvalWorldState(2000).obj->ObjectValidity(2000), Interval(1600, TIME_PosInfinity));
}

TEST(HostModifierStack, ProgressiveTargetsBlendPiecewiseLinearly)
{
    MorphChannel c;
    const std::vector<Point3> base{Point3(0.0f, 0.0f, 0.0f)};
    MorphTarget quarter;
    quarter.percent = 25.0f;
    quarter.points = {Point3(4.0f, 0.0f, 0.0f)};
    MorphTarget bad;
    bad.percent = 30.0f;
    bad.points = {Point3(), Point3()};
    MorphTarget again = quarter;
    again.points = {Point3(6.0f, 0.0f, 0.0f)};
    c.SetProgressiveTargets({quarter, bad, again});
    c.SetTarget({Point3(10.0f, 0.0f, 0.0f)});
    EXPECT_EQ(c.GetNumProgressiveTargets(), 3);
    EXPECT_EQ(c.GetTargetPercent(), 25.0f);
    EXPECT_EQ(c.GetProgressiveTargetPercent(1), 30.0f);
    EXPECT_EQ(c.GetProgressiveTargetPercent(3), 100.0f);
    struct Case
    {
        float weight, x;
    };
    // 0 -> 0, towards the first target at 25 (4), from 25 on the later of
    // the two (6), 100 -> 10; the target of the wrong size is left out;
    // beyond 0 and 100 the ends hold.
    const Case cases[] = {{-50.0f, 0.0f}, {0.0f, 0.0f},    {12.5f, 2.0f},   {25.0f, 6.0f},
                          {62.5f, 8.0f},  {100.0f, 10.0f}, {150.0f, 10.0f}, {NAN, 0.0f}};
    std::vector<Point3> out;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.weight);
        c.Blend(k.weight, base, out);
        ASSERT_EQ(out.size(), 1u);
        EXPECT_NEAR(out[0].x, k.x, 1e-5f);
    }
    // A full target of the wrong size leaves the last progressive target.
    c.SetTarget({});
    c.Blend(100.0f, base, out);
    EXPECT_EQ(out[0].x, 6.0f);
}

namespace {

// Bone 1 at the origin turns about z from 0 to a quarter turn over 0 to
// 1600; bone 2, bound at (0, 0, 5), moves by (0, 8, 0) over the same time.
// The skinned node stands at (100, 0, 0), bound there at time 0.
struct Rig
{
    HostScene scene;
    INode* bone1;
    INode* bone2;
    INode* node;
    IDerivedObject* stack;

    Rig()
    {
        bone1 = scene.AddNode("Bone01");
        bone2 = scene.AddNode("Bone02");
        node = scene.AddNode("Skinned");
        auto* turn =
            scene.Adopt(std::make_unique<KeyControl>(KeyControl::Track::Rotation, KeyControl::Interpolation::Linear));
        std::vector<HostKey> keys(2);
        keys[1].time = 1600;
        keys[1].rotation = QFromAngAxis(kPi / 2, Point3(0.0f, 0.0f, 1.0f));
        turn->SetKeys(keys);
        bone1->SetTMController(scene.Adopt(std::make_unique<PRSControl>(nullptr, turn, nullptr)));
        auto* move =
            scene.Adopt(std::make_unique<KeyControl>(KeyControl::Track::Position, KeyControl::Interpolation::Linear));
        keys[0].value = Point3(0.0f, 0.0f, 5.0f);
        keys[1].value = Point3(0.0f, 8.0f, 5.0f);
        move->SetKeys(keys);
        bone2->SetTMController(scene.Adopt(std::make_unique<PRSControl>(move, nullptr, nullptr)));
        node->SetTMController(scene.Adopt(std::make_unique<MatrixControl>(TransMatrix(Point3(100.0f, 0.0f, 0.0f)))));
        auto* mesh = scene.Adopt(std::make_unique<TriObject>());
        mesh->mesh.verts = {Point3(10.0f, 0.0f, 0.0f), Point3(0.0f, 2.0f, 0.0f), Point3(1.0f, 1.0f, 1.0f)};
        stack = scene.Adopt(std::make_unique<IDerivedObject>());
        stack->ReferenceObject(mesh);
        node->SetObjectRef(stack);
    }
};

// A turn about z by a in the host's sense, applied to a point.
Point3 Turn(const Point3& p, float a)
{
    return Point3(p.x * std::cos(a) + p.y * std::sin(a), -p.x * std::sin(a) + p.y * std::cos(a), p.z);
}

} // namespace

TEST(HostSkin, PointsFollowALinearBlendOfTheirBones)
{
    Rig rig;
    auto* skin = rig.scene.Adopt(std::make_unique<SkinModifier>());
    skin->SetBones({rig.bone1, rig.bone2}, {Matrix3(), TransMatrix(Point3(0.0f, 0.0f, 5.0f))});
    skin->SetSkinInitTM(TransMatrix(Point3(100.0f, 0.0f, 0.0f)));
    // Point 0 half and half; point 1 on bone 2 alone; point 2's weights sum
    // to 0.75 and are taken as they are.
    skin->Weights() = {{{0, 0.5f}, {1, 0.5f}}, {{1, 1.0f}}, {{0, 0.5f}, {1, 0.25f}}};
    rig.stack->AddModifierAtBottom(skin);
    const TimeValue times[] = {0, 800, 1600};
    for (const TimeValue t : times) {
        SCOPED_TRACE(t);
        const float a = kPi / 2 * float(t) / 1600.0f;
        const Point3 d(0.0f, 8.0f * float(t) / 1600.0f, 0.0f);
        const Point3 shift(100.0f, 0.0f, 0.0f);
        // World positions of the bound points, back in the node's space.
        const Point3 p0 =
            (Turn(Point3(110.0f, 0.0f, 0.0f), a) * 0.5f + (Point3(110.0f, 0.0f, 0.0f) + d) * 0.5f) - shift;
        const Point3 p1 = Point3(100.0f, 2.0f, 0.0f) + d - shift;
        const Point3 p2 =
            (Turn(Point3(101.0f, 1.0f, 1.0f), a) * 0.5f + (Point3(101.0f, 1.0f, 1.0f) + d) * 0.25f) - shift;
        const std::vector<Point3> points = PointsOf(rig.node->EvalWorldState(t).obj);
        ASSERT_EQ(points.size(), 3u);
        ExpectNear(points[0], p0, 1e-5f);
        ExpectNear(points[1], p1, 1e-5f);
        ExpectNear(points[2], p2, 1e-5f);
    }
    // The interfaces the export reads.
    auto* iskin = static_cast<ISkin*>(skin->GetInterface(I_SKIN));
    ASSERT_NE(iskin, nullptr);
    EXPECT_EQ(iskin->GetNumBones(), 2);
    EXPECT_EQ(iskin->GetBone(1), rig.bone2);
    EXPECT_EQ(iskin->GetBone(2), nullptr);
    Matrix3 tm;
    EXPECT_TRUE(iskin->GetSkinInitTM(rig.node, tm, false));
    EXPECT_EQ(tm.GetTrans(), Point3(100.0f, 0.0f, 0.0f));
    EXPECT_FALSE(iskin->GetSkinInitTM(rig.bone1, tm, false));
    EXPECT_TRUE(iskin->GetBoneInitTM(rig.bone2, tm));
    EXPECT_EQ(tm.GetTrans(), Point3(0.0f, 0.0f, 5.0f));
    EXPECT_FALSE(iskin->GetBoneInitTM(rig.node, tm));
    EXPECT_EQ(iskin->GetContextInterface(rig.bone1), nullptr);
    ISkinContextData* data = iskin->GetContextInterface(rig.node);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->GetNumPoints(), 3);
    EXPECT_EQ(data->GetNumAssignedBones(0), 2);
    EXPECT_EQ(data->GetAssignedBone(0, 0), 0);
    EXPECT_EQ(data->GetBoneWeight(2, 0), 0.5f);
    EXPECT_EQ(data->GetAssignedBone(0, 1), 1);
    EXPECT_EQ(data->GetBoneWeight(2, 1), 0.25f);
    EXPECT_EQ(data->GetNumAssignedBones(3), 0);
    EXPECT_EQ(data->GetAssignedBone(0, 2), -1);
    EXPECT_EQ(data->GetBoneWeight(-1, 0), 0.0f);
    // Its validity: where every bone holds.
    EXPECT_EQ(rig.node->EvalWorldState(800).obj->ObjectValidity(800), Interval(800, 800));
    EXPECT_EQ(rig.node->EvalWorldState(1700).obj->ObjectValidity(1700), Interval(1600, TIME_PosInfinity));
}

TEST(HostPhysique, RigidAndBlendedPointsFollowTheirNodes)
{
    Rig rig;
    auto* physique = rig.scene.Adopt(std::make_unique<PhysiqueModifier>());
    physique->SetNodeInitTM(TransMatrix(Point3(100.0f, 0.0f, 0.0f)));
    physique->SetBoneInitTM(rig.bone2, TransMatrix(Point3(0.0f, 0.0f, 5.0f)));
    PhysiqueVertex blended;
    blended.type = RIGID_BLENDED_TYPE;
    blended.nodes = {rig.bone1, rig.bone2};
    blended.weights = {0.2f, 0.2f};
    PhysiqueVertex rigid;
    rigid.nodes = {rig.bone2};
    rigid.weights = {1.0f};
    PhysiqueVertex other;
    other.type = 2;
    other.nodes = {rig.bone1};
    physique->Vertices() = {blended, rigid, other};
    rig.stack->AddModifierAtBottom(physique);
    const TimeValue times[] = {0, 800, 1600};
    for (const TimeValue t : times) {
        SCOPED_TRACE(t);
        const float a = kPi / 2 * float(t) / 1600.0f;
        const Point3 d(0.0f, 8.0f * float(t) / 1600.0f, 0.0f);
        const Point3 shift(100.0f, 0.0f, 0.0f);
        const std::vector<Point3> points = PointsOf(rig.node->EvalWorldState(t).obj);
        ASSERT_EQ(points.size(), 3u);
        // 0.2 and 0.2 count as a half each.
        ExpectNear(points[0],
                   (Turn(Point3(110.0f, 0.0f, 0.0f), a) * 0.5f + (Point3(110.0f, 0.0f, 0.0f) + d) * 0.5f) - shift,
                   1e-5f);
        ExpectNear(points[1], Point3(0.0f, 2.0f, 0.0f) + d, 1e-5f);
        // A point of another type stays.
        EXPECT_EQ(points[2], Point3(1.0f, 1.0f, 1.0f));
    }
    // Bone 1 has no init transform: where it stands at time 0.
    EXPECT_FALSE(physique->HasBoneInitTM(rig.bone1));
    EXPECT_TRUE(physique->BoneInitTM(rig.bone1).IsIdentity());

    // The export interface, its context and vertex views.
    auto* exporter = static_cast<IPhysiqueExport*>(physique->GetInterface(I_PHYEXPORT));
    ASSERT_NE(exporter, nullptr);
    EXPECT_EQ(exporter->GetContextInterface(rig.bone1), nullptr);
    IPhyContextExport* context = exporter->GetContextInterface(rig.node);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->GetNumberVertices(), 3);
    // Without blending a blended vertex shows as rigid on its heaviest node
    // (the first of equals).
    IPhyVertexExport* v = context->GetVertexInterface(0);
    ASSERT_EQ(v->GetVertexType(), RIGID_TYPE);
    EXPECT_EQ(static_cast<IPhyRigidVertex*>(v)->GetNode(), rig.bone1);
    context->ReleaseVertexInterface(v);
    context->AllowBlending(TRUE);
    context->ConvertToRigid(TRUE);
    v = context->GetVertexInterface(0);
    ASSERT_EQ(v->GetVertexType(), RIGID_BLENDED_TYPE);
    auto* b = static_cast<IPhyBlendedRigidVertex*>(v);
    EXPECT_EQ(b->GetNumberNodes(), 2);
    EXPECT_EQ(b->GetNode(1), rig.bone2);
    EXPECT_EQ(b->GetWeight(0), 0.2f);
    EXPECT_EQ(b->GetNode(2), nullptr);
    EXPECT_EQ(b->GetWeight(2), 0.0f);
    IPhyVertexExport* r = context->GetVertexInterface(1);
    ASSERT_EQ(r->GetVertexType(), RIGID_TYPE);
    EXPECT_EQ(static_cast<IPhyRigidVertex*>(r)->GetNode(), rig.bone2);
    IPhyVertexExport* o = context->GetVertexInterface(2);
    EXPECT_EQ(o->GetVertexType(), 2);
    EXPECT_EQ(context->GetVertexInterface(3), nullptr);
    EXPECT_EQ(physique->OpenInterfaces(), 5);
    context->ReleaseVertexInterface(v);
    context->ReleaseVertexInterface(r);
    context->ReleaseVertexInterface(o);
    context->ReleaseVertexInterface(o);
    exporter->ReleaseContextInterface(context);
    physique->ReleaseInterface(I_PHYEXPORT, exporter);
    EXPECT_EQ(physique->OpenInterfaces(), 0);
}

TEST(HostVertexAnimation, PointsBlendBetweenKeysAndHoldsAreValidThroughout)
{
    HostScene scene;
    INode* node = scene.AddNode("n");
    auto* mesh = scene.Adopt(std::make_unique<TriObject>());
    mesh->mesh.verts = {Point3(), Point3()};
    auto* stack = scene.Adopt(std::make_unique<IDerivedObject>());
    stack->ReferenceObject(mesh);
    node->SetObjectRef(stack);
    auto* animation = scene.Adopt(std::make_unique<VertexAnimationModifier>());
    VertexAnimationKey k0{0, {Point3(0.0f, 0.0f, 0.0f), Point3(1.0f, 0.0f, 0.0f)}};
    VertexAnimationKey k1{1600, {Point3(0.0f, 0.0f, 8.0f), Point3(1.0f, 0.0f, 0.0f)}};
    VertexAnimationKey k2{3200, k1.points};
    VertexAnimationKey wrong{2400, {Point3()}};
    EXPECT_FALSE(animation->SetKeys({k1, k0}));
    EXPECT_TRUE(animation->SetKeys({k0, k1, wrong, k2}));
    stack->AddModifierAtBottom(animation);
    struct Case
    {
        TimeValue t;
        float z;
        Interval valid;
    };
    const Case cases[] = {
        {-100, 0.0f, Interval(TIME_NegInfinity, 0)},
        {0, 0.0f, Interval(TIME_NegInfinity, 0)},
        {400, 2.0f, Interval(400, 400)},
        {1600, 8.0f, Interval(1600, 3200)},
        {2400, 8.0f, Interval(1600, 3200)},
        {5000, 8.0f, Interval(3200, TIME_PosInfinity)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        Object* o = node->EvalWorldState(c.t).obj;
        EXPECT_FLOAT_EQ(o->GetPoint(0).z, c.z);
        EXPECT_EQ(o->GetPoint(1), Point3(1.0f, 0.0f, 0.0f));
        EXPECT_EQ(o->ObjectValidity(c.t), c.valid);
    }
    // On a patch the points are the vertices, then the vectors.
    auto* patch = scene.Adopt(std::make_unique<PatchObject>());
    patch->patch.verts.resize(1);
    patch->patch.vecs.resize(1);
    stack->ReferenceObject(patch);
    Object* o = node->EvalWorldState(800).obj;
    ASSERT_NE(dynamic_cast<PatchObject*>(o), nullptr);
    EXPECT_FLOAT_EQ(static_cast<PatchObject*>(o)->patch.verts[0].p.z, 4.0f);
    EXPECT_EQ(static_cast<PatchObject*>(o)->patch.vecs[0].p, Point3(1.0f, 0.0f, 0.0f));
}
