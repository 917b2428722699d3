#pragma once

#include <functional>

class INode;
class Max2Qdx;

// Visits the node and its subtree depth first, parents before children, in
// child order, without recursion (a deep hierarchy must not exhaust the
// stack). visit gives false to stop the walk; the result is false then.
bool VisitDepthFirst(INode* start, const std::function<bool(INode*)>& visit);

// The walk of the passes after the objects: depth first, parents before
// children, in child order, without recursion. A node outside the selection
// of a selected-only export is passed over (its children are still
// visited); every other node first tests the cancel button, then is handed
// to visit. 1 when the walk ended, 0 when it was cancelled.
int WalkExportedNodes(Max2Qdx& exporter, INode* start, const std::function<void(INode*)>& visit);
