#include <gtest/gtest.h>

#include <array>
#include <assimp/material.h>
#include <assimp/scene.h>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <sys/stat.h>

#include "platform/host/Bitmap.h"
#include "platform/host/HostDump.h"
#include "platform/host/HostModelImport.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/KeyControl.h"
#include "platform/host/Morpher.h"
#include "platform/host/SkinModifier.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"
#include "platform/host/TriObject.h"
#include "tests/platform/host/HostTestMath.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"

// The mapping of Assimp's scenes into the host's, on scenes made in memory:
// meshes joined and merged, channels, materials, skins, morph targets and
// every refusal.
namespace {

// A mesh of the points given (file axes) and triangles.
aiMesh* MakeMesh(const std::vector<aiVector3D>& points, const std::vector<std::array<unsigned, 3>>& triangles,
                 unsigned material = 0)
{
    auto* m = new aiMesh;
    m->mNumVertices = unsigned(points.size());
    m->mVertices = new aiVector3D[points.size()];
    std::copy(points.begin(), points.end(), m->mVertices);
    m->mNumFaces = unsigned(triangles.size());
    m->mFaces = new aiFace[triangles.size()];
    for (size_t f = 0; f < triangles.size(); ++f) {
        m->mFaces[f].mNumIndices = 3;
        m->mFaces[f].mIndices = new unsigned[3]{triangles[f][0], triangles[f][1], triangles[f][2]};
    }
    m->mMaterialIndex = material;
    return m;
}

void SetMeshes(aiScene& ai, std::vector<aiMesh*> meshes)
{
    ai.mNumMeshes = unsigned(meshes.size());
    ai.mMeshes = new aiMesh*[meshes.size()];
    std::copy(meshes.begin(), meshes.end(), ai.mMeshes);
}

void SetMaterials(aiScene& ai, int count)
{
    ai.mNumMaterials = unsigned(count);
    ai.mMaterials = new aiMaterial*[size_t(count)];
    for (int i = 0; i < count; ++i) {
        ai.mMaterials[i] = new aiMaterial;
        const aiString name("mat" + std::to_string(i));
        ai.mMaterials[i]->AddProperty(&name, AI_MATKEY_NAME);
    }
}

// A root with children, each child showing the meshes given.
aiNode* Root(std::vector<std::pair<std::string, std::vector<unsigned>>> children)
{
    auto* root = new aiNode("root");
    for (const auto& [name, meshes] : children) {
        auto* child = new aiNode(name);
        child->mNumMeshes = unsigned(meshes.size());
        child->mMeshes = new unsigned[meshes.size()];
        std::copy(meshes.begin(), meshes.end(), child->mMeshes);
        root->addChildren(1, &child);
    }
    return root;
}

INode* NodeNamed(const HostScene& scene, const char* name)
{
    for (INode* n : scene.Nodes())
        if (std::string(n->GetName()) == name)
            return n;
    return nullptr;
}

TriObject* BaseMesh(INode* node)
{
    Object* o = node ? node->GetObjectRef() : nullptr;
    if (IDerivedObject* d = dynamic_cast<IDerivedObject*>(o))
        o = d->FindBaseObject();
    return dynamic_cast<TriObject*>(o);
}

std::string MapError(const aiScene& ai)
{
    HostScene scene;
    std::string error;
    return MapHostModel(ai, "", false, scene, error) ? "" : error;
}

// The scene's items of a class, in creation order.
template <class T>
std::vector<T*> ItemsOf(const HostScene& scene)
{
    std::vector<T*> out;
    for (const auto& item : scene.Items())
        if (T* t = dynamic_cast<T*>(item.get()))
            out.push_back(t);
    return out;
}

// A material per texture path, each naming its path as its diffuse map.
void SetTexturedMaterials(aiScene& ai, const std::vector<std::string>& paths)
{
    SetMaterials(ai, int(paths.size()));
    for (size_t i = 0; i < paths.size(); ++i) {
        const aiString path(paths[i]);
        ai.mMaterials[i]->AddProperty(&path, AI_MATKEY_TEXTURE(aiTextureType_DIFFUSE, 0));
    }
}

// Normals for every vertex of the mesh: (0, 0, 1) in the file.
void SetNormals(aiMesh& m)
{
    m.mNormals = new aiVector3D[m.mNumVertices];
    for (unsigned v = 0; v < m.mNumVertices; ++v)
        m.mNormals[v] = aiVector3D(0, 0, 1);
}

} // namespace

TEST(HostModelMapping, MeshesOfANodeJoinAndVerticesMergeByPosition)
{
    aiScene ai;
    SetMaterials(ai, 3);
    // Two quads of two triangles sharing an edge, in two meshes of two
    // materials: the shared corners merge, within and across the meshes.
    aiMesh* a = MakeMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {1, 0, 0}}, {{0, 1, 2}, {0, 2, 3}}, 2);
    aiMesh* b = MakeMesh({{1, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {0, 2, 3}}, 0);
    // Mesh a has texture coordinates and colours, mesh b neither; both
    // have normals.
    a->mTextureCoords[0] = new aiVector3D[5]{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5f, 0, 0}};
    a->mColors[0] = new aiColor4D[5]{{1, 0, 0, 0.5f}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}, {0, 0, 0, 0}};
    for (aiMesh* m : {a, b}) {
        m->mNormals = new aiVector3D[m->mNumVertices];
        for (unsigned v = 0; v < m->mNumVertices; ++v)
            m->mNormals[v] = aiVector3D(0, 1, 0);
    }
    // A point and a line are no triangles.
    aiFace* faces = new aiFace[4];
    for (int f = 0; f < 2; ++f) {
        faces[f].mNumIndices = 3;
        faces[f].mIndices = new unsigned[3];
        std::copy(b->mFaces[f].mIndices, b->mFaces[f].mIndices + 3, faces[f].mIndices);
    }
    faces[2].mNumIndices = 1;
    faces[2].mIndices = new unsigned[1]{0};
    faces[3].mNumIndices = 2;
    faces[3].mIndices = new unsigned[2]{0, 1};
    delete[] b->mFaces;
    b->mFaces = faces;
    b->mNumFaces = 4;
    SetMeshes(ai, {a, b});
    ai.mRootNode = Root({{"quads", {0, 1}}, {"again", {1, 0}}});

    HostScene scene;
    std::string error;
    ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
    INode* node = NodeNamed(scene, "quads");
    TriObject* tri = BaseMesh(node);
    ASSERT_NE(tri, nullptr);
    EXPECT_EQ(tri->ClassID(), triObjectClassID);
    EXPECT_EQ(tri, node->GetObjectRef());
    const Mesh& mesh = tri->mesh;
    // 9 file vertices, 6 places: (1, 0, 0) three times, (1, 1, 0) twice.
    ASSERT_EQ(mesh.getNumVerts(), 6);
    ASSERT_EQ(mesh.getNumFaces(), 4);
    // Host axes: (x, y, z) -> (x, -z, y).
    EXPECT_EQ(mesh.verts[2], Point3(1.0f, 0.0f, 1.0f));
    EXPECT_EQ(mesh.faces[0].v[1], mesh.faces[2].v[0]);
    EXPECT_EQ(mesh.faces[0].v[1], 1u);
    EXPECT_EQ(mesh.faces[2].v[0], 1u);
    // Material ids index a multi/sub-object of the materials in first use.
    EXPECT_EQ(mesh.faces[0].getMatID(), 0);
    EXPECT_EQ(mesh.faces[3].getMatID(), 1);
    EXPECT_EQ(mesh.faces[0].smGroup, 1u);
    EXPECT_EQ(mesh.faces[0].flags & EDGE_ALL, EDGE_ALL);
    Mtl* multi = node->GetMtl();
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(multi->ClassID(), MULTI_CLASS_ID);
    EXPECT_STREQ(multi->GetName().data(), "quads");
    ASSERT_EQ(multi->NumSubMtls(), 2);
    EXPECT_STREQ(multi->GetSubMtl(0)->GetName().data(), "mat2");
    EXPECT_STREQ(multi->GetSubMtl(1)->GetName().data(), "mat0");
    // The other node's list is in another order: a multi of its own.
    EXPECT_NE(NodeNamed(scene, "again")->GetMtl(), multi);
    // Texture channel 1: a vertex per file vertex, mesh b's zero.
    ASSERT_TRUE(mesh.mapSupport(1));
    EXPECT_FALSE(mesh.mapSupport(2));
    EXPECT_EQ(mesh.Map(1).getNumVerts(), 9);
    EXPECT_EQ(mesh.Map(1).getNumFaces(), 4);
    EXPECT_EQ(mesh.Map(1).tv[4], UVVert(0.5f, 0.0f, 0.0f));
    EXPECT_EQ(mesh.Map(1).tv[6], UVVert());
    EXPECT_EQ(mesh.Map(1).tf[2].t[1], 6u);
    // Colours and their alpha; mesh b white and opaque.
    ASSERT_TRUE(mesh.mapSupport(0));
    ASSERT_TRUE(mesh.mapSupport(MAP_ALPHA));
    EXPECT_EQ(mesh.Map(0).tv[0], UVVert(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(mesh.Map(MAP_ALPHA).tv[0], UVVert(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(mesh.Map(0).tv[7], UVVert(1.0f, 1.0f, 1.0f));
    EXPECT_EQ(mesh.Map(MAP_ALPHA).tv[7].x, 1.0f);
    // Normals, one per file vertex, in host axes.
    const MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
    ASSERT_NE(spec, nullptr);
    EXPECT_EQ(spec->GetNumNormals(), 9);
    EXPECT_EQ(spec->GetNormal(3, 2), Point3(0.0f, 0.0f, 1.0f));

    // Without normals on one mesh, none at all.
    delete[] b->mNormals;
    b->mNormals = nullptr;
    HostScene again;
    ASSERT_TRUE(MapHostModel(ai, "", false, again, error)) << error;
    EXPECT_EQ(BaseMesh(NodeNamed(again, "quads"))->mesh.GetSpecifiedNormals(), nullptr);
}

TEST(HostModelMapping, EveryRepeatOfAPlaceMergesIntoItsFirstVertex)
{
    aiScene ai;
    SetMaterials(ai, 1);
    // The first place comes back twice, the second once.
    SetMeshes(ai,
              {MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}, {1, 0, 0}, {0, 0, 0}}, {{0, 1, 2}, {3, 4, 5}})});
    ai.mRootNode = Root({{"n", {0}}});
    HostScene scene;
    std::string error;
    ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
    const Mesh& mesh = BaseMesh(NodeNamed(scene, "n"))->mesh;
    ASSERT_EQ(mesh.getNumVerts(), 3);
    EXPECT_EQ(mesh.faces[1].v[0], 0u);
    EXPECT_EQ(mesh.faces[1].v[1], 1u);
    EXPECT_EQ(mesh.faces[1].v[2], 0u);
}

TEST(HostModelMapping, BonesMakeASkinThatFollowsTheFilesBinding)
{
    aiScene ai;
    SetMaterials(ai, 1);
    aiMesh* m = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {{0, 1, 2}, {3, 1, 2}});
    // Vertices 1 and 3 stand at one place with different weights: they stay
    // apart.
    auto* b0 = new aiBone;
    b0->mName = aiString("hip");
    b0->mNumWeights = 3;
    b0->mWeights = new aiVertexWeight[3]{{0, 1.0f}, {1, 0.5f}, {2, 1.0f}};
    auto* b1 = new aiBone;
    b1->mName = aiString("knee");
    b1->mNumWeights = 2;
    b1->mWeights = new aiVertexWeight[2]{{1, 0.5f}, {3, 1.0f}};
    // The knee is bound one unit up the file's y: its offset takes the
    // point down by one.
    b1->mOffsetMatrix = aiMatrix4x4(aiVector3D(1, 1, 1), aiQuaternion(), aiVector3D(0, -1, 0));
    m->mNumBones = 2;
    m->mBones = new aiBone* [2] { b0, b1 };
    SetMeshes(ai, {m});
    aiNode* root = Root({{"skinned", {0}}, {"hip", {}}});
    auto* knee = new aiNode("knee");
    knee->mTransformation = aiMatrix4x4(aiVector3D(1, 1, 1), aiQuaternion(), aiVector3D(0, 1, 0));
    root->mChildren[1]->addChildren(1, &knee);
    ai.mRootNode = root;
    // The knee turns a quarter about the file's z over one second.
    ai.mNumAnimations = 1;
    ai.mAnimations = new aiAnimation*[1];
    auto* anim = new aiAnimation;
    anim->mTicksPerSecond = 1.0;
    anim->mDuration = 1.0;
    anim->mNumChannels = 1;
    anim->mChannels = new aiNodeAnim*[1];
    auto* channel = new aiNodeAnim;
    channel->mNodeName = aiString("knee");
    channel->mNumRotationKeys = 2;
    channel->mRotationKeys =
        new aiQuatKey[2]{{0.0, aiQuaternion()}, {1.0, aiQuaternion(aiVector3D(0, 0, 1), 3.14159265f / 2)}};
    anim->mChannels[0] = channel;
    ai.mAnimations[0] = anim;

    HostScene scene;
    std::string error;
    ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
    INode* node = NodeNamed(scene, "skinned");
    ASSERT_EQ(BaseMesh(node)->mesh.getNumVerts(), 4);
    IDerivedObject* stack = dynamic_cast<IDerivedObject*>(node->GetObjectRef());
    ASSERT_NE(stack, nullptr);
    auto* skin = dynamic_cast<SkinModifier*>(stack->GetModifier(0));
    ASSERT_NE(skin, nullptr);
    ASSERT_EQ(skin->Bones().size(), 2u);
    EXPECT_EQ(skin->Bones()[0], NodeNamed(scene, "hip"));
    EXPECT_EQ(skin->Bones()[1], NodeNamed(scene, "knee"));
    ASSERT_EQ(skin->Weights().size(), 4u);
    ASSERT_EQ(skin->Weights()[1].size(), 2u);
    EXPECT_EQ(skin->Weights()[1][1].bone, 1);
    EXPECT_EQ(skin->Weights()[3][0].bone, 1);
    // Bound as it stands at time 0: the points stay.
    Object* now = node->EvalWorldState(0).obj;
    ExpectNear(now->GetPoint(3), Point3(1.0f, 0.0f, 0.0f), 1e-6f);
    // At one second the knee has turned a quarter about the file's z (the
    // host's y) around (0, 1, 0): point 3 (1, 0, 0) goes to (1, 2, 0) in the
    // file, (1, 0, 2) in the host; point 1 half way between.
    const TimeValue second = 4800;
    now = node->EvalWorldState(second).obj;
    ExpectNear(now->GetPoint(3), Point3(1.0f, 0.0f, 2.0f), 1e-5f);
    ExpectNear(now->GetPoint(1), Point3(1.0f, 0.0f, 1.0f), 1e-5f);
    ExpectNear(now->GetPoint(0), Point3(0.0f, 0.0f, 0.0f), 1e-5f);
}

TEST(HostModelMapping, MorphTargetsMakeAMorpherWithTheirWeightKeys)
{
    aiScene ai;
    SetMaterials(ai, 1);
    aiMesh* m = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    m->mName = aiString("shape");
    m->mNumAnimMeshes = 2;
    m->mAnimMeshes = new aiAnimMesh*[2];
    for (unsigned t = 0; t < 2; ++t) {
        auto* target = new aiAnimMesh;
        target->mNumVertices = 3;
        target->mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, float(t + 2), 0}};
        target->mWeight = 0.25f * float(t);
        if (t == 1)
            target->mName = aiString("Smile");
        m->mAnimMeshes[t] = target;
    }
    SetMeshes(ai, {m});
    ai.mRootNode = Root({{"face", {0}}});
    ai.mNumAnimations = 1;
    ai.mAnimations = new aiAnimation*[1];
    auto* anim = new aiAnimation;
    anim->mTicksPerSecond = 10.0;
    anim->mDuration = 20.0;
    anim->mNumMorphMeshChannels = 1;
    anim->mMorphMeshChannels = new aiMeshMorphAnim*[1];
    auto* morph = new aiMeshMorphAnim;
    morph->mName = aiString("shape");
    morph->mNumKeys = 3;
    morph->mKeys = new aiMeshMorphKey[3];
    for (unsigned k = 0; k < 3; ++k) {
        morph->mKeys[k].mTime = 10.0 * k;
        morph->mKeys[k].mNumValuesAndWeights = k == 1 ? 1 : 2;
        morph->mKeys[k].mValues = new unsigned[2]{0, 1};
        morph->mKeys[k].mWeights = new double[2]{0.5 * k, 0.25};
    }
    anim->mMorphMeshChannels[0] = morph;
    ai.mAnimations[0] = anim;

    HostScene scene;
    std::string error;
    ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
    INode* node = NodeNamed(scene, "face");
    IDerivedObject* stack = dynamic_cast<IDerivedObject*>(node->GetObjectRef());
    ASSERT_NE(stack, nullptr);
    auto* morpher = dynamic_cast<MorpherModifier*>(stack->GetModifier(0));
    ASSERT_NE(morpher, nullptr);
    EXPECT_STREQ(morpher->SubAnimName(1), "Target 0");
    EXPECT_STREQ(morpher->SubAnimName(2), "Smile");
    EXPECT_EQ(morpher->SubAnim(3), nullptr);
    // The target in host axes: the third point up the host's z (the file's y).
    EXPECT_EQ(morpher->Channel(2).Target()[2], Point3(0.0f, 0.0f, 3.0f));
    const auto* w1 = dynamic_cast<const KeyControl*>(morpher->Channel(1).GetWeightBlock()->GetController(0));
    const auto* w2 = dynamic_cast<const KeyControl*>(morpher->Channel(2).GetWeightBlock()->GetController(0));
    ASSERT_NE(w1, nullptr);
    ASSERT_EQ(w1->NumKeys(), 3);
    ASSERT_EQ(w2->NumKeys(), 2);
    EXPECT_EQ(w1->ClassID(), LININTERP_FLOAT_CLASS_ID);
    // Key times in ticks (a second is 10 of the file's), weights in percent.
    EXPECT_EQ(w1->Key(1).time, 4800);
    EXPECT_EQ(w1->Key(2).value.x, 100.0f);
    EXPECT_EQ(w2->Key(1).time, 9600);
    EXPECT_EQ(w2->Key(1).value.x, 25.0f);
    // At one second channel 1 weighs 50 % (half of 1 up) and channel 2 25 %
    // (a quarter of 2 up).
    ExpectNear(node->EvalWorldState(4800).obj->GetPoint(2), Point3(0.0f, 0.0f, 1.0f + 0.5f + 0.5f), 1e-5f);

    // Without the animation the file's own weights hold.
    delete ai.mAnimations[0];
    delete[] ai.mAnimations;
    ai.mAnimations = nullptr;
    ai.mNumAnimations = 0;
    HostScene still;
    ASSERT_TRUE(MapHostModel(ai, "", false, still, error)) << error;
    auto* weights = dynamic_cast<MorpherModifier*>(
        static_cast<IDerivedObject*>(NodeNamed(still, "face")->GetObjectRef())->GetModifier(0));
    const auto* constant = dynamic_cast<const KeyControl*>(weights->Channel(2).GetWeightBlock()->GetController(0));
    EXPECT_EQ(constant->NumKeys(), 0);
    EXPECT_EQ(constant->Constant().value.x, 25.0f);
}

// A node's morph animation may be named after any of its meshes, the
// second as well as the first.
TEST(HostModelMapping, AMorphAnimationNamedAfterALaterMeshOfTheNodeWeighsIt)
{
    aiScene ai;
    SetMaterials(ai, 1);
    aiMesh* plain = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    plain->mName = aiString("plain");
    aiMesh* m = MakeMesh({{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}, {{0, 1, 2}});
    m->mName = aiString("shape");
    m->mNumAnimMeshes = 1;
    m->mAnimMeshes = new aiAnimMesh* [1] { new aiAnimMesh };
    m->mAnimMeshes[0]->mNumVertices = 3;
    m->mAnimMeshes[0]->mVertices = new aiVector3D[3]{{0, 0, 1}, {1, 0, 1}, {0, 2, 1}};
    SetMeshes(ai, {plain, m});
    ai.mRootNode = Root({{"face", {0, 1}}});
    ai.mNumAnimations = 1;
    ai.mAnimations = new aiAnimation* [1] { new aiAnimation };
    ai.mAnimations[0]->mDuration = 1.0;
    ai.mAnimations[0]->mNumMorphMeshChannels = 1;
    auto* weights = new aiMeshMorphAnim;
    weights->mName = aiString("shape");
    weights->mNumKeys = 1;
    weights->mKeys = new aiMeshMorphKey[1];
    weights->mKeys[0].mNumValuesAndWeights = 1;
    weights->mKeys[0].mValues = new unsigned[1]{0};
    weights->mKeys[0].mWeights = new double[1]{1.0};
    ai.mAnimations[0]->mMorphMeshChannels = new aiMeshMorphAnim* [1] { weights };
    HostScene scene;
    std::string error;
    ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
    auto* stack = dynamic_cast<IDerivedObject*>(NodeNamed(scene, "face")->GetObjectRef());
    ASSERT_NE(stack, nullptr);
    auto* morpher = dynamic_cast<MorpherModifier*>(stack->GetModifier(0));
    ASSERT_NE(morpher, nullptr);
    const auto* keys = dynamic_cast<const KeyControl*>(morpher->Channel(1).GetWeightBlock()->GetController(0));
    ASSERT_NE(keys, nullptr);
    EXPECT_EQ(keys->NumKeys(), 1);
}

TEST(HostModelMapping, EmbeddedImagesAreWrittenToAFolderThatGoesWithTheScene)
{
    aiScene ai;
    SetMaterials(ai, 1);
    ai.mNumTextures = 2;
    ai.mTextures = new aiTexture*[2];
    // A raw 2 x 1 image and a compressed one.
    auto* raw = new aiTexture;
    raw->mWidth = 2;
    raw->mHeight = 1;
    raw->pcData = new aiTexel[2]{{10, 20, 30, 40}, {50, 60, 70, 80}};
    auto* packed = new aiTexture;
    packed->mWidth = 5;
    packed->mHeight = 0;
    std::strcpy(packed->achFormatHint, "JPG");
    packed->mFilename = aiString("photo.jpg");
    packed->pcData = new aiTexel[2];
    std::memcpy(packed->pcData, "hello", 5);
    ai.mTextures[0] = raw;
    ai.mTextures[1] = packed;
    const aiString first("*0"), second("photo.jpg"), missing("maps\\gone%20away.png");
    ai.mMaterials[0]->AddProperty(&first, AI_MATKEY_TEXTURE(aiTextureType_DIFFUSE, 0));
    ai.mMaterials[0]->AddProperty(&second, AI_MATKEY_TEXTURE(aiTextureType_EMISSIVE, 0));
    ai.mMaterials[0]->AddProperty(&missing, AI_MATKEY_TEXTURE(aiTextureType_NORMALS, 0));
    const int uv = 1;
    ai.mMaterials[0]->AddProperty(&uv, 1, AI_MATKEY_UVWSRC(aiTextureType_DIFFUSE, 0));
    SetMeshes(ai, {MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}})});
    ai.mRootNode = Root({{"box", {0}}});
    std::string folder;
    {
        HostScene scene;
        std::string error;
        ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
        auto* mtl = dynamic_cast<StdMat2*>(NodeNamed(scene, "box")->GetMtl());
        ASSERT_NE(mtl, nullptr);
        auto* diffuse = dynamic_cast<BitmapTex*>(mtl->GetSubTexmap(ID_DI));
        auto* self = dynamic_cast<BitmapTex*>(mtl->GetSubTexmap(ID_SI));
        auto* bump = dynamic_cast<BitmapTex*>(mtl->GetSubTexmap(ID_BU));
        ASSERT_TRUE(diffuse && self && bump);
        EXPECT_TRUE(mtl->MapEnabled(ID_DI));
        EXPECT_EQ(diffuse->GetMapChannel(), 2);
        ASSERT_EQ(scene.TemporaryFolders().size(), 1u);
        folder = scene.TemporaryFolders()[0];
        EXPECT_EQ(std::string(diffuse->GetMapName()), folder + "/texture0.tga");
        EXPECT_EQ(std::string(self->GetMapName()), folder + "/texture1.jpg");
        EXPECT_STREQ(bump->GetMapName(), "maps\\gone%20away.png");
        // The raw image reads back as written.
        std::unique_ptr<Bitmap> bm = LoadBitmapFile(diffuse->GetMapName());
        ASSERT_NE(bm, nullptr);
        EXPECT_EQ(bm->Width(), 2);
        EXPECT_EQ(bm->Storage()->Pixels()[1].r, 70 * 257);
        EXPECT_EQ(bm->Storage()->Pixels()[1].b, 50 * 257);
        EXPECT_EQ(bm->Storage()->Pixels()[0].a, 40 * 257);
        EXPECT_EQ(bump->GetBitmap(0), nullptr);
    }
    struct stat st;
    EXPECT_NE(stat(folder.c_str(), &st), 0);
}

TEST(HostModelMapping, KeysOfEachTakeLieFromItsStart)
{
    // Takes at 4800 ticks a second (a file tick a host tick), each moving
    // "n" by keys at the times given: each begins a frame after the one
    // before ends, or later, so that no key of it lies in the one before.
    struct Case
    {
        std::vector<double> first, second;
        TimeValue start;                 // of the second take
        std::vector<TimeValue> expected; // every key, in order
    };
    const Case cases[] = {
        {{10.0}, {5.0}, 1000 + 160, {10, 1000 + 160 + 5}},
        // A key before 0 lies before its take's start: before 0 for the
        // first take, after the first take's end for the second.
        {{-10.0, 0.0}, {5.0}, 1000 + 160, {-10, 0, 1000 + 160 + 5}},
        {{0.0}, {-20.0, -5.0, 3.0}, 1000 + 160 + 20, {0, 1000 + 160, 1000 + 160 + 15, 1000 + 160 + 23}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        aiScene ai;
        ai.mRootNode = Root({{"n", {}}});
        ai.mNumAnimations = 2;
        ai.mAnimations = new aiAnimation* [2] { new aiAnimation, new aiAnimation };
        const double lengths[] = {1000.0, 500.0};
        for (int a = 0; a < 2; ++a) {
            const std::vector<double>& times = a == 0 ? c.first : c.second;
            ai.mAnimations[a]->mTicksPerSecond = 4800.0;
            ai.mAnimations[a]->mDuration = lengths[a];
            ai.mAnimations[a]->mNumChannels = 1;
            auto* channel = new aiNodeAnim;
            channel->mNodeName = aiString("n");
            channel->mNumPositionKeys = unsigned(times.size());
            channel->mPositionKeys = new aiVectorKey[times.size()];
            for (size_t k = 0; k < times.size(); ++k)
                channel->mPositionKeys[k] = aiVectorKey(times[k], aiVector3D(float(a), 0, 0));
            ai.mAnimations[a]->mChannels = new aiNodeAnim* [1] { channel };
        }
        HostScene scene;
        std::string error;
        ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
        ASSERT_EQ(scene.Takes().size(), 2u);
        EXPECT_EQ(scene.Takes()[1].start, c.start);
        EXPECT_EQ(scene.Takes()[1].end, c.start + 500);
        EXPECT_EQ(scene.Settings().animEnd, c.start + 500);
        auto* position = dynamic_cast<KeyControl*>(NodeNamed(scene, "n")->GetTMController()->GetPositionController());
        ASSERT_NE(position, nullptr);
        std::vector<TimeValue> times;
        for (int k = 0; k < position->NumKeys(); ++k)
            times.push_back(position->Key(k).time);
        EXPECT_EQ(times, c.expected);
        EXPECT_EQ(position->Key(position->NumKeys() - 1).value, Point3(1.0f, 0.0f, 0.0f));
    }
}

TEST(HostModelMapping, EveryIndexAndNumberIsChecked)
{
    struct Case
    {
        const char* expected;
        std::function<void(aiScene&)> spoil;
    };
    const auto mesh0 = [](aiScene& ai) { return ai.mMeshes[0]; };
    // One take at 4800 ticks a second (one file tick a host tick) of the
    // length given, moving "n" by one key at the time given.
    const auto take = [](double length, double key) {
        return [length, key](aiScene& ai) {
            ai.mNumAnimations = 1;
            ai.mAnimations = new aiAnimation* [1] { new aiAnimation };
            ai.mAnimations[0]->mTicksPerSecond = 4800.0;
            ai.mAnimations[0]->mDuration = length;
            ai.mAnimations[0]->mNumChannels = 1;
            auto* channel = new aiNodeAnim;
            channel->mNodeName = aiString("n");
            channel->mNumPositionKeys = 1;
            channel->mPositionKeys = new aiVectorKey[1]{aiVectorKey(key, aiVector3D(1, 2, 3))};
            ai.mAnimations[0]->mChannels = new aiNodeAnim* [1] { channel };
        };
    };
    // The same with position keys at the times given.
    const auto keys = [](std::vector<double> times) {
        return [times](aiScene& ai) {
            ai.mNumAnimations = 1;
            ai.mAnimations = new aiAnimation* [1] { new aiAnimation };
            ai.mAnimations[0]->mTicksPerSecond = 4800.0;
            ai.mAnimations[0]->mDuration = 10.0;
            ai.mAnimations[0]->mNumChannels = 1;
            auto* channel = new aiNodeAnim;
            channel->mNodeName = aiString("n");
            channel->mNumPositionKeys = unsigned(times.size());
            channel->mPositionKeys = new aiVectorKey[times.size()];
            for (size_t k = 0; k < times.size(); ++k)
                channel->mPositionKeys[k] = aiVectorKey(times[k], aiVector3D(float(k), 0, 0));
            ai.mAnimations[0]->mChannels = new aiNodeAnim* [1] { channel };
        };
    };
    // A morph target weighed by keys at the times given.
    const auto morphKeys = [](std::vector<double> times) {
        return [times](aiScene& ai) {
            aiMesh* m = ai.mMeshes[0];
            m->mNumAnimMeshes = 1;
            m->mAnimMeshes = new aiAnimMesh* [1] { new aiAnimMesh };
            m->mAnimMeshes[0]->mNumVertices = 3;
            ai.mNumAnimations = 1;
            ai.mAnimations = new aiAnimation* [1] { new aiAnimation };
            ai.mAnimations[0]->mTicksPerSecond = 4800.0;
            ai.mAnimations[0]->mDuration = 10.0;
            ai.mAnimations[0]->mNumMorphMeshChannels = 1;
            auto* morph = new aiMeshMorphAnim;
            morph->mName = aiString("n");
            morph->mNumKeys = unsigned(times.size());
            morph->mKeys = new aiMeshMorphKey[times.size()];
            for (size_t k = 0; k < times.size(); ++k) {
                morph->mKeys[k].mTime = times[k];
                morph->mKeys[k].mNumValuesAndWeights = 1;
                morph->mKeys[k].mValues = new unsigned[1]{0};
                morph->mKeys[k].mWeights = new double[1]{0.5};
            }
            ai.mAnimations[0]->mMorphMeshChannels = new aiMeshMorphAnim* [1] { morph };
        };
    };
    // The given number of morph targets on mesh 0.
    const auto targets = [](unsigned count) {
        return [count](aiScene& ai) {
            aiMesh* m = ai.mMeshes[0];
            m->mNumAnimMeshes = count;
            m->mAnimMeshes = new aiAnimMesh*[count];
            for (unsigned t = 0; t < count; ++t) {
                m->mAnimMeshes[t] = new aiAnimMesh;
                m->mAnimMeshes[t]->mNumVertices = 3;
            }
        };
    };
    const Case cases[] = {
        {"", [](aiScene&) {}},
        // The Morpher's 100 channels and no more.
        {"", targets(100)},
        {"node \"n\" has more than 100 morph targets", targets(101)},
        // The host's timeline ends at 2e9 ticks, the last one included, and
        // begins at -2e9: a key may lie before its take's start.
        {"", take(2e9, 2e9)},
        {"", take(1.0, -2e9)},
        {"", keys({-3.0, -1.0, -1.0, 0.0, 2.0})},
        {"", morphKeys({-3.0, -1.0, 0.0})},
        {"animation \"\" runs beyond the host's timeline", take(2e9 + 1.0, 0.0)},
        {"node \"n\": position: a key lies beyond the host's timeline", take(1.0, 2e9 + 1.0)},
        {"node \"n\": position: a key lies before the host's timeline", take(1.0, -2e9 - 1.0)},
        {"node \"n\": position: its key times are not in order: key 2 comes before key 1", keys({-3.0, 1.0, 0.0})},
        {"node \"n\": position: its key times are not in order: key 1 comes before key 0", keys({-1.0, -2.0})},
        {"node \"n\": position: the time of key 1 is not a finite number", keys({0.0, NAN})},
        {"node \"n\": position: the time of key 0 is not a finite number", keys({-INFINITY})},
        {"node \"n\": morph: its key times are not in order: key 1 comes before key 0", morphKeys({-1.0, -2.0})},
        {"node \"n\": morph: a key lies before the host's timeline", morphKeys({-2e9 - 1.0})},
        {"node \"n\": morph: a key lies beyond the host's timeline", morphKeys({0.0, 2e9 + 1.0})},
        {"node \"n\": morph: the time of key 0 is not a finite number", morphKeys({NAN})},
        {"node \"n\": a face names vertex 7 of 3", [&](aiScene& ai) { mesh0(ai)->mFaces[0].mIndices[2] = 7; }},
        {"node \"n\": mesh 4 is not in the file", [](aiScene& ai) { ai.mRootNode->mChildren[0]->mMeshes[0] = 4; }},
        {"node \"n\": material 5 is not in the file", [&](aiScene& ai) { mesh0(ai)->mMaterialIndex = 5; }},
        {"node \"n\": a vertex is not a finite number",
         [&](aiScene& ai) { mesh0(ai)->mVertices[1].y = std::numeric_limits<float>::infinity(); }},
        {"node \"n\": a texture coordinate is not a finite number",
         [&](aiScene& ai) {
             mesh0(ai)->mTextureCoords[0] = new aiVector3D[3];
             mesh0(ai)->mTextureCoords[0][2].x = NAN;
         }},
        {"node \"n\": bone \"ghost\" names no node",
         [&](aiScene& ai) {
             aiMesh* m = mesh0(ai);
             m->mNumBones = 1;
             m->mBones = new aiBone* [1] { new aiBone };
             m->mBones[0]->mName = aiString("ghost");
         }},
        {"node \"n\": bone \"n\" weighs vertex 3 of 3",
         [&](aiScene& ai) {
             aiMesh* m = mesh0(ai);
             m->mNumBones = 1;
             m->mBones = new aiBone* [1] { new aiBone };
             m->mBones[0]->mName = aiString("n");
             m->mBones[0]->mNumWeights = 1;
             m->mBones[0]->mWeights = new aiVertexWeight[1]{{3, 1.0f}};
         }},
        {"node \"n\": morph target 0 does not fit its mesh",
         [&](aiScene& ai) {
             aiMesh* m = mesh0(ai);
             m->mNumAnimMeshes = 1;
             m->mAnimMeshes = new aiAnimMesh* [1] { new aiAnimMesh };
             m->mAnimMeshes[0]->mNumVertices = 2;
         }},
        {"node \"n\": a morph key weighs target 1 of 1",
         [&](aiScene& ai) {
             aiMesh* m = mesh0(ai);
             m->mNumAnimMeshes = 1;
             m->mAnimMeshes = new aiAnimMesh* [1] { new aiAnimMesh };
             m->mAnimMeshes[0]->mNumVertices = 3;
             ai.mNumAnimations = 1;
             ai.mAnimations = new aiAnimation* [1] { new aiAnimation };
             ai.mAnimations[0]->mDuration = 1.0;
             ai.mAnimations[0]->mNumMorphMeshChannels = 1;
             auto* morph = new aiMeshMorphAnim;
             morph->mName = aiString("n");
             morph->mNumKeys = 1;
             morph->mKeys = new aiMeshMorphKey[1];
             morph->mKeys[0].mNumValuesAndWeights = 1;
             morph->mKeys[0].mValues = new unsigned[1]{1};
             morph->mKeys[0].mWeights = new double[1]{1.0};
             ai.mAnimations[0]->mMorphMeshChannels = new aiMeshMorphAnim* [1] { morph };
         }},
        {"embedded texture \"*3\" is not in the file",
         [](aiScene& ai) {
             const aiString path("*3");
             ai.mMaterials[0]->AddProperty(&path, AI_MATKEY_TEXTURE(aiTextureType_DIFFUSE, 0));
         }},
        {"embedded texture \"*1\" is not in the file",
         [](aiScene& ai) {
             ai.mNumTextures = 1;
             ai.mTextures = new aiTexture* [1] { new aiTexture };
             const aiString path("*1");
             ai.mMaterials[0]->AddProperty(&path, AI_MATKEY_TEXTURE(aiTextureType_DIFFUSE, 0));
         }},
        {"material \"mat0\": its diffuse colour is not a finite number",
         [](aiScene& ai) {
             const aiColor3D c(1.0f, NAN, 0.0f);
             ai.mMaterials[0]->AddProperty(&c, 1, AI_MATKEY_COLOR_DIFFUSE);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        aiScene ai;
        SetMaterials(ai, 1);
        SetMeshes(ai, {MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}})});
        ai.mRootNode = Root({{"n", {0}}});
        c.spoil(ai);
        EXPECT_EQ(MapError(ai), c.expected);
    }
    // A node tree that loops is refused, not walked for ever.
    aiScene ai;
    ai.mRootNode = Root({{"a", {}}});
    aiNode* child = ai.mRootNode->mChildren[0];
    child->mNumChildren = 1;
    child->mChildren = new aiNode* [1] { ai.mRootNode };
    EXPECT_EQ(MapError(ai), "its node tree has a loop");
    child->mNumChildren = 0;
    delete[] child->mChildren;
    child->mChildren = nullptr;
}

TEST(HostModelMapping, NodesDrawingTheSameMeshesShowOneObject)
{
    aiScene ai;
    SetMaterials(ai, 2);
    aiMesh* skinned = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    skinned->mNumBones = 1;
    skinned->mBones = new aiBone* [1] { new aiBone };
    skinned->mBones[0]->mName = aiString("a");
    SetMeshes(ai, {MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}, 0),
                   MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 1, 2}}, 1), skinned});
    ai.mRootNode =
        Root({{"a", {0}}, {"b", {0}}, {"c", {0, 1}}, {"d", {0, 1}}, {"e", {1, 0}}, {"s1", {2}}, {"s2", {2}}});
    HostScene scene;
    std::string error;
    ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
    const auto object = [&](const char* name) { return NodeNamed(scene, name)->GetObjectRef(); };
    const auto material = [&](const char* name) { return NodeNamed(scene, name)->GetMtl(); };
    // The same list of meshes: one object, and the material its meshes give.
    EXPECT_EQ(object("b"), object("a"));
    EXPECT_EQ(material("b"), material("a"));
    EXPECT_EQ(object("d"), object("c"));
    EXPECT_EQ(material("d"), material("c"));
    EXPECT_EQ(material("c")->ClassID(), MULTI_CLASS_ID);
    // Another list, or the same meshes in another order, another object.
    EXPECT_NE(object("c"), object("a"));
    EXPECT_NE(object("e"), object("c"));
    // A skin binds where its own node stands: one object a node.
    EXPECT_NE(object("s2"), object("s1"));
    ASSERT_NE(dynamic_cast<IDerivedObject*>(object("s1")), nullptr);
    // Ids count the objects made.
    const std::vector<TriObject*> meshes = ItemsOf<TriObject>(scene);
    ASSERT_EQ(meshes.size(), 5u);
    EXPECT_EQ(meshes[1]->HostId(), "mesh1");
    EXPECT_EQ(meshes[1], BaseMesh(NodeNamed(scene, "c")));
    EXPECT_EQ(meshes[4]->HostId(), "mesh4");

    // Morph targets: shared when the weights' animation is named after the
    // mesh, not when it is named after one of the nodes.
    for (const bool afterNode : {false, true}) {
        SCOPED_TRACE(afterNode ? "animation named after a node" : "animation named after the mesh");
        aiScene morphed;
        SetMaterials(morphed, 1);
        aiMesh* m = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
        m->mName = aiString("shape");
        m->mNumAnimMeshes = 1;
        m->mAnimMeshes = new aiAnimMesh* [1] { new aiAnimMesh };
        m->mAnimMeshes[0]->mNumVertices = 3;
        m->mAnimMeshes[0]->mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 2, 0}};
        SetMeshes(morphed, {m});
        morphed.mRootNode = Root({{"f1", {0}}, {"f2", {0}}});
        morphed.mNumAnimations = 1;
        morphed.mAnimations = new aiAnimation* [1] { new aiAnimation };
        morphed.mAnimations[0]->mDuration = 1.0;
        morphed.mAnimations[0]->mNumMorphMeshChannels = 1;
        auto* weights = new aiMeshMorphAnim;
        weights->mName = aiString(afterNode ? "f1" : "shape");
        weights->mNumKeys = 1;
        weights->mKeys = new aiMeshMorphKey[1];
        weights->mKeys[0].mNumValuesAndWeights = 1;
        weights->mKeys[0].mValues = new unsigned[1]{0};
        weights->mKeys[0].mWeights = new double[1]{1.0};
        morphed.mAnimations[0]->mMorphMeshChannels = new aiMeshMorphAnim* [1] { weights };
        HostScene faces;
        ASSERT_TRUE(MapHostModel(morphed, "", false, faces, error)) << error;
        EXPECT_EQ(NodeNamed(faces, "f1")->GetObjectRef() == NodeNamed(faces, "f2")->GetObjectRef(), !afterNode);
    }
}

TEST(HostModelMapping, NormalsThatAreNotNumbersAreRebuiltFromTheirFacesInOneWarning)
{
    aiScene ai;
    SetMaterials(ai, 1);
    // Face 0 has area; face 1 (points on one line) has none; vertex 6 is in
    // no face; face 2 stands in another plane.
    aiMesh* a = MakeMesh(
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {5, 5, 5}, {0, 0, 0}, {0, 0, 1}, {1, 0, 0}},
        {{0, 1, 2}, {3, 4, 5}, {7, 8, 9}});
    aiMesh* b = MakeMesh({{0, 0, 0}, {0, 0, 1}, {1, 0, 0}}, {{0, 1, 2}});
    // Points so far apart that the face's normal overflows (to infinity
    // along the host's x, then NaN when normalised).
    aiMesh* huge = MakeMesh({{0, 0, 0}, {0, 0, -1e30f}, {0, 1e30f, 0}}, {{0, 1, 2}});
    SetNormals(*a);
    SetNormals(*b);
    SetNormals(*huge);
    huge->mNormals[0].x = NAN;
    a->mNormals[1].x = NAN;
    a->mNormals[5].z = std::numeric_limits<float>::infinity();
    a->mNormals[6].y = -NAN;
    a->mNormals[7].x = NAN;
    b->mNormals[2].z = NAN;
    SetMeshes(ai, {a, b, huge});
    ai.mRootNode = Root({{"a", {0}}, {"b", {1}}, {"huge", {2}}});
    HostScene scene;
    std::string error;
    ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
    // One line for the model, however many nodes have such normals.
    ASSERT_EQ(scene.Warnings().size(), 1u);
    EXPECT_EQ(scene.Warnings()[0], "6 normals were not finite numbers: rebuilt from the faces that use them");
    const MeshNormalSpec* na = BaseMesh(NodeNamed(scene, "a"))->mesh.GetSpecifiedNormals();
    const MeshNormalSpec* nb = BaseMesh(NodeNamed(scene, "b"))->mesh.GetSpecifiedNormals();
    ASSERT_TRUE(na && nb);
    ASSERT_EQ(na->GetNumNormals(), 10);
    // The file's +z is the host's -y; the face in the file's x-y plane faces
    // it, the face in the x-z plane faces the file's +y (the host's +z).
    EXPECT_EQ(na->normals[0], Point3(0.0f, -1.0f, 0.0f));
    EXPECT_EQ(na->normals[1], Point3(0.0f, -1.0f, 0.0f));
    EXPECT_EQ(na->normals[5], Point3());
    EXPECT_EQ(na->normals[6], Point3());
    EXPECT_EQ(na->normals[7], Point3(0.0f, 0.0f, 1.0f));
    EXPECT_EQ(nb->normals[2], Point3(0.0f, 0.0f, 1.0f));
    EXPECT_EQ(nb->normals[1], Point3(0.0f, -1.0f, 0.0f));
    EXPECT_EQ(BaseMesh(NodeNamed(scene, "huge"))->mesh.GetSpecifiedNormals()->normals[0], Point3());
    // The dump shows the warning.
    EXPECT_NE(DumpHostScene(scene).find("\n  warning: 6 normals were not finite numbers: rebuilt from the faces that "
                                        "use them\n"),
              std::string::npos);

    // One is told as one.
    a->mNormals[5].z = 1.0f;
    a->mNormals[6].y = 0.0f;
    a->mNormals[7].x = 0.0f;
    b->mNormals[2].z = 1.0f;
    huge->mNormals[0].x = 0.0f;
    HostScene once;
    ASSERT_TRUE(MapHostModel(ai, "", false, once, error)) << error;
    EXPECT_EQ(once.Warnings(),
              std::vector<std::string>{"1 normal was not a finite number: rebuilt from the face that uses it"});
    // None, no warning.
    a->mNormals[1].x = 0.0f;
    HostScene none;
    ASSERT_TRUE(MapHostModel(ai, "", false, none, error)) << error;
    EXPECT_TRUE(none.Warnings().empty());
}

// Points and lines are left out in one warning that counts each file mesh
// once, however many nodes show it, and not at all when none does.
TEST(HostModelMapping, PointsAndLinesAreLeftOutInOneWarning)
{
    // A mesh over three points whose faces have the sizes given: 1 a point,
    // 2 a line, 3 a triangle.
    const auto primitives = [](const std::vector<unsigned>& sizes) {
        aiMesh* m = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {});
        delete[] m->mFaces;
        m->mNumFaces = unsigned(sizes.size());
        m->mFaces = new aiFace[sizes.size()];
        for (size_t f = 0; f < sizes.size(); ++f) {
            m->mFaces[f].mNumIndices = sizes[f];
            m->mFaces[f].mIndices = new unsigned[3]{0, 1, 2};
        }
        return m;
    };
    const struct
    {
        std::vector<std::vector<unsigned>> meshes;
        std::vector<std::pair<std::string, std::vector<unsigned>>> nodes;
        std::vector<std::string> warnings;
        size_t faces; // of the first node
    } cases[] = {
        {{{1}}, {{"a", {0}}}, {"1 point was left out: meshes hold triangles only"}, 0},
        {{{2, 3}}, {{"a", {0}}}, {"1 line was left out: meshes hold triangles only"}, 1},
        {{{1, 1, 3}, {2, 2, 3, 2}},
         {{"a", {0, 1}}},
         {"2 points and 3 lines were left out: meshes hold triangles only"},
         2},
        {{{3}}, {{"a", {0}}}, {}, 1},
        // Mesh 0 is shown twice, mesh 1 by no node.
        {{{1, 2}, {1, 1}},
         {{"a", {0}}, {"b", {0}}},
         {"1 point and 1 line were left out: meshes hold triangles only"},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.warnings.empty() ? "none" : c.warnings[0]);
        aiScene ai;
        SetMaterials(ai, 1);
        std::vector<aiMesh*> meshes;
        for (const std::vector<unsigned>& sizes : c.meshes)
            meshes.push_back(primitives(sizes));
        SetMeshes(ai, meshes);
        ai.mRootNode = Root(c.nodes);
        HostScene scene;
        std::string error;
        ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
        EXPECT_EQ(scene.Warnings(), c.warnings);
        EXPECT_EQ(BaseMesh(NodeNamed(scene, "a"))->mesh.faces.size(), c.faces);
    }
}

TEST(HostModelMapping, TexturesAreFoundAsWrittenBesideTheModelInItsTexturesFolderThenWithoutRegardToCase)
{
    TestTempDir dir;
    mkdir(dir.File("sub").c_str(), 0755);
    mkdir(dir.File("textures").c_str(), 0755);
    mkdir(dir.File("a").c_str(), 0755);
    for (const char* name : {"sub/a.png", "a.png", "b.png", "textures/c.png", "50%off.png", "a/b.%GG.png"})
        TestWriteFile(dir.File(name), "x");
    struct Case
    {
        std::string written, file, how;
    };
    const Case cases[] = {
        {"sub/a.png", dir.File("sub/a.png"), "found as written"},
        {"sub\\a.png", dir.File("sub/a.png"), "found as written"},
        {dir.File("b.png"), dir.File("b.png"), "found as written"},
        // The author's machine's paths: the file sits beside the model.
        {"other/a.png", dir.File("a.png"), "found beside the model"},
        {"C:\\models\\b.png", dir.File("b.png"), "found beside the model"},
        {"/nowhere/b.png", dir.File("b.png"), "found beside the model"},
        {"Q:/art/c.png", dir.File("textures/c.png"), "found in the model's textures folder"},
        // Names that differ only in case, after every place as named.
        {"SUB/A.PNG", dir.File("sub/a.png"), "found as written without regard to case"},
        {"C:\\models\\B.Png", dir.File("b.png"), "found beside the model without regard to case"},
        {"x:\\C.PNG", dir.File("textures/c.png"), "found in the model's textures folder without regard to case"},
        // Only a per cent sign and two hexadecimal digits are an escape.
        {"50%off.png", dir.File("50%off.png"), "found as written"},
        {"a%2Fb%2e%GG.png", dir.File("a/b.%GG.png"), "found as written"},
        {"gone.png", "gone.png", "not found"},
        {"C:\\gone.png", "C:\\gone.png", "not found"},
    };
    std::vector<std::string> paths;
    for (const Case& c : cases)
        paths.push_back(c.written);
    aiScene ai;
    SetTexturedMaterials(ai, paths);
    SetMeshes(ai, {MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}})});
    ai.mRootNode = Root({{"n", {0}}});
    HostScene scene;
    std::string error;
    ASSERT_TRUE(MapHostModel(ai, dir.Path() + "/", false, scene, error)) << error;
    const std::vector<BitmapTex*> maps = ItemsOf<BitmapTex>(scene);
    ASSERT_EQ(maps.size(), std::size(cases));
    for (size_t i = 0; i < maps.size(); ++i) {
        SCOPED_TRACE(cases[i].written);
        EXPECT_EQ(maps[i]->GetMapName(), cases[i].file);
        EXPECT_EQ(maps[i]->FoundBy(), cases[i].how);
        EXPECT_EQ(maps[i]->WrittenName(), cases[i].written);
    }
    // The dump says which way each file was found.
    const std::string dump = DumpHostScene(scene);
    EXPECT_NE(dump.find("file \"" + dir.File("b.png") + "\" (named \"C:\\\\models\\\\b.png\", found beside the model)"),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("file \"gone.png\" (named \"gone.png\", not found)"), std::string::npos) << dump;
}

TEST(HostModelMapping, EmbeddedImagesTakeTheirFormatHintInAnyCase)
{
    struct Case
    {
        const char* hint;
        const char* extension;
    };
    const Case cases[] = {{"tga", "tga"}, {"TGA", "tga"}, {"pNg", "png"}, {"jpeg", "jpeg"}, {"", "bin"}};
    aiScene ai;
    SetMaterials(ai, int(std::size(cases)));
    ai.mNumTextures = unsigned(std::size(cases));
    ai.mTextures = new aiTexture*[std::size(cases)];
    for (size_t i = 0; i < std::size(cases); ++i) {
        auto* t = new aiTexture;
        t->mWidth = 4;
        t->mHeight = 0;
        std::strcpy(t->achFormatHint, cases[i].hint);
        t->pcData = new aiTexel[1];
        std::memcpy(t->pcData, "abcd", 4);
        ai.mTextures[i] = t;
        const aiString path("*" + std::to_string(i));
        ai.mMaterials[i]->AddProperty(&path, AI_MATKEY_TEXTURE(aiTextureType_DIFFUSE, 0));
    }
    SetMeshes(ai, {MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}})});
    ai.mRootNode = Root({{"n", {0}}});
    HostScene scene;
    std::string error;
    ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
    const std::vector<BitmapTex*> maps = ItemsOf<BitmapTex>(scene);
    ASSERT_EQ(maps.size(), std::size(cases));
    ASSERT_EQ(scene.TemporaryFolders().size(), 1u);
    for (size_t i = 0; i < maps.size(); ++i) {
        SCOPED_TRACE(cases[i].hint);
        const std::string file =
            scene.TemporaryFolders()[0] + "/texture" + std::to_string(i) + "." + cases[i].extension;
        EXPECT_EQ(maps[i]->GetMapName(), file);
        EXPECT_EQ(maps[i]->FoundBy(), "embedded");
        EXPECT_EQ(TestReadFile(file), "abcd");
    }
}

TEST(HostModelMapping, AnFbxUnitMustBeAPositiveFiniteNumber)
{
    struct Case
    {
        double factor;
        bool asFloat;
        const char* error;
    };
    const Case cases[] = {
        {2.54, false, ""},
        {2.5, true, ""},
        {1e30, false, ""},
        {0.0, false, "its unit scale is not a positive finite number"},
        {-1.0, false, "its unit scale is not a positive finite number"},
        {1e31, false, "its unit scale is not a positive finite number"},
        {NAN, false, "its unit scale is not a positive finite number"},
        {INFINITY, true, "its unit scale is not a positive finite number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.factor);
        aiScene ai;
        ai.mRootNode = Root({{"n", {}}});
        ai.mMetaData = aiMetadata::Alloc(1);
        if (c.asFloat)
            ai.mMetaData->Set(0, "UnitScaleFactor", float(c.factor));
        else
            ai.mMetaData->Set(0, "UnitScaleFactor", c.factor);
        HostScene scene;
        std::string error;
        EXPECT_EQ(MapHostModel(ai, "", true, scene, error), !*c.error);
        EXPECT_EQ(error, c.error);
        if (!*c.error) {
            // Centimetres, as many as the file says a unit holds.
            EXPECT_EQ(scene.Settings().unitType, 4);
            EXPECT_EQ(scene.Settings().unitScale, float(c.factor));
        }
        // Only FBX files say: any other is in metres.
        HostScene metres;
        ASSERT_TRUE(MapHostModel(ai, "", false, metres, error)) << error;
        EXPECT_EQ(metres.Settings().unitType, 5);
        EXPECT_EQ(metres.Settings().unitScale, 1.0f);
    }
}

TEST(HostModelMapping, TransformsSplitIntoPositionRotationAndScaleUnlessSheared)
{
    aiScene ai;
    ai.mRootNode = Root({{"moved", {}}, {"mirrored", {}}, {"sheared", {}}});
    // Scale (1, 2, 3), a quarter turn about the file's y, then (4, 5, 6).
    aiMatrix4x4 t, r, scale;
    aiMatrix4x4::Translation(aiVector3D(4, 5, 6), t);
    aiMatrix4x4::RotationY(3.14159265f / 2, r);
    aiMatrix4x4::Scaling(aiVector3D(1, 2, 3), scale);
    ai.mRootNode->mChildren[0]->mTransformation = t * r * scale;
    ai.mRootNode->mChildren[1]->mTransformation.a1 = -1.0f;
    ai.mRootNode->mChildren[2]->mTransformation.a2 = 0.5f;
    HostScene scene;
    std::string error;
    ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
    INode* moved = NodeNamed(scene, "moved");
    Control* prs = moved->GetTMController();
    ASSERT_EQ(prs->ClassID(), PRS_CONTROL_CLASS_ID);
    const auto constant = [](Control* c) { return dynamic_cast<KeyControl*>(c)->Constant(); };
    // Host axes: (x, y, z) -> (x, -z, y); a scale along the file's y is along
    // the host's z.
    ExpectNear(constant(prs->GetPositionController()).value, Point3(4.0f, -6.0f, 5.0f), 1e-6f);
    ExpectNear(constant(prs->GetScaleController()).value, Point3(1.0f, 3.0f, 2.0f), 1e-6f);
    // With the quarter turn about the file's y (the host's z), the host's x
    // goes to its y, its y (scaled by 3) to its -x.
    ExpectNear(moved->GetNodeTM(0),
               Matrix3(Point3(0.0f, 1.0f, 0.0f), Point3(-3.0f, 0.0f, 0.0f), Point3(0.0f, 0.0f, 2.0f),
                       Point3(4.0f, -6.0f, 5.0f)),
               1e-5f);
    // A mirror splits with a negative scale on every axis.
    Control* mirrored = NodeNamed(scene, "mirrored")->GetTMController();
    ASSERT_EQ(mirrored->ClassID(), PRS_CONTROL_CLASS_ID);
    ExpectNear(constant(mirrored->GetScaleController()).value, Point3(-1.0f, -1.0f, -1.0f), 1e-6f);
    ExpectNear(NodeNamed(scene, "mirrored")->GetNodeTM(0).GetRow(0), Point3(-1.0f, 0.0f, 0.0f), 1e-6f);
    // A shear does not split: the fixed matrix, as the file gives it.
    INode* sheared = NodeNamed(scene, "sheared");
    EXPECT_EQ(sheared->GetTMController()->ClassID(), MATRIX_CONTROL_CLASS_ID);
    ExpectNear(sheared->GetNodeTM(0).GetRow(2), Point3(0.5f, 0.0f, 1.0f), 1e-6f);
}

TEST(HostModelMapping, AnEmissiveColourTurnsSelfIlluminationOnUnlessBlack)
{
    const aiColor3D colours[] = {{0, 0, 0}, {0, 0, 0.25f}, {0, 0.5f, 0}, {0.75f, 0, 0}, {-1, -1, -1}};
    aiScene ai;
    SetMaterials(ai, int(std::size(colours)));
    for (size_t i = 0; i < std::size(colours); ++i)
        ai.mMaterials[i]->AddProperty(&colours[i], 1, AI_MATKEY_COLOR_EMISSIVE);
    ai.mRootNode = Root({{"n", {}}});
    HostScene scene;
    std::string error;
    ASSERT_TRUE(MapHostModel(ai, "", false, scene, error)) << error;
    const std::vector<StdMat2*> materials = ItemsOf<StdMat2>(scene);
    ASSERT_EQ(materials.size(), std::size(colours));
    for (size_t i = 0; i < std::size(colours); ++i) {
        SCOPED_TRACE(i);
        const bool lit = colours[i].r > 0 || colours[i].g > 0 || colours[i].b > 0;
        EXPECT_EQ(materials[i]->GetShader()->IsSelfIllumClrOn(), lit);
        if (lit) {
            EXPECT_EQ(materials[i]->GetShader()->GetSelfIllumClr(0), Color(colours[i].r, colours[i].g, colours[i].b));
        }
    }
}
