#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "core/object/CKObjectIDList.h"
#include "core/parameter/CKParameter.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK3dObject.h"
#include "render/objects/CKSprite3D.h"
#include "tests/exporter/postpass/PostPassTestSupport.h"

namespace {

class DuplicateSharing : public PostPassTest
{
protected:
    CKTexture* MakeTexture(const char* name, int slots)
    {
        CKTexture* texture = m_Builder->CreateTexture(nullptr, name, 0);
        for (int s = 0; s < slots; ++s)
            texture->Create(4, 3, 32, s);
        for (int s = 0; s < slots; ++s)
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 4; ++x)
                    texture->SetPixel(x, y, 0xFF000000u | (CKDWORD) (x + 10 * y + 100 * s), s);
        return texture;
    }
    bool Gone(CK_ID id) { return m_Context->GetObject(id) == nullptr; }
    bool Logged(const std::string& text) { return m_Log.m_Text.find(text) != std::string::npos; }
};

} // namespace

TEST_F(DuplicateSharing, ThreeEqualMaterialsLeaveTheFirst)
{
    CKMaterial* a = MakeMaterial("A");
    CKMaterial* b = MakeMaterial("B");
    CKMaterial* c = MakeMaterial("C");
    CKMaterial* other = MakeMaterial("Other");
    other->SetPower(5);
    CKMesh* mesh = MakeStrip("Mesh", 4, {b, c, other, a});
    CKMesh* channels = MakeStrip("Channels", 1, {a});
    channels->AddChannel(c, TRUE);
    auto* sprite = static_cast<CKSprite3D*>(m_Context->CreateObject(CKCID_SPRITE3D, "Sprite"));
    sprite->SetMaterial(b);
    CKObjectIDList saved;
    m_Builder->FinishObjects(&saved, FALSE, FALSE);
    const CK_ID bId = b->GetID(), cId = c->GetID();

    EXPECT_EQ(m_Builder->DASIMaterialsGlobal(), 2);

    EXPECT_TRUE(Gone(bId));
    EXPECT_TRUE(Gone(cId));
    EXPECT_FALSE(BuilderNames(b, bId));
    EXPECT_FALSE(BuilderNames(c, cId));
    for (int f = 0; f < mesh->GetFaceCount(); ++f)
        EXPECT_TRUE(mesh->GetFaceMaterial(f) == a || mesh->GetFaceMaterial(f) == other) << f;
    EXPECT_EQ(channels->GetChannelCount(), 1) << "the channel keeps its place";
    EXPECT_EQ(channels->GetChannelMaterial(0), a) << "and takes the reference";
    EXPECT_EQ(sprite->GetMaterial(), a);
    EXPECT_TRUE(Logged("DASIMaterialsGlobal\n"));
    EXPECT_TRUE(Logged("DASIMaterials A\n"));
    EXPECT_FALSE(Logged("DASIMaterials B\n")) << "a duplicate is never a reference";
    EXPECT_TRUE(Logged("Found Dupplicates: p=A, cur=B\nRelinking Meshes: Mesh, Sprite, \b\b.\n")) << m_Log.m_Text;
    EXPECT_TRUE(Logged("Found Dupplicates: p=A, cur=C\nRelinking Meshes: Mesh, Channels, \b\b.\n")) << m_Log.m_Text;
}

TEST_F(DuplicateSharing, MaterialsDifferByTheFirstFieldThatDiffers)
{
    CKTexture* texture = MakeTexture("T", 1);
    const struct
    {
        const char* reason;
        std::function<void(CKMaterial*)> change;
    } cases[] = {
        {"Ambient", [](CKMaterial* m) { m->SetAmbient(QxColor(0, 0, 0, 0.5f)); }},
        {"Diffuse", [](CKMaterial* m) { m->SetDiffuse(QxColor(1, 0, 0, 1)); }},
        {"Emissive", [](CKMaterial* m) { m->SetEmissive(QxColor(0, 0, 1, 1)); }},
        {"Power", [](CKMaterial* m) { m->SetPower(2); }},
        {"Specular", [](CKMaterial* m) { m->SetSpecular(QxColor(0, 1, 0, 1)); }},
        {"Texture", [&](CKMaterial* m) { m->SetTexture(0, texture); }},
        {"Texture[2]", [&](CKMaterial* m) { m->SetTexture(2, texture); }},
        {"TextureAddressMode", [](CKMaterial* m) { m->SetTextureAddressMode(3); }},
        {"TextureBlendMode", [](CKMaterial* m) { m->SetTextureBlendMode(1); }},
        {"TextureBorderColor", [](CKMaterial* m) { m->SetTextureBorderColor(7); }},
        {"TextureMagMode", [](CKMaterial* m) { m->SetTextureMagMode(1); }},
        {"TextureMinMode", [](CKMaterial* m) { m->SetTextureMinMode(1); }},
        {"PerspectiveCorrectionEnabled", [](CKMaterial* m) { m->EnablePerspectiveCorrection(FALSE); }},
        {"AlphaBlendEnabled", [](CKMaterial* m) { m->EnableAlphaBlend(TRUE); }},
        {"DestBlend", [](CKMaterial* m) { m->SetDestBlend(6); }},
        {"SourceBlend", [](CKMaterial* m) { m->SetSourceBlend(5); }},
        {"FillMode", [](CKMaterial* m) { m->SetFillMode(2); }},
        {"ShadeMode", [](CKMaterial* m) { m->SetShadeMode(1); }},
        {"ZFunc", [](CKMaterial* m) { m->SetZFunc(8); }},
        {"IsTwoSided", [](CKMaterial* m) { m->SetTwoSided(TRUE); }},
        {"ZWriteEnabled", [](CKMaterial* m) { m->EnableZWrite(FALSE); }},
        {"AlphaTestEnabled", [](CKMaterial* m) { m->EnableAlphaTest(TRUE); }},
        {"AlphaFunc", [](CKMaterial* m) { m->SetAlphaFunc(3); }},
        {"AlphaRef", [](CKMaterial* m) { m->SetAlphaRef(9); }},
    };
    CKMaterial* m1 = MakeMaterial("M1");
    XString reason;
    for (const auto& c : cases) {
        CKMaterial* m2 = MakeMaterial("M2");
        EXPECT_TRUE(m_Builder->CompareMaterials(m1, m2, reason)) << c.reason;
        c.change(m2);
        EXPECT_FALSE(m_Builder->CompareMaterials(m1, m2, reason)) << c.reason;
        EXPECT_EQ(std::string(reason.CStr()), std::string("Not same ") + c.reason + ": m1=M1, m2=M2\n");
        m_Builder->DestroyObject(m2, 0);
    }
}

TEST_F(DuplicateSharing, TexturesAreRelinkedOnEveryStageAndComparedPixelByPixel)
{
    CKTexture* t1 = MakeTexture("T1", 2);
    CKTexture* t2 = MakeTexture("T2", 2);
    CKTexture* t3 = MakeTexture("T3", 2);
    t3->SetPixel(2, 1, 0xFF123456u, 1);
    CKMaterial* stage2 = MakeMaterial("Stage2");
    stage2->SetTexture(2, t2);
    CKMaterial* first = MakeMaterial("First");
    first->SetTexture(0, t2);
    CKMaterial* firstToo = MakeMaterial("FirstToo");
    firstToo->SetTexture(0, t1);
    CKObjectIDList saved;
    m_Builder->FinishObjects(&saved, FALSE, FALSE);
    const CK_ID t2Id = t2->GetID();

    XString reason;
    EXPECT_FALSE(m_Builder->CompareTextures(t1, t3, reason));
    EXPECT_STREQ(reason.CStr(), "Not same Slot[1].Pixel[1][2].Color: t1=T1, t2=T3\n");
    CKTexture* small = m_Builder->CreateTexture(nullptr, "Small", 0);
    small->Create(2, 2, 32, 0);
    small->SetSlotCount(2);
    EXPECT_FALSE(m_Builder->CompareTextures(t1, small, reason));
    EXPECT_STREQ(reason.CStr(), "Not same SystemTextureDesc: t1=T1, t2=Small\n");
    CKTexture* one = MakeTexture("One", 1);
    EXPECT_FALSE(m_Builder->CompareTextures(t1, one, reason));
    EXPECT_STREQ(reason.CStr(), "Not same SlotCount: t1=T1, t2=One\n");

    EXPECT_EQ(m_Builder->DASITexturesGlobal(), 1);
    EXPECT_TRUE(Gone(t2Id));
    EXPECT_FALSE(BuilderNames(t2, t2Id));
    EXPECT_EQ(stage2->GetTexture(2), t1);
    EXPECT_EQ(first->GetTexture(0), t1);
    EXPECT_FALSE(Gone(t3->GetID()));
    EXPECT_TRUE(Logged("Relinking Materials: Stage2, First, \b\b.\n")) << m_Log.m_Text;

    // Once the textures are one, the materials are too.
    XString reason2;
    EXPECT_TRUE(m_Builder->CompareMaterials(first, firstToo, reason2)) << reason2.CStr();
    EXPECT_EQ(m_Builder->DASIMaterialsGlobal(), 1);
}

TEST_F(DuplicateSharing, MeshesAreReplacedKeepingCurrentMeshAndWeights)
{
    CKMaterial* m = MakeMaterial("M");
    CKMesh* reference = MakeStrip("Reference", 2, {m});
    CKMesh* duplicate = MakeStrip("Duplicate", 2, {m});
    CKMesh* shifted = MakeStrip("Shifted", 2, {m});
    QxVector p;
    shifted->GetVertexPosition(4, &p);
    p.z += 1e-3f;
    shifted->SetVertexPosition(4, p);
    CKMesh* close = MakeStrip("Close", 2, {m});
    close->GetVertexPosition(4, &p);
    p.z += 1e-8f;
    close->SetVertexPosition(4, p);
    CKBlendShapeData shapes;
    shapes.Names.PushBack(XString("Open"));
    shapes.Targets.PushBack(CKBlendShapeTarget());
    reference->SetBlendShapes(shapes);
    duplicate->SetBlendShapes(shapes);
    close->SetBlendShapes(shapes);
    shifted->SetBlendShapes(shapes);

    CK3dObject* shows = m_Builder->CreateObject3D("Shows", 0x100);
    shows->SetCurrentMesh(duplicate, TRUE);
    shows->SetBlendShapeWeight(0, 0.75f);
    CK3dObject* holds = m_Builder->CreateObject3D("Holds", 0x200);
    holds->SetCurrentMesh(shifted, TRUE);
    holds->AddMesh(duplicate);
    CKObjectIDList saved;
    m_Builder->FinishObjects(&saved, FALSE, FALSE);
    const CK_ID duplicateId = duplicate->GetID(), closeId = close->GetID();

    EXPECT_EQ(m_Builder->DASIMeshesGlobal(), 2);
    EXPECT_TRUE(Gone(duplicateId));
    EXPECT_TRUE(Gone(closeId)) << "within the tolerance";
    EXPECT_FALSE(Gone(shifted->GetID()));
    EXPECT_FALSE(BuilderNames(duplicate, duplicateId));
    EXPECT_EQ(shows->GetCurrentMesh(), reference);
    EXPECT_EQ(shows->GetBlendShapeWeight(0), 0.75f);
    EXPECT_EQ(holds->GetCurrentMesh(), shifted);
    ASSERT_EQ(holds->GetMeshCount(), 2);
    EXPECT_EQ(holds->GetMesh(1), reference);
    EXPECT_TRUE(Logged("Not same Radius: p=Reference, cur=Shifted\n")) << m_Log.m_Text;
}

TEST_F(DuplicateSharing, MeshesDifferByTheFirstFieldThatDiffers)
{
    CKMaterial* m = MakeMaterial("M");
    CKMaterial* n = MakeMaterial("N");
    const struct
    {
        const char* reason;
        std::function<void(CKMesh*)> change;
    } cases[] = {
        {"Not same VertexCount: p=P, cur=C\n", [](CKMesh* c) { c->SetVertexCount(3); }},
        {"Not same LineCount: p=P, cur=C\n", [](CKMesh* c) { c->SetLineCount(1); }},
        {"Not same ChannelCount: p=P, cur=C\n", [&](CKMesh* c) { c->AddChannel(n, TRUE); }},
        {"Not same WeightsCount: p=P, cur=C\n", [](CKMesh* c) { c->SetVertexWeightsCount(6); }},
        {"Not same Material[0]: p=P, cur=C\n", [&](CKMesh* c) { c->ReplaceMaterial(m, n, FALSE); }},
        {"Not same Channel[-1].TextureCoord[2][1]: p=P, cur=C\n",
         [](CKMesh* c) { c->SetVertexTextureCoordinates(2, 0, 0.5f); }},
        {"Not same VertexColor[5]: p=P, cur=C\n", [](CKMesh* c) { c->SetVertexColor(5, 0xFF00FF00u); }},
        {"Not same blend shape count: p=P, cur=C\n",
         [](CKMesh* c) {
             CKBlendShapeData shapes;
             shapes.Names.PushBack(XString("Open"));
             c->SetBlendShapes(shapes);
         }},
    };
    CKMesh* p = MakeStrip("P", 2, {m});
    XString reason;
    for (const auto& c : cases) {
        CKMesh* cur = MakeStrip("C", 2, {m});
        EXPECT_TRUE(m_Builder->CompareMeshes(p, cur, reason)) << c.reason;
        c.change(cur);
        EXPECT_FALSE(m_Builder->CompareMeshes(p, cur, reason)) << c.reason;
        EXPECT_STREQ(reason.CStr(), c.reason);
        m_Builder->DestroyObject(cur, 0);
    }
}

TEST_F(DuplicateSharing, BlendShapeDeltaListsOfUnequalLengthDiffer)
{
    CKMesh* p = MakeStrip("P", 1, {});
    CKMesh* cur = MakeStrip("C", 1, {});
    CKBlendShapeData shapes;
    shapes.Names.PushBack(XString("Open"));
    CKBlendShapeTarget target;
    CKBlendShapeDelta delta;
    delta.Vertex = 1;
    delta.Position = QxVector(0, 1, 0);
    target.Deltas.PushBack(delta);
    shapes.Targets.PushBack(target);
    p->SetBlendShapes(shapes);
    shapes.Targets[0].Deltas.PushBack(delta);
    shapes.Targets[0].Deltas[1].Vertex = 2;
    cur->SetBlendShapes(shapes);
    XString reason;
    EXPECT_FALSE(m_Builder->CompareMeshes(p, cur, reason));
    EXPECT_STREQ(reason.CStr(), "Not same blend shape delta count: p=P, cur=C\n");
    EXPECT_FALSE(m_Builder->CompareMeshes(cur, p, reason)) << "either way round";
    shapes.Targets[0].Deltas.RemoveAt(1);
    shapes.Targets[0].Deltas[0].Normal.y = 1;
    cur->SetBlendShapes(shapes);
    EXPECT_FALSE(m_Builder->CompareMeshes(p, cur, reason));
    EXPECT_STREQ(reason.CStr(), "Not same blend shape normal delta: p=P, cur=C\n");
}

TEST_F(DuplicateSharing, AnimationsShareDataAndNothingIsDestroyed)
{
    CK3dObject* e1 = m_Builder->CreateObject3D("E1", 0x100);
    CK3dObject* e2 = m_Builder->CreateObject3D("E2", 0x200);
    CK3dObject* e3 = m_Builder->CreateObject3D("E3", 0x300);
    CKObjectAnimation* animations[3];
    CK3dObject* entities[3] = {e1, e2, e3};
    for (int i = 0; i < 3; ++i) {
        animations[i] = m_Builder->CreateObjectAnimation(entities[i], entities[i]->GetName(), 0x100 * (i + 1));
        CKAnimController* position = animations[i]->CreateController(CKANIMATION_LINEARPOSITION_CONTROL);
        CKLinearKey<QxVector> key(0.0f, QxVector(1, 2, (float) (i == 2)));
        position->AddKey(&key);
    }
    EXPECT_EQ(m_Builder->DASIAnimationsGlobal(), 1);
    EXPECT_EQ(animations[1]->GetDataOwner(), animations[0]);
    EXPECT_EQ(animations[2]->GetDataOwner(), nullptr);
    for (CKObjectAnimation* animation : animations)
        EXPECT_NE(m_Context->GetObject(animation->GetID()), nullptr);
    EXPECT_TRUE(Logged("Sharing Object Animation from a1=E1 to a2=E2\n"));
    EXPECT_TRUE(Logged("Not same Object Animation: a1=E1, a2=E3\n"));
    m_Log.m_Text.clear();
    XArray<CKObject*> objects = m_Context->GetObjectListByType(CKCID_OBJECT, TRUE);
    EXPECT_EQ(m_Builder->DASIAnimations(animations[1], objects), 0) << "a sharer is no reference";
    EXPECT_EQ(m_Builder->DASIAnimations(animations[2], objects), 0) << "and no candidate";
    EXPECT_FALSE(Logged("a2=E2"));
}

TEST_F(DuplicateSharing, TexturesNamedByEffectParametersAreUsersToo)
{
    CKTexture* t1 = MakeTexture("T1", 1);
    CKTexture* t2 = MakeTexture("T2", 1);
    MaterialDesc desc;
    desc.effectName = "Environment Bump Map";
    CKMaterial* bumpy = m_Builder->CreateMaterial(nullptr, "Bumpy", 0x900);
    ASSERT_GE(m_Builder->ApplyMaterialEffect(desc, bumpy), 0);
    // The effect's last member names an object: here the second texture.
    CKParameter* effect = bumpy->GetEffectParameter();
    ASSERT_NE(effect, nullptr);
    ASSERT_GE(effect->GetDataSize(), 4);
    CK_ID memberId = 0;
    std::memcpy(&memberId, static_cast<const CKBYTE*>(effect->GetReadDataPtr(FALSE)) + effect->GetDataSize() - 4, 4);
    auto* member = static_cast<CKParameter*>(m_Context->GetObject(memberId));
    ASSERT_NE(member, nullptr);
    const CK_ID t2Id = t2->GetID();
    member->SetValue(&t2Id, sizeof t2Id);
    CKObjectIDList saved;
    m_Builder->FinishObjects(&saved, FALSE, FALSE);

    EXPECT_EQ(m_Builder->IsTextureUnused(t2), nullptr) << "named by an effect parameter";
    EXPECT_EQ(m_Builder->IsTextureUnused(t1), t1);
    EXPECT_EQ(m_Builder->DASITexturesGlobal(), 1);
    EXPECT_TRUE(Gone(t2Id));
    EXPECT_EQ(member->GetValueObject(FALSE), t1) << "the parameter names the reference";
    EXPECT_TRUE(Logged("Relinking Materials: Bumpy, \b\b.\n")) << m_Log.m_Text;

    // Materials whose effect parameters differ are not the same.
    CKMaterial* other = m_Builder->CreateMaterial(nullptr, "Other", 0x901);
    m_Builder->ApplyMaterialEffect(desc, other);
    XString reason;
    EXPECT_FALSE(m_Builder->CompareMaterials(bumpy, other, reason));
    EXPECT_STREQ(reason.CStr(), "Not same EffectParameter: m1=Bumpy, m2=Other\n");
}

// Every record of the blend shapes is compared, the first and the last of
// each list as well as those between: meshes that differ in one of them
// alone are not shared.
TEST_F(DuplicateSharing, BlendShapesDifferingInTheirFirstOrLastRecordAreNotShared)
{
    // Two targets of three deltas each (vertices 0, 1, 3), and the base of
    // the vertices they move.
    auto shapes = [] {
        CKBlendShapeData data;
        data.Names.PushBack(XString("Open"));
        data.Names.PushBack(XString("Shut"));
        for (int t = 0; t < 2; ++t) {
            CKBlendShapeTarget target;
            target.WeightIndex = (CKDWORD) t;
            for (CKDWORD v : {0u, 1u, 3u}) {
                CKBlendShapeDelta delta;
                delta.Vertex = v;
                delta.Position = QxVector(0, 0.25f * (float) (t + 1), 0);
                delta.Normal = QxVector(0, 0, 0.5f * (float) (t + 1));
                target.Deltas.PushBack(delta);
            }
            data.Targets.PushBack(target);
        }
        for (CKDWORD v : {0u, 1u, 3u}) {
            CKBlendShapeBaseVertex base;
            base.Vertex = v;
            base.Position = QxVector(0.5f, 0.5f, 0);
            base.Normal = QxVector(0, 0, 1);
            data.BaseVertices.PushBack(base);
        }
        return data;
    };
    // The position deltas change places between the targets, so that the
    // mesh's extent stays the same and only the deltas tell them apart.
    auto swapPositions = [](CKBlendShapeData& d, int i) {
        std::swap(d.Targets[0].Deltas[i].Position, d.Targets[1].Deltas[i].Position);
    };
    const struct
    {
        const char* what;
        const char* reason;
        std::function<void(CKBlendShapeData&)> change;
    } cases[] = {
        {"first delta's index", "Not same blend shape delta index: p=P, cur=C\n",
         [](CKBlendShapeData& d) { d.Targets[0].Deltas[0].Vertex = 2; }},
        {"last delta's index", "Not same blend shape delta index: p=P, cur=C\n",
         [](CKBlendShapeData& d) { d.Targets[1].Deltas[2].Vertex = 2; }},
        {"first delta's normal", "Not same blend shape normal delta: p=P, cur=C\n",
         [](CKBlendShapeData& d) { d.Targets[0].Deltas[0].Normal.x = 0.5f; }},
        {"last delta's normal", "Not same blend shape normal delta: p=P, cur=C\n",
         [](CKBlendShapeData& d) { d.Targets[1].Deltas[2].Normal.x = 0.5f; }},
        {"first deltas' positions", "Not same blend shape position delta: p=P, cur=C\n",
         [&](CKBlendShapeData& d) { swapPositions(d, 0); }},
        {"last deltas' positions", "Not same blend shape position delta: p=P, cur=C\n",
         [&](CKBlendShapeData& d) { swapPositions(d, 2); }},
        {"first target's weight", "Not same physical blend shape weight: p=P, cur=C\n",
         [](CKBlendShapeData& d) { d.Targets[0].Pivot = 0.5f; }},
        {"last target's out-slope", "Not same physical blend shape outslope: p=P, cur=C\n",
         [](CKBlendShapeData& d) { d.Targets[1].SlopeAbove = -2.0f; }},
        {"last target's in-slope", "Not same physical blend shape inslope: p=P, cur=C\n",
         [](CKBlendShapeData& d) { d.Targets[1].SlopeBelow = 2.0f; }},
        {"last target's weight index", "Not same logical blend shape index: p=P, cur=C\n",
         [](CKBlendShapeData& d) { d.Targets[1].WeightIndex = 0; }},
        {"first base's index", "Not same blend shape initial vertex index: p=P, cur=C\n",
         [](CKBlendShapeData& d) { d.BaseVertices[0].Vertex = 2; }},
        {"last base's normal", "Not same blend shape initial vertex normal: p=P, cur=C\n",
         [](CKBlendShapeData& d) { d.BaseVertices[2].Normal = QxVector(0, 1, 0); }},
        {"last base's position", "Not same blend shape initial vertex position: p=P, cur=C\n",
         [](CKBlendShapeData& d) { d.BaseVertices[2].Position.x = 0.25f; }},
        {"last name", "Not same blend shape names: p=P, cur=C\n",
         [](CKBlendShapeData& d) { d.Names[1] = XString("Shot"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        CKMesh* p = MakeStrip("P", 1, {});
        CKMesh* cur = MakeStrip("C", 1, {});
        CKMesh* same = MakeStrip("Same", 1, {});
        p->SetBlendShapes(shapes());
        same->SetBlendShapes(shapes());
        CKBlendShapeData changed = shapes();
        c.change(changed);
        cur->SetBlendShapes(changed);
        XString reason;
        EXPECT_FALSE(m_Builder->CompareMeshes(p, cur, reason));
        EXPECT_STREQ(reason.CStr(), c.reason);
        EXPECT_FALSE(m_Builder->CompareMeshes(cur, p, reason)) << "either way round";
        const CK_ID curId = cur->GetID(), sameId = same->GetID();
        EXPECT_EQ(m_Builder->DASIMeshesGlobal(), 1) << m_Log.m_Text;
        EXPECT_FALSE(Gone(curId));
        EXPECT_TRUE(Gone(sameId)) << "an equal mesh is shared";
    }
}

// Meshes are compared within their bucket only, and every pair compared
// that differs has its reason line: four strips alike but for their second
// vertex give six lines; a strip of another shape is named in none.
TEST_F(DuplicateSharing, EveryPairComparedLogsItsReasonAndNoOther)
{
    for (int i = 0; i < 4; ++i) {
        CKMesh* strip = MakeStrip(("S" + std::to_string(i)).c_str(), 1, {});
        QxVector p;
        strip->GetVertexPosition(1, &p);
        p.z += (float) i;
        strip->SetVertexPosition(1, p);
    }
    MakeStrip("Longer", 2, {});
    EXPECT_EQ(m_Builder->DASIMeshesGlobal(), 0);
    int lines = 0;
    for (size_t at = m_Log.m_Text.find("Not same"); at != std::string::npos; at = m_Log.m_Text.find("Not same", at + 1))
        ++lines;
    EXPECT_EQ(lines, 6) << m_Log.m_Text;
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) {
            const std::string pair = "p=S" + std::to_string(i) + ", cur=S" + std::to_string(j) + "\n";
            EXPECT_TRUE(Logged(pair)) << pair << m_Log.m_Text;
        }
    EXPECT_FALSE(Logged("Longer\n"));
    EXPECT_FALSE(Logged("cur=Longer"));
}

namespace {

// Whether two animations agree in what the comparison checks exactly: the
// channels they have, each controller's type and key count, the named
// controllers' names.
bool SameShape(CKObjectAnimation* a, CKObjectAnimation* b)
{
    auto same = [](CKAnimController* x, CKAnimController* y) {
        return (!x && !y) || (x && y && x->GetType() == y->GetType() && x->GetKeyCount() == y->GetKeyCount());
    };
    if (!same(a->GetPositionController(), b->GetPositionController()) ||
        !same(a->GetRotationController(), b->GetRotationController()) ||
        !same(a->GetScaleController(), b->GetScaleController()) ||
        a->GetNamedControllerCount() != b->GetNamedControllerCount())
        return false;
    for (int i = 0; i < a->GetNamedControllerCount(); ++i)
        if (!(a->GetNamedControllerEntry(i)->Name == b->GetNamedControllerEntry(i)->Name) ||
            !same(a->GetNamedController(i), b->GetNamedController(i)))
            return false;
    return true;
}

} // namespace

// Differential: animations of random shapes and values share as the
// pairwise pass shares them (every pair compared, in list order), and the
// log names the pairs of one shape only, each that was compared.
TEST_F(DuplicateSharing, AnimationsShareAsThePairwisePassAndLogPairsOfOneShape)
{
    std::mt19937 random(7);
    auto pick = [&](int n) { return (int) (random() % (unsigned) n); };
    std::vector<CKObjectAnimation*> animations;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "A" + std::to_string(i);
        CK3dObject* entity = m_Builder->CreateObject3D(name.c_str(), 0x100 + i);
        CKObjectAnimation* animation = m_Builder->CreateObjectAnimation(entity, name.c_str(), 0x100 + i);
        const CKDWORD positionTypes[] = {CKANIMATION_LINEARPOSITION_CONTROL, CKANIMATION_TCBPOSITION_CONTROL};
        if (pick(4) != 0) {
            CKAnimController* position = animation->CreateController(positionTypes[pick(2)]);
            for (int k = 0, n = 1 + pick(2); k < n; ++k) {
                const QxVector value((float) pick(2), 0, 0);
                if (position->GetType() == CKANIMATION_LINEARPOSITION_CONTROL) {
                    CKLinearKey<QxVector> key(10.0f * (float) k, value);
                    position->AddKey(&key);
                } else {
                    CKTCBKey<QxVector> key(10.0f * (float) k, value);
                    position->AddKey(&key);
                }
            }
        }
        if (pick(2) == 0) {
            CKLinearKey<float> key(0.0f, (float) pick(2));
            animation->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, pick(2) ? "w" : "v")->AddKey(&key);
        }
        animations.push_back(animation);
    }
    // The pairwise pass on the equalities as they stand before it (a
    // reference and a candidate keep their own data until shared).
    const size_t n = animations.size();
    std::vector<std::vector<bool>> equal(n, std::vector<bool>(n));
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j)
            equal[i][j] = animations[i]->Compare(animations[j], 1.1920929e-07f) != 0;
    std::vector<int> owner(n, -1);
    std::string expectedLog = "DASIAnimationsGlobal\n";
    int expected = 0;
    for (size_t i = 0; i < n; ++i) {
        expectedLog += "DASIAnimations A" + std::to_string(i) + "\n";
        if (owner[i] >= 0)
            continue;
        for (size_t j = 0; j < n; ++j) {
            if (j == i || owner[j] >= 0)
                continue;
            const std::string pair =
                "A" + std::to_string(i) + (equal[i][j] ? " to a2=A" : ", a2=A") + std::to_string(j);
            if (equal[i][j]) {
                owner[j] = (int) i;
                ++expected;
                expectedLog += "Sharing Object Animation from a1=" + pair + "\n";
            } else if (SameShape(animations[i], animations[j])) {
                expectedLog += "Not same Object Animation: a1=" + pair + "\n";
            }
        }
    }
    ASSERT_GT(expected, 3);
    EXPECT_EQ(m_Builder->DASIAnimationsGlobal(), expected);
    for (size_t i = 0; i < n; ++i)
        EXPECT_EQ(animations[i]->GetDataOwner(), owner[i] < 0 ? nullptr : animations[(size_t) owner[i]]) << i;
    EXPECT_EQ(m_Log.m_Text, expectedLog);
}

// Whether a mesh's bounding volumes were computed before the pass is no
// difference: the comparison computes them first.
TEST_F(DuplicateSharing, MeshesAreSharedWhetherTheirBoundsWereComputedOrNot)
{
    CKMesh* first = MakeStrip("First", 2, {});
    CKMesh* second = MakeStrip("Second", 2, {});
    MakeStrip("Third", 2, {});
    second->GetRadius();
    const CK_ID secondId = second->GetID();
    EXPECT_EQ(m_Builder->DASIMeshesGlobal(), 2) << m_Log.m_Text;
    EXPECT_TRUE(Gone(secondId));
    EXPECT_FALSE(Gone(first->GetID()));
}

// Lines are compared end by end: equal lines are shared, a line that
// differs at either end is not.
TEST_F(DuplicateSharing, LinesAreComparedEndByEnd)
{
    const struct
    {
        int line, end;
        const char* reason;
    } cases[] = {{-1, 0, ""},
                 {0, 0, "Not same LineIndice[0]: p=P, cur=C\n"},
                 {0, 1, "Not same LineIndice[1]: p=P, cur=C\n"},
                 {2, 1, "Not same LineIndice[5]: p=P, cur=C\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        CKMesh* p = MakeStrip("P", 2, {});
        CKMesh* cur = MakeStrip("C", 2, {});
        for (CKMesh* mesh : {p, cur}) {
            mesh->SetLineCount(3);
            for (int l = 0; l < 3; ++l)
                mesh->SetLine(l, l, l + 1);
        }
        if (c.line >= 0)
            cur->SetLine(c.line, c.end == 0 ? 5 : c.line, c.end == 1 ? 5 : c.line + 1);
        XString reason;
        EXPECT_EQ(m_Builder->CompareMeshes(p, cur, reason) != 0, c.line < 0);
        if (c.line >= 0) {
            EXPECT_STREQ(reason.CStr(), c.reason);
        }
        m_Builder->DestroyObject(p, 0);
        m_Builder->DestroyObject(cur, 0);
    }
}

// Boxes that differ at one corner only, with the same centre and radius,
// differ.
TEST_F(DuplicateSharing, LocalBoxesDifferingAtOneCornerDiffer)
{
    // A square about the origin; then the same centre and radius with a
    // smaller upper corner, or a greater lower one.
    const float square[4][2] = {{-1, -1}, {1, 1}, {-1, 1}, {1, -1}};
    const float upper[4][2] = {{-1, -1}, {0.9f, 1}, {-0.8f, 1}, {0.9f, -1}};
    const float lower[4][2] = {{1, 1}, {-0.9f, -1}, {0.8f, -1}, {-0.9f, 1}};
    for (const auto* other : {upper, lower}) {
        CKMesh* p = MakeStrip("P", 1, {});
        CKMesh* cur = MakeStrip("C", 1, {});
        for (int v = 0; v < 4; ++v) {
            p->SetVertexPosition(v, QxVector(square[v][0], square[v][1], 0));
            cur->SetVertexPosition(v, QxVector(other[v][0], other[v][1], 0));
        }
        XString reason;
        EXPECT_FALSE(m_Builder->CompareMeshes(p, cur, reason));
        EXPECT_STREQ(reason.CStr(), "Not same LocalBox: p=P, cur=C\n");
        m_Builder->DestroyObject(p, 0);
        m_Builder->DestroyObject(cur, 0);
    }
}
