#include "tests/render/support/RenderTestSupport.h"

#include "core/context/CKPluginManager.h"
#include "render/context/CKRenderEngine.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/context/rasterizer/CKVertexFormat.h"

std::vector<std::string>& RenderEvents()
{
    static std::vector<std::string> events;
    return events;
}

template <class Base>
TestEntityImpl<Base>::TestEntityImpl(CKContext* context, const char* name) : Base(context, name)
{
    m_LocalBox = QxBbox(QxVector(-1, -1, -1), QxVector(1, 1, 1));
    m_WorldBox = m_LocalBox;
    m_Node = this->GetSceneGraphNode();
}

template <class Base>
const QxBbox& TestEntityImpl<Base>::GetBoundingBox(CKBOOL local)
{
    m_WorldBox.TransformFrom(m_LocalBox, this->GetWorldMatrix());
    return local ? m_LocalBox : m_WorldBox;
}

template <class Base>
CKBOOL TestEntityImpl<Base>::Render(CKRenderContext* context, CKDWORD flags)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    std::string name = this->GetName() ? this->GetName() : "?";
    if (rc->GetBatching()) {
        rc->GetBatchList()->GetGroup(m_Node->GetPriority())->m_Entities.PushBack(this);
        RenderEvents().push_back("queue " + name);
        return TRUE;
    }
    rc->SetWorldTransformationMatrix(this->GetWorldMatrix());
    QxRect extents(1e8f, 1e8f, -1e8f, -1e8f);
    if (!(this->GetMoveableFlags() & CK_3DENTITY_FRUSTUMTESTED) &&
        !rc->GetRasterizerContext()->ComputeBoxVisibility(m_LocalBox, FALSE, &extents)) {
        RenderEvents().push_back("skip " + name);
        return TRUE;
    }
    RenderCallbackList* callbacks = this->m_Callbacks;
    if (callbacks)
        this->CallAll(rc, callbacks->GetPreCallbacks());
    if (callbacks && callbacks->GetRenderCallback()) {
        const RenderCallbackRecord& r = *callbacks->GetRenderCallback();
        CKRenderCallbackAs<CK_RENDEROBJECT_CALLBACK>(r)(rc, this, r.Argument);
    } else {
        CKDrawPrimitiveData* data = rc->GetDrawPrimitiveStructure(CKRST_DP_TRANSFORM | CKRST_DP_DIFFUSE, 3);
        rc->DrawPrimitive(CKRST_PT_TRIANGLELIST, nullptr, 3, data);
        RenderEvents().push_back("draw " + name);
    }
    if (callbacks)
        this->CallAll(rc, callbacks->GetPostCallbacks());
    if ((flags & 0xFF) && !(this->GetMoveableFlags() & CK_3DENTITY_FRUSTUMTESTED))
        rc->AddExtents2D(extents, this);
    return TRUE;
}

template <class Base>
CKBOOL TestEntityImpl<Base>::IsInViewFrustrumHierarchic(CKRenderContext* context)
{
    m_Node->ModifyFlags(0, CK_SCENEGRAPH_ALLINSIDE | CK_SCENEGRAPH_ALLOUTSIDE);
    CKRasterizerContext* rst = context->GetRasterizerContext();
    CKDWORD visibility = rst->ComputeBoxVisibility(m_Node->GetHierarchicalBox(), TRUE);
    if (visibility == 0) {
        m_Node->ModifyFlags(CK_SCENEGRAPH_ALLOUTSIDE, 0);
        return FALSE;
    }
    if (visibility == 2)
        m_Node->ModifyFlags(CK_SCENEGRAPH_ALLINSIDE, 0);
    return TRUE;
}

template class TestEntityImpl<RCK3dEntity>;
template class TestEntityImpl<RCKLight>;
template class TestEntityImpl<RCKCamera>;

CKBOOL TestLight::Setup(CKRasterizerContext* rasterizer, int index)
{
    if (!m_Lights)
        return FALSE;
    CKLightRecord record;
    record.Light.Diffuse = QxColor(m_Red, 1.0f, 1.0f, 1.0f);
    record.Light.Position = QxVector(GetWorldMatrix()[3][0], GetWorldMatrix()[3][1], GetWorldMatrix()[3][2]);
    rasterizer->SetLight((CKDWORD) index, record);
    rasterizer->EnableLight((CKDWORD) index, TRUE);
    return TRUE;
}

void RenderFixture::SetUp()
{
    ASSERT_EQ(CKStartUp(), 0);
    CKPluginInfo* info = CKGetRenderEnginePluginInfo(0);
    CKAddRasterizer(&CKRecordingRasterizerStart);
    CKGetPluginManager()->RegisterPlugin(0, info, nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
    RegisterTestClass<TestEntity>("TestEntity", CKCID_3DENTITY);
    RegisterTestClass<TestLight>("TestLight", CKCID_LIGHT);
    RegisterTestClass<TestCamera>("TestCamera", CKCID_CAMERA);
    RegisterMoreClasses();
    CKBuildClassHierarchyTable();
    ASSERT_EQ(CKCreateContext(&m_Context, nullptr), 0);
    ASSERT_NE(m_Context->GetRenderManager(), nullptr);
    RenderEvents().clear();
}

void RenderFixture::TearDown()
{
    if (m_Context) {
        EXPECT_EQ(CKCloseContext(m_Context), 0);
    }
    m_Context = nullptr;
    EXPECT_EQ(CKShutdown(), 0);
}

RCKRenderContext* RenderFixture::NewRecordingContext(int width, int height)
{
    QxIntRect rect{0, 0, width, height};
    return static_cast<RCKRenderContext*>(Manager()->CreateRenderContext(nullptr, 1, &rect));
}
