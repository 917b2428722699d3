// The mesh's vertex and index buffers on the recording rasterizer: what the
// first draw creates and copies, what later draws upload, the order and
// passes of the groups, strips, and the copy jobs.
#include <cstring>
#include <string>

#include "render/context/rasterizer/CKDrawPrimitiveData.h"
#include "render/mesh/CKVertexCopyList.h"
#include "tests/render/mesh/MeshTestSupport.h"

namespace {

using MeshBuffers = MeshFixture;

int CountCalls(CKRecordingRasterizerContext* rec, const char* prefix)
{
    int n = 0;
    for (const XString& call : rec->GetCalls())
        n += std::strncmp(call.CStr(), prefix, std::strlen(prefix)) == 0;
    return n;
}

std::vector<std::string> Calls(CKRecordingRasterizerContext* rec)
{
    std::vector<std::string> calls;
    for (const XString& call : rec->GetCalls())
        calls.emplace_back(call.CStr());
    return calls;
}

std::vector<const CK65KPrimitive*> Primitives(RCKMesh* mesh)
{
    std::vector<const CK65KPrimitive*> all;
    for (int g = 0; g < mesh->GetMaterialGroupCount(); ++g) {
        const CKMaterialGroup* group = mesh->GetMaterialGroup(g);
        if (group->VertexCount == 0)
            continue;
        all.push_back(group);
        for (const CK65KPrimitive* p : group->SubPrimitives)
            all.push_back(p);
    }
    return all;
}

// The vertex as the buffer should hold it: position, then normal (lit) or
// diffuse and specular colours (prelit), then the texture coordinates.
std::vector<CKDWORD> ExpectedVertex(RCKMesh* mesh, int v, bool lit)
{
    QxVector p, n;
    float uv[2] = {};
    mesh->GetVertexPosition(v, &p);
    mesh->GetVertexNormal(v, &n);
    mesh->GetVertexTextureCoordinates(v, &uv[0], &uv[1]);
    std::vector<CKDWORD> words(3);
    std::memcpy(words.data(), &p, 12);
    if (lit) {
        words.resize(6);
        std::memcpy(words.data() + 3, &n, 12);
    } else {
        words.push_back(mesh->GetVertexColor(v));
        words.push_back(mesh->GetVertexSpecularColor(v));
    }
    words.resize(words.size() + 2);
    std::memcpy(words.data() + words.size() - 2, uv, 8);
    return words;
}

TEST_F(MeshBuffers, TheFirstDrawCreatesAndFillsEachPrimitivesBuffersAndLaterDrawsOnlyWhatChanged)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    CKMaterial* a = NewMaterial("A");
    CKMaterial* b = NewMaterial("B");
    for (bool lit : {true, false}) {
        SCOPED_TRACE(lit ? "lit" : "prelit");
        std::vector<CKMaterial*> materials;
        for (int f = 0; f < 100; ++f)
            materials.push_back(f % 3 == 0 ? nullptr : f % 3 == 1 ? a : b);
        RCKMesh* mesh = MakeMesh(102, Quads(50), materials);
        mesh->SetLitMode(lit ? 1 : 0);
        rec->ClearCalls();
        CKDrawPrimitiveData data;
        ASSERT_TRUE(mesh->UpdateRenderData(rc, data));
        const std::vector<const CK65KPrimitive*> primitives = Primitives(mesh);
        ASSERT_EQ(primitives.size(), 3u);
        EXPECT_EQ(CountCalls(rec, "CreateObject"), 6);
        EXPECT_EQ(mesh->GetVertexSize(), lit ? 32u : 28u);
        for (const CK65KPrimitive* p : primitives) {
            const CKSharedVBDesc* vb = rec->GetSharedVBData(p->VertexBuffer);
            const CKSharedIBDesc* ib = rec->GetSharedIBData(p->IndexBuffer);
            ASSERT_NE(vb, nullptr);
            ASSERT_NE(ib, nullptr);
            EXPECT_EQ(vb->Flags, CKMESH_BUFFERFLAGS);
            EXPECT_EQ(vb->VertexFormat, mesh->GetVertexFormatCode());
            EXPECT_EQ(vb->VertexSize, mesh->GetVertexSize());
            EXPECT_EQ(vb->MaxVertexCount, (CKDWORD) p->VertexCount);
            EXPECT_EQ(ib->Flags, CKMESH_BUFFERFLAGS);
            EXPECT_EQ(ib->MaxIndexCount, (CKDWORD) p->IndexCount);
            const CKDWORD* words = static_cast<const CKDWORD*>(rec->LockSharedVB(p->VertexBuffer, 0, 1));
            for (int i = 0; i < p->VertexCount; ++i) {
                std::vector<CKDWORD> expected = ExpectedVertex(mesh, (int) p->Remap[i], lit);
                const CKDWORD* vertex = words + (size_t) i * vb->VertexSize / 4;
                ASSERT_EQ(std::vector<CKDWORD>(vertex, vertex + expected.size()), expected) << "vertex " << i;
            }
            const CKWORD* indices = static_cast<const CKWORD*>(rec->LockSharedIB(p->IndexBuffer, 0, 1));
            EXPECT_EQ(std::memcmp(indices, p->Indices.Begin(), 2 * (size_t) p->IndexCount), 0);
        }
        mesh->EndDraw();

        rec->ClearCalls();
        mesh->UpdateRenderData(rc, data);
        mesh->EndDraw();
        EXPECT_EQ(Calls(rec), std::vector<std::string>()) << "an unchanged draw uploads nothing";

        mesh->SetVertexPosition(7, QxVector(1.0f, 2.0f, 3.0f));
        rec->ClearCalls();
        mesh->UpdateRenderData(rc, data);
        mesh->EndDraw();
        EXPECT_EQ(CountCalls(rec, "LockSharedVB"), 3);
        EXPECT_EQ(CountCalls(rec, "LockSharedIB"), 0);
        EXPECT_EQ(CountCalls(rec, "CreateObject"), 0);

        mesh->SetVertexTextureCoordinates(7, 0.25f, 0.75f);
        rec->ClearCalls();
        mesh->UpdateRenderData(rc, data);
        mesh->EndDraw();
        EXPECT_EQ(CountCalls(rec, "LockSharedVB"), 3) << "changed coordinates are uploaded too";

        mesh->SetFlags(mesh->GetFlags() | CKMESH_HINTDYNAMIC);
        rec->ClearCalls();
        mesh->UpdateRenderData(rc, data);
        EXPECT_EQ(CountCalls(rec, "CreateObject"), 6);
        for (const CK65KPrimitive* p : primitives) {
            EXPECT_EQ(rec->GetSharedVBData(p->VertexBuffer)->Flags, 13u);
            EXPECT_EQ(rec->GetSharedIBData(p->IndexBuffer)->Flags, 13u);
        }
    }
}

TEST_F(MeshBuffers, OpaqueGroupsComeFirstAndTwoSidedTransparentOnesDrawTwice)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    CKMaterial* glass = NewMaterial("glass");
    glass->EnableAlphaBlend(TRUE);
    glass->SetSourceBlend(CK_BLEND_SRCALPHA);
    glass->SetDestBlend(CK_BLEND_INVSRCALPHA);
    glass->SetTwoSided(TRUE);
    CKMaterial* stone = NewMaterial("stone");
    RCKMesh* mesh = MakeMesh(6, Quads(2), {glass, glass, stone, stone});
    CKDrawPrimitiveData data;
    mesh->UpdateRenderData(rc, data);
    EXPECT_EQ(mesh->GetMaterial(0), stone);
    EXPECT_EQ(mesh->GetMaterial(1), glass);
    EXPECT_EQ(FaceGroups(mesh), (std::vector<int>{2, 2, 1, 1}));

    const CKMaterialGroup* group = mesh->GetMaterialGroup(2);
    ASSERT_TRUE(group->Flags & CKMATERIALGROUP_TWOPASSES);
    rec->SetRenderState(CKRST_RS_ZFUNC, 4);
    rec->SetRenderState(CKRST_RS_ZWRITEENABLE, 1);
    rec->ClearCalls();
    EXPECT_EQ(CKDrawMaterialGroup(rec, *group, 0x200000 | 0x80000), 1);
    const std::string draw = "DrawPrimitiveSharedVBIB(4," + std::to_string(group->VertexBuffer) + ",0," +
                             std::to_string(group->IndexBuffer) + ",0,4,6)";
    EXPECT_EQ(Calls(rec),
              (std::vector<std::string>{"SetRenderState(23,8)", "SetRenderState(14,0)", "SetRenderState(22,2)", draw,
                                        "SetRenderState(22,3)", draw, "SetRenderState(23,4)", "SetRenderState(14,1)"}));
}

TEST_F(MeshBuffers, StripsAreDrawnOneCallEach)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    RCKMesh* mesh = MakeMesh(42, Quads(20));
    mesh->SetFlags(mesh->GetFlags() | CKMESH_STRIPIFY);
    CKDrawPrimitiveData data;
    mesh->UpdateRenderData(rc, data);
    const CKMaterialGroup* group = mesh->GetMaterialGroup(0);
    ASSERT_EQ(group->Type, CKRST_PT_TRIANGLESTRIP);
    ASSERT_GT(group->StripLengths.Size(), 0);
    EXPECT_TRUE(mesh->GetFlags() & CKMESH_SINGLEGROUP);
    rec->ClearCalls();
    CKDrawMaterialGroup(rec, *group, 0);
    std::vector<std::string> expected;
    int start = 0;
    for (int length : group->StripLengths) {
        expected.push_back("DrawPrimitiveSharedVBIB(5," + std::to_string(group->VertexBuffer) + ",0," +
                           std::to_string(group->IndexBuffer) + "," + std::to_string(start) + ",42," +
                           std::to_string(length + 2) + ")");
        start += length + 2;
    }
    EXPECT_EQ(Calls(rec), expected);
}

TEST_F(MeshBuffers, TheVertexImageHoldsEachVertexsRecordsInOrder)
{
    RCKMesh* mesh = MakeMesh(2, {});
    XArray<CKDWORD> image;
    ASSERT_EQ(mesh->GetInterleavedVertices(image), 10) << "vertex record and colours";
    mesh->SetVertexWeightsCount(1);
    mesh->SetVertexWeight(0, 0.5f);
    mesh->GetBlendRecords().Resize(2);
    for (int v = 0; v < 2; ++v)
        for (int k = 0; k < 4; ++k)
            mesh->GetBlendRecords()[v].Values[k] = (CKDWORD) (10 * v + k);
    ASSERT_EQ(mesh->GetInterleavedVertices(image), 15) << "plus the blend record and the weight";
    ASSERT_EQ(image.Size(), 30);
    auto bits = [](float f) {
        CKDWORD w;
        std::memcpy(&w, &f, 4);
        return w;
    };
    // Position, normal, uv, diffuse, specular, blend record, weight (the
    // weights stop at vertex 0).
    std::vector<CKDWORD> expected = {0, 0, 0, 0, 0, bits(1.0f), 0, bits(-0.0f), 0xFF000000u, 0};
    expected.insert(expected.end(), {0, 1, 2, 3, bits(0.5f)});
    expected.insert(expected.end(), {bits(1.0f), bits(2.0f), bits(3.0f), 0, 0, bits(1.0f), bits(1.0f), bits(-1.0f)});
    expected.insert(expected.end(), {0xFF000001u, 1, 10, 11, 12, 13, 0});
    EXPECT_EQ(std::vector<CKDWORD>(image.Begin(), image.End()), expected);
}

TEST(VertexCopyList, ContiguousComponentsMergeAndColoursCanSwapRedAndBlue)
{
    CKVertex vertices[3];
    CKVertexColors colors[3];
    for (int i = 0; i < 3; ++i) {
        vertices[i].Position = QxVector((float) i, 1.0f, 2.0f);
        vertices[i].u = (float) i;
        colors[i].Diffuse = 0xAA112233u + (CKDWORD) i;
        colors[i].Specular = 0x00445566u;
    }
    CKVertexCopyList list;
    ASSERT_TRUE(list.Add(&vertices[0].Position, 32, 0, 12));
    ASSERT_TRUE(list.Add(&vertices[0].Normal, 32, 12, 12));
    ASSERT_TRUE(list.Add(&colors[0].Diffuse, 8, 24, 4, TRUE));
    ASSERT_TRUE(list.Add(&colors[0].Specular, 8, 28, 4, TRUE));
    ASSERT_TRUE(list.Add(&vertices[0].u, 32, 32, 8));
    EXPECT_FALSE(list.Add(&vertices[0].u, 32, 40, 6)) << "sizes are whole words";
    ASSERT_EQ(list.GetJobCount(), 3);
    EXPECT_EQ(list.GetJobSize(0), 24u);
    EXPECT_EQ(list.GetJobSize(1), 8u);

    CKDWORD out[2][10] = {};
    const CKDWORD remap[] = {2, 0};
    list.Run(out, 40, remap, 2);
    float x = -1.0f;
    std::memcpy(&x, &out[0][0], 4);
    EXPECT_EQ(x, 2.0f);
    EXPECT_EQ(out[0][6], 0xAA352211u);
    EXPECT_EQ(out[1][7], 0x00665544u);
    std::memcpy(&x, &out[1][8], 4);
    EXPECT_EQ(x, 0.0f);
}

} // namespace
