#include "tests/lod/LodTestSupport.h"

#include "core/context/CKRenderContext.h"
#include "core/context/CKRenderManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKBeObject.h"
#include "render/context/CKRenderEngine.h"
#include "render/context/rasterizer/CKRecordingRasterizer.h"
#include "render/mesh/CKBlendShapeData.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "tools/blockharness/BlockHarness.h"
#include "tools/testdata/TestMeshes.h"

void LodFixture::SetUp()
{
    ASSERT_EQ(CKStartUp(), 0);
    RegisterBlockPlugins();
    CKAddRasterizer(&CKRecordingRasterizerStart);
    ASSERT_EQ(CKCreateContext(&m_Context, nullptr), 0);
    ASSERT_NE(Manager(), nullptr);
}

void LodFixture::TearDown()
{
    if (m_Context) {
        EXPECT_EQ(CKCloseContext(m_Context), 0);
    }
    m_Context = nullptr;
    EXPECT_EQ(CKShutdown(), 0);
}

CKMesh* LodFixture::NewMesh(const char* name, int faces, float radius)
{
    CKMesh* mesh = New<CKMesh>(CKCID_MESH, name);
    int vertices = faces < 3 ? 3 : faces;
    mesh->SetVertexCount(vertices);
    // Two vertices at +-radius on x and the others at the origin: the
    // barycentre is the origin and the radius exact.
    mesh->SetVertexPosition(0, QxVector(radius, 0.0f, 0.0f));
    mesh->SetVertexPosition(1, QxVector(-radius, 0.0f, 0.0f));
    mesh->SetFaceCount(faces);
    for (int f = 0; f < faces; ++f)
        mesh->SetFaceVertexIndex(f, f % vertices, (f + 1) % vertices, (f + 2) % vertices);
    return mesh;
}

CKMesh* LodFixture::NewProgressiveMesh(const char* name, int side, float size)
{
    TestMesh grid = GridTestMesh(side);
    CKMesh* mesh = New<CKMesh>(CKCID_MESH, name);
    mesh->SetVertexCount(grid.VertexCount());
    for (int i = 0; i < grid.VertexCount(); ++i)
        mesh->SetVertexPosition(i, QxVector(grid.Positions[3 * i] * size, grid.Positions[3 * i + 1] * size,
                                            grid.Positions[3 * i + 2] * size));
    mesh->SetFaceCount(grid.FaceCount());
    for (int f = 0; f < grid.FaceCount(); ++f)
        mesh->SetFaceVertexIndex(f, (int) grid.Indices[3 * f], (int) grid.Indices[3 * f + 1],
                                 (int) grid.Indices[3 * f + 2]);
    EXPECT_EQ(mesh->CreatePM(), 0);
    return mesh;
}

LODOptions* LodFixture::Attach(CK3dEntity* entity, const LODOptions& options)
{
    if (!entity->SetAttribute(Manager()->GetLodAttribute(), 0))
        return nullptr;
    LODOptions* stored = Manager()->GetLodOptions(entity);
    if (stored)
        *stored = options;
    return stored;
}

CKRenderContext* LodFixture::NewRenderContext()
{
    QxIntRect rect{0, 0, 320, 240};
    return m_Context->GetRenderManager()->CreateRenderContext(nullptr, 1, &rect);
}

void LodFixture::GiveBlendShapes(CKMesh* mesh, std::initializer_list<const char*> names)
{
    CKBlendShapeData data;
    CKDWORD index = 0;
    for (const char* name : names) {
        data.Names.PushBack(XString(name));
        CKBlendShapeTarget target;
        CKBlendShapeDelta delta;
        delta.Position = QxVector(0.0f, 1.0f, 0.0f);
        target.Deltas.PushBack(delta);
        target.WeightIndex = index++;
        data.Targets.PushBack(target);
    }
    CKBlendShapeBaseVertex base;
    data.BaseVertices.PushBack(base);
    mesh->SetBlendShapes(data);
}

void LodCameraFixture::SetUp()
{
    LodFixture::SetUp();
    m_Dev = NewRenderContext();
    ASSERT_NE(m_Dev, nullptr);
    m_Camera = New<CKCamera>(CKCID_CAMERA, "Camera");
    m_Dev->AttachViewpointToCamera(m_Camera);
}
