// The mesh's chunk section: golden words of a hand-built cube, round trips
// of random meshes through chunks and compressed files, every prefix of
// every section, hostile values, and copies.
#include <bit>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "core/context/CKFunctions.h"
#include "core/context/CKVariableManager.h"
#include "core/object/CKObjectIDList.h"
#include "render/context/RCKRenderManager.h"
#include "render/mesh/CKProgressiveMesh.h"
#include "tests/render/mesh/MaterialTestSupport.h"
#include "tests/render/mesh/MeshTestSupport.h"

namespace {

CKDWORD F(float f)
{
    return std::bit_cast<CKDWORD>(f);
}

class MeshPersistence : public MaterialFixture
{
protected:
    RCKMesh* NewMesh(const char* name = "mesh", CKContext* context = nullptr)
    {
        return static_cast<RCKMesh*>((context ? context : m_Context)->CreateObject(CKCID_MESH, name));
    }

    // The cube of the golden words: corners (±1, ±1, ±1) numbered by their
    // bits (x bit 0, y bit 1, z bit 2), normals all +z (so they are saved),
    // one diffuse colour, specular i, uv (i, i / 8); faces 0-5 take A and
    // 6-11 B; a type-0 channel of C; lines 0-1 and 6-7; one blend shape.
    RCKMesh* Cube(CKMaterial* a, CKMaterial* b, CKMaterial* c)
    {
        RCKMesh* mesh = NewMesh("cube");
        mesh->SetVertexCount(8);
        for (int i = 0; i < 8; ++i) {
            mesh->SetVertexPosition(i, QxVector(i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f));
            mesh->SetVertexNormal(i, QxVector(0, 0, 1));
            mesh->SetVertexTextureCoordinates(i, (float) i, (float) i / 8.0f);
            mesh->SetVertexSpecularColor(i, (CKDWORD) i);
        }
        mesh->SetFaceCount(12);
        for (int f = 0; f < 12; ++f) {
            const int(&q)[3] = kCubeFaces[f];
            mesh->SetFaceVertexIndex(f, q[0], q[1], q[2]);
            mesh->SetFaceMaterial(f, f < 6 ? a : b);
        }
        EXPECT_EQ(mesh->AddChannel(c, TRUE), 0);
        mesh->SetLineCount(2);
        mesh->SetLine(0, 0, 1);
        mesh->SetLine(1, 6, 7);
        CKBlendShapeData shapes;
        shapes.Names.PushBack(XString("smile"));
        CKBlendShapeTarget target;
        target.Deltas.PushBack(CKBlendShapeDelta{2, QxVector(0, 0.5f, 0), QxVector(0, 0, 0.25f)});
        shapes.Targets.PushBack(target);
        shapes.BaseVertices.PushBack(CKBlendShapeBaseVertex{2, QxVector(-1, 1, -1), QxVector(0, 0, 1)});
        mesh->SetBlendShapes(shapes);
        return mesh;
    }

    static constexpr int kCubeFaces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                              {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};

    // A random mesh of n vertices: random everything, each optional part
    // present or not.
    RCKMesh* RandomMesh(std::mt19937& rng, int n, const std::vector<CKMaterial*>& materials,
                        const char* name = "random")
    {
        std::uniform_real_distribution<float> real(-10.0f, 10.0f);
        auto bit = [&] { return (rng() & 1) != 0; };
        RCKMesh* mesh = NewMesh(name);
        mesh->SetVertexCount(n);
        const bool oneColour = bit();
        for (int i = 0; i < n; ++i) {
            mesh->SetVertexPosition(i, QxVector(real(rng), real(rng), real(rng)));
            mesh->SetVertexNormal(i, QxVector(real(rng), real(rng), real(rng)));
            mesh->SetVertexTextureCoordinates(i, real(rng), real(rng));
            mesh->SetVertexColor(i, oneColour ? 0xFF336699u : (CKDWORD) rng());
            mesh->SetVertexSpecularColor(i, oneColour ? 0u : (CKDWORD) rng());
        }
        const int faces = n > 2 ? (int) (rng() % 40) : 0;
        mesh->SetFaceCount(faces);
        for (int f = 0; f < faces; ++f) {
            mesh->SetFaceVertexIndex(f, (int) (rng() % n), (int) (rng() % n), (int) (rng() % n));
            mesh->SetFaceMaterial(f, materials[rng() % materials.size()]);
        }
        if (n > 0 && bit()) {
            mesh->SetLineCount(3);
            for (int l = 0; l < 3; ++l)
                mesh->SetLine(l, (int) (rng() % n), (int) (rng() % n));
        }
        for (int type = 0; type <= 4; ++type)
            if (bit()) {
                int c = mesh->AddChannelEx(type == 0 ? materials[1 + rng() % (materials.size() - 1)] : nullptr, bit(),
                                           type);
                if (type == 0)
                    mesh->SetChannelSourceBlend(c, 5);
                float values[4] = {real(rng), real(rng), real(rng), real(rng)};
                for (int i = 0; i < n; ++i)
                    mesh->SetChannelData(i, c, values);
            }
        if (n > 0 && bit()) {
            mesh->SetVertexWeightsCount(n);
            const bool equal = bit();
            for (int i = 0; i < n; ++i)
                mesh->SetVertexWeight(i, equal ? 0.5f : real(rng));
        }
        if (n > 0 && bit()) {
            CKBlendShapeData shapes;
            shapes.Names.PushBack(XString("a"));
            shapes.Names.PushBack(XString(""));
            for (int t = 0; t < 2; ++t) {
                CKBlendShapeTarget target;
                target.WeightIndex = (CKDWORD) t;
                target.Pivot = real(rng);
                for (int d = 0; d < 3; ++d)
                    target.Deltas.PushBack(
                        CKBlendShapeDelta{(CKDWORD) (rng() % n), QxVector(real(rng), 0, 1), QxVector(0, real(rng), 0)});
                shapes.Targets.PushBack(target);
            }
            shapes.BaseVertices.PushBack(CKBlendShapeBaseVertex{(CKDWORD) (rng() % n), QxVector(1, 2, 3), QxVector()});
            mesh->SetBlendShapes(shapes);
        }
        if (n > 0 && bit()) {
            EXPECT_EQ(mesh->CreatePM(), CKErr::Ok);
            if (bit())
                mesh->SetVerticesRendered((int) (rng() % (unsigned) (n + 1)));
            mesh->EnablePMGeoMorph(bit());
            mesh->SetPMGeoMorphStep((int) (rng() % 5));
        }
        // Normals BuildNormals gives are left out of the save.
        if (bit())
            mesh->BuildNormals();
        return mesh;
    }

    // count random meshes named "mesh<i>", the first two of 65,534 and
    // 65,535 vertices (on each side of the 32-bit index forms), the others
    // of up to 50.
    std::vector<RCKMesh*> RandomMeshes(std::mt19937& rng, int count, const std::vector<CKMaterial*>& materials)
    {
        std::vector<RCKMesh*> meshes;
        for (int i = 0; i < count; ++i) {
            const int n = i == 0 ? 65534 : i == 1 ? 65535 : (int) (rng() % 50);
            meshes.push_back(RandomMesh(rng, n, materials, ("mesh" + std::to_string(i)).c_str()));
        }
        return meshes;
    }
};

std::vector<CKDWORD> Words(const void* p, size_t bytes)
{
    std::vector<CKDWORD> w(bytes / 4);
    if (bytes)
        std::memcpy(w.data(), p, bytes);
    return w;
}

// A material by its name, so that meshes of two contexts compare.
CKDWORD Key(CKMaterial* material)
{
    return material ? (CKDWORD) std::hash<std::string>()(material->GetName() ? material->GetName() : "") | 1u : 0u;
}

// Every array the section holds, as words, for bit comparison.
std::vector<std::vector<CKDWORD>> Arrays(RCKMesh* m)
{
    std::vector<std::vector<CKDWORD>> out;
    CKDWORD stride = 0;
    const int n = m->GetVertexCount();
    out.push_back(Words(m->GetPositionsPtr(&stride), (size_t) n * 32));
    out.push_back(Words(m->GetColorsPtr(&stride), (size_t) n * 8));
    out.push_back(Words(m->GetFacesIndices(), (size_t) m->GetFaceCount() * 12));
    std::vector<CKDWORD> materials;
    for (int f = 0; f < m->GetFaceCount(); ++f)
        materials.push_back(Key(m->GetFaceMaterial(f)));
    out.push_back(materials);
    out.push_back(Words(m->GetLineIndices(), (size_t) m->GetLineCount() * 8));
    out.push_back(Words(m->GetVertexWeightsPtr(), (size_t) m->GetVertexWeightsCount() * 4));
    for (int c = 0; c < m->GetChannelCount(); ++c) {
        CKMaterial* material = m->GetChannelMaterial(c);
        out.push_back({(CKDWORD) m->GetChannelType(c), m->GetChannelFlags(c), (CKDWORD) m->GetChannelSourceBlend(c),
                       (CKDWORD) m->GetChannelDestBlend(c), Key(material)});
        const int floats = CKChannelFloatCount(m->GetChannelType(c), n) - (m->GetChannelType(c) == 1 ? 1 : 0);
        const void* data = m->GetTextureCoordinatesPtr(&stride, c);
        out.push_back(data ? Words(data, (size_t) floats * 4) : std::vector<CKDWORD>{});
    }
    CKBlendShapeData shapes;
    m->GetBlendShapes(shapes);
    std::vector<CKDWORD> bs;
    for (const XString& name : shapes.Names)
        bs.push_back((CKDWORD) name.Length());
    for (const CKBlendShapeTarget& t : shapes.Targets) {
        bs.insert(bs.end(), {t.WeightIndex, F(t.Pivot), F(t.SlopeBelow), F(t.SlopeAbove)});
        for (const CKBlendShapeDelta& d : t.Deltas) {
            auto w = Words(&d, sizeof d);
            bs.insert(bs.end(), w.begin(), w.end());
        }
    }
    auto w = Words(shapes.BaseVertices.Begin(), (size_t) shapes.BaseVertices.Size() * sizeof(CKBlendShapeBaseVertex));
    bs.insert(bs.end(), w.begin(), w.end());
    out.push_back(bs);
    if (const CKProgressiveMesh* pm = m->GetProgressiveMesh()) {
        std::vector<CKDWORD> words = {(CKDWORD) pm->GetVerticesRendered(), pm->IsGeoMorphEnabled() ? 1u : 0u,
                                      (CKDWORD) pm->GetGeoMorphStep()};
        for (int target : pm->GetCollapseTargets())
            words.push_back((CKDWORD) target);
        out.push_back(words);
    }
    return out;
}

// Every face corner and line names a vertex of the mesh.
bool Consistent(RCKMesh* m)
{
    for (int i = 0; i < m->GetFaceCount() * 3; ++i)
        if ((int) m->GetFacesIndices()[i] >= m->GetVertexCount())
            return false;
    for (int i = 0; i < m->GetLineCount() * 2; ++i)
        if ((int) m->GetLineIndices()[i] >= m->GetVertexCount())
            return false;
    return true;
}

const CKDWORD kSections[] = {CK_STATESAVE_MESHFLAGS,    CK_STATESAVE_MESHMATERIALS,   CK_STATESAVE_MESHFACES,
                             CK_STATESAVE_MESHFACES32,  CK_STATESAVE_MESHLINES,       CK_STATESAVE_MESHLINES32,
                             CK_STATESAVE_MESHVERTICES, CK_STATESAVE_MESHCHANNELS,    CK_STATESAVE_MESHCHANNELDATA,
                             CK_STATESAVE_MESHWEIGHTS,  CK_STATESAVE_MESHBLENDSHAPES, CK_STATESAVE_MESHPROGRESSIVE};

} // namespace

TEST_F(MeshPersistence, TheCubeSavesTheWordsWorkedOutByHand)
{
    CKMaterial* a = NewMaterial("A");
    CKMaterial* b = NewMaterial("B");
    CKMaterial* c = NewMaterial("C");
    RCKMesh* cube = Cube(a, b, c);
    const CKDWORD A = a->GetID(), B = b->GetID(), C = c->GetID();

    EXPECT_EQ(SectionWords(cube, CK_STATESAVE_MESHMATERIALS, 100), (std::vector<CKDWORD>{3, 0, 0, A, 0, B, 0}));
    std::vector<CKDWORD> faces = {12};
    for (int f = 0; f < 12; ++f) {
        faces.push_back((CKDWORD) kCubeFaces[f][0] | (CKDWORD) kCubeFaces[f][1] << 16);
        faces.push_back((CKDWORD) kCubeFaces[f][2] | (f < 6 ? 1u : 2u) << 16);
    }
    EXPECT_EQ(SectionWords(cube, CK_STATESAVE_MESHFACES, 100), faces);
    EXPECT_EQ(SectionWords(cube, CK_STATESAVE_MESHLINES, 100), (std::vector<CKDWORD>{2, 8, 0 | 1 << 16, 6 | 7 << 16}));

    // One diffuse colour (flag 1); specular, normals and uv differ per
    // vertex. Block: its size, 24 position words, 1 diffuse, 8 specular,
    // 24 normal words, 16 uv words.
    std::vector<CKDWORD> vertices = {8, 0x1, 74};
    for (int i = 0; i < 8; ++i)
        for (int axis = 0; axis < 3; ++axis)
            vertices.push_back(F(i & (1 << axis) ? 1.0f : -1.0f));
    vertices.push_back(0xFFFFFFFF);
    for (CKDWORD i = 0; i < 8; ++i)
        vertices.push_back(i);
    for (int i = 0; i < 8; ++i)
        vertices.insert(vertices.end(), {F(0), F(0), F(1)});
    std::vector<CKDWORD> uv;
    for (int i = 0; i < 8; ++i)
        uv.insert(uv.end(), {F((float) i), F((float) i / 8.0f)});
    vertices.insert(vertices.end(), uv.begin(), uv.end());
    EXPECT_EQ(SectionWords(cube, CK_STATESAVE_MESHVERTICES, 200), vertices);

    std::vector<CKDWORD> channels = {1, C, 1, 1, 3, 8};
    channels.insert(channels.end(), uv.begin(), uv.end());
    EXPECT_EQ(SectionWords(cube, CK_STATESAVE_MESHCHANNELS, 100), channels);
    EXPECT_TRUE(SectionWords(cube, CK_STATESAVE_MESHCHANNELDATA, 100).empty()) << "no data channel";
    EXPECT_TRUE(SectionWords(cube, CK_STATESAVE_MESHWEIGHTS, 100).empty()) << "no weights";

    const std::vector<CKDWORD> shapes = {
        1,        6,     'l' << 24 | 'i' << 16 | 'm' << 8 | 's',
        'e', // "smile" and its zero
        1,        0,     F(1),
        F(1),     F(-1), 1,
        2,        F(0),  F(0.5f),
        F(0),     F(0),  F(0),
        F(0.25f), // the target
        1,        2,     F(-1),
        F(1),     F(-1), F(0),
        F(0),     F(1), // the base vertex
    };
    EXPECT_EQ(SectionWords(cube, CK_STATESAVE_MESHBLENDSHAPES, 100), shapes);
}

TEST_F(MeshPersistence, ARandomMeshComesBackBitIdenticalThroughAChunk)
{
    std::mt19937 rng(26);
    std::vector<CKMaterial*> materials = {nullptr, NewMaterial("m1"), NewMaterial("m2"), NewMaterial("m3")};
    int withPM = 0, withoutNormals = 0;
    for (RCKMesh* source : RandomMeshes(rng, 1000, materials)) {
        CKStateChunk* chunk = CKSaveObjectState(source);
        withPM += source->IsPM() ? 1 : 0;
        withoutNormals += (source->GetFlags() & CKMESH_GENNORMALS) ? 1 : 0;
        RCKMesh* loaded = NewMesh("loaded");
        ASSERT_EQ(loaded->Load(chunk, nullptr), CKErr::Ok) << source->GetName();
        ASSERT_EQ(Arrays(loaded), Arrays(source)) << source->GetName();
        CKDeleteStateChunk(chunk);
        m_Context->DestroyObject(source);
        m_Context->DestroyObject(loaded);
    }
    EXPECT_GT(withPM, 300);
    EXPECT_GT(withoutNormals, 300);
}

TEST_F(MeshPersistence, FacesAndLinesTakeTheirWideFormAt65535Vertices)
{
    std::mt19937 rng(65535);
    std::vector<CKMaterial*> materials = {nullptr, NewMaterial("m1")};
    for (int n : {65534, 65535}) {
        RCKMesh* source = RandomMesh(rng, n, materials);
        source->SetLineCount(1);
        source->SetLine(0, n - 1, 0);
        source->SetFaceCount(1);
        source->SetFaceVertexIndex(0, n - 1, 0, n - 2);
        // The faces changed: the normals are no longer BuildNormals'.
        source->NormalChanged();
        const bool wide = n == 65535;
        EXPECT_EQ(SectionWords(source, CK_STATESAVE_MESHFACES32, 1).empty(), !wide) << n;
        EXPECT_EQ(SectionWords(source, CK_STATESAVE_MESHLINES32, 1).empty(), !wide) << n;
        CKStateChunk* chunk = CKSaveObjectState(source);
        RCKMesh* loaded = NewMesh("loaded");
        ASSERT_EQ(loaded->Load(chunk, nullptr), CKErr::Ok) << n;
        EXPECT_EQ(Arrays(loaded), Arrays(source)) << n;
        CKDeleteStateChunk(chunk);
    }
}

TEST_F(MeshPersistence, RandomMeshesComeBackThroughACompressedFile)
{
    std::mt19937 rng(10);
    std::vector<CKMaterial*> materials = {nullptr, NewMaterial("m1"), NewMaterial("m2")};
    std::vector<RCKMesh*> meshes = RandomMeshes(rng, 1000, materials);
    std::vector<CKObject*> objects(meshes.begin(), meshes.end());
    EXPECT_GE(m_Context->GetFileWriteMode() & 8, 8) << "whole-file compression";
    // Every section asked for, as the exporter saves.
    std::string path = m_Dir.File("meshes.qdx");
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(path.c_str()), CKErr::Ok);
    for (CKObject* object : objects)
        file->SaveObject(object, 0xFFFFFFFF);
    ASSERT_EQ(file->EndSave(), CKErr::Ok);
    m_Context->DeleteCKFile(file);
    CKFile* in = Fresh()->CreateCKFile();
    CKObjectIDList list;
    ASSERT_EQ(in->Load(path.c_str(), &list), CKErr::Ok);
    Fresh()->DeleteCKFile(in);
    for (RCKMesh* source : meshes) {
        RCKMesh* loaded = Loaded<RCKMesh>(source->GetName(), CKCID_MESH);
        ASSERT_NE(loaded, nullptr) << source->GetName();
        // Materials are other objects in the fresh context: Arrays compares
        // them by name.
        ASSERT_EQ(Arrays(loaded), Arrays(source)) << source->GetName();
    }
}

TEST_F(MeshPersistence, NormalsBuildNormalsWouldGiveAreOmittedAndRebuilt)
{
    RCKMesh* source = Cube(NewMaterial("A"), NewMaterial("B"), NewMaterial("C"));
    source->BuildNormals();
    EXPECT_EQ(SectionWords(source, CK_STATESAVE_MESHVERTICES, 2)[1] & CK_MESHVERTEX_NONORMALS, CK_MESHVERTEX_NONORMALS);
    CKStateChunk* chunk = CKSaveObjectState(source);
    RCKMesh* loaded = NewMesh("loaded");
    ASSERT_EQ(loaded->Load(chunk, nullptr), CKErr::Ok);
    EXPECT_EQ(Arrays(loaded), Arrays(source));
    CKDeleteStateChunk(chunk);

    // Equal weights: the count and one float.
    source->SetVertexWeightsCount(8);
    for (int i = 0; i < 8; ++i)
        source->SetVertexWeight(i, 0.25f);
    EXPECT_EQ(SectionWords(source, CK_STATESAVE_MESHWEIGHTS, 10), (std::vector<CKDWORD>{8, F(0.25f)}));
}

TEST_F(MeshPersistence, EveryPrefixOfEverySectionIsRefusedAndLeavesAConsistentMesh)
{
    RCKMesh* cube = Cube(NewMaterial("A"), NewMaterial("B"), NewMaterial("C"));
    cube->SetVertexWeightsCount(8);
    cube->SetVertexWeight(3, 2.0f);
    cube->AddChannelEx(nullptr, FALSE, 3);
    ASSERT_EQ(cube->CreatePM(), CKErr::Ok);
    for (CKDWORD id : kSections) {
        std::vector<CKDWORD> words = SectionWords(cube, id, 1000);
        if (words.empty())
            continue;
        for (size_t cut = 0; cut < words.size(); ++cut) {
            // The whole mesh first, so that faces and lines exist to be
            // checked against what the cut section gives.
            RCKMesh* target = NewMesh("target");
            CKStateChunk* whole = CKSaveObjectState(cube);
            ASSERT_EQ(target->Load(whole, nullptr), CKErr::Ok);
            CKDeleteStateChunk(whole);
            CKStateChunk* chunk = SectionChunk(CKCID_MESH, id, {words.begin(), words.begin() + (long) cut});
            chunk->SetDataVersion(CK_MESH_DATAVERSION);
            const CKERROR error = target->Load(chunk, nullptr);
            // The flags' one word; weights cut after the count (one value
            // for all) or before the trailing copy of the first weight load.
            const bool loadable = (id == CK_STATESAVE_MESHFLAGS && cut > 0) ||
                                  (id == CK_STATESAVE_MESHWEIGHTS && (cut == 0 || cut == 2 || cut + 1 == words.size()));
            if (!loadable) {
                EXPECT_EQ(error, CKErr::InvalidFile) << std::hex << id << std::dec << " cut " << cut;
            }
            EXPECT_TRUE(Consistent(target)) << std::hex << id << std::dec << " cut " << cut;
            CKDeleteStateChunk(chunk);
            m_Context->DestroyObject(target);
        }
    }
}

TEST_F(MeshPersistence, HostileIndicesAreRefused)
{
    struct Case
    {
        const char* what;
        CKDWORD id;
        std::vector<CKDWORD> words;
    };
    const std::vector<Case> cases = {
        {"corner past the vertices", CK_STATESAVE_MESHFACES, {1, 0 | 1 << 16, 8}},
        {"wide face buffer of the wrong size", CK_STATESAVE_MESHFACES32, {1, 8, 0, 1, 0}},
        {"line past the vertices", CK_STATESAVE_MESHLINES32, {1, 8, 0, 9}},
        {"huge line count", CK_STATESAVE_MESHLINES, {0x7FFFFFFF, 0}},
        {"huge wide line count", CK_STATESAVE_MESHLINES32, {0x7FFFFFFF, 0}},
        {"huge face count", CK_STATESAVE_MESHFACES, {0x7FFFFFFF, 0, 0}},
        {"data of a type-0 channel", CK_STATESAVE_MESHCHANNELDATA, {1, 0, 0}},
        {"data of a missing channel", CK_STATESAVE_MESHCHANNELDATA, {1, 5, 0}},
        {"channel uv count not the vertex count",
         CK_STATESAVE_MESHCHANNELS,
         {1, 0, 1, 1, 3, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"weights past the vertices", CK_STATESAVE_MESHWEIGHTS, {1000000, 0}},
        {"vertex block of the wrong size", CK_STATESAVE_MESHVERTICES, {2, 0x1F, 4, 0, 0, 0, 0}},
        {"skin-held vertices past the limit", CK_STATESAVE_MESHVERTICES, {0x7FFFFFF, 0x1F, 5, 0, 0, 0, 0}},
        {"blend delta past the vertices", CK_STATESAVE_MESHBLENDSHAPES, {0, 1, 0, 0, 0, 0, 1, 8, 0, 0, 0, 0, 0, 0, 0}},
        {"a vertex collapsing onto itself", CK_STATESAVE_MESHPROGRESSIVE, {~0u, 0, 0, ~0u, 0, 0, 1, 1, 2, 3, 7}},
        {"a vertex collapsing onto a later one", CK_STATESAVE_MESHPROGRESSIVE, {4, 1, 2, ~0u, 2, 0, 0, 0, 0, 0, 0}},
        {"a collapse target below -1", CK_STATESAVE_MESHPROGRESSIVE, {4, 1, 2, ~0u, 0xFFFFFFFE, 0, 0, 0, 0, 0, 0}},
        {"fewer entries than vertices", CK_STATESAVE_MESHPROGRESSIVE, {4, 1, 2, ~0u, 0, 0, 0, 0, 0, 0}},
        {"more entries than vertices", CK_STATESAVE_MESHPROGRESSIVE, {4, 1, 2, ~0u, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    CKMaterial* c = NewMaterial("C");
    for (const Case& k : cases) {
        RCKMesh* target = Cube(NewMaterial("A"), NewMaterial("B"), c);
        std::vector<CKDWORD> words = k.words;
        if (k.id == CK_STATESAVE_MESHCHANNELS)
            words[1] = c->GetID();
        CKStateChunk* chunk = SectionChunk(CKCID_MESH, k.id, words);
        chunk->SetDataVersion(CK_MESH_DATAVERSION);
        EXPECT_EQ(target->Load(chunk, nullptr), CKErr::InvalidFile) << k.what;
        EXPECT_TRUE(Consistent(target)) << k.what;
        CKDeleteStateChunk(chunk);
    }
}

TEST_F(MeshPersistence, ACopyHasTheSourcesSectionsWordForWord)
{
    std::mt19937 rng(114);
    std::vector<CKMaterial*> materials = {nullptr, NewMaterial("m1"), NewMaterial("m2")};
    int round = 0;
    for (RCKMesh* source : RandomMeshes(rng, 1000, materials)) {
        ++round;
        source->SetChannelKeys(0, 7, 9);
        auto* copy = static_cast<RCKMesh*>(m_Context->CopyObjects(source));
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->GetFlags() & CKMESH_FACENORMALSVALID, 0u);
        // The flags but for the change marks, which a copy starts without,
        // and the face normals, which it builds again.
        const CKDWORD marks =
            CKMESH_UVCHANGED | CKMESH_NORMALCHANGED | CKMESH_COLORCHANGED | CKMESH_POSCHANGED | CKMESH_FACENORMALSVALID;
        EXPECT_EQ(SectionWords(copy, CK_STATESAVE_MESHFLAGS, 1)[0],
                  SectionWords(source, CK_STATESAVE_MESHFLAGS, 1)[0] & ~marks);
        for (CKDWORD id : kSections)
            if (id != CK_STATESAVE_MESHFLAGS) {
                ASSERT_EQ(SectionWords(copy, id, 1 << 20), SectionWords(source, id, 1 << 20)) << round << " " << id;
            }
        EXPECT_EQ(copy->GetMaterialCount(), source->GetMaterialCount());
        if (copy->GetChannelCount() > 0) {
            EXPECT_EQ(copy->GetChannelKey(0), 9u);
        }
        m_Context->DestroyObject(copy);
        m_Context->DestroyObject(source);
    }
}

TEST_F(MeshPersistence, DataChannelsOfAnEmptyMeshComeBackInTheirPlaces)
{
    RCKMesh* source = NewMesh("empty");
    source->AddChannelEx(nullptr, TRUE, 3);
    source->SetChannelType(0, 0);
    EXPECT_EQ(source->GetChannelType(0), 3) << "a texture channel needs a material";
    source->AddChannelEx(NewMaterial("b"), FALSE, 2);
    source->SetFlags(source->GetFlags() | CKMESH_TANGENTS);
    CKStateChunk* chunk = CKSaveObjectState(source);
    RCKMesh* loaded = NewMesh("loaded");
    EXPECT_EQ(loaded->Load(chunk, nullptr), CKErr::Ok);
    EXPECT_EQ(loaded->GetChannelCount(), 2);
    CKDeleteStateChunk(chunk);
}

TEST_F(MeshPersistence, TwoTextureChannelsOfOneMaterialDoNotShiftTheDataChannelsAfterThem)
{
    RCKMesh* source = NewMesh("shared");
    source->SetVertexCount(2);
    CKMaterial* a = NewMaterial("a");
    source->AddChannel(a, FALSE);
    source->AddChannel(NewMaterial("b"), FALSE);
    source->SetChannelMaterial(1, a);
    const int data = source->AddChannelEx(nullptr, FALSE, 2);
    const float values[2] = {3.0f, 4.0f};
    source->SetChannelData(1, data, values);
    CKStateChunk* chunk = CKSaveObjectState(source);
    RCKMesh* loaded = NewMesh("loaded");
    ASSERT_EQ(loaded->Load(chunk, nullptr), CKErr::Ok);
    ASSERT_EQ(loaded->GetChannelCount(), 2) << "the two entries of a became one channel";
    float out[2] = {};
    loaded->GetChannelData(1, 1, out);
    EXPECT_EQ(out[0], 3.0f);
    EXPECT_EQ(out[1], 4.0f);
    CKDeleteStateChunk(chunk);
}

TEST_F(MeshPersistence, RenderDataIsSavedWhenTheVariableAsksForIt)
{
    CKMaterial* a = NewMaterial("A");
    CKMaterial* b = NewMaterial("B");
    const CKDWORD A = a->GetID(), B = b->GetID();
    // Indices in the order the faces give them.
    m_Context->GetVariableManager()->SetValue("CK2_3D/VertexCache", 0);
    for (int n : {4, 65535}) {
        SCOPED_TRACE(n);
        RCKMesh* mesh = NewMesh("two faces");
        mesh->SetVertexCount(n);
        mesh->SetFaceCount(2);
        mesh->SetFaceVertexIndex(0, 0, 1, 2);
        mesh->SetFaceVertexIndex(1, 1, 3, 2);
        mesh->SetFaceMaterial(0, a);
        mesh->SetFaceMaterial(1, b);
        ASSERT_EQ(mesh->BuildMaterialGroups(), 1);
        const CKDWORD id = n < 65535 ? CK_STATESAVE_MESHRENDERDATA : CK_STATESAVE_MESHRENDERDATA32;
        EXPECT_TRUE(SectionWords(mesh, id, 1).empty()) << "not without the variable";
        m_Context->GetVariableManager()->SetValue("CK2_3D/SaveOptimizedMesh", 1);
        std::vector<CKDWORD> expected;
        if (n < 65535) {
            expected = {3,
                        // The default group: no vertex, no face.
                        0, 0, 0, 4, 0, 0, 0, 0, 0,
                        // A: remap 0 1 2 and indices 0 1 2 in 16 bits, face 0.
                        A, 6, 0 | 1 << 16, 2, 6, 0 | 1 << 16, 2, 4, 3, 3, 0, 4, 0, 0,
                        // B: remap 1 3 2, face 1.
                        B, 6, 1 | 3 << 16, 2, 6, 0 | 1 << 16, 2, 4, 3, 3, 0, 4, 1, 0};
        } else {
            expected = {3,
                        // Leading 0, material, flags, one primitive: its leading 0,
                        // remap, indices, type, counts and strips; then the faces.
                        0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 0, 0, A, 0, 1, 0, 12, 0, 1, 2, 6, 0 | 1 << 16, 2, 4, 3, 3, 0,
                        4, 0, 0, B, 0, 1, 0, 12, 1, 3, 2, 6, 0 | 1 << 16, 2, 4, 3, 3, 0, 4, 1};
        }
        EXPECT_EQ(SectionWords(mesh, id, 100), expected);
        // The load builds the groups again from the faces.
        CKStateChunk* chunk = CKSaveObjectState(mesh);
        RCKMesh* loaded = NewMesh("loaded");
        ASSERT_EQ(loaded->Load(chunk, nullptr), CKErr::Ok);
        CKDeleteStateChunk(chunk);
        EXPECT_EQ(loaded->GetFlags() & CKMESH_OPTIMIZED, 0u);
        EXPECT_EQ(loaded->GetMaterialCount(), 2);
        mesh->FacesChanged();
        EXPECT_TRUE(SectionWords(mesh, id, 1).empty()) << "not without the groups built";
        m_Context->GetVariableManager()->SetValue("CK2_3D/SaveOptimizedMesh", 0);
    }
}

TEST_F(MeshPersistence, LoadVerticesReadsOnlyTheVertexSectionAndRefusesOneTheFacesOutgrow)
{
    RCKMesh* cube = Cube(NewMaterial("A"), NewMaterial("B"), NewMaterial("C"));
    EXPECT_EQ(cube->LoadVertices(nullptr), CKErr::InvalidParameter);
    auto vertexChunk = [&](int n) {
        RCKMesh* source = NewMesh("source");
        source->SetVertexCount(n);
        for (int i = 0; i < n; ++i)
            source->SetVertexPosition(i, QxVector((float) i, 5.0f, -1.0f));
        CKStateChunk* chunk =
            SectionChunk(CKCID_MESH, CK_STATESAVE_MESHVERTICES, SectionWords(source, CK_STATESAVE_MESHVERTICES, 1000));
        chunk->SetDataVersion(CK_MESH_DATAVERSION);
        return chunk;
    };
    CKStateChunk* eight = vertexChunk(8);
    ASSERT_EQ(cube->LoadVertices(eight), CKErr::Ok);
    CKDeleteStateChunk(eight);
    QxVector p;
    cube->GetVertexPosition(7, &p);
    EXPECT_EQ(p, QxVector(7, 5, -1));
    EXPECT_EQ(cube->GetFaceCount(), 12) << "the other sections are not read";
    EXPECT_EQ(cube->GetBlendShapeCount(), 1);
    EXPECT_EQ(cube->GetChannelCount(), 1);

    CKStateChunk* none = SectionChunk(CKCID_MESH, CK_STATESAVE_MESHFLAGS, {2});
    none->SetDataVersion(CK_MESH_DATAVERSION);
    EXPECT_EQ(cube->LoadVertices(none), CKErr::Ok);
    CKDeleteStateChunk(none);
    EXPECT_EQ(cube->GetVertexCount(), 8);

    // The faces name vertex 7: seven vertices are too few.
    CKStateChunk* seven = vertexChunk(7);
    EXPECT_EQ(cube->LoadVertices(seven), CKErr::InvalidFile);
    CKDeleteStateChunk(seven);
    EXPECT_TRUE(Consistent(cube));
}

TEST_F(MeshPersistence, EmptyPartsWriteNoSection)
{
    RCKMesh* mesh = NewMesh("bare");
    for (CKDWORD id : kSections)
        if (id != CK_STATESAVE_MESHFLAGS && id != CK_STATESAVE_MESHMATERIALS && id != CK_STATESAVE_MESHBLENDSHAPES) {
            EXPECT_TRUE(SectionWords(mesh, id, 10).empty()) << std::hex << id;
        }
    EXPECT_EQ(SectionWords(mesh, CK_STATESAVE_MESHMATERIALS, 10), (std::vector<CKDWORD>{1, 0, 0}))
        << "the default group";
    EXPECT_EQ(SectionWords(mesh, CK_STATESAVE_MESHBLENDSHAPES, 10), (std::vector<CKDWORD>{0, 0, 0}))
        << "written even empty";
    mesh->SetVertexCount(3);
    EXPECT_FALSE(SectionWords(mesh, CK_STATESAVE_MESHVERTICES, 10).empty());
    for (CKDWORD id : {CK_STATESAVE_MESHFACES, CK_STATESAVE_MESHLINES, CK_STATESAVE_MESHWEIGHTS})
        EXPECT_TRUE(SectionWords(mesh, id, 10).empty()) << std::hex << id;
}

// Every form the vertex block takes: positions stored or left to a skin,
// one diffuse, specular and (u, v) for all or one each, normals stored or
// rebuilt, in meshes of 3 and 300 vertices, each through a chunk and through
// a compressed file. The compact forms are a few
// words whatever the vertex count, and must come back whole.
TEST_F(MeshPersistence, EveryVertexBlockFormComesBackThroughAChunkAndAFile)
{
    CKMaterial* material = NewMaterial("m");
    int checked = 0;
    for (int n : {3, 300})
        for (CKDWORD form = 0; form < 32; ++form) {
            const bool skinned = form & CK_MESHVERTEX_NOPOSITIONS;
            const std::string name = "form" + std::to_string(form) + "_" + std::to_string(n);
            RCKMesh* source = NewMesh(name.c_str());
            source->SetVertexCount(n);
            for (int i = 0; i < n; ++i) {
                const float x = (float) (i % 97), y = (float) (i / 97);
                source->SetVertexPosition(i, QxVector(x, y, (float) ((i * 7) % 5)));
                source->SetVertexNormal(i, QxVector(0.25f, 0.5f, (float) (i % 3)));
                source->SetVertexColor(i, form & CK_MESHVERTEX_ONEDIFFUSE ? 0xFF102030u : 0xFF000000u + (CKDWORD) i);
                source->SetVertexSpecularColor(i, form & CK_MESHVERTEX_ONESPECULAR ? 0x00405060u : (CKDWORD) i);
                if (form & CK_MESHVERTEX_ONEUV)
                    source->SetVertexTextureCoordinates(i, 0.5f, 0.75f);
                else
                    source->SetVertexTextureCoordinates(i, x / 97.0f, -y);
            }
            source->SetFaceCount(n - 2);
            for (int f = 0; f < n - 2; ++f) {
                source->SetFaceVertexIndex(f, f, f + 1, f + 2);
                source->SetFaceMaterial(f, material);
            }
            if (skinned)
                source->SetFlags(source->GetFlags() | CKMESH_NOPOSITIONSSAVED);
            else if (form & CK_MESHVERTEX_NONORMALS)
                source->BuildNormals();
            const CKDWORD expectedFlags = skinned ? 0x1F & (form | CK_MESHVERTEX_NONORMALS) : form;
            ASSERT_EQ(SectionWords(source, CK_STATESAVE_MESHVERTICES, 2).at(1), expectedFlags) << name;

            // What comes back: without positions a mesh keeps zero
            // positions and normals until its skin fills them.
            std::vector<std::vector<CKDWORD>> expected = Arrays(source);
            if (skinned) {
                RCKMesh* zeroed = NewMesh("zeroed");
                CKStateChunk* copy = CKSaveObjectState(source);
                ASSERT_EQ(zeroed->Load(copy, nullptr), CKErr::Ok);
                CKDeleteStateChunk(copy);
                for (int i = 0; i < n; ++i) {
                    QxVector p, q;
                    zeroed->GetVertexPosition(i, &p);
                    zeroed->GetVertexNormal(i, &q);
                    ASSERT_TRUE(p == QxVector() && q == QxVector()) << name << " vertex " << i;
                }
                ASSERT_EQ(zeroed->GetVertexCount(), n) << name;
                ASSERT_EQ(zeroed->GetFaceCount(), n - 2) << name;
                m_Context->DestroyObject(zeroed);
                std::vector<CKDWORD>& vertices = expected[0];
                for (int i = 0; i < n; ++i)
                    for (int w = 0; w < 6; ++w)
                        vertices[(size_t) i * 8 + (size_t) w] = 0;
            }

            CKStateChunk* chunk = CKSaveObjectState(source);
            RCKMesh* loaded = NewMesh("loaded");
            ASSERT_EQ(loaded->Load(chunk, nullptr), CKErr::Ok) << name;
            CKDeleteStateChunk(chunk);
            ASSERT_EQ(loaded->GetVertexCount(), n) << name;
            ASSERT_EQ(loaded->GetFaceCount(), n - 2) << name;
            ASSERT_EQ(Arrays(loaded), expected) << name;
            m_Context->DestroyObject(loaded);

            // Through a file too, as an export writes it.
            std::string path = m_Dir.File("form.qdx");
            CKFile* file = m_Context->CreateCKFile();
            ASSERT_EQ(file->StartSave(path.c_str()), CKErr::Ok);
            file->SaveObject(source, 0xFFFFFFFF);
            ASSERT_EQ(file->EndSave(), CKErr::Ok);
            m_Context->DeleteCKFile(file);
            CKContext* fresh = Fresh();
            CKFile* in = fresh->CreateCKFile();
            ASSERT_EQ(in->Load(path.c_str(), nullptr), CKErr::Ok) << name;
            fresh->DeleteCKFile(in);
            RCKMesh* back = Loaded<RCKMesh>(name.c_str(), CKCID_MESH);
            ASSERT_NE(back, nullptr) << name;
            ASSERT_EQ(Arrays(back), expected) << name;
            m_Context->DestroyObject(source);
            ++checked;
        }
    EXPECT_EQ(checked, 64);
}

namespace {

// The face channel masks of older files take a count, then two masks a
// word for as many faces as both the count and the mesh have, and one more
// word for the last face only when the count is odd and not above the face
// count: a section of exactly those words loads, one word less passes the
// end of the chunk and is refused.
TEST_F(MeshPersistence, OlderFaceChannelMasksReadExactlyTheirWords)
{
    struct Case
    {
        int faces;
        int count;
        int words;
    };
    const Case cases[] = {{4, 0, 0}, {4, 2, 1}, {4, 3, 2}, {4, 4, 2}, {4, 5, 2}, {4, 6, 2},
                          {3, 3, 2}, {3, 4, 1}, {3, 1, 1}, {1, 1, 1}, {1, 2, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.faces << " faces, count " << c.count);
        RCKMesh* source = NewMesh("source");
        source->SetVertexCount(3);
        source->SetFaceCount(c.faces);
        for (int f = 0; f < c.faces; ++f)
            source->SetFaceVertexIndex(f, 0, 1, 2);
        CKStateChunk* whole = CKSaveObjectState(source);
        for (int words = c.words; words >= c.words - 1 && words >= 0; --words) {
            RCKMesh* target = NewMesh("target");
            ASSERT_EQ(target->Load(whole, nullptr), CKErr::Ok);
            std::vector<CKDWORD> section = {(CKDWORD) c.count};
            section.resize(1 + (size_t) words, 0x12345678);
            CKStateChunk* masks = SectionChunk(CKCID_MESH, CK_STATESAVE_MESHFACECHANMASK, section);
            masks->SetDataVersion(CK_MESH_DATAVERSION);
            EXPECT_EQ(target->Load(masks, nullptr), words == c.words ? CKErr::Ok : CKErr::InvalidFile) << words;
            CKDeleteStateChunk(masks);
            m_Context->DestroyObject(target);
        }
        CKDeleteStateChunk(whole);
        m_Context->DestroyObject(source);
    }
}

} // namespace
