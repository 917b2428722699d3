#pragma once

#include "platform/host/Control.h"

class INode;

// Stands in for the host's look-at transform controller, which targeted
// cameras and lights have: the node sits where its position controller puts
// it (relative to its parent) and looks down its local -Z at its target
// node, its local Y as close to the world's +Z as can be (its +Y when the
// view runs along Z), then turned about its Z by the roll (radians, in the
// host's rotation sense). Without a target node, or while the target's own transform is
// being worked out (a loop the scene file refuses), it keeps the parent's
// orientation, as does one nested deeper than kMaxNesting.
class LookAtControl : public Control
{
public:
    LookAtControl(Control* position, INode* target, float roll);

    void GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod method = CTRL_ABSOLUTE) override;
    Control* GetPositionController() const override { return m_Position; }
    INode* GetTarget() const { return m_Target; }
    // How many look-at evaluations may nest (a target that itself looks at
    // a target...); deeper ones keep their parents' orientation.
    static constexpr int kMaxNesting = 64;
    void SetTarget(INode* target) { m_Target = target; }
    float GetRoll() const { return m_Roll; }

private:
    Control* m_Position;
    INode* m_Target;
    float m_Roll;
    bool m_Busy = false;
};

constexpr Class_ID LOOKAT_CONTROL_CLASS_ID(0x2011, 0);
