#include "core/scene/CKScene.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/postpass/PostPassSupport.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/animation/CKSkin.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKCurvePoint.h"
#include "render/objects/CKLight.h"

namespace {

void ScaleTranslation(QxMatrix& m, float factor)
{
    m[3][0] *= factor;
    m[3][1] *= factor;
    m[3][2] *= factor;
}

void RescaleSkin(CKSkin* skin, float factor)
{
    for (int i = 0; i < skin->GetVertexCount(); ++i)
        if (CKSkinVertexData* vertex = skin->GetVertexData(i))
            vertex->SetInitialPos(vertex->GetInitialPos() * factor);
    for (int i = 0; i < skin->GetBoneCount(); ++i)
        if (CKSkinBoneData* bone = skin->GetBoneData(i)) {
            QxMatrix m = bone->GetInitialInverseMatrix();
            ScaleTranslation(m, factor);
            bone->SetBoneInitialInverseMatrix(m);
        }
    QxMatrix m = skin->GetObjectInitMatrix();
    ScaleTranslation(m, factor);
    skin->SetObjectInitMatrix(m);
}

void RescaleMesh(CKMesh* mesh, float factor)
{
    const int count = mesh->GetVertexCount();
    CKDWORD stride = 0;
    auto* positions = static_cast<CKBYTE*>(mesh->GetPositionsPtr(&stride));
    for (int i = 0; positions && i < count; ++i)
        *reinterpret_cast<QxVector*>(positions + (size_t) i * stride) *= factor;
    CKBlendShapeData shapes;
    mesh->GetBlendShapes(shapes);
    if (shapes.Targets.Size() > 0 || shapes.BaseVertices.Size() > 0) {
        for (CKBlendShapeBaseVertex& base : shapes.BaseVertices)
            base.Position *= factor;
        for (CKBlendShapeTarget& target : shapes.Targets)
            for (CKBlendShapeDelta& delta : target.Deltas)
                delta.Position *= factor;
        mesh->SetBlendShapes(shapes);
    }
    if (IsOfClass(mesh, CKCID_PATCHMESH)) {
        auto* patch = static_cast<CKPatchMesh*>(mesh);
        for (int i = 0; i < patch->GetVertCount(); ++i) {
            QxVector p;
            patch->GetVert(i, &p);
            patch->SetVert(i, p * factor);
        }
        for (int i = 0; i < patch->GetVecCount(); ++i) {
            QxVector p;
            patch->GetVec(i, &p);
            patch->SetVec(i, p * factor);
        }
    }
    mesh->VertexMove();
}

} // namespace

// Scales one controller's keys; a controller shared by several animations
// (or reached twice) is scaled once.
void ExportBuilder::RescaleController(CKAnimController* controller, int morphVertices, float factor)
{
    if (!controller || !m_RescaledControllers.AddIfNotHere(controller))
        return;
    const int keys = controller->GetKeyCount();
    if (controller->GetChannel() == CKANIMATION_CONTROLLER_MORPH) {
        for (int k = 0; k < keys; ++k) {
            auto* key = static_cast<CKMorphKey*>(controller->GetKey(k));
            if (!key || !key->PosArray)
                continue;
            for (int v = 0; v < morphVertices; ++v)
                key->PosArray[v] *= factor;
        }
        return;
    }
    const bool bezier = controller->GetType() == CKANIMATION_BEZIERPOSITION_CONTROL;
    for (int k = 0; k < keys; ++k) {
        CKKey* key = controller->GetKey(k);
        if (!key)
            continue;
        if (bezier) {
            auto* b = static_cast<CKBezierKey<QxVector>*>(key);
            b->Value *= factor;
            b->In *= factor;
            b->Out *= factor;
        } else {
            // Every position key holds its vector right after its time.
            static_cast<CKLinearKey<QxVector>*>(key)->Value *= factor;
        }
    }
}

int ExportBuilder::RescaleObject(CKObject* object, float factor)
{
    int count = 0;
    if (IsOfClass(object, CKCID_3DENTITY)) {
        auto* entity = static_cast<CK3dEntity*>(object);
        CK3dEntity* parent = entity->GetParent();
        QxVector position;
        entity->GetPosition(&position, parent);
        position *= factor;
        entity->SetPosition(&position, parent, FALSE);
        ++count;
        if (CKSkin* skin = entity->GetSkin()) {
            RescaleSkin(skin, factor);
            ++count;
        }
        if (IsOfClass(object, CKCID_CAMERA)) {
            auto* camera = static_cast<CKCamera*>(object);
            camera->SetFrontPlane(camera->GetFrontPlane() * factor);
            camera->SetBackPlane(camera->GetBackPlane() * factor);
        }
        if (IsOfClass(object, CKCID_CURVEPOINT)) {
            auto* point = static_cast<CKCurvePoint*>(object);
            QxVector in, out;
            point->GetTangents(&in, &out);
            in *= factor;
            out *= factor;
            point->SetTangents(&in, &out);
        }
    }
    if (IsOfClass(object, CKCID_MESH)) {
        RescaleMesh(static_cast<CKMesh*>(object), factor);
        ++count;
    }
    if (IsOfClass(object, CKCID_LIGHT)) {
        auto* light = static_cast<CKLight*>(object);
        light->SetRange(light->GetRange() * factor);
    }
    if (IsOfClass(object, CKCID_SCENE)) {
        // Fog distances are lengths too; not counted, as a light's range.
        auto* scene = static_cast<CKScene*>(object);
        scene->SetFogStart(scene->GetFogStart() * factor);
        scene->SetFogEnd(scene->GetFogEnd() * factor);
    }
    if (IsOfClass(object, CKCID_KEYEDANIMATION)) {
        auto* keyed = static_cast<CKKeyedAnimation*>(object);
        for (int i = 0; i < keyed->GetAnimationCount(); ++i) {
            CKObjectAnimation* objectAnimation = keyed->GetAnimation(i);
            if (!objectAnimation)
                continue;
            RescaleController(objectAnimation->GetPositionController(), 0, factor);
            RescaleController(objectAnimation->GetMorphController(), objectAnimation->GetMorphVertexCount(), factor);
        }
        ++count;
    }
    return count;
}

int ExportBuilder::RescaleScene(float factor)
{
    m_RescaledControllers.Clear();
    int total = 0;
    XArray<CKObject*> objects = CopyAllObjects(context);
    for (CKObject* object : objects)
        total += RescaleObject(object, factor);
    m_RescaledControllers.Clear();
    PostLog(log, "RescaleScene with factor of %f, %d objects rescaled\n", (double) factor, total);
    return total;
}
