#include "exporter/animation/HostScopes.h"
#include "exporter/geometry/HostMeshView.h"
#include "exporter/geometry/MeshBuilder.h"
#include "exporter/geometry/MeshConversion.h"
#include "exporter/geometry/NodeObjects.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "platform/host/INode.h"
#include "platform/host/IParamBlock.h"
#include "platform/host/Interface.h"
#include "platform/host/Matrix3.h"
#include "platform/host/Morpher.h"
#include "platform/host/TriObject.h"

namespace {

constexpr float kLargestFloat = 3.4028235e38f;

// The corners of a mesh as the builder holds them: per kept face, its
// corners 0, 2, 1 (the engine winding), position and normal in the
// engine's axes.
struct MorphCorners
{
    XArray<int> faces;
    XArray<QxVector> positions;
    XArray<QxVector> normals;
};

// Reads the corners of the mesh through the offset matrix; false when its
// vertex count is not vertexCount or its kept faces are not faces (when
// faces is empty, any list of faceCount faces, which it becomes).
bool ReadCorners(Mesh& mesh, const Matrix3& offset, int vertexCount, int faceCount, MorphCorners& out)
{
    if (mesh.getNumVerts() != vertexCount)
        return false;
    HostMeshView view(mesh);
    if (view.Faces().Size() != faceCount)
        return false;
    if (out.faces.Size() == 0)
        out.faces = view.Faces();
    else
        for (int i = 0; i < faceCount; ++i)
            if (view.Faces()[i] != out.faces[i])
                return false;
    BuildCornerNormals(view);
    static const int kCorners[3] = {0, 2, 1};
    out.positions.Resize(3 * faceCount);
    out.normals.Resize(3 * faceCount);
    for (int i = 0; i < faceCount; ++i) {
        const int f = out.faces[i];
        for (int j = 0; j < 3; ++j) {
            const int k = kCorners[j];
            out.positions[3 * i + j] = ToEngineAxes(mesh.verts[(size_t) mesh.faces[(size_t) f].v[k]] * offset);
            out.normals[3 * i + j] = ToEngineDirection(VectorTransform(offset, FaceCornerNormal(view, f, k)));
        }
    }
    return true;
}

// The stack of the copy evaluated at time 0 up to its Morpher (included),
// read as corners; false when it gives no mesh matching the counts.
bool EvaluateUpToMorpher(IDerivedObject* stack, int index, const Matrix3& offset, int vertexCount, int faceCount,
                         MorphCorners& out)
{
    Object* object = stack->Eval(0, index).obj;
    if (!object || object->SuperClassID() != GEOMOBJECT_CLASS_ID)
        return false;
    bool deleteIt = false;
    TriObject* tri = GetTriObjectFromObject(object, 0, deleteIt);
    ConvertedObject converted;
    converted.Reset(tri, deleteIt);
    return tri && ReadCorners(tri->GetMesh(), offset, vertexCount, faceCount, out);
}

// A channel's weight (value 0 of its block) at time 0; 0 when unreadable.
float ChannelWeight(Animatable* channel)
{
    auto* block = dynamic_cast<IParamBlock*>(channel);
    float value = 0.0f;
    Interval valid;
    if (!block || !block->GetValue(0, 0, value, valid))
        return 0.0f;
    return value;
}

void SetChannelWeight(Animatable* channel, float value)
{
    if (auto* block = dynamic_cast<IParamBlock*>(channel))
        block->SetValue(0, 0, value);
}

// 0, the percentages of the channel's further targets, 100, the largest
// float: each target lies between its neighbours in the list.
XArray<float> WeightList(const MorphChannel& channel)
{
    XArray<float> list;
    list.PushBack(0.0f);
    const int further = channel.GetNumProgressiveTargets();
    for (int i = 0; i < further; ++i)
        list.PushBack(i == 0 ? channel.GetTargetPercent() : channel.GetProgressiveTargetPercent(i));
    list.PushBack(100.0f);
    list.PushBack(kLargestFloat);
    return list;
}

// 1 / (difference in percent x 0.01), the largest float for no difference.
float Slope(float difference)
{
    const float scaled = difference * 0.01f;
    return scaled == 0.0f ? kLargestFloat : 1.0f / scaled;
}

} // namespace

void Max2Qdx::ExportMorphTargets(INode* node, Mesh& mesh, MeshBuilder& builder)
{
    (void) mesh;
    if (!node)
        return;
    if (CountModifiers(node, MORPHER_CLASS_ID) > 1)
        ReportPrintf(this, 2,
                     "\r\nMesh %s has several 'Morpher' modifiers : blend shapes will be exported for top modifier "
                     "only, other modifier(s) will be ignored!",
                     node->GetName());
    // The copy and every weight set on it are undone whichever way this
    // ends.
    UndoTransaction transaction;
    if (!maxInterface || !FindModifier(node, MORPHER_CLASS_ID, nullptr, nullptr))
        return;
    INodeTab originals, copies;
    originals.Append(1, &node);
    if (!maxInterface->CloneNodes(originals, Point3(0, 0, 0), false, NODE_COPY, nullptr, &copies) ||
        copies.Count() == 0 || !copies[0])
        return;
    INode* copy = copies[0];
    int morpherIndex = 0;
    IDerivedObject* stack = nullptr;
    auto* morpher = dynamic_cast<MorpherModifier*>(FindModifier(copy, MORPHER_CLASS_ID, &morpherIndex, &stack));
    if (!morpher || !stack)
        return;
    const Matrix3 offset = copy->GetObjectOffsetTM();

    XArray<int> channels;
    XArray<float> saved;
    for (int c = 1; c <= MORPHER_CHANNELS; ++c)
        if (Animatable* channel = morpher->SubAnim(c)) {
            channels.PushBack(c);
            saved.PushBack(ChannelWeight(channel));
            SetChannelWeight(channel, 0.0f);
        }
    ReportPrintf(this, 2, "\r\nExporting %u blend shapes for mesh %s", (unsigned) channels.Size(), node->GetName());

    // The base and the targets are both read up to the Morpher, so that
    // modifiers above it (a skin, a smoothing) cancel out of the deltas.
    const int vertexCount = builder.positions.Size();
    const int faceCount = builder.faces.Size();
    MorphCorners base;
    if (!EvaluateUpToMorpher(stack, morpherIndex, offset, vertexCount, faceCount, base))
        return;

    for (int n = 0; n < channels.Size(); ++n) {
        const int c = channels[n];
        const XString name(morpher->SubAnimName(c).data());
        ReportPrintf(this, 3, "\r\nExporting blend shape #%u (%s) of mesh %s", (unsigned) (c - 1), name.CStr(),
                     node->GetName());
        const XArray<float> list = WeightList(morpher->Channel(c));
        builder.AddBlendShapeName(name);
        const CKDWORD nameIndex = (CKDWORD) (builder.blendShapeNames.Size() - 1);
        for (int p = 1; p + 1 < list.Size(); ++p) {
            for (int other : channels) {
                SetChannelWeight(morpher->SubAnim(other), other == c ? list[p] : 0.0f);
                if (other != c && name.Compare(morpher->SubAnimName(other).data()) == 0)
                    ReportPrintf(this, 1,
                                 "\r\nDuplicated blend shape name found in node %s for channel #%u! name = %s. Some "
                                 "animation tracks will be inoperant!",
                                 node->GetName(), (unsigned) c, name.CStr());
            }
            MorphCorners target;
            target.faces = base.faces;
            if (!EvaluateUpToMorpher(stack, morpherIndex, offset, vertexCount, faceCount, target))
                continue;
            BlendShapeSource source;
            source.nameIndex = nameIndex;
            source.weight = list[p] * 0.01f;
            source.risingSlope = Slope(list[p] - list[p - 1]);
            const float falling = Slope(list[p + 1] - list[p]);
            source.fallingSlope = falling == kLargestFloat ? kLargestFloat : -falling;
            for (int i = 0; i < faceCount; ++i) {
                BlendShapeFaceDelta delta;
                delta.face = (CKDWORD) i;
                bool moved = false;
                for (int j = 0; j < 3; ++j) {
                    delta.position[j] = target.positions[3 * i + j] - base.positions[3 * i + j];
                    delta.normal[j] = target.normals[3 * i + j] - base.normals[3 * i + j];
                    moved = moved || delta.position[j] != QxVector() || delta.normal[j] != QxVector();
                }
                if (moved)
                    source.faceDeltas.PushBack(delta);
            }
            builder.AddBlendShapeSource(source);
        }
        builder.AddBlendShapeWeight(saved[n] * 0.01f);
    }
}
