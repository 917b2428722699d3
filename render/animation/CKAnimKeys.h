#pragma once

#include "includes/CKTypes.h"
#include "system/math/QxQuaternion.h"
#include "system/math/QxVector.h"

// The key records of the animation controllers, as callers build them and
// as GetKey hands them out. Every record starts with its time in frames.
struct CKKey
{
    float TimeStep = 0.0f;
};

// A value at a time; straight lines (spherical arcs for rotations) between
// keys.
template <class T>
struct CKLinearKey : CKKey
{
    T Value{};

    CKLinearKey() = default;
    CKLinearKey(float time, const T& value) : CKKey{time}, Value(value) {}
};

// Kochanek-Bartels keys. Tension, continuity and bias shape the tangents (0
// gives a Catmull-Rom curve); ease in and ease out slow the curve down near
// the key, on the host's scale 0 .. 50 (50: the whole half-interval eases).
template <class T>
struct CKTCBKey : CKKey
{
    T Value{};
    float Tension = 0.0f;
    float Continuity = 0.0f;
    float Bias = 0.0f;
    float EaseIn = 0.0f;
    float EaseOut = 0.0f;

    CKTCBKey() = default;
    CKTCBKey(float time, const T& value, float tension = 0.0f, float continuity = 0.0f, float bias = 0.0f,
             float easeIn = 0.0f, float easeOut = 0.0f)
        : CKKey{time}, Value(value), Tension(tension), Continuity(continuity), Bias(bias), EaseIn(easeIn),
          EaseOut(easeOut)
    {}
};

// Tangent kinds of a Bezier key: the flags word holds 1 << kind of the in
// tangent in its low 16 bits and 1 << kind of the out tangent in its high
// 16 bits.
enum CKBEZIERKEY_TANGENT : CKDWORD
{
    CKBEZIERKEY_SMOOTH = 0,
    CKBEZIERKEY_LINEAR = 1,
    CKBEZIERKEY_STEP = 2,
    CKBEZIERKEY_FAST = 3,
    CKBEZIERKEY_SLOW = 4,
    CKBEZIERKEY_CUSTOM = 5,
};

// Cubic Hermite keys with stored tangents, in units per frame. The out
// tangent is the curve's derivative leaving the key; the in tangent points
// back in time, as the modelling host stores it, so the derivative arriving
// at the key is -In. A step out tangent (or a step in tangent of the next
// key) holds the value until the next key; a linear one uses the chord.
template <class T>
struct CKBezierKey : CKKey
{
    T Value{};
    CKDWORD Flags = 0;
    T In{};
    T Out{};

    CKBezierKey() = default;
    CKBezierKey(float time, const T& value, CKDWORD flags, const T& in, const T& out)
        : CKKey{time}, Value(value), Flags(flags), In(in), Out(out)
    {}
};

// A vertex-animation key: one position per morph vertex and, when NormArray
// is not null, one packed normal (QxCompressedVector) per vertex. The arrays
// belong to the controller that holds the key.
struct CKMorphKey : CKKey
{
    QxVector* PosArray = nullptr;
    CKDWORD* NormArray = nullptr;
};
