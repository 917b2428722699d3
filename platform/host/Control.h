#pragma once

#include <memory>

#include "platform/host/Animatable.h"
#include "platform/host/Interval.h"
#include "platform/host/Matrix3.h"
#include "platform/host/Point3.h"
#include "platform/host/Quat.h"
#include "platform/host/TimeValue.h"

enum GetSetMethod
{
    CTRL_ABSOLUTE,
    CTRL_RELATIVE
};

// A scale: factors along the axes of the rotation q.
struct ScaleValue
{
    Point3 s{1.0f, 1.0f, 1.0f};
    Quat q;
};

// Stands in for the host's Control: an animated value. What GetValue writes
// depends on the super class: a transform controller (CTRL_MATRIX3_CLASS_ID)
// takes the parent's world matrix in *val and, as CTRL_RELATIVE asks, turns
// it into the node's (local times parent); a position controller writes a
// Point3, a rotation controller a Quat, a scale controller a ScaleValue, a
// float controller a float. valid is narrowed to the times the value holds.
class Control : public ReferenceTarget
{
public:
    using ReferenceTarget::ReferenceTarget;

    virtual void GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod method = CTRL_ABSOLUTE) = 0;
    // The sub-controllers of a transform controller; null for others.
    virtual Control* GetPositionController() const { return nullptr; }
    virtual Control* GetRotationController() const { return nullptr; }
    virtual Control* GetScaleController() const { return nullptr; }
    // A copy with the same keys (for a copied node's modifiers); null for a
    // controller that cannot be copied.
    virtual std::unique_ptr<Control> CloneControl() const { return nullptr; }
};

// The transform controller made of a position, a rotation and a scale
// controller: local = scale (along its axes), then rotation, then
// translation. A missing sub-controller contributes nothing.
//
// Controllers of other classes that evaluate the same way (the Biped's, for
// one) are PRS controllers with the class they stand for.
class PRSControl : public Control
{
public:
    PRSControl(Control* position, Control* rotation, Control* scale, Class_ID classId = Class_ID(0x2005, 0),
               std::string className = "Position/Rotation/Scale");

    void GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod method = CTRL_ABSOLUTE) override;
    Control* GetPositionController() const override { return m_Position; }
    Control* GetRotationController() const override { return m_Rotation; }
    Control* GetScaleController() const override { return m_Scale; }
    void SetPositionController(Control* c) { m_Position = c; }
    void SetRotationController(Control* c) { m_Rotation = c; }
    void SetScaleController(Control* c) { m_Scale = c; }

    // The local transform at time t.
    Matrix3 LocalTM(TimeValue t, Interval& valid) const;

private:
    Control* m_Position;
    Control* m_Rotation;
    Control* m_Scale;
};

constexpr Class_ID PRS_CONTROL_CLASS_ID(0x2005, 0);

// A transform controller that holds one local matrix at every time: what a
// model file's transform becomes when no scale and rotation make it (a
// shear, say).
class MatrixControl : public Control
{
public:
    explicit MatrixControl(const Matrix3& local);

    void GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod method = CTRL_ABSOLUTE) override;
    const Matrix3& Local() const { return m_Local; }

private:
    Matrix3 m_Local;
};

constexpr Class_ID MATRIX_CONTROL_CLASS_ID(0x51F40A27, 0x3C0E6D18);
