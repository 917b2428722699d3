#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <meshoptimizer.h>

#include "exporter/builder/ExportBuilder.h"
#include "exporter/driver/DriverState.h"
#include "exporter/options/Max2Qdx.h"
#include "platform/host/HostModelImport.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "render/mesh/CKMesh.h"
#include "tests/exporter/support/ExporterTestSupport.h"
#include "tests/platform/host/HostTestModels.h"
#include "tests/support/TestModels.h"
#include "tests/support/TestPaths.h"

namespace {

// The corner streams the welding compares, as meshoptimizer's remap sees
// them: the host vertex (an extra stream, so corners of two vertices never
// join), the position, the normal and colour when the mesh has them, u and v
// of every channel. Zeros are made +0: the welding holds -0 equal to +0,
// meshoptimizer compares bytes.
size_t RemapVertexCount(const MeshBuilder& b)
{
    const int faceCount = b.faces.Size();
    const size_t corners = 3 * (size_t) faceCount;
    const bool withNormals = b.weldedVertices.Size() && b.weldedVertices[0].normalIndex >= 0;
    const bool withColours = b.weldedVertices.Size() && b.weldedVertices[0].colourIndex >= 0;
    std::vector<unsigned> host(corners);
    std::vector<float> positions, normals, colours, uvs;
    auto push = [](std::vector<float>& out, const float* values, int n) {
        for (int i = 0; i < n; ++i)
            out.push_back(values[i] == 0.0f ? 0.0f : values[i]);
    };
    auto index = [&](const XArray<MeshIndexFace>& list, int f, int k) {
        return list.Size() ? (int) list[f].index[k] : (int) b.faces[f].index[k];
    };
    for (int f = 0; f < faceCount; ++f)
        for (int k = 0; k < 3; ++k) {
            const int p = (int) b.faces[f].index[k];
            host[3 * (size_t) f + (size_t) k] = (unsigned) p;
            push(positions, &b.positions[p].x, 3);
            if (withNormals)
                push(normals, &b.normals[index(b.normalFaces, f, k)].x, 3);
            if (withColours)
                push(colours, &b.colours[index(b.colourFaces, f, k)].r, 4);
            for (int c = 0; c < b.channelCount; ++c) {
                const MeshTexCoord& uv = b.coordinates[c][index(b.coordinateFaces[c], f, k)];
                const float pair[2] = {uv.u, uv.v};
                push(uvs, pair, 2);
            }
        }
    std::vector<meshopt_Stream> streams;
    streams.push_back({host.data(), sizeof(unsigned), sizeof(unsigned)});
    streams.push_back({positions.data(), 12, 12});
    if (withNormals)
        streams.push_back({normals.data(), 12, 12});
    if (withColours)
        streams.push_back({colours.data(), 16, 16});
    if (b.channelCount)
        streams.push_back({uvs.data(), 8 * (size_t) b.channelCount, 8 * (size_t) b.channelCount});
    std::vector<unsigned> remap(corners);
    return meshopt_generateVertexRemapMulti(remap.data(), nullptr, corners, corners, streams.data(), streams.size());
}

// Converts a host scene as the driver converts it (materials, then the
// objects) and hands the exporter and its builder to inspect before the
// context is cleared.
template <class Inspect>
void ConvertAsTheDriver(CKContext* context, HostScene& scene, Inspect&& inspect, int reportLevel = -1)
{
    Interface ip(scene);
    ip.SetEcho(false);
    ip.SetReportOutput(nullptr);
    Max2Qdx exporter;
    if (reportLevel >= 0)
        exporter.reportLevel = reportLevel;
    ExportBuilder builder(context, TRUE);
    builder.exporter = &exporter;
    exporter.builder = &builder;
    exporter.context = context;
    exporter.maxInterface = &ip;
    exporter.progressStarted = 0;
    int count = 0;
    exporter.CollectNodes(scene.GetRootNode(), &count);
    exporter.ExportMaterials();
    INode* root = scene.GetRootNode();
    for (int i = 0; i < root->NumberOfChildren(); ++i)
        exporter.ExportNode(root->GetChildNode(i));
    inspect(exporter, builder);
    exporter.builder = nullptr;
    context->ClearAll();
}

using ModelMeshes = EngineFixture;

// Every shared model, converted as the driver converts it (materials, then
// the objects): each engine mesh has as many vertices as meshoptimizer's
// remap finds on the same corners.
TEST_F(ModelMeshes, EveryEngineMeshHasTheVertexCountOfMeshoptimizersRemap)
{
    SKIP_WITHOUT_SHARED_DATA();
    const std::vector<std::string> files = TestListModelFiles(TestSharedDataDir() + "/models");
    ASSERT_FALSE(files.empty());
    GetExportDriverState().onlySelectedNodes = FALSE;
    int meshes = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        HostScene scene;
        std::string error;
        if (!ImportHostModel(path, scene, error))
            continue; // refused by the host: the host's tests say which and why
        ConvertAsTheDriver(m_Context, scene, [&](Max2Qdx&, ExportBuilder& builder) {
            for (MeshBuilder* kept : builder.meshBuilders) {
                ASSERT_EQ(kept->weldedVertices.Size(), (int) RemapVertexCount(*kept));
                ++meshes;
            }
        });
    }
    EXPECT_GT(meshes, 50);
}

// Converts a model as the driver does and gives the number of engine meshes
// made, with the report.
int ExportedMeshCount(CKContext* context, const std::string& path, std::string& report)
{
    GetExportDriverState().onlySelectedNodes = FALSE;
    HostScene scene;
    std::string error;
    if (!ImportHostModel(path, scene, error)) {
        ADD_FAILURE() << error;
        return -1;
    }
    int meshes = 0;
    ConvertAsTheDriver(
        context, scene,
        [&](Max2Qdx& exporter, ExportBuilder&) {
            meshes = context->GetObjectsCountByClassID(CKCID_MESH);
            report = exporter.GetReportText();
        },
        3);
    return meshes;
}

} // namespace

// Nodes of a model file that draw the same meshes are instances in the
// host: the exporter makes one engine mesh for them.
TEST_F(ModelMeshes, NodesDrawingTheSameMeshesShareOneEngineMesh)
{
    // Two nodes draw mesh 0, a third meshes 0 and 1.
    TestTempDir dir;
    const std::string model = dir.File("twins.gltf");
    std::ofstream(model)
        << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 1, 2]}],)"
        << R"("nodes": [{"name": "first", "mesh": 0}, {"name": "second", "mesh": 0, "translation": [5, 0, 0]},)"
        << R"({"name": "third", "mesh": 1}],)" << kThreeVerticesGltf
        << R"("meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]},)"
        << R"({"primitives": [{"attributes": {"POSITION": 0}}, {"attributes": {"POSITION": 0}, "mode": 4}]}]})";
    std::string report;
    EXPECT_EQ(ExportedMeshCount(m_Context, model, report), 2);
    EXPECT_NE(report.find("Mesh Instance : second....."), std::string::npos) << report;
    EXPECT_EQ(report.find("Mesh Instance : third"), std::string::npos) << report;

    // 2CylinderEngine draws its 34 meshes from 67 nodes in 29 lists.
    SKIP_WITHOUT_SHARED_DATA();
    EXPECT_EQ(ExportedMeshCount(
                  m_Context,
                  TestSharedDataDir() + "/models/assimp/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb", report),
              29);
}
