#include "render/animation/RCKObjectAnimation.h"

#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/object/CKDependencies.h"
#include "render/animation/CKKeyedController.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/RCKBodyPart.h"
#include "render/animation/RCKCharacter.h"
#include "render/animation/RCKKeyedAnimation.h"
#include "tests/render/objects/EntityTestSupport.h"

namespace {

class Animations : public EntityFixture
{
protected:
    RCKObjectAnimation* NewObjectAnimation(const char* name)
    {
        return static_cast<RCKObjectAnimation*>(m_Context->CreateObject(CKCID_OBJECTANIMATION, name));
    }

    // An animation with a key in each channel, a morph track and two named
    // float tracks.
    RCKObjectAnimation* Rich(const char* name, CK3dEntity* entity)
    {
        RCKObjectAnimation* a = NewObjectAnimation(name);
        a->Set3dEntity(entity);
        a->SetLength(30.0f);
        CKAnimController* position = a->CreateController(CKANIMATION_TCBPOSITION_CONTROL);
        for (int i = 0; i < 4; ++i) {
            const CKTCBKey<QxVector> key(10.0f * i, QxVector((float) i, (float) (i * i), 1.0f), 0.1f * i);
            position->AddKey(&key);
        }
        CKAnimController* rotation = a->CreateController(CKANIMATION_LINEARROTATION_CONTROL);
        QxQuaternion q;
        q.FromRotation(QxVector(0, 0, 1), 1.0f);
        const CKLinearKey<QxQuaternion> r0(0.0f, QxQuaternion()), r1(30.0f, q);
        rotation->AddKey(&r0);
        rotation->AddKey(&r1);
        const CKBezierKey<QxVector> s0(0.0f, QxVector(1, 1, 1), 0x10001, QxVector(), QxVector(0.1f, 0, 0));
        a->CreateController(CKANIMATION_BEZIERSCALE_CONTROL)->AddKey(&s0);
        const CKTCBKey<QxQuaternion> axis(5.0f, QxQuaternion());
        a->CreateController(CKANIMATION_TCBSCALEAXIS_CONTROL)->AddKey(&axis);
        auto* morph = static_cast<CKMorphController*>(a->CreateController(CKANIMATION_MORPH_CONTROL));
        morph->SetMorphVertexCount(2);
        static_cast<CKMorphKey*>(morph->GetKey(morph->AddKeyAtTime(3.0f, TRUE)))->PosArray[1] = QxVector(4, 5, 6);
        const CKLinearKey<float> f(2.0f, 0.5f);
        a->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "smile")->AddKey(&f);
        const CKBezierKey<float> g(4.0f, 0.25f, 0, 0.0f, 1.0f);
        a->CreateController(CKANIMATION_BEZIERFLOAT_CONTROL, "blink")->AddKey(&g);
        return a;
    }

    // The words of a section of the object's saved chunk (no file).
    static std::vector<CKDWORD> Section(CKObject* object, CKDWORD id)
    {
        CKStateChunk* chunk = object->Save(nullptr, 0xFFFFFFFF);
        std::vector<CKDWORD> words;
        chunk->StartRead();
        const int size = chunk->SeekIdentifierAndReturnSize(id);
        if (size > 0) {
            const CKDWORD* data = chunk->LockReadBuffer(size / 4);
            words.assign(data, data + size / 4);
        }
        delete chunk;
        return words;
    }
};

} // namespace

TEST_F(Animations, ChannelControllersReplaceEachOtherAndNamedOnesGoByName)
{
    RCKObjectAnimation* a = NewObjectAnimation("a");
    CKAnimController* linear = a->CreateController(CKANIMATION_LINEARPOSITION_CONTROL);
    EXPECT_EQ(a->GetPositionController(), linear);
    CKAnimController* tcb = a->CreateController(CKANIMATION_TCBPOSITION_CONTROL);
    EXPECT_EQ(a->GetPositionController(), tcb) << "the channel's controller is replaced";
    EXPECT_EQ(a->CreateController(0x11111101), nullptr);
    CKAnimController* f1 = a->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "f");
    a->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "g");
    CKAnimController* f2 = a->CreateController(CKANIMATION_TCBFLOAT_CONTROL, "f");
    ASSERT_EQ(a->GetNamedControllerCount(), 2);
    EXPECT_NE(f1, f2);
    EXPECT_EQ(a->GetNamedController(0), f2) << "replaced in place";
    EXPECT_STREQ(a->GetNamedControllerEntry(1)->Name.CStr(), "g");
    EXPECT_EQ(a->GetNamedControllerByName("f"), f2);
    EXPECT_EQ(a->GetNamedController(2), nullptr);

    a->CreateController(CKANIMATION_MORPH_CONTROL)->SetLength(3.0f);
    a->GetMorphController()->SetMorphVertexCount(7);
    EXPECT_EQ(a->GetMorphVertexCount(), 7);
    EXPECT_EQ(a->HasMorphNormalInfo(), 0);
    a->GetMorphController()->AddKeyAtTime(1.0f, TRUE);
    EXPECT_GT(a->HasMorphNormalInfo(), 0);

    EXPECT_TRUE(a->DeleteControllerOfChannel(CKANIMATION_TCBPOSITION_CONTROL)) << "a type code names its channel";
    EXPECT_EQ(a->GetPositionController(), nullptr);
    EXPECT_FALSE(a->DeleteControllerOfChannel(CKANIMATION_CONTROLLER_POS));
    EXPECT_TRUE(a->DeleteControllerOfChannel(CKANIMATION_CONTROLLER_MORPH));
    EXPECT_EQ(a->GetMorphVertexCount(), 0);
    EXPECT_TRUE(a->DeleteControllerOfChannel(CKANIMATION_CONTROLLER_FLOAT, "g"));
    EXPECT_FALSE(a->DeleteControllerOfChannel(CKANIMATION_CONTROLLER_FLOAT, "g"));
    EXPECT_TRUE(a->DeleteController(f2));
    EXPECT_EQ(a->GetNamedControllerCount(), 0);
    EXPECT_FALSE(a->DeleteController(f2));
}

TEST_F(Animations, SharedDataComparesEqualAndOwnDataByKeys)
{
    RCK3dEntity* e = NewEntity("e");
    RCKObjectAnimation* a = Rich("a", e);
    RCKObjectAnimation* b = Rich("b", e);
    EXPECT_TRUE(a->Compare(a, 0.0f));
    EXPECT_TRUE(a->Compare(b, 0.0f));
    static_cast<CKTCBKey<QxVector>*>(b->GetPositionController()->GetKey(2))->Value.y += 1e-3f;
    EXPECT_FALSE(a->Compare(b, 1.1920929e-07f));
    EXPECT_TRUE(a->Compare(b, 1e-2f));
    b->DeleteControllerOfChannel(CKANIMATION_CONTROLLER_FLOAT, "blink");
    EXPECT_FALSE(a->Compare(b, 1.0f)) << "a named controller missing";

    b->ShareDataFrom(a);
    EXPECT_EQ(b->GetDataOwner(), a);
    EXPECT_EQ(b->GetPositionController(), a->GetPositionController());
    EXPECT_TRUE(b->Compare(a, 0.0f));
    RCKObjectAnimation* c = NewObjectAnimation("c");
    c->ShareDataFrom(b);
    EXPECT_EQ(c->GetDataOwner(), a) << "the owner is the animation whose data it is";
    m_Context->DestroyObject(a);
    EXPECT_EQ(b->GetDataOwner(), nullptr);
    EXPECT_EQ(b->GetNamedControllerCount(), 2) << "the sharers keep the data";
    c->ShareDataFrom(nullptr);
    EXPECT_NE(c->GetPositionController(), b->GetPositionController()) << "back to a copy of its own";
    EXPECT_TRUE(c->Compare(b, 0.0f));
}

TEST_F(Animations, StepsMoveTheEntityUnlessItRefusesAnimations)
{
    RCK3dEntity* e = NewEntity("e");
    e->SetScale3f(2, 2, 2);
    RCKObjectAnimation* a = NewObjectAnimation("a");
    a->Set3dEntity(e);
    a->SetLength(10.0f);
    CKAnimController* p = a->CreateController(CKANIMATION_LINEARPOSITION_CONTROL);
    const CKLinearKey<QxVector> k0(0.0f, QxVector(0, 0, 0)), k1(10.0f, QxVector(10, 4, 0));
    p->AddKey(&k0);
    p->AddKey(&k1);
    a->SetStep(0.25f);
    EXPECT_EQ(a->GetStep(), 0.25f);
    QxVector position;
    e->GetPosition(&position);
    EXPECT_NEAR(position.x, 2.5f, 1e-6f);
    EXPECT_NEAR(position.y, 1.0f, 1e-6f);
    QxVector scale;
    e->GetScale(&scale, TRUE);
    EXPECT_NEAR(scale.x, 2.0f, 1e-5f) << "a part without a channel keeps the entity's own";

    e->SetFlags(e->GetFlags() | CK_3DENTITYFLAG_400);
    a->SetStep(1.0f);
    e->GetPosition(&position);
    EXPECT_NEAR(position.x, 2.5f, 1e-6f);
    a->SetStep(1.0f, -1);
    e->GetPosition(&position);
    EXPECT_NEAR(position.x, 10.0f, 1e-6f);

    EntityTestMesh* mesh = NewMesh("mesh", 2);
    e->SetCurrentMesh(mesh);
    auto* morph = static_cast<CKMorphController*>(a->CreateController(CKANIMATION_MORPH_CONTROL));
    morph->SetMorphVertexCount(2);
    static_cast<CKMorphKey*>(morph->GetKey(morph->AddKeyAtTime(0.0f, FALSE)))->PosArray[1] = QxVector(0, 2, 0);
    static_cast<CKMorphKey*>(morph->GetKey(morph->AddKeyAtTime(10.0f, FALSE)))->PosArray[1] = QxVector(0, 4, 0);
    a->SetStep(0.75f, -1);
    EXPECT_EQ(mesh->m_Positions[1], QxVector(0, 3.5f, 0)) << "the morph keys move the mesh's vertices";
    ASSERT_FALSE(mesh->m_Moves.empty());
    EXPECT_EQ(mesh->m_Moves.back(), std::make_pair(CKBOOL(TRUE), CKBOOL(TRUE))) << "no normals in the keys";

    a->AddDefaultScaleKey(QxVector(3, 3, 3));
    ASSERT_NE(a->GetScaleController(), nullptr);
    EXPECT_EQ(a->GetScaleController()->GetKeyCount(), 1);
    a->AddDefaultScaleKey(QxVector(5, 5, 5));
    QxVector s;
    a->GetScaleController()->Evaluate(0.0f, &s);
    EXPECT_EQ(s, QxVector(3, 3, 3)) << "an animation with a scale key keeps it";
}

TEST_F(Animations, SectionsHaveTheirDocumentedWords)
{
    RCKObjectAnimation* a = NewObjectAnimation("a");
    a->SetLength(8.0f);
    const CKLinearKey<QxVector> key(2.0f, QxVector(1, 2, 3));
    a->CreateController(CKANIMATION_LINEARPOSITION_CONTROL)->AddKey(&key);
    a->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "w");
    const std::vector<CKDWORD> controllers = {2,          0x637C4301, 0,          1,          0x41000000,
                                              0x40000000, 0x3F800000, 0x40000000, 0x40400000, 0x40856620,
                                              2,          0x00000077, 0,          0x00000000};
    std::vector<CKDWORD> expected = controllers;
    expected[4] = 0; // the controller's own length
    EXPECT_EQ(Section(a, 0x02000000), expected);
    EXPECT_EQ(Section(a, 0x01000000), (std::vector<CKDWORD>{0, 0x41000000, 0}));

    RCKKeyedAnimation* keyed = static_cast<RCKKeyedAnimation*>(m_Context->CreateObject(CKCID_KEYEDANIMATION, "keyed"));
    keyed->SetLength(1.5f);
    keyed->AddAnimation(a);
    EXPECT_EQ(Section(keyed, 0x00100000), (std::vector<CKDWORD>{0x3FC00000}));
    EXPECT_EQ(Section(keyed, 0x00200000), (std::vector<CKDWORD>{1, a->GetID()}));

    RCKCharacter* character = static_cast<RCKCharacter*>(m_Context->CreateObject(CKCID_CHARACTER, "c"));
    RCKBodyPart* part = static_cast<RCKBodyPart*>(m_Context->CreateObject(CKCID_BODYPART, "p"));
    character->AddBodyPart(part);
    character->AddAnimation(keyed);
    character->SetAnimationParameter(0.5f);
    EXPECT_EQ(Section(character, 0x01000000), (std::vector<CKDWORD>{1, part->GetID()}));
    EXPECT_EQ(Section(character, 0x02000000), (std::vector<CKDWORD>{1, keyed->GetID()}));
    EXPECT_EQ(Section(character, 0x04000000), (std::vector<CKDWORD>{0x3F000000}));
    EXPECT_EQ(Section(part, 0x01000000), (std::vector<CKDWORD>{character->GetID()}));
}

TEST_F(Animations, FilesAndCopiesGiveEqualAnimationsAndCharacters)
{
    RCKCharacter* character = static_cast<RCKCharacter*>(m_Context->CreateObject(CKCID_CHARACTER, "hero"));
    RCKBodyPart* hips = static_cast<RCKBodyPart*>(m_Context->CreateObject(CKCID_BODYPART, "hips"));
    RCKBodyPart* leg = static_cast<RCKBodyPart*>(m_Context->CreateObject(CKCID_BODYPART, "leg"));
    leg->SetParent(hips);
    hips->SetPosition3f(1, 2, 3);
    character->AddBodyPart(leg);
    character->AddBodyPart(hips);
    EXPECT_EQ(character->GetRootBodyPart(), hips);
    hips->SetParent(character);
    EXPECT_EQ(character->GetRootBodyPart(), hips) << "a part under the character itself is a root";
    hips->SetParent(nullptr);
    RCKObjectAnimation* walkHips = Rich("walk hips", hips);
    RCKObjectAnimation* walkLeg = Rich("walk leg", leg);
    walkLeg->ShareDataFrom(walkHips);
    RCKKeyedAnimation* walk = static_cast<RCKKeyedAnimation*>(m_Context->CreateObject(CKCID_KEYEDANIMATION, "walk"));
    walk->AddAnimation(walkLeg);
    walk->AddAnimation(walkHips);
    walk->SetLength(30.0f);
    EXPECT_EQ(walk->GetRootEntity(), hips) << "the leg's parent is animated too";
    EXPECT_EQ(walk->GetAnimationOf(leg), walkLeg);
    character->AddAnimation(walk);
    character->AlignCharacterWithRootPosition();
    QxVector position;
    character->GetPosition(&position);
    EXPECT_EQ(position, QxVector(1, 2, 3));

    CKContext* loaded = SaveAndLoad({character, hips, leg, walk, walkHips, walkLeg});
    auto* c2 = Find<RCKCharacter>(loaded, "hero", CKCID_CHARACTER);
    auto* k2 = Find<RCKKeyedAnimation>(loaded, "walk", CKCID_KEYEDANIMATION);
    auto* h2 = Find<RCKObjectAnimation>(loaded, "walk hips", CKCID_OBJECTANIMATION);
    auto* l2 = Find<RCKObjectAnimation>(loaded, "walk leg", CKCID_OBJECTANIMATION);
    ASSERT_TRUE(c2 && k2 && h2 && l2);
    EXPECT_TRUE(h2->Compare(walkHips, 0.0f));
    EXPECT_TRUE(l2->Compare(walkLeg, 0.0f));
    EXPECT_EQ(l2->GetDataOwner(), h2) << "the sharing is restored";
    EXPECT_EQ(h2->Get3dEntity(), Find<CK3dEntity>(loaded, "hips", CKCID_BODYPART));
    ASSERT_EQ(k2->GetAnimationCount(), 2);
    EXPECT_EQ(k2->GetAnimation(0), l2);
    EXPECT_EQ(k2->GetLength(), 30.0f);
    EXPECT_EQ(k2->GetCharacter(), c2);
    ASSERT_EQ(c2->GetBodyPartCount(), 2);
    EXPECT_EQ(c2->GetBodyPart(0)->GetCharacter(), c2);
    EXPECT_EQ(c2->GetAnimation(0), k2);

    CKDependencies dependencies;
    dependencies.m_Flags = CK_DEPENDENCIES_CUSTOM;
    dependencies.Resize(CKGetClassCount());
    auto* copy = static_cast<RCKCharacter*>(m_Context->CopyObjects(character, &dependencies, "_copy"));
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetBodyPartCount(), 2);
    EXPECT_NE(copy->GetBodyPart(0), leg);
    EXPECT_EQ(copy->GetBodyPart(0)->GetCharacter(), copy);
    EXPECT_EQ(leg->GetCharacter(), character) << "the source keeps its parts";
    ASSERT_EQ(copy->GetAnimationCount(), 1);
    auto* k3 = static_cast<RCKKeyedAnimation*>(copy->GetAnimation(0));
    ASSERT_NE(k3, walk);
    ASSERT_EQ(k3->GetAnimationCount(), 2);
    EXPECT_NE(k3->GetAnimation(1), walkHips);
    EXPECT_TRUE(k3->GetAnimation(1)->Compare(walkHips, 0.0f));

    m_Context->DestroyObject(hips);
    EXPECT_EQ(character->GetBodyPartCount(), 1);
    m_Context->DestroyObject(character);
    EXPECT_EQ(leg->GetCharacter(), nullptr);
    EXPECT_EQ(walk->GetCharacter(), nullptr);
}
