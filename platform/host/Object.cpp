#include "platform/host/Object.h"

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
