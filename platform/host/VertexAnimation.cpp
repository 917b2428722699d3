#include "platform/host/VertexAnimation.h"

VertexAnimationModifier::VertexAnimationModifier(std::string name)
    : Modifier(VERTEX_ANIMATION_CLASS_ID, "Vertex Animation", std::move(name))
{}

bool VertexAnimationModifier::SetKeys(std::vector<VertexAnimationKey> keys)
{
    for (size_t i = 1; i < keys.size(); ++i)
        if (keys[i].time <= keys[i - 1].time)
            return false;
    m_Keys = std::move(keys);
    return true;
}

void VertexAnimationModifier::ModifyObject(TimeValue t, Object& object, Interval& valid, INode*)
{
    const size_t n = size_t(object.NumPoints() > 0 ? object.NumPoints() : 0);
    std::vector<const VertexAnimationKey*> keys;
    for (const VertexAnimationKey& k : m_Keys)
        if (k.points.size() == n)
            keys.push_back(&k);
    if (keys.empty())
        return;
    const VertexAnimationKey* a = keys.front();
    const VertexAnimationKey* b = a;
    if (t <= keys.front()->time) {
        valid &= Interval(TIME_NegInfinity, keys.front()->time);
    } else if (t >= keys.back()->time) {
        a = b = keys.back();
        valid &= Interval(keys.back()->time, TIME_PosInfinity);
    } else {
        size_t i = 0;
        while (keys[i + 1]->time <= t)
            ++i;
        a = keys[i];
        b = keys[i + 1];
        if (a->points == b->points)
            valid &= Interval(a->time, b->time);
        else
            valid &= Interval(t, t);
    }
    const float u = b->time > a->time ? float((double(t) - a->time) / (double(b->time) - a->time)) : 0.0f;
    for (size_t i = 0; i < n; ++i)
        object.SetPoint(int(i), a->points[i] * (1.0f - u) + b->points[i] * u);
}

std::unique_ptr<Modifier> VertexAnimationModifier::CloneModifier() const
{
    auto copy = std::make_unique<VertexAnimationModifier>(GetName());
    copy->m_Keys = m_Keys;
    copy->CopyAFlags(*this);
    return copy;
}
