// 120 frames of a camera path over 50 entities with mixed level-of-detail
// options, checked frame by frame against a reference written from the
// documented formulas: the mesh drawn, the character's factor, the fade, and
// every material, vertex colour and blend-shape weight back as it was after
// each frame.
#include <cmath>
#include <map>
#include <vector>

#include "core/context/CKRandom.h"
#include "core/context/CKRenderContext.h"
#include "core/object/CKBeObject.h"
#include "render/animation/CKCharacter.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "tests/lod/LodReference.h"
#include "tests/lod/LodTestSupport.h"
#include "tools/blockharness/BlockHarness.h"
#include "tools/testdata/TestPatches.h"

namespace {

float Random(float low, float high)
{
    return low + (high - low) * (float) CKRand() / 32767.0f;
}

struct Subject
{
    CK3dEntity* entity = nullptr;
    LODOptions options;
    std::vector<CKMaterial*> materials;
};

// What an entity looked like while it was drawn.
struct Drawn
{
    CKMesh* mesh = nullptr;
    float alpha = 0.0f; // its first material's diffuse alpha
    CKDWORD color = 0;  // its mesh's first vertex colour
};

// Everything a frame must give back.
struct Restorable
{
    std::vector<float> alphas;
    std::vector<int> blends;
    std::vector<CKDWORD> colors;
    bool operator==(const Restorable&) const = default;
};

class LodFrameTest : public LodCameraFixture
{
protected:
    void SetUp() override
    {
        LodCameraFixture::SetUp();
        CKSrand(20240611);
        for (int i = 0; i < 50; ++i)
            m_Subjects.push_back(MakeSubject(i));
    }

    Subject MakeSubject(int i)
    {
        Subject s;
        int kind = i % 7;
        CK_CLASSID cid = (kind == 1 || kind == 4) ? CKCID_CHARACTER : CKCID_3DOBJECT;
        s.entity = New<CK3dEntity>(cid, "Subject");
        s.entity->SetPosition3f(Random(-300.0f, 300.0f), Random(-60.0f, 60.0f), Random(30.0f, 2500.0f));
        s.entity->SetScale3f(Random(0.5f, 3.0f), Random(0.5f, 3.0f), Random(0.5f, 3.0f));
        static const std::vector<int> faceSets[7] = {
            {1000, 500, 100}, {300, 120}, {64}, {400, 200, 50, 10}, {}, {}, {}};
        float radius = Random(1.0f, 25.0f);
        if (kind == 5)
            s.entity->AddMesh(NewProgressiveMesh("Progressive", 5 + CKRand() % 8, radius));
        if (kind == 6) {
            auto* patch = New<CKPatchMesh>(CKCID_PATCHMESH, "Patch");
            FillIndependentPatches(patch, {4, 3, 4}, (uint32_t) i);
            s.entity->AddMesh(patch);
        }
        for (int faces : faceSets[kind]) {
            CKMesh* mesh = NewMesh("Mesh", faces, radius);
            if (kind == 2 || kind == 3) {
                mesh->SetLitMode(0);
                for (int v = 0; v < mesh->GetVertexCount(); ++v)
                    mesh->SetVertexColor(v, ((CKDWORD) (CKRand() & 0xFF) << 24) | 0x00808080u);
                CKMaterial* material = New<CKMaterial>(CKCID_MATERIAL, "Material");
                material->SetDiffuse(QxColor(1.0f, 1.0f, 1.0f, Random(0.2f, 1.0f)));
                material->SetSourceBlend(2);
                material->SetDestBlend(1);
                for (int f = 0; f < faces; ++f)
                    mesh->SetFaceMaterial(f, material);
                s.materials.push_back(material);
            }
            GiveBlendShapes(mesh, {"a", "b"});
            s.entity->AddMesh(mesh);
        }
        s.entity->SetCurrentMesh(s.entity->GetMesh(0), FALSE);
        s.entity->SetBlendShapeWeight(0, Random(0.0f, 1.0f));
        s.entity->SetBlendShapeWeight(1, Random(0.0f, 1.0f));

        const CKDWORD flags[7] = {LOD_MULTIPLEMESHES,
                                  LOD_MULTIPLEMESHES | LOD_CHARACTER,
                                  LOD_ALPHA,
                                  LOD_MULTIPLEMESHES | LOD_ALPHA,
                                  LOD_CHARACTER,
                                  (i % 4 == 1) ? LOD_ALPHA : 0u,
                                  LOD_PATCHMESH | ((i % 3 == 0) ? LOD_ALPHA : 0u)};
        s.options.Flags = flags[kind];
        // Every ninth has an empty screen range and switches at its middle.
        s.options.ScreenMag = i % 9 == 0 ? 0.01f : Random(0.1f, 0.6f);
        s.options.ScreenMin = Random(0.005f, 0.05f);
        s.options.FaceMag = Random(0.8f, 1.0f);
        s.options.FaceMin = Random(0.0f, 0.2f);
        s.options.ScreenAlphaMag = i % 6 == 0 ? 0.01f : Random(0.05f, 0.3f);
        s.options.ScreenAlphaMin = Random(0.0f, 0.05f);
        EXPECT_NE(Attach(s.entity, s.options), nullptr);
        return s;
    }

    Restorable Snapshot()
    {
        Restorable r;
        for (const Subject& s : m_Subjects) {
            for (CKMaterial* m : s.materials) {
                r.alphas.push_back(m->GetDiffuse().a);
                r.blends.push_back(m->GetSourceBlend());
                r.blends.push_back(m->GetDestBlend());
                r.blends.push_back(m->AlphaBlendEnabled());
            }
            for (int i = 0; i < s.entity->GetMeshCount(); ++i) {
                CKMesh* mesh = s.entity->GetMesh(i);
                for (int v = 0; v < mesh->GetVertexCount(); ++v)
                    r.colors.push_back(mesh->GetVertexColor(v));
            }
        }
        return r;
    }

    static void Record(CK3dEntity* e, void* argument)
    {
        auto* seen = static_cast<std::map<CK3dEntity*, Drawn>*>(argument);
        Drawn d;
        d.mesh = e->GetCurrentMesh();
        if (d.mesh && d.mesh->GetMaterialCount() > 0 && d.mesh->GetMaterial(0))
            d.alpha = d.mesh->GetMaterial(0)->GetDiffuse().a;
        if (d.mesh)
            d.color = d.mesh->GetVertexColor(0);
        (*seen)[e] = d;
    }

    std::vector<Subject> m_Subjects;
};

TEST_F(LodFrameTest, ACameraPathOverFiftyEntitiesFollowsTheReference)
{
    LODManager* manager = Manager();
    m_Context->ExecuteManagersOnCKPlay();
    ASSERT_TRUE(manager->IsActive());
    std::vector<CK3dEntity*> entities;
    for (const Subject& s : m_Subjects)
        entities.push_back(s.entity);

    int switched = 0, hidden = 0, faded = 0, progressive = 0, stepped = 0;
    for (int frame = 0; frame < 120; ++frame) {
        SCOPED_TRACE(frame);
        float global = frame < 40 ? 1.0f : (frame < 80 ? 0.5f : 2.0f);
        manager->m_GlobalLodFactor = global;
        m_Camera->SetPosition3f(120.0f * std::sin(0.05f * (float) frame), 15.0f, 200.0f - 25.0f * (float) frame);
        m_Camera->Rotate3f(0.0f, 1.0f, 0.0f, frame < 60 ? 0.002f : -0.003f);
        m_Camera->SetFov(0.7f + 0.3f * std::sin(0.1f * (float) frame));
        float t = std::tan(m_Camera->GetFov() * 0.5f);
        float cameraFactor = 1.0f / ((2.0f * t) * (2.0f * t));

        // The reference, from the state before the frame.
        const Restorable before = Snapshot();
        struct Expected
        {
            CKMesh* previous;
            CKMesh* mesh;
            float face;
            float alpha;
            std::vector<float> weights;
            int drawn; // vertices of a progressive mesh, -1 for none
            int steps; // of a patch mesh, -1 for none
        };
        std::vector<Expected> expected;
        for (const Subject& s : m_Subjects) {
            LodLevels l = LodReferenceLevels(s.entity, m_Camera, cameraFactor, s.options);
            Expected e{
                s.entity->GetCurrentMesh(), s.entity->GetCurrentMesh(), l.face * global, l.alpha * global, {}, -1, -1};
            if ((s.options.Flags & LOD_MULTIPLEMESHES) && s.entity->GetMeshCount() >= 2)
                e.mesh = LodReferenceChoice(s.entity, e.face);
            for (int w = 0; w < 2; ++w)
                e.weights.push_back(s.entity->GetBlendShapeWeight(w));
            if (e.mesh && e.mesh->IsPM()) {
                bool hides = (s.options.Flags & LOD_ALPHA) && e.alpha <= 0.001f;
                float share = (float) e.mesh->GetVertexCount() * e.face;
                int drawn = !(share > 0.0f)
                                ? 0
                                : (share >= (float) e.mesh->GetVertexCount() ? e.mesh->GetVertexCount() : (int) share);
                e.drawn = hides ? e.mesh->GetVerticesRendered() : drawn;
            }
            if (e.mesh && e.mesh->GetClassID() == CKCID_PATCHMESH) {
                auto* patch = static_cast<CKPatchMesh*>(e.mesh);
                bool hides = (s.options.Flags & LOD_ALPHA) && e.alpha <= 0.001f;
                double steps = (double) (6.0f * std::sqrt(e.face)) - 0.5;
                e.steps = hides ? patch->GetIterationCount() : (steps > 0.0 ? (int) steps : 0);
            }
            expected.push_back(e);
        }

        std::map<CK3dEntity*, Drawn> seen;
        const FrameOrder orders[3] = {FrameOrder::OneByOne, FrameOrder::Interleaved, FrameOrder::Nested};
        RunFrame(m_Dev, entities, orders[frame % 3], &Record, &seen);
        EXPECT_EQ(manager->GetCameraFactor(), cameraFactor);

        for (size_t i = 0; i < m_Subjects.size(); ++i) {
            const Subject& s = m_Subjects[i];
            const Expected& e = expected[i];
            SCOPED_TRACE(i);
            bool fading = (s.options.Flags & LOD_ALPHA) && e.alpha < 1.0f;
            bool hides = fading && e.alpha <= 0.001f;
            const Drawn& d = seen[s.entity];
            EXPECT_EQ(d.mesh, hides ? nullptr : e.mesh);
            EXPECT_EQ(s.entity->GetCurrentMesh(), e.mesh) << "after the frame";
            if (fading && !hides && !s.materials.empty()) {
                // One material per mesh, made in mesh order; restored by now.
                int index = 0;
                for (int m = 0; m < s.entity->GetMeshCount(); ++m)
                    if (s.entity->GetMesh(m) == e.mesh)
                        index = m;
                EXPECT_EQ(d.alpha, s.materials[index]->GetDiffuse().a * e.alpha);
                CKDWORD c = e.mesh->GetVertexColor(0);
                EXPECT_EQ(d.color, ((CKDWORD) (int) ((float) (c >> 24) * e.alpha) << 24) | (c & 0xFFFFFF));
                ++faded;
            }
            hidden += hides;
            switched += e.mesh != e.previous;
            if (e.steps >= 0) {
                EXPECT_EQ(static_cast<CKPatchMesh*>(e.mesh)->GetIterationCount(), e.steps);
                stepped += e.steps < 5;
            }
            if (e.drawn >= 0) {
                EXPECT_EQ(e.mesh->GetVerticesRendered(), e.drawn);
                progressive += e.drawn < e.mesh->GetVertexCount();
            }
            if (s.options.Flags & LOD_CHARACTER) {
                EXPECT_EQ(static_cast<CKCharacter*>(s.entity)->GetAnimationParameter(), e.face);
            }
            // Weights go with a mesh switch; a hide keeps them.
            if (e.mesh == e.previous) {
                for (int w = 0; w < 2; ++w)
                    EXPECT_EQ(s.entity->GetBlendShapeWeight(w), e.weights[w]) << w;
            }
        }
        EXPECT_EQ(Snapshot(), before) << "materials and vertex colours after the frame";
    }
    // The path exercises every branch.
    EXPECT_GT(faded, 50);
    EXPECT_GT(hidden, 5);
    EXPECT_GT(switched, 20);
    EXPECT_GT(progressive, 100);
    EXPECT_GT(stepped, 100);
}

} // namespace
