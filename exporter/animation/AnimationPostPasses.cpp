#include "exporter/animation/AnimationPostPasses.h"

#include <cmath>
#include <memory>
#include <vector>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "exporter/builder/ExportBuilder.h"
#include "includes/XString.h"
#include "render/animation/CKAnimController.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKKeyedController.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"

namespace {

// Every controller evaluates to at most four floats.
constexpr int kValueFloats = 4;

bool WithinThreshold(const float* a, const float* b, int count, float threshold)
{
    for (int c = 0; c < count; ++c)
        if (!(std::fabs(a[c] - b[c]) < threshold))
            return false;
    return true;
}

struct ControllerDeleter
{
    void operator()(CKAnimController* controller) const { delete controller; }
};
using OwnedController = std::unique_ptr<CKAnimController, ControllerDeleter>;

void Clear(CKAnimController* controller)
{
    for (int k = controller->GetKeyCount(); k-- > 0;)
        controller->RemoveKey(k);
}

// Whether a segment of the track's interpolation depends on its two end
// keys alone (linear and Bezier keys); TCB tangents also take the keys
// around it.
bool SegmentsUseTheirEndsAlone(CKDWORD type)
{
    switch (type) {
    case CKANIMATION_LINEARPOSITION_CONTROL:
    case CKANIMATION_BEZIERPOSITION_CONTROL:
    case CKANIMATION_LINEARROTATION_CONTROL:
    case CKANIMATION_BEZIERROTATION_CONTROL:
    case CKANIMATION_LINEARSCALE_CONTROL:
    case CKANIMATION_BEZIERSCALE_CONTROL:
    case CKANIMATION_LINEARSCALEAXIS_CONTROL:
    case CKANIMATION_BEZIERSCALEAXIS_CONTROL:
    case CKANIMATION_LINEARFLOAT_CONTROL:
    case CKANIMATION_BEZIERFLOAT_CONTROL: return true;
    default: return false;
    }
}

using RecordCopy = void (*)(CKKey* to, const CKKey* from);

template <class Key>
void CopyRecord(CKKey* to, const CKKey* from)
{
    *static_cast<Key*>(to) = *static_cast<const Key*>(from);
}

// The copy of a key record of the controller's kind; null for a kind
// without one of these records.
template <class... Keys>
RecordCopy RecordCopyOf(CKAnimController* controller)
{
    RecordCopy copy = nullptr;
    ((copy = copy ? copy : dynamic_cast<CKKeyedController<Keys>*>(controller) ? &CopyRecord<Keys> : nullptr), ...);
    return copy;
}

// A controller holding copies of a few keys of a track, given by their
// indices in time order. Changing the set keeps the keys both sets start
// with and writes the others over the records in place (in time order
// again once all are written), so that one step of the reduction adds and
// removes keys only where the window grows or shrinks.
class KeyWindow
{
public:
    KeyWindow(CKAnimController* track, CKAnimController* window)
        : m_Track(track), m_Window(window),
          m_Copy(RecordCopyOf<CKLinearKey<float>, CKLinearKey<QxVector>, CKLinearKey<QxQuaternion>, CKTCBKey<float>,
                              CKTCBKey<QxVector>, CKTCBKey<QxQuaternion>, CKBezierKey<float>, CKBezierKey<QxVector>,
                              CKBezierKey<QxQuaternion>>(window))
    {}

    void Hold(const int* indices, int count)
    {
        const int held = (int) m_Held.size();
        int k = 0;
        while (k < count && k < held && m_Held[(size_t) k] == indices[k])
            ++k;
        for (; m_Copy && k < count && k < held; ++k) {
            m_Copy(m_Window->GetKey(k), m_Track->GetKey(indices[k]));
            m_Held[(size_t) k] = indices[k];
        }
        for (int r = held; r-- > k;)
            m_Window->RemoveKey(r);
        m_Held.resize((size_t) k);
        for (; k < count; ++k) {
            m_Window->AddKey(m_Track->GetKey(indices[k]));
            m_Held.push_back(indices[k]);
        }
    }

private:
    CKAnimController* m_Track;
    CKAnimController* m_Window;
    RecordCopy m_Copy;
    std::vector<int> m_Held;
};

// The greedy test of the keys of a track of key controllers. The track
// without key i, with the keys kept before it, is evaluated at key i's time
// on the few keys that decide its segment there: the last key kept (which
// starts the segment) and the key after i (which ends it), and for TCB keys
// also the key kept before (which shapes the start's tangent) and the
// second key after i (which shapes the end's). That gives the value the
// whole track would give without rebuilding it for every key.
std::vector<int> KeptKeys(CKAnimController* track, float threshold)
{
    const int n = track->GetKeyCount();
    std::vector<int> kept;
    if (n <= 0)
        return kept;
    kept.push_back(0);
    OwnedController window(CKCreateAnimController(track->GetType()));
    if (!window) {
        for (int i = 1; i < n; ++i)
            kept.push_back(i);
        return kept;
    }
    const bool endsAlone = SegmentsUseTheirEndsAlone(track->GetType());
    KeyWindow held(track, window.get());
    const int size = track->GetValueSize();
    for (int i = 1; i < n; ++i) {
        const float time = track->GetKey(i)->TimeStep;
        float a[kValueFloats] = {}, b[kValueFloats] = {};
        track->Evaluate(time, a);
        int indices[4];
        int count = 0;
        const size_t last = kept.size() - 1;
        if (last > 0 && !endsAlone)
            indices[count++] = kept[last - 1];
        indices[count++] = kept[last];
        for (int k = i + 1; k < n && k <= i + (endsAlone ? 1 : 2); ++k)
            indices[count++] = k;
        held.Hold(indices, count);
        window->Evaluate(time, b);
        if (!WithinThreshold(a, b, size, threshold))
            kept.push_back(i);
    }
    return kept;
}

// The same for morph keys: a key goes when every vertex of the blend of the
// key kept before it and the key after it lies within the threshold of the
// key's own, at its time.
std::vector<int> KeptMorphKeys(CKMorphController* track, float threshold)
{
    const int n = track->GetKeyCount();
    const int count = track->GetMorphVertexCount();
    std::vector<int> kept;
    if (n <= 0)
        return kept;
    kept.push_back(0);
    CKMorphController window;
    window.SetMorphVertexCount(count);
    std::vector<QxVector> blend((size_t) (count > 0 ? count : 1));
    for (int i = 1; i < n; ++i) {
        auto* key = static_cast<CKMorphKey*>(track->GetKey(i));
        Clear(&window);
        window.AddKeyEx(static_cast<CKMorphKey*>(track->GetKey(kept.back())), FALSE);
        if (i + 1 < n)
            window.AddKeyEx(static_cast<CKMorphKey*>(track->GetKey(i + 1)), FALSE);
        bool close =
            key->PosArray && window.EvaluateMorph(key->TimeStep, count, blend.data(), sizeof(QxVector)) != FALSE;
        for (int v = 0; close && v < count; ++v) {
            const QxVector& own = key->PosArray[v];
            const QxVector& other = blend[(size_t) v];
            const float a[3] = {own.x, own.y, own.z}, b[3] = {other.x, other.y, other.z};
            close = WithinThreshold(a, b, 3, threshold);
        }
        if (!close)
            kept.push_back(i);
    }
    return kept;
}

CKAnimController* ChannelController(CKObjectAnimation* animation, int kind)
{
    switch (kind) {
    case kReducePosition: return animation->GetPositionController();
    case kReduceRotation: return animation->GetRotationController();
    case kReduceScale: return animation->GetScaleController();
    case kReduceScaleAxis: return animation->GetScaleAxisController();
    case kReduceMorph: return animation->GetMorphController();
    default: return nullptr;
    }
}

} // namespace

CKDWORD ReduceControllerKeys(CKAnimController* controller, CKAnimController** reduced, CKObjectAnimation* scratch,
                             float threshold)
{
    if (reduced)
        *reduced = nullptr;
    if (!controller || !scratch)
        return controller ? controller->GetType() : 0;
    const CKDWORD type = controller->GetType();
    CKAnimController* result = scratch->CreateController(type);
    if (!result)
        return type;
    if (type == CKANIMATION_MORPH_CONTROL) {
        auto* morph = static_cast<CKMorphController*>(controller);
        auto* out = static_cast<CKMorphController*>(result);
        out->SetMorphVertexCount(morph->GetMorphVertexCount());
        for (int k : KeptMorphKeys(morph, threshold))
            out->AddKey(morph->GetKey(k));
    } else {
        for (int k : KeptKeys(controller, threshold))
            result->AddKey(controller->GetKey(k));
    }
    result->SetLength(controller->GetLength());
    if (reduced)
        *reduced = result;
    return type;
}

int ReduceChannelKeys(CKObjectAnimation* animation, float threshold, int mode, int kind, int scoring, int index)
{
    (void) mode;
    (void) scoring;
    if (!animation || kind < 0 || kind > kReduceNamed)
        return 0;
    CKAnimController* controller =
        kind == kReduceNamed ? animation->GetNamedController(index) : ChannelController(animation, kind);
    CKContext* context = animation->GetCKContext();
    if (!controller || !context)
        return 0;
    CKObject* made = context->CreateObject(CKCID_OBJECTANIMATION, nullptr);
    if (!made)
        return 0;
    int removed = 0;
    if (CKIsChildClassOfObject(made, CKCID_OBJECTANIMATION)) {
        CKAnimController* reduced = nullptr;
        ReduceControllerKeys(controller, &reduced, static_cast<CKObjectAnimation*>(made), threshold);
        // The keys are taken over in place: a named controller keeps its
        // place even when another one has its name.
        if (reduced && reduced->GetKeyCount() < controller->GetKeyCount()) {
            removed = controller->GetKeyCount() - reduced->GetKeyCount();
            controller->Clone(reduced);
        }
    }
    context->DestroyObject(made);
    return removed;
}

int ExportBuilder::RemoveOneKeyControllers(CKKeyedAnimation* keyed)
{
    if (!keyed)
        return -1;
    int deleted = 0;
    for (int a = 0; a < keyed->GetAnimationCount(); ++a) {
        CKObjectAnimation* animation = keyed->GetAnimation(a);
        if (!animation)
            continue;
        // A Biped-driven node keeps the single keys its export kept.
        const int most = singleKeyAnimations.IsHere(animation) ? 0 : 1;
        struct Channel
        {
            CKAnimController* controller;
            CKDWORD code;
        };
        const Channel channels[] = {{animation->GetMorphController(), CKANIMATION_CONTROLLER_MORPH},
                                    {animation->GetPositionController(), CKANIMATION_CONTROLLER_POS},
                                    {animation->GetScaleController(), CKANIMATION_CONTROLLER_SCL},
                                    {animation->GetScaleAxisController(), CKANIMATION_CONTROLLER_SCLAXIS},
                                    {animation->GetRotationController(), CKANIMATION_CONTROLLER_ROT}};
        for (const Channel& channel : channels)
            if (channel.controller && channel.controller->GetKeyCount() <= most &&
                animation->DeleteControllerOfChannel(channel.code))
                ++deleted;
        // Deleted by itself, not by name: two weights may share a name.
        for (int i = 0; i < animation->GetNamedControllerCount();) {
            CKAnimController* controller = animation->GetNamedController(i);
            if (controller && controller->GetKeyCount() <= 1 && animation->DeleteController(controller)) {
                ++deleted;
                continue;
            }
            ++i;
        }
    }
    return deleted;
}

int ExportBuilder::ReduceAnimationKeys(CKKeyedAnimation* keyed, float threshold, int mode, int scoring)
{
    if (!keyed)
        return -1;
    static const int kOrder[] = {kReduceMorph, kReducePosition, kReduceRotation, kReduceScaleAxis, kReduceScale};
    int removed = 0;
    for (int a = 0; a < keyed->GetAnimationCount(); ++a)
        if (CKObjectAnimation* animation = keyed->GetAnimation(a))
            for (int kind : kOrder)
                removed += ReduceChannelKeys(animation, threshold, mode, kind, scoring, 0);
    return removed;
}

int ExportBuilder::ReduceBlendShapeKeys(CKKeyedAnimation* keyed, float threshold, int mode, int scoring)
{
    if (!keyed)
        return -1;
    int removed = 0;
    for (int a = 0; a < keyed->GetAnimationCount(); ++a)
        if (CKObjectAnimation* animation = keyed->GetAnimation(a))
            for (int i = 0; i < animation->GetNamedControllerCount(); ++i)
                removed += ReduceChannelKeys(animation, threshold, mode, kReduceNamed, scoring, i);
    return removed;
}
