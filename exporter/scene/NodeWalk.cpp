#include "exporter/scene/NodeWalk.h"

#include <vector>

#include "exporter/driver/DriverState.h"
#include "exporter/options/Max2Qdx.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"

bool VisitDepthFirst(INode* start, const std::function<bool(INode*)>& visit)
{
    std::vector<INode*> pending;
    if (start)
        pending.push_back(start);
    while (!pending.empty()) {
        INode* node = pending.back();
        pending.pop_back();
        if (!visit(node))
            return false;
        for (int i = node->NumberOfChildren() - 1; i >= 0; --i)
            if (INode* child = node->GetChildNode(i))
                pending.push_back(child);
    }
    return true;
}

int WalkExportedNodes(Max2Qdx& exporter, INode* start, const std::function<void(INode*)>& visit)
{
    const bool ended = VisitDepthFirst(start, [&](INode* node) {
        if (GetExportDriverState().onlySelectedNodes && !node->Selected())
            return true;
        if (exporter.maxInterface->GetCancel())
            return false;
        visit(node);
        return true;
    });
    return ended ? 1 : 0;
}
