// Builds an Assimp scene from arbitrary bytes (counts, indices out of range,
// numbers that are not finite, bones naming nodes that do not exist, morph
// keys weighing targets that do not exist, embedded images of any size) and
// maps it into the host's scene; a scene that maps is dumped and every node
// evaluated.
#include <assimp/material.h>
#include <assimp/scene.h>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "platform/host/HostDump.h"
#include "platform/host/HostModelImport.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/TriObject.h"

namespace {

// The input read field by field; past its end every field is 0.
class Bytes
{
public:
    Bytes(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}

    uint8_t U8() { return m_At < m_Size ? m_Data[m_At++] : 0; }
    unsigned Below(unsigned n) { return n == 0 ? 0 : U8() % n; }
    // A small number, or (after 0xFF) any four bytes as a float: NaN and
    // infinities included.
    float F()
    {
        const uint8_t b = U8();
        if (b != 0xFF)
            return float(int8_t(b)) * 0.25f;
        uint8_t raw[4] = {U8(), U8(), U8(), U8()};
        float f;
        std::memcpy(&f, raw, 4);
        return f;
    }
    aiVector3D V()
    {
        const float x = F(), y = F();
        return aiVector3D(x, y, F());
    }

private:
    const uint8_t* m_Data;
    size_t m_Size;
    size_t m_At = 0;
};

std::string NodeName(Bytes& in, unsigned nodes)
{
    const unsigned pick = in.Below(nodes + 1);
    return pick == nodes ? "ghost" : "n" + std::to_string(pick);
}

aiMaterial* Material(Bytes& in)
{
    auto* m = new aiMaterial;
    const uint8_t flags = in.U8();
    const aiString name("m" + std::to_string(in.U8() % 4));
    m->AddProperty(&name, AI_MATKEY_NAME);
    const auto colour = [&](const char* key, unsigned type, unsigned index) {
        const float r = in.F(), g = in.F();
        aiColor3D c(r, g, in.F());
        m->AddProperty(&c, 1, key, type, index);
    };
    if (flags & 1)
        colour(AI_MATKEY_COLOR_DIFFUSE);
    if (flags & 2)
        colour(AI_MATKEY_COLOR_SPECULAR);
    if (flags & 4)
        colour(AI_MATKEY_COLOR_EMISSIVE);
    if (flags & 8) {
        const float f = in.F();
        m->AddProperty(&f, 1, AI_MATKEY_SHININESS);
    }
    if (flags & 16) {
        const float f = in.F();
        m->AddProperty(&f, 1, AI_MATKEY_OPACITY);
    }
    if (flags & 32) {
        const int two = 1;
        m->AddProperty(&two, 1, AI_MATKEY_TWOSIDED);
    }
    // Paths of another machine and of odd shapes are looked for beside the
    // current folder, in every case.
    static const char* const paths[] = {
        "*0",      "*1", "*7",  "missing.png", "", "*x", "t0", "C:\\art\\Missing.PNG", "sub/../../MISSING.png",
        "//x.png", "/",  "..\\"};
    for (const aiTextureType type : {aiTextureType_DIFFUSE, aiTextureType_NORMALS, aiTextureType_OPACITY}) {
        if (!(flags & 64) || in.Below(2))
            continue;
        const aiString path(paths[in.Below(std::size(paths))]);
        m->AddProperty(&path, AI_MATKEY_TEXTURE(type, 0));
        const int uv = int(in.Below(4));
        m->AddProperty(&uv, 1, AI_MATKEY_UVWSRC(type, 0));
    }
    return m;
}

aiTexture* Texture(Bytes& in, unsigned index)
{
    auto* t = new aiTexture;
    t->mFilename = aiString("t" + std::to_string(index));
    static const char* const hints[] = {"png", "rgba8888", "TGA", ""};
    std::strcpy(t->achFormatHint, hints[in.Below(std::size(hints))]);
    t->mWidth = in.Below(6);
    t->mHeight = in.Below(2) ? 0 : in.Below(4);
    const size_t texels = t->mHeight == 0 ? (t->mWidth + 3) / 4 : size_t(t->mWidth) * t->mHeight;
    t->pcData = new aiTexel[texels > 0 ? texels : 1];
    for (size_t i = 0; i < texels; ++i)
        t->pcData[i] = aiTexel{in.U8(), in.U8(), in.U8(), in.U8()};
    return t;
}

aiMesh* MeshOf(Bytes& in, unsigned materials, unsigned nodes)
{
    auto* m = new aiMesh;
    m->mName = aiString("mesh" + std::to_string(in.Below(3)));
    m->mNumVertices = in.Below(20);
    const uint8_t flags = in.U8();
    if (m->mNumVertices > 0) {
        m->mVertices = new aiVector3D[m->mNumVertices];
        for (unsigned v = 0; v < m->mNumVertices; ++v)
            m->mVertices[v] = in.V();
        if (flags & 1) {
            m->mNormals = new aiVector3D[m->mNumVertices];
            for (unsigned v = 0; v < m->mNumVertices; ++v)
                m->mNormals[v] = in.V();
        }
        for (unsigned set = 0; set < 2 && (flags & (2 << set)); ++set) {
            m->mTextureCoords[set] = new aiVector3D[m->mNumVertices];
            m->mNumUVComponents[set] = 2;
            for (unsigned v = 0; v < m->mNumVertices; ++v)
                m->mTextureCoords[set][v] = in.V();
        }
        if (flags & 8) {
            m->mColors[0] = new aiColor4D[m->mNumVertices];
            for (unsigned v = 0; v < m->mNumVertices; ++v) {
                const float r = in.F(), g = in.F(), b = in.F();
                m->mColors[0][v] = aiColor4D(r, g, b, in.F());
            }
        }
    }
    m->mNumFaces = in.Below(20);
    if (m->mNumFaces > 0) {
        m->mFaces = new aiFace[m->mNumFaces];
        for (unsigned f = 0; f < m->mNumFaces; ++f) {
            aiFace& face = m->mFaces[f];
            face.mNumIndices = 1 + in.Below(4);
            face.mIndices = new unsigned[face.mNumIndices];
            for (unsigned k = 0; k < face.mNumIndices; ++k)
                face.mIndices[k] = in.Below(m->mNumVertices + 2);
        }
    }
    m->mMaterialIndex = in.Below(materials + 2);
    m->mNumBones = (flags & 16) ? in.Below(4) : 0;
    if (m->mNumBones > 0) {
        m->mBones = new aiBone*[m->mNumBones];
        for (unsigned b = 0; b < m->mNumBones; ++b) {
            auto* bone = new aiBone;
            bone->mName = aiString(NodeName(in, nodes));
            bone->mOffsetMatrix.a4 = in.F();
            bone->mNumWeights = in.Below(8);
            if (bone->mNumWeights > 0) {
                bone->mWeights = new aiVertexWeight[bone->mNumWeights];
                for (unsigned w = 0; w < bone->mNumWeights; ++w) {
                    const unsigned id = in.Below(m->mNumVertices + 2);
                    bone->mWeights[w] = aiVertexWeight(id, in.F());
                }
            }
            m->mBones[b] = bone;
        }
    }
    m->mNumAnimMeshes = (flags & 32) ? in.Below(4) : 0;
    if (m->mNumAnimMeshes > 0) {
        m->mAnimMeshes = new aiAnimMesh*[m->mNumAnimMeshes];
        for (unsigned a = 0; a < m->mNumAnimMeshes; ++a) {
            auto* target = new aiAnimMesh;
            target->mNumVertices = m->mNumVertices + (in.Below(8) == 0 ? 1 : 0);
            target->mWeight = in.F();
            if (in.Below(4) && target->mNumVertices > 0) {
                target->mVertices = new aiVector3D[target->mNumVertices];
                for (unsigned v = 0; v < target->mNumVertices; ++v)
                    target->mVertices[v] = in.V();
            }
            m->mAnimMeshes[a] = target;
        }
    }
    return m;
}

aiAnimation* Animation(Bytes& in, unsigned nodes)
{
    auto* a = new aiAnimation;
    static const double rates[] = {0.0, 24.0, 30.0, 1000.0, -1.0};
    a->mTicksPerSecond = rates[in.Below(5)];
    a->mDuration = double(in.F());
    a->mNumChannels = in.Below(3);
    if (a->mNumChannels > 0) {
        a->mChannels = new aiNodeAnim*[a->mNumChannels];
        for (unsigned c = 0; c < a->mNumChannels; ++c) {
            auto* ch = new aiNodeAnim;
            ch->mNodeName = aiString(NodeName(in, nodes));
            ch->mNumPositionKeys = in.Below(4);
            if (ch->mNumPositionKeys > 0) {
                ch->mPositionKeys = new aiVectorKey[ch->mNumPositionKeys];
                for (unsigned k = 0; k < ch->mNumPositionKeys; ++k) {
                    const double t = in.F();
                    ch->mPositionKeys[k] = aiVectorKey(t, in.V());
                }
            }
            ch->mNumRotationKeys = in.Below(4);
            if (ch->mNumRotationKeys > 0) {
                ch->mRotationKeys = new aiQuatKey[ch->mNumRotationKeys];
                for (unsigned k = 0; k < ch->mNumRotationKeys; ++k) {
                    const double t = in.F();
                    const float w = in.F(), x = in.F(), y = in.F();
                    ch->mRotationKeys[k] = aiQuatKey(t, aiQuaternion(w, x, y, in.F()));
                }
            }
            a->mChannels[c] = ch;
        }
    }
    a->mNumMorphMeshChannels = in.Below(3);
    if (a->mNumMorphMeshChannels > 0) {
        a->mMorphMeshChannels = new aiMeshMorphAnim*[a->mNumMorphMeshChannels];
        for (unsigned c = 0; c < a->mNumMorphMeshChannels; ++c) {
            auto* ch = new aiMeshMorphAnim;
            ch->mName = aiString(in.Below(2) ? NodeName(in, nodes) : "mesh" + std::to_string(in.Below(3)));
            ch->mNumKeys = in.Below(4);
            if (ch->mNumKeys > 0) {
                ch->mKeys = new aiMeshMorphKey[ch->mNumKeys];
                for (unsigned k = 0; k < ch->mNumKeys; ++k) {
                    aiMeshMorphKey& key = ch->mKeys[k];
                    key.mTime = in.F();
                    key.mNumValuesAndWeights = in.Below(4);
                    if (key.mNumValuesAndWeights > 0) {
                        key.mValues = new unsigned[key.mNumValuesAndWeights];
                        key.mWeights = new double[key.mNumValuesAndWeights];
                        for (unsigned i = 0; i < key.mNumValuesAndWeights; ++i) {
                            key.mValues[i] = in.Below(5);
                            key.mWeights[i] = in.F();
                        }
                    }
                }
            }
            a->mMorphMeshChannels[c] = ch;
        }
    }
    return a;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Bytes in(data, size);
    aiScene ai;
    ai.mNumMaterials = in.Below(4);
    if (ai.mNumMaterials > 0) {
        ai.mMaterials = new aiMaterial*[ai.mNumMaterials];
        for (unsigned i = 0; i < ai.mNumMaterials; ++i)
            ai.mMaterials[i] = Material(in);
    }
    ai.mNumTextures = in.Below(3);
    if (ai.mNumTextures > 0) {
        ai.mTextures = new aiTexture*[ai.mNumTextures];
        for (unsigned i = 0; i < ai.mNumTextures; ++i)
            ai.mTextures[i] = Texture(in, i);
    }
    const unsigned nodes = 1 + in.Below(7);
    ai.mNumMeshes = in.Below(5);
    if (ai.mNumMeshes > 0) {
        ai.mMeshes = new aiMesh*[ai.mNumMeshes];
        for (unsigned i = 0; i < ai.mNumMeshes; ++i)
            ai.mMeshes[i] = MeshOf(in, ai.mNumMaterials, nodes);
    }
    // A tree: each node under one made before it.
    std::vector<aiNode*> made;
    for (unsigned i = 0; i < nodes; ++i) {
        auto* node = new aiNode("n" + std::to_string(in.Below(nodes)));
        node->mTransformation.a4 = in.F();
        node->mTransformation.a1 = 1.0f + in.F();
        node->mNumMeshes = in.Below(3);
        if (node->mNumMeshes > 0) {
            node->mMeshes = new unsigned[node->mNumMeshes];
            for (unsigned k = 0; k < node->mNumMeshes; ++k)
                node->mMeshes[k] = in.Below(ai.mNumMeshes + 1);
        }
        if (i > 0)
            made[in.Below(i)]->addChildren(1, &node);
        made.push_back(node);
    }
    ai.mRootNode = made[0];
    ai.mNumAnimations = in.Below(3);
    if (ai.mNumAnimations > 0) {
        ai.mAnimations = new aiAnimation*[ai.mNumAnimations];
        for (unsigned i = 0; i < ai.mNumAnimations; ++i)
            ai.mAnimations[i] = Animation(in, nodes);
    }

    HostScene scene;
    std::string error;
    if (!MapHostModel(ai, "", false, scene, error))
        return error.empty() ? 1 : 0;
    const std::string dump = DumpHostScene(scene);
    const TimeValue times[] = {scene.Settings().animStart, scene.Settings().animEnd / 2, scene.Settings().animEnd};
    for (INode* node : scene.Nodes())
        for (const TimeValue t : times)
            if (TriObject* tri = dynamic_cast<TriObject*>(node->EvalWorldState(t).obj))
                tri->mesh.buildNormals();
    return dump.empty() ? 1 : 0;
}
