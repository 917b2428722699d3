#include "tools/info/ExportSummary.h"

#include <vector>

#include "platform/host/INode.h"
#include "platform/host/Interval.h"
#include "platform/host/Object.h"

namespace {

std::string Count(int n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool Covers(const Interval& valid, int start, int end)
{
    return valid.Start() <= start && valid.End() >= end;
}

} // namespace

std::string ExportClosingLine(const ExportLosses& losses)
{
    std::vector<std::string> parts;
    if (losses.warnings > 0)
        parts.push_back(Count(losses.warnings, "warning", "warnings"));
    if (losses.errors > 0)
        parts.push_back(Count(losses.errors, "error", "errors"));
    if (losses.importWarnings > 0)
        parts.push_back(Count(losses.importWarnings, "import warning", "import warnings"));
    if (losses.missingBitmaps > 0)
        parts.push_back(Count(losses.missingBitmaps, "bitmap not found", "bitmaps not found"));
    if (losses.nothingExported)
        parts.push_back("nothing exported");
    if (losses.animationLeftOut)
        parts.push_back("the scene's animation left out (exportAnimation is off)");
    if (parts.empty())
        return "";
    std::string line = "qdxexport: saved with ";
    for (size_t i = 0; i < parts.size(); ++i)
        line += (i ? ", " : "") + parts[i];
    return line + "\n";
}

bool SceneAnimates(INode* root, int start, int end, bool onlySelected)
{
    if (!root)
        return false;
    // An explicit stack: hierarchies may be deep.
    std::vector<INode*> nodes;
    for (int i = root->NumberOfChildren(); i-- > 0;)
        nodes.push_back(root->GetChildNode(i));
    while (!nodes.empty()) {
        INode* node = nodes.back();
        nodes.pop_back();
        if (!node)
            continue;
        for (int i = node->NumberOfChildren(); i-- > 0;)
            nodes.push_back(node->GetChildNode(i));
        if (onlySelected && !node->Selected())
            continue;
        Interval moves = FOREVER;
        node->GetNodeTM(start, &moves);
        if (!Covers(moves, start, end))
            return true;
        Object* object = node->EvalWorldState(start).obj;
        if (object && !Covers(object->ObjectValidity(start), start, end))
            return true;
    }
    return false;
}
