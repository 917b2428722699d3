// 2D entities in a frame: clipping against the viewport and the parent, the
// render of the hierarchy with its callbacks, the textured quad and picking.
#include <string>

#include "tests/render/support/Render2dTestSupport.h"

namespace {

class Draw2d : public Render2dFixture
{
protected:
    CKMaterial* NewMaterial(const char* name)
    {
        return static_cast<CKMaterial*>(m_Context->CreateObject(CKCID_MATERIAL, name));
    }
    // The recorded calls of the last frame that start with the prefix.
    std::vector<std::string> Calls(const char* prefix)
    {
        std::vector<std::string> out;
        for (const XString& call : Recorder(m_RC)->GetCalls())
            if (std::string(call.CStr()).rfind(prefix, 0) == 0)
                out.push_back(call.CStr());
        return out;
    }
    void Frame()
    {
        Recorder(m_RC)->ClearCalls();
        RenderEvents().clear();
        ASSERT_EQ(m_RC->Render(), 0);
    }
};

CKBOOL LogPre(CKRenderContext*, CKRenderObject* object, void*)
{
    RenderEvents().push_back(std::string("pre ") + object->GetName());
    return TRUE;
}
CKBOOL LogPost(CKRenderContext*, CKRenderObject* object, void*)
{
    RenderEvents().push_back(std::string("post ") + object->GetName());
    return TRUE;
}

TEST_F(Draw2d, AQuadIsOneFanOfFourVerticesOnTheClippedRectanglesWithItsStates)
{
    m_RC->SetViewRect(QxRect(10, 20, 310, 220));
    CKMaterial* material = NewMaterial("m");
    material->SetDiffuse(QxColor(1.0f, 0.5f, 0.0f, 1.0f));
    // 200 pixels wide with 50 of them left of the viewport.
    RCK2dEntity* e = New2d("quad", QxRect(-50, 10, 150, 60));
    e->SetMaterial(material);
    Frame();

    QxRect source, screen;
    e->GetExtents(source, screen);
    EXPECT_EQ(source, QxRect(0.25f, 0, 1, 1));
    EXPECT_EQ(screen, QxRect(10, 30, 160, 80)) << "offset by the viewport's corner, then clipped to it";
    EXPECT_EQ(Calls("DrawPrimitive"), std::vector<std::string>{"DrawPrimitive(6,-1,4,flags=0x214)"});
    const XArray<CKRecordedVertex>& v = Recorder(m_RC)->GetLastVertices();
    ASSERT_EQ(v.Size(), 4);
    const float corners[4][4] = {
        {9.5f, 29.5f, 0.25f, 0}, {159.5f, 29.5f, 1, 0}, {159.5f, 79.5f, 1, 1}, {9.5f, 79.5f, 0.25f, 1}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(v[i].x, corners[i][0]);
        EXPECT_EQ(v[i].y, corners[i][1]);
        EXPECT_EQ(v[i].z, 0.0f);
        EXPECT_EQ(v[i].w, 1.0f);
        EXPECT_EQ(v[i].u, corners[i][2]);
        EXPECT_EQ(v[i].v, corners[i][3]);
        EXPECT_EQ(v[i].Color, 0xFFFF7F00u) << "the diffuse colour";
    }

    // The source rectangle in use is cut in proportion on every side.
    e->UseSourceRect(TRUE);
    e->SetSourceRect(QxRect(0, 0, 100, 200));
    e->SetRect(QxRect(250, 150, 350, 250));
    ASSERT_TRUE(e->UpdateExtents(m_RC));
    e->GetExtents(source, screen);
    EXPECT_EQ(screen, QxRect(260, 170, 310, 220));
    EXPECT_EQ(source, QxRect(0, 0, 50, 100));

    // A background quad not clipped to the viewport covers the whole window.
    e->Show(CKHIDE);
    RCK2dEntity* back = New2d("back", QxRect(0, 0, 10, 10));
    back->SetMaterial(NewMaterial("m"));
    back->SetBackground(TRUE);
    back->SetClipToViewport(FALSE);
    m_RC->SetFogMode(1);
    Frame();
    std::vector<std::string> calls;
    for (const XString& call : Recorder(m_RC)->GetCalls())
        calls.push_back(call.CStr());
    // The whole window, then the material's own states, then the quad's.
    auto at = std::find(calls.begin(), calls.end(), "SetViewport(0,0,320,240)");
    ASSERT_NE(at, calls.end());
    auto quad = std::find(at, calls.end(), "SetTextureStageState(1,40,0)");
    ASSERT_NE(quad, calls.end());
    EXPECT_NE(std::find_if(at, quad, [](const std::string& c) { return c.rfind("SetMaterial(", 0) == 0; }), quad);
    const std::vector<std::string> expected = {"SetTextureStageState(1,40,0)", "SetRenderState(22,1)",
                                               "SetRenderState(28,0)",         "SetRenderState(23,8)",
                                               "SetRenderState(14,0)",         "DrawPrimitive(6,-1,4,flags=0x214)",
                                               "SetRenderState(28,1)",         "SetViewport(10,20,300,200)"};
    ASSERT_GE(calls.end() - quad, (std::ptrdiff_t) expected.size());
    EXPECT_EQ(std::vector<std::string>(quad, quad + (std::ptrdiff_t) expected.size()), expected);
}

TEST_F(Draw2d, WithoutAMaterialOnlyTheEditorsOutlineIsDrawn)
{
    New2d("plain", QxRect(10, 10, 20, 30));
    Frame();
    EXPECT_TRUE(Calls("DrawPrimitive").empty());
    m_Context->SetInterfaceMode(TRUE, nullptr, nullptr);
    Frame();
    EXPECT_EQ(Calls("DrawPrimitive"),
              (std::vector<std::string>{"DrawPrimitive(6,-1,4,flags=0x14)", "DrawPrimitive(3,5,4,flags=0x14)"}));
    const XArray<CKRecordedVertex>& v = Recorder(m_RC)->GetLastVertices();
    ASSERT_EQ(v.Size(), 4);
    EXPECT_EQ(v[2].x, 19.0f);
    EXPECT_EQ(v[2].y, 29.0f);
    EXPECT_EQ(v[0].Color, 0xFFFFFFFFu);
}

TEST_F(Draw2d, TheHierarchyRendersInOrderAndSkipsWhatItsParentClipsAway)
{
    RCK2dEntity* outside = New2d("outside", QxRect(-100, 0, -10, 50));
    RCK2dEntity* clipped = New2d("clipped", QxRect(-50, 0, 10, 10), outside);
    clipped->SetClipToParent(TRUE);
    RCK2dEntity* free = New2d("free", QxRect(0, 0, 10, 10), outside);
    RCK2dEntity* hidden = New2d("hidden", QxRect(0, 0, 10, 10));
    RCK2dEntity* shown = New2d("shown", QxRect(0, 0, 10, 10), hidden);
    hidden->Show(CKHIDE);
    for (RCK2dEntity* e : {outside, clipped, free, hidden, shown}) {
        e->AddPreRenderCallBack(&LogPre, nullptr);
        e->AddPostRenderCallBack(&LogPost, nullptr);
    }
    Frame();
    // Files from before 2007 (none loaded here) run the post-render
    // callbacks after the children.
    EXPECT_EQ(RenderEvents(), (std::vector<std::string>{"pre shown", "post shown", "pre outside", "pre free",
                                                        "post free", "post outside"}));
    QxRect source, screen;
    outside->GetExtents(source, screen);
    EXPECT_TRUE(screen.IsNull()) << "nothing of it shows";
    EXPECT_FALSE(outside->UpdateExtents(m_RC));

    // An edge on the clip rectangle's edge still shows.
    outside->SetRect(QxRect(-100, 0, 0, 50));
    EXPECT_TRUE(outside->UpdateExtents(m_RC));

    // Hidden hierarchically: nothing below it either.
    hidden->Show(CKHIERARCHICALHIDE);
    Frame();
    for (const std::string& event : RenderEvents())
        EXPECT_EQ(event.find("shown"), std::string::npos) << event;
    EXPECT_TRUE(shown->IsHiddenByParent());
}

TEST_F(Draw2d, PickingFindsTheTopmostEntityThatWantsToBeHit)
{
    RCK2dEntity* below = New2d("below", QxRect(0, 0, 100, 100));
    RCK2dEntity* above = New2d("above", QxRect(0, 0, 100, 100));
    above->SetZOrder(1);
    RCK2dEntity* child = New2d("child", QxRect(50, 50, 150, 150), below);
    child->SetClipToParent(TRUE);
    CKTexture* texture = static_cast<CKTexture*>(m_Context->CreateObject(CKCID_TEXTURE, "t"));
    ASSERT_TRUE(texture->Create(2, 1));
    texture->SetPixel(0, 0, 0x00FFFFFF); // transparent on its left half
    texture->SetPixel(1, 0, 0xFFFFFFFF);
    CKMaterial* material = NewMaterial("m");
    material->SetTexture0(texture);
    material->EnableAlphaTest(TRUE);
    material->SetAlphaFunc(5); // greater than the reference
    material->SetAlphaRef(0);
    above->SetMaterial(material);
    Frame();

    EXPECT_EQ(m_RC->Pick2D(Qx2DVector(75, 10)), above);
    EXPECT_EQ(m_RC->Pick2D(Qx2DVector(25, 10)), below) << "a transparent texel lets the point through";
    EXPECT_EQ(m_RC->Pick2D(Qx2DVector(25, 75)), below);
    EXPECT_EQ(m_RC->Pick2D(Qx2DVector(75, 75)), above);
    above->SetPickable(FALSE);
    EXPECT_EQ(m_RC->Pick2D(Qx2DVector(75, 75)), child);
    EXPECT_EQ(above->Pick(Qx2DVector(75, 75), TRUE), above) << "unless unpickable ones count";
    EXPECT_EQ(m_RC->Pick2D(Qx2DVector(120, 120)), nullptr) << "the child is clipped to its parent";
    child->Show(CKHIDE);
    EXPECT_EQ(m_RC->Pick2D(Qx2DVector(75, 75)), below);
    below->ModifyObjectFlags(0x2, 0); // never picked
    EXPECT_EQ(m_RC->Pick2D(Qx2DVector(75, 75)), nullptr);
    child->Show(CKSHOW);
    EXPECT_EQ(m_RC->Pick2D(Qx2DVector(75, 75)), child) << "the children of an unpickable entity are";
    below->Show(CKHIERARCHICALHIDE);
    EXPECT_EQ(m_RC->Pick2D(Qx2DVector(75, 75)), nullptr);
}

} // namespace
