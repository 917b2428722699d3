#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/host/IParamBlock.h"
#include "platform/host/Modifier.h"

constexpr Class_ID MORPHER_CLASS_ID(0x17BB6854, 0xA5CBA2A3);
constexpr int MORPHER_CHANNELS = 100;

// A target of a channel: the points of the object at that weight (percent).
struct MorphTarget
{
    float percent = 100.0f;
    std::vector<Point3> points;
};

// One channel of the Morpher: its name, its weight (value 0 of its
// parameter block, in percent), its full target (reached at 100) and the
// further progressive targets before it, in increasing order of their
// percentages (each from 0 to 100; equal percentages are allowed, the later
// target then holds from that weight on).
class MorphChannel
{
public:
    MorphChannel();

    // Whether the channel holds a target (an unused channel is no
    // sub-animatable of the Morpher).
    bool IsUsed() const { return m_Used; }
    void SetUsed(bool used) { m_Used = used; }
    const std::string& GetName() const { return m_Name; }
    void SetName(std::string name) { m_Name = std::move(name); }
    IParamBlock* GetWeightBlock() const { return m_Weight.get(); }
    void SetWeightBlock(std::unique_ptr<IParamBlock> block) { m_Weight = std::move(block); }

    // The further progressive targets: their count, the percentage of the
    // first (kept by the channel itself) and of each (0 to count - 1; 100
    // for an index out of range).
    int GetNumProgressiveTargets() const { return int(m_Progressive.size()); }
    float GetTargetPercent() const { return GetProgressiveTargetPercent(0); }
    float GetProgressiveTargetPercent(int i) const;
    const std::vector<MorphTarget>& ProgressiveTargets() const { return m_Progressive; }
    void SetProgressiveTargets(std::vector<MorphTarget> targets) { m_Progressive = std::move(targets); }
    const std::vector<Point3>& Target() const { return m_Target; }
    void SetTarget(std::vector<Point3> points) { m_Target = std::move(points); }

    // The channel's points at weight w (percent) over the base points:
    // blended piecewise linearly from the base at 0 through each further
    // target at its percentage to the full target at 100; weights below 0
    // count as 0, above 100 as 100. Targets whose point count is not the
    // base's are left out.
    void Blend(float w, const std::vector<Point3>& base, std::vector<Point3>& out) const;

    MorphChannel Copy() const;

private:
    bool m_Used = false;
    std::string m_Name;
    std::unique_ptr<IParamBlock> m_Weight;
    std::vector<MorphTarget> m_Progressive;
    std::vector<Point3> m_Target;
};

// Stands in for the host's Morpher modifier: 100 channels (1 to 100). Each
// used channel moves the object's points by the difference between its
// blend at the channel's weight and the base; the differences of all
// channels add up. SubAnim(c) is the weight block of used channel c (null
// for an unused one, 0 or beyond 100) and SubAnimName(c) its name.
class MorpherModifier : public Modifier
{
public:
    explicit MorpherModifier(std::string name = "");

    // Channel c (1 to 100); channel 1 for an index out of range.
    MorphChannel& Channel(int c);
    const MorphChannel& Channel(int c) const;

    int NumSubs() const override { return MORPHER_CHANNELS + 1; }
    Animatable* SubAnim(int i) override;
    TSTR SubAnimName(int i) const override;

    void ModifyObject(TimeValue t, Object& object, Interval& valid, INode* node) override;
    std::unique_ptr<Modifier> CloneModifier() const override;

private:
    std::vector<MorphChannel> m_Channels;
};
