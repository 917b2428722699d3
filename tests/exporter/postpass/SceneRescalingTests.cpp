#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/animation/CKSkin.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/objects/CK3dObject.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKCurvePoint.h"
#include "render/objects/CKLight.h"
#include "tests/exporter/postpass/PostPassTestSupport.h"

namespace {

constexpr float kInch = 0.0254f;

void ExpectScaled(const QxVector& got, const QxVector& was, const char* what)
{
    EXPECT_NEAR(got.x, was.x * kInch, 1e-6) << what;
    EXPECT_NEAR(got.y, was.y * kInch, 1e-6) << what;
    EXPECT_NEAR(got.z, was.z * kInch, 1e-6) << what;
}

} // namespace

using SceneRescaling = PostPassTest;

TEST_F(SceneRescaling, CountsStepsByKind)
{
    const float f = kInch;
    CK3dObject* plain = m_Builder->CreateObject3D("Plain", 0x100);
    CK3dObject* skinned = m_Builder->CreateObject3D("Skinned", 0x200);
    skinned->CreateSkin();
    CKMesh* mesh = MakeStrip("Mesh", 1, {});
    CKLight* light = m_Builder->CreateLight(FALSE, 1, "Light", 0x300, FALSE);
    CKKeyedAnimation* keyed = m_Builder->CreateAnimation("Animation");
    const struct
    {
        CKObject* object;
        int steps;
    } cases[] = {{plain, 1}, {skinned, 2}, {mesh, 1}, {light, 1}, {keyed, 1}, {nullptr, 0}, {m_Builder->animation, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(m_Builder->RescaleObject(c.object, f), c.steps) << (c.object ? c.object->GetName() : "null");
}

TEST_F(SceneRescaling, ScalesEveryLengthOnce)
{
    CK3dObject* parent = m_Builder->CreateObject3D("Parent", 0x100);
    CK3dObject* child = m_Builder->CreateObject3D("Child", 0x200);
    const QxVector parentAt(10, 20, 30), childAt(1, 2, 3);
    parent->SetPosition(&parentAt);
    child->SetParent(parent);
    child->SetPosition(&childAt, parent);
    QxVector scale(2, 2, 2);
    child->SetScale(&scale);

    CKSkin* skin = child->CreateSkin();
    skin->SetVertexCount(1);
    skin->GetVertexData(0)->SetInitialPos(QxVector(4, 5, 6));
    skin->SetBoneCount(1);
    QxMatrix inverse = QxMatrix::Identity();
    inverse[3][0] = 7;
    inverse[3][1] = 8;
    inverse[3][2] = 9;
    skin->GetBoneData(0)->SetBoneInitialInverseMatrix(inverse);
    skin->SetObjectInitMatrix(inverse);

    CKMesh* mesh = MakeStrip("Mesh", 1, {});
    CKBlendShapeData shapes;
    shapes.Names.PushBack(XString("Smile"));
    CKBlendShapeTarget target;
    CKBlendShapeDelta delta;
    delta.Vertex = 1;
    delta.Position = QxVector(1, 1, 1);
    delta.Normal = QxVector(0, 1, 0);
    target.Deltas.PushBack(delta);
    shapes.Targets.PushBack(target);
    CKBlendShapeBaseVertex base;
    base.Vertex = 1;
    base.Position = QxVector(2, 2, 2);
    base.Normal = QxVector(0, 0, 1);
    shapes.BaseVertices.PushBack(base);
    mesh->SetBlendShapes(shapes);
    QxVector vertex;
    mesh->GetVertexPosition(3, &vertex);

    auto* patch = static_cast<CKPatchMesh*>(m_Builder->CreatePatchMesh("Patch", 0x300));
    patch->SetVertVecCount(1, 1);
    patch->SetVert(0, QxVector(1, 2, 3));
    patch->SetVec(0, QxVector(4, 5, 6));

    CKCamera* camera = m_Builder->CreateCamera(FALSE, "Camera", 0x400, FALSE);
    camera->SetFrontPlane(2);
    camera->SetBackPlane(500);
    CKLight* light = m_Builder->CreateLight(FALSE, 1, "Light", 0x500, FALSE);
    light->SetRange(100);
    auto* point = static_cast<CKCurvePoint*>(m_Builder->CreateCurvePoint(nullptr, "Point", 0x600));
    const QxVector in(1, 0, 0), out(0, 1, 0);
    point->SetTangents(&in, &out);
    CKScene* scene = m_Context->GetCurrentLevel()->GetLevelScene();
    scene->SetFogStart(10);
    scene->SetFogEnd(1000);

    CKObjectAnimation* moves = m_Builder->CreateObjectAnimation(child, "Moves", 0x200);
    CKAnimController* bezier = moves->CreateController(CKANIMATION_BEZIERPOSITION_CONTROL);
    CKBezierKey<QxVector> key(0.0f, QxVector(1, 2, 3), 0, QxVector(1, 0, 0), QxVector(0, 0, 2));
    bezier->AddKey(&key);
    auto* morph = static_cast<CKMorphController*>(moves->CreateController(CKANIMATION_MORPH_CONTROL));
    morph->SetMorphVertexCount(2);
    const int k = morph->AddKeyAtTime(0.0f, FALSE);
    static_cast<CKMorphKey*>(morph->GetKey(k))->PosArray[1] = QxVector(3, 3, 3);
    CKObjectAnimation* turns = m_Builder->CreateObjectAnimation(parent, "Turns", 0x100);
    CKAnimController* rotation = turns->CreateController(CKANIMATION_LINEARROTATION_CONTROL);
    CKLinearKey<QxQuaternion> turn(0.0f, QxQuaternion(0, 0, 0.6f, 0.8f));
    rotation->AddKey(&turn);
    CKKeyedAnimation* keyed = m_Builder->CreateAnimation("Animation");
    // A second keyed animation holding the same object animation scales it
    // no further.
    auto* other = static_cast<CKKeyedAnimation*>(m_Context->CreateObject(CKCID_KEYEDANIMATION, "Other"));
    other->AddAnimation(moves);
    ASSERT_NE(keyed, nullptr);

    EXPECT_GT(m_Builder->RescaleScene(kInch), 0);

    QxVector got;
    parent->GetPosition(&got);
    ExpectScaled(got, parentAt, "parent");
    child->GetPosition(&got, parent);
    ExpectScaled(got, childAt, "child, in its parent's frame");
    child->GetScale(&got);
    EXPECT_EQ(got.x, 2.0f) << "scales stay";
    ExpectScaled(skin->GetVertexData(0)->GetInitialPos(), QxVector(4, 5, 6), "skin vertex");
    const QxMatrix& bone = skin->GetBoneData(0)->GetInitialInverseMatrix();
    ExpectScaled(QxVector(bone[3][0], bone[3][1], bone[3][2]), QxVector(7, 8, 9), "bone translation");
    EXPECT_EQ(bone[0][0], 1.0f);
    const QxMatrix& object = skin->GetObjectInitMatrix();
    ExpectScaled(QxVector(object[3][0], object[3][1], object[3][2]), QxVector(7, 8, 9), "object init");
    mesh->GetVertexPosition(3, &got);
    ExpectScaled(got, vertex, "mesh vertex");
    CKBlendShapeData after;
    mesh->GetBlendShapes(after);
    ASSERT_EQ(after.Targets.Size(), 1);
    ExpectScaled(after.Targets[0].Deltas[0].Position, QxVector(1, 1, 1), "position delta");
    EXPECT_EQ(after.Targets[0].Deltas[0].Normal.y, 1.0f) << "normal deltas stay";
    ExpectScaled(after.BaseVertices[0].Position, QxVector(2, 2, 2), "base vertex");
    EXPECT_EQ(after.BaseVertices[0].Normal.z, 1.0f);
    patch->GetVert(0, &got);
    ExpectScaled(got, QxVector(1, 2, 3), "patch vertex");
    patch->GetVec(0, &got);
    ExpectScaled(got, QxVector(4, 5, 6), "patch vector");
    EXPECT_FLOAT_EQ(camera->GetFrontPlane(), 2 * kInch);
    EXPECT_FLOAT_EQ(camera->GetBackPlane(), 500 * kInch);
    EXPECT_FLOAT_EQ(light->GetRange(), 100 * kInch);
    QxVector gotIn, gotOut;
    point->GetTangents(&gotIn, &gotOut);
    ExpectScaled(gotIn, in, "tangent in");
    ExpectScaled(gotOut, out, "tangent out");
    EXPECT_FLOAT_EQ(scene->GetFogStart(), 10 * kInch);
    EXPECT_FLOAT_EQ(scene->GetFogEnd(), 1000 * kInch);
    auto* scaledKey = static_cast<CKBezierKey<QxVector>*>(bezier->GetKey(0));
    ExpectScaled(scaledKey->Value, QxVector(1, 2, 3), "key");
    ExpectScaled(scaledKey->In, QxVector(1, 0, 0), "in tangent");
    ExpectScaled(scaledKey->Out, QxVector(0, 0, 2), "out tangent");
    ExpectScaled(static_cast<CKMorphKey*>(morph->GetKey(0))->PosArray[1], QxVector(3, 3, 3), "morph vertex");
    auto* rotationKey = static_cast<CKLinearKey<QxQuaternion>*>(rotation->GetKey(0));
    EXPECT_EQ(rotationKey->Value.z, 0.6f) << "rotations stay";
    EXPECT_NE(m_Log.m_Text.find("RescaleScene with factor of 0.025400, "), std::string::npos) << m_Log.m_Text;
}

TEST_F(SceneRescaling, LinearAndTCBPositionKeysScaleTheirValues)
{
    CK3dObject* a = m_Builder->CreateObject3D("A", 0x100);
    CK3dObject* b = m_Builder->CreateObject3D("B", 0x200);
    CKObjectAnimation* linear = m_Builder->CreateObjectAnimation(a, "A", 0x100);
    CKLinearKey<QxVector> key(1.0f, QxVector(10, 20, 30));
    linear->CreateController(CKANIMATION_LINEARPOSITION_CONTROL)->AddKey(&key);
    CKObjectAnimation* tcb = m_Builder->CreateObjectAnimation(b, "B", 0x200);
    CKTCBKey<QxVector> tcbKey;
    tcbKey.TimeStep = 2.0f;
    tcbKey.Value = QxVector(1, 1, 1);
    tcbKey.Tension = 0.5f;
    tcb->CreateController(CKANIMATION_TCBPOSITION_CONTROL)->AddKey(&tcbKey);
    CKKeyedAnimation* keyed = m_Builder->CreateAnimation("Animation");
    ASSERT_NE(keyed, nullptr);
    EXPECT_EQ(m_Builder->RescaleObject(keyed, kInch), 1);
    auto* scaled = static_cast<CKLinearKey<QxVector>*>(linear->GetPositionController()->GetKey(0));
    ExpectScaled(scaled->Value, QxVector(10, 20, 30), "linear key");
    EXPECT_EQ(scaled->TimeStep, 1.0f) << "times stay";
    auto* scaledTcb = static_cast<CKTCBKey<QxVector>*>(tcb->GetPositionController()->GetKey(0));
    ExpectScaled(scaledTcb->Value, QxVector(1, 1, 1), "TCB key");
    EXPECT_EQ(scaledTcb->Tension, 0.5f);
    EXPECT_EQ(m_Log.m_Text, "") << "RescaleObject logs nothing";
}
