#pragma once

#include <memory>
#include <vector>

#include "platform/host/Animatable.h"
#include "platform/host/Interval.h"
#include "platform/host/TimeValue.h"

class Control;

constexpr SClass_ID PARAMETER_BLOCK_CLASS_ID = 0x8;

// Stands in for the host's simple parameter block (a Morpher channel's
// weight is its value 0): float values, each either a constant or driven
// by a controller the block owns. An index out of range reads nothing
// (FALSE) and writes nothing.
class IParamBlock : public ReferenceTarget
{
public:
    explicit IParamBlock(int count);
    ~IParamBlock() override;

    int NumParams() const { return int(m_Values.size()); }
    // The value at t, narrowing valid to the times it holds.
    BOOL GetValue(int i, TimeValue t, float& v, Interval& valid) const;
    // Sets the value at t: the constant, or through the controller (the
    // key at t changes, or a key is added there). Undone by the hold.
    BOOL SetValue(int i, TimeValue t, float v);
    // The controller of value i; null when it is a constant.
    Control* GetController(int i) const;
    void SetController(int i, std::unique_ptr<Control> controller);

    // A copy with copies of its controllers.
    std::unique_ptr<IParamBlock> Clone() const;

private:
    std::vector<float> m_Values;
    std::vector<std::unique_ptr<Control>> m_Controllers;
};
