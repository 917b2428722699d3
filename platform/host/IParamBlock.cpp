#include "platform/host/IParamBlock.h"

#include "platform/host/Hold.h"
#include "platform/host/KeyControl.h"

IParamBlock::IParamBlock(int count)
    : ReferenceTarget(PARAMETER_BLOCK_CLASS_ID, Class_ID(0x8, 0), "Parameters"),
      m_Values(count > 0 ? size_t(count) : 0, 0.0f), m_Controllers(m_Values.size())
{}

IParamBlock::~IParamBlock() = default;

BOOL IParamBlock::GetValue(int i, TimeValue t, float& v, Interval& valid) const
{
    if (i < 0 || i >= NumParams())
        return FALSE;
    if (Control* c = m_Controllers[size_t(i)].get())
        c->GetValue(t, &v, valid);
    else
        v = m_Values[size_t(i)];
    return TRUE;
}

BOOL IParamBlock::SetValue(int i, TimeValue t, float v)
{
    if (i < 0 || i >= NumParams())
        return FALSE;
    if (KeyControl* k = dynamic_cast<KeyControl*>(m_Controllers[size_t(i)].get())) {
        k->SetFloatAt(t, v);
        return TRUE;
    }
    if (m_Controllers[size_t(i)])
        return FALSE;
    float& value = m_Values[size_t(i)];
    if (theHold.Holding())
        theHold.Put([&value, old = value] { value = old; });
    value = v;
    return TRUE;
}

Control* IParamBlock::GetController(int i) const
{
    return i >= 0 && i < NumParams() ? m_Controllers[size_t(i)].get() : nullptr;
}

void IParamBlock::SetController(int i, std::unique_ptr<Control> controller)
{
    if (i >= 0 && i < NumParams())
        m_Controllers[size_t(i)] = std::move(controller);
}

std::unique_ptr<IParamBlock> IParamBlock::Clone() const
{
    auto copy = std::make_unique<IParamBlock>(NumParams());
    copy->m_Values = m_Values;
    for (size_t i = 0; i < m_Controllers.size(); ++i)
        if (m_Controllers[i])
            copy->m_Controllers[i] = m_Controllers[i]->CloneControl();
    return copy;
}
