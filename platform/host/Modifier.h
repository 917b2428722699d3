#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/host/Object.h"

class INode;

constexpr SClass_ID OSM_CLASS_ID = 0x810;
constexpr SClass_ID GEN_DERIVOB_CLASS_ID = 2;
constexpr Class_ID DERIVOB_CLASS_ID(0x1, 0);

// Stands in for the host's object-space modifiers: one step of a modifier
// stack that moves an object's points at a time. A modifier is switched
// off by the animatable flag A_MOD_DISABLED; a switched-off modifier is
// skipped by evaluation.
class Modifier : public ReferenceTarget
{
public:
    Modifier(Class_ID classId, std::string className, std::string name);

    // The name given in the stack (the class name unless renamed).
    const std::string& GetName() const { return m_Name; }
    BOOL IsEnabled() const { return !TestAFlag(A_MOD_DISABLED); }

    // Changes the object's points as at time t and narrows valid to the
    // times over which the change stays the same. node is the node
    // evaluated (null when the stack was evaluated without one).
    virtual void ModifyObject(TimeValue t, Object& object, Interval& valid, INode* node) = 0;
    // A copy, settings and animation included (for CloneNodes), that the
    // caller owns.
    virtual std::unique_ptr<Modifier> CloneModifier() const = 0;

private:
    std::string m_Name;
};

// A modifier the stand-in knows by its class alone (a Bend, say): it
// changes nothing.
class OtherModifier : public Modifier
{
public:
    using Modifier::Modifier;

    void ModifyObject(TimeValue, Object&, Interval&, INode*) override {}
    std::unique_ptr<Modifier> CloneModifier() const override;
};

// Stands in for the host's derived object: a modifier stack over an object
// (the base, itself possibly a derived object). Modifier 0 is the top of the
// stack, the last one is applied first.
//
// Evaluating (Eval, or EvalWorldState of a node that shows it) copies the
// evaluated base into an object the derived object keeps, one per
// modifier index, applies every enabled modifier from the bottom up to that
// index, and gives that kept object: the result has one identity for the
// derived object (so the nodes that instance it share it), whatever the
// time, and each evaluation updates it in place. Its ObjectValidity is the
// intersection of the base's and the modifiers' validity at the time
// evaluated. A base that cannot be copied (a camera, say) is given as it
// is, unmodified.
class IDerivedObject : public Object
{
public:
    IDerivedObject();

    int NumModifiers() const { return int(m_Modifiers.size()); }
    // null for an index out of range.
    Modifier* GetModifier(int index) const;
    // Adds a modifier at the bottom of the stack (applied before the others).
    void AddModifierAtBottom(Modifier* modifier) { m_Modifiers.push_back(modifier); }
    Object* GetObjRef() const { return m_Base; }
    void ReferenceObject(Object* base) { m_Base = base; }

    // The stack evaluated at t from its base up to modifier modIndex
    // (included; 0 for the whole stack, an index beyond the stack for the
    // base alone).
    ObjectState Eval(TimeValue t, int modIndex);
    ObjectState Eval(TimeValue t) override { return Eval(t, 0); }
    Object* FindBaseObject() override;
    int CanConvertToType(Class_ID) override { return 0; }
    Object* ConvertToType(TimeValue, Class_ID) override { return nullptr; }

    // The node whose transform modifiers that need one (Skin, Physique) use
    // when the stack is evaluated directly; EvalWorldState sets it.
    void SetEvalNode(INode* node) { m_EvalNode = node; }
    INode* EvalNode() const { return m_EvalNode; }

private:
    Object* m_Base = nullptr;
    std::vector<Modifier*> m_Modifiers;
    std::map<int, std::unique_ptr<Object>> m_Results;
    INode* m_EvalNode = nullptr;
};
