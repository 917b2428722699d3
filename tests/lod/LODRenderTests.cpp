// The level-of-detail manager through a real frame of a render context: the
// entities' own drawing calls its callbacks.
#include <cstdio>

#include "core/context/CKRenderContext.h"
#include "render/context/rasterizer/CKRecordingRasterizer.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "tests/lod/LodTestSupport.h"

namespace {

class LodRenderTest : public LodCameraFixture
{};

TEST_F(LodRenderTest, ARenderedFrameChoosesTheMeshAndUndoesTheFade)
{
    CK3dEntity* entity = New<CK3dEntity>(CKCID_3DOBJECT, "Entity");
    CKMesh* full = NewMesh("Full", 1000, 1.0f);
    CKMesh* coarse = NewMesh("Coarse", 100, 1.0f);
    auto* material = New<CKMaterial>(CKCID_MATERIAL, "Material");
    material->SetDiffuse(QxColor(1.0f, 1.0f, 1.0f, 1.0f));
    for (CKMesh* mesh : {full, coarse})
        for (int f = 0; f < mesh->GetFaceCount(); ++f)
            mesh->SetFaceMaterial(f, material);
    entity->AddMesh(full);
    entity->AddMesh(coarse);
    entity->SetCurrentMesh(full, FALSE);
    // Small on screen: the coarse mesh, half faded.
    LODOptions options;
    options.Flags = LOD_MULTIPLEMESHES | LOD_ALPHA;
    options.ScreenMag = 0.4f;
    options.ScreenMin = 0.01f;
    options.ScreenAlphaMag = 0.02f;
    options.ScreenAlphaMin = 0.0f;
    ASSERT_NE(Attach(entity, options), nullptr);
    entity->SetPosition3f(0.0f, 0.0f, 1000.0f);
    m_Dev->AddObject(entity);
    m_Context->ExecuteManagersOnCKPlay();
    ASSERT_TRUE(Manager()->IsActive());

    auto* rst = static_cast<CKRecordingRasterizerContext*>(m_Dev->GetRasterizerContext());
    rst->ClearCalls();
    ASSERT_EQ(m_Dev->Render(), 0);
    EXPECT_EQ(entity->GetCurrentMesh(), coarse) << "the manager's pre-render callback ran in the frame";
    // The mesh was drawn with its material faded.
    float drawnAlpha = -1.0f;
    for (const XString& call : rst->GetCalls()) {
        float r, g, b, a;
        if (std::sscanf(call.CStr(), "SetMaterial(diffuse=%g/%g/%g/%g", &r, &g, &b, &a) == 4)
            drawnAlpha = a;
    }
    EXPECT_GT(drawnAlpha, 0.0f);
    EXPECT_LT(drawnAlpha, 1.0f);
    EXPECT_EQ(material->GetDiffuse().a, 1.0f) << "its post-render callback gave the alpha back";
    // Near: full detail again.
    entity->SetPosition3f(0.0f, 0.0f, 2.0f);
    ASSERT_EQ(m_Dev->Render(), 0);
    EXPECT_EQ(entity->GetCurrentMesh(), full);
    // Inactive: the frame leaves the mesh alone.
    Manager()->SetActive(FALSE);
    entity->SetPosition3f(0.0f, 0.0f, 150.0f);
    ASSERT_EQ(m_Dev->Render(), 0);
    EXPECT_EQ(entity->GetCurrentMesh(), full);
}

} // namespace
