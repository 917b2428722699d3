#include "platform/host/HostModelImport.h"

#include <algorithm>
#include <array>
#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/metadata.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <strings.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "platform/PlatformPaths.h"
#include "platform/host/GenCamera.h"
#include "platform/host/GenLight.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/KeyControl.h"
#include "platform/host/Modifier.h"
#include "platform/host/Morpher.h"
#include "platform/host/SkinModifier.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"
#include "platform/host/TriObject.h"

namespace {

struct ImportError
{
    std::string what;
};

[[noreturn]] void Fail(const std::string& what)
{
    throw ImportError{what};
}

std::string Quoted(const std::string& s)
{
    return "\"" + s + "\"";
}

// The axis change: the file's +Y up becomes the host's +Z up (a quarter turn
// about X), (x, y, z) -> (x, -z, y). Points are row vectors: p * kToHost.
const Matrix3 kToHost(Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 0.0f, 1.0f), Point3(0.0f, -1.0f, 0.0f), Point3());
const Matrix3 kFromHost(Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 0.0f, -1.0f), Point3(0.0f, 1.0f, 0.0f), Point3());

[[noreturn]] __attribute__((noinline)) void FailNotFinite(const std::string& what, const char* part)
{
    Fail(what + (part ? part : "") + " is not a finite number");
}

// The message names what (and, when given, which part of it): both are
// joined only on failure, since vertices and keys are checked by the million.
inline void CheckFinite(std::initializer_list<float> values, const std::string& what, const char* part = nullptr)
{
    for (const float v : values)
        if (!std::isfinite(v))
            FailNotFinite(what, part);
}

// p * kToHost, written out: adding zero gives the +0 the product gives
// for a component of -0.
Point3 HostPoint(const aiVector3D& v, const std::string& what, const char* part = nullptr)
{
    CheckFinite({v.x, v.y, v.z}, what, part);
    return Point3(v.x + 0.0f, -v.z + 0.0f, v.y + 0.0f);
}

// VectorTransform(kToHost, v), written out term for term (so zeros keep the
// signs the product gives them).
Point3 ToHostVector(const aiVector3D& v)
{
    return Point3(v.x * 1.0f + v.y * 0.0f + v.z * 0.0f, v.x * 0.0f + v.y * 0.0f + v.z * -1.0f,
                  v.x * 0.0f + v.y * 1.0f + v.z * 0.0f);
}

Point3 HostVector(const aiVector3D& v, const std::string& what, const char* part = nullptr)
{
    CheckFinite({v.x, v.y, v.z}, what, part);
    return ToHostVector(v);
}

// A matrix of the file (column vectors, translation in the last column)
// as a host transform, in host axes.
Matrix3 HostMatrix(const aiMatrix4x4& m, const std::string& what)
{
    CheckFinite({m.a1, m.a2, m.a3, m.a4, m.b1, m.b2, m.b3, m.b4, m.c1, m.c2, m.c3, m.c4}, what);
    const Matrix3 rows(Point3(m.a1, m.b1, m.c1), Point3(m.a2, m.b2, m.c2), Point3(m.a3, m.b3, m.c3),
                       Point3(m.a4, m.b4, m.c4));
    return kFromHost * rows * kToHost;
}

// The rotation of a quaternion of the file (turning counter-clockwise, w x y
// z) as a host rotation in host axes.
Quat HostRotation(const aiQuaternion& q, const std::string& what, const char* part = nullptr)
{
    CheckFinite({q.w, q.x, q.y, q.z}, what, part);
    if (q.w == 0.0f && q.x == 0.0f && q.y == 0.0f && q.z == 0.0f)
        Fail(what + (part ? part : "") + " is not a rotation");
    // Files round their quaternions: the rotation is that of the unit one.
    aiQuaternion unit = q;
    unit.Normalize();
    const aiMatrix3x3 r = unit.GetMatrix();
    const Matrix3 rows(Point3(r.a1, r.b1, r.c1), Point3(r.a2, r.b2, r.c2), Point3(r.a3, r.b3, r.c3), Point3());
    return Quat(kFromHost * rows * kToHost);
}

// A transform split into scale, then rotation, then translation; false when
// the axes do not make one (a shear) within 1e-4.
struct Parts
{
    Point3 scale{1.0f, 1.0f, 1.0f};
    Quat rotation;
    Point3 position;
};

bool Decompose(const Matrix3& m, Parts& parts)
{
    parts.position = m.GetTrans();
    const float sign = m.Parity() ? -1.0f : 1.0f;
    Point3 rows[3];
    for (int i = 0; i < 3; ++i) {
        const float length = m[i].Length();
        if (length == 0.0f)
            return false;
        parts.scale[i] = sign * length;
        rows[i] = m[i] / parts.scale[i];
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (std::fabs(DotProd(rows[i], rows[j]) - (i == j ? 1.0f : 0.0f)) > 1e-4f)
                return false;
    parts.rotation = Quat(Matrix3(rows[0], rows[1], rows[2], Point3()));
    return true;
}

// The rigid frame, in a node's own axes, of a camera or light that looks
// along dir with up as its up: the host's cameras and lights look down their
// local -Z with +Y up.
Matrix3 ViewFrame(const Point3& dir, const Point3& upHint, const Point3& position)
{
    const Point3 z = -Normalize(dir);
    Point3 x = Normalize(CrossProd(upHint, z));
    if (x.LengthSquared() == 0.0f) {
        // Any up not along the view.
        const Point3 other = std::fabs(z.z) < 0.9f ? Point3(0.0f, 0.0f, 1.0f) : Point3(0.0f, 1.0f, 0.0f);
        x = Normalize(CrossProd(other, z));
    }
    const Point3 y = CrossProd(z, x);
    return Matrix3(x, y, z, position);
}

// Percent-escapes of a texture path decoded ("Normal%20Map.png").
std::string UriDecoded(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
            out += char(hex(s[i + 1]) * 16 + hex(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

class ModelImporter
{
public:
    ModelImporter(const aiScene& ai, HostScene& scene, std::string folder)
        : m_Ai(ai), m_Scene(scene), m_Folder(std::move(folder))
    {}

    void Run(bool fbxUnits)
    {
        Units(fbxUnits);
        Takes();
        for (unsigned i = 0; m_Ai.mCameras && i < m_Ai.mNumCameras; ++i)
            if (m_Ai.mCameras[i])
                m_Cameras.emplace(m_Ai.mCameras[i]->mName.C_Str(), m_Ai.mCameras[i]);
        for (unsigned i = 0; m_Ai.mLights && i < m_Ai.mNumLights; ++i)
            if (m_Ai.mLights[i])
                m_Lights.emplace(m_Ai.mLights[i]->mName.C_Str(), m_Ai.mLights[i]);
        if (!m_Ai.mRootNode)
            Fail("the file has no nodes");
        Materials();
        Nodes();
        Meshes();
        if (m_RebuiltNormals > 0)
            m_Scene.Warnings().push_back(
                std::to_string(m_RebuiltNormals) +
                (m_RebuiltNormals == 1 ? " normal was not a finite number: rebuilt from the face that uses it"
                                       : " normals were not finite numbers: rebuilt from the faces that use them"));
        LeftOutPrimitives();
    }

private:
    // The file a texture path names: an embedded image written to the
    // scene's private folder, else the file found as written (`\` read as
    // `/`, `%20`-style escapes decoded, a relative path from the model's
    // folder), else by its file name beside the model, else in the model's
    // textures/ folder, else all of them without regard to case (a path from
    // the author's machine, C:\models\top.tga, names a file that sits beside
    // the model); else the path as written (the bitmap is then missing, as
    // the host reports it). how says which way it was found.
    std::string TexturePath(const std::string& path, std::string& how)
    {
        if (!path.empty() && path[0] == '*') {
            char* end = nullptr;
            const long i = std::strtol(path.c_str() + 1, &end, 10);
            if (path.size() < 2 || *end || i < 0 || unsigned(i) >= m_Ai.mNumTextures || !m_Ai.mTextures)
                Fail("embedded texture " + Quoted(path) + " is not in the file");
            how = "embedded";
            return EmbeddedFile(int(i));
        }
        for (unsigned i = 0; m_Ai.mTextures && i < m_Ai.mNumTextures; ++i)
            if (m_Ai.mTextures[i] && path == m_Ai.mTextures[i]->mFilename.C_Str()) {
                how = "embedded";
                return EmbeddedFile(int(i));
            }
        const std::string native = PlatformNativePath(UriDecoded(path).c_str());
        const size_t slash = native.rfind('/');
        const std::string file = slash == std::string::npos ? native : native.substr(slash + 1);
        // A drive letter names another machine's disk: only the file name
        // can be looked for.
        const bool foreign = native.size() > 1 && native[1] == ':';
        std::vector<BitmapPlace> places;
        places.push_back({foreign || (!native.empty() && native[0] == '/') ? "" : m_Folder, foreign ? "" : native});
        places.push_back({m_Folder, file});
        places.push_back({m_Folder + "textures/", file});
        static const char* const ways[] = {"as written", "beside the model", "in the model's textures folder"};
        std::string found;
        bool caseBlind = false;
        const int place = FindBitmapFile(places, found, caseBlind);
        if (place < 0) {
            how = "not found";
            return path;
        }
        how = std::string("found ") + ways[place] + (caseBlind ? " without regard to case" : "");
        return found;
    }

    // Writes embedded image index once, as texture<index> with the
    // extension its format hint gives (a TGA for raw pixels), into the
    // scene's private temporary folder.
    std::string EmbeddedFile(int index)
    {
        const auto done = m_Embedded.find(index);
        if (done != m_Embedded.end())
            return done->second;
        const aiTexture* t = m_Ai.mTextures[index];
        const std::string what = "embedded texture " + std::to_string(index);
        if (!t || !t->pcData)
            Fail(what + " has no data");
        if (m_TempFolder.empty()) {
            const char* base = std::getenv("TMPDIR");
            std::string pattern = std::string(base && *base ? base : "/tmp") + "/qdx-host-XXXXXX";
            if (!mkdtemp(pattern.data()))
                Fail("no temporary folder for its embedded textures");
            m_TempFolder = pattern;
            m_Scene.AddTemporaryFolder(m_TempFolder);
        }
        std::string extension;
        for (const char c : t->achFormatHint) {
            if (c >= 'A' && c <= 'Z')
                extension += char(c - 'A' + 'a');
            else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
                extension += c;
            else
                break;
        }
        std::string file = m_TempFolder + "/texture" + std::to_string(index) + ".";
        std::string bytes;
        if (t->mHeight == 0) {
            file += extension.empty() ? "bin" : extension;
            bytes.assign(reinterpret_cast<const char*>(t->pcData), t->mWidth);
        } else {
            // Raw pixels as an uncompressed 32-bit TGA, rows from the top.
            file += "tga";
            const uint64_t pixels = uint64_t(t->mWidth) * t->mHeight;
            if (t->mWidth > 0xFFFF || t->mHeight > 0xFFFF || pixels > (uint64_t(1) << 26))
                Fail(what + " is too large");
            bytes.assign(18, '\0');
            bytes[2] = 2;
            bytes[12] = char(t->mWidth & 0xFF);
            bytes[13] = char(t->mWidth >> 8);
            bytes[14] = char(t->mHeight & 0xFF);
            bytes[15] = char(t->mHeight >> 8);
            bytes[16] = 32;
            bytes[17] = 0x28;
            bytes.reserve(bytes.size() + size_t(pixels) * 4);
            for (size_t i = 0; i < size_t(pixels); ++i) {
                const aiTexel& texel = t->pcData[i];
                bytes += char(texel.b);
                bytes += char(texel.g);
                bytes += char(texel.r);
                bytes += char(texel.a);
            }
        }
        bool written = false;
        if (FILE* out = std::fopen(file.c_str(), "wb")) {
            written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
            written = std::fclose(out) == 0 && written;
        }
        if (!written)
            Fail(what + " cannot be written");
        m_Embedded.emplace(index, file);
        return file;
    }

    // A standard material per material of the file, in its order.
    void Materials()
    {
        for (unsigned m = 0; m_Ai.mMaterials && m < m_Ai.mNumMaterials; ++m) {
            const aiMaterial* a = m_Ai.mMaterials[m];
            aiString name;
            if (a)
                a->Get(AI_MATKEY_NAME, name);
            auto mtl = std::make_unique<StdMat2>(name.C_Str());
            mtl->SetHostId("material" + std::to_string(m));
            if (a)
                Material(*a, *mtl, "material " + Quoted(name.C_Str()));
            m_Materials.push_back(m_Scene.Adopt(std::move(mtl)));
        }
    }

    void Material(const aiMaterial& a, StdMat2& mtl, const std::string& what)
    {
        aiColor3D c;
        const auto colour = [&](const char* key, unsigned type, unsigned index, const char* part, Color& out) {
            if (a.Get(key, type, index, c) != AI_SUCCESS)
                return false;
            CheckFinite({c.r, c.g, c.b}, what, part);
            out = Color(c.r, c.g, c.b);
            return true;
        };
        Color value;
        if (colour(AI_MATKEY_COLOR_DIFFUSE, ": its diffuse colour", value))
            mtl.SetDiffuse(value);
        if (colour(AI_MATKEY_COLOR_AMBIENT, ": its ambient colour", value))
            mtl.SetAmbient(value);
        const bool specular = colour(AI_MATKEY_COLOR_SPECULAR, ": its specular colour", value);
        if (specular)
            mtl.SetSpecular(value);
        if (colour(AI_MATKEY_COLOR_EMISSIVE, ": its emissive colour", value) &&
            (value.r > 0.0f || value.g > 0.0f || value.b > 0.0f)) {
            mtl.GetShader()->SetSelfIllumClrOn(true);
            mtl.GetShader()->SetSelfIllumClr(value);
        }
        float f = 0.0f;
        // The file's specular exponent, a hundredth of it as glossiness.
        if (a.Get(AI_MATKEY_SHININESS, f) == AI_SUCCESS) {
            CheckFinite({f}, what, ": its shininess");
            mtl.SetShininess(std::clamp(f / 100.0f, 0.0f, 10.0f));
        }
        if (a.Get(AI_MATKEY_SHININESS_STRENGTH, f) == AI_SUCCESS) {
            CheckFinite({f}, what, ": its shininess strength");
            mtl.SetShinStr(std::clamp(f, 0.0f, 10.0f));
        } else {
            mtl.SetShinStr(specular ? 1.0f : 0.0f);
        }
        if (a.Get(AI_MATKEY_OPACITY, f) == AI_SUCCESS) {
            CheckFinite({f}, what, ": its opacity");
            mtl.SetXParency(std::clamp(1.0f - f, 0.0f, 1.0f));
        }
        int flag = 0;
        if (a.Get(AI_MATKEY_TWOSIDED, flag) == AI_SUCCESS)
            mtl.SetTwoSided(flag != 0);
        if (a.Get(AI_MATKEY_ENABLE_WIREFRAME, flag) == AI_SUCCESS)
            mtl.SetWire(flag != 0);
        const struct
        {
            aiTextureType type, fallback;
            int slot;
        } maps[] = {{aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR, ID_DI},
                    {aiTextureType_EMISSIVE, aiTextureType_EMISSION_COLOR, ID_SI},
                    {aiTextureType_OPACITY, aiTextureType_OPACITY, ID_OP},
                    {aiTextureType_NORMALS, aiTextureType_HEIGHT, ID_BU},
                    {aiTextureType_REFLECTION, aiTextureType_REFLECTION, ID_RL}};
        for (const auto& map : maps) {
            aiTextureType type = map.type;
            if (a.GetTextureCount(type) == 0)
                type = map.fallback;
            aiString path;
            unsigned uv = 0;
            if (a.GetTextureCount(type) == 0 || a.GetTexture(type, 0, &path, nullptr, &uv) != AI_SUCCESS)
                continue;
            auto tex = std::make_unique<BitmapTex>();
            tex->SetHostId("texmap" + std::to_string(m_TexmapCount++));
            std::string how;
            tex->SetMapName(TexturePath(path.C_Str(), how).c_str());
            tex->SetFoundBy(how, path.C_Str());
            tex->GetTheUVGen()->SetMapChannel(int(std::min(uv, 98u)) + 1);
            mtl.SetSubTexmap(map.slot, m_Scene.Adopt(std::move(tex)));
        }
    }

    void Units(bool fbxUnits)
    {
        HostSceneSettings& s = m_Scene.Settings();
        s.unitType = 5; // metres: glTF's own, and the guess for files without units
        s.unitScale = 1.0f;
        double factor = 0.0;
        float single = 0.0f;
        const bool found = fbxUnits && m_Ai.mMetaData &&
                           (m_Ai.mMetaData->Get("UnitScaleFactor", factor) ||
                            (m_Ai.mMetaData->Get("UnitScaleFactor", single) && ((factor = single), true)));
        if (found) {
            // FBX files give centimetres per unit.
            if (!std::isfinite(factor) || factor <= 0.0 || factor > 1e30)
                Fail("its unit scale is not a positive finite number");
            s.unitType = 4;
            s.unitScale = float(factor);
        }
    }

    // The file's animations, one after another on the timeline.
    void Takes()
    {
        HostSceneSettings& s = m_Scene.Settings();
        double next = 0.0;
        for (unsigned a = 0; m_Ai.mAnimations && a < m_Ai.mNumAnimations; ++a) {
            const aiAnimation* anim = m_Ai.mAnimations[a];
            if (!anim)
                Fail("animation " + std::to_string(a) + " is missing");
            const std::string what = "animation " + Quoted(anim->mName.C_Str());
            // Without a rate, a tick of the file is a frame of the host.
            const double perSecond =
                anim->mTicksPerSecond != 0.0 ? anim->mTicksPerSecond : double(TIME_TICKSPERSEC) / s.ticksPerFrame;
            if (!std::isfinite(perSecond) || perSecond < 0.0 || !std::isfinite(anim->mDuration) ||
                anim->mDuration < 0.0)
                Fail(what + " has no valid length");
            const double length = anim->mDuration / perSecond * TIME_TICKSPERSEC;
            // Keys may lie before a take's time 0: after the first take, the
            // earliest of them comes after the take before.
            if (a > 0)
                next += TicksBeforeStart(*anim, TIME_TICKSPERSEC / perSecond);
            if (next + length > 2e9)
                Fail(what + " runs beyond the host's timeline");
            AnimationTake take;
            take.name = anim->mName.C_Str();
            take.start = TimeValue(next);
            take.end = TimeValue(std::llround(next + length));
            m_Scene.Takes().push_back(take);
            m_TakeScale.push_back(TIME_TICKSPERSEC / perSecond);
            next = double(take.end) + s.ticksPerFrame;
            for (unsigned c = 0; anim->mChannels && c < anim->mNumChannels; ++c)
                if (anim->mChannels[c])
                    m_Channels[anim->mChannels[c]->mNodeName.C_Str()].push_back({a, anim->mChannels[c]});
            for (unsigned c = 0; anim->mMorphMeshChannels && c < anim->mNumMorphMeshChannels; ++c)
                if (anim->mMorphMeshChannels[c])
                    m_MorphChannels[anim->mMorphMeshChannels[c]->mName.C_Str()].push_back(
                        {a, anim->mMorphMeshChannels[c]});
        }
        if (!m_Scene.Takes().empty()) {
            s.animStart = 0;
            s.animEnd = m_Scene.Takes().back().end;
        }
    }

    // How far before its time 0 the first key of a track of the animation
    // lies, in whole ticks (0 when none does). Tracks out of order are
    // refused later.
    static double TicksBeforeStart(const aiAnimation& anim, double scale)
    {
        double earliest = 0.0;
        const auto first = [&earliest](unsigned count, const auto* keys) {
            if (count > 0 && keys && std::isfinite(keys[0].mTime) && keys[0].mTime < earliest)
                earliest = keys[0].mTime;
        };
        for (unsigned c = 0; anim.mChannels && c < anim.mNumChannels; ++c)
            if (const aiNodeAnim* n = anim.mChannels[c]) {
                first(n->mNumPositionKeys, n->mPositionKeys);
                first(n->mNumRotationKeys, n->mRotationKeys);
                first(n->mNumScalingKeys, n->mScalingKeys);
            }
        for (unsigned c = 0; anim.mMorphMeshChannels && c < anim.mNumMorphMeshChannels; ++c)
            if (const aiMeshMorphAnim* m = anim.mMorphMeshChannels[c])
                first(m->mNumKeys, m->mKeys);
        return std::ceil(-earliest * scale);
    }

    struct Pending
    {
        const aiNode* node;
        INode* parent;
        Matrix3 parentFrame; // the frame folded into the parent, undone here
    };

    void Nodes()
    {
        std::vector<Pending> stack{{m_Ai.mRootNode, nullptr, Matrix3()}};
        std::set<const aiNode*> visited;
        while (!stack.empty()) {
            const Pending p = stack.back();
            stack.pop_back();
            if (!visited.insert(p.node).second)
                Fail("its node tree has a loop");
            Matrix3 frame;
            INode* node = Node(*p.node, p.parent, p.parentFrame, frame);
            if (p.node->mNumChildren > 0 && !p.node->mChildren)
                Fail("node " + Quoted(p.node->mName.C_Str()) + " has no children list");
            for (unsigned i = p.node->mNumChildren; i-- > 0;) {
                if (!p.node->mChildren[i])
                    Fail("node " + Quoted(p.node->mName.C_Str()) + " has a missing child");
                stack.push_back({p.node->mChildren[i], node, frame});
            }
        }
    }

    INode* Node(const aiNode& ai, INode* parent, const Matrix3& parentFrame, Matrix3& frame)
    {
        const std::string name = ai.mName.C_Str();
        const std::string what = "node " + Quoted(name);
        INode* node = m_Scene.AddNode(name, parent);
        node->SetHostId("node" + std::to_string(m_NodeCount++));
        Object* object = nullptr;
        const auto camera = m_Cameras.find(name);
        const auto light = m_Lights.find(name);
        if (camera != m_Cameras.end() && !m_Used[camera->second]) {
            m_Used[camera->second] = true;
            object = Camera(*camera->second, frame);
        } else if (light != m_Lights.end() && !m_Used[light->second]) {
            m_Used[light->second] = true;
            object = Light(*light->second, frame);
        } else if (ai.mNumMeshes > 0) {
            // Its mesh is made once every node stands (bones may come later).
            m_MeshNodes.emplace_back(node, &ai);
        } else {
            object = m_Scene.Adopt(std::make_unique<Object>(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy"));
            object->SetHostId("helper" + std::to_string(m_HelperCount++));
        }
        if (object)
            node->SetObjectRef(object);
        m_NodesByName.emplace(name, node);
        const Matrix3 local = HostMatrix(ai.mTransformation, what + ": its transform");
        const auto channels = m_Channels.find(name);
        if (channels == m_Channels.end())
            node->SetTMController(StaticTransform(frame * local * Inverse(parentFrame)));
        else
            node->SetTMController(Animated(channels->second, local, frame, parentFrame, what));
        return node;
    }

    Control* StaticTransform(const Matrix3& local)
    {
        Parts parts;
        if (!Decompose(local, parts))
            return m_Scene.Adopt(std::make_unique<MatrixControl>(local));
        return Prs(Constant(KeyControl::Track::Position, parts.position), Rotation(parts.rotation),
                   Constant(KeyControl::Track::Scale, parts.scale));
    }

    Control* Prs(Control* position, Control* rotation, Control* scale)
    {
        return m_Scene.Adopt(std::make_unique<PRSControl>(position, rotation, scale));
    }

    Control* Constant(KeyControl::Track track, const Point3& value)
    {
        auto control = std::make_unique<KeyControl>(track, KeyControl::Interpolation::Linear);
        HostKey k;
        k.value = value;
        control->SetConstant(k);
        return m_Scene.Adopt(std::move(control));
    }

    Control* Rotation(const Quat& q)
    {
        auto control = std::make_unique<KeyControl>(KeyControl::Track::Rotation, KeyControl::Interpolation::Linear);
        HostKey k;
        k.rotation = q;
        control->SetConstant(k);
        return m_Scene.Adopt(std::move(control));
    }

    struct Channel
    {
        unsigned take;
        const aiNodeAnim* anim;
    };

    // Keys of one track over every take; time-sorted and checked.
    template <class Key, class Convert>
    std::vector<HostKey> Keys(const std::vector<Channel>& channels, Key* aiNodeAnim::*keys, unsigned aiNodeAnim::*count,
                              Convert convert, const std::string& what)
    {
        std::vector<HostKey> out;
        for (const Channel& c : channels) {
            if (c.anim->*count > 0 && !(c.anim->*keys))
                Fail(what + ": its keys are missing");
            const AnimationTake& take = m_Scene.Takes()[c.take];
            for (unsigned i = 0; i < c.anim->*count; ++i) {
                const Key& key = (c.anim->*keys)[i];
                CheckKeyTime(key.mTime, i, i > 0 ? (c.anim->*keys)[i - 1].mTime : key.mTime, what);
                const double ticks = std::round(key.mTime * m_TakeScale[c.take]) + take.start;
                CheckOnTimeline(ticks, what);
                HostKey k;
                k.time = TimeValue(ticks);
                // Keys closer than a tick fall on one time: the first stays.
                if (!out.empty() && k.time <= out.back().time)
                    continue;
                convert(key, k);
                out.push_back(k);
            }
        }
        return out;
    }

    // Key times may lie before 0 (before their take's start, as host times
    // may), never before the key before them.
    static void CheckKeyTime(double time, unsigned index, double before, const std::string& what)
    {
        if (!std::isfinite(time))
            Fail(what + ": the time of key " + std::to_string(index) + " is not a finite number");
        if (time < before)
            Fail(what + ": its key times are not in order: key " + std::to_string(index) + " comes before key " +
                 std::to_string(index - 1));
    }

    // The host's times are 32-bit ticks: 2e9 either way.
    static void CheckOnTimeline(double ticks, const std::string& what)
    {
        if (ticks > 2e9)
            Fail(what + ": a key lies beyond the host's timeline");
        if (ticks < -2e9)
            Fail(what + ": a key lies before the host's timeline");
    }

    Control* Animated(const std::vector<Channel>& channels, const Matrix3& local, const Matrix3& frame,
                      const Matrix3& parentFrame, const std::string& what)
    {
        // Tracks the file leaves out hold the node's own transform.
        Parts rest;
        Decompose(local, rest);
        // Frames are rigid: fold the parent's (undone) and the node's own into
        // positions and rotations; a camera or light frame's offset is dropped
        // here (the host keeps cameras and lights at their nodes).
        const Quat parentTurn = Quat(parentFrame).Inverse();
        const Point3 parentShift = parentFrame.GetTrans();
        const Quat ownTurn(frame);
        Matrix3 undo;
        parentTurn.MakeMatrix(undo);

        std::vector<HostKey> positions = Keys<aiVectorKey>(
            channels, &aiNodeAnim::mPositionKeys, &aiNodeAnim::mNumPositionKeys,
            [&](const aiVectorKey& key, HostKey& k) { k.value = HostPoint(key.mValue, what, ": a position key"); },
            what + ": position");
        std::vector<HostKey> rotations = Keys<aiQuatKey>(
            channels, &aiNodeAnim::mRotationKeys, &aiNodeAnim::mNumRotationKeys,
            [&](const aiQuatKey& key, HostKey& k) { k.rotation = HostRotation(key.mValue, what, ": a rotation key"); },
            what + ": rotation");
        std::vector<HostKey> scales = Keys<aiVectorKey>(
            channels, &aiNodeAnim::mScalingKeys, &aiNodeAnim::mNumScalingKeys,
            [&](const aiVectorKey& key, HostKey& k) {
                CheckFinite({key.mValue.x, key.mValue.y, key.mValue.z}, what, ": a scale key");
                k.value = Point3(key.mValue.x, key.mValue.z, key.mValue.y);
            },
            what + ": scale");

        auto position = std::make_unique<KeyControl>(KeyControl::Track::Position, KeyControl::Interpolation::Linear);
        auto rotation = std::make_unique<KeyControl>(KeyControl::Track::Rotation, KeyControl::Interpolation::Linear);
        auto scale = std::make_unique<KeyControl>(KeyControl::Track::Scale, KeyControl::Interpolation::Linear);
        const auto movePosition = [&](Point3 p) { return VectorTransform(undo, p - parentShift); };
        const auto turn = [&](const Quat& q) { return ownTurn * q * parentTurn; };
        HostKey constant;
        constant.value = movePosition(rest.position);
        position->SetConstant(constant);
        constant.rotation = turn(rest.rotation);
        rotation->SetConstant(constant);
        constant.value = rest.scale;
        scale->SetConstant(constant);
        for (HostKey& k : positions)
            k.value = movePosition(k.value);
        for (HostKey& k : rotations)
            k.rotation = turn(k.rotation);
        position->SetKeys(std::move(positions));
        rotation->SetKeys(std::move(rotations));
        scale->SetKeys(std::move(scales));
        return Prs(m_Scene.Adopt(std::move(position)), m_Scene.Adopt(std::move(rotation)),
                   m_Scene.Adopt(std::move(scale)));
    }

    // The meshes of the nodes that carry some, once every node stands.
    void Meshes()
    {
        for (const auto& [node, ai] : m_MeshNodes)
            NodeMesh(*node, *ai);
    }

    // One warning for the points and lines of the meshes the nodes show,
    // each file mesh counted once however many nodes show it: the host's
    // meshes hold triangles only, so they are left out.
    void LeftOutPrimitives()
    {
        std::set<unsigned> shown;
        for (const auto& [node, ai] : m_MeshNodes)
            shown.insert(ai->mMeshes, ai->mMeshes + ai->mNumMeshes);
        size_t points = 0, lines = 0;
        // Every index was checked when its node's mesh was made.
        for (const unsigned index : shown) {
            const aiMesh& m = *m_Ai.mMeshes[index];
            for (unsigned f = 0; f < m.mNumFaces; ++f) {
                points += m.mFaces[f].mNumIndices == 1;
                lines += m.mFaces[f].mNumIndices == 2;
            }
        }
        if (points == 0 && lines == 0)
            return;
        std::string what;
        if (points > 0)
            what = std::to_string(points) + (points == 1 ? " point" : " points");
        if (lines > 0)
            what += (what.empty() ? "" : " and ") + std::to_string(lines) + (lines == 1 ? " line" : " lines");
        m_Scene.Warnings().push_back(what + (points + lines == 1 ? " was" : " were") +
                                     " left out: meshes hold triangles only");
    }

    // One mesh of a node, checked.
    const aiMesh& MeshOf(unsigned index, const std::string& what)
    {
        if (index >= m_Ai.mNumMeshes || !m_Ai.mMeshes || !m_Ai.mMeshes[index])
            Fail(what + ": mesh " + std::to_string(index) + " is not in the file");
        const aiMesh& m = *m_Ai.mMeshes[index];
        if ((m.mNumVertices > 0 && !m.mVertices) || (m.mNumFaces > 0 && !m.mFaces) || (m.mNumBones > 0 && !m.mBones) ||
            (m.mNumAnimMeshes > 0 && !m.mAnimMeshes))
            Fail(what + ": mesh " + std::to_string(index) + " lacks an array it counts");
        return m;
    }

    // The host vertex of each of the node's file vertices: vertices merge
    // when their positions, bone weights and morph-target positions are all
    // the same, bit for bit.
    struct Merged
    {
        std::vector<int> hostOf;       // per file vertex, meshes one after another
        std::vector<Point3> positions; // per host vertex
        std::vector<std::vector<SkinWeight>> weights;
        std::vector<std::vector<Point3>> targets; // per channel, per host vertex
    };

    void NodeMesh(INode& node, const aiNode& ai)
    {
        const std::string what = "node " + Quoted(ai.mName.C_Str());
        if (!ai.mMeshes)
            Fail(what + " has no mesh list");
        std::vector<const aiMesh*> meshes;
        size_t fileVertices = 0;
        unsigned channels = 0;
        for (unsigned i = 0; i < ai.mNumMeshes; ++i) {
            const aiMesh& m = MeshOf(ai.mMeshes[i], what);
            meshes.push_back(&m);
            fileVertices += m.mNumVertices;
            channels = std::max(channels, m.mNumAnimMeshes);
        }
        if (fileVertices > 0x7FFFFFFF)
            Fail(what + " has too many vertices");
        if (channels > unsigned(MORPHER_CHANNELS))
            Fail(what + " has more than " + std::to_string(MORPHER_CHANNELS) + " morph targets");

        // Nodes that draw the same meshes show one object, as instances do
        // in the host; the material follows from the meshes. Not a skinned
        // one (its skin binds where its node stands), nor morph targets
        // weighed by an animation named after another node.
        bool skinned = false;
        for (const aiMesh* m : meshes)
            skinned = skinned || m->mNumBones > 0;
        InstanceKey key{std::vector<unsigned>(ai.mMeshes, ai.mMeshes + ai.mNumMeshes), nullptr};
        if (channels > 0)
            key.morphs = MorphAnimationEntry(ai, meshes);
        if (!skinned) {
            const auto shared = m_Instances.find(key);
            if (shared != m_Instances.end()) {
                if (shared->second.material)
                    node.SetMtl(shared->second.material);
                node.SetObjectRef(shared->second.object);
                return;
            }
        }

        // Bones by the nodes they name, in the order first met.
        std::vector<INode*> bones;
        std::vector<Matrix3> offsets;
        std::vector<std::vector<std::vector<SkinWeight>>> fileWeights(meshes.size());
        for (size_t i = 0; i < meshes.size(); ++i) {
            const aiMesh& m = *meshes[i];
            // Weights only for a mesh with bones: most have none.
            if (m.mNumBones > 0)
                fileWeights[i].resize(m.mNumVertices);
            for (unsigned b = 0; b < m.mNumBones; ++b) {
                const aiBone* bone = m.mBones[b];
                if (!bone || (bone->mNumWeights > 0 && !bone->mWeights))
                    Fail(what + ": a bone lacks its weights");
                const auto found = m_NodesByName.find(bone->mName.C_Str());
                if (found == m_NodesByName.end())
                    Fail(what + ": bone " + Quoted(bone->mName.C_Str()) + " names no node");
                const int index = int(std::find(bones.begin(), bones.end(), found->second) - bones.begin());
                if (size_t(index) == bones.size()) {
                    bones.push_back(found->second);
                    offsets.push_back(HostMatrix(bone->mOffsetMatrix, what + ": bone " + Quoted(bone->mName.C_Str())));
                }
                for (unsigned w = 0; w < bone->mNumWeights; ++w) {
                    const aiVertexWeight& vw = bone->mWeights[w];
                    if (vw.mVertexId >= m.mNumVertices)
                        Fail(what + ": bone " + Quoted(bone->mName.C_Str()) + " weighs vertex " +
                             std::to_string(vw.mVertexId) + " of " + std::to_string(m.mNumVertices));
                    CheckFinite({vw.mWeight}, what, ": a bone weight");
                    fileWeights[i][vw.mVertexId].push_back(SkinWeight{index, vw.mWeight});
                }
            }
            for (unsigned a = 0; a < m.mNumAnimMeshes; ++a) {
                const aiAnimMesh* target = m.mAnimMeshes[a];
                if (!target || target->mNumVertices != m.mNumVertices)
                    Fail(what + ": morph target " + std::to_string(a) + " does not fit its mesh");
            }
        }

        Merged merged;
        Merge(meshes, fileWeights, channels, what, merged);

        auto tri = std::make_unique<TriObject>();
        tri->SetHostId("mesh" + std::to_string(m_MeshCount++));
        Mesh& mesh = tri->mesh;
        const size_t hostVertices = merged.positions.size();
        mesh.verts = std::move(merged.positions);
        size_t fileFaces = 0;
        for (const aiMesh* m : meshes)
            fileFaces += m->mNumFaces;
        mesh.faces.reserve(fileFaces);
        m_FileCorners.reserve(fileFaces);
        // Materials: the one the meshes share, or a multi/sub-object
        // material of those they use, in the order first used.
        std::vector<int> used;
        std::vector<int> slotOf(meshes.size(), 0);
        for (size_t i = 0; i < meshes.size(); ++i) {
            const unsigned index = meshes[i]->mMaterialIndex;
            if (m_Materials.empty())
                continue;
            if (index >= m_Materials.size())
                Fail(what + ": material " + std::to_string(index) + " is not in the file");
            auto at = std::find(used.begin(), used.end(), int(index));
            if (at == used.end())
                at = used.insert(used.end(), int(index));
            slotOf[i] = int(at - used.begin());
        }
        size_t base = 0;
        for (size_t i = 0; i < meshes.size(); ++i) {
            const aiMesh& m = *meshes[i];
            for (unsigned f = 0; f < m.mNumFaces; ++f) {
                const aiFace& face = m.mFaces[f];
                // Points and lines are no triangles; polygons come
                // triangulated by Assimp.
                if (face.mNumIndices != 3)
                    continue;
                if (!face.mIndices)
                    Fail(what + ": a face lacks its indices");
                Face host;
                for (int k = 0; k < 3; ++k) {
                    if (face.mIndices[k] >= m.mNumVertices)
                        Fail(what + ": a face names vertex " + std::to_string(face.mIndices[k]) + " of " +
                             std::to_string(m.mNumVertices));
                    host.v[k] = DWORD(merged.hostOf[base + face.mIndices[k]]);
                }
                host.smGroup = 1;
                host.setMatID(MtlID(slotOf[i]));
                mesh.faces.push_back(host);
                m_FileCorners.push_back({uint32_t(base + face.mIndices[0]), uint32_t(base + face.mIndices[1]),
                                         uint32_t(base + face.mIndices[2])});
            }
            base += m.mNumVertices;
        }
        Maps(meshes, what, mesh);
        m_FileCorners.clear();

        if (used.size() == 1) {
            node.SetMtl(m_Materials[size_t(used[0])]);
        } else if (used.size() > 1) {
            Mtl*& multi = m_Multis[used];
            if (!multi) {
                auto made = std::make_unique<Mtl>(MULTI_CLASS_ID, "Multi/Sub-Object", node.GetName());
                made->SetHostId("multi" + std::to_string(m_Multis.size() - 1));
                std::vector<Mtl*> subs;
                for (const int u : used)
                    subs.push_back(m_Materials[size_t(u)]);
                made->SetSubMtls(std::move(subs));
                multi = m_Scene.Adopt(std::move(made));
            }
            node.SetMtl(multi);
        }

        Object* object = m_Scene.Adopt(std::move(tri));
        if (!bones.empty() || channels > 0) {
            auto derived = std::make_unique<IDerivedObject>();
            derived->SetHostId("derived" + std::to_string(m_DerivedCount++));
            derived->ReferenceObject(object);
            derived->SetEvalNode(&node);
            if (!bones.empty()) {
                // The file binds by the inverse of each bone's pose: with the
                // skin bound where the node stands at time 0, each bone's
                // init transform follows.
                auto skin = std::make_unique<SkinModifier>();
                const Matrix3 skinInit = node.GetNodeTM(0);
                std::vector<Matrix3> inits;
                for (const Matrix3& offset : offsets)
                    inits.push_back(Inverse(offset) * skinInit);
                skin->SetBones(bones, inits);
                skin->SetSkinInitTM(skinInit);
                merged.weights.resize(hostVertices);
                skin->Weights() = std::move(merged.weights);
                derived->AddModifierAtBottom(m_Scene.Adopt(std::move(skin)));
            }
            if (channels > 0)
                derived->AddModifierAtBottom(m_Scene.Adopt(Morpher(ai, meshes, channels, merged, what)));
            object = m_Scene.Adopt(std::move(derived));
        }
        node.SetObjectRef(object);
        if (!skinned)
            m_Instances.emplace(std::move(key), Instance{object, node.GetMtl()});
    }

    void Merge(const std::vector<const aiMesh*>& meshes, std::vector<std::vector<std::vector<SkinWeight>>>& fileWeights,
               unsigned channels, const std::string& what, Merged& merged)
    {
        size_t total = 0;
        for (const aiMesh* m : meshes)
            total += m->mNumVertices;
        // Weights are kept only for a mesh with bones.
        bool anyWeights = false;
        for (const auto& list : fileWeights)
            for (const auto& w : list)
                anyWeights = anyWeights || !w.empty();
        static const std::vector<SkinWeight> kNoWeights;
        const auto weightsOf = [&](size_t mesh, unsigned v) -> const std::vector<SkinWeight>& {
            return v < fileWeights[mesh].size() ? fileWeights[mesh][v] : kNoWeights;
        };

        // First everything a vertex is, and its hash, in file order.
        std::vector<Point3> points(total);
        std::vector<std::vector<Point3>> targets(channels, std::vector<Point3>(channels > 0 ? total : 0));
        std::vector<uint64_t> hashes(total);
        size_t at = 0;
        for (size_t i = 0; i < meshes.size(); ++i) {
            const aiMesh& m = *meshes[i];
            for (auto& w : fileWeights[i])
                std::sort(w.begin(), w.end(), [](const SkinWeight& a, const SkinWeight& b) {
                    return a.bone < b.bone || (a.bone == b.bone && a.weight < b.weight);
                });
            for (unsigned v = 0; v < m.mNumVertices; ++v, ++at) {
                const Point3 p = HostPoint(m.mVertices[v], what, ": a vertex");
                points[at] = p;
                uint64_t hash = 0x9E3779B97F4A7C15ull;
                const auto mix = [&hash](const void* data, size_t size) {
                    const unsigned char* bytes = static_cast<const unsigned char*>(data);
                    for (size_t k = 0; k + 4 <= size; k += 4) {
                        uint32_t word;
                        std::memcpy(&word, bytes + k, 4);
                        hash = (hash ^ word) * 0x100000001B3ull;
                        hash ^= hash >> 29;
                    }
                };
                mix(&p, sizeof(p));
                const std::vector<SkinWeight>& weights = weightsOf(i, v);
                if (!weights.empty())
                    mix(weights.data(), weights.size() * sizeof(SkinWeight));
                for (unsigned c = 0; c < channels; ++c) {
                    Point3 t = p;
                    if (c < m.mNumAnimMeshes && m.mAnimMeshes[c]->mVertices)
                        t = HostPoint(m.mAnimMeshes[c]->mVertices[v], what, ": a morph target vertex");
                    targets[c][at] = t;
                    mix(&t, sizeof(Point3));
                }
                hashes[at] = hash;
            }
        }

        // Then open addressing over the host vertices made so far: each slot
        // holds the upper half of the hash beside the host vertex, so that
        // only equal halves compare the vertices in full; slots are fetched
        // ahead of use, the table being far larger than the caches.
        size_t buckets = 16;
        while (buckets < 2 * total)
            buckets *= 2;
        const size_t mask = buckets - 1;
        std::vector<uint64_t> table(buckets, ~0ull);
        merged.targets.assign(channels, {});
        for (auto& list : merged.targets)
            list.reserve(total);
        merged.positions.reserve(total);
        merged.hostOf.resize(total);
        const auto same = [](const Point3& a, const Point3& b) { return std::memcmp(&a, &b, sizeof(Point3)) == 0; };
        const auto sameWeights = [](const std::vector<SkinWeight>& a, const std::vector<SkinWeight>& b) {
            return a.size() == b.size() &&
                   (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(SkinWeight)) == 0);
        };
        constexpr size_t kAhead = 16;
        size_t mesh = 0, meshStart = 0;
        for (size_t f = 0; f < total; ++f) {
            while (f - meshStart >= meshes[mesh]->mNumVertices)
                meshStart += meshes[mesh++]->mNumVertices;
            if (f + kAhead < total)
                __builtin_prefetch(&table[size_t(hashes[f + kAhead]) & mask]);
            const uint64_t tag = hashes[f] >> 32 << 32;
            const std::vector<SkinWeight>& weights = weightsOf(mesh, unsigned(f - meshStart));
            size_t slot = size_t(hashes[f]) & mask;
            int found = -1;
            for (; table[slot] != ~0ull; slot = (slot + 1) & mask) {
                if ((table[slot] & 0xFFFFFFFF00000000ull) != tag)
                    continue;
                const size_t h = size_t(table[slot] & 0xFFFFFFFFu);
                bool equal =
                    same(merged.positions[h], points[f]) && (!anyWeights || sameWeights(merged.weights[h], weights));
                for (unsigned c = 0; equal && c < channels; ++c)
                    equal = same(merged.targets[c][h], targets[c][f]);
                if (equal) {
                    found = int(h);
                    break;
                }
            }
            if (found < 0) {
                found = int(merged.positions.size());
                table[slot] = tag | uint64_t(uint32_t(found));
                merged.positions.push_back(points[f]);
                if (anyWeights)
                    merged.weights.push_back(weights);
                for (unsigned c = 0; c < channels; ++c)
                    merged.targets[c].push_back(targets[c][f]);
            }
            merged.hostOf[f] = found;
        }
    }

    // Each UV set is a map channel (set k, channel k + 1) and colour set 0
    // channel 0 with its alpha as channel -2, each with one vertex per file
    // vertex; imported normals become specified normals. A mesh without a
    // set gives zeros in it (white, opaque, for colours); normals are kept
    // only when every mesh has them.
    void Maps(const std::vector<const aiMesh*>& meshes, const std::string& what, Mesh& mesh)
    {
        const size_t faces = m_FileCorners.size();
        const auto fill = [&](int channel, auto value) {
            mesh.setMapSupport(channel);
            MeshMap& map = mesh.Map(channel);
            size_t vertices = 0;
            for (const aiMesh* m : meshes)
                vertices += m->mNumVertices;
            map.tv.reserve(vertices);
            for (const aiMesh* m : meshes)
                for (unsigned v = 0; v < m->mNumVertices; ++v)
                    map.tv.push_back(value(*m, v));
            map.tf.resize(faces);
            for (size_t f = 0; f < faces; ++f)
                for (int k = 0; k < 3; ++k)
                    map.tf[f].t[k] = DWORD(m_FileCorners[f][size_t(k)]);
        };
        for (unsigned set = 0; set < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++set) {
            bool any = false;
            for (const aiMesh* m : meshes)
                any = any || (m->mTextureCoords[set] && m->mNumVertices > 0);
            if (any)
                fill(int(set) + 1, [&](const aiMesh& m, unsigned v) {
                    if (!m.mTextureCoords[set])
                        return UVVert();
                    const aiVector3D& uv = m.mTextureCoords[set][v];
                    CheckFinite({uv.x, uv.y, uv.z}, what, ": a texture coordinate");
                    return UVVert(uv.x, uv.y, uv.z);
                });
        }
        bool colours = false;
        for (const aiMesh* m : meshes)
            colours = colours || (m->mColors[0] && m->mNumVertices > 0);
        if (colours) {
            const auto colour = [&](const aiMesh& m, unsigned v) {
                if (!m.mColors[0])
                    return aiColor4D(1.0f, 1.0f, 1.0f, 1.0f);
                const aiColor4D& c = m.mColors[0][v];
                CheckFinite({c.r, c.g, c.b, c.a}, what, ": a vertex colour");
                return c;
            };
            fill(0, [&](const aiMesh& m, unsigned v) {
                const aiColor4D c = colour(m, v);
                return UVVert(c.r, c.g, c.b);
            });
            fill(MAP_ALPHA, [&](const aiMesh& m, unsigned v) {
                const aiColor4D c = colour(m, v);
                return UVVert(c.a, c.a, c.a);
            });
        }
        bool normals = !meshes.empty();
        for (const aiMesh* m : meshes)
            normals = normals && (m->mNormals || m->mNumVertices == 0);
        if (normals) {
            MeshNormalSpec& spec = mesh.SpecifyNormals();
            // A normal that is not a number (a file's normal of a face
            // without area) is rebuilt below rather than refuse the model.
            std::vector<size_t> bad;
            for (const aiMesh* m : meshes)
                for (unsigned v = 0; v < m->mNumVertices; ++v) {
                    const aiVector3D& n = m->mNormals[v];
                    if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.z))
                        bad.push_back(spec.normals.size());
                    spec.normals.push_back(ToHostVector(n));
                }
            spec.faces.resize(faces);
            for (size_t f = 0; f < faces; ++f)
                for (int k = 0; k < 3; ++k)
                    spec.faces[f].mNormalID[k] = int(m_FileCorners[f][size_t(k)]);
            if (!bad.empty())
                RebuildNormals(mesh, bad);
        }
    }

    // Each normal listed becomes the normal of the first face that uses it,
    // as the host makes a face's normal (zero for a face without area, or
    // for a normal no face uses).
    void RebuildNormals(Mesh& mesh, const std::vector<size_t>& bad)
    {
        MeshNormalSpec& spec = *mesh.GetSpecifiedNormals();
        std::vector<char> pending(spec.normals.size(), 0);
        for (const size_t n : bad) {
            pending[n] = 1;
            spec.normals[n] = Point3();
        }
        size_t left = bad.size();
        for (size_t f = 0; f < m_FileCorners.size() && left > 0; ++f)
            for (int k = 0; k < 3; ++k) {
                const size_t n = m_FileCorners[f][size_t(k)];
                if (!pending[n])
                    continue;
                const Point3& a = mesh.verts[mesh.faces[f].v[0]];
                const Point3 normal =
                    Normalize(CrossProd(mesh.verts[mesh.faces[f].v[1]] - a, mesh.verts[mesh.faces[f].v[2]] - a));
                // Huge points overflow the product: zero then too.
                if (std::isfinite(normal.x) && std::isfinite(normal.y) && std::isfinite(normal.z))
                    spec.normals[n] = normal;
                pending[n] = 0;
                --left;
            }
        m_RebuiltNormals += bad.size();
    }

    // The Morpher of the node's morph targets: channel c + 1 for target c,
    // its points those of the targets, its weight the file's (as percent),
    // keyed when an animation of the file weighs it.
    std::unique_ptr<Modifier> Morpher(const aiNode& ai, const std::vector<const aiMesh*>& meshes, unsigned channels,
                                      Merged& merged, const std::string& what)
    {
        auto morpher = std::make_unique<MorpherModifier>();
        std::vector<std::vector<HostKey>> keys(channels);
        for (const auto& [take, anim] : MorphAnimationsOf(ai, meshes)) {
            const AnimationTake& t = m_Scene.Takes()[take];
            if (anim->mNumKeys > 0 && !anim->mKeys)
                Fail(what + ": a morph animation lacks its keys");
            for (unsigned k = 0; k < anim->mNumKeys; ++k) {
                const aiMeshMorphKey& key = anim->mKeys[k];
                CheckKeyTime(key.mTime, k, k > 0 ? anim->mKeys[k - 1].mTime : key.mTime, what + ": morph");
                const double ticks = std::round(key.mTime * m_TakeScale[take]) + t.start;
                CheckOnTimeline(ticks, what + ": morph");
                if (key.mNumValuesAndWeights > 0 && (!key.mValues || !key.mWeights))
                    Fail(what + ": a morph key lacks its weights");
                for (unsigned i = 0; i < key.mNumValuesAndWeights; ++i) {
                    const unsigned c = key.mValues[i];
                    if (c >= channels)
                        Fail(what + ": a morph key weighs target " + std::to_string(c) + " of " +
                             std::to_string(channels));
                    if (!std::isfinite(key.mWeights[i]))
                        Fail(what + ": a morph key weight is not a finite number");
                    HostKey h;
                    h.time = TimeValue(ticks);
                    h.value.x = float(key.mWeights[i] * 100.0);
                    // Keys closer than a tick fall on one time: the first stays.
                    if (keys[c].empty() || h.time > keys[c].back().time)
                        keys[c].push_back(h);
                }
            }
        }
        for (unsigned c = 0; c < channels; ++c) {
            MorphChannel& channel = morpher->Channel(int(c) + 1);
            channel.SetUsed(true);
            std::string name;
            float weight = 0.0f;
            for (const aiMesh* m : meshes)
                if (c < m->mNumAnimMeshes) {
                    name = m->mAnimMeshes[c]->mName.C_Str();
                    weight = m->mAnimMeshes[c]->mWeight;
                    break;
                }
            CheckFinite({weight}, what, ": a morph target weight");
            channel.SetName(name.empty() ? "Target " + std::to_string(c) : name);
            channel.SetTarget(std::move(merged.targets[c]));
            auto block = std::make_unique<IParamBlock>(1);
            const bool keyed = !keys[c].empty();
            auto control =
                std::make_unique<KeyControl>(KeyControl::Track::Float, keyed ? KeyControl::Interpolation::Linear
                                                                             : KeyControl::Interpolation::Bezier);
            HostKey constant;
            constant.value.x = weight * 100.0f;
            control->SetConstant(constant);
            control->SetKeys(std::move(keys[c]));
            block->SetController(0, std::move(control));
            channel.SetWeightBlock(std::move(block));
        }
        return morpher;
    }

    // The file's morph animations of a node: named after the node, or else
    // after one of its meshes (null for none).
    using MorphAnimations = std::vector<std::pair<unsigned, const aiMeshMorphAnim*>>;
    const MorphAnimations* MorphAnimationEntry(const aiNode& ai, const std::vector<const aiMesh*>& meshes) const
    {
        auto found = m_MorphChannels.find(ai.mName.C_Str());
        for (size_t i = 0; found == m_MorphChannels.end() && i < meshes.size(); ++i)
            found = m_MorphChannels.find(meshes[i]->mName.C_Str());
        return found == m_MorphChannels.end() ? nullptr : &found->second;
    }

    MorphAnimations MorphAnimationsOf(const aiNode& ai, const std::vector<const aiMesh*>& meshes) const
    {
        const MorphAnimations* found = MorphAnimationEntry(ai, meshes);
        return found ? *found : MorphAnimations();
    }

    Object* Camera(const aiCamera& c, Matrix3& frame)
    {
        const std::string what = "camera " + Quoted(c.mName.C_Str());
        CheckFinite({c.mHorizontalFOV, c.mClipPlaneNear, c.mClipPlaneFar, c.mAspect, c.mOrthographicWidth}, what);
        const Point3 look = HostVector(c.mLookAt, what + ": its view direction");
        if (look.LengthSquared() == 0.0f)
            Fail(what + ": its view direction is zero");
        // Assimp repeats the node's position in the camera's (glTF, 3DS) or
        // leaves it zero: the node alone places the camera.
        frame = ViewFrame(look, HostVector(c.mUp, what + ": its up direction"), Point3());
        auto camera = std::make_unique<GenCamera>(false);
        CameraState& s = camera->State();
        s.isOrtho = c.mOrthographicWidth > 0.0f;
        // Assimp's importers give the whole horizontal angle.
        const float fov = c.mHorizontalFOV;
        s.fov = fov > 0.0f && fov < 3.1415925f ? fov : 0.7853982f;
        s.manualClip = TRUE;
        s.hither = std::fabs(c.mClipPlaneNear);
        s.yon = std::fabs(c.mClipPlaneFar);
        camera->SetHostId("camera" + std::to_string(m_CameraCount++));
        return m_Scene.Adopt(std::move(camera));
    }

    Object* Light(const aiLight& l, Matrix3& frame)
    {
        const std::string what = "light " + Quoted(l.mName.C_Str());
        CheckFinite({l.mColorDiffuse.r, l.mColorDiffuse.g, l.mColorDiffuse.b}, what + ": its colour");
        int type = OMNI_LGT;
        switch (l.mType) {
        case aiLightSource_DIRECTIONAL: type = DIRECT_LGT; break;
        case aiLightSource_SPOT: type = SPOT_LGT; break;
        case aiLightSource_AMBIENT: type = AMBIENT_LGT; break;
        default: type = OMNI_LGT; break;
        }
        // As for cameras, the node alone places the light.
        if (type == SPOT_LGT || type == DIRECT_LGT) {
            const Point3 dir = HostVector(l.mDirection, what + ": its direction");
            if (dir.LengthSquared() > 0.0f)
                frame = ViewFrame(dir, HostVector(l.mUp, what + ": its up direction"), Point3());
        }
        auto light = std::make_unique<GenLight>(type, false);
        LightState& s = light->State();
        // Colours above 1 carry the intensity: the multiplier takes it.
        const float brightest = std::max({l.mColorDiffuse.r, l.mColorDiffuse.g, l.mColorDiffuse.b});
        s.intens = brightest > 1.0f ? brightest : 1.0f;
        s.color = Color(l.mColorDiffuse.r / s.intens, l.mColorDiffuse.g / s.intens, l.mColorDiffuse.b / s.intens);
        if (type == SPOT_LGT) {
            CheckFinite({l.mAngleInnerCone, l.mAngleOuterCone}, what + ": its cone");
            const auto degrees = [](float radians) { return std::clamp(radians * 57.29578f, 0.0f, 180.0f); };
            s.hotsize = degrees(l.mAngleInnerCone);
            s.fallsize = std::max(degrees(l.mAngleOuterCone), s.hotsize);
        }
        light->SetHostId("light" + std::to_string(m_LightCount++));
        return m_Scene.Adopt(std::move(light));
    }

    const aiScene& m_Ai;
    HostScene& m_Scene;
    std::string m_Folder;
    std::map<std::string, const aiCamera*> m_Cameras;
    std::map<std::string, const aiLight*> m_Lights;
    std::map<const void*, bool> m_Used;
    std::map<std::string, std::vector<Channel>> m_Channels;
    std::map<std::string, std::vector<std::pair<unsigned, const aiMeshMorphAnim*>>> m_MorphChannels;
    std::map<std::string, INode*> m_NodesByName;
    std::vector<std::pair<INode*, const aiNode*>> m_MeshNodes;
    std::vector<Mtl*> m_Materials;
    std::map<std::vector<int>, Mtl*> m_Multis;
    // The object made for each list of meshes (and morph animations).
    struct InstanceKey
    {
        std::vector<unsigned> meshes;
        const MorphAnimations* morphs;
        bool operator<(const InstanceKey& o) const
        {
            return meshes != o.meshes ? meshes < o.meshes : std::less<const void*>()(morphs, o.morphs);
        }
    };
    struct Instance
    {
        Object* object;
        Mtl* material;
    };
    std::map<InstanceKey, Instance> m_Instances;
    std::map<int, std::string> m_Embedded;
    std::string m_TempFolder;
    // The faces of the mesh being made, by the file vertices of their
    // corners (the node's meshes one after another).
    std::vector<std::array<uint32_t, 3>> m_FileCorners;
    std::vector<double> m_TakeScale;
    int m_NodeCount = 0, m_MeshCount = 0, m_HelperCount = 0, m_CameraCount = 0, m_LightCount = 0;
    int m_DerivedCount = 0, m_TexmapCount = 0;
    size_t m_RebuiltNormals = 0;
};

bool EndsWithNoCase(const std::string& s, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

} // namespace

bool ImportHostModel(const std::string& path, HostScene& scene, std::string& error)
{
    const std::string native = PlatformNativePath(path.c_str());
    if (!PlatformPathExists(native.c_str())) {
        error = path + ": cannot be opened";
        return false;
    }
    Assimp::Importer importer;
    const aiScene* ai = importer.ReadFile(native, kHostModelImportFlags);
    if (!ai) {
        error = path + ": Assimp cannot import it: " + importer.GetErrorString();
        return false;
    }
    const size_t slash = native.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : native.substr(0, slash + 1);
    const size_t warnings = scene.Warnings().size();
    if (MapHostModel(*ai, folder, EndsWithNoCase(native, ".fbx"), scene, error)) {
        // Warnings name the file as refusals do.
        for (size_t i = warnings; i < scene.Warnings().size(); ++i)
            scene.Warnings()[i] = path + ": " + scene.Warnings()[i];
        return true;
    }
    error = path + ": " + error;
    return false;
}

bool MapHostModel(const aiScene& ai, const std::string& folder, bool fbxUnits, HostScene& scene, std::string& error)
{
    try {
        ModelImporter(ai, scene, folder).Run(fbxUnits);
        return true;
    } catch (const ImportError& e) {
        error = e.what;
    }
    return false;
}
