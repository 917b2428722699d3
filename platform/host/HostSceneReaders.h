#pragma once

#include "platform/host/HostSceneJson.h"

class HostScene;
class IDerivedObject;
class INode;
class Mtl;
class Object;
class PatchObject;
class Texmap;
class TriObject;

// The readers of the scene file's geometry and materials (the parts of the
// format beyond the node tree). Each checks everything it reads.
namespace hostscene {

// Resolves the ids of the file: an id of the kind asked, or a failure at the
// place given.
class SceneLinks
{
public:
    virtual ~SceneLinks() = default;
    virtual Object* ObjectOf(const json& j, const Place& place) const = 0;
    virtual INode* NodeOf(const json& j, const Place& place) const = 0;
    virtual Texmap* TexmapOf(const json& j, const Place& place) const = 0;
};

// {"kind": "mesh", ...}: a triangle mesh object.
TriObject* ReadMeshObject(const json& o, const Place& place, HostScene& scene);
// {"kind": "patch", ...}: a patch object, its edges made from its patches.
PatchObject* ReadPatchObject(const json& o, const Place& place, HostScene& scene);
// The modifiers of {"kind": "derived", ...}, once every node exists and the
// derived object's base is set; node is the first node that shows it (null
// for none).
void ReadModifierStack(const json& o, const Place& place, IDerivedObject& derived, HostScene& scene,
                       const SceneLinks& links, INode* node);

// An entry of "texmaps".
Texmap* ReadTexmap(const json& t, const Place& place, HostScene& scene);
// A material of the kind given (0 standard, 1 multi, 2 shell) with its own
// fields; sub-materials are linked by the caller.
Mtl* ReadMaterial(const json& m, const Place& place, int kind, HostScene& scene, const SceneLinks& links);

} // namespace hostscene
