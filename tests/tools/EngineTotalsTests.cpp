#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "render/animation/CKAnimController.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/context/CKRenderEngine.h"
#include "render/mesh/CKMesh.h"
#include "tools/info/EngineTotals.h"

namespace {

class EngineTotalsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CKStartUp(), 0);
        CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
        CKGetPluginManager()->AddStaticDll("Render Engine", 1);
        CKBuildClassHierarchyTable();
        ASSERT_EQ(CKCreateContext(&m_Context, nullptr), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(CKCloseContext(m_Context), 0);
        EXPECT_EQ(CKShutdown(), 0);
    }

    template <class T = CKObject>
    T* Make(CK_CLASSID cid, const char* name = "")
    {
        return static_cast<T*>(m_Context->CreateObject(cid, name));
    }

    // Keys of the controller's own record (T its value).
    template <class T>
    static void AddKeys(CKAnimController* controller, int count)
    {
        ASSERT_NE(controller, nullptr);
        for (int k = 0; k < count; ++k) {
            CKLinearKey<T> key((float) k, T());
            controller->AddKey(&key);
        }
        ASSERT_EQ(controller->GetKeyCount(), count);
    }

    CKContext* m_Context = nullptr;
};

} // namespace

// Each class adds to its own count, worked by hand: the patch mesh counts
// as a mesh without its vertices, a parameter not at all, an animation that
// shares another's data adds no key.
TEST_F(EngineTotalsTest, EachObjectAddsWhatItHolds)
{
    std::vector<CKObject*> objects;
    auto* mesh = Make<CKMesh>(CKCID_MESH, "Mesh");
    ASSERT_TRUE(mesh->SetVertexCount(5));
    ASSERT_TRUE(mesh->SetFaceCount(3));
    auto* other = Make<CKMesh>(CKCID_MESH, "Other");
    ASSERT_TRUE(other->SetVertexCount(4));
    ASSERT_TRUE(other->SetFaceCount(2));
    auto* patch = Make<CKMesh>(CKCID_PATCHMESH, "Patch");
    patch->SetVertexCount(7);
    objects.insert(objects.end(), {mesh, other, patch});
    objects.push_back(Make(CKCID_MATERIAL, "Material"));
    objects.push_back(Make(CKCID_TEXTURE, "Texture"));
    objects.push_back(Make(CKCID_TEXTURE, "Texture2"));

    auto* animation = Make<CKObjectAnimation>(CKCID_OBJECTANIMATION, "Walk");
    AddKeys<QxVector>(animation->CreateController(CKANIMATION_LINEARPOSITION_CONTROL), 3);
    AddKeys<QxQuaternion>(animation->CreateController(CKANIMATION_LINEARSCALEAXIS_CONTROL), 1);
    AddKeys<float>(animation->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "Smile"), 2);
    auto* morph = static_cast<CKMorphController*>(animation->CreateController(CKANIMATION_MORPH_CONTROL));
    ASSERT_NE(morph, nullptr);
    morph->SetMorphVertexCount(2);
    morph->AddKeyAtTime(0.0f, FALSE);
    morph->AddKeyAtTime(4.0f, FALSE);
    ASSERT_EQ(morph->GetKeyCount(), 2);
    auto* shared = Make<CKObjectAnimation>(CKCID_OBJECTANIMATION, "WalkToo");
    shared->ShareDataFrom(animation);
    ASSERT_EQ(shared->GetDataOwner(), animation);
    objects.insert(objects.end(), {animation, shared});
    objects.push_back(Make(CKCID_LEVEL, "Level"));
    objects.push_back(Make(CKCID_3DENTITY, "Entity"));
    objects.push_back(Make(CKCID_KEYEDANIMATION, "Animation"));
    objects.push_back(Make(CKCID_PARAMETER, "Parameter"));
    objects.push_back(nullptr);

    const EngineTotals t = CountEngineTotals(objects);
    EXPECT_EQ(t.objects, 11);
    EXPECT_EQ(t.levels, 1);
    EXPECT_EQ(t.meshes, 3);
    EXPECT_EQ(t.vertices, 9);
    EXPECT_EQ(t.faces, 5);
    EXPECT_EQ(t.materials, 1);
    EXPECT_EQ(t.textures, 2);
    EXPECT_EQ(t.animationKeys, 8);
    EXPECT_EQ(EngineTotalsText(t),
              "11 objects, 3 meshes, 9 vertices, 5 faces, 1 materials, 2 textures, 8 animation keys");
    EXPECT_EQ(EngineTotalsText(CountEngineTotals({})),
              "0 objects, 0 meshes, 0 vertices, 0 faces, 0 materials, 0 textures, 0 animation keys");

    // The objects of ids, null for an id the context does not hold.
    XArray<CK_ID> ids;
    ids.PushBack(mesh->GetID());
    ids.PushBack(0);
    ids.PushBack(animation->GetID());
    EXPECT_EQ(ObjectsOf(m_Context, ids), (std::vector<CKObject*>{mesh, nullptr, animation}));
}
