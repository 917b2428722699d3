// Reads arbitrary bytes as a host scene file; a scene that reads is dumped
// (which evaluates every node's transform and modifier stack), its
// transforms and objects are evaluated across the animation range and
// beyond, and a hold around node copies, Morpher weights and switched-off
// modifiers must give the scene back as it was.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/host/Hold.h"
#include "platform/host/HostDump.h"
#include "platform/host/HostScene.h"
#include "platform/host/HostSceneFile.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "platform/host/Modifier.h"
#include "platform/host/Morpher.h"
#include "platform/host/TriObject.h"

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
            if (TriObject* tri = dynamic_cast<TriObject*>(node->EvalWorldState(t).obj))
                tri->mesh.buildNormals();
        }
    }
    Interface ip(scene);
    ip.SetEcho(false);
    theHold.SuperBegin();
    INodeTab list;
    for (size_t i = 0; i < scene.Nodes().size() && i < 3; ++i)
        list.Append(1, &scene.Nodes()[i]);
    ip.CloneNodes(list, Point3(), false);
    for (INode* node : scene.Nodes()) {
        for (Object* o = node->GetObjectRef(); IDerivedObject* d = dynamic_cast<IDerivedObject*>(o); o = d->GetObjRef())
            for (int m = 0; m < d->NumModifiers(); ++m) {
                Modifier* modifier = d->GetModifier(m);
                modifier->SetAFlag(A_MOD_DISABLED);
                for (int c = 1; c <= MORPHER_CHANNELS; ++c)
                    if (IParamBlock* weight = dynamic_cast<IParamBlock*>(modifier->SubAnim(c)))
                        weight->SetValue(0, s.animStart, 100.0f);
            }
        node->SetName("changed");
    }
    theHold.SuperCancel();
    if (DumpHostScene(scene) != dump)
        __builtin_trap();
    return dump.empty() ? 1 : 0;
}
