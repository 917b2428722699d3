// The exporter's welding of face corners into engine vertices against
// Assimp's JoinIdenticalVertices and meshoptimizer's multi-stream remap, on
// the same corner streams: the host vertex (an extra stream), position,
// normal and texture coordinates of every face corner.
#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>
#include <meshoptimizer.h>
#include <vector>

#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "bench/BenchCase.h"
#include "exporter/geometry/MeshBuilder.h"

namespace {

BENCH_CASE_DOES("MeshWeld",
                "a host grid mesh with UV islands and creases as one record per face corner (host vertex, position, "
                "normal, uv) welded into vertices and faces: ours MeshBuilder::Weld (hashed, exact), assimp "
                "JoinIdenticalVertices on a scene read beforehand, meshoptimizer remap plus remapped buffers; each "
                "into fresh memory");

// The corners of a grid of about faces triangles: positions per host
// vertex; normals per corner, broken along every 8th column; texture
// coordinates per corner, an island every 16 rows.
struct Corners
{
    int faceCount = 0;
    std::vector<QxVector> hostPositions;
    std::vector<unsigned> host;
    std::vector<QxVector> positions;
    std::vector<QxVector> normals;
    std::vector<MeshTexCoord> uvs;
};

Corners MakeCorners(int faces)
{
    Corners c;
    int n = 1;
    while (2 * n * n < faces)
        ++n;
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x)
            c.hostPositions.push_back(QxVector((float) x, (float) ((x * 7 + y * 3) % 5), (float) y));
    auto corner = [&](int x, int y, int column, int row) {
        const int v = y * (n + 1) + x;
        c.host.push_back((unsigned) v);
        c.positions.push_back(c.hostPositions[(size_t) v]);
        const bool crease = x % 8 == 0 && column >= x;
        c.normals.push_back(crease ? QxVector(1.0f, 0.0f, 0.0f) : QxVector(0.0f, 1.0f, 0.0f));
        MeshTexCoord uv;
        uv.u = (float) x / (float) n;
        uv.v = (float) y / (float) n + (float) (row / 16);
        c.uvs.push_back(uv);
    };
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            corner(x, y, x, y);
            corner(x, y + 1, x, y);
            corner(x + 1, y, x, y);
            corner(x + 1, y, x, y);
            corner(x, y + 1, x, y);
            corner(x + 1, y + 1, x, y);
        }
    c.faceCount = 2 * n * n;
    return c;
}

// The builder as the mesh conversion fills it: one normal and one
// coordinate per corner, each with its own face list.
std::unique_ptr<MeshBuilder> Fill(const Corners& c)
{
    auto b = std::make_unique<MeshBuilder>(FALSE, nullptr);
    for (const QxVector& p : c.hostPositions)
        b->positions.PushBack(p);
    b->normals.Reserve((int) c.normals.size());
    b->coordinates[0].Reserve((int) c.uvs.size());
    for (size_t i = 0; i < c.normals.size(); ++i) {
        b->normals.PushBack(c.normals[i]);
        b->coordinates[0].PushBack(c.uvs[i]);
    }
    for (int f = 0; f < c.faceCount; ++f) {
        const CKDWORD k = 3 * (CKDWORD) f;
        b->AddFace(c.host[k], c.host[k + 1], c.host[k + 2], nullptr);
        b->AddNormalFace(k, k + 1, k + 2);
        b->AddChannelFace(k, k + 1, k + 2, 0);
    }
    return b;
}

void MeshWeldOurs(benchmark::State& state)
{
    const Corners c = MakeCorners((int) state.range(0));
    int vertices = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<MeshBuilder> b = Fill(c);
        state.ResumeTiming();
        b->Weld(TRUE);
        vertices = b->weldedVertices.Size();
        benchmark::DoNotOptimize(b->weldedFaces.Begin());
        state.PauseTiming();
        b.reset();
        state.ResumeTiming();
    }
    state.counters["vertices"] = vertices;
    state.SetItemsProcessed(state.iterations() * 3 * (int64_t) c.faceCount);
}

// The same corners as one Assimp mesh of unshared vertices, the host vertex
// in a second coordinate set, saved in Assimp's own binary form so that each
// run reads a fresh scene (outside the timing).
std::vector<char> AssimpScene(const Corners& c)
{
    auto scene = std::make_unique<aiScene>();
    scene->mRootNode = new aiNode;
    scene->mRootNode->mNumMeshes = 1;
    scene->mRootNode->mMeshes = new unsigned[1]{0};
    scene->mNumMaterials = 1;
    scene->mMaterials = new aiMaterial* [1] { new aiMaterial };
    scene->mNumMeshes = 1;
    scene->mMeshes = new aiMesh*[1];
    aiMesh* m = new aiMesh;
    scene->mMeshes[0] = m;
    const unsigned corners = (unsigned) c.positions.size();
    m->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    m->mNumVertices = corners;
    m->mVertices = new aiVector3D[corners];
    m->mNormals = new aiVector3D[corners];
    m->mTextureCoords[0] = new aiVector3D[corners];
    m->mTextureCoords[1] = new aiVector3D[corners];
    m->mNumUVComponents[0] = m->mNumUVComponents[1] = 2;
    for (unsigned i = 0; i < corners; ++i) {
        m->mVertices[i] = aiVector3D(c.positions[i].x, c.positions[i].y, c.positions[i].z);
        m->mNormals[i] = aiVector3D(c.normals[i].x, c.normals[i].y, c.normals[i].z);
        m->mTextureCoords[0][i] = aiVector3D(c.uvs[i].u, c.uvs[i].v, 0.0f);
        m->mTextureCoords[1][i] = aiVector3D((float) c.host[i], 0.0f, 0.0f);
    }
    m->mNumFaces = (unsigned) c.faceCount;
    m->mFaces = new aiFace[m->mNumFaces];
    for (unsigned f = 0; f < m->mNumFaces; ++f) {
        m->mFaces[f].mNumIndices = 3;
        m->mFaces[f].mIndices = new unsigned[3]{3 * f, 3 * f + 1, 3 * f + 2};
    }
    Assimp::Exporter exporter;
    const aiExportDataBlob* blob = exporter.ExportToBlob(scene.get(), "assbin");
    return blob ? std::vector<char>((const char*) blob->data, (const char*) blob->data + blob->size)
                : std::vector<char>();
}

void MeshWeldAssimp(benchmark::State& state)
{
    const Corners c = MakeCorners((int) state.range(0));
    const std::vector<char> file = AssimpScene(c);
    if (file.empty()) {
        state.SkipWithError("Assimp cannot write its binary scene");
        return;
    }
    int vertices = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Assimp::Importer importer;
        importer.ReadFileFromMemory(file.data(), file.size(), 0, "assbin");
        state.ResumeTiming();
        const aiScene* joined = importer.ApplyPostProcessing(aiProcess_JoinIdenticalVertices);
        vertices = joined ? (int) joined->mMeshes[0]->mNumVertices : 0;
        state.PauseTiming();
        importer.FreeScene();
        state.ResumeTiming();
    }
    state.counters["vertices"] = vertices;
    state.SetItemsProcessed(state.iterations() * 3 * (int64_t) c.faceCount);
}

void MeshWeldMeshoptimizer(benchmark::State& state)
{
    const Corners c = MakeCorners((int) state.range(0));
    const size_t corners = c.positions.size();
    const meshopt_Stream streams[] = {{c.host.data(), 4, 4},
                                      {c.positions.data(), 12, 12},
                                      {c.normals.data(), 12, 12},
                                      {c.uvs.data(), 8, sizeof(MeshTexCoord)}};
    size_t vertices = 0;
    for (auto _ : state) {
        std::vector<unsigned> remap(corners);
        vertices = meshopt_generateVertexRemapMulti(remap.data(), nullptr, corners, corners, streams, 4);
        std::vector<unsigned> indices(corners);
        meshopt_remapIndexBuffer(indices.data(), nullptr, corners, remap.data());
        std::vector<QxVector> positions(vertices), normals(vertices);
        std::vector<MeshTexCoord> uvs(vertices);
        meshopt_remapVertexBuffer(positions.data(), c.positions.data(), corners, sizeof(QxVector), remap.data());
        meshopt_remapVertexBuffer(normals.data(), c.normals.data(), corners, sizeof(QxVector), remap.data());
        meshopt_remapVertexBuffer(uvs.data(), c.uvs.data(), corners, sizeof(MeshTexCoord), remap.data());
        benchmark::DoNotOptimize(indices.data());
        benchmark::DoNotOptimize(uvs.data());
    }
    state.counters["vertices"] = (double) vertices;
    state.SetItemsProcessed(state.iterations() * 3 * (int64_t) c.faceCount);
}

} // namespace

BENCHMARK(MeshWeldOurs)->Name("MeshWeld/ours")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(MeshWeldAssimp)->Name("MeshWeld/assimp")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(MeshWeldMeshoptimizer)
    ->Name("MeshWeld/meshoptimizer")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
