// Every mesh-changing block run through the harness on a lit lattice, a
// pre-lit lattice and a patch mesh, against the block's formulas computed
// again here in double precision.
#include <cmath>
#include <functional>
#include <numbers>
#include <string>

#include "core/context/CKRandom.h"
#include "core/parameter/CK2dCurve.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterIn.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "lod/blocks/GradientNoise.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKLight.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxMatrixRotation.h"
#include "tests/lod/blocks/BlockReference.h"
#include "tools/blockharness/BlockHarness.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTolerance = 1e-5;

// One block run on one kind of mesh.
struct Case
{
    BlockFixture& f;
    MeshKind kind;
    CK3dEntity* object = nullptr;
    CKMesh* mesh = nullptr;
    CKBehavior* b = nullptr;
    MeshSnapshot before;

    bool Patch() const { return kind == MeshKind::Patch; }
};

DBox BoxOf(const QxBbox& box)
{
    return {{box.Min.x, box.Min.y, box.Min.z}, {box.Max.x, box.Max.y, box.Max.z}};
}

DBox BoxLocal(CKBehavior* b)
{
    QxBbox box;
    EXPECT_EQ(b->GetLocalParameterValue(1, &box), 0);
    return BoxOf(box);
}

void ExpectPoints(const std::vector<DVec>& actual, const std::vector<DVec>& expected, const char* what)
{
    const double error = WorstRelativeError(actual, expected);
    EXPECT_GE(error, 0.0) << what << ": counts differ";
    EXPECT_LE(error, kTolerance) << what;
}

// A lit lattice's normals are those its own normal builder gives for the
// positions the block left; a pre-lit one keeps its normals.
void ExpectNormalsFollow(Case& c, const MeshSnapshot& after)
{
    if (c.Patch())
        return;
    if (c.kind == MeshKind::Prelit) {
        ExpectPoints(after.Normals, c.before.Normals, "pre-lit normals kept");
        return;
    }
    CKMesh* scratch = c.f.New<CKMesh>(CKCID_MESH, "scratch");
    BlockFixture::FillLattice(scratch, false);
    for (size_t i = 0; i < after.Positions.size(); ++i)
        scratch->SetVertexPosition((int) i, QxVector((float) after.Positions[i].x, (float) after.Positions[i].y,
                                                     (float) after.Positions[i].z));
    scratch->BuildNormals();
    ExpectPoints(after.Normals, Snap(scratch).Normals, "rebuilt normals");
}

void ExpectColorsKept(const Case& c, const MeshSnapshot& after)
{
    EXPECT_EQ(after.Colors, c.before.Colors);
    EXPECT_EQ(after.Speculars, c.before.Speculars);
}

// A point change applied to every point of the snapshot.
std::vector<DVec> Map(const std::vector<DVec>& points, const std::function<DVec(const DVec&)>& change)
{
    std::vector<DVec> out;
    for (const DVec& p : points)
        out.push_back(change(p));
    return out;
}

void Start(Case& c, CKGUID guid, CKBeObject* owner = nullptr)
{
    c.object = c.f.NewObject(c.kind);
    c.mesh = c.object->GetCurrentMesh();
    c.b = c.f.Block(guid, owner ? owner : c.object);
    c.before = Snap(c.mesh);
}

// Twist, Taper and Stretch on the deformed points, normals following.
void AxisCase(Case& c, CKGUID guid, const std::function<void(CKBehavior*)>& inputs,
              const std::function<DVec(const DVec&, const DBox&)>& reference)
{
    Start(c, guid);
    inputs(c.b);
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    EXPECT_EQ(ActiveOutputs(c.b), 1u);
    EXPECT_EQ(ActiveInputs(c.b), 0u);
    const DBox box = BoxLocal(c.b);
    const MeshSnapshot after = Snap(c.mesh);
    ExpectPoints(after.Points, Map(c.before.Points, [&](const DVec& p) { return reference(p, box); }), "points");
    ExpectNormalsFollow(c, after);
    ExpectColorsKept(c, after);
}

void TwistDefaults(Case& c)
{
    AxisCase(
        c, BlockGuid::Twist, [](CKBehavior*) {},
        [](const DVec& p, const DBox& box) { return TwistPoint(p, 1, box, kPi / 2.0, 0.0); });
}

void TwistBiased(Case& c)
{
    AxisCase(
        c, BlockGuid::Twist,
        [](CKBehavior* b) {
            SetBlockInputValue(b, 0, 1.2f);
            SetBlockInputValue(b, 1, 30.0f);
            SetBlockInputText(b, 2, "0,0,2");
        },
        [](const DVec& p, const DBox& box) { return TwistPoint(p, 2, box, 1.2, 30.0); });
}

void TaperCurved(Case& c)
{
    AxisCase(
        c, BlockGuid::Taper,
        [](CKBehavior* b) {
            SetBlockInputValue(b, 0, 0.4f);
            SetBlockInputValue(b, 1, 0.3f);
        },
        [](const DVec& p, const DBox& box) { return TaperPoint(p, 2, box, 0.4, 0.3, false, true, true); });
}

void TaperSymmetricOneAxis(Case& c)
{
    AxisCase(
        c, BlockGuid::Taper,
        [](CKBehavior* b) {
            SetBlockInputValue(b, 0, -0.5f);
            SetBlockInputText(b, 2, "3,0,0");
            SetBlockInputValue(b, 3, (CKBOOL) TRUE);
            SetBlockInputValue(b, 5, (CKBOOL) FALSE);
        },
        [](const DVec& p, const DBox& box) { return TaperPoint(p, 0, box, -0.5, 0.0, true, true, false); });
}

void StretchHalf(Case& c)
{
    AxisCase(
        c, BlockGuid::Stretch,
        [](CKBehavior* b) {
            SetBlockInputValue(b, 0, 0.5f);
            SetBlockInputValue(b, 1, 0.2f);
            SetBlockInputText(b, 2, "0,1,0");
        },
        [](const DVec& p, const DBox& box) { return StretchPoint(p, 1, box, 0.5, 0.2); });
}

void StretchShrink(Case& c)
{
    AxisCase(
        c, BlockGuid::Stretch,
        [](CKBehavior* b) {
            SetBlockInputValue(b, 0, -0.6f);
            SetBlockInputValue(b, 1, -1.0f);
            SetBlockInputText(b, 2, "-1,0,0");
        },
        [](const DVec& p, const DBox& box) { return StretchPoint(p, 0, box, -0.6, -1.0); });
}

void BendCase(Case& c, int axis, double angle, double direction)
{
    Start(c, BlockGuid::Bend);
    SetBlockInputValue(c.b, 0, (float) angle);
    SetBlockInputValue(c.b, 1, (float) direction);
    const char* axes[3] = {"1,0,0", "0,1,0", "0,0,1"};
    SetBlockInputText(c.b, 2, axes[axis]);
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    EXPECT_EQ(ActiveOutputs(c.b), 1u);
    BendSetup s;
    s.Angle = angle;
    s.Direction = direction;
    s.Axis = axis;
    s.Box = BoxLocal(c.b);
    const MeshSnapshot after = Snap(c.mesh);
    ExpectPoints(after.Points, Map(c.before.Points, [&](const DVec& p) { return BendPoint(p, s, nullptr); }), "points");
    if (!c.Patch()) {
        std::vector<DVec> normals;
        for (size_t i = 0; i < c.before.Points.size(); ++i) {
            DVec n = c.before.Normals[i];
            BendPoint(c.before.Points[i], s, &n);
            normals.push_back(n);
        }
        ExpectPoints(after.Normals, normals, "bent normals");
    }
    ExpectColorsKept(c, after);
}

void NoiseCase(Case& c)
{
    Start(c, BlockGuid::Noise);
    SetBlockInputValue(c.b, 0, 10.0f);
    SetBlockInputValue(c.b, 1, 0.37f);
    SetBlockInputText(c.b, 2, "0.3,0.2,0.1");
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    const GradientNoiseTables& tables = GetGradientNoiseTables();
    const MeshSnapshot after = Snap(c.mesh);
    ExpectPoints(after.Points,
                 Map(c.before.Points,
                     [&](const DVec& p) {
                         return NoisePoint(tables, p, 10.0, 0.37, {0.3, 0.2, 0.1});
                     }),
                 "points");
    ExpectNormalsFollow(c, after);
    ExpectColorsKept(c, after);
}

void SineCase(Case& c)
{
    Start(c, BlockGuid::SineDeform);
    SetBlockInputText(c.b, 0, "1,0.5,0.25");
    SetBlockInputValue(c.b, 1, 0.3f);
    SetBlockInputValue(c.b, 2, 2.0f);
    ASSERT_EQ(c.f.Run(c.b, 20.0f), CKBR_OK);
    // The second run starts again from the initial mesh, 20 ms later.
    c.b->ActivateInput(0, TRUE);
    ASSERT_EQ(c.f.Run(c.b, 20.0f), CKBR_OK);
    float time = 0.0f;
    c.b->GetLocalParameterValue(0, &time);
    EXPECT_FLOAT_EQ(time, 0.04f);
    const MeshSnapshot after = Snap(c.mesh);
    ExpectPoints(after.Points,
                 Map(c.before.Points,
                     [](const DVec& p) {
                         return SinePoint(p, {1.0, 0.5, 0.25}, 0.3, 2.0, 0.02);
                     }),
                 "points");
    ExpectNormalsFollow(c, after);
    ExpectColorsKept(c, after);
}

// The object's world: a turn about a slanted axis, a scale of 2 and a move.
DRotation PlaceObject(CK3dEntity* object)
{
    QxMatrix m;
    QxMatrixFromAxisAngle(m, QxVector(1.0f, 2.0f, 3.0f), 0.7f);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] *= 2.0f;
    m[3][0] = 5.0f;
    m[3][1] = -1.0f;
    m[3][2] = 2.0f;
    object->SetWorldMatrix(m);
    return DRotation::About({1.0, 2.0, 3.0}, 0.7);
}

void VertexTranslateCase(Case& c)
{
    Start(c, BlockGuid::VertexTranslate);
    const DRotation turn = PlaceObject(c.object);
    const int count = c.Patch() ? 7 : 100;
    SetBlockInputValue(c.b, 0, 3);
    SetBlockInputValue(c.b, 1, count);
    SetBlockInputText(c.b, 2, "0.1,0.2,0.3");
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    EXPECT_EQ(ActiveOutputs(c.b), 1u);
    // World to local: the turn undone and the scale of 2 divided out.
    const DVec local = turn.Transposed().Apply({0.1, 0.2, 0.3}) * 0.5;
    std::vector<DVec> expected = c.before.Points;
    for (int i = 3; i < 3 + count; ++i)
        expected[(size_t) i] = expected[(size_t) i] + local;
    const MeshSnapshot after = Snap(c.mesh);
    ExpectPoints(after.Points, expected, "points");
    ExpectNormalsFollow(c, after);
    ExpectColorsKept(c, after);
}

void ChangeReferentialCase(Case& c)
{
    Start(c, BlockGuid::ChangeReferential);
    const DRotation turn = PlaceObject(c.object);
    auto* referential = c.f.New<CK3dEntity>(CKCID_3DENTITY, "referential");
    referential->SetPosition3f(1.0f, 2.0f, 3.0f);
    SetBlockInputObject(c.b, 0, referential);
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    // Into the world, then into the referential, which is only moved.
    const std::vector<DVec> expected = Map(c.before.Points, [&](const DVec& p) {
        return turn.Apply(p) * 2.0 + DVec{5.0, -1.0, 2.0} - DVec{1.0, 2.0, 3.0};
    });
    ExpectPoints(Snap(c.mesh).Points, expected, "points");
    QxVector position;
    c.object->GetPosition(&position);
    EXPECT_EQ(position.x, 1.0f);
    EXPECT_EQ(position.z, 3.0f);
}

void InvertWindingCase(Case& c)
{
    c.object = c.f.NewObject(c.kind);
    c.mesh = c.object->GetCurrentMesh();
    c.before = Snap(c.mesh);
    c.b = c.f.Block(BlockGuid::InvertWinding, c.mesh);
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    const MeshSnapshot after = Snap(c.mesh);
    ASSERT_EQ(after.Faces.size(), c.before.Faces.size());
    for (size_t f = 0; f < after.Faces.size(); ++f) {
        const std::array<int, 3> turned = {c.before.Faces[f][0], c.before.Faces[f][2], c.before.Faces[f][1]};
        ASSERT_EQ(after.Faces[f], turned) << "face " << f;
    }
    ExpectPoints(after.Normals, Map(c.before.Normals, [](const DVec& n) { return n * -1.0; }), "turned normals");
    ExpectColorsKept(c, after);
}

CKTexture* StripedTexture(BlockFixture& f, int width, int height)
{
    auto* texture = f.New<CKTexture>(CKCID_TEXTURE, "displace");
    EXPECT_TRUE(texture->Create(width, height, 32));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            texture->SetPixel(x, y,
                              (CKDWORD) (((x * 37 + y * 11) & 0xFF) << 24 | ((x * 5) & 0xFF) << 16 |
                                         ((y * 29) & 0xFF) << 8 | ((x * y * 3) & 0xFF)));
    return texture;
}

void TextureDisplaceCase(Case& c)
{
    Start(c, BlockGuid::TextureDisplace);
    constexpr int w = 16, h = 8;
    CKTexture* texture = StripedTexture(c.f, w, h);
    SetBlockInputObject(c.b, 0, texture);
    const float scales[4] = {0.2f, 0.3f, 0.1f, 0.05f};
    for (int k = 0; k < 4; ++k)
        SetBlockInputValue(c.b, 1 + k, scales[k]);
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    EXPECT_EQ(ActiveOutputs(c.b), 1u);
    std::vector<DVec> expected;
    for (size_t i = 0; i < c.before.Positions.size(); ++i) {
        auto fraction = [](double t) { return t - std::trunc(t) + (t - std::trunc(t) < 0.0 ? 1.0 : 0.0); };
        // The default corners cover (0, 0) to (w - 1, h - 1).
        const int column = std::min(w - 1, (int) (fraction(c.before.UVs[i][0]) * (w - 1)));
        const int row = std::min(h - 1, (int) (fraction(c.before.UVs[i][1]) * (h - 1)));
        const CKDWORD texel = texture->GetPixel(column, row);
        const double d =
            ((texel >> 16) & 0xFF) * 0.2 + ((texel >> 8) & 0xFF) * 0.3 + (texel & 0xFF) * 0.1 + (texel >> 24) * 0.05;
        expected.push_back(c.before.Positions[i] + c.before.Normals[i] * d);
    }
    const MeshSnapshot after = Snap(c.mesh);
    ExpectPoints(after.Positions, expected, "positions");
    if (c.kind == MeshKind::Lattice)
        ExpectNormalsFollow(c, after);
    ExpectColorsKept(c, after);
}

void MultiMeshMorpherCase(Case& c)
{
    Start(c, BlockGuid::MultiMeshMorpher);
    CKMesh* a = c.f.NewObject(c.kind, "A")->GetCurrentMesh();
    CKMesh* b = c.f.NewObject(c.kind, "B")->GetCurrentMesh();
    b->ScaleVertices(QxVector(2.0f, -1.0f, 0.5f));
    b->TranslateVertices(QxVector(0.5f, 0.25f, 1.0f));
    const MeshSnapshot sa = Snap(a), sb = Snap(b);
    SetBlockInputObject(c.b, 0, a);
    SetBlockInputValue(c.b, 1, 1.0f);
    SetBlockInputObject(c.b, 2, b);
    SetBlockInputValue(c.b, 3, 3.0f);
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    std::vector<DVec> expected;
    for (size_t i = 0; i < sa.Points.size(); ++i)
        expected.push_back(sa.Points[i] * 0.25 + sb.Points[i] * 0.75);
    const MeshSnapshot after = Snap(c.mesh);
    ExpectPoints(after.Points, expected, "a quarter of A and three quarters of B");
    ExpectNormalsFollow(c, after);
    ExpectColorsKept(c, after);
}

void MeshMorpherCase(Case& c, float effect)
{
    Start(c, BlockGuid::MeshMorpher);
    CKMesh* a = c.f.NewObject(c.kind, "A")->GetCurrentMesh();
    CKMesh* b = c.f.NewObject(c.kind, "B")->GetCurrentMesh();
    b->RotateVertices(QxVector(0.0f, 0.0f, 1.0f), 1.0f);
    b->TranslateVertices(QxVector(0.0f, 3.0f, 0.0f));
    const MeshSnapshot sa = Snap(a), sb = Snap(b);
    SetBlockInputObject(c.b, 0, a);
    SetBlockInputObject(c.b, 1, b);
    SetBlockInputValue(c.b, 2, effect);
    SetBlockInputValue(c.b, 3, (CKBOOL) TRUE);
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    CKMesh* created = c.object->GetCurrentMesh();
    ASSERT_NE(created, c.mesh);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(std::string(created->GetName()), std::string("A_Morpher"));
    std::vector<DVec> expected;
    std::vector<DVec> normals;
    for (size_t i = 0; i < sa.Points.size(); ++i)
        expected.push_back(sa.Points[i] + (sb.Points[i] - sa.Points[i]) * effect);
    const MeshSnapshot after = Snap(created);
    ExpectPoints(after.Points, expected, "interpolated points");
    if (!c.Patch()) {
        for (size_t i = 0; i < sa.Normals.size(); ++i)
            normals.push_back(Normalized(sa.Normals[i] + (sb.Normals[i] - sa.Normals[i]) * effect));
        ExpectPoints(after.Normals, normals, "interpolated normals");
    }
}

void SkinJoinCase(Case& c)
{
    Start(c, BlockGuid::SkinJoin);
    // A joined copy of the lattice, a little off: every vertex's partner is
    // its own copy.
    CK3dEntity* joined = c.f.NewObject(c.kind, "Joined");
    joined->SetPosition3f(0.05f, -0.04f, 0.03f);
    c.object->SetPosition3f(0.0f, 0.0f, 0.0f);
    SetBlockInputObject(c.b, 1, joined);
    ClearBlockInput(c.b, 2);
    SendBlockMessage(c.b, CKM_BEHAVIOREDITED);
    ASSERT_EQ(c.f.Run(c.b), CKBR_ACTIVATENEXTFRAME);
    joined->SetPosition3f(0.1f, 0.2f, -0.1f);
    RunFrame(c.f.m_Dev, {c.object});
    const MeshSnapshot after = Snap(c.mesh);
    std::vector<DVec> expected;
    for (const DVec& p : c.before.Positions)
        expected.push_back(p + DVec{0.1, 0.2, -0.1});
    ExpectPoints(after.Positions, expected, "joined positions");
    ExpectPoints(after.Normals, c.before.Normals, "joined normals");
}

void ExplodeCase(Case& c)
{
    Start(c, BlockGuid::Explode);
    CKParameter* curveSource = BlockInputSource(c.b, 1);
    ASSERT_NE(curveSource, nullptr);
    SetBlockInputText(c.b, 3, "0.5,0,-0.5");
    SetBlockInputValue(c.b, 5, (CKBOOL) TRUE);
    CK2dCurve* curve = nullptr;
    ASSERT_EQ(curveSource->GetValue(&curve), 0);
    ASSERT_NE(curve, nullptr);
    const float radius = c.mesh->GetRadius();
    CKSrand(1234);
    ReferenceRandom random(1234);
    ASSERT_EQ(c.f.Run(c.b, 100.0f), CKBR_OK);
    EXPECT_EQ(ActiveOutputs(c.b), 2u);
    CKMesh* copy = c.object->GetCurrentMesh();
    ASSERT_NE(copy, c.mesh);
    QxVector center;
    c.b->GetLocalParameterValue(3, &center);
    const DVec bary = {center.x, center.y, center.z};
    const double delta = (double) curve->Evaluate(0.1f) * 2.0 - (double) curve->Evaluate(0.0f) * 2.0;
    const double k = radius * 2.0 * delta;
    const MeshSnapshot after = Snap(copy);
    std::vector<DVec> expected(after.Positions.size());
    ASSERT_EQ(after.Faces.size(), c.before.Faces.size());
    for (size_t f = 0; f < after.Faces.size(); ++f) {
        DVec p[3];
        for (int k3 = 0; k3 < 3; ++k3)
            p[k3] = c.before.Positions[(size_t) c.before.Faces[f][k3]];
        const DVec d = p[0] - bary;
        const DVec u = Normalized(d);
        const DVec spread = DVec{0.5, 0.0, -0.5} * (Length(d) * 0.1);
        for (DVec& q : p)
            q = q + u * ((random.Next() % 100) * 0.01 * k) + spread;
        const DVec axis = (p[0] + p[1] + p[2]) * (1.0 / 3.0);
        const DRotation turn = DRotation::About(axis, delta * 10.0);
        for (int k3 = 0; k3 < 3; ++k3)
            expected[(size_t) after.Faces[f][k3]] = turn.Apply(p[k3]);
    }
    ExpectPoints(after.Positions, expected, "exploded positions");
}

CKMaterial* NewMaterial(BlockFixture& f, const char* name, const QxColor& diffuse, float power)
{
    auto* m = f.New<CKMaterial>(CKCID_MATERIAL, name);
    m->SetDiffuse(diffuse);
    m->SetAmbient(QxColor(0.2f, 0.3f, 0.4f, 1.0f));
    m->SetEmissive(QxColor(0.05f, 0.0f, 0.1f, 0.0f));
    m->SetSpecular(QxColor(0.5f, 0.5f, 0.25f, 1.0f));
    m->SetPower(power);
    return m;
}

CKLight* NewTargetLight(BlockFixture& f, CKDWORD type, const QxVector& position, const QxColor& color)
{
    auto* light = f.New<CKLight>(CKCID_TARGETLIGHT, "light");
    light->SetType(type);
    light->SetColor(color);
    light->SetRange(20.0f);
    light->SetConstantAttenuation(1.0f);
    light->SetLinearAttenuation(0.2f);
    light->SetQuadraticAttenuation(0.05f);
    light->SetHotSpot(0.6f);
    light->SetFallOff(1.4f);
    light->SetSpecularFlag(TRUE);
    light->SetPosition(&position);
    QxVector origin(0.0f, 0.0f, 0.0f);
    light->LookAt(&origin);
    f.m_Level->AddObject(light);
    f.m_Scene->ActivateObject(light, FALSE);
    return light;
}

// The colour of one vertex lit by the lights (in the object's frame, the
// object standing at the world's origin unturned).
uint32_t ReferenceLitColor(const std::vector<CKLight*>& lights, CKMaterial* m, const DVec& p, const DVec& n,
                           const DVec& eye, uint32_t ambient)
{
    double diffuse[3] = {0, 0, 0}, specular[3] = {0, 0, 0};
    for (CKLight* light : lights) {
        QxVector lp;
        light->GetPosition(&lp);
        const QxMatrix& world = light->GetWorldMatrix();
        const DVec position = {lp.x, lp.y, lp.z};
        const DVec direction = Normalized({world[2][0], world[2][1], world[2][2]});
        const CKDWORD type = light->GetType();
        const DVec towards = type == CK_LIGHT_POINT ? position : direction * -1.0;
        double d = 0.0, w = 1.0;
        if (type == CK_LIGHT_DIRECTIONAL) {
            d = Dot(n, towards);
        } else {
            const DVec l = position - p;
            const double dist = Length(l);
            const double range = light->GetRange();
            if (dist >= range) {
                w = 0.0;
            } else {
                const double a = (range - dist) / range;
                const double att = light->GetConstantAttenuation() + light->GetLinearAttenuation() * a +
                                   light->GetQuadraticAttenuation() * a * a;
                const DVec to = l * (1.0 / dist);
                if (type == CK_LIGHT_POINT) {
                    d = att * Dot(n, to);
                } else {
                    const double c = Dot(to, towards);
                    const double outer = std::cos(light->GetFallOff() * 0.5);
                    const double inner = std::cos(light->GetHotSpot() * 0.5);
                    if (c <= outer) {
                        w = 0.0;
                    } else {
                        w = att * (c >= inner ? 1.0 : (c - outer) / (inner - outer));
                        d = w * Dot(n, to);
                    }
                }
            }
        }
        const QxColor& color = light->GetColor();
        const double rgb[3] = {color.r, color.g, color.b};
        for (int k = 0; k < 3; ++k)
            if (d > 0.0)
                diffuse[k] += rgb[k] * d;
        const DVec half = Normalized(Normalized(eye) + towards);
        const double h = Dot(half, n);
        if (h > 0.0 && w > 0.0)
            for (int k = 0; k < 3; ++k)
                specular[k] += rgb[k] * std::pow(h, m->GetPower()) * w;
    }
    const QxColor a = m->GetAmbient(), e = m->GetEmissive(), df = m->GetDiffuse(), sp = m->GetSpecular();
    const QxColor scene(ambient);
    const double base[3] = {a.r * scene.r + e.r, a.g * scene.g + e.g, a.b * scene.b + e.b};
    const double dm[3] = {df.r, df.g, df.b}, sm[3] = {sp.r, sp.g, sp.b};
    uint32_t out = (uint32_t) (std::clamp((double) df.a, 0.0, 1.0) * 255.0) << 24;
    for (int k = 0; k < 3; ++k) {
        const double v = std::clamp(diffuse[k] * dm[k] + base[k] + specular[k] * sm[k], 0.0, 1.0);
        out |= (uint32_t) (v * 255.0) << (16 - 8 * k);
    }
    return out;
}

void PrecomputeLightingCase(Case& c)
{
    Start(c, BlockGuid::PrecomputeLighting);
    SetBlockInputValue(c.b, 0, (CKBOOL) TRUE);
    c.f.m_Scene->SetAmbientLightColor(0xFF404040);
    CKMaterial* red = NewMaterial(c.f, "red", QxColor(0.9f, 0.2f, 0.1f, 0.75f), 8.0f);
    CKMaterial* blue = NewMaterial(c.f, "blue", QxColor(0.1f, 0.3f, 0.9f, 1.0f), 1.0f);
    const int faces = c.mesh->GetFaceCount();
    for (int f = 0; f < faces; ++f)
        c.mesh->SetFaceMaterial(f, f < faces / 2 ? red : blue);
    std::vector<CKLight*> lights = {
        NewTargetLight(c.f, CK_LIGHT_POINT, QxVector(0.5f, 3.0f, -2.0f), QxColor(1.0f, 0.8f, 0.6f, 1.0f)),
        NewTargetLight(c.f, CK_LIGHT_SPOT, QxVector(-2.0f, 1.0f, -3.0f), QxColor(0.3f, 0.6f, 0.9f, 1.0f)),
        NewTargetLight(c.f, CK_LIGHT_DIRECTIONAL, QxVector(4.0f, 4.0f, 4.0f), QxColor(0.4f, 0.4f, 0.4f, 1.0f)),
    };
    // A plain light is no target light: it lights nothing.
    auto* plain = c.f.New<CKLight>(CKCID_LIGHT, "plain");
    plain->SetColor(QxColor(1.0f, 1.0f, 1.0f, 1.0f));
    c.f.m_Level->AddObject(plain);
    c.f.m_Scene->ActivateObject(plain, FALSE);
    c.before = Snap(c.mesh);
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    EXPECT_EQ(c.mesh->GetLitMode(), 0);
    if (c.Patch())
        return;
    QxVector eyePosition;
    c.f.m_Viewpoint->GetPosition(&eyePosition);
    const DVec eye = {eyePosition.x, eyePosition.y, eyePosition.z};
    // The last group to light a vertex sets its colour.
    std::vector<CKMaterial*> lastMaterial(c.before.Positions.size(), nullptr);
    for (int f = 0; f < faces; ++f)
        for (int k = 0; k < 3; ++k)
            if (!lastMaterial[(size_t) c.before.Faces[(size_t) f][k]] || f >= faces / 2)
                lastMaterial[(size_t) c.before.Faces[(size_t) f][k]] = f < faces / 2 ? red : blue;
    const MeshSnapshot after = Snap(c.mesh);
    for (size_t v = 0; v < after.Colors.size(); ++v) {
        if (!lastMaterial[v]) {
            EXPECT_EQ(after.Colors[v], c.before.Colors[v]);
            continue;
        }
        const uint32_t expected =
            ReferenceLitColor(lights, lastMaterial[v], c.before.Positions[v], c.before.Normals[v], eye, 0xFF404040);
        for (int shift = 0; shift < 32; shift += 8) {
            const int got = (int) (after.Colors[v] >> shift & 0xFF), want = (int) (expected >> shift & 0xFF);
            ASSERT_LE(std::abs(got - want), 1) << "vertex " << v << " channel " << shift / 8;
        }
        EXPECT_EQ(after.Speculars[v], 0u);
    }
}

void SetVertexPropertiesCase(Case& c)
{
    c.object = c.f.NewObject(c.kind);
    c.mesh = c.object->GetCurrentMesh();
    c.b = c.f.Block(BlockGuid::SetVertexProperties, c.mesh);
    c.before = Snap(c.mesh);
    SetBlockInputValue(c.b, 0, 7);
    SetBlockInputText(c.b, 1, "1,2,3");
    SetBlockInputText(c.b, 2, "0,1,0");
    SetBlockInputText(c.b, 3, "0,255,255,255");
    SetBlockInputText(c.b, 5, "0.5,0.25");
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    const MeshSnapshot after = Snap(c.mesh);
    MeshSnapshot expected = c.before;
    expected.Positions[7] = {1.0, 2.0, 3.0};
    expected.UVs[7] = {0.5f, 0.25f};
    if (c.kind == MeshKind::Prelit)
        expected.Colors[7] = 0xFF00FFFF;
    else
        expected.Normals[7] = {0.0, 1.0, 0.0};
    ExpectPoints(after.Positions, expected.Positions, "positions");
    ExpectPoints(after.Normals, expected.Normals, "normals");
    EXPECT_EQ(after.Colors, expected.Colors);
    EXPECT_EQ(after.UVs, expected.UVs);
}

void SetFacePropertiesCase(Case& c)
{
    c.object = c.f.NewObject(c.kind);
    c.mesh = c.object->GetCurrentMesh();
    c.b = c.f.Block(BlockGuid::SetFaceProperties, c.mesh);
    c.before = Snap(c.mesh);
    CKMaterial* material = NewMaterial(c.f, "face", QxColor(1.0f, 1.0f, 1.0f, 1.0f), 0.0f);
    SetBlockInputValue(c.b, 0, 5);
    SetBlockInputObject(c.b, 1, material);
    SetBlockInputText(c.b, 2, "1.9,2.5,3.0");
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    const MeshSnapshot after = Snap(c.mesh);
    MeshSnapshot expected = c.before;
    expected.Faces[5] = {1, 2, 3};
    EXPECT_EQ(after.Faces, expected.Faces);
    EXPECT_EQ(c.mesh->GetFaceMaterial(5), material);
}

void SetCountsCase(Case& c)
{
    c.object = c.f.NewObject(c.kind);
    c.mesh = c.object->GetCurrentMesh();
    CKBehavior* vertices = c.f.Block(BlockGuid::SetVertexCount, c.mesh);
    CKBehavior* faces = c.f.Block(BlockGuid::SetFaceCount, c.mesh);
    c.before = Snap(c.mesh);
    SetBlockInputValue(vertices, 0, 40);
    SetBlockInputValue(faces, 0, 12);
    ASSERT_EQ(c.f.Run(faces), CKBR_OK);
    ASSERT_EQ(c.f.Run(vertices), CKBR_OK);
    const MeshSnapshot after = Snap(c.mesh);
    ASSERT_EQ(after.Positions.size(), 40u);
    ASSERT_EQ(after.Faces.size(), 12u);
    for (size_t i = 0; i < 40; ++i)
        EXPECT_EQ(Length(after.Positions[i] - c.before.Positions[i]), 0.0) << i;
    for (size_t f = 0; f < 12; ++f)
        EXPECT_EQ(after.Faces[f], c.before.Faces[f]) << f;
}

void PatchStepsCase(Case& c)
{
    c.object = c.f.NewObject(c.kind);
    c.mesh = c.object->GetCurrentMesh();
    // No plain mesh takes the block as a script: it only names one.
    c.b = CreateBlock(c.f.m_Context, BlockGuid::SetPatchMeshSteps, c.Patch() ? c.mesh : nullptr);
    ASSERT_NE(c.b, nullptr);
    SetBlockTarget(c.b, c.mesh);
    c.b->ActivateInput(0, TRUE);
    SetBlockInputValue(c.b, 0, 4);
    ASSERT_EQ(c.f.Run(c.b), CKBR_OK);
    EXPECT_EQ(ActiveOutputs(c.b), 1u);
    if (c.Patch()) {
        auto* patch = static_cast<CKPatchMesh*>(c.mesh);
        EXPECT_EQ(patch->GetIterationCount(), 4);
        patch->BuildRenderMesh();
        // Four steps inside each edge: 6 x 6 points a quad, 21 a triangle.
        EXPECT_EQ(patch->GetVertexCount(), 3 * 36 + 2 * 21);
    }
}

struct Row
{
    const char* Name;
    void (*Body)(Case&);
    bool OnPatch;
};

const Row kRows[] = {
    {"TwistDefaults", TwistDefaults, true},
    {"TwistBiased", TwistBiased, true},
    {"TaperCurved", TaperCurved, true},
    {"TaperSymmetricOneAxis", TaperSymmetricOneAxis, true},
    {"StretchHalf", StretchHalf, true},
    {"StretchShrink", StretchShrink, true},
    {"BendZ", [](Case& c) { BendCase(c, 2, 1.2, 0.3); }, true},
    {"BendX", [](Case& c) { BendCase(c, 0, -0.8, 0.0); }, true},
    {"BendY", [](Case& c) { BendCase(c, 1, 2.0, -1.0); }, true},
    {"Noise", NoiseCase, true},
    {"SineDeform", SineCase, true},
    {"VertexTranslate", VertexTranslateCase, true},
    {"ChangeReferential", ChangeReferentialCase, true},
    {"InvertWinding", InvertWindingCase, false},
    {"TextureDisplace", TextureDisplaceCase, false},
    {"MultiMeshMorpher", MultiMeshMorpherCase, true},
    {"MeshMorpherQuarter", [](Case& c) { MeshMorpherCase(c, 0.25f); }, true},
    {"MeshMorpherThreeQuarters", [](Case& c) { MeshMorpherCase(c, 0.75f); }, true},
    {"SkinJoin", SkinJoinCase, false},
    {"Explode", ExplodeCase, false},
    {"PrecomputeLighting", PrecomputeLightingCase, true},
    {"SetVertexProperties", SetVertexPropertiesCase, false},
    {"SetFaceProperties", SetFacePropertiesCase, false},
    {"SetVertexAndFaceCount", SetCountsCase, false},
    {"SetPatchMeshSteps", PatchStepsCase, true},
};

class BlockReferenceTest : public BlockFixture, public ::testing::WithParamInterface<std::tuple<int, MeshKind>>
{};

TEST_P(BlockReferenceTest, MatchesTheFormulas)
{
    const Row& row = kRows[std::get<0>(GetParam())];
    Case c{*this, std::get<1>(GetParam()), nullptr, nullptr, nullptr, MeshSnapshot()};
    row.Body(c);
}

// Every row on both lattices, and on the patch mesh where the block changes
// its control points.
std::vector<std::tuple<int, MeshKind>> Runs()
{
    std::vector<std::tuple<int, MeshKind>> runs;
    for (int i = 0; i < (int) (sizeof kRows / sizeof kRows[0]); ++i) {
        runs.emplace_back(i, MeshKind::Lattice);
        runs.emplace_back(i, MeshKind::Prelit);
        if (kRows[i].OnPatch)
            runs.emplace_back(i, MeshKind::Patch);
    }
    return runs;
}

INSTANTIATE_TEST_SUITE_P(EveryBlock, BlockReferenceTest, ::testing::ValuesIn(Runs()),
                         [](const ::testing::TestParamInfo<std::tuple<int, MeshKind>>& info) {
                             std::string name = kRows[std::get<0>(info.param)].Name;
                             const MeshKind kind = std::get<1>(info.param);
                             return name + (kind == MeshKind::Lattice
                                                ? "Lattice"
                                                : (kind == MeshKind::Prelit ? "Prelit" : "Patch"));
                         });

} // namespace
