// The mesh's drawing: the recording rasterizer's transcript of an immediate
// draw against the calls worked out by hand, the keys a batched draw
// queues, the dynamic hint's threshold, render callbacks, the channels'
// classes and their blocks.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "render/context/RenderBatchList.h"
#include "render/context/rasterizer/CKVertexFormat.h"
#include "render/mesh/CKMaterialModes.h"
#include "tests/render/mesh/MaterialTestSupport.h"
#include "tests/render/mesh/MeshTestSupport.h"

namespace {

std::vector<std::string> Calls(CKRecordingRasterizerContext* rec)
{
    std::vector<std::string> calls;
    for (const XString& call : rec->GetCalls())
        calls.emplace_back(call.CStr());
    return calls;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    return line;
}

class MeshDraw : public MaterialFixture
{
protected:
    RCKMesh* NewMesh(const char* name = "mesh")
    {
        return static_cast<RCKMesh*>(m_Context->CreateObject(CKCID_MESH, name));
    }

    // Four vertices, two faces: face 0 in the default group, face 1 of
    // material.
    RCKMesh* TwoGroups(CKMaterial* material)
    {
        RCKMesh* mesh = NewMesh();
        mesh->SetVertexCount(4);
        for (int i = 0; i < 4; ++i)
            mesh->SetVertexPosition(i, QxVector((float) (i & 1), (float) (i >> 1), 0.0f));
        mesh->SetFaceCount(2);
        mesh->SetFaceVertexIndex(0, 0, 1, 2);
        mesh->SetFaceVertexIndex(1, 2, 1, 3);
        mesh->SetFaceMaterial(1, material);
        return mesh;
    }

    // The calls a material makes current, on the recorder.
    static std::vector<std::string> MaterialCalls(RCKRenderContext* rc, CKMaterial* material, CKBOOL lit, int stage)
    {
        CKRecordingRasterizerContext* rec = Recorder(rc);
        rec->ClearCalls();
        material->SetAsCurrent(rc, lit, stage);
        std::vector<std::string> calls = Calls(rec);
        rec->ClearCalls();
        return calls;
    }

    CKMaterial* TexturedMaterial(const char* name)
    {
        CKMaterial* material = NewMaterial(name);
        CKTexture* texture = NewTexture(name);
        texture->Create(4, 4, 32, 0);
        material->SetTexture(0, texture);
        return material;
    }
};

void Append(std::vector<std::string>& to, const std::vector<std::string>& calls)
{
    to.insert(to.end(), calls.begin(), calls.end());
}

TEST_F(MeshDraw, AnImmediateDrawMakesTheCallsOfItsParts)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    CKMaterial* wall = NewMaterial("wall");
    RCKMesh* mesh = TwoGroups(wall);
    mesh->SetLitMode(0);
    // Channel 0 is merged (a texture, blended "zero, source colour"); channel
    // 1, whose material has no texture, is drawn in a pass of its own.
    CKMaterial* detail = TexturedMaterial("detail");
    CKMaterial* light = NewMaterial("light");
    ASSERT_EQ(mesh->AddChannel(detail), 0);
    ASSERT_EQ(mesh->AddChannel(light), 1);
    mesh->SetLineCount(1);
    mesh->SetLine(0, 0, 3);
    // The first draw prepares the render data and fills the buffers; forced
    // transparency, which outdates nothing, then shows in the second.
    mesh->Render(rc, nullptr);
    ASSERT_EQ(mesh->GetExtraTextureChannels().Size(), 1);
    EXPECT_EQ(mesh->GetExtraTextureChannels()[0], 0);
    EXPECT_TRUE(mesh->GetChannelFlags(0) & CKCHANNEL_MERGED);
    EXPECT_TRUE(mesh->GetRenderFlags() & CKMESH_RENDER_CHANNELS);
    mesh->SetTransparent(TRUE);

    RCKRenderManager* manager = Manager();
    const std::vector<std::string> defaultMat = MaterialCalls(rc, manager->GetDefaultMaterial(), FALSE, 0);
    const std::vector<std::string> wallMat = MaterialCalls(rc, wall, FALSE, 0);
    const std::vector<std::string> detailStage = MaterialCalls(rc, detail, FALSE, 1);
    // The channel's pass draws its material with the channel's blending.
    light->SetSourceBlend(CK_BLEND_ZERO);
    light->SetDestBlend(CK_BLEND_SRCCOLOR);
    light->EnableAlphaBlend(TRUE);
    const std::vector<std::string> lightPass = MaterialCalls(rc, light, FALSE, 0);
    light->SetSourceBlend(CK_BLEND_ONE);
    light->SetDestBlend(CK_BLEND_ZERO);
    light->EnableAlphaBlend(FALSE);
    CKDWORD fog = 0, fogColor = 0;
    rc->GetRasterizerContext()->GetRenderState(CKRST_RS_FOGENABLE, &fog);
    rc->GetRasterizerContext()->GetRenderState(CKRST_RS_FOGCOLOR, &fogColor);
    const QxMatrix projection = rc->GetProjectionTransformationMatrix();

    rec->ClearCalls();
    mesh->Render(rc, nullptr);
    std::vector<std::string> expected = {"SetRenderState(136,1)",         "SetRenderState(137,0)",
                                         "SetRenderState(29,1)",          "SetRenderState(128,0)",
                                         "SetTextureStageState(1,40,19)", "SetTextureStageState(1,11,1)"};
    Append(expected, detailStage);
    expected.push_back("SetTextureStageState(2,40,0)");
    // Group 0 with "Default Mat", blended by its alpha as the mesh is prelit
    // and forced transparent; group 1 with its material.
    const CKMaterialGroup* g0 = mesh->GetMaterialGroup(0);
    const CKMaterialGroup* g1 = mesh->GetMaterialGroup(1);
    Append(expected, defaultMat);
    Append(expected, {"SetRenderState(19,5)", "SetRenderState(20,6)", "SetRenderState(27,1)"});
    expected.push_back(Format("DrawPrimitiveSharedVBIB(4,%u,0,%u,0,%d,%d)", g0->VertexBuffer, g0->IndexBuffer,
                              g0->VertexCount, g0->IndexCount));
    Append(expected, wallMat);
    expected.push_back(Format("DrawPrimitiveSharedVBIB(4,%u,0,%u,0,%d,%d)", g1->VertexBuffer, g1->IndexBuffer,
                              g1->VertexCount, g1->IndexCount));
    // The channel pass, the projection pulled forward.
    expected.push_back("ResetTextureStages()");
    expected.push_back(
        Format("SetTransform(3,pos=%g/%g/%g)", projection[3][0], projection[3][1], projection[3][2] * 1.0025f));
    Append(expected, {"SetRenderState(28,0)", "SetRenderState(34,4294967295)"});
    Append(expected, lightPass);
    expected.push_back("SetRenderState(137,0)");
    const CKMeshChannel* channel = mesh->GetChannelRecord(1);
    ASSERT_EQ(channel->Render.GetBlockCount(), 1);
    expected.push_back(
        Format("DrawPrimitiveSharedVBWithDwordIndices(4,%u,0,4,6)", channel->Render.GetBlock(0).VertexBuffer));
    expected.push_back(Format("SetTransform(3,pos=%g/%g/%g)", projection[3][0], projection[3][1], projection[3][2]));
    expected.push_back(Format("SetRenderState(34,%u)", fogColor));
    expected.push_back(Format("SetRenderState(28,%u)", fog));
    // The lines, then the end.
    Append(expected, {"SetRenderState(137,0)", "SetRenderState(14,1)", "SetRenderState(23,4)", "SetRenderState(9,2)",
                      "SetRenderState(27,0)", "SetTexture(0,0)", "DrawPrimitiveWithDwordIndices(2,2,4)",
                      "ResetTextureStages()", "SetRenderState(128,0)"});
    EXPECT_EQ(Calls(rec), expected);
    // The light material has its own blending back.
    EXPECT_EQ(light->GetSourceBlend(), CK_BLEND_ONE);
    EXPECT_FALSE(light->AlphaBlendEnabled());
}

TEST_F(MeshDraw, TheFirstDrawMakesAndFillsTheChannelsBuffers)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    RCKMesh* mesh = TwoGroups(nullptr);
    ASSERT_EQ(mesh->AddChannel(NewMaterial("light")), 0);
    rec->ClearCalls();
    mesh->Render(rc, nullptr);
    const CKMeshChannel* channel = mesh->GetChannelRecord(0);
    const CKDWORD vb = channel->Render.GetBlock(0).VertexBuffer;
    std::vector<std::string> calls = Calls(rec);
    auto at = [&](const std::string& call) {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i] == call)
                return (int) i;
        return -1;
    };
    const int create = at(Format("CreateObject(%u,64)", vb));
    const int lock = at(Format("LockSharedVB(%u,0,4,1)", vb));
    ASSERT_GE(create, 0);
    EXPECT_GT(lock, create);
    EXPECT_EQ(at(Format("UnlockSharedVB(%u)", vb)), lock + 1);
    // Blended "zero, source colour" (the default), so unlit: a position
    // and one texture set.
    const CKSharedVBDesc* desc = rc->GetRasterizerContext()->GetSharedVBData(vb);
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(desc->VertexFormat, 0x102u);
    EXPECT_EQ(desc->VertexSize, 20u);
    // Nothing changed: the next draw copies nothing.
    rec->ClearCalls();
    mesh->Render(rc, nullptr);
    for (const std::string& call : Calls(rec))
        EXPECT_EQ(call.find("Lock"), std::string::npos) << call;
}

TEST_F(MeshDraw, ChannelsAreClassedByTheirBlendingAndTheMeshsLighting)
{
    RCKRenderContext* rc = NewRecordingContext();
    struct Case
    {
        int source, destination;
        bool prelit, textured, colours;
        CKDWORD format;
        bool merged, keepFog, unlit;
    };
    const Case cases[] = {
        {CK_BLEND_SRCALPHA, CK_BLEND_INVSRCALPHA, false, true, false, 0x112, false, true, false},
        {CK_BLEND_ZERO, CK_BLEND_SRCCOLOR, false, true, false, 0x102, true, false, true},
        {CK_BLEND_DESTCOLOR, CK_BLEND_ZERO, true, true, false, 0x102, true, false, true},
        {CK_BLEND_ZERO, CK_BLEND_SRCCOLOR, false, false, false, 0x102, false, false, true},
        {CK_BLEND_ONE, CK_BLEND_ONE, true, true, false, 0x1C2, false, false, false},
        // Colours of their own or-ed in: a prelit channel keeps one diffuse.
        {CK_BLEND_ONE, CK_BLEND_ONE, true, true, true, 0x1C2, false, false, false},
        {CK_BLEND_ONE, CK_BLEND_ONE, false, true, true, 0x152, false, false, false},
    };
    for (const Case& c : cases) {
        RCKMesh* mesh = TwoGroups(nullptr);
        mesh->SetLitMode(c.prelit ? 0 : 1);
        const int index = mesh->AddChannel(c.textured ? TexturedMaterial("t") : NewMaterial("m"));
        mesh->SetChannelSourceBlend(index, c.source);
        mesh->SetChannelDestBlend(index, c.destination);
        if (c.colours)
            mesh->SetChannelFlags(index, mesh->GetChannelFlags(index) | CKCHANNEL_COLORS);
        mesh->Render(rc, nullptr);
        const CKDWORD flags = mesh->GetChannelFlags(index);
        EXPECT_EQ(mesh->GetChannelRecord(index)->VertexFormat, c.format) << c.source << " " << c.destination;
        EXPECT_EQ((flags & CKCHANNEL_MERGED) != 0, c.merged) << c.source << " " << c.destination;
        EXPECT_EQ((flags & CKCHANNEL_KEEPFOG) != 0, c.keepFog) << c.source << " " << c.destination;
        EXPECT_EQ((flags & CKCHANNEL_NOTLIT) != 0, c.unlit) << c.source << " " << c.destination;
        // The engine format of the mesh: one more texture set for each
        // merged channel.
        const CKDWORD sets = (mesh->GetVertexFormat() & CKRST_DP_STAGESMASK) / CKRST_DP_STAGES0;
        EXPECT_EQ(sets, c.merged ? 2u : 1u);
        m_Context->DestroyObject(mesh);
    }
}

TEST_F(MeshDraw, ARestrictedChannelGetsBlocksOfItsOwnCorners)
{
    RCKRenderContext* rc = NewRecordingContext();
    // 70,000 vertices in a strip of triangles: more than one block.
    const int n = 70000;
    RCKMesh* mesh = NewMesh();
    mesh->SetVertexCount(n);
    mesh->SetFaceCount(n - 2);
    for (int f = 0; f < n - 2; ++f)
        mesh->SetFaceVertexIndex(f, f, f + 1, f + 2);
    const int channel = mesh->AddChannel(NewMaterial("light"));
    std::vector<CKWORD> corners = {7, 8, 9, 9, 8, 10};
    ASSERT_EQ(mesh->SetChannelFaceIndices(channel, 6, corners.data()), CKErr::Ok);
    mesh->Render(rc, nullptr);
    const CKChannelRenderData& render = mesh->GetChannelRecord(channel)->Render;
    ASSERT_EQ(render.GetBlockCount(), 1);
    const CKChannelRenderData::Block& block = render.GetBlock(0);
    EXPECT_EQ(block.VertexCount, 4);
    EXPECT_EQ(std::vector<CKDWORD>(block.Remap.Begin(), block.Remap.End()), std::vector<CKDWORD>({7, 8, 9, 10}));
    EXPECT_EQ(std::vector<CKWORD>(block.Indices.Begin(), block.Indices.End()), std::vector<CKWORD>({0, 1, 2, 2, 1, 3}));

    // The whole mesh as the channel's faces: blocks below 65,530 vertices,
    // starting at a triangle, each local index naming its vertex.
    CKChannelRenderData all;
    all.Build(Manager(), mesh->GetFacesIndices(), 3 * (n - 2), n, true);
    ASSERT_GE(all.GetBlockCount(), 2);
    int total = 0;
    for (int b = 0; b < all.GetBlockCount(); ++b) {
        const CKChannelRenderData::Block& x = all.GetBlock(b);
        EXPECT_LE(x.VertexCount, 65532);
        EXPECT_EQ(x.Indices.Size() % 3, 0);
        for (int i = 0; i < x.Indices.Size(); ++i)
            ASSERT_EQ(x.Remap[x.Indices[i]], mesh->GetFacesIndices()[total + i]);
        total += x.Indices.Size();
        EXPECT_NE(x.VertexBuffer, 0u);
    }
    EXPECT_EQ(total, 3 * (n - 2));
    // Unforced and small enough: one block over the mesh's own faces.
    CKChannelRenderData small;
    small.Build(Manager(), mesh->GetFacesIndices(), 30, 40, false);
    ASSERT_EQ(small.GetBlockCount(), 1);
    EXPECT_EQ(small.GetBlock(0).Indices.Size(), 0);
    EXPECT_EQ(small.GetBlock(0).VertexCount, 40);
    // A copy holds no blocks (no buffer index shared); a move takes them.
    CKChannelRenderData copy(small);
    EXPECT_EQ(copy.GetBlockCount(), 0);
    CKChannelRenderData moved(std::move(small));
    EXPECT_EQ(moved.GetBlockCount(), 1);
    EXPECT_EQ(small.GetBlockCount(), 0);
}

TEST_F(MeshDraw, TheDynamicHintIsJudgedEveryTwentyDraws)
{
    RCKRenderContext* rc = NewRecordingContext();
    // modified: how many of the 21 counted draws changed the vertices.
    for (int modified : {10, 11}) {
        RCKMesh* mesh = TwoGroups(nullptr);
        for (int draw = 0; draw < 21; ++draw) {
            if (draw < modified)
                mesh->VertexMove();
            mesh->Render(rc, nullptr);
            // Only 20 draws counted so far: nothing judged.
            EXPECT_FALSE(mesh->GetFlags() & CKMESH_HINTDYNAMIC) << modified << " " << draw;
        }
        mesh->Render(rc, nullptr);
        EXPECT_EQ((mesh->GetFlags() & CKMESH_HINTDYNAMIC) != 0, modified == 11) << modified;
        m_Context->DestroyObject(mesh);
    }
}

// Mesh callbacks write what they were called with.
std::vector<std::string>& Events()
{
    static std::vector<std::string> events;
    return events;
}
void Pre(CKRenderContext*, CK3dEntity* entity, CKMesh* mesh, void* argument)
{
    Events().push_back(std::string("pre ") + static_cast<const char*>(argument) + (entity ? " e" : "") +
                       (mesh ? " m" : ""));
}
void Post(CKRenderContext*, CK3dEntity*, CKMesh*, void* argument)
{
    Events().push_back(std::string("post ") + static_cast<const char*>(argument));
}
void Instead(CKRenderContext*, CK3dEntity*, CKMesh*, void* argument)
{
    Events().push_back(std::string("instead ") + static_cast<const char*>(argument));
}

TEST_F(MeshDraw, CallbacksRunAroundTheDrawOrInsteadOfIt)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    RCKMesh* mesh = TwoGroups(nullptr);
    auto* entity = static_cast<RCK3dEntity*>(m_Context->CreateObject(CKCID_3DENTITY, "e"));
    char a[] = "a", b[] = "b", c[] = "c";
    EXPECT_TRUE(mesh->AddPreRenderCallBack(&Pre, a));
    EXPECT_FALSE(mesh->AddPreRenderCallBack(&Pre, a)) << "a pair already there";
    EXPECT_TRUE(mesh->AddPreRenderCallBack(&Pre, b, TRUE));
    EXPECT_TRUE(mesh->AddPostRenderCallBack(&Post, c));
    EXPECT_EQ(Manager()->GetTemporaryCallbackCount(), 1);
    Events().clear();
    rec->ClearCalls();
    mesh->Render(rc, entity);
    EXPECT_EQ(Events(), std::vector<std::string>({"pre a e m", "pre b e m", "post c"}));
    int draws = 0;
    for (const std::string& call : Calls(rec))
        draws += call.rfind("DrawPrimitive", 0) == 0;
    EXPECT_GT(draws, 0);
    // Instead of the draw.
    mesh->SetRenderCallBack(&Instead, a);
    Events().clear();
    rec->ClearCalls();
    mesh->Render(rc, entity);
    EXPECT_EQ(Events(), std::vector<std::string>({"pre a e m", "pre b e m", "instead a", "post c"}));
    for (const std::string& call : Calls(rec))
        EXPECT_NE(call.rfind("DrawPrimitive", 0), 0u) << call;
    mesh->SetDefaultRenderCallBack();
    EXPECT_TRUE(mesh->RemovePreRenderCallBack(&Pre, a));
    EXPECT_FALSE(mesh->RemovePreRenderCallBack(&Pre, a));
    // The temporary one goes with the frame.
    rc->Render();
    EXPECT_EQ(Manager()->GetTemporaryCallbackCount(), 0);
    Events().clear();
    mesh->Render(rc, entity);
    EXPECT_EQ(Events(), std::vector<std::string>({"post c"}));
    mesh->AddPreRenderCallBack(&Pre, b, TRUE);
    mesh->RemoveAllCallbacks();
    EXPECT_EQ(mesh->GetRenderCallbacks(), nullptr);
    EXPECT_EQ(Manager()->GetTemporaryCallbackCount(), 0);
}

TEST_F(MeshDraw, WhatDrawsNothingAndWhatDrawsOnlyLines)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    RCKMesh* empty = NewMesh();
    rec->ClearCalls();
    empty->Render(rc, nullptr);
    EXPECT_TRUE(Calls(rec).empty());
    EXPECT_EQ(rc->GetDrawnObjectCount(), 0);
    // Vertices without faces or lines: nothing either.
    empty->SetVertexCount(3);
    empty->Render(rc, nullptr);
    EXPECT_TRUE(Calls(rec).empty());
    // Lines only: the buffers, then the line list alone.
    empty->SetLineCount(1);
    empty->SetLine(0, 0, 2);
    rec->ClearCalls();
    empty->Render(rc, nullptr);
    std::vector<std::string> draws;
    for (const std::string& call : Calls(rec))
        if (call.rfind("Draw", 0) == 0)
            draws.push_back(call);
    EXPECT_EQ(draws, std::vector<std::string>({"DrawPrimitiveWithDwordIndices(2,2,3)"}));
    EXPECT_EQ(rc->GetDrawnObjectCount(), 1);
    // For an entity drawn in the z-buffer-only or stencil-only way the lines
    // are all there is too: no state of a face pass.
    rec->ClearCalls();
    empty->Render(rc, nullptr);
    const std::vector<std::string> alone = Calls(rec);
    for (CKDWORD only : {0x2000000u, 0x4000000u}) {
        auto* entity = static_cast<RCK3dEntity*>(m_Context->CreateObject(CKCID_3DENTITY, "e"));
        entity->SetFlags(entity->GetFlags() | only);
        rec->ClearCalls();
        empty->Render(rc, entity);
        EXPECT_EQ(Calls(rec), alone) << only;
    }
}

TEST_F(MeshDraw, LinesWithAnEndPastTheVerticesAreLeftOut)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    RCKMesh* mesh = NewMesh();
    mesh->SetVertexCount(5);
    const int lines[][2] = {{0, 3}, {1, 4}, {4, 2}, {2, 3}, {4, 4}};
    mesh->SetLineCount(5);
    for (int l = 0; l < 5; ++l)
        ASSERT_EQ(mesh->SetLine(l, lines[l][0], lines[l][1]), CKErr::Ok);
    // Vertex 4 goes: three lines name it, the two others are drawn.
    for (int vertices : {5, 4, 2}) {
        SCOPED_TRACE(vertices);
        mesh->SetVertexCount(vertices);
        rec->ClearCalls();
        mesh->Render(rc, nullptr);
        std::vector<std::string> draws;
        for (const std::string& call : Calls(rec))
            if (call.rfind("Draw", 0) == 0)
                draws.push_back(call);
        const int kept = vertices == 5 ? 10 : vertices == 4 ? 4 : 0;
        EXPECT_EQ(draws,
                  kept ? std::vector<std::string>({Format("DrawPrimitiveWithDwordIndices(2,%d,%d)", kept, vertices)})
                       : std::vector<std::string>());
    }
}

TEST_F(MeshDraw, AChannelOnTheMeshsCoordinatesDrawsTheGroupsOfItsMaterials)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    // Three faces: one without material, one of a, one of b.
    CKMaterial* a = NewMaterial("a");
    CKMaterial* b = NewMaterial("b");
    RCKMesh* mesh = NewMesh();
    mesh->SetVertexCount(5);
    for (int i = 0; i < 5; ++i)
        mesh->SetVertexPosition(i, QxVector((float) i, (float) (i & 1), 0.0f));
    mesh->SetFaceCount(3);
    mesh->SetFaceVertexIndex(0, 0, 1, 2);
    mesh->SetFaceVertexIndex(1, 1, 2, 3);
    mesh->SetFaceVertexIndex(2, 2, 3, 4);
    mesh->SetFaceMaterial(1, a);
    mesh->SetFaceMaterial(2, b);
    const int channel = mesh->AddChannel(NewMaterial("light"));
    mesh->SetChannelFlags(channel, mesh->GetChannelFlags(channel) | CKCHANNEL_SAMEUV | CKCHANNEL_GROUPFACES);
    mesh->Render(rc, nullptr);
    ASSERT_EQ(mesh->GetMaterialGroupCount(), 3);
    // The vertex buffers the draw calls name, in order.
    auto buffers = [&]() {
        rec->ClearCalls();
        mesh->Render(rc, nullptr);
        std::vector<unsigned> out;
        for (const std::string& call : Calls(rec)) {
            unsigned type = 0, vb = 0;
            if (std::sscanf(call.c_str(), "DrawPrimitiveSharedVBIB(%u,%u,", &type, &vb) == 2)
                out.push_back(vb);
        }
        return out;
    };
    std::vector<unsigned> groups;
    for (int g = 0; g < 3; ++g)
        groups.push_back(mesh->GetMaterialGroup(g)->VertexBuffer);
    // Every group, then every group again for the channel's pass.
    std::vector<unsigned> expected = groups;
    expected.insert(expected.end(), groups.begin(), groups.end());
    EXPECT_EQ(buffers(), expected);
    EXPECT_NE(mesh->GetChannelFlags(channel) & CKCHANNEL_USEMESHBUFFERS, 0u);
    // Restricted to b's faces: the pass draws b's group alone.
    const int onlyB[] = {mesh->GetMaterialGroupIndex(b, FALSE) - 1};
    ASSERT_EQ(mesh->SetChannelMaterials(channel, onlyB, 1), CKErr::Ok);
    mesh->SetChannelFlags(channel, mesh->GetChannelFlags(channel) | CKCHANNEL_SAMEUV | CKCHANNEL_GROUPFACES);
    mesh->Render(rc, nullptr);
    expected = groups;
    expected.push_back(groups[(size_t) onlyB[0] + 1]);
    EXPECT_EQ(buffers(), expected);
    EXPECT_NE(mesh->GetChannelFlags(channel) & CKCHANNEL_USEMESHBUFFERS, 0u);
}

TEST_F(MeshDraw, AStencilOnlyEntityDrawsWithThatMaterialUnlitWithoutChannels)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    RCKMesh* mesh = TwoGroups(NewMaterial("wall"));
    mesh->AddChannel(NewMaterial("light"));
    auto* entity = static_cast<RCK3dEntity*>(m_Context->CreateObject(CKCID_3DENTITY, "e"));
    entity->SetFlags(entity->GetFlags() | 0x4000000);
    mesh->Render(rc, entity);
    const std::vector<std::string> stencil = MaterialCalls(rc, Manager()->GetStencilOnlyMaterial(), FALSE, 0);
    rec->ClearCalls();
    mesh->Render(rc, entity);
    std::vector<std::string> calls = Calls(rec);
    std::vector<std::string> expected = {"SetRenderState(136,1)", "SetRenderState(137,0)"};
    Append(expected, stencil);
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + (long) expected.size()), expected);
    for (const std::string& call : calls)
        EXPECT_EQ(call.find("WithDwordIndices(4"), std::string::npos) << "no channel pass: " << call;
}

TEST_F(MeshDraw, ABatchedDrawQueuesItsGroupsChannelsAndLinesUnderTheirKeys)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKMaterial* wall = NewMaterial("wall");
    RCKMesh* mesh = TwoGroups(wall);
    CKMaterial* light = NewMaterial("light");
    mesh->AddChannel(light);
    mesh->SetChannelSourceBlend(0, CK_BLEND_SRCALPHA);
    mesh->SetChannelDestBlend(0, CK_BLEND_INVSRCALPHA);
    mesh->SetLineCount(1);
    mesh->SetLine(0, 1, 2);
    mesh->SetWrapMode(CKMESH_WRAP_U);
    auto* entity = static_cast<RCK3dEntity*>(m_Context->CreateObject(CKCID_3DENTITY, "e"));
    RenderBatchGroup* group = rc->GetBatchList()->GetGroup(10000);
    CKRecordingRasterizerContext* rec = Recorder(rc);
    rec->ClearCalls();
    mesh->Draw(rc, entity, group);
    // No drawing yet.
    for (const std::string& call : Calls(rec))
        EXPECT_EQ(call.rfind("Draw", 0), std::string::npos) << call;
    const CKDWORD format = mesh->GetVertexFormat();
    const CKDWORD state = 0x8 | 0x4; // lit, wrap U
    CKMaterial* defaultMat = Manager()->GetDefaultMaterial();
    // Groups: default material and the wall, each under its binding, the
    // mesh's format and state; the channel's pass under its own key.
    const CKKeyedBatch& channels = group->m_ChannelBatches;
    ASSERT_EQ(channels.GetKeyCount(), 3);
    int groupKeys = 0, channelKeys = 0;
    for (int k = 0; k < channels.GetKeyCount(); ++k) {
        const CKBatchKey& key = channels.GetKey(k);
        ASSERT_EQ(channels.GetItems(k).Size(), 1);
        if (key.Material == defaultMat || key.Material == wall) {
            ++groupKeys;
            EXPECT_EQ(key.Format, format);
            EXPECT_EQ(key.State, state);
            EXPECT_EQ(key.Technique, -1);
            EXPECT_EQ(key.Hash, key.Material->GetID() ^ format ^ state);
            EXPECT_EQ(channels.GetItems(k)[0].Data[1], entity);
        } else {
            ++channelKeys;
            EXPECT_EQ(key.Material, light);
            EXPECT_EQ(key.Format, mesh->GetChannelRecord(0)->VertexFormat);
            const CKDWORD word = ((CKDWORD) (5 | (6 << 4)) << 24) | 0x10 | 0x8;
            EXPECT_EQ(key.State, word);
            EXPECT_EQ(key.Hash, light->GetID() ^ key.Format ^ word);
        }
    }
    EXPECT_EQ(groupKeys, 2);
    EXPECT_EQ(channelKeys, 1);
    // The lines under "WireframeLayer Mat", key word 0x42, with their two
    // indices.
    ASSERT_EQ(group->m_LineBatches.GetKeyCount(), 1);
    const CKBatchKey& lines = group->m_LineBatches.GetKey(0);
    EXPECT_EQ(lines.Material, Manager()->GetWireframeLayerMaterial());
    EXPECT_EQ(lines.State, 0x42u);
    EXPECT_EQ(group->m_LineBatches.GetItems(0)[0].Words[1], 2u);
    // Replaying draws them all.
    rec->ClearCalls();
    group->Replay(rc, 0);
    int draws = 0;
    for (const std::string& call : Calls(rec))
        draws += call.rfind("DrawPrimitive", 0) == 0;
    EXPECT_EQ(draws, 4);
    EXPECT_TRUE(group->IsEmpty());
}

TEST_F(MeshDraw, AMergedChannelSendsItsGroupsToTheBatchOfItsSignature)
{
    RCKRenderContext* rc = NewRecordingContext();
    RCKMesh* mesh = TwoGroups(nullptr);
    mesh->AddChannel(TexturedMaterial("detail"));
    RenderBatchGroup* group = rc->GetBatchList()->GetGroup(10000);
    mesh->Draw(rc, nullptr, group);
    EXPECT_EQ(group->m_ChannelBatches.GetKeyCount(), 0);
    ASSERT_EQ(group->GetMaterialBatchCount(), 1);
    // Two groups again at the next draw: the same batch.
    mesh->Draw(rc, nullptr, group);
    EXPECT_EQ(group->GetMaterialBatchCount(), 1);
}

} // namespace

namespace {

TEST_F(MeshDraw, ChangesBringTheChannelsBuffersUpToDate)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    RCKMesh* mesh = TwoGroups(nullptr);
    // Lit, with colours of its own: normals and colours in its vertices.
    const int index = mesh->AddChannel(NewMaterial("light"));
    mesh->SetChannelSourceBlend(index, CK_BLEND_ONE);
    mesh->SetChannelDestBlend(index, CK_BLEND_ONE);
    mesh->SetChannelFlags(index, mesh->GetChannelFlags(index) | CKCHANNEL_COLORS);
    rec->ClearCalls();
    mesh->Render(rc, nullptr);
    // The first draw fills the group's index buffer too.
    const CKMaterialGroup* group = mesh->GetMaterialGroup(0);
    bool indices = false;
    for (const std::string& call : Calls(rec))
        indices = indices || call == Format("LockSharedIB(%u,0,%d,1)", group->IndexBuffer, group->IndexCount);
    EXPECT_TRUE(indices);
    const CKDWORD vb = mesh->GetChannelRecord(index)->Render.GetBlock(0).VertexBuffer;
    const std::string lock = Format("LockSharedVB(%u,0,4,1)", vb);
    auto locked = [&] {
        for (const std::string& call : Calls(rec))
            if (call == lock)
                return true;
        return false;
    };
    struct Change
    {
        const char* what;
        void (RCKMesh::*apply)();
    };
    const Change changes[] = {
        {"positions", &RCKMesh::VertexMove}, {"colours", &RCKMesh::ColorChanged}, {"normals", &RCKMesh::NormalChanged}};
    for (const Change& change : changes) {
        (mesh->*change.apply)();
        rec->ClearCalls();
        mesh->Render(rc, nullptr);
        EXPECT_TRUE(locked()) << change.what;
        rec->ClearCalls();
        mesh->Render(rc, nullptr);
        EXPECT_FALSE(locked()) << change.what << ", drawn again unchanged";
    }
    // Coordinates of the mesh's own do not reach a channel with its own.
    mesh->UVChanged();
    rec->ClearCalls();
    mesh->Render(rc, nullptr);
    EXPECT_FALSE(locked());
}

TEST_F(MeshDraw, ForcedOrLongCornerListsGetBlocksOfTheirOwn)
{
    const CKDWORD corners[6] = {3, 4, 5, 5, 4, 6};
    CKChannelRenderData forced;
    forced.Build(Manager(), corners, 6, 10, true);
    ASSERT_EQ(forced.GetBlockCount(), 1);
    EXPECT_EQ(forced.GetBlock(0).VertexCount, 4);
    EXPECT_EQ(forced.GetBlock(0).Indices.Size(), 6);
    // 196,602 indices need blocks of their own even unforced.
    std::vector<CKDWORD> many(196602);
    for (size_t i = 0; i < many.size(); ++i)
        many[i] = (CKDWORD) (i % 90);
    CKChannelRenderData full;
    full.Build(Manager(), many.data(), (int) many.size(), 100, false);
    EXPECT_EQ(full.GetBlock(0).Indices.Size(), 196602);
    EXPECT_EQ(full.GetBlock(0).VertexCount, 90);
    CKChannelRenderData fewer;
    fewer.Build(Manager(), many.data(), (int) many.size() - 3, 100, false);
    EXPECT_EQ(fewer.GetBlock(0).Indices.Size(), 0);
    EXPECT_EQ(fewer.GetBlock(0).VertexCount, 100);
    // A corner past the vertices: a block that draws nothing.
    const CKDWORD bad[3] = {0, 1, 10};
    CKChannelRenderData none;
    none.Build(Manager(), bad, 3, 10, true);
    ASSERT_EQ(none.GetBlockCount(), 1);
    EXPECT_EQ(none.GetBlock(0).VertexCount, 0);
}

} // namespace

namespace {

TEST_F(MeshDraw, BlendWeightsAndBoneIndicesFollowThePositionInTheBuffer)
{
    RCKRenderContext* rc = NewRecordingContext();
    RCKMesh* mesh = TwoGroups(nullptr);
    mesh->SetBlendWeightCount(2);
    mesh->GetBlendRecords().Resize(4);
    for (int v = 0; v < 4; ++v)
        for (int k = 0; k < 4; ++k)
            mesh->GetBlendRecords()[v].Values[k] = (CKDWORD) (100 * v + k);
    mesh->Render(rc, nullptr);
    // Two weights and the bone-index word (the record's second value):
    // position, two betas, the indices, then the normal and coordinates.
    EXPECT_EQ(mesh->GetVertexSize(), 44u);
    const CKMaterialGroup* group = mesh->GetMaterialGroup(0);
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    const CKDWORD* words =
        static_cast<const CKDWORD*>(rst->LockSharedVB(group->VertexBuffer, 0, (CKDWORD) group->VertexCount));
    ASSERT_NE(words, nullptr);
    for (int local = 0; local < group->VertexCount; ++local) {
        const int v = group->Remap.Size() ? (int) group->Remap[local] : local;
        const CKDWORD* vertex = words + 11 * local;
        QxVector position;
        mesh->GetVertexPosition(v, &position);
        EXPECT_EQ(std::memcmp(vertex, &position, 12), 0) << local;
        EXPECT_EQ(vertex[3], (CKDWORD) (100 * v)) << local;
        EXPECT_EQ(vertex[4], (CKDWORD) (100 * v + 1)) << local;
        EXPECT_EQ(vertex[5], (CKDWORD) (100 * v + 1)) << "the indices: " << local;
    }
    rst->UnlockSharedVB(group->VertexBuffer);
}

} // namespace
