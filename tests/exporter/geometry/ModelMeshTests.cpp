#include <cstring>
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
        Interface ip(scene);
        ip.SetEcho(false);
        ip.SetReportOutput(nullptr);
        Max2Qdx exporter;
        ExportBuilder builder(m_Context, TRUE);
        builder.exporter = &exporter;
        exporter.builder = &builder;
        exporter.context = m_Context;
        exporter.maxInterface = &ip;
        exporter.progressStarted = 0;
        int count = 0;
        exporter.CollectNodes(scene.GetRootNode(), &count);
        exporter.ExportMaterials();
        INode* root = scene.GetRootNode();
        for (int i = 0; i < root->NumberOfChildren(); ++i)
            exporter.ExportNode(root->GetChildNode(i));
        for (MeshBuilder* kept : builder.meshBuilders) {
            ASSERT_EQ(kept->weldedVertices.Size(), (int) RemapVertexCount(*kept));
            ++meshes;
        }
        exporter.builder = nullptr;
        m_Context->ClearAll();
    }
    EXPECT_GT(meshes, 50);
}

} // namespace
