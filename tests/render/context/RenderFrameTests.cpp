// One frame of a render context: callbacks and managers around the scene,
// the lights set up, the scene graph walked, culled and drawn, the 2D pass.
#include <cstring>

#include "tests/render/support/RenderTestSupport.h"

namespace {

class RenderFrame : public RenderFixture
{
protected:
    void SetUp() override
    {
        RenderFixture::SetUp();
        m_Device = NewRecordingContext(400, 300);
        ASSERT_NE(m_Device, nullptr);
        m_Device->GetRenderedScene()->SetAmbientLight(0xFF202020);
    }
    TestEntity* Entity(const char* name, float z)
    {
        TestEntity* entity = New<TestEntity>(name);
        entity->SetPosition(0, 0, z);
        m_Device->AddObject(entity);
        return entity;
    }
    std::vector<std::string> Calls()
    {
        std::vector<std::string> calls;
        for (const XString& call : Recorder(m_Device)->GetCalls())
            calls.push_back(call.CStr());
        return calls;
    }

    RCKRenderContext* m_Device = nullptr;
};

TEST_F(RenderFrame, TheRecorderShowsTheLightSetUpAndTheDrawsOfAFrame)
{
    TestLight* sun = New<TestLight>("sun");
    sun->SetPosition(0, 50, 0);
    TestLight* dark = New<TestLight>("dark");
    dark->m_Lights = FALSE;
    dark->SetPosition(0, 50, 0);
    TestLight* lamp = New<TestLight>("lamp");
    lamp->m_Red = 0.5f;
    lamp->SetPosition(0, 50, 0);
    for (TestLight* light : {sun, dark, lamp})
        m_Device->AddObject(light);
    Entity("a", 10);
    Entity("b", 20);
    m_Device->Render();
    Recorder(m_Device)->ClearCalls();
    m_Device->Render();
    // The second frame: the lights of the first are disabled, the lights
    // that light take consecutive indices, then the ambient colour.
    const std::vector<std::string> expected = {
        "SetViewport(0,0,400,300)",
        // The view from the context's own viewpoint, at the origin.
        "SetTransform(2,pos=-0/-0/-0)",
        "SetTransform(3,pos=0/0/-1.00025)",
        "SetTransform(2,pos=-0/-0/-0)",
        "Clear(0x70,0xff000000,1,0,0)",
        "BeginScene()",
        "SetTransform(1,pos=0/0/0)",
        "EnableLight(0,0)",
        "EnableLight(1,0)",
        "SetLight(0,type=1,diffuse=1/1/1,model=0)",
        "EnableLight(0,1)",
        "SetLight(1,type=1,diffuse=0.5/1/1,model=0)",
        "EnableLight(1,1)",
        "SetRenderState(139,4280295456)",
        // The lights are entities too, outside the view here.
        "SetTransform(1,pos=0/50/0)",
        "SetTransform(1,pos=0/50/0)",
        "SetTransform(1,pos=0/50/0)",
        "SetTransform(1,pos=0/0/10)",
        "DrawPrimitive(4,-1,3,flags=0x11)",
        "SetTransform(1,pos=0/0/20)",
        "DrawPrimitive(4,-1,3,flags=0x11)",
        "EndScene()",
        "BackToFront(0)",
    };
    EXPECT_EQ(Calls(), expected);
    EXPECT_EQ(m_Device->GetRasterizerContext()->IsLightEnabled(1), TRUE);
    EXPECT_EQ(m_Device->GetDrawnObjectCount(), 5) << "every entity shown was handed its Render";
}

CKBOOL LogCallback(CKRenderContext*, CKRenderObject*, void* argument)
{
    RenderEvents().push_back(static_cast<const char*>(argument));
    return TRUE;
}

void LogContextCallback(CKRenderContext*, void* argument)
{
    RenderEvents().push_back(static_cast<const char*>(argument));
}

// Writes the render callbacks it is given.
class RenderWatcher : public CKBaseManager
{
public:
    explicit RenderWatcher(CKContext* context) : CKBaseManager(context, CKGUID(0x5151, 0x2121), "watcher")
    {
        context->RegisterNewManager(this);
    }
    CKERROR OnPreRender(CKRenderContext*) override { return Log("manager pre"); }
    CKERROR OnPostRender(CKRenderContext*) override { return Log("manager post"); }
    CKERROR OnPreSpriteRender(CKRenderContext*) override { return Log("manager pre sprites"); }
    CKERROR OnPostSpriteRender(CKRenderContext*) override { return Log("manager post sprites"); }
    CKDWORD GetValidFunctionsMask() override
    {
        return CKMANAGER_FUNC_OnPreRender | CKMANAGER_FUNC_OnPostRender | CKMANAGER_FUNC_OnPreSpriteRender |
               CKMANAGER_FUNC_OnPostSpriteRender;
    }

private:
    CKERROR Log(const char* what)
    {
        RenderEvents().push_back(what);
        return 0;
    }
};

TEST_F(RenderFrame, CallbacksRunInOrderAroundTheEntitiesTheyBelongTo)
{
    new RenderWatcher(m_Context);
    TestEntity* near = Entity("near", 10);
    TestEntity* far = Entity("far", 30);
    near->AddPreRenderCallBack(&LogCallback, (void*) "pre near 1");
    near->AddPreRenderCallBack(&LogCallback, (void*) "pre near 2");
    near->AddPostRenderCallBack(&LogCallback, (void*) "post near");
    far->AddPreRenderCallBack(&LogCallback, (void*) "pre far");
    far->AddPostRenderCallBack(&LogCallback, (void*) "post far 1");
    far->AddPostRenderCallBack(&LogCallback, (void*) "post far 2", TRUE);
    m_Device->AddPreRenderCallBack(&LogContextCallback, (void*) "context pre");
    m_Device->AddPostRenderCallBack(&LogContextCallback, (void*) "context post");
    m_Device->Render();
    const std::vector<std::string> expected = {"manager pre",
                                               "context pre",
                                               "pre near 1",
                                               "pre near 2",
                                               "draw near",
                                               "post near",
                                               "pre far",
                                               "draw far",
                                               "post far 1",
                                               "post far 2",
                                               "manager post",
                                               "manager pre sprites",
                                               "manager post sprites",
                                               "context post"};
    EXPECT_EQ(RenderEvents(), expected);

    RenderEvents().clear();
    m_Device->RemovePreRenderCallBack(&LogContextCallback, (void*) "context pre");
    near->RemovePreRenderCallBack(&LogCallback, (void*) "pre near 1");
    m_Device->Render(CK_RENDER_CLEARBACK);
    const std::vector<std::string> second = {"manager pre", "pre near 2", "draw near",    "post near",   "pre far",
                                             "draw far",    "post far 1", "manager post", "context post"};
    EXPECT_EQ(RenderEvents(), second) << "the temporary callback ran once; no sprite pass was asked";

    // A render callback draws instead of the entity.
    RenderEvents().clear();
    far->SetRenderCallBack(&LogCallback, (void*) "instead");
    m_Device->Render(CK_RENDER_CLEARBACK);
    std::vector<std::string> third = second;
    third[5] = "instead";
    EXPECT_EQ(RenderEvents(), third);
    EXPECT_TRUE(far->RemoveRenderCallBack());
    EXPECT_FALSE(far->RemoveRenderCallBack());
}

TEST_F(RenderFrame, OnlyVisibleEntitiesOfThisContextInTheViewAreDrawnAndHiddenSubtreesAreSkippedWhole)
{
    TestEntity* front = Entity("front", 10);
    TestEntity* behind = Entity("behind", -10);
    TestEntity* hidden = Entity("hidden", 10);
    hidden->Show(CKHIDE);
    New<TestEntity>("elsewhere")->SetPosition(0, 0, 10);
    RCKRenderContext* other = NewRecordingContext();
    other->AddObject(New<TestEntity>("other"));
    m_Device->Render();
    EXPECT_EQ(RenderEvents(), (std::vector<std::string>{"draw front", "skip behind"}));
    for (TestEntity* e : {hidden, front, behind})
        m_Device->RemoveObject(e);
    EXPECT_FALSE(m_Device->IsObjectAttached(hidden));

    // A subtree outside the view is skipped whole; one inside is not tested again.
    RenderEvents().clear();
    TestEntity* parent = Entity("parent", -50);
    TestEntity* child = Entity("child", -40);
    parent->m_Node->AddChild(child->m_Node);
    TestEntity* inParent = Entity("inParent", 10);
    TestEntity* inChild = Entity("inChild", 12);
    inParent->m_Node->AddChild(inChild->m_Node);
    m_Device->Render();
    EXPECT_EQ(RenderEvents(), (std::vector<std::string>{"draw inParent", "draw inChild"}))
        << "neither entity behind the viewer was even tested";
    EXPECT_TRUE(inChild->GetMoveableFlags() & CK_3DENTITY_FRUSTUMTESTED) << "its parent's box was wholly inside";
    EXPECT_TRUE(parent->m_Node->GetFlags() & CK_SCENEGRAPH_ALLOUTSIDE);
}

TEST_F(RenderFrame, ABatchingContextQueuesEntitiesAndReplaysThemByPriority)
{
    TestEntity* low = Entity("low", 10);
    TestEntity* high = Entity("high", 20);
    high->m_Node->SetPriority(500);
    low->m_Node->SetPriority(-3);
    m_Device->SetBatching(1);
    m_Device->Render();
    EXPECT_EQ(RenderEvents(), (std::vector<std::string>{"queue high", "queue low", "draw high", "draw low"}));
    EXPECT_EQ(m_Device->GetBatching(), 1u);
}

TEST_F(RenderFrame, TheOptionsSkipWhatTheySayAndEntitiesDrawnLastComeAfterTheOthersFarthestFirst)
{
    // Nothing under the 2D roots: only the 3D scene.
    Entity("glass near", 10)->m_Last = TRUE;
    Entity("solid", 15);
    Entity("glass far", 40)->m_Last = TRUE;
    m_Device->Render(CK_RENDER_CLEARBACK | CK_RENDER_SKIP3D);
    EXPECT_TRUE(RenderEvents().empty());
    m_Device->Render(CK_RENDER_SKIPDRAWSCENE);
    EXPECT_TRUE(RenderEvents().empty());
    EXPECT_EQ(m_Device->Render(), CKErr::Ok);
    EXPECT_EQ(RenderEvents(), (std::vector<std::string>{"draw solid", "draw glass far", "draw glass near"}));
}

} // namespace
