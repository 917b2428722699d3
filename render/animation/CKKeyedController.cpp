#include "render/animation/CKKeyedController.h"

#include <cmath>
#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "render/animation/CKInterpolation.h"
#include "render/context/CKRenderGlobals.h"
#include "system/log/QxLogManager.h"

namespace {

template <class T>
constexpr int FloatsOf = (int) (sizeof(T) / sizeof(float));

template <class T>
void WriteValue(CKStateChunk& chunk, const T& value)
{
    float f[4];
    std::memcpy(f, &value, sizeof(T));
    for (int i = 0; i < FloatsOf<T>; ++i)
        chunk.WriteFloat(f[i]);
}

template <class T>
T ReadValue(CKStateChunk& chunk)
{
    float f[4];
    for (int i = 0; i < FloatsOf<T>; ++i)
        f[i] = chunk.ReadFloat();
    T value;
    std::memcpy(&value, f, sizeof(T));
    return value;
}

template <class T>
bool ValuesClose(const T& a, const T& b, float threshold)
{
    float fa[4], fb[4];
    std::memcpy(fa, &a, sizeof(T));
    std::memcpy(fb, &b, sizeof(T));
    for (int i = 0; i < FloatsOf<T>; ++i)
        if (!(std::fabs(fa[i] - fb[i]) <= threshold))
            return false;
    return true;
}

bool Close(float a, float b, float threshold)
{
    return std::fabs(a - b) <= threshold;
}

// Per component: h0·a + h1·da + h2·b + h3·db.
template <class T>
T Hermite(const float h[4], const T& a, const T& da, const T& b, const T& db)
{
    float fa[4], fda[4], fb[4], fdb[4], r[4];
    std::memcpy(fa, &a, sizeof(T));
    std::memcpy(fda, &da, sizeof(T));
    std::memcpy(fb, &b, sizeof(T));
    std::memcpy(fdb, &db, sizeof(T));
    for (int i = 0; i < FloatsOf<T>; ++i)
        r[i] = h[0] * fa[i] + h[1] * fda[i] + h[2] * fb[i] + h[3] * fdb[i];
    T value;
    std::memcpy(&value, r, sizeof(T));
    return value;
}

// a·s + b·t per component.
template <class T>
T Combine(const T& a, float s, const T& b, float t)
{
    float fa[4], fb[4], r[4];
    std::memcpy(fa, &a, sizeof(T));
    std::memcpy(fb, &b, sizeof(T));
    for (int i = 0; i < FloatsOf<T>; ++i)
        r[i] = fa[i] * s + fb[i] * t;
    T value;
    std::memcpy(&value, r, sizeof(T));
    return value;
}

template <class T>
void NormalizeIfRotation(T& value)
{
    if constexpr (std::is_same_v<T, QxQuaternion>)
        value.Normalize();
}

template <class Key>
constexpr bool IsTCB = std::is_same_v<Key, CKTCBKey<std::remove_cv_t<decltype(Key::Value)>>>;
template <class Key>
constexpr bool IsBezier = std::is_same_v<Key, CKBezierKey<std::remove_cv_t<decltype(Key::Value)>>>;

template <class Key>
constexpr int WordsPerKey()
{
    constexpr int n = FloatsOf<decltype(Key::Value)>;
    if constexpr (IsTCB<Key>)
        return 1 + n + 5;
    else if constexpr (IsBezier<Key>)
        return 1 + n + 1 + 2 * n;
    else
        return 1 + n;
}

constexpr CKDWORD kStepOut = (1u << CKBEZIERKEY_STEP) << 16;
constexpr CKDWORD kStepIn = 1u << CKBEZIERKEY_STEP;
constexpr CKDWORD kLinearOut = (1u << CKBEZIERKEY_LINEAR) << 16;
constexpr CKDWORD kLinearIn = 1u << CKBEZIERKEY_LINEAR;

} // namespace

int CKChunkRemainingWords(CKStateChunk& chunk)
{
    return chunk.GetDataSize() / 4 - chunk.GetCurrentPos();
}

template <class Key>
int CKKeyedController<Key>::Insert(const Key& key)
{
    // First key not earlier than the new one.
    int lo = 0, hi = m_Keys.Size();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (m_Keys.Begin()[mid].TimeStep < key.TimeStep)
            lo = mid + 1;
        else
            hi = mid;
    }
    m_ControlsValid = false;
    if (lo < m_Keys.Size() && m_Keys.Begin()[lo].TimeStep == key.TimeStep)
        m_Keys.Begin()[lo] = key;
    else
        m_Keys.Insert(lo, key);
    m_NbKeys = m_Keys.Size();
    return lo;
}

template <class Key>
int CKKeyedController<Key>::AddKey(const CKKey* key)
{
    if (!key || !std::isfinite(key->TimeStep))
        return -1;
    return Insert(*static_cast<const Key*>(key));
}

template <class Key>
CKKey* CKKeyedController<Key>::GetKey(int index)
{
    if (index < 0 || index >= m_Keys.Size())
        return nullptr;
    // The caller may change the key through the pointer.
    m_ControlsValid = false;
    return &m_Keys.Begin()[index];
}

template <class Key>
void CKKeyedController<Key>::RemoveKey(int index)
{
    if (index < 0 || index >= m_Keys.Size())
        return;
    m_Keys.RemoveAt(index);
    m_NbKeys = m_Keys.Size();
    m_ControlsValid = false;
}

template <class Key>
void CKKeyedController<Key>::BuildRotationControls()
{
    if constexpr (IsTCB<Key> && kRotation) {
        const int n = m_Keys.Size();
        m_Controls.Resize(2 * n);
        const Key* keys = m_Keys.Begin();
        QxQuaternion* controls = m_Controls.Begin();
        QxQuaternion lNext;
        QxQuaternion lPrev = n > 1 ? CKQuaternionLogDifference(keys[0].Value, keys[1].Value) : QxQuaternion(0, 0, 0, 0);
        for (int k = 0; k < n; ++k) {
            // A missing neighbour takes the difference of the other side.
            lNext = k + 1 < n ? CKQuaternionLogDifference(keys[k].Value, keys[k + 1].Value) : lPrev;
            if (k == 0)
                lPrev = lNext;
            const CKTCBWeights w = CKTCBTangentWeights(keys[k].Tension, keys[k].Continuity, keys[k].Bias);
            CKTCBRotationControls(keys[k].Value, lPrev, lNext, w, controls[2 * k], controls[2 * k + 1]);
            lPrev = lNext;
        }
    }
    m_ControlsValid = true;
}

template <class Key>
void CKKeyedController<Key>::Segment(int i, float u, Value& out)
{
    const Key* keys = m_Keys.Begin();
    const Key& a = keys[i];
    const Key& b = keys[i + 1];
    if constexpr (IsTCB<Key>) {
        u = CKEaseTime(u, a.EaseOut, b.EaseIn);
        if constexpr (kRotation) {
            if (!m_ControlsValid)
                BuildRotationControls();
            const QxQuaternion* controls = m_Controls.Begin();
            // Squad, each slerp normalised (near the poles QxSlerp blends
            // linearly and the length would drift).
            QxQuaternion outer, inner;
            QxSlerp(outer, u, a.Value, b.Value);
            outer.Normalize();
            QxSlerp(inner, u, controls[2 * i + 1], controls[2 * i + 2]);
            inner.Normalize();
            QxSlerp(out, 2.0f * u * (1.0f - u), outer, inner);
        } else {
            // The tangents of both keys from their neighbours; a missing
            // neighbour repeats the segment's difference.
            const int n = m_Keys.Size();
            const Value d = b.Value - a.Value;
            const Value dPrev = i > 0 ? a.Value - keys[i - 1].Value : d;
            const Value dNext = i + 2 < n ? keys[i + 2].Value - b.Value : d;
            const CKTCBWeights wa = CKTCBTangentWeights(a.Tension, a.Continuity, a.Bias);
            const CKTCBWeights wb = CKTCBTangentWeights(b.Tension, b.Continuity, b.Bias);
            const Value out0 = dPrev * wa.OutPrev + d * wa.OutNext;
            const Value in1 = d * wb.InPrev + dNext * wb.InNext;
            float h[4];
            CKHermiteBasis(u, h);
            out = a.Value * h[0] + out0 * h[1] + b.Value * h[2] + in1 * h[3];
            return;
        }
    } else if constexpr (IsBezier<Key>) {
        if ((a.Flags & kStepOut) || (b.Flags & kStepIn)) {
            out = a.Value;
            return;
        }
        const float dt = b.TimeStep - a.TimeStep;
        const Value chord = Combine(b.Value, 1.0f, a.Value, -1.0f);
        const Value out0 = (a.Flags & kLinearOut) ? chord : Combine(a.Out, dt, a.Out, 0.0f);
        const Value in1 = (b.Flags & kLinearIn) ? chord : Combine(b.In, -dt, b.In, 0.0f);
        float h[4];
        CKHermiteBasis(u, h);
        out = Hermite(h, a.Value, out0, b.Value, in1);
    } else {
        if constexpr (kRotation)
            QxSlerp(out, u, a.Value, b.Value);
        else
            out = Combine(a.Value, 1.0f - u, b.Value, u);
    }
    NormalizeIfRotation(out);
}

template <class Key>
typename CKKeyedController<Key>::Value CKKeyedController<Key>::ValueAt(float time)
{
    const int n = m_Keys.Size();
    if (n == 0)
        return Value{};
    const Key* keys = m_Keys.Begin();
    // Before the first key (or not a number): the first value.
    if (!(time > keys[0].TimeStep))
        return keys[0].Value;
    if (time >= keys[n - 1].TimeStep)
        return keys[n - 1].Value;
    // The last key at or before the time; it is not the last key. Times
    // usually move forward: the segment of the last evaluation or the next
    // one is tried first.
    int lo = 0, hi = n - 1;
    for (int s = m_LastSegment; s <= m_LastSegment + 1 && s < n - 1; ++s)
        if (keys[s].TimeStep <= time && time < keys[s + 1].TimeStep) {
            lo = s;
            hi = s + 1;
            break;
        }
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        if (keys[mid].TimeStep <= time)
            lo = mid;
        else
            hi = mid;
    }
    m_LastSegment = lo;
    if (keys[lo].TimeStep == time)
        return keys[lo].Value;
    const float u = (time - keys[lo].TimeStep) / (keys[lo + 1].TimeStep - keys[lo].TimeStep);
    Value value;
    Segment(lo, u, value);
    return value;
}

template <class Key>
CKBOOL CKKeyedController<Key>::Evaluate(float time, void* result)
{
    if (m_Keys.Size() == 0 || !result)
        return FALSE;
    const Value value = ValueAt(time);
    std::memcpy(result, &value, sizeof(Value));
    return TRUE;
}

template <class Key>
CKBOOL CKKeyedController<Key>::Clone(CKAnimController* other)
{
    if (!other || other->GetType() != m_Type)
        return FALSE;
    if (other == this)
        return TRUE;
    auto* source = static_cast<CKKeyedController*>(other);
    m_Keys = source->m_Keys;
    m_NbKeys = m_Keys.Size();
    m_Length = source->m_Length;
    m_ControlsValid = false;
    return TRUE;
}

template <class Key>
CKBOOL CKKeyedController<Key>::Compare(CKAnimController* other, float threshold)
{
    if (!other || other->GetType() != m_Type || other->GetKeyCount() != m_NbKeys ||
        !Close(other->GetLength(), m_Length, threshold))
        return FALSE;
    const Key* a = m_Keys.Begin();
    const Key* b = static_cast<CKKeyedController*>(other)->m_Keys.Begin();
    for (int i = 0; i < m_NbKeys; ++i) {
        if (!Close(a[i].TimeStep, b[i].TimeStep, threshold) || !ValuesClose(a[i].Value, b[i].Value, threshold))
            return FALSE;
        if constexpr (IsTCB<Key>) {
            if (!Close(a[i].Tension, b[i].Tension, threshold) || !Close(a[i].Continuity, b[i].Continuity, threshold) ||
                !Close(a[i].Bias, b[i].Bias, threshold) || !Close(a[i].EaseIn, b[i].EaseIn, threshold) ||
                !Close(a[i].EaseOut, b[i].EaseOut, threshold))
                return FALSE;
        } else if constexpr (IsBezier<Key>) {
            if (a[i].Flags != b[i].Flags || !ValuesClose(a[i].In, b[i].In, threshold) ||
                !ValuesClose(a[i].Out, b[i].Out, threshold))
                return FALSE;
        }
    }
    return TRUE;
}

template <class Key>
void CKKeyedController<Key>::Write(CKStateChunk& chunk)
{
    chunk.WriteInt(m_NbKeys);
    chunk.WriteFloat(m_Length);
    for (const Key& key : m_Keys) {
        chunk.WriteFloat(key.TimeStep);
        WriteValue(chunk, key.Value);
        if constexpr (IsTCB<Key>) {
            chunk.WriteFloat(key.Tension);
            chunk.WriteFloat(key.Continuity);
            chunk.WriteFloat(key.Bias);
            chunk.WriteFloat(key.EaseIn);
            chunk.WriteFloat(key.EaseOut);
        } else if constexpr (IsBezier<Key>) {
            chunk.WriteDword(key.Flags);
            WriteValue(chunk, key.In);
            WriteValue(chunk, key.Out);
        }
    }
}

template <class Key>
CKERROR CKKeyedController<Key>::Read(CKStateChunk& chunk)
{
    m_Keys.Clear();
    m_NbKeys = 0;
    m_ControlsValid = false;
    const int count = chunk.ReadInt();
    const float length = chunk.ReadFloat();
    if (count < 0 || (long long) count * WordsPerKey<Key>() > CKChunkRemainingWords(chunk)) {
        CKRenderLog(QXLOG_ERROR, __LINE__, "CKAnimController", "%d keys are more than the data holds", count);
        return CKErr::InvalidFile;
    }
    m_Length = std::isfinite(length) ? length : 0.0f;
    m_Keys.Reserve(count);
    for (int i = 0; i < count; ++i) {
        Key key;
        key.TimeStep = chunk.ReadFloat();
        key.Value = ReadValue<Value>(chunk);
        if constexpr (IsTCB<Key>) {
            key.Tension = chunk.ReadFloat();
            key.Continuity = chunk.ReadFloat();
            key.Bias = chunk.ReadFloat();
            key.EaseIn = chunk.ReadFloat();
            key.EaseOut = chunk.ReadFloat();
        } else if constexpr (IsBezier<Key>) {
            key.Flags = chunk.ReadDword();
            key.In = ReadValue<Value>(chunk);
            key.Out = ReadValue<Value>(chunk);
        }
        if (!std::isfinite(key.TimeStep)) {
            CKRenderLog(QXLOG_ERROR, __LINE__, "CKAnimController", "key %d has a time that is not a number", i);
            m_Keys.Clear();
            m_NbKeys = 0;
            return CKErr::InvalidFile;
        }
        // Keys in order append; others are sorted in.
        if (m_Keys.Size() == 0 || m_Keys.Begin()[m_Keys.Size() - 1].TimeStep < key.TimeStep)
            m_Keys.PushBack(key);
        else
            Insert(key);
    }
    m_NbKeys = m_Keys.Size();
    // The counts may hold while the data ends early.
    if (chunk.GetReadError() != CKErr::Ok) {
        m_Keys.Clear();
        m_NbKeys = 0;
        return CKErr::InvalidFile;
    }
    return CKErr::Ok;
}

template <class Key>
int CKKeyedController<Key>::GetMemoryOccupation() const
{
    return (int) sizeof(*this) + m_Keys.Capacity() * (int) sizeof(Key) +
           m_Controls.Capacity() * (int) sizeof(QxQuaternion);
}

template class CKKeyedController<CKLinearKey<float>>;
template class CKKeyedController<CKLinearKey<QxVector>>;
template class CKKeyedController<CKLinearKey<QxQuaternion>>;
template class CKKeyedController<CKTCBKey<float>>;
template class CKKeyedController<CKTCBKey<QxVector>>;
template class CKKeyedController<CKTCBKey<QxQuaternion>>;
template class CKKeyedController<CKBezierKey<float>>;
template class CKKeyedController<CKBezierKey<QxVector>>;
template class CKKeyedController<CKBezierKey<QxQuaternion>>;
