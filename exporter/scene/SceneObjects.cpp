#include "exporter/builder/ExportBuilder.h"
#include "exporter/geometry/NodeObjects.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "exporter/scene/MaxMatrix.h"
#include "platform/host/GenCamera.h"
#include "platform/host/GenLight.h"
#include "platform/host/INode.h"
#include "platform/host/SplineShape.h"
#include "render/animation/CKBodyPart.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKCurve.h"
#include "render/objects/CKCurvePoint.h"
#include "render/objects/CKLight.h"
#include "render/objects/CKPlace.h"

namespace {

// Degrees to radians, as a float.
constexpr float kDegreesToRadians = 0.01745329238474369f;
// Range of a light without attenuation.
constexpr float kDefaultLightRange = 200.0f;

// The host's (x, y, z) is the engine's (x, z, y).
QxVector EngineVector(const Point3& p)
{
    return QxVector(p.x, p.z, p.y);
}

CKDWORD EngineLightType(int hostType)
{
    switch (hostType) {
    case SPOT_LGT: return 2;
    case DIRECT_LGT: return 3;
    default: return 1;
    }
}

} // namespace

Point3 ScalePoint(const Point3& point, float factor)
{
    return point * factor;
}

void Max2Qdx::ExportLight(INode* node)
{
    auto* light = dynamic_cast<GenLight*>(node->EvalWorldState(0).obj);
    if (!light)
        return;
    ReportPrintf(this, 1, "%sLight : %s.....", GetReportIndent().CStr(), node->GetName());
    LightState state;
    Interval valid;
    light->EvalLightState(0, valid, &state);
    const CKDWORD type = EngineLightType(state.type);
    INode* target = state.type == SPOT_LGT ? node->GetTarget() : nullptr;
    CKLight* made = builder->CreateLight(target != nullptr, type, node->GetName(), (ExportKey) node, TRUE);
    if (made) {
        SetupEntity(node, made);
        if (type == 2) {
            made->SetHotSpot(state.hotsize * kDegreesToRadians);
            made->SetFallOff(state.fallsize * kDegreesToRadians);
            if (target)
                SetupEntity(target, made->GetTarget());
        }
        made->SetColor(QxColor(state.color.r, state.color.g, state.color.b, 1.0f));
        made->SetSpecularFlag(state.affectSpecular);
        made->Active(state.on);
        made->SetRange(state.useAtten ? state.attenEnd : kDefaultLightRange);
        if (exportAnimation) {
            ExportNodeAnimation(node, made);
            if (target && made->GetTarget())
                ExportNodeAnimation(target, made->GetTarget());
        }
    }
    ReportPrintf(this, 1, "Done\r\n");
}

void Max2Qdx::ExportCamera(INode* node)
{
    auto* camera = dynamic_cast<GenCamera*>(node->EvalWorldState(0).obj);
    if (!camera)
        return;
    ReportPrintf(this, 1, "%sCamera : %s.....", GetReportIndent().CStr(), node->GetName());
    CameraState state;
    state.cbStruct = sizeof(CameraState);
    Interval valid;
    camera->EvalCameraState(0, valid, &state);
    INode* target = node->GetTarget();
    CKCamera* made = builder->CreateCamera(target != nullptr, node->GetName(), (ExportKey) node, TRUE);
    if (made) {
        SetupEntity(node, made);
        if (target)
            SetupEntity(target, made->GetTarget());
        const float hither = state.manualClip ? state.hither : state.nearRange;
        made->SetFrontPlane(hither > 1.0f ? hither : 1.0f);
        made->SetBackPlane(state.manualClip ? state.yon : state.farRange);
        made->SetFov(state.fov);
        if (exportAnimation) {
            ExportNodeAnimation(node, made);
            if (target && made->GetTarget())
                ExportNodeAnimation(target, made->GetTarget());
        }
        if (startingCameraName == node->GetName())
            ApplyStartingCamera(made, camera->GetEnvRange(0, 0), camera->GetEnvRange(0, 1));
    }
    ReportPrintf(this, 1, "Done\r\n");
}

void Max2Qdx::ExportShape(INode* node)
{
    Object* object = node->EvalWorldState(0).obj;
    if (!object || object->SuperClassID() != SHAPE_CLASS_ID)
        return;
    ReportPrintf(this, 1, "%sCurve : %s.....", GetReportIndent().CStr(), node->GetName());
    bool temporary = false;
    SplineShape* shape = GetSplineShapeFromNode(node, 0, temporary);
    const Matrix3 objectTM = node->GetObjectTM(0);
    const Spline3D* spline = shape && shape->shape.SplineCount() > 0 ? shape->shape.GetSpline(0) : nullptr;
    CKCurve* curve = spline ? builder->CreateCurve(node->GetName(), (ExportKey) node) : nullptr;
    if (curve) {
        for (int i = 0; i < spline->KnotCount(); ++i) {
            CKCurvePoint* point = builder->CreateCurvePoint(curve, nullptr, 0);
            if (!point)
                continue;
            const Point3 position = spline->GetKnotPoint(i) * objectTM;
            // The handles turn and scale with the shape, as its knots do.
            const QxVector in = EngineVector(VectorTransform(objectTM, ScalePoint(spline->GetRelInVec(i), -3.0f)));
            const QxVector out = EngineVector(VectorTransform(objectTM, ScalePoint(spline->GetRelOutVec(i), 3.0f)));
            if (spline->GetKnotType(i) != KTYPE_AUTO) {
                point->UseTCB(FALSE);
                point->SetTangents(&in, &out);
            }
            if (spline->GetLineType(i) == LTYPE_LINE)
                point->SetLinear(TRUE);
            const QxVector at = EngineVector(position);
            point->SetPosition(&at, nullptr, TRUE);
        }
        if (spline->Flags() & SPLINE_CLOSED)
            curve->Close();
        SetupEntity(node, curve);
        if (exportAnimation)
            ExportNodeAnimation(node, curve);
    }
    if (shape && temporary)
        shape->DeleteMe();
    ReportPrintf(this, 1, "Done\r\n");
}

void Max2Qdx::ExportHelper(INode* node)
{
    Object* object = node->EvalWorldState(0).obj;
    TSTR kind = "Dummy";
    if (object)
        object->GetClassName(kind);
    const bool groupHead = node->IsGroupHead() != 0;
    if (groupHead && !groupToPlace)
        kind = "Group";
    CK3dEntity* entity = nullptr;
    if (groupHead && groupToPlace) {
        entity = builder->CreatePlace(node->GetName(), (ExportKey) node);
        kind = "Place";
    } else if (asCharacter) {
        entity = builder->CreateBodyPart(node->GetName(), (ExportKey) node);
    } else {
        entity = builder->CreateEntity(node->GetName(), (ExportKey) node);
    }
    ReportPrintf(this, 1, "%s%s : %s.....", GetReportIndent().CStr(), kind.data(), node->GetName());
    if (entity) {
        SetupEntity(node, entity);
        if (exportAnimation)
            ExportNodeAnimation(node, entity);
    }
    if (groupHead)
        reportIndent += 2;
    ReportPrintf(this, 1, "Done\r\n");
}
