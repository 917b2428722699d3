#include "exporter/scene/NodeWalk.h"

#include <vector>

#include "exporter/driver/DriverState.h"
#include "exporter/options/Max2Qdx.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"

int WalkExportedNodes(Max2Qdx& exporter, INode* start, const std::function<void(INode*)>& visit)
{
    std::vector<INode*> pending;
    if (start)
        pending.push_back(start);
    while (!pending.empty()) {
        INode* node = pending.back();
        pending.pop_back();
        if (!GetExportDriverState().onlySelectedNodes || node->Selected()) {
            if (exporter.maxInterface->GetCancel())
                return 0;
            visit(node);
        }
        for (int i = node->NumberOfChildren() - 1; i >= 0; --i)
            if (INode* child = node->GetChildNode(i))
                pending.push_back(child);
    }
    return 1;
}
