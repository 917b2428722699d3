// Reads arbitrary bytes as a host scene file; a scene that reads is dumped
// (which evaluates every node's transform) and its transforms are evaluated
// across the animation range and beyond.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/host/HostDump.h"
#include "platform/host/HostScene.h"
#include "platform/host/HostSceneFile.h"
#include "platform/host/INode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HostScene scene;
    std::string error;
    if (!ReadHostScene(reinterpret_cast<const char*>(data), size, "fuzz.json", scene, error))
        return 0;
    const std::string dump = DumpHostScene(scene);
    const HostSceneSettings& s = scene.Settings();
    const TimeValue times[] = {s.animStart - 1, s.animStart, s.animStart / 2 + s.animEnd / 2, s.animEnd, s.animEnd + 1};
    for (INode* node : scene.Nodes()) {
        for (const TimeValue t : times) {
            node->GetObjectTM(t);
            node->EvalWorldState(t);
        }
    }
    return dump.empty() ? 1 : 0;
}
