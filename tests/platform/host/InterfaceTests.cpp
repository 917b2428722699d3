#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"

namespace {

DWORD g_WorkerCalls = 0;
DWORD Worker(void*)
{
    ++g_WorkerCalls;
    return 0;
}

} // namespace

TEST(HostInterface, RecordsProgressMessagesScriptOutputAndCancelChecksInOrder)
{
    HostScene scene;
    Interface ip(scene);
    ip.SetEcho(false);
    g_WorkerCalls = 0;
    EXPECT_TRUE(ip.ProgressStart("Exporting file...", TRUE, Worker, nullptr));
    EXPECT_EQ(g_WorkerCalls, 1u);
    ip.ProgressUpdate(50);
    EXPECT_EQ(MessageBox(nullptr, "text", "Max2Qdx", MB_OK), IDOK);
    mprintf("n=%d\n", 3);
    mputs("done");
    EXPECT_FALSE(ip.GetCancel());
    ip.ProgressEnd();

    const std::vector<HostEvent>& e = ip.Events();
    ASSERT_EQ(e.size(), 7u);
    EXPECT_EQ(e[0].kind, HostEvent::Kind::ProgressStart);
    EXPECT_EQ(e[0].text, "Exporting file...");
    EXPECT_EQ(e[1].kind, HostEvent::Kind::ProgressUpdate);
    EXPECT_EQ(e[1].number, 50);
    EXPECT_EQ(e[2].kind, HostEvent::Kind::MessageBox);
    EXPECT_EQ(e[2].caption, "Max2Qdx");
    EXPECT_EQ(e[2].text, "text");
    EXPECT_EQ(e[3].kind, HostEvent::Kind::ScriptOutput);
    EXPECT_EQ(e[5].kind, HostEvent::Kind::CancelCheck);
    EXPECT_EQ(e[5].number, 0);
    EXPECT_EQ(e[6].kind, HostEvent::Kind::ProgressEnd);
    EXPECT_EQ(ip.ScriptOutput(), "n=3\ndone");
    ip.ClearEvents();
    EXPECT_TRUE(ip.Events().empty());
}

// The bar is drawn over itself on one line; a message clears it first, and
// its end leaves the line clean for what follows.
TEST(HostInterface, TheProgressBarEndsOnACleanLine)
{
    HostScene scene;
    Interface ip(scene);
    FILE* bar = std::tmpfile();
    ASSERT_NE(bar, nullptr);
    ip.SetProgressOutput(bar);
    ip.SetEcho(false);
    EXPECT_TRUE(ip.ProgressStart("Exporting file...", TRUE, Worker, nullptr));
    ip.ProgressUpdate(50);
    ip.SetEcho(true);
    testing::internal::CaptureStderr();
    mputs("");
    testing::internal::GetCapturedStderr();
    ip.ProgressUpdate(100);
    ip.ProgressEnd();
    ip.ProgressEnd();
    std::rewind(bar);
    std::string drawn;
    for (int c; (c = std::fgetc(bar)) != EOF;)
        drawn += char(c);
    std::fclose(bar);
    EXPECT_EQ(drawn, "\rExporting file...  50%\r\033[K\rExporting file... 100%\r\033[K");
}

TEST(HostInterface, CancelIsPressedAtTheCheckAskedForAndClearedBySetCancel)
{
    HostScene scene;
    Interface ip(scene);
    ip.CancelAtCheck(3);
    EXPECT_FALSE(ip.GetCancel());
    EXPECT_FALSE(ip.GetCancel());
    EXPECT_TRUE(ip.GetCancel());
    EXPECT_TRUE(ip.GetCancel());
    ip.SetCancel(FALSE);
    EXPECT_FALSE(ip.GetCancel());
    ip.SetCancel(TRUE);
    EXPECT_TRUE(ip.GetCancel());
    EXPECT_EQ(ip.CancelChecks(), 6);
}

TEST(HostInterface, TheCurrentInterfaceAnswersForTheScene)
{
    EXPECT_EQ(GetCOREInterface(), nullptr);
    EXPECT_EQ(GetTicksPerFrame(), 160);
    EXPECT_EQ(GetFrameRate(), 30);
    EXPECT_EQ(TheManager->GetMapDirCount(), 0);
    {
        HostScene scene;
        HostSceneSettings& s = scene.Settings();
        s.animStart = -160;
        s.animEnd = 3200;
        s.ticksPerFrame = 192;
        s.unitType = 5;
        s.unitScale = 0.5f;
        s.mapDirs = {"maps/a", "maps/b"};
        s.scriptsDir = "/opt/scripts";
        s.ambient = Color(0.1f, 0.2f, 0.3f);
        s.lightLevel = 2.0f;
        INode* a = scene.AddNode("a");
        INode* b = scene.AddNode("b", a);
        scene.NamedSelectionSets().push_back({"set", {b, a}});
        Interface ip(scene);
        EXPECT_EQ(GetCOREInterface(), &ip);
        EXPECT_EQ(MAXScript_interface, &ip);
        EXPECT_EQ(ip.GetRootNode()->GetChildNode(0), a);
        EXPECT_EQ(ip.GetAnimRange(), Interval(-160, 3200));
        EXPECT_EQ(GetTicksPerFrame(), 192);
        EXPECT_EQ(GetFrameRate(), 25);
        int type = 0;
        float scale = 0.0f;
        GetMasterUnitInfo(&type, &scale);
        EXPECT_EQ(type, 5);
        EXPECT_EQ(scale, 0.5f);
        ASSERT_EQ(TheManager->GetMapDirCount(), 2);
        EXPECT_STREQ(TheManager->GetMapDir(1), "maps/b");
        EXPECT_EQ(TheManager->GetMapDir(2), nullptr);
        EXPECT_STREQ(ip.GetDir(APP_SCRIPTS_DIR), "/opt/scripts");
        EXPECT_STREQ(ip.GetDir(0), "");
        EXPECT_NE(ip.GetMAXHWnd(), nullptr);
        Interval valid;
        EXPECT_EQ(ip.GetAmbient(0, valid), Point3(0.1f, 0.2f, 0.3f));
        EXPECT_EQ(ip.GetLightTint(0, valid), Point3(1.0f, 1.0f, 1.0f));
        EXPECT_EQ(ip.GetLightLevel(0, valid), 2.0f);
        ASSERT_EQ(ip.GetNumNamedSelSets(), 1);
        EXPECT_STREQ(ip.GetNamedSelSetName(0), "set");
        EXPECT_EQ(ip.GetNamedSelSetName(1), nullptr);
        EXPECT_EQ(ip.GetNamedSelSetItemCount(0), 2);
        EXPECT_EQ(ip.GetNamedSelSetItemCount(-1), 0);
        EXPECT_EQ(ip.GetNamedSelSetItem(0, 0), b);
        EXPECT_EQ(ip.GetNamedSelSetItem(0, 2), nullptr);
        EXPECT_EQ(ip.NumAtmospheric(), 0);
        EXPECT_EQ(ip.GetAtmospheric(0), nullptr);
    }
    EXPECT_EQ(GetCOREInterface(), nullptr);
}

TEST(HostScene, NodesMoveUnderNewParentsButNeverIntoALoop)
{
    HostScene scene;
    INode* a = scene.AddNode("a");
    INode* b = scene.AddNode("b", a);
    INode* c = scene.AddNode("c");
    INode* root = scene.GetRootNode();
    EXPECT_TRUE(c->AttachTo(b));
    EXPECT_EQ(c->GetParentNode(), b);
    EXPECT_EQ(root->NumberOfChildren(), 1);
    EXPECT_FALSE(a->AttachTo(c));
    EXPECT_FALSE(a->AttachTo(a));
    EXPECT_FALSE(a->AttachTo(nullptr));
    EXPECT_FALSE(root->AttachTo(a));
    EXPECT_EQ(a->GetParentNode(), root);
    EXPECT_TRUE(b->AttachTo(root));
    EXPECT_EQ(root->GetChildNode(1), b);
    EXPECT_EQ(a->NumberOfChildren(), 0);
    EXPECT_EQ(a->GetChildNode(0), nullptr);
    INode* d = scene.AddDetachedNode("d");
    EXPECT_EQ(root->NumberOfChildren(), 2);
    EXPECT_TRUE(d->AttachTo(root));
    EXPECT_EQ(root->GetChildNode(2), d);
    EXPECT_EQ(scene.Nodes().size(), 4u);
}
