// The patch mesh's chunk section: golden words, round trips through chunks,
// copies and engine files with a byte-identical rebuilt render mesh,
// hand-built chunks of the older form, every prefix, hostile indices, and
// the vertex-only reload.
#include <bit>
#include <cstring>
#include <random>

#include "core/context/CKFunctions.h"
#include "render/mesh/CKMaterialGroup.h"
#include "render/mesh/RCKPatchMesh.h"
#include "tests/render/mesh/MaterialTestSupport.h"
#include "tests/support/AssertCapture.h"
#include "tools/testdata/TestPatches.h"

namespace {

CKDWORD F(float f)
{
    return std::bit_cast<CKDWORD>(f);
}

CKERROR RecordConsole(CKUICallbackStruct& message, void* data)
{
    if (message.Reason == CKUIM_OUTTOCONSOLE)
        static_cast<std::vector<std::string>*>(data)->push_back(std::to_string(message.Param1) + " " +
                                                                reinterpret_cast<const char*>(message.Param2));
    return CKErr::Ok;
}

class PatchPersistence : public MaterialFixture
{
protected:
    RCKPatchMesh* NewPatchMesh(const char* name = "patches", CKContext* context = nullptr)
    {
        return static_cast<RCKPatchMesh*>((context ? context : m_Context)->CreateObject(CKCID_PATCHMESH, name));
    }

    // Random patches with materials, smoothing groups, texture patches in
    // two records and an iteration count.
    RCKPatchMesh* RandomPatchMesh(std::mt19937& rng, const std::vector<CKMaterial*>& materials)
    {
        RCKPatchMesh* mesh = NewPatchMesh("random");
        std::vector<int> types;
        for (int i = 0, n = 1 + (int) (rng() % 6); i < n; ++i)
            types.push_back(rng() & 1 ? 3 : 4);
        FillIndependentPatches(mesh, types, (uint32_t) rng());
        const int corners = mesh->GetVertCount();
        mesh->SetTextureVertexCount(corners);
        mesh->SetTexturePatchCount(mesh->GetPatchCount());
        int corner = 0;
        for (int p = 0; p < mesh->GetPatchCount(); ++p) {
            mesh->SetPatchSmoothingGroup(p, 1u << (rng() % 3));
            mesh->SetPatchMaterial(p, materials[rng() % materials.size()]);
            CKTexturePatch tp;
            for (int k = 0; k < (types[(size_t) p] == 3 ? 3 : 4); ++k)
                tp.tv[k] = (short) corner++;
            mesh->SetTexturePatch(p, tp);
        }
        for (int i = 0; i < corners; ++i)
            mesh->SetTextureVertex(i, (float) (rng() % 100) / 100.0f, (float) (rng() % 100) / 100.0f);
        if (materials.back())
            mesh->AddChannel(materials.back(), TRUE);
        mesh->SetIterationCount((int) (rng() % 4));
        mesh->BuildRenderMesh();
        return mesh;
    }

    // Everything the patch data and the render mesh hold, as words.
    static std::vector<std::vector<CKDWORD>> Arrays(RCKPatchMesh* mesh)
    {
        std::vector<std::vector<CKDWORD>> all;
        auto words = [&](const void* p, size_t bytes) {
            std::vector<CKDWORD> w(bytes / 4);
            if (bytes)
                std::memcpy(w.data(), p, bytes);
            all.push_back(w);
        };
        words(mesh->GetVerts(), 12 * (size_t) (mesh->GetVertCount() + mesh->GetVecCount()));
        all.push_back({(CKDWORD) mesh->GetVertCount(), (CKDWORD) mesh->GetIterationCount(), mesh->GetPatchFlags()});
        for (int p = 0; p < mesh->GetPatchCount(); ++p) {
            CKPatch patch;
            mesh->GetPatch(p, &patch);
            words(&patch, offsetof(CKPatch, material) + sizeof(CK_ID));
        }
        words(mesh->GetEdges(), 12 * (size_t) mesh->GetEdgeCount());
        for (int c = -1; c < mesh->GetChannelCount(); ++c) {
            words(mesh->GetTexturePatches(c), 8 * (size_t) mesh->GetTexturePatchCount(c));
            words(mesh->GetTextureVertices(c), 8 * (size_t) mesh->GetTextureVertexCount(c));
            if (c >= 0)
                all.push_back({(CKDWORD) mesh->GetChannelSourceBlend(c), (CKDWORD) mesh->GetChannelDestBlend(c),
                               mesh->GetChannelFlags(c)});
        }
        // The render mesh.
        CKDWORD stride = 0;
        words(mesh->GetPositionsPtr(&stride), 32 * (size_t) mesh->GetVertexCount());
        words(mesh->GetFacesIndices(), 12 * (size_t) mesh->GetFaceCount());
        for (int g = 0; g < mesh->GetMaterialGroupCount(); ++g) {
            const CKMaterialGroup* group = mesh->GetMaterialGroup(g);
            std::vector<CKDWORD> list(group->Indices.Begin(), group->Indices.End());
            list.push_back((CKDWORD) group->VertexCount);
            list.push_back((CKDWORD) group->Type);
            all.push_back(list);
            all.push_back(std::vector<CKDWORD>(group->Remap.Begin(), group->Remap.End()));
        }
        return all;
    }
};

TEST_F(PatchPersistence, TheSectionHasItsGoldenWords)
{
    RCKPatchMesh* mesh = NewPatchMesh();
    FillIndependentPatches(mesh, {3}, 4);
    CKMaterial* red = NewMaterial("red");
    mesh->SetPatchMaterial(0, red);
    mesh->SetPatchSmoothingGroup(0, 0x12);
    mesh->SetTextureVertexCount(1);
    mesh->SetTextureVertex(0, 0.5f, 0.25f);
    mesh->SetIterationCount(1);
    mesh->BuildRenderMesh();
    std::vector<CKDWORD> words = SectionWords(mesh, CK_STATESAVE_PATCHMESHDATA, 200);
    std::vector<CKDWORD> expected = {0x7, 1, 9, 144, 12};
    for (int i = 0; i < 12; ++i) {
        const QxVector& p = mesh->GetVerts()[i];
        expected.insert(expected.end(), {F(p.x), F(p.y), F(p.z)});
    }
    expected.insert(expected.end(), {1, red->GetID(), 3, 0x12});
    // v 0,1,2,0; vec 0..5, 0, 0; interior 6,7,8,0; edge 0,1,2,0.
    expected.insert(expected.end(), {0x10000, 2, 0x10000, 0x30002, 0x50004, 0, 0x70006, 8, 0x10000, 2});
    // Three edges (start vertex, start vector, end vector, end vertex, patch
    // 0, no second patch).
    expected.insert(expected.end(), {36, 3});
    for (int k = 0; k < 3; ++k)
        expected.insert(expected.end(), {(CKDWORD) k | (CKDWORD) (2 * k) << 16,
                                         (CKDWORD) (2 * k + 1) | (CKDWORD) ((k + 1) % 3) << 16, 0xFFFF0000});
    // One record: no material, zero words, no texture patches, one texture
    // vertex.
    expected.insert(expected.end(), {1, 0, 0, 0, 0, 0, 0, 8, 1, F(0.5f), F(0.25f)});
    EXPECT_EQ(words, expected);
}

TEST_F(PatchPersistence, RandomPatchMeshesComeBackThroughChunksAndCopies)
{
    std::mt19937 rng(53);
    std::vector<CKMaterial*> materials = {nullptr, NewMaterial("a"), NewMaterial("b")};
    AssertCapture asserts;
    for (int round = 0; round < 30; ++round) {
        RCKPatchMesh* source = RandomPatchMesh(rng, materials);
        CKStateChunk* chunk = CKSaveObjectState(source);
        RCKPatchMesh* loaded = NewPatchMesh("loaded");
        ASSERT_EQ(loaded->Load(chunk, nullptr), CKErr::Ok) << round;
        CKDeleteStateChunk(chunk);
        EXPECT_EQ(Arrays(loaded), Arrays(source)) << round;
        for (int p = 0; p < source->GetPatchCount(); ++p)
            EXPECT_EQ(loaded->GetPatchMaterial(p), source->GetPatchMaterial(p));
        auto* copy = static_cast<RCKPatchMesh*>(m_Context->CopyObjects(source));
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(Arrays(copy), Arrays(source)) << round;
        for (CKObject* o : {(CKObject*) source, (CKObject*) loaded, (CKObject*) copy})
            m_Context->DestroyObject(o);
    }
    EXPECT_TRUE(asserts.Texts().empty());
}

TEST_F(PatchPersistence, TheMemoryOccupationCountsTheTextureRecords)
{
    RCKPatchMesh* mesh = NewPatchMesh();
    FillIndependentPatches(mesh, {4}, 1);
    const int bare = mesh->GetMemoryOccupation();
    mesh->SetTextureVertexCount(100);
    mesh->SetTexturePatchCount(1);
    EXPECT_GE(mesh->GetMemoryOccupation(), bare + 100 * 8 + 8);
    mesh->AddChannel(NewMaterial("detail"));
    // Each record counted with record 0's arrays.
    EXPECT_GE(mesh->GetMemoryOccupation(), bare + 2 * (100 * 8 + 8));
}

TEST_F(PatchPersistence, PatchMeshesComeBackThroughAnEngineFile)
{
    std::mt19937 rng(3);
    CKMaterial* a = NewMaterial("a");
    std::vector<CKMaterial*> materials = {nullptr, a, NewMaterial("b")};
    RCKPatchMesh* source = RandomPatchMesh(rng, materials);
    source->SetName("saved");
    SaveAndLoad({source});
    auto* loaded = Loaded<RCKPatchMesh>("saved", CKCID_PATCHMESH);
    ASSERT_NE(loaded, nullptr);
    // The materials are other objects: compare by name, then the rest.
    for (int p = 0; p < source->GetPatchCount(); ++p) {
        CKMaterial* s = source->GetPatchMaterial(p);
        CKMaterial* l = loaded->GetPatchMaterial(p);
        ASSERT_EQ(s ? std::string(s->GetName()) : "", l ? std::string(l->GetName()) : "") << p;
    }
    auto got = Arrays(loaded), expected = Arrays(source);
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_EQ(got[0], expected[0]) << "points";
    EXPECT_EQ(got[got.size() - 1], expected[expected.size() - 1]);
    EXPECT_EQ(loaded->GetVertexCount(), source->GetVertexCount());
    EXPECT_EQ(std::memcmp(loaded->GetPositionsPtr(nullptr), source->GetPositionsPtr(nullptr),
                          32 * (size_t) source->GetVertexCount()),
              0);
}

TEST_F(PatchPersistence, ASaveWithoutTheFlagsIsTheMeshsAndLoadsAsObsolete)
{
    RCKPatchMesh* mesh = NewPatchMesh("old");
    FillIndependentPatches(mesh, {4}, 1);
    CKStateChunk* chunk = mesh->Save(nullptr, CK_STATESAVE_MESHFLAGS);
    chunk->CloseChunk();
    EXPECT_EQ(chunk->GetChunkClassID(), (CK_CLASSID) CKCID_MESH);
    std::vector<std::string> console;
    m_Context->SetInterfaceMode(TRUE, RecordConsole, &console);
    RCKPatchMesh* target = NewPatchMesh("target");
    EXPECT_EQ(target->Load(chunk, nullptr), CKErr::Ok);
    m_Context->SetInterfaceMode(FALSE, nullptr, nullptr);
    ASSERT_EQ(console.size(), 1u);
    EXPECT_EQ(console[0], "1 target : Obsolete version of PatchMesh format: Cannot Load");
    CKDeleteStateChunk(chunk);
}

// The older form's words for one quad over corners 0-3 with handles 0-7 and
// interiors 8-11, edges 0-3; texture vertices per corner.
std::vector<CKDWORD> OlderQuadWords(CK_ID material, int extraTextureVertices)
{
    std::vector<CKDWORD> w = {0x9, material, 2, 12, 16 * 12, 16};
    for (int i = 0; i < 16; ++i)
        w.insert(w.end(), {F((float) (i & 1)), F((float) ((i >> 1) & 1)), F((float) i * 0.1f)});
    w.insert(w.end(), {88, 1, 4, 0, 1, 2, 3});
    for (int k = 0; k < 8; ++k)
        w.push_back((CKDWORD) k);
    w.insert(w.end(), {0x10008, 0x20009, 0x3000A, 0x4000B, 0xDEAD, 0, 1, 2, 3});
    w.insert(w.end(), {4 * 24, 4});
    for (int k = 0; k < 4; ++k)
        w.insert(w.end(),
                 {(CKDWORD) k, (CKDWORD) (2 * k), (CKDWORD) (2 * k + 1), (CKDWORD) ((k + 1) % 4), 0, 0xFFFFFFFF});
    w.insert(w.end(), {16, 1, 0, 1, 2, 3});
    const int tvs = 4 + extraTextureVertices;
    w.insert(w.end(), {(CKDWORD) (8 * tvs), (CKDWORD) tvs});
    for (int i = 0; i < tvs; ++i)
        w.insert(w.end(), {F((float) i), F(0.5f)});
    return w;
}

TEST_F(PatchPersistence, OlderFormChunksLoadWithTheirDefaults)
{
    CKMaterial* one = NewMaterial("one");
    CKMaterial* other = NewMaterial("other");
    struct Case
    {
        bool smooth, materials;
    };
    for (Case c : {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
        CKStateChunk* chunk = HandChunk(CKCID_PATCHMESH, 10, [&](CKStateChunk* ch) {
            ch->WriteIdentifier(CK_STATESAVE_PATCHMESHDATA_OLD);
            for (CKDWORD word : OlderQuadWords(one->GetID(), 1))
                ch->WriteDword(word);
            if (c.smooth) {
                ch->WriteIdentifier(CK_STATESAVE_PATCHMESHSMOOTH);
                for (CKDWORD word : {4u, 1u, 0x40u})
                    ch->WriteDword(word);
            }
            if (c.materials) {
                ch->WriteIdentifier(CK_STATESAVE_PATCHMESHMATERIALS);
                ch->WriteInt(1);
                ch->WriteObject(other);
            }
        });
        RCKPatchMesh* mesh = NewPatchMesh("older");
        ASSERT_EQ(mesh->Load(chunk, nullptr), CKErr::Ok);
        CKDeleteStateChunk(chunk);
        EXPECT_EQ(mesh->GetVertCount(), 4);
        EXPECT_EQ(mesh->GetVecCount(), 12);
        EXPECT_EQ(mesh->GetIterationCount(), 2);
        EXPECT_EQ(mesh->GetPatchSmoothingGroup(0), c.smooth ? 0x40u : 0xFFFFFFFFu);
        EXPECT_EQ(mesh->GetPatchMaterial(0), c.materials ? other : one);
        CKPatch patch;
        mesh->GetPatch(0, &patch);
        EXPECT_EQ(patch.type, 4);
        EXPECT_EQ(patch.interior[3], 11);
        EXPECT_EQ(patch.edge[3], 3);
        EXPECT_EQ(mesh->GetEdgeCount(), 4);
        EXPECT_EQ(mesh->GetEdges()[3].endVertex, 0);
        EXPECT_EQ(mesh->GetEdges()[3].patch2, -1);
        EXPECT_EQ(mesh->GetTextureVertexCount(), 5);
        // Loaded flags: 0x1 dropped, 0x2 added; the rebuild then sets 0x1 and
        // 0x4 (0x8, auto smooth, is kept).
        EXPECT_EQ(mesh->GetPatchFlags(), 0xFu);
        EXPECT_EQ(mesh->GetFaceCount(), 2 * 3 * 3);
        m_Context->DestroyObject(mesh);
    }
}

// The older form's smoothing and material lists hold one entry per patch
// at least (more are read and dropped) and at most as many as patches may
// be; a list outside that is refused whole.
TEST_F(PatchPersistence, OlderFormListsOfAnotherLengthThanThePatchesAreRefusedOrTrimmed)
{
    CKMaterial* one = NewMaterial("one");
    struct Case
    {
        const char* what;
        CKDWORD list;
        int count;
        CKERROR result;
    };
    const int tooMany = 0x8001;
    const Case cases[] = {
        {"no smoothing group", CK_STATESAVE_PATCHMESHSMOOTH, 0, CKErr::InvalidFile},
        {"two smoothing groups", CK_STATESAVE_PATCHMESHSMOOTH, 2, CKErr::Ok},
        {"more smoothing groups than patches may be", CK_STATESAVE_PATCHMESHSMOOTH, tooMany, CKErr::InvalidFile},
        {"no material", CK_STATESAVE_PATCHMESHMATERIALS, 0, CKErr::InvalidFile},
        {"two materials", CK_STATESAVE_PATCHMESHMATERIALS, 2, CKErr::Ok},
        {"more materials than patches may be", CK_STATESAVE_PATCHMESHMATERIALS, tooMany, CKErr::InvalidFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKStateChunk* chunk = HandChunk(CKCID_PATCHMESH, 10, [&](CKStateChunk* ch) {
            ch->WriteIdentifier(CK_STATESAVE_PATCHMESHDATA_OLD);
            for (CKDWORD word : OlderQuadWords(one->GetID(), 0))
                ch->WriteDword(word);
            ch->WriteIdentifier(c.list);
            if (c.list == CK_STATESAVE_PATCHMESHSMOOTH)
                ch->WriteInt(4 * c.count);
            ch->WriteInt(c.count);
            for (int i = 0; i < c.count; ++i)
                ch->WriteDword(c.list == CK_STATESAVE_PATCHMESHSMOOTH ? 0x40u + (CKDWORD) i : 0u);
        });
        RCKPatchMesh* mesh = NewPatchMesh("older");
        EXPECT_EQ(mesh->Load(chunk, nullptr), c.result);
        CKDeleteStateChunk(chunk);
        if (c.result == CKErr::Ok) {
            EXPECT_EQ(mesh->GetPatchCount(), 1);
            if (c.list == CK_STATESAVE_PATCHMESHSMOOTH) {
                EXPECT_EQ(mesh->GetPatchSmoothingGroup(0), 0x40u);
            } else {
                EXPECT_EQ(mesh->GetPatchMaterial(0), nullptr) << "the list's own material, none";
            }
        } else {
            EXPECT_EQ(mesh->GetPatchCount(), 0);
        }
        m_Context->DestroyObject(mesh);
    }
}

TEST_F(PatchPersistence, EveryPrefixOfTheSectionIsRefusedWithNothingLeft)
{
    std::mt19937 rng(8);
    std::vector<CKMaterial*> materials = {nullptr, NewMaterial("a")};
    RCKPatchMesh* source = RandomPatchMesh(rng, materials);
    std::vector<CKDWORD> words = SectionWords(source, CK_STATESAVE_PATCHMESHDATA, 100000);
    ASSERT_GT(words.size(), 50u);
    for (size_t cut = 0; cut < words.size(); ++cut) {
        CKStateChunk* chunk =
            SectionChunk(CKCID_PATCHMESH, CK_STATESAVE_PATCHMESHDATA, {words.begin(), words.begin() + (long) cut});
        RCKPatchMesh* target = NewPatchMesh("target");
        EXPECT_EQ(target->Load(chunk, nullptr), CKErr::InvalidFile) << cut;
        EXPECT_EQ(target->GetPatchCount(), 0) << cut;
        EXPECT_EQ(target->GetVertCount(), 0) << cut;
        EXPECT_EQ(target->GetEdgeCount(), 0) << cut;
        CKDeleteStateChunk(chunk);
        m_Context->DestroyObject(target);
    }
    CKStateChunk* whole = SectionChunk(CKCID_PATCHMESH, CK_STATESAVE_PATCHMESHDATA, words);
    RCKPatchMesh* target = NewPatchMesh("target");
    EXPECT_EQ(target->Load(whole, nullptr), CKErr::Ok);
    EXPECT_EQ(target->GetPatchCount(), source->GetPatchCount());
    CKDeleteStateChunk(whole);
}

TEST_F(PatchPersistence, HostileCountsAndIndicesAreRefused)
{
    RCKPatchMesh* source = NewPatchMesh();
    FillIndependentPatches(source, {3, 4}, 6);
    source->SetTextureVertexCount(7);
    source->SetTexturePatchCount(2);
    source->BuildRenderMesh();
    const std::vector<CKDWORD> good = SectionWords(source, CK_STATESAVE_PATCHMESHDATA, 100000);
    // Word positions: 3 byte size, 4 point count, 5.. points (7 x 3 + 21 x 3
    // words), then the patch sequence.
    const size_t patchesAt = 5 + 3 * 28;
    const size_t firstPatch = patchesAt + 3;
    const size_t edgesAt = firstPatch + 2 * 12;
    const size_t recordsAt = edgesAt + 2 + 7 * 3;
    struct Case
    {
        const char* what;
        size_t at;
        CKDWORD value;
    };
    const Case cases[] = {
        {"point bytes against the count", 3, 12 * 28 + 4},
        {"a vector count above the points", 2, 29},
        {"a negative vector count", 2, 0xFFFFFFFF},
        {"a corner past the vertices", firstPatch + 2, 0x10007},
        {"a handle past the vectors", firstPatch + 4, 0x30015},
        {"an interior past the vectors", firstPatch + 8, 0x60015},
        {"an edge past the edges", firstPatch + 10, 0x10007},
        {"edge bytes against the count", edgesAt, 12 * 7 + 1},
        {"an edge vertex past the vertices", edgesAt + 2, 0x7},
        {"an edge's first patch past the patches", edgesAt + 4, 0xFFFF0002},
        {"an edge without a first patch", edgesAt + 4, 0xFFFFFFFF},
        {"no channel record", recordsAt, 0},
        {"texture patches of another count", recordsAt + 5, 8},
        {"a texture vertex past the vertices", recordsAt + 7, 0x00010007},
    };
    ASSERT_EQ(good[recordsAt], 1u);
    ASSERT_EQ(good[recordsAt + 6], 2u) << "texture patch count";
    for (const Case& c : cases) {
        std::vector<CKDWORD> words = good;
        ASSERT_LT(c.at, words.size()) << c.what;
        words[c.at] = c.value;
        if (c.at == recordsAt + 5)
            words[recordsAt + 6] = 1;
        CKStateChunk* chunk = SectionChunk(CKCID_PATCHMESH, CK_STATESAVE_PATCHMESHDATA, words);
        RCKPatchMesh* target = NewPatchMesh("target");
        EXPECT_EQ(target->Load(chunk, nullptr), CKErr::InvalidFile) << c.what;
        EXPECT_EQ(target->GetPatchCount(), 0) << c.what;
        EXPECT_EQ(target->GetVertexCount(), 0) << c.what;
        CKDeleteStateChunk(chunk);
        m_Context->DestroyObject(target);
    }
}

// Edges and texture vertices are named by 16-bit indices: 65,536 of them
// load (the section holding them all, sizes agreeing), one more is refused.
TEST_F(PatchPersistence, EdgeAndTextureVertexCountsStopAtWhatSixteenBitIndicesName)
{
    RCKPatchMesh* source = NewPatchMesh();
    FillIndependentPatches(source, {3, 4}, 6);
    source->SetTextureVertexCount(7);
    source->SetTexturePatchCount(2);
    source->BuildRenderMesh();
    const std::vector<CKDWORD> good = SectionWords(source, CK_STATESAVE_PATCHMESHDATA, 100000);
    const size_t edgesAt = 5 + 3 * 28 + 3 + 2 * 12;
    const size_t recordsAt = edgesAt + 2 + 7 * 3;
    const size_t textureVerticesAt = recordsAt + 11;
    ASSERT_EQ(good[edgesAt + 1], 7u) << "edge count";
    ASSERT_EQ(good[textureVerticesAt], 8u * 7) << "texture vertex bytes";
    ASSERT_EQ(good[textureVerticesAt + 1], 7u);
    ASSERT_EQ(good.size(), textureVerticesAt + 2 + 2 * 7);
    for (const bool edges : {true, false}) {
        for (const int count : {0x10000, 0x10001}) {
            SCOPED_TRACE(testing::Message() << (edges ? "edges " : "texture vertices ") << count);
            std::vector<CKDWORD> words;
            if (edges) {
                // Copies of the first edge in place of the seven.
                words.assign(good.begin(), good.begin() + (long) edgesAt);
                words.insert(words.end(), {(CKDWORD) (12 * count), (CKDWORD) count});
                for (int e = 0; e < count; ++e)
                    words.insert(words.end(), good.begin() + (long) edgesAt + 2, good.begin() + (long) edgesAt + 5);
                words.insert(words.end(), good.begin() + (long) recordsAt, good.end());
            } else {
                words.assign(good.begin(), good.begin() + (long) textureVerticesAt);
                words.insert(words.end(), {(CKDWORD) (8 * count), (CKDWORD) count});
                words.resize(words.size() + 2 * (size_t) count, 0);
            }
            CKStateChunk* chunk = SectionChunk(CKCID_PATCHMESH, CK_STATESAVE_PATCHMESHDATA, words);
            RCKPatchMesh* target = NewPatchMesh("target");
            const bool fits = count <= 0x10000;
            EXPECT_EQ(target->Load(chunk, nullptr), fits ? CKErr::Ok : CKErr::InvalidFile);
            if (fits) {
                EXPECT_EQ(edges ? target->GetEdgeCount() : target->GetTextureVertexCount(), count);
            }
            CKDeleteStateChunk(chunk);
            m_Context->DestroyObject(target);
        }
    }
}

TEST_F(PatchPersistence, LoadVerticesTakesOnlyControlPointsOfTheSameCounts)
{
    RCKPatchMesh* source = NewPatchMesh();
    FillIndependentPatches(source, {4}, 11);
    RCKPatchMesh* target = NewPatchMesh("target");
    FillIndependentPatches(target, {4}, 12);
    target->SetIterationCount(3);
    target->BuildRenderMesh();
    source->SetIterationCount(1);
    CKStateChunk* chunk = CKSaveObjectState(source);
    EXPECT_EQ(target->LoadVertices(chunk), CKErr::Ok);
    EXPECT_EQ(std::memcmp(target->GetVerts(), source->GetVerts(), 16 * 12), 0);
    EXPECT_EQ(target->GetIterationCount(), 3);
    EXPECT_FALSE(target->GetPatchFlags() & CK_PATCHMESH_UPTODATE);
    CKDeleteStateChunk(chunk);
    // Other counts: nothing read.
    RCKPatchMesh* other = NewPatchMesh("other");
    FillIndependentPatches(other, {3}, 13);
    chunk = CKSaveObjectState(other);
    const QxVector before = target->GetVerts()[0];
    EXPECT_EQ(target->LoadVertices(chunk), CKErr::InvalidFile);
    EXPECT_EQ(target->GetVerts()[0], before);
    CKDeleteStateChunk(chunk);
}

TEST_F(PatchPersistence, DeletedMaterialsLeaveThePatchesAndTheirChannelsGo)
{
    CKMaterial* red = NewMaterial("red");
    CKMaterial* detail = NewMaterial("detail");
    RCKPatchMesh* mesh = NewPatchMesh();
    FillIndependentPatches(mesh, {3, 4}, 2);
    mesh->SetPatchMaterial(1, red);
    mesh->AddChannel(detail, FALSE);
    mesh->BuildRenderMesh();
    // A material the mesh does not use goes without a rebuild.
    m_Context->DestroyObject(NewMaterial("unused"));
    EXPECT_TRUE(mesh->GetPatchFlags() & CK_PATCHMESH_UPTODATE);
    m_Context->DestroyObject(red);
    m_Context->DestroyObject(detail);
    EXPECT_EQ(mesh->GetPatchMaterial(1), nullptr);
    EXPECT_EQ(mesh->GetPatches()[1].material, 0u);
    EXPECT_EQ(mesh->GetChannelCount(), 0);
    EXPECT_FALSE(mesh->GetPatchFlags() & CK_PATCHMESH_UPTODATE);
    mesh->BuildRenderMesh();
    EXPECT_EQ(mesh->GetMaterialGroupCount(), 1);
}

} // namespace

namespace {

TEST_F(PatchPersistence, AVectorCountAboveThePointsIsRefusedEvenWithoutPatches)
{
    // One point, two vectors said, no patch, no edge, one empty record.
    const std::vector<CKDWORD> words = {2, 0, 2, 12, 1, F(1), F(2), F(3), 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    CKStateChunk* chunk = SectionChunk(CKCID_PATCHMESH, CK_STATESAVE_PATCHMESHDATA, words);
    RCKPatchMesh* mesh = NewPatchMesh();
    EXPECT_EQ(mesh->Load(chunk, nullptr), CKErr::InvalidFile);
    EXPECT_EQ(mesh->GetVertCount(), 0);
    EXPECT_EQ(mesh->GetVecCount(), 0);
    CKDeleteStateChunk(chunk);
    // The same with the count right loads.
    std::vector<CKDWORD> right = words;
    right[2] = 1;
    chunk = SectionChunk(CKCID_PATCHMESH, CK_STATESAVE_PATCHMESHDATA, right);
    EXPECT_EQ(mesh->Load(chunk, nullptr), CKErr::Ok);
    EXPECT_EQ(mesh->GetVertCount(), 0);
    EXPECT_EQ(mesh->GetVecCount(), 1);
    CKDeleteStateChunk(chunk);
}

} // namespace
