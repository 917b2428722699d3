#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <map>
#include <set>
#include <sys/stat.h>

#include "platform/host/HostModelImport.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/KeyControl.h"
#include "platform/host/Morpher.h"
#include "platform/host/SkinModifier.h"
#include "platform/host/TriObject.h"
#include "tests/support/TestModels.h"
#include "tests/support/TestPaths.h"

// Every model of the shared data that Assimp imports is checked node by node
// against Assimp's own view of it: faces, texture channels, bones and
// weights, morph channels and their keys, and the world transforms at the
// key times.
namespace {

// The file's point in the host's axes: (x, y, z) -> (x, -z, y).
Point3 Host(const aiVector3D& v)
{
    return Point3(v.x, -v.z, v.y);
}

// The triangle mesh under a node's modifiers.
TriObject* BaseMesh(INode* node)
{
    Object* o = node->GetObjectRef();
    if (IDerivedObject* d = dynamic_cast<IDerivedObject*>(o))
        o = d->FindBaseObject();
    return dynamic_cast<TriObject*>(o);
}

template <class T>
T* FindModifier(INode* node)
{
    IDerivedObject* d = dynamic_cast<IDerivedObject*>(node->GetObjectRef());
    for (int i = 0; d && i < d->NumModifiers(); ++i)
        if (T* m = dynamic_cast<T*>(d->GetModifier(i)))
            return m;
    return nullptr;
}

// The node's local transform at a time of an animation (ticks of the file),
// or false when one of its channels has no key there.
bool LocalAt(const aiNode& node, const aiAnimation* anim, double time, aiMatrix4x4& local)
{
    local = node.mTransformation;
    const aiNodeAnim* channel = nullptr;
    for (unsigned c = 0; anim && c < anim->mNumChannels; ++c)
        if (std::strcmp(anim->mChannels[c]->mNodeName.C_Str(), node.mName.C_Str()) == 0)
            channel = anim->mChannels[c];
    if (!channel)
        return true;
    aiVector3D scale, position;
    aiQuaternion rotation;
    local.Decompose(scale, rotation, position);
    const auto at = [time](auto* keys, unsigned count, auto& value) {
        for (unsigned i = 0; i < count; ++i)
            if (keys[i].mTime == time) {
                value = keys[i].mValue;
                return true;
            }
        return count == 0;
    };
    if (!at(channel->mPositionKeys, channel->mNumPositionKeys, position) ||
        !at(channel->mRotationKeys, channel->mNumRotationKeys, rotation) ||
        !at(channel->mScalingKeys, channel->mNumScalingKeys, scale))
        return false;
    // Files round their quaternions: the rotation is that of the unit one.
    rotation.Normalize();
    local = aiMatrix4x4(scale, rotation, position);
    return true;
}

// What the checks covered, over every model.
struct Coverage
{
    int transforms = 0, meshes = 0, skins = 0, morphers = 0;
};

void CheckModel(const std::string& path, Coverage& covered)
{
    Assimp::Importer importer;
    const aiScene* ai = importer.ReadFile(path, kHostModelImportFlags);
    if (!ai)
        return;
    HostScene scene;
    std::string error;
    ASSERT_TRUE(ImportHostModel(path, scene, error)) << error;
    // Host nodes come in the file's order, depth first.
    size_t next = 0;
    // Nodes that carry a camera or a light hold its frame: they and their
    // children are left out of the transform check.
    std::set<std::string> framed;
    for (unsigned i = 0; i < ai->mNumCameras; ++i)
        framed.insert(ai->mCameras[i]->mName.C_Str());
    for (unsigned i = 0; i < ai->mNumLights; ++i)
        framed.insert(ai->mLights[i]->mName.C_Str());

    std::vector<std::pair<const aiNode*, bool>> stack{{ai->mRootNode, false}};
    while (!stack.empty()) {
        const auto [node, underFrame] = stack.back();
        stack.pop_back();
        const bool skip = underFrame || framed.count(node->mName.C_Str()) > 0;
        for (unsigned i = node->mNumChildren; i-- > 0;)
            stack.emplace_back(node->mChildren[i], skip);
        SCOPED_TRACE(node->mName.C_Str());
        ASSERT_LT(next, scene.Nodes().size());
        INode* host = scene.Nodes()[next++];
        ASSERT_STREQ(host->GetName(), node->mName.C_Str());

        // The world transform at every key time of every animation.
        for (unsigned a = 0; !skip && a < ai->mNumAnimations; ++a) {
            const aiAnimation* anim = ai->mAnimations[a];
            const double perSecond = anim->mTicksPerSecond != 0.0 ? anim->mTicksPerSecond : 30.0;
            std::set<double> times;
            for (unsigned c = 0; c < anim->mNumChannels; ++c)
                for (unsigned k = 0; k < anim->mChannels[c]->mNumPositionKeys; ++k)
                    times.insert(anim->mChannels[c]->mPositionKeys[k].mTime);
            for (const double time : times) {
                // Composed from the root down; float arithmetic on the
                // largest translation met along the way sets the tolerance.
                std::vector<aiMatrix4x4> locals;
                bool known = true;
                for (const aiNode* up = node; up && known; up = up->mParent) {
                    locals.emplace_back();
                    known = LocalAt(*up, anim, time, locals.back());
                }
                aiMatrix4x4 world;
                float largest = 1.0f;
                for (size_t i = locals.size(); i-- > 0;) {
                    world = world * locals[i];
                    largest = std::max(largest, aiVector3D(world.a4, world.b4, world.c4).Length());
                }
                const TimeValue t = scene.Takes()[a].start + TimeValue(std::lround(time / perSecond * 4800.0));
                if (!known || t > scene.Takes()[a].end)
                    continue;
                const Matrix3 m = host->GetNodeTM(t);
                ++covered.transforms;
                // Rows of the host matrix are the file's columns, turned Z up
                // on both sides.
                const Point3 x = Host(aiVector3D(world.a1, world.b1, world.c1));
                const Point3 y = Host(aiVector3D(world.a2, world.b2, world.c2));
                const Point3 z = Host(aiVector3D(world.a3, world.b3, world.c3));
                const Point3 expected[4] = {x, -z, y, Host(aiVector3D(world.a4, world.b4, world.c4))};
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 3; ++c)
                        EXPECT_NEAR(m[r][c], expected[r][c], 1e-5f * largest) << "key " << time << " row " << r;
            }
        }
        if (node->mNumMeshes == 0)
            continue;
        TriObject* tri = BaseMesh(host);
        ASSERT_NE(tri, nullptr);
        ++covered.meshes;
        const Mesh& mesh = tri->mesh;
        // Faces: Assimp's triangles; texture channels: its UV sets.
        size_t triangles = 0;
        unsigned morphs = 0;
        std::set<std::string> bones;
        std::set<unsigned> sets;
        for (unsigned i = 0; i < node->mNumMeshes; ++i) {
            const aiMesh* m = ai->mMeshes[node->mMeshes[i]];
            for (unsigned f = 0; f < m->mNumFaces; ++f)
                triangles += m->mFaces[f].mNumIndices == 3 ? 1 : 0;
            for (unsigned s = 0; s < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++s)
                if (m->mTextureCoords[s])
                    sets.insert(s);
            for (unsigned b = 0; b < m->mNumBones; ++b)
                bones.insert(m->mBones[b]->mName.C_Str());
            morphs = std::max(morphs, m->mNumAnimMeshes);
        }
        EXPECT_EQ(size_t(mesh.getNumFaces()), triangles);
        for (unsigned s = 0; s < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++s) {
            EXPECT_EQ(mesh.mapSupport(int(s) + 1) != 0, sets.count(s) > 0) << "UV set " << s;
            if (sets.count(s)) {
                EXPECT_EQ(mesh.Map(int(s) + 1).getNumFaces(), mesh.getNumFaces());
            }
        }
        // Bones and, for every file vertex, a host vertex at its place whose
        // weights sum as its own do.
        SkinModifier* skin = FindModifier<SkinModifier>(host);
        EXPECT_EQ(skin ? skin->Bones().size() : 0u, bones.size());
        if (skin) {
            ++covered.skins;
            for (unsigned i = 0; i < node->mNumMeshes; ++i) {
                const aiMesh* m = ai->mMeshes[node->mMeshes[i]];
                std::vector<float> sums(m->mNumVertices, 0.0f);
                for (unsigned b = 0; b < m->mNumBones; ++b)
                    for (unsigned w = 0; w < m->mBones[b]->mNumWeights; ++w)
                        sums[m->mBones[b]->mWeights[w].mVertexId] += m->mBones[b]->mWeights[w].mWeight;
                for (unsigned v = 0; v < m->mNumVertices; ++v) {
                    const Point3 p = Host(m->mVertices[v]);
                    bool found = false;
                    for (int h = 0; h < mesh.getNumVerts() && !found; ++h) {
                        if (mesh.verts[size_t(h)] != p)
                            continue;
                        float sum = 0.0f;
                        for (const SkinWeight& w : skin->Weights()[size_t(h)])
                            sum += w.weight;
                        found = std::fabs(sum - sums[v]) <= 1e-5f;
                    }
                    EXPECT_TRUE(found) << "vertex " << v << " of mesh " << i;
                }
            }
        }
        // Morph channels and their keys.
        MorpherModifier* morpher = FindModifier<MorpherModifier>(host);
        EXPECT_EQ(morpher != nullptr, morphs > 0);
        covered.morphers += morpher ? 1 : 0;
        std::vector<size_t> keys(morphs, 0);
        for (unsigned a = 0; a < ai->mNumAnimations; ++a)
            for (unsigned c = 0; c < ai->mAnimations[a]->mNumMorphMeshChannels; ++c) {
                const aiMeshMorphAnim* anim = ai->mAnimations[a]->mMorphMeshChannels[c];
                bool mine = std::strcmp(anim->mName.C_Str(), node->mName.C_Str()) == 0;
                for (unsigned i = 0; i < node->mNumMeshes; ++i)
                    mine = mine || std::strcmp(anim->mName.C_Str(), ai->mMeshes[node->mMeshes[i]]->mName.C_Str()) == 0;
                for (unsigned k = 0; mine && k < anim->mNumKeys; ++k)
                    for (unsigned w = 0; w < anim->mKeys[k].mNumValuesAndWeights; ++w)
                        ++keys[anim->mKeys[k].mValues[w]];
            }
        for (unsigned c = 0; morpher && c < MORPHER_CHANNELS; ++c) {
            EXPECT_EQ(morpher->SubAnim(int(c) + 1) != nullptr, c < morphs) << "channel " << c + 1;
            if (c >= morphs)
                continue;
            const KeyControl* weight =
                dynamic_cast<const KeyControl*>(morpher->Channel(int(c) + 1).GetWeightBlock()->GetController(0));
            ASSERT_NE(weight, nullptr);
            EXPECT_EQ(size_t(weight->NumKeys()), keys[c]) << "channel " << c + 1;
        }
    }
}

} // namespace

TEST(HostModelMeshes, EverySharedModelMapsNodeForNodeAsAssimpSeesIt)
{
    SKIP_WITHOUT_SHARED_DATA();
    const std::vector<std::string> files = TestListModelFiles(TestSharedDataDir() + "/models");
    EXPECT_EQ(files.size(), 38u);
    Coverage covered;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        CheckModel(path, covered);
    }
    EXPECT_GT(covered.transforms, 500);
    EXPECT_GT(covered.meshes, 100);
    EXPECT_GE(covered.skins, 5);
    EXPECT_GE(covered.morphers, 3);
    std::printf("checked %d transforms, %d meshes, %d skins, %d morphers\n", covered.transforms, covered.meshes,
                covered.skins, covered.morphers);
}
