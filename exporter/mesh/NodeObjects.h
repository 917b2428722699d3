#pragma once

#include "platform/host/TimeValue.h"

class INode;
class SplineShape;

// The node's object evaluated at time t as a spline shape, or null when it
// is not a shape or does not convert. deleteIt is set when the shape is a
// temporary copy that the caller deletes (ReferenceMaker::DeleteMe).
SplineShape* GetSplineShapeFromNode(INode* node, TimeValue t, bool& deleteIt);
