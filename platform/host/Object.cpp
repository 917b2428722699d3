#include "platform/host/Object.h"

#include <typeinfo>

ObjectState Object::Eval(TimeValue)
{
    ObjectState state;
    state.obj = this;
    return state;
}

Object* Object::ConvertToType(TimeValue, Class_ID classId)
{
    return classId == ClassID() ? this : nullptr;
}

Interval Object::ObjectValidity(TimeValue)
{
    return m_Valid;
}

Point3 Object::GetPoint(int) const
{
    return Point3();
}

void Object::SetPoint(int, const Point3&) {}

std::unique_ptr<Object> Object::Clone() const
{
    // Plain objects (known by their class alone) copy exactly; the classes
    // with contents of their own override this.
    if (typeid(*this) != typeid(Object))
        return nullptr;
    auto copy = std::make_unique<Object>(SuperClassID(), ClassID(), ClassName());
    copy->m_Valid = m_Valid;
    return copy;
}

bool Object::CopyFrom(const Object& other)
{
    if (typeid(other) != typeid(*this) || typeid(*this) != typeid(Object))
        return false;
    m_Valid = other.m_Valid;
    return true;
}
