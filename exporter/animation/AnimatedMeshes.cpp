#include <algorithm>
#include <cstdint>

#include "exporter/animation/HostScopes.h"
#include "exporter/animation/MorphKeyWriter.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/driver/DriverState.h"
#include "exporter/geometry/HostMeshView.h"
#include "exporter/geometry/MeshBuilder.h"
#include "exporter/geometry/MeshConversion.h"
#include "exporter/geometry/NodeObjects.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "exporter/scene/NodeWalk.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "platform/host/PatchMesh.h"
#include "platform/host/TriObject.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/objects/CK3dEntity.h"

namespace {

constexpr CKDWORD kMorphControllerType = 0x73847810;
constexpr CKDWORD kMorphChannel = 0x10;

// Whether the interval holds both times.
bool IntervalContains(const Interval& interval, TimeValue a, TimeValue b)
{
    return interval.InInterval(a) && interval.InInterval(b);
}

} // namespace

void Max2Qdx::ExportAnimatedMeshes(INode* node)
{
    VisitDepthFirst(node, [this](INode* current) {
        if (!GetExportDriverState().onlySelectedNodes || current->Selected())
            ExportAnimatedMesh(current);
        return true;
    });
}

void Max2Qdx::ExportAnimatedMesh(INode* node)
{
    if (!node || !builder)
        return;
    const bool blendShapes = ExportBlendShapes || ExportBlendShapeAnims;
    // Blend shapes have their own export; otherwise, when asked, the
    // Morphers' effect is sampled into the morph keys.
    MorpherDisabler disabler(blendShapes || !IncludeBlendShapesInMorphController ? node : nullptr);
    CK3dEntity* entity = builder->FindEntity((ExportKey) node);
    if (!node->EvalWorldState(0).obj || !entity)
        return;
    if (blendShapes || !ForceSkinToMorph) {
        ReportPrintf(this, 3, "\nExportAnimMesh_2 on %s", node->GetName());
        if (ExportSkin(node, entity)) {
            ReportPrintf(this, 3, "\nExportAnimMesh_3 on %s", node->GetName());
            return;
        }
    }
    if ((blendShapes || convertToSkin) && ExportPhysiqueAsSkin(node, entity))
        return;
    if (!exportAnimation)
        return;

    const TimeValue start = (TimeValue) animStart;
    const TimeValue end = (TimeValue) animEnd;
    Object* object = node->EvalWorldState(0).obj;
    if (!object || IntervalContains(object->ObjectValidity(0), start, end))
        return;
    CKObjectAnimation* animation = nullptr;
    if (entity->GetObjectAnimationCount() > 0)
        animation = entity->GetObjectAnimation(0);
    else if (CKObjectAnimation** made = builder->objectAnimations.FindPtr((ExportKey) node))
        animation = *made;
    const float length = ((float) (int) animEnd - animStart) * framesPerTick;
    const int64_t step = SamplingStep(kDeformableSampling);
    const int64_t ticksPerFrame = GetTicksPerFrame();

    CKMorphController* controller = nullptr;
    MorphKeyWriter writer(nullptr);
    TimeValue t = start;
    for (;;) {
        Object* current = node->EvalWorldState(t).obj;
        if (!current)
            break;
        const Interval valid = current->ObjectValidity(t);
        // A validity that began before t (a hold met in its middle) goes on
        // from t.
        const TimeValue sampleTime = std::max(valid.Start(), t);
        if (!animation) {
            animation = builder->CreateObjectAnimation(entity, entity->GetName(), (ExportKey) node);
            if (!animation)
                break;
            animation->SetLength(length);
        }
        if (!controller) {
            controller = static_cast<CKMorphController*>(animation->CreateController(kMorphControllerType, nullptr));
            if (!controller)
                break;
            controller->SetLength(length);
            writer = MorphKeyWriter(controller);
        }
        if (current->ClassID() == patchObjectClassID)
            SamplePatchMorphKey(writer, node, sampleTime);
        else
            SampleMeshMorphKey(writer, node, sampleTime);
        if (valid.End() >= end)
            break;
        // The object stays as it is until the end of its validity.
        if (valid.End() > sampleTime)
            writer.HoldUntil(EngineTime(valid.End()));
        int64_t next = (step + (int64_t) valid.End() / ticksPerFrame) * ticksPerFrame;
        // The range's end is sampled, nothing beyond it.
        if (next > end)
            next = end;
        if (next <= sampleTime)
            break;
        t = (TimeValue) next;
    }

    if (!controller)
        return;
    if (controller->GetKeyCount() < 2)
        animation->DeleteControllerOfChannel(kMorphChannel, nullptr);
    else
        ReportPrintf(this, 1, "%s : Sampling to morph animation : %d keys\r\n", node->GetName(),
                     controller->GetKeyCount());
}

bool Max2Qdx::SampleMeshMorphKey(MorphKeyWriter& writer, INode* node, TimeValue t)
{
    if (!node || !builder)
        return false;
    // Geometry that converts to a triangle mesh.
    bool deleteIt = false;
    TriObject* tri = GetTriObjectFromNode(node, t, deleteIt);
    ConvertedObject converted;
    converted.Reset(tri, deleteIt);
    if (!tri)
        return false;
    Mesh& mesh = tri->GetMesh();
    if (mesh.getNumVerts() == 0 || mesh.getNumFaces() == 0)
        return false;
    MeshBuilder* kept = builder->FindMeshBuilder((ExportKey) node);
    HostMeshView view(mesh);
    const int faceCount = view.Faces().Size();
    if (!kept || kept->positions.Size() != mesh.getNumVerts() || kept->faces.Size() != faceCount)
        return false;
    // Prelit as the exported mesh was: its samples carry no normals.
    const bool prelit = kept->prelit != FALSE;

    // Each welded vertex of the exported mesh from its host vertex and, but
    // prelit, the corner its normal came from: corner j of kept face i is
    // normal 3i + j, its host corner 0, 2, 1 by j. The kept builder itself
    // stays as exported.
    const Matrix3 offset = node->GetObjectOffsetTM();
    const int count = kept->weldedVertices.Size();
    QxVector* positions = writer.Positions(count);
    // The conversion writes three normals a face in face order; a builder
    // made otherwise keeps its normals.
    const bool cornerNormals = kept->normalFaces.Size() == faceCount;
    CKDWORD* normals = prelit ? nullptr : writer.Normals(count);
    if (normals && cornerNormals)
        BuildCornerNormals(view);
    static const int kCorners[3] = {0, 2, 1};
    for (int v = 0; v < count; ++v) {
        const MeshCorner& vertex = kept->weldedVertices[v];
        positions[v] = ToEngineAxes(mesh.verts[vertex.positionIndex] * offset);
        if (!normals)
            continue;
        const int n = vertex.normalIndex;
        const QxVector normal = cornerNormals && n >= 0 && n < 3 * faceCount
                                    ? ToEngineDirection(VectorTransform(
                                          offset, FaceCornerNormal(view, view.Faces()[n / 3], kCorners[n % 3])))
                                    : vertex.normal;
        normals[v] = PackMorphNormal(normal);
    }
    return writer.Add(EngineTime(t), count, !prelit);
}

bool Max2Qdx::SamplePatchMorphKey(MorphKeyWriter& writer, INode* node, TimeValue t)
{
    if (!node)
        return false;
    bool deleteIt = false;
    PatchObject* patchObject = GetPatchObjectFromNode(node, t, deleteIt);
    ConvertedObject converted;
    converted.Reset(patchObject, deleteIt);
    if (!patchObject)
        return false;
    const PatchMesh& patch = patchObject->patch;
    const int count = patch.getNumVerts() + patch.getNumVecs();
    if (count == 0)
        return false;
    const Matrix3 offset = node->GetObjectOffsetTM();
    QxVector* positions = writer.Positions(count);
    for (const PatchVert& v : patch.verts)
        *positions++ = ToEngineAxes(v.p * offset);
    for (const PatchVec& v : patch.vecs)
        *positions++ = ToEngineAxes(v.p * offset);
    return writer.Add(EngineTime(t), count, false);
}
