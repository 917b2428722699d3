#include "platform/host/Morpher.h"

#include "platform/host/KeyControl.h"

MorphChannel::MorphChannel() : m_Weight(std::make_unique<IParamBlock>(1)) {}

float MorphChannel::GetProgressiveTargetPercent(int i) const
{
    return i >= 0 && i < GetNumProgressiveTargets() ? m_Progressive[size_t(i)].percent : 100.0f;
}

void MorphChannel::Blend(float w, const std::vector<Point3>& base, std::vector<Point3>& out) const
{
    // The blend points: the base at 0, the targets that fit, the full target.
    std::vector<std::pair<float, const std::vector<Point3>*>> points{{0.0f, &base}};
    for (const MorphTarget& t : m_Progressive)
        if (t.points.size() == base.size())
            points.emplace_back(t.percent, &t.points);
    if (m_Target.size() == base.size())
        points.emplace_back(100.0f, &m_Target);
    out = base;
    if (!(w > 0.0f))
        w = 0.0f;
    if (w > 100.0f)
        w = 100.0f;
    // The last point at or below w; the segment after it has a width.
    size_t k = 0;
    while (k + 1 < points.size() && points[k + 1].first <= w)
        ++k;
    if (k + 1 == points.size()) {
        out = *points[k].second;
        return;
    }
    const float span = points[k + 1].first - points[k].first;
    const float f = span > 0.0f ? (w - points[k].first) / span : 0.0f;
    const std::vector<Point3>& a = *points[k].second;
    const std::vector<Point3>& b = *points[k + 1].second;
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = a[i] + (b[i] - a[i]) * f;
}

MorphChannel MorphChannel::Copy() const
{
    MorphChannel c;
    c.m_Used = m_Used;
    c.m_Name = m_Name;
    c.m_Weight = m_Weight->Clone();
    c.m_Progressive = m_Progressive;
    c.m_Target = m_Target;
    return c;
}

MorpherModifier::MorpherModifier(std::string name)
    : Modifier(MORPHER_CLASS_ID, "Morpher", std::move(name)), m_Channels(MORPHER_CHANNELS)
{
    for (MorphChannel& c : m_Channels) {
        // A constant weight is a keyless Bezier float controller, as the
        // host's default.
        auto weight = std::make_unique<IParamBlock>(1);
        weight->SetController(
            0, std::make_unique<KeyControl>(KeyControl::Track::Float, KeyControl::Interpolation::Bezier));
        c.SetWeightBlock(std::move(weight));
    }
}

MorphChannel& MorpherModifier::Channel(int c)
{
    return m_Channels[c >= 1 && c <= MORPHER_CHANNELS ? size_t(c - 1) : 0];
}

const MorphChannel& MorpherModifier::Channel(int c) const
{
    return m_Channels[c >= 1 && c <= MORPHER_CHANNELS ? size_t(c - 1) : 0];
}

Animatable* MorpherModifier::SubAnim(int i)
{
    if (i < 1 || i > MORPHER_CHANNELS || !Channel(i).IsUsed())
        return nullptr;
    return Channel(i).GetWeightBlock();
}

TSTR MorpherModifier::SubAnimName(int i) const
{
    if (i < 1 || i > MORPHER_CHANNELS || !Channel(i).IsUsed())
        return TSTR();
    return TSTR(Channel(i).GetName());
}

void MorpherModifier::ModifyObject(TimeValue t, Object& object, Interval& valid, INode*)
{
    const int n = object.NumPoints();
    std::vector<Point3> base(size_t(n > 0 ? n : 0));
    for (int i = 0; i < n; ++i)
        base[size_t(i)] = object.GetPoint(i);
    std::vector<Point3> result = base, blended;
    for (const MorphChannel& c : m_Channels) {
        if (!c.IsUsed())
            continue;
        float w = 0.0f;
        c.GetWeightBlock()->GetValue(0, t, w, valid);
        c.Blend(w, base, blended);
        for (size_t i = 0; i < result.size(); ++i)
            result[i] += blended[i] - base[i];
    }
    for (int i = 0; i < n; ++i)
        object.SetPoint(i, result[size_t(i)]);
}

std::unique_ptr<Modifier> MorpherModifier::CloneModifier() const
{
    auto copy = std::make_unique<MorpherModifier>(GetName());
    for (int c = 1; c <= MORPHER_CHANNELS; ++c)
        copy->Channel(c) = Channel(c).Copy();
    copy->CopyAFlags(*this);
    return copy;
}
