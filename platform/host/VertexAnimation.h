#pragma once

#include <vector>

#include "platform/host/Modifier.h"

constexpr Class_ID VERTEX_ANIMATION_CLASS_ID(0x4B6F7A31, 0x2D8E5C40);

// A key of the vertex animation: every point's position at a time.
struct VertexAnimationKey
{
    TimeValue time = 0;
    std::vector<Point3> points;
};

// The stand-in's own keyed vertex-animation modifier, so that deformation
// without a skin can be sampled: it sets every point to the blend of the
// two keys around the time (straight, by time), holding the first key's
// points before it and the last's after it. Keys whose point count is not
// the object's are skipped. The validity is the segment between two keys
// with equal points (a hold), the times before the first key or after the
// last, else the time alone.
class VertexAnimationModifier : public Modifier
{
public:
    explicit VertexAnimationModifier(std::string name = "");

    // Keys in strictly increasing time order (false, nothing changed, else).
    bool SetKeys(std::vector<VertexAnimationKey> keys);
    const std::vector<VertexAnimationKey>& Keys() const { return m_Keys; }

    void ModifyObject(TimeValue t, Object& object, Interval& valid, INode* node) override;
    std::unique_ptr<Modifier> CloneModifier() const override;

private:
    std::vector<VertexAnimationKey> m_Keys;
};
