#include <vector>

#include "core/object/CKClassRegistry.h"
#include "core/scene/CKGroup.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/driver/DriverState.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "exporter/scene/MaxMatrix.h"
#include "exporter/scene/SceneClasses.h"
#include "platform/host/Control.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "render/animation/CKBodyPart.h"
#include "render/objects/CK3dObject.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKLight.h"

namespace {

// One node of the object pass's walk: the next child to visit (-1 before
// the node itself was converted), whether it was skipped, whether it heads
// a group.
struct WalkFrame
{
    INode* node;
    int nextChild;
    bool skipped;
    bool groupHead;
};

bool IsControllerClass(INode* node, const Class_ID& id)
{
    Control* controller = node->GetTMController();
    return controller && controller->ClassID() == id;
}

CKGroup* TopGroup(const XArray<CKGroup*>& stack)
{
    return stack.IsEmpty() ? nullptr : stack[stack.Size() - 1];
}

} // namespace

int Max2Qdx::ExportNode(INode* start)
{
    // Depth first, parents before children, without recursion: a deep
    // hierarchy must not exhaust the stack.
    std::vector<WalkFrame> walk;
    if (start)
        walk.push_back({start, -1, false, false});
    while (!walk.empty()) {
        const size_t top = walk.size() - 1;
        INode* node = walk[top].node;
        if (walk[top].nextChild < 0) {
            walk[top].nextChild = 0;
            if (GetExportDriverState().onlySelectedNodes && !node->Selected()) {
                walk[top].skipped = true;
            } else {
                ++nodeIndex;
                if (progressStarted && nodeCount > 0)
                    maxInterface->ProgressUpdate((int) ((double) nodeIndex / nodeCount * 100.0), TRUE, nullptr);
                if (maxInterface->GetCancel())
                    return 0;
                walk[top].groupHead = node->IsGroupHead() != 0;
                if (walk[top].groupHead && !groupToPlace) {
                    CKGroup* group = builder->CreateGroup(node->GetName(), (ExportKey) node);
                    if (CKGroup* outer = TopGroup(groupStack))
                        if (group)
                            outer->AddObject(group);
                    groupStack.PushBack(group);
                }
                ObjectState os = node->EvalWorldState(0);
                if (os.obj) {
                    switch (os.obj->SuperClassID()) {
                    case GEOMOBJECT_CLASS_ID: ExportGeomObject(node); break;
                    case CAMERA_CLASS_ID: ExportCamera(node); break;
                    case LIGHT_CLASS_ID: ExportLight(node); break;
                    case SHAPE_CLASS_ID:
                        if (splinesAsDummies || asCharacter)
                            ExportHelper(node);
                        else
                            ExportShape(node);
                        break;
                    case HELPER_CLASS_ID: ExportHelper(node); break;
                    default: break;
                    }
                }
            }
        }
        // The count is read again for each child: a conversion may add some.
        if (walk[top].nextChild < node->NumberOfChildren()) {
            INode* child = node->GetChildNode(walk[top].nextChild++);
            if (child)
                walk.push_back({child, -1, false, false});
            continue;
        }
        if (!walk[top].skipped && walk[top].groupHead) {
            if (!groupToPlace && !groupStack.IsEmpty())
                groupStack.RemoveAt(groupStack.Size() - 1);
            reportIndent -= 2;
        }
        walk.pop_back();
    }
    return 1;
}

void Max2Qdx::ExportGeomObject(INode* node)
{
    ObjectState os = node->EvalWorldState(0);
    if (!os.obj || os.obj->ClassID() == TARGET_CLASS_ID)
        return;
    const Class_ID cid = os.obj->ClassID();
    const bool biped = IsControllerClass(node, kFootprintControlClass) ||
                       IsControllerClass(node, kBipedSlaveControlClass) ||
                       IsControllerClass(node, kBipedBodyControlClass);
    const bool bone = cid == BONE_OBJ_CLASSID;
    bool rig = false;
    for (const Class_ID& part : kRigPartClasses)
        rig = rig || cid == part;

    CK3dEntity* entity = asCharacter ? (CK3dEntity*) builder->CreateBodyPart(node->GetName(), (ExportKey) node)
                                     : (CK3dEntity*) builder->CreateObject3D(node->GetName(), (ExportKey) node);
    if (!entity)
        return;
    SetupEntity(node, entity);
    if ((biped || bone || rig) && !saveBipedGeom)
        ReportPrintf(this, 1, "%sBone or Biped or CAT Object: %s.....", GetReportIndent().CStr(), node->GetName());
    else if (cid == kPatchObjectClass)
        ExportPatchMesh(node, entity);
    else
        ExportMesh(node, entity);
    if ((biped || rig) && !saveBipedGeom)
        entity->Show(CKHIDE);
    if (IsControllerClass(node, kFootprintControlClass))
        entity->SetName("FloorRef");
    if (exportAnimation)
        ExportNodeAnimation(node, entity);
    ReportPrintf(this, 1, "...Done\r\n");
}

void Max2Qdx::SetupEntity(INode* node, CK3dEntity* entity)
{
    ObjectState os = node->EvalWorldState(0);
    if (!os.obj || !entity)
        return;
    QxMatrix matrix;
    if (CKIsChildClassOfObject(entity, CKCID_CAMERA) || CKIsChildClassOfObject(entity, CKCID_LIGHT))
        MaxToEngineCameraMatrix(node->GetNodeTM(0), matrix);
    else
        MaxToEngineMatrix(node->GetNodeTM(0), matrix);
    if (MatrixHandedness(matrix) < 0.0f) {
        ReportPrintf(this, 1, "\r\nWarning Indirect Matrix detected for %s object...\r\n", entity->GetName());
        ReportPrintf(this, 1, "\r\nAnimation may not be correct for this object...\r\n");
    }
    entity->SetWorldMatrix(matrix, TRUE);
    entity->Show(node->IsHidden() ? CKHIDE : CKSHOW);
    if (hideHelpers) {
        const Class_ID cid = os.obj->ClassID();
        if (os.obj->SuperClassID() != GEOMOBJECT_CLASS_ID || cid == BONE_OBJ_CLASSID || cid == kOldBoneClass)
            entity->Show(CKHIDE);
    }
    if (!groupToPlace)
        if (CKGroup* group = TopGroup(groupStack))
            group->AddObject(entity);
    INode* parent = node->GetParentNode();
    if (parent && !parent->IsRootNode()) {
        const auto key = (ExportKey) parent;
        CK3dEntity* found = builder->FindEntity(key);
        if (!found)
            found = builder->FindCamera(key);
        if (!found)
            found = builder->FindLight(key);
        entity->SetParent(found, TRUE);
    }
}
