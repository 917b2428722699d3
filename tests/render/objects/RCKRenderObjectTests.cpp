#include "render/objects/RCKRenderObject.h"

#include "tests/render/objects/EntityTestSupport.h"

namespace {

using RenderObject = EntityFixture;

CKBOOL Callback(CKRenderContext*, CKRenderObject*, void*)
{
    return TRUE;
}

CKBOOL Other(CKRenderContext*, CKRenderObject*, void*)
{
    return TRUE;
}

} // namespace

TEST_F(RenderObject, CallbacksAreRefusedTwiceAndRemovedOnce)
{
    RCK3dEntity* e = NewEntity("e");
    EXPECT_FALSE(e->RemovePreRenderCallBack(&Callback, nullptr));
    EXPECT_FALSE(e->RemoveRenderCallBack());
    EXPECT_EQ(e->GetCallbacks(), nullptr) << "no list for a removal";
    EXPECT_FALSE(e->AddPreRenderCallBack(nullptr, nullptr));
    EXPECT_TRUE(e->AddPreRenderCallBack(&Callback, nullptr));
    EXPECT_FALSE(e->AddPreRenderCallBack(&Callback, nullptr));
    EXPECT_TRUE(e->AddPostRenderCallBack(&Callback, nullptr, TRUE, TRUE));
    EXPECT_EQ(e->GetCallbacks()->GetFlags(), (CKDWORD) (CK_RENDERCALLBACK_TEMPORARY | CK_RENDERCALLBACK_MODIFYPATH));
    EXPECT_EQ(Manager()->GetTemporaryCallbackCount(), 1);
    EXPECT_TRUE(e->SetRenderCallBack(&Callback, nullptr));
    EXPECT_TRUE(e->SetRenderCallBack(&Other, nullptr));
    EXPECT_EQ(e->GetCallbacks()->GetRenderCallback()->Flags, (CKDWORD) CK_RENDERCALLBACK_MODIFYPATH);
    EXPECT_EQ(CKRenderCallbackAs<CK_RENDEROBJECT_CALLBACK>(*e->GetCallbacks()->GetRenderCallback()), &Other);
    EXPECT_TRUE(e->IsToBeRendered()) << "visible, with callbacks";
    e->RemoveAllCallbacks();
    EXPECT_EQ(e->GetCallbacks(), nullptr);
    EXPECT_EQ(Manager()->GetTemporaryCallbackCount(), 0);
    EXPECT_EQ(e->CanBeHidden(), 2);
}

TEST_F(RenderObject, AttachingToARenderContextReachesTheSceneGraphNode)
{
    RCKRenderContext* rc = NewRecordingContext();
    RCK3dEntity* e = NewEntity("e");
    rc->AddObject(e);
    EXPECT_TRUE(e->IsInRenderContext(rc));
    EXPECT_EQ(e->GetSceneGraphNode()->GetEntityMask(), rc->GetMaskBit());
    rc->RemoveObject(e);
    EXPECT_FALSE(e->IsInRenderContext(rc));
    EXPECT_EQ(e->GetSceneGraphNode()->GetRenderContextMask(), 0u);
}
