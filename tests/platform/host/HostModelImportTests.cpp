#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <sys/stat.h>

#include "platform/host/GenCamera.h"
#include "platform/host/GenLight.h"
#include "platform/host/HostCommandLine.h"
#include "platform/host/HostDump.h"
#include "platform/host/HostModelImport.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"
#include "platform/host/TriObject.h"
#include "tests/platform/host/HostTestMath.h"
#include "tests/platform/host/HostTestModels.h"
#include "tests/support/TestModels.h"
#include "tests/support/TestPaths.h"

namespace {

using json = nlohmann::json;

std::string ModelsDir()
{
    return TestSharedDataDir() + "/models/";
}

const char* const kDebianModels = "/usr/share/assimp/models/";

size_t CountNodes(const aiNode* n)
{
    size_t count = 1;
    for (unsigned i = 0; i < n->mNumChildren; ++i)
        count += CountNodes(n->mChildren[i]);
    return count;
}

template <class T>
size_t CountItems(const HostScene& scene)
{
    size_t count = 0;
    for (const auto& item : scene.Items())
        count += dynamic_cast<const T*>(item.get()) != nullptr;
    return count;
}

struct ImportOutcome
{
    bool assimpImports = false;
    bool ours = false;
    std::string error;
};

// Imports the file both ways and checks the counts; gives what happened.
ImportOutcome CheckModel(const std::string& path)
{
    ImportOutcome r;
    Assimp::Importer importer;
    const aiScene* ai = importer.ReadFile(path, kHostModelImportFlags);
    r.assimpImports = ai != nullptr;
    HostScene scene;
    r.ours = ImportHostModel(path, scene, r.error);
    if (!ai) {
        EXPECT_FALSE(r.ours);
        EXPECT_EQ(r.error.rfind(path + ": Assimp cannot import it: ", 0), 0u) << r.error;
        return r;
    }
    // Whatever Assimp imports imports (missing textures included), unless
    // it holds numbers no scene holds.
    if (!r.ours) {
        EXPECT_NE(r.error.find(" is not a finite number"), std::string::npos) << r.error;
        return r;
    }
    EXPECT_EQ(scene.Nodes().size(), CountNodes(ai->mRootNode));
    EXPECT_EQ(CountItems<GenCamera>(scene), ai->mNumCameras);
    EXPECT_EQ(CountItems<GenLight>(scene), ai->mNumLights);
    EXPECT_EQ(scene.Takes().size(), ai->mNumAnimations);
    return r;
}

// glTF's own arithmetic: column vectors, m[column * 4 + row].
struct Mat4
{
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double& at(int row, int col) { return m[col * 4 + row]; }
    double at(int row, int col) const { return m[col * 4 + row]; }
    Mat4 operator*(const Mat4& b) const
    {
        Mat4 r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                double s = 0;
                for (int k = 0; k < 4; ++k)
                    s += at(i, k) * b.at(k, j);
                r.at(i, j) = s;
            }
        return r;
    }
};

// The rotation of a quaternion, normalised first (files round them).
Mat4 Rotation(double x, double y, double z, double w)
{
    const double length = std::sqrt(x * x + y * y + z * z + w * w);
    x /= length;
    y /= length;
    z /= length;
    w /= length;
    Mat4 r;
    r.at(0, 0) = 1 - 2 * (y * y + z * z);
    r.at(0, 1) = 2 * (x * y - z * w);
    r.at(0, 2) = 2 * (x * z + y * w);
    r.at(1, 0) = 2 * (x * y + z * w);
    r.at(1, 1) = 1 - 2 * (x * x + z * z);
    r.at(1, 2) = 2 * (y * z - x * w);
    r.at(2, 0) = 2 * (x * z - y * w);
    r.at(2, 1) = 2 * (y * z + x * w);
    r.at(2, 2) = 1 - 2 * (x * x + y * y);
    return r;
}

// A node's local matrix, its rotation replaced when one is given.
Mat4 Local(const json& node, const double* rotation = nullptr)
{
    Mat4 m;
    if (node.contains("matrix")) {
        for (int i = 0; i < 16; ++i)
            m.m[i] = node["matrix"][i].get<double>();
        return m;
    }
    Mat4 t, r, s;
    if (node.contains("translation"))
        for (int i = 0; i < 3; ++i)
            t.at(i, 3) = node["translation"][i].get<double>();
    if (rotation)
        r = Rotation(rotation[0], rotation[1], rotation[2], rotation[3]);
    else if (node.contains("rotation"))
        r = Rotation(node["rotation"][0].get<double>(), node["rotation"][1].get<double>(),
                     node["rotation"][2].get<double>(), node["rotation"][3].get<double>());
    if (node.contains("scale"))
        for (int i = 0; i < 3; ++i)
            s.at(i, i) = node["scale"][i].get<double>();
    return t * r * s;
}

// The host matrix the file's world matrix should become: its rows the file's
// columns, the whole turned from +Y up to +Z up ((x, y, z) -> (x, -z, y)) on
// both sides, except that a camera keeps its own frame (both look down their
// -Z with +Y up), so only the world side turns.
Matrix3 Expected(const Mat4& w, bool camera)
{
    const auto turn = [](double x, double y, double z) { return Point3(float(x), float(-z), float(y)); };
    Point3 rows[4];
    for (int c = 0; c < 4; ++c)
        rows[c] = turn(w.at(0, c), w.at(1, c), w.at(2, c));
    if (camera)
        return Matrix3(rows[0], rows[1], rows[2], rows[3]);
    // The local axes turn too: local x stays, local y is the old -z, local z the old y.
    return Matrix3(rows[0], -rows[2], rows[1], rows[3]);
}

std::vector<unsigned char> Base64(const std::string& text)
{
    std::vector<unsigned char> out;
    int bits = 0, value = 0;
    for (const char c : text) {
        const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* p = std::strchr(table, c);
        if (!p || !c)
            continue;
        value = value << 6 | int(p - table);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back((unsigned char) (value >> bits & 0xFF));
        }
    }
    return out;
}

// The world matrices the dump prints, in node order.
std::vector<Matrix3> DumpedWorlds(const std::string& dump)
{
    std::vector<Matrix3> out;
    std::istringstream lines(dump);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t at = line.find("world at ");
        if (at == std::string::npos)
            continue;
        float v[12];
        const char* p = std::strchr(line.c_str() + at, ':') + 1;
        for (float& f : v) {
            while (*p == ' ' || *p == '[' || *p == ']')
                ++p;
            f = std::strtof(p, const_cast<char**>(&p));
        }
        out.emplace_back(Point3(v[0], v[1], v[2]), Point3(v[3], v[4], v[5]), Point3(v[6], v[7], v[8]),
                         Point3(v[9], v[10], v[11]));
    }
    return out;
}

// Checks every node's world matrix at time t against the file's numbers;
// rotationOf gives a node's animated rotation at t (null when it has none).
void CheckWorlds(const std::string& path, TimeValue t, const std::function<const double*(int)>& rotationOf)
{
    std::ifstream in(path);
    const json gltf = json::parse(in);
    HostScene scene;
    std::string error;
    ASSERT_TRUE(ImportHostModel(path, scene, error)) << error;
    const std::vector<Matrix3> dumped = DumpedWorlds(DumpHostScene(scene));
    ASSERT_EQ(dumped.size(), scene.Nodes().size());
    // The file's nodes in the importer's order: depth first, children in order.
    std::vector<std::pair<int, Mat4>> order;
    std::function<void(int, const Mat4&)> walk = [&](int index, const Mat4& parent) {
        const json& node = gltf["nodes"][size_t(index)];
        const Mat4 world = parent * Local(node, rotationOf(index));
        order.emplace_back(index, world);
        if (node.contains("children"))
            for (const json& child : node["children"])
                walk(child.get<int>(), world);
    };
    const json& roots = gltf["scenes"][0]["nodes"];
    if (roots.size() > 1)
        order.emplace_back(-1, Mat4()); // Assimp's own root above several
    for (const json& root : roots)
        walk(root.get<int>(), Mat4());
    ASSERT_EQ(order.size(), scene.Nodes().size());
    for (size_t i = 0; i < order.size(); ++i) {
        SCOPED_TRACE("node " + std::to_string(order[i].first));
        const bool camera = order[i].first >= 0 && gltf["nodes"][size_t(order[i].first)].contains("camera");
        const Matrix3 expected = Expected(order[i].second, camera);
        ExpectNear(scene.Nodes()[i]->GetNodeTM(t), expected, 1e-5f);
        if (t == scene.Settings().animStart)
            ExpectNear(dumped[i], expected, 1e-5f);
    }
}

const double* NoRotation(int)
{
    return nullptr;
}

} // namespace

TEST(HostModelImport, EverySharedModelImportsWithAssimpsCounts)
{
    SKIP_WITHOUT_SHARED_DATA();
    std::vector<std::string> files = TestListModelFiles(ModelsDir() + "assimp");
    for (const std::string& path : TestListModelFiles(ModelsDir() + "qmuntal-gltf"))
        files.push_back(path);
    int models = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        ++models;
        CheckModel(path);
    }
    EXPECT_EQ(models, 38);
}

TEST(HostModelImport, EveryGltfFbxAnd3dsModelOfThePackageThatAssimpImportsImports)
{
    const std::vector<std::string> files = TestListFiles(kDebianModels, {".gltf", ".glb", ".fbx", ".3ds"});
    if (files.empty())
        GTEST_SKIP() << "the assimp-testmodels package is not installed (" << kDebianModels << ")";
    int imported = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        if (CheckModel(path).ours)
            ++imported;
    }
    EXPECT_GT(imported, 50);
}

TEST(HostModelImport, GltfWorldMatricesFollowTheFilesOwnNumbers)
{
    SKIP_WITHOUT_SHARED_DATA();
    // A box whose node turns Z up by a matrix; a camera scene.
    CheckWorlds(ModelsDir() + "assimp/glTF2/BoxTextured-glTF/BoxTextured.gltf", 0, NoRotation);
    CheckWorlds(ModelsDir() + "assimp/glTF2/cameras/Cameras.gltf", 0, NoRotation);
}

TEST(HostModelImport, AnAnimatedGltfHierarchyFollowsItsKeys)
{
    SKIP_WITHOUT_SHARED_DATA();
    // simple_skin: nodes 0 > 1 > 2, node 2's rotation keyed (accessor 5 the
    // times in seconds, accessor 6 the rotations, both in buffer 3).
    const std::string path = ModelsDir() + "assimp/glTF2/simple_skin/simple_skin.gltf";
    std::ifstream in(path);
    const json gltf = json::parse(in);
    const std::string uri = gltf["buffers"][3]["uri"].get<std::string>();
    const std::vector<unsigned char> bytes = Base64(uri.substr(uri.find(',') + 1));
    ASSERT_EQ(bytes.size(), 240u);
    const auto floatAt = [&](size_t offset) {
        float f;
        std::memcpy(&f, &bytes[offset], 4);
        return f;
    };
    for (const int key : {0, 3, 7}) {
        SCOPED_TRACE("key " + std::to_string(key));
        const double seconds = floatAt(size_t(key) * 4);
        double rotation[4];
        for (int c = 0; c < 4; ++c)
            rotation[c] = floatAt(48 + size_t(key) * 16 + size_t(c) * 4);
        CheckWorlds(path, TimeValue(std::lround(seconds * TIME_TICKSPERSEC)),
                    [&](int node) { return node == 2 ? rotation : nullptr; });
    }
}

TEST(HostModelImport, CamerasAndLightsLookDownTheirLocalMinusZ)
{
    SKIP_WITHOUT_SHARED_DATA();
    for (const char* file :
         {"assimp/FBX/global_settings.fbx", "assimp/Collada/lights.dae", "assimp/Collada/cameras.dae",
          "assimp/FBX/huesitos.fbx", "assimp/glTF2/cameras/Cameras.gltf"}) {
        SCOPED_TRACE(file);
        const std::string path = ModelsDir() + file;
        Assimp::Importer importer;
        const aiScene* ai = importer.ReadFile(path, 0);
        ASSERT_NE(ai, nullptr);
        HostScene scene;
        std::string error;
        ASSERT_TRUE(ImportHostModel(path, scene, error)) << error;
        // Where the file says each camera and light looks, in world axes turned Z up.
        std::map<std::string, aiVector3D> looks;
        for (unsigned i = 0; i < ai->mNumCameras; ++i)
            looks[ai->mCameras[i]->mName.C_Str()] = ai->mCameras[i]->mLookAt;
        for (unsigned i = 0; i < ai->mNumLights; ++i)
            if (ai->mLights[i]->mType == aiLightSource_SPOT || ai->mLights[i]->mType == aiLightSource_DIRECTIONAL)
                looks[ai->mLights[i]->mName.C_Str()] = ai->mLights[i]->mDirection;
        int checked = 0;
        for (const INode* n : scene.Nodes()) {
            const auto look = looks.find(n->GetName());
            if (look == looks.end())
                continue;
            const aiNode* node = ai->mRootNode->FindNode(n->GetName());
            aiMatrix4x4 world = node->mTransformation;
            for (const aiNode* up = node->mParent; up; up = up->mParent)
                world = up->mTransformation * world;
            const aiVector3D d = aiMatrix3x3(world) * look->second;
            const Point3 expected = Normalize(Point3(d.x, -d.z, d.y));
            const Point3 minusZ = Normalize(-n->GetNodeTM(0).GetRow(2));
            EXPECT_NEAR(DotProd(expected, minusZ), 1.0f, 1e-5f) << n->GetName();
            ++checked;
        }
        EXPECT_EQ(size_t(checked), looks.size());
    }
    HostScene fbx;
    std::string error;
    ASSERT_TRUE(ImportHostModel(ModelsDir() + "assimp/FBX/global_settings.fbx", fbx, error)) << error;
    EXPECT_EQ(fbx.Settings().unitType, 4);
    HostScene lights;
    ASSERT_TRUE(ImportHostModel(ModelsDir() + "assimp/Collada/lights.dae", lights, error)) << error;
    int spots = 0;
    for (const INode* n : lights.Nodes())
        if (const GenLight* l = dynamic_cast<const GenLight*>(n->GetObjectRef()); l && l->Type() == SPOT_LGT) {
            ++spots;
            // A quarter and three quarters of a turn, as whole cone angles.
            EXPECT_NEAR(l->State().hotsize, 45.0f, 1e-3f);
            EXPECT_NEAR(l->State().fallsize, 135.0f, 1e-3f);
        }
    EXPECT_EQ(spots, 1);
}

TEST(HostModelImport, AnimationsFollowOneAnotherOnTheTimeline)
{
    SKIP_WITHOUT_SHARED_DATA();
    HostScene scene;
    std::string error;
    ASSERT_TRUE(ImportHostModel(ModelsDir() + "assimp/glTF2/MorphStressTest/glTF/MorphStressTest.gltf", scene, error))
        << error;
    const std::vector<AnimationTake>& takes = scene.Takes();
    ASSERT_EQ(takes.size(), 3u);
    EXPECT_EQ(takes[0].start, 0);
    for (size_t i = 1; i < takes.size(); ++i)
        EXPECT_EQ(takes[i].start, takes[i - 1].end + scene.Settings().ticksPerFrame);
    EXPECT_EQ(scene.Settings().animEnd, takes.back().end);
    EXPECT_EQ(scene.Settings().unitType, 5);
}

TEST(HostModelImport, RefusalsNameTheFileAndEndWithExitCode2)
{
    SKIP_WITHOUT_SHARED_DATA();
    struct Case
    {
        const char* file;
        const char* message;
    };
    const Case cases[] = {
        {"assimp/glTF2/MissingBin/BoxTextured.gltf",
         "Assimp cannot import it: GLTF: could not open referenced file \"BoxTextured0.bin\""},
        {"assimp/glTF2/no-such-file.gltf", "cannot be opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = ModelsDir() + c.file;
        const char* argv[] = {"qdxexport", path.c_str(), "out.qdx"};
        char* errText = nullptr;
        size_t errSize = 0;
        FILE* err = open_memstream(&errText, &errSize);
        EXPECT_EQ(RunHostCommandLine(3, argv, {}, nullptr, stdout, err), 2);
        std::fclose(err);
        EXPECT_EQ(std::string(errText), "qdxexport: " + path + ": " + c.message + "\n");
        std::free(errText);
    }
}

TEST(HostModelImport, AFileAssimpReadsButTheHostRefusesNamesTheFile)
{
    // One triangle whose second vertex has a NaN for its y.
    TestTempDir dir;
    const std::string model = dir.File("nan.gltf");
    std::ofstream(model)
        << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"name": "n", "mesh": 0}],)"
        << R"("buffers": [{"byteLength": 36, "uri": "data:application/octet-stream;base64,)"
        << R"(AAAAAAAAAAAAAAAAAACAPwAAwH8AAAAAAAAAAAAAgD8AAAAA"}],)"
        << R"("bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36}],)"
        << R"("accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"}],)"
        << R"("meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}]})";
    HostScene scene;
    std::string error;
    EXPECT_FALSE(ImportHostModel(model, scene, error));
    EXPECT_EQ(error, model + ": node \"n\": a vertex is not a finite number");
    const char* argv[] = {"qdxexport", model.c_str(), "--dump-host"};
    char* errText = nullptr;
    size_t errSize = 0;
    FILE* err = open_memstream(&errText, &errSize);
    EXPECT_EQ(RunHostCommandLine(3, argv, {}, nullptr, stdout, err), 2);
    std::fclose(err);
    EXPECT_EQ(std::string(errText), "qdxexport: " + error + "\n");
    std::free(errText);
}

TEST(HostModelImport, TexturePathsAreFoundAfterDecodingTheirEscapes)
{
    // One triangle whose material names "a%39%4A%4b.png", that is a9JK.png.
    TestTempDir dir;
    const std::string model = dir.File("t.gltf");
    std::ofstream(model)
        << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"name": "n", "mesh": 0}],)"
        << kThreeVerticesGltf << R"("meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "material": 0}]}],)"
        << R"("images": [{"uri": "a%39%4A%4b.png"}], "textures": [{"source": 0}],)"
        << R"("materials": [{"pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}}]})";
    // Missing, the map keeps the name as written.
    const auto mapName = [&model](HostScene& scene) {
        std::string error;
        EXPECT_TRUE(ImportHostModel(model, scene, error)) << error;
        EXPECT_EQ(scene.Nodes().size(), 1u);
        const StdMat2* mtl = dynamic_cast<const StdMat2*>(scene.Nodes()[0]->GetMtl());
        const BitmapTex* map = mtl ? dynamic_cast<const BitmapTex*>(mtl->GetSubTexmap(ID_DI)) : nullptr;
        return map ? std::string(map->GetMapName()) : std::string("no map");
    };
    {
        HostScene scene;
        EXPECT_EQ(mapName(scene), "a%39%4A%4b.png");
    }
    std::ofstream(dir.File("a9JK.png")) << "png";
    HostScene scene;
    EXPECT_EQ(mapName(scene), dir.File("a9JK.png"));
}

TEST(HostModelImport, NodesDrawingTheSameMeshesShareTheirObject)
{
    SKIP_WITHOUT_SHARED_DATA();
    // 2CylinderEngine draws its 34 meshes from 67 nodes in 29 lists.
    const std::string path = ModelsDir() + "assimp/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb";
    Assimp::Importer importer;
    const aiScene* ai = importer.ReadFile(path, kHostModelImportFlags);
    ASSERT_NE(ai, nullptr);
    std::set<std::vector<unsigned>> lists;
    std::function<void(const aiNode*)> walk = [&](const aiNode* n) {
        if (n->mNumMeshes > 0)
            lists.insert(std::vector<unsigned>(n->mMeshes, n->mMeshes + n->mNumMeshes));
        for (unsigned i = 0; i < n->mNumChildren; ++i)
            walk(n->mChildren[i]);
    };
    walk(ai->mRootNode);
    EXPECT_EQ(lists.size(), 29u);
    HostScene scene;
    std::string error;
    ASSERT_TRUE(ImportHostModel(path, scene, error)) << error;
    std::set<const Object*> objects;
    int nodes = 0;
    for (const INode* n : scene.Nodes())
        if (const Object* o = n->GetObjectRef(); o && o->ClassID() == triObjectClassID) {
            objects.insert(o);
            ++nodes;
        }
    EXPECT_EQ(nodes, 67);
    EXPECT_EQ(objects.size(), lists.size());
    EXPECT_EQ(CountItems<TriObject>(scene), lists.size());
}

TEST(HostModelImport, ANormalThatIsNotANumberIsRebuiltAndTold)
{
    TestTempDir dir;
    const std::string model = dir.File("nan.gltf");
    WriteNanNormalTriangle(model);
    HostScene scene;
    std::string error;
    ASSERT_TRUE(ImportHostModel(model, scene, error)) << error;
    EXPECT_EQ(scene.Warnings(), std::vector<std::string>{
                                    model + ": 1 normal was not a finite number: rebuilt from the face that uses it"});
    ASSERT_EQ(scene.Nodes().size(), 1u);
    const MeshNormalSpec* spec = dynamic_cast<TriObject*>(scene.Nodes()[0]->GetObjectRef())->mesh.GetSpecifiedNormals();
    ASSERT_NE(spec, nullptr);
    // The face looks down the file's +z, the host's -y.
    EXPECT_EQ(spec->normals[1], Point3(0.0f, -1.0f, 0.0f));
    EXPECT_EQ(spec->normals[0], spec->normals[1]);

    // earth.q3o has four such normals among its 2,937 triangles.
    const std::string earth = std::string(kDebianModels) + "Q3D/earth.q3o";
    struct stat st;
    if (stat(earth.c_str(), &st) != 0)
        GTEST_SKIP() << "the assimp-testmodels package is not installed (" << kDebianModels << ")";
    HostScene planet;
    ASSERT_TRUE(ImportHostModel(earth, planet, error)) << error;
    EXPECT_EQ(
        planet.Warnings(),
        std::vector<std::string>{earth + ": 4 normals were not finite numbers: rebuilt from the faces that use them"});
    int normals = 0;
    for (const auto& item : planet.Items())
        if (const TriObject* tri = dynamic_cast<const TriObject*>(item.get()))
            if (const MeshNormalSpec* s = tri->mesh.GetSpecifiedNormals())
                for (const Point3& n : s->normals) {
                    ++normals;
                    EXPECT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
                }
    EXPECT_GT(normals, 5000);
}

// glTF's point and line modes, strips and loops included, are told as
// what they are once Assimp has split them: each point, each segment.
TEST(HostModelImport, PointsAndLinesOfAModelAreToldAsLeftOut)
{
    TestTempDir dir;
    const std::string small = dir.File("points.gltf");
    WritePointsLinesTriangle(small);
    const std::string folder = std::string(kDebianModels) + "glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/";
    const struct
    {
        std::string path;
        const char* warning;
    } cases[] = {
        {small, "3 points and 2 lines were left out"},
        {folder + "Mesh_PrimitiveMode_00.gltf", "1024 points were left out"},
        {folder + "Mesh_PrimitiveMode_02.gltf", "4 lines were left out"}, // a loop of 4 vertices
        {folder + "Mesh_PrimitiveMode_03.gltf", "4 lines were left out"}, // a strip of 5
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        struct stat st;
        if (stat(c.path.c_str(), &st) != 0)
            GTEST_SKIP() << "the assimp-testmodels package is not installed (" << kDebianModels << ")";
        HostScene scene;
        std::string error;
        ASSERT_TRUE(ImportHostModel(c.path, scene, error)) << error;
        EXPECT_EQ(scene.Warnings(),
                  std::vector<std::string>{c.path + ": " + c.warning + ": meshes hold triangles only"});
    }
}

TEST(HostModelImport, BitmapsNamedByTheAuthorsMachineAreFoundBesideTheModel)
{
    const std::string x = std::string(kDebianModels) + "X/kwxport_test_cubewithvcolors.x";
    struct stat st;
    if (stat(x.c_str(), &st) != 0)
        GTEST_SKIP() << "the assimp-testmodels package is not installed (" << kDebianModels << ")";
    // The model names C:\code\sourceforge\kwxport\trunkMerged\test\data\top.tga
    // and two more; the files sit beside it.
    HostScene scene;
    std::string error;
    ASSERT_TRUE(ImportHostModel(x, scene, error)) << error;
    std::set<std::string> found;
    for (const auto& item : scene.Items())
        if (const BitmapTex* b = dynamic_cast<const BitmapTex*>(item.get())) {
            EXPECT_EQ(b->WrittenName().rfind("C:\\code\\sourceforge\\kwxport\\", 0), 0u) << b->WrittenName();
            EXPECT_EQ(b->FoundBy(), "found beside the model");
            found.insert(b->GetMapName());
        }
    const std::string folder = std::string(kDebianModels) + "X/";
    EXPECT_EQ(found, (std::set<std::string>{folder + "bottom.tga", folder + "top.tga", folder + "updown.tga"}));
    // A 3DS file names its bitmaps in capitals; the files are in lower case.
    HostScene capitals;
    ASSERT_TRUE(ImportHostModel(std::string(kDebianModels) + "3DS/test1.3ds", capitals, error)) << error;
    int maps = 0;
    for (const auto& item : capitals.Items())
        if (const BitmapTex* b = dynamic_cast<const BitmapTex*>(item.get())) {
            EXPECT_EQ(b->FoundBy(), "found as written without regard to case") << b->WrittenName();
            ++maps;
        }
    EXPECT_GE(maps, 3);
    const std::string dump = DumpHostScene(capitals);
    EXPECT_NE(dump.find("file \"" + std::string(kDebianModels) +
                        "3DS/IMAGE1.jpg\" (named \"IMAGE1.JPG\", found as written without regard to case)"),
              std::string::npos)
        << dump;
}
