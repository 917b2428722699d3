#include "tests/lod/blocks/BlockTestSupport.h"

#include <cmath>

#include "core/behavior/CKBehaviorIO.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKRenderContext.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "core/scene/CKSceneObjectDesc.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "tools/blockharness/BlockWorld.h"
#include "tools/testdata/TestPatches.h"

DVec operator+(const DVec& a, const DVec& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

DVec operator-(const DVec& a, const DVec& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

DVec operator*(const DVec& a, double s)
{
    return {a.x * s, a.y * s, a.z * s};
}

double Dot(const DVec& a, const DVec& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

double Length(const DVec& a)
{
    return std::sqrt(Dot(a, a));
}

DVec Normalized(const DVec& a)
{
    const double l = Length(a);
    return l == 0.0 ? a : a * (1.0 / l);
}

DRotation DRotation::About(const DVec& axis, double angle)
{
    // The usual rotation matrix of column vectors, which the engine stores
    // and uses with row vectors.
    const DVec n = Normalized(axis);
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double t = 1.0 - c;
    DRotation r;
    r.m[0][0] = c + t * n.x * n.x;
    r.m[0][1] = t * n.x * n.y - s * n.z;
    r.m[0][2] = t * n.x * n.z + s * n.y;
    r.m[1][0] = t * n.y * n.x + s * n.z;
    r.m[1][1] = c + t * n.y * n.y;
    r.m[1][2] = t * n.y * n.z - s * n.x;
    r.m[2][0] = t * n.z * n.x - s * n.y;
    r.m[2][1] = t * n.z * n.y + s * n.x;
    r.m[2][2] = c + t * n.z * n.z;
    return r;
}

DRotation DRotation::Identity()
{
    DRotation r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = i == j ? 1.0 : 0.0;
    return r;
}

DVec DRotation::Apply(const DVec& p) const
{
    DVec out;
    for (int j = 0; j < 3; ++j)
        out[j] = p.x * m[0][j] + p.y * m[1][j] + p.z * m[2][j];
    return out;
}

DRotation DRotation::Transposed() const
{
    DRotation r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = m[j][i];
    return r;
}

MeshSnapshot Snap(CKMesh* mesh)
{
    MeshSnapshot s;
    for (int i = 0; i < mesh->GetModifierVertexCount(); ++i) {
        QxVector p;
        mesh->GetModifierVertex(i, &p);
        s.Points.push_back({p.x, p.y, p.z});
    }
    for (int i = 0; i < mesh->GetVertexCount(); ++i) {
        QxVector p;
        QxVector n;
        float u = 0.0f;
        float v = 0.0f;
        mesh->GetVertexPosition(i, &p);
        mesh->GetVertexNormal(i, &n);
        mesh->GetVertexTextureCoordinates(i, &u, &v);
        s.Positions.push_back({p.x, p.y, p.z});
        s.UVs.push_back({u, v});
        s.Normals.push_back({n.x, n.y, n.z});
        s.Colors.push_back(mesh->GetVertexColor(i));
        s.Speculars.push_back(mesh->GetVertexSpecularColor(i));
    }
    for (int f = 0; f < mesh->GetFaceCount(); ++f) {
        std::array<int, 3> c;
        mesh->GetFaceVertexIndex(f, c[0], c[1], c[2]);
        s.Faces.push_back(c);
    }
    return s;
}

double WorstRelativeError(const std::vector<DVec>& actual, const std::vector<DVec>& expected)
{
    if (actual.size() != expected.size())
        return -1.0;
    double worst = 0.0;
    for (size_t i = 0; i < actual.size(); ++i) {
        const double scale = std::max(1.0, Length(expected[i]));
        const double e = Length(actual[i] - expected[i]) / scale;
        if (!(e <= worst))
            worst = e;
    }
    return worst;
}

const char* MeshKindName(MeshKind kind)
{
    switch (kind) {
    case MeshKind::Lattice: return "lattice";
    case MeshKind::Prelit: return "pre-lit lattice";
    case MeshKind::Patch: return "patch mesh";
    }
    return "?";
}

namespace {

CKERROR KeepConsoleLine(CKUICallbackStruct& message, void* data)
{
    if (message.Reason == CKUIM_OUTTOCONSOLE)
        static_cast<std::vector<std::string>*>(data)->push_back(reinterpret_cast<const char*>(message.Param2));
    return 0;
}

} // namespace

void BlockFixture::SetUp()
{
    LodFixture::SetUp();
    m_Context->SetInterfaceMode(TRUE, KeepConsoleLine, &m_Console);
    m_Level = New<CKLevel>(CKCID_LEVEL, "Level");
    m_Context->SetCurrentLevel(m_Level);
    m_Scene = m_Context->GetCurrentScene();
    ASSERT_NE(m_Scene, nullptr);
    m_Dev = NewRenderContext();
    ASSERT_NE(m_Dev, nullptr);
    auto* camera = New<CKCamera>(CKCID_CAMERA, "Camera");
    camera->SetPosition3f(0.0f, 0.0f, -10.0f);
    m_Dev->AttachViewpointToCamera(camera);
    m_Viewpoint = m_Dev->GetViewpoint();
}

void BlockFixture::FillLattice(CKMesh* mesh, bool prelit)
{
    FillBlockLattice(mesh, 11, prelit);
}

CK3dEntity* BlockFixture::PointsObject(const std::vector<QxVector>& points, const char* name)
{
    auto* object = New<CK3dEntity>(CKCID_3DOBJECT, name);
    auto* mesh = New<CKMesh>(CKCID_MESH, name);
    mesh->SetVertexCount((int) points.size());
    for (size_t i = 0; i < points.size(); ++i)
        mesh->SetVertexPosition((int) i, points[i]);
    object->SetCurrentMesh(mesh, TRUE);
    m_Level->AddObject(object);
    m_Level->AddObject(mesh);
    KeepInitialState(mesh);
    return object;
}

void BlockFixture::KeepInitialState(CKMesh* mesh)
{
    CKSceneObjectDesc* desc = m_Scene->GetSceneObjectDesc(mesh);
    ASSERT_NE(desc, nullptr);
    desc->SetInitialValue(CKSaveObjectState(mesh));
}

CK3dEntity* BlockFixture::NewObject(MeshKind kind, const char* name)
{
    auto* object = New<CK3dEntity>(CKCID_3DOBJECT, name);
    CKMesh* mesh = nullptr;
    if (kind == MeshKind::Patch) {
        auto* patch = New<CKPatchMesh>(CKCID_PATCHMESH, name);
        FillIndependentPatches(patch, {4, 3, 4, 4, 3}, 17);
        patch->SetIterationCount(2);
        patch->BuildRenderMesh();
        mesh = patch;
    } else {
        mesh = New<CKMesh>(CKCID_MESH, name);
        FillLattice(mesh, kind == MeshKind::Prelit);
    }
    object->SetCurrentMesh(mesh, TRUE);
    m_Level->AddObject(object);
    m_Level->AddObject(mesh);
    KeepInitialState(mesh);
    return object;
}

CKBehavior* BlockFixture::Block(CKGUID guid, CKBeObject* owner, CKDWORD version)
{
    CKBehavior* b = CreateBlock(m_Context, guid, owner, version);
    EXPECT_NE(b, nullptr);
    if (b)
        b->ActivateInput(0, TRUE);
    return b;
}

int BlockFixture::Run(CKBehavior* behavior, float deltaTime)
{
    BlockFrame frame;
    frame.DeltaTime = deltaTime;
    frame.RenderContext = m_Dev;
    frame.Scene = m_Scene;
    return RunBlock(behavior, frame);
}

uint32_t ActiveInputs(CKBehavior* behavior)
{
    uint32_t bits = 0;
    for (int i = 0; i < behavior->GetInputCount() && i < 32; ++i)
        if (behavior->GetInput(i)->IsActive())
            bits |= 1u << i;
    return bits;
}

uint32_t ActiveOutputs(CKBehavior* behavior)
{
    uint32_t bits = 0;
    for (int i = 0; i < behavior->GetOutputCount() && i < 32; ++i)
        if (behavior->GetOutput(i)->IsActive())
            bits |= 1u << i;
    return bits;
}
