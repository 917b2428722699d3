#pragma once

#include <type_traits>

#include "includes/XArray.h"
#include "render/animation/CKAnimController.h"

// The linear, TCB and Bezier controllers of every channel: one template over
// the key record. Floats and vectors interpolate per component (linear, a
// Kochanek-Bartels Hermite curve, or a Hermite curve with the stored
// tangents); rotations slerp (linear), follow squad through the
// Kochanek-Bartels control points (TCB) or take the per-component Hermite
// curve (Bezier), and are normalised.
template <class Key>
class CKKeyedController final : public CKAnimController
{
public:
    using Value = std::remove_cv_t<decltype(Key::Value)>;
    static constexpr int kValueFloats = (int) (sizeof(Value) / sizeof(float));
    static constexpr bool kRotation = std::is_same_v<Value, QxQuaternion>;

    explicit CKKeyedController(CKDWORD type) : CKAnimController(type) {}

    int GetValueSize() const override { return kValueFloats; }
    int AddKey(const CKKey* key) override;
    CKKey* GetKey(int index) override;
    void RemoveKey(int index) override;
    CKBOOL Evaluate(float time, void* result) override;
    CKBOOL Clone(CKAnimController* other) override;
    CKBOOL Compare(CKAnimController* other, float threshold) override;
    void Write(CKStateChunk& chunk) override;
    CKERROR Read(CKStateChunk& chunk) override;
    int GetMemoryOccupation() const override;

    // The value at a time (the first key's value without keys: zero).
    Value ValueAt(float time);

private:
    int Insert(const Key& key);
    void Segment(int i, float u, Value& out);
    void BuildRotationControls();

    XArray<Key> m_Keys;
    // TCB rotations: per key its incoming and outgoing squad control points,
    // rebuilt after the keys changed.
    XArray<QxQuaternion> m_Controls;
    bool m_ControlsValid = false;
    // The segment the last evaluation fell in.
    int m_LastSegment = 0;
};

using CKLinearPositionController = CKKeyedController<CKLinearKey<QxVector>>;
using CKTCBPositionController = CKKeyedController<CKTCBKey<QxVector>>;
using CKBezierPositionController = CKKeyedController<CKBezierKey<QxVector>>;
using CKLinearRotationController = CKKeyedController<CKLinearKey<QxQuaternion>>;
using CKTCBRotationController = CKKeyedController<CKTCBKey<QxQuaternion>>;
using CKBezierRotationController = CKKeyedController<CKBezierKey<QxQuaternion>>;
using CKLinearFloatController = CKKeyedController<CKLinearKey<float>>;
using CKTCBFloatController = CKKeyedController<CKTCBKey<float>>;
using CKBezierFloatController = CKKeyedController<CKBezierKey<float>>;

extern template class CKKeyedController<CKLinearKey<float>>;
extern template class CKKeyedController<CKLinearKey<QxVector>>;
extern template class CKKeyedController<CKLinearKey<QxQuaternion>>;
extern template class CKKeyedController<CKTCBKey<float>>;
extern template class CKKeyedController<CKTCBKey<QxVector>>;
extern template class CKKeyedController<CKTCBKey<QxQuaternion>>;
extern template class CKKeyedController<CKBezierKey<float>>;
extern template class CKKeyedController<CKBezierKey<QxVector>>;
extern template class CKKeyedController<CKBezierKey<QxQuaternion>>;
