// A render context: its rectangles and device, read-backs, pass-throughs,
// draw records, 2D roots and picking, cameras and material overrides.
#include <cstring>
#include <vector>

#include "render/context/CKRenderEngine.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/context/rasterizer/CKVertexFormat.h"
#include "render/objects/RCK2dEntity.h"
#include "tests/render/support/RenderTestSupport.h"

namespace {

using RenderContext = RenderFixture;

TEST_F(RenderContext, ReportsItsViewWindowAndScreenRectangles)
{
    QxIntRect rect{10, 20, 330, 260};
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(Manager()->CreateRenderContext(nullptr, 0, &rect));
    ASSERT_NE(rc, nullptr);
    QxRect r;
    rc->GetViewRect(r);
    EXPECT_EQ(r, QxRect(0, 0, 320, 240));
    rc->GetWindowRect(r);
    EXPECT_EQ(r, QxRect(0, 0, 320, 240));
    rc->GetWindowRect(r, TRUE);
    EXPECT_EQ(r, QxRect(10, 20, 330, 260));
    EXPECT_EQ(rc->GetWidth(), 320);
    EXPECT_EQ(rc->GetHeight(), 240);

    rc->SetViewRect(QxRect(20, 10, 120, 60));
    rc->GetViewRect(r);
    EXPECT_EQ(r, QxRect(20, 10, 120, 60));
    EXPECT_FLOAT_EQ(rc->GetProjectionTransformationMatrix()[1][1] / rc->GetProjectionTransformationMatrix()[0][0], 2.0f)
        << "the projection follows the view's aspect";
    rc->Render();
    const CKViewportData& viewport = rc->GetRasterizerContext()->GetViewport();
    EXPECT_EQ(viewport.ViewX, 20);
    EXPECT_EQ(viewport.ViewHeight, 50);

    EXPECT_EQ(rc->Resize(0, 0, 100, 80), CKErr::Ok);
    rc->GetViewRect(r);
    EXPECT_EQ(r, QxRect(0, 0, 100, 80));
    EXPECT_EQ(rc->GetRasterizerContext()->GetWidth(), 100);
    EXPECT_EQ(rc->Resize(0, 0, 0, 80), CKErr::InvalidParameter);

    RCKRenderContext* whole = static_cast<RCKRenderContext*>(Manager()->CreateRenderContext(nullptr));
    EXPECT_EQ(whole->GetWidth(), 640) << "no rectangle: the default window size";
}

TEST_F(RenderContext, DumpToMemoryGivesAnImageOfTheViewsSizeAndChangingTheDriverRebuildsTheDevice)
{
    RCKRenderContext* rc = NewRecordingContext(200, 100);
    rc->Render();
    QxImageDesc desc;
    int size = rc->DumpToMemory(nullptr, CK_RENDERBUFFER_COLOR, desc);
    ASSERT_EQ(size, 200 * 100 * 4);
    EXPECT_EQ(desc.Width, 200);
    EXPECT_EQ(desc.Height, 100);
    EXPECT_EQ(desc.BytesPerLine, 800);
    std::vector<CKDWORD> pixels(200 * 100, 0x12345678);
    desc.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    EXPECT_EQ(rc->DumpToMemory(nullptr, CK_RENDERBUFFER_COLOR, desc), size);
    EXPECT_EQ(pixels[0], 0xFF000000u) << "the background the frame was cleared with";
    EXPECT_EQ(pixels[199 * 100 + 99], 0xFF000000u);
    QxRect part(10, 10, 20, 15);
    QxImageDesc small;
    EXPECT_EQ(rc->DumpToMemory(&part, CK_RENDERBUFFER_COLOR, small), 10 * 5 * 4);
    EXPECT_EQ(rc->DumpToMemory(nullptr, 2, small), 0);

    // Changing the driver rebuilds the device, of the same size.
    rc->SetState(CKRST_RS_FOGENABLE, 1);
    EXPECT_EQ(rc->ChangeDriver(-1), CKErr::Ok);
    EXPECT_EQ(rc->GetDriverIndex(), 1);
    EXPECT_NE(rc->GetRasterizerContext(), nullptr);
    EXPECT_EQ(rc->GetState(CKRST_RS_FOGENABLE), 0u) << "a new device starts from its defaults";
    EXPECT_EQ(rc->ChangeDriver(0), CKErr::Ok);
    EXPECT_STREQ(rc->GetRasterizerContext()->GetDriver()->GetDescription(), "NULL Rasterizer");
    EXPECT_EQ(rc->ChangeDriver(7), CKErr::InvalidRenderContext);
    EXPECT_EQ(rc->GetDriverIndex(), 0);
    EXPECT_EQ(rc->DumpToMemory(nullptr, CK_RENDERBUFFER_COLOR, small), size);
}

TEST_F(RenderContext, StatesTexturesAndTransformsPassThroughToTheDevice)
{
    RCKRenderContext* rc = NewRecordingContext();
    for (CKDWORD state = 0; state < CKRST_RS_COUNT; ++state)
        ASSERT_TRUE(rc->SetState(state, state ^ 0xA5A5));
    for (CKDWORD state = 0; state < CKRST_RS_COUNT; ++state)
        ASSERT_EQ(rc->GetState(state), state ^ 0xA5A5) << state;
    EXPECT_TRUE(rc->SetTextureStageState(1, CKRST_TSS_STAGEBLEND, 0x56));
    CKDWORD value = 0;
    rc->GetRasterizerContext()->GetTextureStageState(1, CKRST_TSS_STAGEBLEND, &value);
    EXPECT_EQ(value, 0x56u);
    rc->GetRasterizerContext()->SetTexture(3, 0);
    EXPECT_TRUE(rc->SetTexture(nullptr, FALSE, 0));
    EXPECT_EQ(rc->GetRasterizerContext()->GetTexture(0), 0u) << "null unbinds the stage";

    QxMatrix world;
    world.SetIdentity();
    world[3][1] = 7.0f;
    rc->SetWorldTransformationMatrix(world);
    EXPECT_EQ(rc->GetRasterizerContext()->GetWorldMatrix(), world);
    EXPECT_EQ(rc->GetWorldTransformationMatrix(), world);
    TestEntity* entity = New<TestEntity>("e");
    entity->SetPosition(1, 2, 3);
    rc->DrawWithEntityTransform(entity);
    EXPECT_EQ(rc->GetRasterizerContext()->GetWorldMatrix()[3][2], 3.0f);
    rc->DrawWithEntityTransform(nullptr);
    EXPECT_EQ(rc->GetRasterizerContext()->GetWorldMatrix(), QxMatrix::Identity());
}

TEST_F(RenderContext, TheDrawRecordHasTheComponentsItsFormatAsks)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKDrawPrimitiveData* data = rc->GetDrawPrimitiveStructure(CKRST_DP_DOCLIP | CKRST_DP_DIFFUSE | CKRST_DP_STAGES0, 4);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->VertexCount, 4);
    EXPECT_EQ(data->PositionStride, 16u) << "room for screen positions' fourth value";
    EXPECT_NE(data->ColorPtr, nullptr);
    EXPECT_NE(data->TexCoordPtr, nullptr);
    EXPECT_EQ(data->NormalPtr, nullptr);
    EXPECT_EQ(data->TexCoordPtrs[0], nullptr);
    // The arrays do not overlap: write each whole.
    std::memset(data->PositionPtr, 1, 4 * 16);
    std::memset(data->ColorPtr, 2, 4 * 4);
    std::memset(data->TexCoordPtr, 3, 4 * 8);
    EXPECT_EQ(static_cast<CKBYTE*>(data->PositionPtr)[63], 1);
    data = rc->GetDrawPrimitiveStructure(CKRST_DP_TRANSFORM | CKRST_DP_LIGHT | 0x800, 2);
    EXPECT_NE(data->NormalPtr, nullptr);
    EXPECT_NE(data->TexCoordPtrs[1], nullptr) << "three texture sets";
    data->TexCoordPtrs[1] = nullptr;
    data->ClearChannels();
    EXPECT_EQ(data->TexCoordPtrs[0], nullptr);
    CKWORD* indices = rc->GetDrawPrimitiveIndices(6);
    ASSERT_NE(indices, nullptr);
    EXPECT_EQ(rc->GetDrawPrimitiveStructure(0, 0), nullptr);
    EXPECT_EQ(rc->GetDrawPrimitiveIndices(0), nullptr);
    Recorder(rc)->ClearCalls();
    EXPECT_TRUE(rc->DrawPrimitive(CKRST_PT_TRIANGLEFAN, nullptr, 4, rc->GetDrawPrimitiveStructure(0x214, 4)));
    EXPECT_STREQ(Recorder(rc)->GetCalls()[0].CStr(), "DrawPrimitive(6,-1,4,flags=0x214)");
}

TEST_F(RenderContext, ResolvesMaterialsByItsPassKindAndOverrideAndMergesScreenExtents)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKMaterial* own = reinterpret_cast<CKMaterial*>(0x1000);
    CKMaterial* other = reinterpret_cast<CKMaterial*>(0x2000);
    CKMaterialBinding binding;
    EXPECT_EQ(rc->ResolveOverriddenRendering(own, binding), own);
    EXPECT_EQ(binding.Source, own);
    EXPECT_EQ(binding.Technique, -1);
    rc->SetOverrideMaterial(other);
    EXPECT_EQ(rc->ResolveOverriddenRendering(own, binding), own) << "an override needs its pass kind";
    rc->SetPassKind(CK_PASS_OVERRIDEMATERIAL);
    EXPECT_EQ(rc->ResolveOverriddenRendering(own, binding), other);
    EXPECT_EQ(binding.Source, own);
    rc->SetPassKind(CK_PASS_NOMATERIAL | CK_PASS_OVERRIDEMATERIAL);
    EXPECT_EQ(rc->ResolveOverriddenRendering(own, binding), nullptr);
    rc->SetOverrideMaterial(nullptr);

    // Screen extents merge, and are recorded per object.
    TestEntity* entity = New<TestEntity>("e");
    rc->AddExtents2D(QxRect(10, 10, 20, 20), entity);
    rc->AddExtents2D(QxRect(5, 15, 12, 30), nullptr);
    EXPECT_EQ(rc->GetExtents2D(), QxRect(5, 10, 20, 30));
    ASSERT_EQ(rc->GetObjectExtents().Size(), 1);
    EXPECT_EQ(rc->GetObjectExtents()[0].Object, entity->GetID());
    rc->Render();
    EXPECT_TRUE(rc->GetExtents2D().IsNull()) << "a frame starts them again";
}

TEST_F(RenderContext, LooksThroughAnAttachedCamera)
{
    RCKRenderContext* rc = NewRecordingContext();
    CK3dEntity* own = rc->GetViewpoint();
    ASSERT_NE(own, nullptr) << "a viewpoint of its own";
    EXPECT_STREQ(own->GetName(), "Viewpoint");
    TestCamera* camera = New<TestCamera>("camera");
    camera->SetPosition(0, 0, -5);
    rc->AttachViewpointToCamera(camera);
    EXPECT_EQ(rc->GetAttachedCamera(), camera);
    EXPECT_EQ(rc->GetViewpoint(), camera);
    rc->Render();
    rc->Render();
    EXPECT_EQ(camera->m_ProjectionComputations, 1) << "taken again only when the camera changed";
    EXPECT_EQ(rc->GetProjectionTransformationMatrix()[1][1], rc->GetProjectionTransformationMatrix()[0][0] * 2.0f);
    EXPECT_EQ(rc->GetRasterizerContext()->GetViewMatrix()[3][2], 5.0f) << "the camera's inverse world matrix";
    camera->ModifyObjectFlags(0, CK_OBJECT_UPTODATE);
    rc->Render();
    EXPECT_EQ(camera->m_ProjectionComputations, 2);
    m_Context->DestroyObject(camera);
    EXPECT_EQ(rc->GetAttachedCamera(), nullptr);
    rc->DetachViewpointFromCamera();
    EXPECT_EQ(rc->Render(), CKErr::Ok);
}

TEST_F(RenderContext, WithoutADeviceItDoesNothing)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(m_Context->CreateObject(CKCID_RENDERCONTEXT));
    ASSERT_NE(rc, nullptr);
    EXPECT_EQ(rc->Render(), CKErr::RenderContextInactive);
    QxImageDesc desc;
    EXPECT_EQ(rc->DumpToMemory(nullptr, CK_RENDERBUFFER_COLOR, desc), 0);
    EXPECT_FALSE(rc->SetState(CKRST_RS_LIGHTING, 0));
    EXPECT_EQ(Manager()->GetRenderContextCount(), 1) << "it joined its manager all the same";
}

CKBOOL Log2d(CKRenderContext*, CKRenderObject* object, void*)
{
    RenderEvents().push_back(std::string("2d ") + object->GetName());
    return TRUE;
}

class RenderContextWith2d : public RenderFixture
{
protected:
    RCK2dEntity* Child(CK2dEntity* parent, const char* name, QxRect rect)
    {
        RCK2dEntity* child = static_cast<RCK2dEntity*>(m_Context->CreateObject(CKCID_2DENTITY, name));
        child->SetParent(parent);
        child->SetRect(rect);
        child->AddPreRenderCallBack(&Log2d, nullptr);
        return child;
    }
};

TEST_F(RenderContextWith2d, MakesItsTwoHiddenRootsAndDrawsAndPicksThroughThem)
{
    RCKRenderContext* rc = NewRecordingContext();
    CK2dEntity* fore = rc->Get2dRoot(FALSE);
    CK2dEntity* back = rc->Get2dRoot(TRUE);
    ASSERT_NE(fore, nullptr);
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(fore->GetName(), "2DRootFore");
    EXPECT_STREQ(back->GetName(), "2DRootBack");
    EXPECT_EQ(fore->GetObjectFlags(), 0x2023u) << "hidden, never saved, kept by ClearAll";
    EXPECT_EQ(fore->GetFlags() & 0x500, 0u) << "neither viewport-relative nor clipped to the viewport";

    RCK2dEntity* backdrop = Child(back, "backdrop", QxRect(0, 0, 100, 100));
    RCK2dEntity* panel = Child(fore, "panel", QxRect(0, 0, 50, 50));
    RCK2dEntity* button = Child(panel, "button", QxRect(10, 10, 20, 20));
    RCK2dEntity* badge = Child(fore, "badge", QxRect(15, 15, 30, 30));
    badge->SetZOrder(1);
    TestEntity* entity = New<TestEntity>("e");
    entity->SetPosition(0, 0, 10);
    rc->AddObject(entity);
    rc->Render();
    EXPECT_EQ(RenderEvents(), (std::vector<std::string>{"2d backdrop", "draw e", "2d panel", "2d button", "2d badge"}));
    EXPECT_EQ(rc->Pick2D(Qx2DVector(16, 16)), badge) << "the last drawn is on top";
    EXPECT_EQ(rc->Pick2D(Qx2DVector(12, 12)), button);
    EXPECT_EQ(rc->Pick2D(Qx2DVector(40, 5)), panel);
    EXPECT_EQ(rc->Pick2D(Qx2DVector(80, 80)), backdrop) << "the background after the foreground";
    EXPECT_EQ(rc->Pick2D(Qx2DVector(500, 500)), nullptr);

    CK_ID foreId = fore->GetID();
    EXPECT_EQ(Manager()->DestroyRenderContext(rc), CKErr::Ok);
    EXPECT_EQ(m_Context->GetObject(foreId), nullptr) << "the roots go with their render context";
}

} // namespace

namespace {

TEST(RenderContextAlone, ARenderContextWithoutAManagerClosesWithTheObjectsItShows)
{
    ASSERT_EQ(CKStartUp(), 0);
    CKGetRenderEnginePluginInfo(0); // the classes, not the plug-in: no render manager
    RegisterTestClass<TestEntity>("TestEntity", CKCID_3DENTITY);
    CKBuildClassHierarchyTable();
    CKContext* context = nullptr;
    ASSERT_EQ(CKCreateContext(&context, nullptr), 0);
    ASSERT_EQ(context->GetRenderManager(), nullptr);
    // Made first, the entity is released first when the context closes.
    TestEntity* entity = static_cast<TestEntity*>(context->CreateObject(TestEntity::m_ClassID, "shown"));
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context->CreateObject(CKCID_RENDERCONTEXT));
    ASSERT_NE(rc, nullptr);
    EXPECT_EQ(rc->Create(nullptr, 0, nullptr), CKErr::InvalidRenderContext);
    rc->AddObject(entity);
    EXPECT_TRUE(rc->IsObjectAttached(entity));
    EXPECT_EQ(CKCloseContext(context), 0);
    EXPECT_EQ(CKShutdown(), 0);
}

} // namespace
