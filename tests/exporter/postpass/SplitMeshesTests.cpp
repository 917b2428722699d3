#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectIDList.h"
#include "exporter/options/Max2Qdx.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKBodyPart.h"
#include "render/animation/CKCharacter.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/animation/CKSkin.h"
#include "render/mesh/CKMeshChannel.h"
#include "render/objects/CK3dObject.h"
#include "tests/exporter/postpass/PostPassTestSupport.h"

namespace {

class SplitMeshes : public PostPassTest
{
protected:
    // A record for base with one channel entry per material given.
    MultiMaterialRecord& AddRecord(CKMaterial* base, const std::vector<CKMaterial*>& channels,
                                   const std::vector<int>& uvSources = {})
    {
        MultiMaterialRecord record;
        record.base = base;
        for (size_t i = 0; i < channels.size(); ++i)
            record.AddEntry(channels[i], i < uvSources.size() ? uvSources[i] : -1);
        m_Builder->multiMaterials.PushBack(record);
        return m_Builder->multiMaterials[m_Builder->multiMaterials.Size() - 1];
    }

    // Every face's corner positions, in face order.
    static std::vector<float> FaceXs(CKMesh* mesh)
    {
        std::vector<float> xs;
        for (int f = 0; f < mesh->GetFaceCount(); ++f) {
            int a, b, c;
            mesh->GetFaceVertexIndex(f, a, b, c);
            QxVector p;
            mesh->GetVertexPosition(a, &p);
            xs.push_back(p.x);
        }
        return xs;
    }
};

} // namespace

TEST_F(SplitMeshes, TwoRecordsAndAPlainMaterialGiveTwoMeshes)
{
    CKMaterial* r1 = MakeMaterial("R1");
    CKMaterial* r2 = MakeMaterial("R2");
    CKMaterial* plain = MakeMaterial("Plain");
    CKMaterial* glass = MakeMaterial("Glass");
    CKMaterial* dirt = MakeMaterial("Dirt");
    AddRecord(r1, {glass});
    AddRecord(r2, {dirt});
    // Quads 0..5 use R1, R2, Plain, R1, R2, Plain.
    CKMesh* mesh = MakeStrip("Box_Mesh", 6, {r1, r2, plain});
    CK3dObject* box = m_Builder->CreateObject3D("Box", 0x100);
    box->SetCurrentMesh(mesh, TRUE);
    CKObjectAnimation* moves = m_Builder->CreateObjectAnimation(box, "Box", 0x100);
    CKLinearKey<QxVector> key(0.0f, QxVector(1, 2, 3));
    moves->CreateController(CKANIMATION_LINEARPOSITION_CONTROL)->AddKey(&key);
    CKObjectIDList saved;
    m_Builder->FinishObjects(&saved, FALSE, FALSE);

    XArray<CKMesh*> parts;
    ASSERT_EQ(m_Builder->SplitMesh(mesh, parts), 2);
    ASSERT_EQ(parts.Size(), 2);
    EXPECT_EQ(parts[0], mesh);
    EXPECT_STREQ(parts[0]->GetName(), "Box_Mesh");
    EXPECT_STREQ(parts[1]->GetName(), "Box_Mesh_SM1");
    // Part 0: R1's quads 0 and 3 and the plain quads 2 and 5, ascending.
    EXPECT_EQ(FaceXs(parts[0]), (std::vector<float>{0, 0, 2, 2, 3, 3, 5, 5}));
    EXPECT_EQ(FaceXs(parts[1]), (std::vector<float>{1, 1, 4, 4}));
    EXPECT_EQ(parts[1]->GetVertexCount(), 8) << "a vertex shared by two parts is in both";
    EXPECT_EQ(parts[0]->GetVertexCount(), 14);
    ASSERT_GE(parts[0]->GetChannelCount(), 1);
    EXPECT_EQ(parts[0]->GetChannelMaterial(0), glass);
    EXPECT_EQ(parts[1]->GetChannelMaterial(0), dirt);
    EXPECT_EQ(parts[1]->GetChannelSourceBlend(0), 5);
    EXPECT_EQ(parts[1]->GetChannelDestBlend(0), 6);

    EXPECT_EQ(box->GetCurrentMesh(), mesh);
    ASSERT_EQ(box->GetChildrenCount(), 1);
    CK3dEntity* child = box->GetChild(0);
    EXPECT_STREQ(child->GetName(), "Box_SM1");
    EXPECT_EQ(child->GetCurrentMesh(), parts[1]);
    EXPECT_EQ(m_Context->GetObject(moves->GetID()), moves) << "the source keeps its own animation";
    EXPECT_EQ(moves->Get3dEntity(), box);
    EXPECT_EQ(moves->GetPositionController()->GetKeyCount(), 1);
    EXPECT_TRUE(BuilderNames(parts[1], 0)) << "the new mesh is the builder's";
    EXPECT_TRUE(BuilderNames(child, 0));
}

TEST_F(SplitMeshes, OneRecordSetsChannelsOnTheMeshItself)
{
    CKMaterial* r1 = MakeMaterial("R1");
    CKMaterial* plain = MakeMaterial("Plain");
    CKMaterial* glass = MakeMaterial("Glass");
    CKMaterial* dirt = MakeMaterial("Dirt");
    MultiMaterialRecord& record = AddRecord(r1, {glass, dirt});
    record.channels[1].active = 0;
    record.channels[1].lit = 0;
    record.channels[1].sourceBlend = 2;
    record.channels[1].destBlend = 1;
    CKMesh* mesh = MakeStrip("Mesh", 2, {r1, plain});
    const int faces = mesh->GetFaceCount();
    XArray<CKMesh*> parts;
    ASSERT_EQ(m_Builder->SplitMesh(mesh, parts), 1);
    EXPECT_EQ(parts[0], mesh);
    EXPECT_EQ(mesh->GetFaceCount(), faces) << "not rebuilt";
    ASSERT_EQ(mesh->GetChannelCount(), 2);
    EXPECT_EQ(mesh->GetChannelMaterial(1), dirt);
    EXPECT_FALSE(mesh->IsChannelActive(1));
    EXPECT_FALSE(mesh->IsChannelLit(1));
    EXPECT_EQ(mesh->GetChannelSourceBlend(1), 2);
    EXPECT_EQ(mesh->GetChannelDestBlend(1), 1);
    EXPECT_TRUE(mesh->IsChannelActive(0));
    EXPECT_NE(mesh->GetChannelFlags(0) & CKCHANNEL_FACESUBSET, 0u) << "kept to R1's faces";
    EXPECT_NE(mesh->GetChannelFlags(1) & CKCHANNEL_FACESUBSET, 0u);

    CKMesh* none = MakeStrip("None", 1, {plain});
    EXPECT_EQ(m_Builder->SplitMesh(none, parts), 0);
    EXPECT_EQ(parts.Size(), 0);
    EXPECT_EQ(m_Builder->ApplyMultiMaterialChannels(none, nullptr), nullptr);
}

TEST_F(SplitMeshes, AnUnnamedMeshGivesSuffixedNames)
{
    CKMaterial* a = MakeMaterial("A");
    CKMaterial* b = MakeMaterial("B");
    CKMaterial* c = MakeMaterial("C");
    AddRecord(a, {});
    AddRecord(b, {});
    AddRecord(c, {});
    CKMesh* mesh = MakeStrip(nullptr, 3, {a, b, c});
    XArray<CKMesh*> parts;
    ASSERT_EQ(m_Builder->SplitMesh(mesh, parts), 3);
    EXPECT_STREQ(parts[1]->GetName(), "_SM1");
    EXPECT_STREQ(parts[2]->GetName(), "_SM2");
}

TEST_F(SplitMeshes, UVSourcesNameHostMapChannelsAndSwapThroughKeptCopies)
{
    CKMaterial* r1 = MakeMaterial("R1");
    CKMaterial* ch2 = MakeMaterial("Ch2");
    CKMaterial* ch3 = MakeMaterial("Ch3");
    CKMesh* mesh = MakeStrip("Mesh", 1, {r1});
    const int c0 = mesh->AddChannel(ch2, TRUE);
    const int c1 = mesh->AddChannel(ch3, TRUE);
    for (int v = 0; v < mesh->GetVertexCount(); ++v) {
        mesh->SetVertexTextureCoordinates(v, 2.0f, (float) v, c0);
        mesh->SetVertexTextureCoordinates(v, 3.0f, (float) v, c1);
        mesh->SetVertexTextureCoordinates(v, 1.0f, (float) v, -1);
    }
    MeshBuilder* kept = m_Builder->FindMeshBuilder((ExportKey) mesh);
    ASSERT_NE(kept, nullptr);
    kept->channelMaterials.PushBack(ch2);
    kept->channelMaterials.PushBack(ch3);
    kept->channelMapChannels.PushBack(2);
    kept->channelMapChannels.PushBack(3);
    // Channel 0 takes map channel 3, channel 1 map channel 2 (as it was
    // before channel 0 was overwritten), a third the base coordinates, a
    // fourth a map channel the mesh lacks.
    CKMaterial* ch4 = MakeMaterial("Ch4");
    CKMaterial* ch5 = MakeMaterial("Ch5");
    AddRecord(r1, {ch2, ch3, ch4, ch5}, {3, 2, 1, 9});
    XArray<CKMesh*> parts;
    ASSERT_EQ(m_Builder->SplitMesh(mesh, parts), 1);
    ASSERT_EQ(mesh->GetChannelCount(), 4);
    float u = 0, v = 0;
    mesh->GetVertexTextureCoordinates(1, &u, &v, 0);
    EXPECT_EQ(u, 3.0f);
    mesh->GetVertexTextureCoordinates(1, &u, &v, 1);
    EXPECT_EQ(u, 2.0f);
    mesh->GetVertexTextureCoordinates(1, &u, &v, 2);
    EXPECT_EQ(u, 1.0f);
    EXPECT_EQ(v, 1.0f);
    mesh->GetVertexTextureCoordinates(1, &u, &v, 3);
    EXPECT_EQ(u, 1.0f) << "a missing map channel leaves the copied coordinates";
}

TEST_F(SplitMeshes, BodyPartsSkinsAndMorphsFollowTheirParts)
{
    CKMaterial* a = MakeMaterial("A");
    CKMaterial* b = MakeMaterial("B");
    AddRecord(a, {});
    AddRecord(b, {});
    CKMesh* mesh = MakeStrip("Arm_Mesh", 2, {a, b});
    CKBodyPart* arm = m_Builder->CreateBodyPart("Arm", 0x100);
    arm->SetCurrentMesh(mesh, TRUE);
    CK3dObject* bone0 = m_Builder->CreateObject3D("Bone0", 0x200);
    CK3dObject* bone2 = m_Builder->CreateObject3D("Bone2", 0x300);
    CKSkin* skin = arm->CreateSkin();
    skin->SetBoneCount(3);
    skin->GetBoneData(0)->SetBone(bone0);
    skin->GetBoneData(1)->SetBone(arm);
    skin->GetBoneData(2)->SetBone(bone2);
    QxMatrix inverse = QxMatrix::Identity();
    inverse[3][0] = 5;
    skin->GetBoneData(2)->SetBoneInitialInverseMatrix(inverse);
    skin->SetVertexCount(mesh->GetVertexCount());
    for (int v = 0; v < mesh->GetVertexCount(); ++v) {
        QxVector p;
        mesh->GetVertexPosition(v, &p);
        CKSkinVertexData* vertex = skin->GetVertexData(v);
        vertex->SetBoneCount(1);
        // Vertices of x = 2 (only in the second quad) follow bone 2 and 1.
        vertex->SetBone(0, p.x >= 2 ? 2 : 0);
        vertex->SetWeight(0, p.x >= 2 ? 0.5f : 1.0f);
        vertex->SetInitialPos(p);
        if (p.x >= 2) {
            vertex->SetBoneCount(2);
            vertex->SetBone(1, 1);
            vertex->SetWeight(1, 0.5f);
        }
    }
    CKObjectAnimation* morphs = m_Builder->CreateObjectAnimation(arm, "Arm", 0x100);
    auto* morph = static_cast<CKMorphController*>(morphs->CreateController(CKANIMATION_MORPH_CONTROL));
    morph->SetMorphVertexCount(mesh->GetVertexCount());
    const int k = morph->AddKeyAtTime(0.0f, FALSE);
    for (int v = 0; v < mesh->GetVertexCount(); ++v)
        static_cast<CKMorphKey*>(morph->GetKey(k))->PosArray[v] = QxVector((float) v, 0, 0);
    CKCharacter* character = m_Builder->CreateCharacter("Character");
    CKKeyedAnimation* keyed = m_Builder->CreateAnimation("Animation");
    ASSERT_NE(keyed, nullptr);
    const int animationsBefore = keyed->GetAnimationCount();

    XArray<CKMesh*> parts;
    ASSERT_EQ(m_Builder->SplitMesh(mesh, parts), 2);
    ASSERT_EQ(arm->GetChildrenCount(), 1);
    CK3dEntity* child = arm->GetChild(0);
    ASSERT_TRUE(CKIsChildClassOfObject(child, CKCID_BODYPART));
    EXPECT_EQ(static_cast<CKBodyPart*>(child)->GetCharacter(), character);

    CKSkin* own = arm->GetSkin();
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->GetBoneCount(), 1) << "part 0 uses bone 0 only";
    EXPECT_EQ(own->GetVertexCount(), parts[0]->GetVertexCount());
    CKSkin* childSkin = child->GetSkin();
    ASSERT_NE(childSkin, nullptr);
    ASSERT_EQ(childSkin->GetBoneCount(), 3) << "bones 0, 1 and 2 in ascending order";
    EXPECT_EQ(childSkin->GetBoneData(0)->GetBone(), bone0);
    EXPECT_EQ(childSkin->GetBoneData(1)->GetBone(), child) << "the source entity as bone becomes the part";
    EXPECT_EQ(childSkin->GetBoneData(2)->GetBone(), bone2);
    EXPECT_EQ(childSkin->GetBoneData(2)->GetInitialInverseMatrix()[3][0], 5.0f);
    // Every part vertex keeps its source vertex's influences: the same bone
    // entities (the source entity now the part) with the same weights.
    for (CKSkin* partSkin : {own, childSkin}) {
        CK3dEntity* self = partSkin == own ? (CK3dEntity*) arm : child;
        CKMesh* part = partSkin == own ? parts[0] : parts[1];
        for (int j = 0; j < partSkin->GetVertexCount(); ++j) {
            QxVector p;
            part->GetVertexPosition(j, &p);
            CKSkinVertexData* vertex = partSkin->GetVertexData(j);
            ASSERT_NE(vertex, nullptr);
            EXPECT_EQ(vertex->GetInitialPos().x, p.x);
            const bool two = p.x >= 2;
            ASSERT_EQ(vertex->GetBoneCount(), two ? 2 : 1) << j;
            CK3dEntity* first = partSkin->GetBoneData(vertex->GetBone(0))->GetBone();
            EXPECT_EQ(first, two ? (CK3dEntity*) bone2 : (CK3dEntity*) bone0) << j;
            EXPECT_EQ(vertex->GetWeight(0), two ? 0.5f : 1.0f);
            if (two) {
                EXPECT_EQ(partSkin->GetBoneData(vertex->GetBone(1))->GetBone(), self) << j;
                EXPECT_EQ(vertex->GetWeight(1), 0.5f);
            }
        }
    }

    EXPECT_EQ(morphs->GetMorphVertexCount(), parts[0]->GetVertexCount()) << "part 0's morph replaced in place";
    CKObjectAnimation* childMorph = keyed->GetAnimationOf(child);
    ASSERT_NE(childMorph, nullptr);
    EXPECT_EQ(childMorph->GetMorphVertexCount(), parts[1]->GetVertexCount());
    EXPECT_EQ(keyed->GetAnimationCount(), animationsBefore + 1) << "added once";
    EXPECT_TRUE(BuilderNames(childMorph, 0));
}

TEST_F(SplitMeshes, ThePassSkipsPatchMeshesAndReportsEntitiesNotShowingTheSource)
{
    CKMaterial* a = MakeMaterial("A");
    CKMaterial* b = MakeMaterial("B");
    AddRecord(a, {});
    AddRecord(b, {});
    CKMesh* mesh = MakeStrip("Mesh", 2, {a, b});
    CKMesh* other = MakeStrip("Other", 1, {});
    CK3dObject* holder = m_Builder->CreateObject3D("Holder", 0x100);
    holder->SetCurrentMesh(other, TRUE);
    holder->AddMesh(mesh);
    CKMesh* patch = m_Builder->CreatePatchMesh("Patch", 0x200);
    patch->SetVertexCount(3);
    patch->SetFaceCount(2);
    patch->SetFaceMaterial(0, a);
    patch->SetFaceMaterial(1, b);
    CKMaterial* unused = MakeMaterial("Unused");
    const CK_ID unusedId = unused->GetID();
    Max2Qdx exporter;
    exporter.reportLevel = 3;
    m_Builder->exporter = &exporter;

    EXPECT_EQ(m_Builder->SplitMeshes(), 2);
    EXPECT_EQ(patch->GetFaceCount(), 2) << "patch meshes are not cut";
    EXPECT_EQ(holder->GetChildrenCount(), 0);
    EXPECT_NE(std::string(exporter.GetReportText()).find("Holder"), std::string::npos) << exporter.GetReportText();
    EXPECT_EQ(m_Context->GetObject(unusedId), nullptr) << "the pass ends by removing unused materials";
    m_Builder->exporter = nullptr;
}

TEST_F(SplitMeshes, PartZeroKeepsItsWeightsLinesAndBlendShapesRenumbered)
{
    CKMaterial* a = MakeMaterial("A");
    CKMaterial* b = MakeMaterial("B");
    AddRecord(a, {});
    AddRecord(b, {});
    // Quad 0 (x 0 to 1) uses A, quad 1 (x 1 to 2) B.
    CKMesh* mesh = MakeStrip("Mesh", 2, {a, b});
    const int vertices = mesh->GetVertexCount();
    mesh->SetVertexWeightsCount(vertices);
    std::vector<float> xs(vertices);
    for (int v = 0; v < vertices; ++v) {
        QxVector p;
        mesh->GetVertexPosition(v, &p);
        xs[(size_t) v] = p.x;
        mesh->SetVertexWeight(v, 10 * p.x + p.y);
    }
    auto at = [&](float x, float y) {
        for (int v = 0; v < vertices; ++v) {
            QxVector p;
            mesh->GetVertexPosition(v, &p);
            if (p.x == x && p.y == y)
                return v;
        }
        return -1;
    };
    const int v00 = at(0, 0), v01 = at(0, 1), v20 = at(2, 0);
    mesh->SetLineCount(2);
    mesh->SetLine(0, v00, v01); // inside part 0
    mesh->SetLine(1, v00, v20); // reaches into part 1 only
    CKBlendShapeData shapes;
    shapes.Names.PushBack(XString("Lift"));
    CKBlendShapeTarget target;
    for (int v : {v01, v20}) {
        CKBlendShapeDelta delta;
        delta.Vertex = (CKDWORD) v;
        delta.Position = QxVector(0, 0, 1);
        target.Deltas.PushBack(delta);
    }
    shapes.Targets.PushBack(target);
    CKBlendShapeBaseVertex base;
    base.Vertex = (CKDWORD) v20;
    shapes.BaseVertices.PushBack(base);
    base.Vertex = (CKDWORD) v01;
    shapes.BaseVertices.PushBack(base);
    mesh->SetBlendShapes(shapes);

    XArray<CKMesh*> parts;
    ASSERT_EQ(m_Builder->SplitMesh(mesh, parts), 2);
    ASSERT_EQ(mesh->GetVertexCount(), 4);
    ASSERT_EQ(mesh->GetVertexWeightsCount(), 4);
    for (int v = 0; v < 4; ++v) {
        QxVector p;
        mesh->GetVertexPosition(v, &p);
        EXPECT_EQ(mesh->GetVertexWeight(v), 10 * p.x + p.y) << "weights follow their vertices";
    }
    ASSERT_EQ(mesh->GetLineCount(), 1) << "a line leaving the part goes";
    int l0 = -1, l1 = -1;
    mesh->GetLine(0, &l0, &l1);
    QxVector p0, p1;
    mesh->GetVertexPosition(l0, &p0);
    mesh->GetVertexPosition(l1, &p1);
    EXPECT_EQ(p0.y, 0.0f);
    EXPECT_EQ(p1.y, 1.0f);
    EXPECT_EQ(p0.x + p1.x, 0.0f);
    CKBlendShapeData after;
    mesh->GetBlendShapes(after);
    ASSERT_EQ(after.Targets.Size(), 1);
    ASSERT_EQ(after.Targets[0].Deltas.Size(), 1);
    QxVector moved;
    mesh->GetVertexPosition((int) after.Targets[0].Deltas[0].Vertex, &moved);
    EXPECT_EQ(moved.x, 0.0f);
    EXPECT_EQ(moved.y, 1.0f);
    ASSERT_EQ(after.BaseVertices.Size(), 1);
    EXPECT_EQ(after.BaseVertices[0].Vertex, after.Targets[0].Deltas[0].Vertex);
    EXPECT_EQ(after.Names.Size(), 1);
    EXPECT_EQ(parts[1]->GetVertexWeightsCount(), 0) << "the other parts carry none";
    EXPECT_EQ(parts[1]->GetLineCount(), 0);
}

TEST_F(SplitMeshes, PartsKeepTheFaceNormalsOfTheirFaces)
{
    CKMaterial* a = MakeMaterial("A");
    CKMaterial* b = MakeMaterial("B");
    AddRecord(a, {});
    AddRecord(b, {});
    // A folded strip: every quad leans its own way.
    CKMesh* mesh = MakeStrip("Folded", 4, {a, b});
    for (int v = 0; v < mesh->GetVertexCount(); ++v) {
        QxVector p;
        mesh->GetVertexPosition(v, &p);
        p.z = p.x * p.x * (p.y + 1);
        mesh->SetVertexPosition(v, p);
    }
    mesh->BuildFaceNormals();
    std::vector<QxVector> before;
    for (int f = 0; f < mesh->GetFaceCount(); ++f)
        before.push_back(mesh->GetFaceNormal(f));
    XArray<CKMesh*> parts;
    ASSERT_EQ(m_Builder->SplitMesh(mesh, parts), 2);
    // Faces of quads 0, 2 (part 0) and 1, 3 (part 1), in ascending order.
    const int expected[2][4] = {{0, 1, 4, 5}, {2, 3, 6, 7}};
    for (int p = 0; p < 2; ++p) {
        ASSERT_EQ(parts[p]->GetFaceCount(), 4);
        for (int f = 0; f < 4; ++f) {
            const QxVector& n = parts[p]->GetFaceNormal(f);
            const QxVector& o = before[(size_t) expected[p][f]];
            EXPECT_NEAR(n.x, o.x, 1e-6f) << p << " " << f;
            EXPECT_NEAR(n.y, o.y, 1e-6f) << p << " " << f;
            EXPECT_NEAR(n.z, o.z, 1e-6f) << p << " " << f;
        }
    }
}

// A channel made from map channel 2 still holds that map's coordinates when
// an earlier entry (taking the base coordinates) overwrites it: the later
// entry naming map channel 2 gets them as they were, whatever material it
// brings.
TEST_F(SplitMeshes, AMapChannelOverwrittenByAnEarlierEntryIsReadAsItWas)
{
    for (int sameMaterial = 0; sameMaterial < 2; ++sameMaterial) {
        for (int baseFirst = 0; baseFirst < 2; ++baseFirst) {
            SCOPED_TRACE(testing::Message() << "same material " << sameMaterial << ", base first " << baseFirst);
            CKMaterial* r1 = MakeMaterial("R1");
            CKMaterial* map2 = MakeMaterial("Map2");
            CKMaterial* top = MakeMaterial("Top");
            CKMaterial* other = sameMaterial ? map2 : MakeMaterial("Other");
            CKMesh* mesh = MakeStrip("Mesh", 1, {r1});
            ASSERT_EQ(mesh->AddChannel(map2, TRUE), 0);
            for (int v = 0; v < mesh->GetVertexCount(); ++v) {
                mesh->SetVertexTextureCoordinates(v, 1.0f, (float) v, -1);
                mesh->SetVertexTextureCoordinates(v, 2.0f, (float) -v, 0);
            }
            MeshBuilder* kept = m_Builder->FindMeshBuilder((ExportKey) mesh);
            ASSERT_NE(kept, nullptr);
            kept->channelMaterials.PushBack(map2);
            kept->channelMapChannels.PushBack(2);
            if (baseFirst)
                AddRecord(r1, {top, other}, {1, 2});
            else
                AddRecord(r1, {other, top}, {2, 1});
            XArray<CKMesh*> parts;
            ASSERT_EQ(m_Builder->SplitMesh(mesh, parts), 1);
            ASSERT_EQ(mesh->GetChannelCount(), 2);
            const int baseChannel = baseFirst ? 0 : 1, mapChannel = baseFirst ? 1 : 0;
            for (int v = 0; v < mesh->GetVertexCount(); ++v) {
                float u = 0, w = 0;
                mesh->GetVertexTextureCoordinates(v, &u, &w, baseChannel);
                EXPECT_EQ(u, 1.0f) << v;
                EXPECT_EQ(w, (float) v);
                mesh->GetVertexTextureCoordinates(v, &u, &w, mapChannel);
                EXPECT_EQ(u, 2.0f) << v;
                EXPECT_EQ(w, (float) -v);
            }
            m_Builder->multiMaterials.Clear();
        }
    }
}

namespace {

// A box of six sides, two triangles each, every side its own normal (so 24
// engine vertices, each found again by its position and normal); the sides
// take the materials in turn.
CKMesh* MakeBox(ExportBuilder* builder, const char* name, const std::vector<CKMaterial*>& materials)
{
    MeshBuilder b(FALSE, nullptr);
    for (int i = 0; i < 8; ++i)
        b.positions.PushBack(QxVector((float) (i & 1), (float) ((i >> 1) & 1), (float) ((i >> 2) & 1)));
    // Corners of each side, and its outward normal.
    const int sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    const QxVector normals[6] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
    for (int s = 0; s < 6; ++s) {
        b.normals.PushBack(normals[s]);
        CKMaterial* material = materials[(size_t) s % materials.size()];
        const int* c = sides[s];
        b.AddFace((CKDWORD) c[0], (CKDWORD) c[1], (CKDWORD) c[2], material);
        b.AddNormalFace((CKDWORD) s, (CKDWORD) s, (CKDWORD) s);
        b.AddFace((CKDWORD) c[0], (CKDWORD) c[2], (CKDWORD) c[3], material);
        b.AddNormalFace((CKDWORD) s, (CKDWORD) s, (CKDWORD) s);
    }
    b.Weld(TRUE);
    return builder->CreateEngineMesh(b, name, (ExportKey) 0x77000, TRUE);
}

using VertexKey = std::tuple<float, float, float, float, float, float>;

VertexKey KeyOfVertex(CKMesh* mesh, int v)
{
    QxVector p, n;
    mesh->GetVertexPosition(v, &p);
    mesh->GetVertexNormal(v, &n);
    return {p.x, p.y, p.z, n.x, n.y, n.z};
}

struct MorphKeys
{
    std::vector<float> times;
    std::vector<std::vector<QxVector>> positions;
    std::vector<std::vector<CKDWORD>> normals;
};

MorphKeys ReadKeys(CKMorphController* morph)
{
    MorphKeys keys;
    for (int k = 0; morph && k < morph->GetKeyCount(); ++k) {
        auto* key = static_cast<CKMorphKey*>(morph->GetKey(k));
        keys.times.push_back(key->TimeStep);
        keys.positions.emplace_back(key->PosArray, key->PosArray + morph->GetMorphVertexCount());
        keys.normals.emplace_back();
        if (key->NormArray)
            keys.normals.back().assign(key->NormArray, key->NormArray + morph->GetMorphVertexCount());
    }
    return keys;
}

} // namespace

// Differential: every part's vertex moves, key for key, as the source vertex
// it came from did, whatever order the parts number their vertices in.
TEST_F(SplitMeshes, EveryPartVertexFollowsItsSourceVertexPath)
{
    for (int withNormals = 0; withNormals < 2; ++withNormals) {
        SCOPED_TRACE(withNormals ? "with normals" : "positions only");
        CKMaterial* a = MakeMaterial("A");
        CKMaterial* b = MakeMaterial("B");
        CKMaterial* c = MakeMaterial("C");
        AddRecord(a, {});
        AddRecord(b, {});
        AddRecord(c, {});
        CKMaterial* plain = MakeMaterial("Plain");
        // Sides A, B, C, Plain, A, B: no part keeps the source's vertex
        // order; part 0 takes the plain side too.
        CKMesh* mesh = MakeBox(m_Builder, "Box_Mesh", {a, b, c, plain});
        const std::map<CKMaterial*, int> partOf = {{a, 0}, {b, 1}, {c, 2}, {plain, 0}};
        ASSERT_EQ(mesh->GetVertexCount(), 24);
        CK3dObject* box = m_Builder->CreateObject3D("Box", 0x100 + withNormals);
        box->SetCurrentMesh(mesh, TRUE);
        CKObjectAnimation* moves = m_Builder->CreateObjectAnimation(box, "Box", 0x100 + withNormals);
        auto* morph = static_cast<CKMorphController*>(moves->CreateController(CKANIMATION_MORPH_CONTROL));
        morph->SetMorphVertexCount(mesh->GetVertexCount());
        for (int k = 0; k < 3; ++k) {
            const int at = morph->AddKeyAtTime(10.0f * (float) k, withNormals ? TRUE : FALSE);
            auto* key = static_cast<CKMorphKey*>(morph->GetKey(at));
            for (int v = 0; v < mesh->GetVertexCount(); ++v) {
                QxVector p;
                mesh->GetVertexPosition(v, &p);
                key->PosArray[v] = QxVector(p.x + (float) v, p.y + 100.0f * (float) k, p.z - (float) (v * k));
                if (key->NormArray)
                    key->NormArray[v] = (CKDWORD) (1000 * k + v + 1);
            }
        }
        // A channel, base coordinates and colours of every vertex's own.
        CKMaterial* glow = MakeMaterial("Glow");
        const int glowChannel = mesh->AddChannel(glow, FALSE);
        ASSERT_EQ(glowChannel, 0);
        mesh->SetChannelSourceBlend(glowChannel, 3);
        mesh->SetChannelDestBlend(glowChannel, 7);
        for (int v = 0; v < mesh->GetVertexCount(); ++v) {
            mesh->SetVertexTextureCoordinates(v, (float) v, 10.0f + (float) v, glowChannel);
            mesh->SetVertexTextureCoordinates(v, 0.5f * (float) v, -(float) v, -1);
            mesh->SetVertexColor(v, 0xFF000000u | (CKDWORD) v);
            mesh->SetVertexSpecularColor(v, 0x80000000u | (CKDWORD) (3 * v));
        }
        std::map<VertexKey, int> sourceOf;
        for (int v = 0; v < mesh->GetVertexCount(); ++v)
            sourceOf[KeyOfVertex(mesh, v)] = v;
        ASSERT_EQ(sourceOf.size(), 24u);
        const MorphKeys source = ReadKeys(morph);
        // Each source face by its corners, with its material and normal.
        auto cornersOf = [](CKMesh* m, int f) {
            int v[3];
            m->GetFaceVertexIndex(f, v[0], v[1], v[2]);
            return std::vector<VertexKey>{KeyOfVertex(m, v[0]), KeyOfVertex(m, v[1]), KeyOfVertex(m, v[2])};
        };
        struct SourceFace
        {
            int index;
            CKMaterial* material;
            QxVector normal;
        };
        std::map<std::vector<VertexKey>, SourceFace> sourceFaces;
        for (int f = 0; f < mesh->GetFaceCount(); ++f)
            sourceFaces[cornersOf(mesh, f)] = {f, mesh->GetFaceMaterial(f), mesh->GetFaceNormal(f)};
        ASSERT_EQ((int) sourceFaces.size(), mesh->GetFaceCount());

        XArray<CKMesh*> parts;
        ASSERT_EQ(m_Builder->SplitMesh(mesh, parts), 3);
        ASSERT_EQ(box->GetChildrenCount(), 2);
        bool reordered = false;
        for (int p = 0; p < parts.Size(); ++p) {
            SCOPED_TRACE(testing::Message() << "part " << p);
            CK3dEntity* entity = p == 0 ? box : box->GetChild(p - 1);
            ASSERT_EQ(entity->GetCurrentMesh(), parts[p]);
            CKObjectAnimation* animation = nullptr;
            for (CKObjectAnimation* candidate : m_Builder->objectAnimationList)
                if (candidate && candidate->Get3dEntity() == entity)
                    animation = candidate;
            ASSERT_NE(animation, nullptr);
            const MorphKeys got = ReadKeys(animation->GetMorphController());
            ASSERT_EQ(got.times, source.times);
            CKMesh* part = parts[p];
            ASSERT_EQ(part->GetChannelCount(), 1);
            EXPECT_EQ(part->GetChannelMaterial(0), glow);
            EXPECT_EQ(part->GetChannelSourceBlend(0), 3);
            EXPECT_EQ(part->GetChannelDestBlend(0), 7);
            for (int j = 0; j < part->GetVertexCount(); ++j) {
                const auto found = sourceOf.find(KeyOfVertex(part, j));
                ASSERT_NE(found, sourceOf.end()) << "vertex " << j;
                const int o = found->second;
                reordered = reordered || o != j;
                // What the vertex carries besides its place comes with it.
                float u = -1, w = -1;
                part->GetVertexTextureCoordinates(j, &u, &w, part->GetChannelByMaterial(glow));
                EXPECT_EQ(u, (float) o) << "vertex " << j;
                EXPECT_EQ(w, 10.0f + (float) o);
                part->GetVertexTextureCoordinates(j, &u, &w, -1);
                EXPECT_EQ(u, 0.5f * (float) o);
                EXPECT_EQ(w, -(float) o);
                EXPECT_EQ(part->GetVertexColor(j), 0xFF000000u | (CKDWORD) o);
                EXPECT_EQ(part->GetVertexSpecularColor(j), 0x80000000u | (CKDWORD) (3 * o));
                for (size_t k = 0; k < source.times.size(); ++k) {
                    ASSERT_EQ((int) got.positions[k].size(), part->GetVertexCount());
                    const QxVector& want = source.positions[k][(size_t) o];
                    const QxVector& have = got.positions[k][(size_t) j];
                    EXPECT_TRUE(want.x == have.x && want.y == have.y && want.z == have.z)
                        << "vertex " << j << " (source " << o << ") key " << k;
                    if (withNormals) {
                        ASSERT_EQ(got.normals[k].size(), got.positions[k].size());
                        EXPECT_EQ(got.normals[k][(size_t) j], source.normals[k][(size_t) o]);
                    }
                }
            }
        }
        EXPECT_TRUE(reordered) << "the case needs parts that renumber their vertices";
        // Every source face is in the part of its material, once, with its
        // material and normal, each part in ascending source order.
        std::map<std::vector<VertexKey>, int> seen;
        for (int p = 0; p < parts.Size(); ++p) {
            int previous = -1;
            for (int f = 0; f < parts[p]->GetFaceCount(); ++f) {
                const auto face = sourceFaces.find(cornersOf(parts[p], f));
                ASSERT_NE(face, sourceFaces.end()) << "part " << p << " face " << f;
                ++seen[face->first];
                const SourceFace& from = face->second;
                EXPECT_GT(from.index, previous) << "part " << p << " face " << f;
                previous = from.index;
                EXPECT_EQ(parts[p]->GetFaceMaterial(f), from.material) << "part " << p << " face " << f;
                EXPECT_EQ(partOf.at(from.material), p) << "part " << p << " face " << f;
                const QxVector& n = parts[p]->GetFaceNormal(f);
                EXPECT_TRUE(n.x == from.normal.x && n.y == from.normal.y && n.z == from.normal.z);
            }
        }
        EXPECT_EQ(seen.size(), sourceFaces.size());
        for (const auto& [corners, count] : seen)
            EXPECT_EQ(count, 1);
        m_Builder->multiMaterials.Clear();
    }
}

// An extended float channel (typed, without material) comes into every part
// with each vertex's values; part 0 keeps it at its place.
TEST_F(SplitMeshes, TypedChannelsComeIntoEveryPartWithTheirValues)
{
    for (int type = 1; type <= 4; ++type) {
        SCOPED_TRACE(testing::Message() << "float" << type);
        CKMaterial* a = MakeMaterial("A");
        CKMaterial* b = MakeMaterial("B");
        CKMaterial* glow = MakeMaterial("Glow");
        AddRecord(a, {});
        AddRecord(b, {});
        CKMesh* mesh = MakeStrip("M", 4, {a, b});
        mesh->AddChannel(glow, FALSE);
        ASSERT_EQ(mesh->AddChannelEx(nullptr, FALSE, type), 1);
        auto valuesAt = [](const QxVector& p) {
            return std::vector<float>{p.x * 10 + p.y, p.x - p.y, 100 + p.x, -p.y};
        };
        for (int v = 0; v < mesh->GetVertexCount(); ++v) {
            QxVector p;
            mesh->GetVertexPosition(v, &p);
            mesh->SetChannelData(v, 1, valuesAt(p).data());
        }
        XArray<CKMesh*> parts;
        ASSERT_EQ(m_Builder->SplitMesh(mesh, parts), 2);
        for (int p = 0; p < 2; ++p) {
            SCOPED_TRACE(testing::Message() << "part " << p);
            ASSERT_EQ(parts[p]->GetChannelCount(), 2);
            EXPECT_EQ(parts[p]->GetChannelMaterial(0), glow);
            EXPECT_EQ(parts[p]->GetChannelMaterial(1), nullptr);
            ASSERT_EQ(parts[p]->GetChannelType(1), type);
            for (int v = 0; v < parts[p]->GetVertexCount(); ++v) {
                QxVector q;
                parts[p]->GetVertexPosition(v, &q);
                float values[4] = {-1, -1, -1, -1};
                parts[p]->GetChannelData(v, 1, values);
                const std::vector<float> want = valuesAt(q);
                for (int k = 0; k < type; ++k)
                    EXPECT_EQ(values[k], want[(size_t) k]) << "vertex " << v << " value " << k;
            }
        }
        m_Builder->multiMaterials.Clear();
    }
}
