#pragma once

#include "includes/XArray.h"
#include "platform/host/Class_ID.h"
#include "platform/host/TimeValue.h"

class IDerivedObject;
class INode;
class Modifier;
class Object;
class PatchObject;
class SplineShape;
class TriObject;

// The node's object evaluated at time t as a spline shape, or null when it
// is not a shape or does not convert. deleteIt is set when the shape is a
// temporary copy that the caller deletes (ReferenceMaker::DeleteMe).
SplineShape* GetSplineShapeFromNode(INode* node, TimeValue t, bool& deleteIt);
// The same for a geometric object as a triangle mesh and as a patch mesh.
TriObject* GetTriObjectFromNode(INode* node, TimeValue t, bool& deleteIt);
PatchObject* GetPatchObjectFromNode(INode* node, TimeValue t, bool& deleteIt);
// An evaluated object as a triangle mesh, or null when it is not geometry
// or does not convert; deleteIt as above.
TriObject* GetTriObjectFromObject(Object* object, TimeValue t, bool& deleteIt);

// The first modifier of the class met walking the node's modifier stacks
// from the top (index 0 of each derived object first), with its index and
// derived object (either out pointer may be null); null when none.
Modifier* FindModifier(INode* node, Class_ID classId, int* index, IDerivedObject** derived);
// Every modifier of the class on the node's stacks, top first.
XArray<Modifier*> FindModifiers(INode* node, Class_ID classId);
// How many modifiers of the class the node's stacks hold.
int CountModifiers(INode* node, Class_ID classId);
// The node's Skin or Physique modifier; null when it has none.
Modifier* FindSkinModifier(INode* node);
Modifier* FindPhysiqueModifier(INode* node);
// Switches a modifier off or on and tells its dependents.
void DisableModifier(Modifier* modifier);
void EnableModifier(Modifier* modifier);
