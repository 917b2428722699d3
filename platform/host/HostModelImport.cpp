#include "platform/host/HostModelImport.h"

#include <algorithm>
#include <assimp/Importer.hpp>
#include <assimp/metadata.h>
#include <assimp/scene.h>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <strings.h>
#include <vector>

#include "platform/PlatformPaths.h"
#include "platform/host/GenCamera.h"
#include "platform/host/GenLight.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/KeyControl.h"

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

// The message names what (and, when given, which part of it): both are
// joined only on failure, since keys are checked by the thousand.
void CheckFinite(std::initializer_list<float> values, const std::string& what, const char* part = nullptr)
{
    for (const float v : values)
        if (!std::isfinite(v))
            Fail(what + (part ? part : "") + " is not a finite number");
}

Point3 HostPoint(const aiVector3D& v, const std::string& what, const char* part = nullptr)
{
    CheckFinite({v.x, v.y, v.z}, what, part);
    return Point3(v.x, v.y, v.z) * kToHost;
}

Point3 HostVector(const aiVector3D& v, const std::string& what, const char* part = nullptr)
{
    CheckFinite({v.x, v.y, v.z}, what, part);
    return VectorTransform(kToHost, Point3(v.x, v.y, v.z));
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
        CheckTextures();
        Units(fbxUnits);
        Takes();
        for (unsigned i = 0; i < m_Ai.mNumCameras; ++i)
            m_Cameras.emplace(m_Ai.mCameras[i]->mName.C_Str(), m_Ai.mCameras[i]);
        for (unsigned i = 0; i < m_Ai.mNumLights; ++i)
            m_Lights.emplace(m_Ai.mLights[i]->mName.C_Str(), m_Ai.mLights[i]);
        if (!m_Ai.mRootNode)
            Fail("the file has no nodes");
        Nodes();
    }

private:
    void CheckTextures()
    {
        for (unsigned m = 0; m < m_Ai.mNumMaterials; ++m) {
            const aiMaterial* material = m_Ai.mMaterials[m];
            for (int type = aiTextureType_NONE; type <= AI_TEXTURE_TYPE_MAX; ++type) {
                const unsigned count = material->GetTextureCount(aiTextureType(type));
                for (unsigned i = 0; i < count; ++i) {
                    aiString path;
                    if (material->GetTexture(aiTextureType(type), i, &path) != AI_SUCCESS)
                        continue;
                    CheckTexture(path.C_Str());
                }
            }
        }
    }

    void CheckTexture(const std::string& path)
    {
        if (!path.empty() && path[0] == '*') {
            char* end = nullptr;
            const long index = std::strtol(path.c_str() + 1, &end, 10);
            if (path.size() < 2 || *end || index < 0 || unsigned(index) >= m_Ai.mNumTextures)
                Fail("embedded texture " + Quoted(path) + " is not in the file");
            return;
        }
        if (m_Ai.GetEmbeddedTexture(path.c_str()))
            return;
        const std::string native = PlatformNativePath(UriDecoded(path).c_str());
        const std::string resolved = !native.empty() && native[0] == '/' ? native : m_Folder + native;
        if (native.empty() || !PlatformPathExists(resolved.c_str()))
            Fail("texture " + Quoted(path) + " not found");
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
        for (unsigned a = 0; a < m_Ai.mNumAnimations; ++a) {
            const aiAnimation* anim = m_Ai.mAnimations[a];
            const std::string what = "animation " + Quoted(anim->mName.C_Str());
            // Without a rate, a tick of the file is a frame of the host.
            const double perSecond =
                anim->mTicksPerSecond != 0.0 ? anim->mTicksPerSecond : double(TIME_TICKSPERSEC) / s.ticksPerFrame;
            if (!std::isfinite(perSecond) || perSecond < 0.0 || !std::isfinite(anim->mDuration) ||
                anim->mDuration < 0.0)
                Fail(what + " has no valid length");
            const double length = anim->mDuration / perSecond * TIME_TICKSPERSEC;
            if (next + length > 2e9)
                Fail(what + " runs beyond the host's timeline");
            AnimationTake take;
            take.name = anim->mName.C_Str();
            take.start = TimeValue(next);
            take.end = TimeValue(std::llround(next + length));
            m_Scene.Takes().push_back(take);
            m_TakeScale.push_back(TIME_TICKSPERSEC / perSecond);
            next = double(take.end) + s.ticksPerFrame;
            for (unsigned c = 0; c < anim->mNumChannels; ++c)
                m_Channels[anim->mChannels[c]->mNodeName.C_Str()].push_back({a, anim->mChannels[c]});
        }
        if (!m_Scene.Takes().empty()) {
            s.animStart = 0;
            s.animEnd = m_Scene.Takes().back().end;
        }
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
        size_t visited = 0;
        while (!stack.empty()) {
            const Pending p = stack.back();
            stack.pop_back();
            if (++visited > 10000000)
                Fail("its node tree does not end");
            Matrix3 frame;
            INode* node = Node(*p.node, p.parent, p.parentFrame, frame);
            for (unsigned i = p.node->mNumChildren; i-- > 0;)
                stack.push_back({p.node->mChildren[i], node, frame});
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
            object = m_Scene.Adopt(std::make_unique<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x0009, 0), "Editable Mesh"));
            object->SetHostId("mesh" + std::to_string(m_MeshCount++));
        } else {
            object = m_Scene.Adopt(std::make_unique<Object>(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy"));
            object->SetHostId("helper" + std::to_string(m_HelperCount++));
        }
        node->SetObjectRef(object);
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
            const AnimationTake& take = m_Scene.Takes()[c.take];
            double last = -1.0;
            for (unsigned i = 0; i < c.anim->*count; ++i) {
                const Key& key = (c.anim->*keys)[i];
                if (!std::isfinite(key.mTime) || key.mTime < 0.0 || key.mTime < last)
                    Fail(what + ": its key times are not in order");
                last = key.mTime;
                const double ticks = std::round(key.mTime * m_TakeScale[c.take]) + take.start;
                if (ticks > 2e9)
                    Fail(what + ": a key lies beyond the host's timeline");
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
    std::vector<double> m_TakeScale;
    int m_NodeCount = 0, m_MeshCount = 0, m_HelperCount = 0, m_CameraCount = 0, m_LightCount = 0;
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
    const aiScene* ai = importer.ReadFile(native, 0);
    if (!ai) {
        error = path + ": Assimp cannot import it: " + importer.GetErrorString();
        return false;
    }
    const size_t slash = native.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : native.substr(0, slash + 1);
    try {
        ModelImporter(*ai, scene, folder).Run(EndsWithNoCase(native, ".fbx"));
        return true;
    } catch (const ImportError& e) {
        error = path + ": " + e.what;
    }
    return false;
}
