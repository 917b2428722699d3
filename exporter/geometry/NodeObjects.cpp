#include "exporter/geometry/NodeObjects.h"

#include "platform/host/INode.h"
#include "platform/host/Modifier.h"
#include "platform/host/PatchMesh.h"
#include "platform/host/Physique.h"
#include "platform/host/SkinModifier.h"
#include "platform/host/SplineShape.h"
#include "platform/host/TriObject.h"

namespace {

// The node's object at t converted to the class, when it is of the super
// class and converts into an object of type T; deleteIt when the result is
// a temporary copy.
template <class T>
T* ConvertObject(Object* object, TimeValue t, SClass_ID superClass, Class_ID classId, bool& deleteIt)
{
    deleteIt = false;
    if (!object || object->SuperClassID() != superClass || !object->CanConvertToType(classId))
        return nullptr;
    Object* converted = object->ConvertToType(t, classId);
    if (!converted)
        return nullptr;
    // An object of another kind may claim the class id: only a real object
    // of the kind is read as one.
    auto* result = dynamic_cast<T*>(converted);
    if (!result) {
        if (converted != object)
            converted->DeleteMe();
        return nullptr;
    }
    deleteIt = converted != object;
    return result;
}

template <class T>
T* ConvertNodeObject(INode* node, TimeValue t, SClass_ID superClass, Class_ID classId, bool& deleteIt)
{
    deleteIt = false;
    return node ? ConvertObject<T>(node->EvalWorldState(t).obj, t, superClass, classId, deleteIt) : nullptr;
}

// Modifier stacks deeper than this are taken for loops.
constexpr int kMaxStackDepth = 256;

} // namespace

SplineShape* GetSplineShapeFromNode(INode* node, TimeValue t, bool& deleteIt)
{
    return ConvertNodeObject<SplineShape>(node, t, SHAPE_CLASS_ID, SPLINESHAPE_CLASS_ID, deleteIt);
}

TriObject* GetTriObjectFromNode(INode* node, TimeValue t, bool& deleteIt)
{
    return ConvertNodeObject<TriObject>(node, t, GEOMOBJECT_CLASS_ID, triObjectClassID, deleteIt);
}

PatchObject* GetPatchObjectFromNode(INode* node, TimeValue t, bool& deleteIt)
{
    return ConvertNodeObject<PatchObject>(node, t, GEOMOBJECT_CLASS_ID, patchObjectClassID, deleteIt);
}

TriObject* GetTriObjectFromObject(Object* object, TimeValue t, bool& deleteIt)
{
    return ConvertObject<TriObject>(object, t, GEOMOBJECT_CLASS_ID, triObjectClassID, deleteIt);
}

namespace {

// Calls visit(stack, index, modifier) for each modifier of the class down
// the node's stacks, top first, until it returns true; that modifier, or
// null.
template <class Visit>
Modifier* WalkModifiers(INode* node, Class_ID classId, Visit&& visit)
{
    Object* object = node ? node->GetObjectRef() : nullptr;
    for (int depth = 0; object && object->SuperClassID() == GEN_DERIVOB_CLASS_ID && depth < kMaxStackDepth; ++depth) {
        auto* stack = dynamic_cast<IDerivedObject*>(object);
        if (!stack)
            break;
        for (int i = 0; i < stack->NumModifiers(); ++i) {
            Modifier* modifier = stack->GetModifier(i);
            if (modifier && modifier->ClassID() == classId && visit(stack, i, modifier))
                return modifier;
        }
        object = stack->GetObjRef();
    }
    return nullptr;
}

} // namespace

Modifier* FindModifier(INode* node, Class_ID classId, int* index, IDerivedObject** derived)
{
    return WalkModifiers(node, classId, [&](IDerivedObject* stack, int i, Modifier*) {
        if (index)
            *index = i;
        if (derived)
            *derived = stack;
        return true;
    });
}

XArray<Modifier*> FindModifiers(INode* node, Class_ID classId)
{
    XArray<Modifier*> found;
    WalkModifiers(node, classId, [&](IDerivedObject*, int, Modifier* modifier) {
        found.PushBack(modifier);
        return false;
    });
    return found;
}

int CountModifiers(INode* node, Class_ID classId)
{
    return FindModifiers(node, classId).Size();
}

Modifier* FindSkinModifier(INode* node)
{
    return FindModifier(node, SKIN_CLASSID, nullptr, nullptr);
}

Modifier* FindPhysiqueModifier(INode* node)
{
    return FindModifier(node, PHYSIQUE_CLASS_ID, nullptr, nullptr);
}

void DisableModifier(Modifier* modifier)
{
    if (!modifier)
        return;
    modifier->SetAFlag(A_MOD_DISABLED);
    modifier->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void EnableModifier(Modifier* modifier)
{
    if (!modifier)
        return;
    modifier->ClearAFlag(A_MOD_DISABLED);
    modifier->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}
