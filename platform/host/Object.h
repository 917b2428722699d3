#pragma once

#include "platform/host/Animatable.h"
#include "platform/host/TimeValue.h"

class Object;

// What a node's pipeline gives at one time: the object at its end.
struct ObjectState
{
    Object* obj = nullptr;
};

class BaseObject : public ReferenceTarget
{
public:
    using ReferenceTarget::ReferenceTarget;
};

// Stands in for the host's Object: a node's object, identified by its class.
// A plain Object is one the stand-in knows only by its class (a geometry
// primitive, a helper, a target...); cameras, lights and shapes are classes
// of their own (GenCamera.h, GenLight.h, SplineShape.h).
class Object : public BaseObject
{
public:
    using BaseObject::BaseObject;

    // The object this one evaluates to at time t (itself, for an object that
    // is not a modifier stack).
    virtual ObjectState Eval(TimeValue t);
    // The object at the bottom of the modifier stack (itself here).
    virtual Object* FindBaseObject() { return this; }
    // Whether, and into what, it converts to the class given; a conversion
    // into its own class gives itself, never a copy.
    virtual int CanConvertToType(Class_ID classId) { return classId == ClassID() ? 1 : 0; }
    virtual Object* ConvertToType(TimeValue t, Class_ID classId);
};

// The classes the exporter recognises among plain objects.
constexpr Class_ID TARGET_CLASS_ID(0x1020, 0);
constexpr Class_ID BONE_OBJ_CLASSID(0x28BF6E8D, 0x2ECCA840);
constexpr Class_ID DUMMY_CLASS_ID(0x876234, 0);
