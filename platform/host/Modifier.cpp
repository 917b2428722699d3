#include "platform/host/Modifier.h"

Modifier::Modifier(Class_ID classId, std::string className, std::string name)
    : ReferenceTarget(OSM_CLASS_ID, classId, className), m_Name(name.empty() ? className : std::move(name))
{}

std::unique_ptr<Modifier> OtherModifier::CloneModifier() const
{
    auto copy = std::make_unique<OtherModifier>(ClassID(), ClassName(), GetName());
    copy->CopyAFlags(*this);
    return copy;
}

IDerivedObject::IDerivedObject() : Object(GEN_DERIVOB_CLASS_ID, DERIVOB_CLASS_ID, "Derived Object") {}

Modifier* IDerivedObject::GetModifier(int index) const
{
    if (index < 0 || index >= NumModifiers())
        return nullptr;
    return m_Modifiers[size_t(index)];
}

Object* IDerivedObject::FindBaseObject()
{
    // Iteratively: stacks may be nested deep.
    Object* o = m_Base;
    while (IDerivedObject* d = dynamic_cast<IDerivedObject*>(o))
        o = d->m_Base;
    return o;
}

ObjectState IDerivedObject::Eval(TimeValue t, int modIndex)
{
    if (!m_Base)
        return ObjectState();
    if (IDerivedObject* below = dynamic_cast<IDerivedObject*>(m_Base))
        below->SetEvalNode(m_EvalNode);
    const ObjectState base = m_Base->Eval(t);
    if (!base.obj)
        return base;
    if (modIndex < 0)
        modIndex = 0;
    if (modIndex > NumModifiers())
        modIndex = NumModifiers();
    std::unique_ptr<Object>& result = m_Results[modIndex];
    if (!result || !result->CopyFrom(*base.obj)) {
        result = base.obj->Clone();
        if (!result)
            return base;
    }
    Interval valid = base.obj->ObjectValidity(t);
    for (int i = NumModifiers() - 1; i >= modIndex; --i)
        if (m_Modifiers[size_t(i)]->IsEnabled())
            m_Modifiers[size_t(i)]->ModifyObject(t, *result, valid, m_EvalNode);
    result->SetValidity(valid);
    ObjectState state;
    state.obj = result.get();
    return state;
}
