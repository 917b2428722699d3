#pragma once

#include <memory>

#include "platform/host/Animatable.h"
#include "platform/host/Interval.h"
#include "platform/host/Point3.h"
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

    // The times over which the object stays as it is at t: every time for
    // an object of the scene, narrower for the result of a modifier stack
    // (the validity its evaluation at t found).
    virtual Interval ObjectValidity(TimeValue t);

    // The points modifiers move: a mesh's vertices, a patch mesh's vertices
    // then its vectors; none for other objects.
    virtual int NumPoints() const { return 0; }
    virtual Point3 GetPoint(int i) const;
    virtual void SetPoint(int i, const Point3& p);

    // A copy with the same class and contents, owned by the caller (null
    // for an object that cannot be copied: CloneNodes then shares it).
    virtual std::unique_ptr<Object> Clone() const;
    // Takes the contents of an object of the same kind (what an evaluation
    // cache does); false, and nothing changed, for another kind.
    virtual bool CopyFrom(const Object& other);

    // What ObjectValidity gives (set by the evaluation that made the object).
    void SetValidity(const Interval& valid) { m_Valid = valid; }

protected:
    Interval m_Valid;
};

// The classes the exporter recognises among plain objects.
constexpr Class_ID TARGET_CLASS_ID(0x1020, 0);
constexpr Class_ID BONE_OBJ_CLASSID(0x28BF6E8D, 0x2ECCA840);
constexpr Class_ID DUMMY_CLASS_ID(0x876234, 0);
