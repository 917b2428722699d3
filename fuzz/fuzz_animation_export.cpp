// Exports an arbitrary key table of the host as node animation (keys out of
// order or at one time, NaN and infinite values, zero and NaN axes, tangent
// types above 5, a range and a sampling step of any size), runs the
// animation post passes over it and plays the result in the engine.
//
// Input: 8 header bytes, then the keys, then the skin data.
// - byte 0: bits 0-1 the track (0 a Morpher channel's weight, 1 position,
//   2 rotation, 3 scale); bits 2-3 its class (0 linear, 1 Bezier, 2 TCB, 3 a
//   class of no standard kind, which is sampled); bit 4 the node is a
//   camera; bit 5 reduceRedondantKeys; bit 6 ignore1KeyAnimation; bit 7 a
//   second, Biped-driven node shares the track.
// - byte 1: the sampling step (signed); byte 2: the range in frames; byte
//   3: the ticks per frame (1 + 19 times it, at most 4800); bytes 4-7: the
//   reduction threshold (a float).
// - byte 8: the key count n; then n keys of 96 bytes: the time (32-bit
//   ticks), the flags, then 22 floats (value x, y, z; rotation x, y, z, w;
//   TCB angle and axis x, y, z; in tangent x, y, z; out tangent x, y, z;
//   tension, continuity, bias, ease in, ease out).
// - the skin data, when any byte follows the keys: byte 0 bit 0 Physique
//   instead of Skin, bit 1 ForceSkinToMorph, bit 2 convertToSkin, bit 3
//   ExportBlendShapes; byte 1 the bone count (0 to 4, each a node moved by
//   the track). Then for each of the quad's four vertices: Skin, a count
//   (0 to 5) then that many (signed bone index byte, weight float);
//   Physique, a type byte (1 rigid, 5 blended, any other), a count (0 to
//   4) then that many (node byte: a bone, or none beyond them; weight
//   float). The skinned quad is exported as a mesh, then as an animated
//   mesh (a skin, or sampled morph keys), and its skin deformed.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/context/CKContext.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/options/Max2Qdx.h"
#include "fuzz/FuzzRenderEngine.h"
#include "includes/CKByteOrder.h"
#include "platform/host/GenCamera.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/IParamBlock.h"
#include "platform/host/Interface.h"
#include "platform/host/KeyControl.h"
#include "platform/host/Morpher.h"
#include "platform/host/Physique.h"
#include "platform/host/SkinModifier.h"
#include "platform/host/TriObject.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/animation/CKSkin.h"
#include "render/objects/CK3dObject.h"
#include "render/objects/CKCamera.h"

namespace {

constexpr size_t kKeyBytes = 96;

struct RawKey
{
    TimeValue time = 0;
    DWORD flags = 0;
    float f[22] = {};
};

// A key controller that hands out its keys as they came: in any order,
// with any values.
class FuzzControl : public Control, private IKeyControl
{
public:
    FuzzControl(int track, Class_ID classId, bool keys, std::vector<RawKey> raw)
        : Control(0x9003, classId, "Fuzzed"), m_Track(track), m_Keys(keys), m_Raw(std::move(raw))
    {}

    void GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod) override
    {
        valid = Interval(t, t);
        const RawKey* k = m_Raw.empty() ? nullptr : &m_Raw[(size_t) ((unsigned) t % m_Raw.size())];
        const float* f = k ? k->f : kZero;
        switch (m_Track) {
        case 0: *static_cast<float*>(val) = f[0]; break;
        case 1: *static_cast<Point3*>(val) = Point3(f[0], f[1], f[2]); break;
        case 2: *static_cast<Quat*>(val) = Quat(f[3], f[4], f[5], f[6]); break;
        default: {
            auto* s = static_cast<ScaleValue*>(val);
            s->s = Point3(f[0], f[1], f[2]);
            s->q = Quat(f[3], f[4], f[5], f[6]);
        }
        }
    }
    void* GetInterface(ULONG id) override
    {
        if (id == I_KEYCONTROL && m_Keys)
            return static_cast<IKeyControl*>(this);
        return Control::GetInterface(id);
    }
    using Control::GetInterface;

private:
    int GetNumKeys() override { return (int) m_Raw.size(); }
    void GetKey(int i, IKey* key) override
    {
        if (!key || i < 0 || i >= (int) m_Raw.size())
            return;
        const RawKey& k = m_Raw[(size_t) i];
        const float* f = k.f;
        key->time = k.time;
        key->flags = k.flags;
        const Point3 value(f[0], f[1], f[2]), in(f[11], f[12], f[13]), out(f[14], f[15], f[16]);
        const Quat rotation(f[3], f[4], f[5], f[6]);
        if (auto* t = dynamic_cast<ITCBKey*>(key)) {
            t->tens = f[17];
            t->cont = f[18];
            t->bias = f[19];
            t->easeIn = f[20];
            t->easeOut = f[21];
        }
        if (auto* r = dynamic_cast<ILinFloatKey*>(key))
            r->val = f[0];
        else if (auto* r = dynamic_cast<IBezFloatKey*>(key)) {
            r->val = f[0];
            r->intan = in.x;
            r->outtan = out.x;
        } else if (auto* r = dynamic_cast<ITCBFloatKey*>(key))
            r->val = f[0];
        else if (auto* r = dynamic_cast<ILinPoint3Key*>(key))
            r->val = value;
        else if (auto* r = dynamic_cast<IBezPoint3Key*>(key)) {
            r->val = value;
            r->intan = in;
            r->outtan = out;
        } else if (auto* r = dynamic_cast<ITCBPoint3Key*>(key))
            r->val = value;
        else if (auto* r = dynamic_cast<ILinRotKey*>(key))
            r->val = rotation;
        else if (auto* r = dynamic_cast<IBezQuatKey*>(key))
            r->val = rotation;
        else if (auto* r = dynamic_cast<ITCBRotKey*>(key)) {
            r->val.angle = f[7];
            r->val.axis = Point3(f[8], f[9], f[10]);
        } else if (auto* r = dynamic_cast<ILinScaleKey*>(key)) {
            r->val.s = value;
            r->val.q = rotation;
        } else if (auto* r = dynamic_cast<IBezScaleKey*>(key)) {
            r->val.s = value;
            r->val.q = rotation;
            r->intan = in;
            r->outtan = out;
        } else if (auto* r = dynamic_cast<ITCBScaleKey*>(key)) {
            r->val.s = value;
            r->val.q = rotation;
        }
    }

    static constexpr float kZero[22] = {};
    int m_Track;
    bool m_Keys;
    std::vector<RawKey> m_Raw;
};

Class_ID ClassOf(int track, int kind)
{
    // Float, position, rotation, scale; linear, Bezier, TCB.
    static const Class_ID kClasses[4][3] = {{Class_ID(0x2001, 0), Class_ID(0x2007, 0), Class_ID(0x442311, 0)},
                                            {Class_ID(0x2002, 0), Class_ID(0x2008, 0), Class_ID(0x442312, 0)},
                                            {Class_ID(0x2003, 0), Class_ID(0x2009, 0), Class_ID(0x442313, 0)},
                                            {Class_ID(0x2004, 0), Class_ID(0x2010, 0), Class_ID(0x442315, 0)}};
    return kind < 3 ? kClasses[track][kind] : Class_ID(0x7A11, 0x5EED);
}

void Play(CKObjectAnimation* animation)
{
    if (!animation)
        return;
    for (int step = 0; step <= 8; ++step)
        animation->SetStep((float) step / 8.0f);
    float value[4];
    for (int i = 0; i < animation->GetNamedControllerCount(); ++i)
        if (CKAnimController* c = animation->GetNamedController(i))
            c->Evaluate(0.5f, value);
}

// Reads the skin data into a Skin or Physique over the bones; false when
// there is none.
class SkinReader
{
public:
    SkinReader(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}

    bool Empty() const { return m_At >= m_Size; }
    uint8_t Byte() { return m_At < m_Size ? m_Data[m_At++] : 0; }
    float Float()
    {
        uint8_t word[4] = {Byte(), Byte(), Byte(), Byte()};
        uint32_t bits = LoadLE32(word);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

private:
    const uint8_t* m_Data;
    size_t m_Size;
    size_t m_At = 0;
};

// A quad under a Skin or a Physique read from the skin data, exported as a
// mesh and as an animated mesh, its skin deformed.
void ExportSkinned(SkinReader& in, HostScene& scene, Max2Qdx& exporter, ExportBuilder& builder, Control* moving)
{
    const uint8_t mode = in.Byte();
    const int boneCount = in.Byte() % 5;
    exporter.ForceSkinToMorph = (mode & 2) ? 1 : 0;
    exporter.convertToSkin = (mode & 4) ? 1 : 0;
    exporter.ExportBlendShapes = (mode & 8) ? 1 : 0;
    exporter.samplingStepForDeformables = 4;
    std::vector<INode*> bones;
    std::vector<Matrix3> init;
    for (int b = 0; b < boneCount; ++b) {
        INode* bone = scene.AddNode("Bone");
        bone->SetTMController(scene.Adopt(std::make_unique<PRSControl>(b == 0 ? moving : nullptr, nullptr, nullptr)));
        builder.CreateObject3D("Bone", (ExportKey) bone);
        bones.push_back(bone);
        init.push_back(bone->GetNodeTM(0));
    }
    auto* tri = scene.Adopt(std::make_unique<TriObject>());
    Mesh& m = tri->GetMesh();
    m.verts = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const DWORD faces[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const auto& f : faces) {
        Face face;
        face.setVerts(f[0], f[1], f[2]);
        face.setSmGroup(1);
        m.faces.push_back(face);
    }
    auto* stack = scene.Adopt(std::make_unique<IDerivedObject>());
    stack->ReferenceObject(tri);
    if (mode & 1) {
        auto* physique = scene.Adopt(std::make_unique<PhysiqueModifier>());
        for (int v = 0; v < 4; ++v) {
            PhysiqueVertex vertex;
            vertex.type = in.Byte();
            const int n = in.Byte() % 5;
            for (int j = 0; j < n; ++j) {
                const int b = in.Byte();
                vertex.nodes.push_back(b < boneCount ? bones[(size_t) b] : nullptr);
                vertex.weights.push_back(in.Float());
            }
            physique->Vertices().push_back(vertex);
        }
        stack->AddModifierAtBottom(physique);
    } else {
        auto* skin = scene.Adopt(std::make_unique<SkinModifier>());
        skin->SetBones(bones, init);
        for (int v = 0; v < 4; ++v) {
            std::vector<SkinWeight> weights((size_t) (in.Byte() % 6));
            for (SkinWeight& w : weights) {
                w.bone = (int8_t) in.Byte();
                w.weight = in.Float();
            }
            skin->Weights().push_back(weights);
        }
        stack->AddModifierAtBottom(skin);
    }
    INode* node = scene.AddNode("Skinned");
    node->SetObjectRef(stack);
    CK3dObject* entity = builder.CreateObject3D("Skinned", (ExportKey) node);
    exporter.ExportMesh(node, entity);
    exporter.ExportAnimatedMesh(node);
    if (CKSkin* engineSkin = entity->GetSkin())
        engineSkin->DeformMesh(entity);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzStartRenderEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 9)
        return 0;
    const uint8_t control = data[0];
    const int track = control & 3;
    const int kind = (control >> 2) & 3;
    std::vector<RawKey> keys((size_t) data[8]);
    size_t at = 9;
    for (RawKey& k : keys) {
        if (at + kKeyBytes > size) {
            keys.resize((size_t) (&k - keys.data()));
            break;
        }
        k.time = (TimeValue) LoadLE32(data + at);
        k.flags = LoadLE32(data + at + 4);
        for (int i = 0; i < 22; ++i) {
            const uint32_t word = LoadLE32(data + at + 8 + 4 * (size_t) i);
            std::memcpy(&k.f[i], &word, sizeof(float));
        }
        at += kKeyBytes;
    }

    HostScene scene;
    scene.Settings().ticksPerFrame = std::min(1 + 19 * (int) data[3], 4800);
    scene.Settings().animStart = 0;
    scene.Settings().animEnd = (TimeValue) data[2] * scene.Settings().ticksPerFrame;
    Interface ip(scene);
    ip.SetEcho(false);
    ip.SetReportOutput(nullptr);

    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0 || !context)
        return 0;
    {
        Max2Qdx exporter;
        ExportBuilder builder(context, FALSE);
        builder.exporter = &exporter;
        exporter.builder = &builder;
        exporter.context = context;
        exporter.maxInterface = &ip;
        exporter.reportLevel = 3;
        exporter.exportAnimation = 1;
        exporter.ExportBlendShapeAnims = 1;
        exporter.reduceRedondantKeys = (control & 0x20) ? 1 : 0;
        exporter.ignore1KeyAnimation = (control & 0x40) ? 1 : 0;
        exporter.samplingStepForKeyFrames = exporter.samplingStepForBlendShapes = (int8_t) data[1];
        exporter.animStart = 0.0f;
        exporter.animEnd = (float) scene.Settings().animEnd;
        exporter.framesPerTick = 1.0f / (float) scene.Settings().ticksPerFrame;
        uint32_t thresholdWord = LoadLE32(data + 4);
        float threshold = 0.0f;
        std::memcpy(&threshold, &thresholdWord, sizeof(threshold));

        const Class_ID classId = ClassOf(track, kind);
        INode* node = scene.AddNode("Fuzzed");
        CK3dEntity* entity = nullptr;
        Control* slots[4] = {};
        std::unique_ptr<Control> weight;
        if (track == 0) {
            weight = std::make_unique<FuzzControl>(track, classId, kind < 3, keys);
        } else {
            slots[track] = scene.Adopt(std::make_unique<FuzzControl>(track, classId, kind < 3, keys));
        }
        node->SetTMController(scene.Adopt(std::make_unique<PRSControl>(slots[1], slots[2], slots[3])));
        if (control & 0x10) {
            node->SetObjectRef(scene.Adopt(std::make_unique<GenCamera>(false)));
            entity = builder.CreateCamera(FALSE, "Fuzzed", (ExportKey) node, FALSE);
        } else {
            auto* mesh = scene.Adopt(std::make_unique<TriObject>());
            auto* stack = scene.Adopt(std::make_unique<IDerivedObject>());
            auto* morpher = scene.Adopt(std::make_unique<MorpherModifier>());
            stack->ReferenceObject(mesh);
            stack->AddModifierAtBottom(morpher);
            morpher->Channel(1).SetUsed(true);
            morpher->Channel(1).SetName("Weight");
            if (weight)
                morpher->Channel(1).GetWeightBlock()->SetController(0, std::move(weight));
            node->SetObjectRef(stack);
            entity = builder.CreateObject3D("Fuzzed", (ExportKey) node);
        }
        exporter.ExportNodeAnimation(node, entity);
        if (control & 0x80) {
            INode* biped = scene.AddNode("Bip01");
            biped->SetTMController(
                scene.Adopt(std::make_unique<PRSControl>(slots[1], slots[2], slots[3], Class_ID(0x9156, 0), "Biped")));
            exporter.ExportNodeAnimation(biped, builder.CreateObject3D("Bip01", (ExportKey) biped));
        }
        SkinReader skin(data + at, size > at ? size - at : 0);
        if (!skin.Empty())
            ExportSkinned(skin, scene, exporter, builder, slots[1]);
        CKKeyedAnimation* keyed = builder.CreateAnimation("Take");
        builder.RemoveOneKeyControllers(keyed);
        builder.ReduceAnimationKeys(keyed, threshold, 1, 2);
        builder.ReduceBlendShapeKeys(keyed, threshold, 1, 2);
        for (CKObjectAnimation* animation : builder.objectAnimationList)
            Play(animation);
    }
    CKCloseContext(context);
    return 0;
}
