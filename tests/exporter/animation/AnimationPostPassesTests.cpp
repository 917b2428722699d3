#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exporter/animation/AnimationPostPasses.h"
#include "exporter/builder/ExportBuilder.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"
#include "tests/exporter/support/ExporterTestSupport.h"

namespace {

class AnimationPasses : public EngineFixture
{
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        m_Builder = std::make_unique<ExportBuilder>(m_Context, FALSE);
        m_Keyed = m_Builder->CreateAnimation("Take");
        ASSERT_NE(m_Keyed, nullptr);
    }
    void TearDown() override
    {
        m_Builder.reset();
        EngineFixture::TearDown();
    }

    CKObjectAnimation* NewAnimation(const char* name) { return m_Builder->CreateObjectAnimation(nullptr, name, 0); }
    int ObjectAnimationsInContext() { return m_Context->GetObjectsCountByClassID(CKCID_OBJECTANIMATION); }

    std::unique_ptr<ExportBuilder> m_Builder;
    CKKeyedAnimation* m_Keyed = nullptr;
};

void AddPosition(CKAnimController* c, float time, float x, float y, float z)
{
    const CKLinearKey<QxVector> key(time, QxVector(x, y, z));
    c->AddKey(&key);
}

void AddFloat(CKAnimController* c, float time, float v)
{
    const CKLinearKey<float> key(time, v);
    c->AddKey(&key);
}

std::vector<float> Times(CKAnimController* c)
{
    std::vector<float> times;
    for (int i = 0; c && i < c->GetKeyCount(); ++i)
        times.push_back(c->GetKey(i)->TimeStep);
    return times;
}

// The reduction as its definition reads: a copy of the track, each key in
// turn removed and the copy evaluated at that key's time, the key put back
// when the value moved by the threshold or more.
std::vector<float> LiteralReduction(CKAnimController* c, float threshold)
{
    CKAnimController* r = CKCreateAnimController(c->GetType());
    r->Clone(c);
    int j = 1;
    for (int i = 1; i < c->GetKeyCount(); ++i) {
        const float time = c->GetKey(i)->TimeStep;
        float a[4] = {}, b[4] = {};
        c->Evaluate(time, a);
        r->RemoveKey(j);
        r->Evaluate(time, b);
        bool close = true;
        for (int k = 0; k < 4; ++k)
            close = close && std::fabs(a[k] - b[k]) < threshold;
        if (!close) {
            r->AddKey(c->GetKey(i));
            ++j;
        }
    }
    std::vector<float> times = Times(r);
    delete r;
    return times;
}

template <class V>
V Random(std::mt19937& rng);
template <>
float Random<float>(std::mt19937& rng)
{
    return std::uniform_real_distribution<float>(-1.0f, 1.0f)(rng);
}
template <>
QxVector Random<QxVector>(std::mt19937& rng)
{
    return QxVector(Random<float>(rng), Random<float>(rng), Random<float>(rng));
}
template <>
QxQuaternion Random<QxQuaternion>(std::mt19937& rng)
{
    QxQuaternion q(Random<float>(rng), Random<float>(rng), Random<float>(rng), Random<float>(rng) + 2.0f);
    q.Normalize();
    return q;
}

// Smooth tracks with small random wobbles, so that some keys fall within
// the threshold and some do not. With run above 1 the keys come evenly and
// the track goes straight for run keys at a time (one step, scaled by
// wobble, drawn per run), so that long stretches of keys go in a row.
template <class V>
void Fill(CKAnimController* c, std::mt19937& rng, int n, float wobble, int run = 1)
{
    V value = Random<V>(rng);
    V next = value;
    for (int i = 0; i < n; ++i) {
        const float time = (float) i * 1.5f + (i % 3 == 0 && run == 1 ? 0.25f : 0.0f);
        if (i % run == 0)
            next = Random<V>(rng);
        float* f = reinterpret_cast<float*>(&value);
        const float* g = reinterpret_cast<const float*>(&next);
        for (size_t k = 0; k < sizeof(V) / sizeof(float); ++k)
            f[k] += g[k] * (i % 4 == 0 && run == 1 ? 0.2f : wobble);
        if constexpr (std::is_same_v<V, QxQuaternion>)
            value.Normalize();
        switch (c->GetType() >> 8) {
        case CKANIMATION_TCBPOSITION_CONTROL >> 8:
        case CKANIMATION_TCBROTATION_CONTROL >> 8:
        case CKANIMATION_TCBSCALE_CONTROL >> 8:
        case CKANIMATION_TCBSCALEAXIS_CONTROL >> 8:
        case CKANIMATION_TCBFLOAT_CONTROL >> 8: {
            const CKTCBKey<V> key(time, value, Random<float>(rng) * 0.5f, Random<float>(rng) * 0.5f,
                                  Random<float>(rng) * 0.5f, 10.0f, 5.0f);
            c->AddKey(&key);
            break;
        }
        case CKANIMATION_BEZIERPOSITION_CONTROL >> 8:
        case CKANIMATION_BEZIERROTATION_CONTROL >> 8:
        case CKANIMATION_BEZIERSCALE_CONTROL >> 8:
        case CKANIMATION_BEZIERSCALEAXIS_CONTROL >> 8:
        case CKANIMATION_BEZIERFLOAT_CONTROL >> 8: {
            const CKDWORD flags = (i % 5 == 0) ? (2u << 16 | 1u) : (32u | 32u << 16);
            const CKBezierKey<V> key(time, value, flags, Random<V>(rng), Random<V>(rng));
            c->AddKey(&key);
            break;
        }
        default: {
            const CKLinearKey<V> key(time, value);
            c->AddKey(&key);
        }
        }
    }
}

} // namespace

// The reduction keeps what the greedy test of its definition keeps, for
// every kind of track, at thresholds from nothing to much.
TEST_F(AnimationPasses, ReductionKeepsWhatRemovingKeysOneByOneKeeps)
{
    const CKDWORD types[] = {
        CKANIMATION_LINEARPOSITION_CONTROL, CKANIMATION_TCBPOSITION_CONTROL, CKANIMATION_BEZIERPOSITION_CONTROL,
        CKANIMATION_LINEARROTATION_CONTROL, CKANIMATION_TCBROTATION_CONTROL, CKANIMATION_LINEARSCALE_CONTROL,
        CKANIMATION_TCBSCALE_CONTROL,       CKANIMATION_BEZIERSCALE_CONTROL, CKANIMATION_LINEARSCALEAXIS_CONTROL,
        CKANIMATION_LINEARFLOAT_CONTROL,    CKANIMATION_TCBFLOAT_CONTROL,    CKANIMATION_BEZIERFLOAT_CONTROL};
    std::mt19937 rng(7);
    for (CKDWORD type : types)
        for (float threshold : {0.0f, 0.002f, 0.02f, 0.3f}) {
            SCOPED_TRACE(std::to_string(type) + " at " + std::to_string(threshold));
            CKObjectAnimation* scratch = NewAnimation("Scratch");
            CKAnimController* track = CKCreateAnimController(type);
            switch (track->GetValueSize()) {
            case 1: Fill<float>(track, rng, 40, 0.01f); break;
            case 3: Fill<QxVector>(track, rng, 40, 0.01f); break;
            default: Fill<QxQuaternion>(track, rng, 40, 0.01f); break;
            }
            track->SetLength(77.0f);
            CKAnimController* reduced = nullptr;
            EXPECT_EQ(ReduceControllerKeys(track, &reduced, scratch, threshold), type);
            ASSERT_NE(reduced, nullptr);
            EXPECT_EQ(reduced->GetType(), type);
            EXPECT_EQ(reduced->GetLength(), 77.0f);
            EXPECT_EQ(Times(reduced), LiteralReduction(track, threshold));
            if (threshold == 0.0f) {
                EXPECT_EQ(reduced->GetKeyCount(), 40) << "a difference is never below 0";
            }
            delete track;
            m_Builder->DestroyObject(scratch, 0);
        }
}

// Long tracks with straight runs, where many keys in a row go and the
// segment a key is tested on starts far before it: every kind of track
// keeps what the literal reduction keeps.
TEST_F(AnimationPasses, LongTracksWithStraightRunsKeepWhatRemovingKeysOneByOneKeeps)
{
    const CKDWORD types[] = {
        CKANIMATION_LINEARPOSITION_CONTROL,  CKANIMATION_TCBPOSITION_CONTROL,  CKANIMATION_BEZIERPOSITION_CONTROL,
        CKANIMATION_LINEARROTATION_CONTROL,  CKANIMATION_TCBROTATION_CONTROL,  CKANIMATION_BEZIERROTATION_CONTROL,
        CKANIMATION_LINEARSCALE_CONTROL,     CKANIMATION_TCBSCALE_CONTROL,     CKANIMATION_BEZIERSCALE_CONTROL,
        CKANIMATION_LINEARSCALEAXIS_CONTROL, CKANIMATION_TCBSCALEAXIS_CONTROL, CKANIMATION_BEZIERSCALEAXIS_CONTROL,
        CKANIMATION_LINEARFLOAT_CONTROL,     CKANIMATION_TCBFLOAT_CONTROL,     CKANIMATION_BEZIERFLOAT_CONTROL};
    struct Shape
    {
        int keys, run;
        float wobble, threshold;
    };
    const Shape shapes[] = {{2, 1, 0.01f, 0.05f},   {3, 1, 0.001f, 0.05f},  {150, 7, 0.05f, 0.001f},
                            {150, 7, 0.05f, 0.01f}, {150, 30, 0.2f, 0.05f}, {150, 30, 0.2f, 2.0f}};
    std::mt19937 rng(11);
    CKObjectAnimation* scratch = NewAnimation("Scratch");
    int partial = 0;
    for (CKDWORD type : types)
        for (const Shape& shape : shapes) {
            SCOPED_TRACE(std::to_string(type) + ": " + std::to_string(shape.keys) + " keys, runs of " +
                         std::to_string(shape.run) + " at " + std::to_string(shape.threshold));
            CKAnimController* track = CKCreateAnimController(type);
            switch (track->GetValueSize()) {
            case 1: Fill<float>(track, rng, shape.keys, shape.wobble, shape.run); break;
            case 3: Fill<QxVector>(track, rng, shape.keys, shape.wobble, shape.run); break;
            default: Fill<QxQuaternion>(track, rng, shape.keys, shape.wobble, shape.run); break;
            }
            CKAnimController* reduced = nullptr;
            EXPECT_EQ(ReduceControllerKeys(track, &reduced, scratch, shape.threshold), type);
            ASSERT_NE(reduced, nullptr);
            const std::vector<float> kept = Times(reduced);
            EXPECT_EQ(kept, LiteralReduction(track, shape.threshold));
            partial += kept.size() > 2 && kept.size() < (size_t) shape.keys;
            delete track;
        }
    m_Builder->DestroyObject(scratch, 0);
    EXPECT_GE(partial, 30) << "most long tracks lose some keys and keep some";
}

TEST_F(AnimationPasses, ACollinearMiddleKeyGoesAndAConstantTrackKeepsItsFirstKey)
{
    CKObjectAnimation* animation = NewAnimation("Box");
    CKAnimController* position = animation->CreateController(CKANIMATION_LINEARPOSITION_CONTROL);
    AddPosition(position, 0, 0, 0, 0);
    AddPosition(position, 4, 2, 4, -2);
    AddPosition(position, 10, 5, 10, -5);
    AddPosition(position, 12, 5, 11, -5);
    CKAnimController* scale = animation->CreateController(CKANIMATION_LINEARSCALE_CONTROL);
    for (int i = 0; i < 6; ++i)
        AddPosition(scale, (float) i, 1, 1, 1);
    const int before = ObjectAnimationsInContext();
    EXPECT_EQ(m_Builder->ReduceAnimationKeys(m_Keyed, 0.0f, 1, 2), 0);
    EXPECT_EQ(m_Builder->ReduceAnimationKeys(m_Keyed, 1e-5f, 1, 2), 1 + 5);
    EXPECT_EQ(Times(animation->GetPositionController()), (std::vector<float>{0, 10, 12}));
    EXPECT_EQ(Times(animation->GetScaleController()), (std::vector<float>{0}));
    EXPECT_EQ(ObjectAnimationsInContext(), before) << "no scratch animation stays";
    EXPECT_EQ(m_Builder->ReduceAnimationKeys(nullptr, 1.0f, 1, 2), -1);
    EXPECT_EQ(m_Builder->ReduceBlendShapeKeys(nullptr, 1.0f, 1, 2), -1);
    EXPECT_EQ(m_Builder->RemoveOneKeyControllers(nullptr), -1);
}

// Morph keys go only when the blend of their neighbours gives every vertex
// within the threshold.
TEST_F(AnimationPasses, MorphKeysStayUnlessTheirNeighboursGiveThemBack)
{
    CKObjectAnimation* animation = NewAnimation("Blob");
    auto* morph = static_cast<CKMorphController*>(animation->CreateController(CKANIMATION_MORPH_CONTROL));
    morph->SetMorphVertexCount(3);
    const float xs[] = {0.0f, 1.0f, 2.0f, 2.0f, 2.5f};
    for (int k = 0; k < 5; ++k) {
        const int index = morph->AddKeyAtTime((float) k * 2.0f, k == 1);
        auto* key = static_cast<CKMorphKey*>(morph->GetKey(index));
        for (int v = 0; v < 3; ++v)
            key->PosArray[v] = QxVector(xs[k] * (float) (v + 1), (float) v, 0.0f);
    }
    // Key 1 lies halfway on every vertex; key 3 does not (2 between 2 and
    // 2.5), except within a threshold of 0.75 on its third vertex.
    EXPECT_EQ(ReduceChannelKeys(animation, 0.0f, 1, kReduceMorph, 2, 0), 0);
    EXPECT_EQ(ReduceChannelKeys(animation, 0.01f, 1, kReduceMorph, 2, 0), 1);
    EXPECT_EQ(Times(animation->GetMorphController()), (std::vector<float>{0, 4, 6, 8}));
    EXPECT_EQ(ReduceChannelKeys(animation, 0.7f, 1, kReduceMorph, 2, 0), 0)
        << "vertex 2 of key 3 is 0.75 from the blend";
    EXPECT_EQ(ReduceChannelKeys(animation, 0.8f, 1, kReduceMorph, 2, 0), 1);
    EXPECT_EQ(Times(animation->GetMorphController()), (std::vector<float>{0, 4, 8}));
    EXPECT_EQ(animation->GetMorphVertexCount(), 3);
    EXPECT_EQ(ReduceChannelKeys(animation, 0.8f, 1, 6, 2, 0), 0);
    EXPECT_EQ(ReduceChannelKeys(animation, 0.8f, 1, kReducePosition, 2, 0), 0);
    EXPECT_EQ(ReduceChannelKeys(nullptr, 0.8f, 1, kReduceMorph, 2, 0), 0);
}

// Without a scratch animation nothing is made; a morph track without
// vertices loses every key but its first (nothing can differ).
TEST_F(AnimationPasses, NoScratchMakesNothingAndMorphKeysWithoutVerticesGo)
{
    CKAnimController* track = CKCreateAnimController(CKANIMATION_LINEARPOSITION_CONTROL);
    for (int i = 0; i < 4; ++i)
        AddPosition(track, (float) i, (float) (i * i), 0, 0);
    CKAnimController* reduced = track;
    EXPECT_EQ(ReduceControllerKeys(track, &reduced, nullptr, 0.1f), (CKDWORD) CKANIMATION_LINEARPOSITION_CONTROL);
    EXPECT_EQ(reduced, nullptr);
    EXPECT_EQ(ReduceControllerKeys(nullptr, &reduced, nullptr, 0.1f), 0u);
    delete track;

    CKObjectAnimation* animation = NewAnimation("Empty");
    auto* morph = static_cast<CKMorphController*>(animation->CreateController(CKANIMATION_MORPH_CONTROL));
    morph->SetMorphVertexCount(0);
    for (int k = 0; k < 3; ++k)
        morph->AddKeyAtTime((float) k, FALSE);
    ASSERT_EQ(morph->GetKeyCount(), 3);
    EXPECT_EQ(ReduceChannelKeys(animation, 0.01f, 1, kReduceMorph, 2, 0), 2);
    EXPECT_EQ(Times(animation->GetMorphController()), (std::vector<float>{0}));
}

// Blend-shape weights are reduced one by one in place, also when two share
// a name.
TEST_F(AnimationPasses, NamedControllersAreReducedInPlaceEvenUnderOneName)
{
    CKObjectAnimation* animation = NewAnimation("Face");
    CKAnimController* first = animation->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "Smile");
    for (int i = 0; i < 5; ++i)
        AddFloat(first, (float) i, 0.5f);
    CKAnimController* second = animation->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "Blink");
    for (int i = 0; i < 3; ++i)
        AddFloat(second, (float) i, (float) (i * i));
    ASSERT_EQ(animation->GetNamedControllerCount(), 2);
    // The engine finds named controllers by name: the second becomes a
    // second "Smile" by hand.
    const_cast<CKAnimControllerEntry*>(animation->GetNamedControllerEntry(1))->Name = "Smile";
    EXPECT_EQ(m_Builder->ReduceBlendShapeKeys(m_Keyed, 0.1f, 1, 2), 4);
    EXPECT_EQ(Times(animation->GetNamedController(0)), (std::vector<float>{0}));
    EXPECT_EQ(Times(animation->GetNamedController(1)), (std::vector<float>{0, 1, 2}));
    EXPECT_EQ(animation->GetNamedController(1)->GetType(), (CKDWORD) CKANIMATION_LINEARFLOAT_CONTROL);
}

// Controllers of at most one key go (morph, position, scale, scale axis,
// rotation, then the named ones, two in a row included); a Biped-driven
// node's single keys stay.
TEST_F(AnimationPasses, OneKeyControllersGoExceptTheSingleKeysOfABiped)
{
    CKObjectAnimation* plain = NewAnimation("Plain");
    AddPosition(plain->CreateController(CKANIMATION_LINEARPOSITION_CONTROL), 0, 1, 2, 3);
    AddPosition(plain->CreateController(CKANIMATION_LINEARSCALE_CONTROL), 0, 1, 1, 1);
    CKAnimController* rotation = plain->CreateController(CKANIMATION_LINEARROTATION_CONTROL);
    const CKLinearKey<QxQuaternion> r0(0, QxQuaternion()), r1(1, QxQuaternion(0, 1, 0, 0));
    rotation->AddKey(&r0);
    rotation->AddKey(&r1);
    auto* morph = static_cast<CKMorphController*>(plain->CreateController(CKANIMATION_MORPH_CONTROL));
    morph->SetMorphVertexCount(1);
    morph->AddKeyAtTime(0, FALSE);
    AddFloat(plain->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "A"), 0, 1);
    AddFloat(plain->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "B"), 0, 1);
    CKAnimController* kept = plain->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "C");
    AddFloat(kept, 0, 1);
    AddFloat(kept, 1, 2);
    plain->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "D");

    CKObjectAnimation* biped = NewAnimation("Bip01");
    AddPosition(biped->CreateController(CKANIMATION_LINEARPOSITION_CONTROL), 0, 1, 2, 3);
    biped->CreateController(CKANIMATION_LINEARSCALE_CONTROL);
    AddFloat(biped->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "W"), 0, 1);
    m_Builder->singleKeyAnimations.PushBack(biped);

    EXPECT_EQ(m_Builder->RemoveOneKeyControllers(m_Keyed), 3 + 3 + 2);
    EXPECT_EQ(plain->GetPositionController(), nullptr);
    EXPECT_EQ(plain->GetScaleController(), nullptr);
    EXPECT_EQ(plain->GetMorphController(), nullptr);
    EXPECT_NE(plain->GetRotationController(), nullptr);
    ASSERT_EQ(plain->GetNamedControllerCount(), 1);
    EXPECT_EQ(plain->GetNamedController(0), kept);
    EXPECT_NE(biped->GetPositionController(), nullptr);
    EXPECT_EQ(biped->GetScaleController(), nullptr) << "no key at all";
    EXPECT_EQ(biped->GetNamedControllerCount(), 0);
    // The builder forgets a destroyed animation in its list.
    m_Builder->DestroyObject(biped, 0);
    EXPECT_FALSE(m_Builder->singleKeyAnimations.IsHere(biped));
}
