#include <limits>
#include <set>

#include "platform/host/HostScene.h"
#include "platform/host/HostSceneReaders.h"
#include "platform/host/INode.h"
#include "platform/host/Morpher.h"
#include "platform/host/PatchMesh.h"
#include "platform/host/Physique.h"
#include "platform/host/SkinModifier.h"
#include "platform/host/TriObject.h"
#include "platform/host/VertexAnimation.h"

namespace hostscene {

namespace {

// An index into a list of count items.
int Index(const json& j, const Place& place, int count)
{
    return int(Integer(j, place, 0, int64_t(count) - 1));
}

// An array with one entry per item of a list of count.
const json& PerItem(const json& j, const Place& place, size_t count, const char* what)
{
    Array(j, place);
    if (j.size() != count)
        Fail(place,
             "expected " + std::to_string(count) + " entries, one per " + what + ", found " + std::to_string(j.size()));
    return j;
}

// Three indices into a list of count.
void Triple(const json& j, const Place& place, int count, DWORD* out)
{
    if (!j.is_array() || j.size() != 3)
        Fail(place, "expected an array of three indices");
    for (int k = 0; k < 3; ++k)
        out[k] = DWORD(Index(j[size_t(k)], place.Item(k), count));
}

std::vector<Point3> Points(const json& j, const Place& place)
{
    Array(j, place);
    std::vector<Point3> points;
    points.reserve(j.size());
    for (size_t i = 0; i < j.size(); ++i)
        points.push_back(Vector(j[i], place.Item(int(i))));
    return points;
}

// A texture vertex: [u, v] or [u, v, w].
UVVert MapVertex(const json& j, const Place& place)
{
    if (j.is_array() && j.size() == 2) {
        float v[2];
        Floats(j, place, v, 2);
        return UVVert(v[0], v[1], 0.0f);
    }
    if (!j.is_array() || j.size() != 3)
        Fail(place, "expected an array of two or three numbers");
    return Vector(j, place);
}

// A map channel number, once per list.
int Channel(const json& m, const Place& place, std::set<int>& seen)
{
    const Place cp = place.Member("channel");
    const int channel = int(Integer(Required(m, "channel", place), cp, -NUM_HIDDENMAPS, MAX_MESHMAPS - 1));
    if (!seen.insert(channel).second)
        Fail(cp, "map channel " + std::to_string(channel) + " is given twice");
    return channel;
}

// The map channels of a mesh or a patch: each entry's channel (once in the
// list) and vertices, handed on with the entry and its place for the faces
// (faces names them: "faces" or "patches").
template <class Read>
void Maps(const json& o, const Place& place, const char* faces, Read read)
{
    const json* maps = Find(o, "maps");
    if (!maps)
        return;
    const Place mp = place.Member("maps");
    Array(*maps, mp);
    std::set<int> seen;
    for (size_t m = 0; m < maps->size(); ++m) {
        const Place item = mp.Item(int(m));
        const json& map = Members((*maps)[m], item, {"channel", "vertices", faces});
        const int channel = Channel(map, item, seen);
        const Place vp = item.Member("vertices");
        const json& vertices = Array(Required(map, "vertices", item), vp);
        std::vector<UVVert> uvs;
        uvs.reserve(vertices.size());
        for (size_t i = 0; i < vertices.size(); ++i)
            uvs.push_back(MapVertex(vertices[i], vp.Item(int(i))));
        read(channel, std::move(uvs), map, item);
    }
}

} // namespace

TriObject* ReadMeshObject(const json& o, const Place& place, HostScene& scene)
{
    Members(o, place,
            {"id", "kind", "classId", "className", "customAttributes", "vertices", "faces", "smoothingGroups",
             "materialIds", "edgeVisibility", "maps", "normals", "vertexWeights"});
    const Class_ID classId = Optional<Class_ID>(o, "classId", place, triObjectClassID, ClassIdValue);
    auto object = std::make_unique<TriObject>(
        classId,
        Optional<std::string>(o, "className", place, classId == triObjectClassID ? "Editable Mesh" : "", String));
    Mesh& mesh = object->mesh;
    if (const json* vertices = Find(o, "vertices"))
        mesh.verts = Points(*vertices, place.Member("vertices"));
    const int nv = mesh.getNumVerts();
    if (const json* faces = Find(o, "faces")) {
        const Place fp = place.Member("faces");
        Array(*faces, fp);
        mesh.faces.resize(faces->size());
        for (size_t f = 0; f < faces->size(); ++f)
            Triple((*faces)[f], fp.Item(int(f)), nv, mesh.faces[f].v);
    }
    const size_t nf = mesh.faces.size();
    if (const json* groups = Find(o, "smoothingGroups")) {
        const Place gp = place.Member("smoothingGroups");
        PerItem(*groups, gp, nf, "face");
        for (size_t f = 0; f < nf; ++f)
            mesh.faces[f].smGroup = DWORD(Integer((*groups)[f], gp.Item(int(f)), 0, 0xFFFFFFFFll));
    }
    if (const json* ids = Find(o, "materialIds")) {
        const Place ip = place.Member("materialIds");
        PerItem(*ids, ip, nf, "face");
        for (size_t f = 0; f < nf; ++f)
            mesh.faces[f].setMatID(MtlID(Integer((*ids)[f], ip.Item(int(f)), 0, 0xFFFF)));
    }
    if (const json* edges = Find(o, "edgeVisibility")) {
        const Place ep = place.Member("edgeVisibility");
        PerItem(*edges, ep, nf, "face");
        for (size_t f = 0; f < nf; ++f)
            mesh.faces[f].flags =
                (mesh.faces[f].flags & ~EDGE_ALL) | DWORD(Integer((*edges)[f], ep.Item(int(f)), 0, 7));
    }
    Maps(o, place, "faces", [&](int channel, std::vector<UVVert> uvs, const json& map, const Place& item) {
        mesh.setMapSupport(channel);
        MeshMap& target = mesh.Map(channel);
        target.tv = std::move(uvs);
        const Place fp = item.Member("faces");
        const json& faces = PerItem(Required(map, "faces", item), fp, nf, "face");
        target.tf.resize(nf);
        for (size_t f = 0; f < nf; ++f)
            Triple(faces[f], fp.Item(int(f)), target.getNumVerts(), target.tf[f].t);
    });
    if (const json* normals = Find(o, "normals")) {
        const Place np = place.Member("normals");
        Members(*normals, np, {"normals", "faces"});
        MeshNormalSpec& spec = mesh.SpecifyNormals();
        spec.normals = Points(Required(*normals, "normals", np), np.Member("normals"));
        const Place fp = np.Member("faces");
        const json& faces = PerItem(Required(*normals, "faces", np), fp, nf, "face");
        spec.faces.resize(nf);
        for (size_t f = 0; f < nf; ++f) {
            DWORD ids[3];
            Triple(faces[f], fp.Item(int(f)), spec.GetNumNormals(), ids);
            for (int k = 0; k < 3; ++k)
                spec.faces[f].mNormalID[k] = int(ids[k]);
        }
    }
    if (const json* weights = Find(o, "vertexWeights")) {
        const Place wp = place.Member("vertexWeights");
        PerItem(*weights, wp, size_t(nv), "vertex");
        mesh.setVDataSupport(VDATA_WEIGHT);
        float* data = mesh.vertexFloat(VDATA_WEIGHT);
        for (size_t i = 0; data && i < size_t(nv); ++i)
            data[i] = Float((*weights)[i], wp.Item(int(i)));
    }
    return scene.Adopt(std::move(object));
}

PatchObject* ReadPatchObject(const json& o, const Place& place, HostScene& scene)
{
    Members(o, place, {"id", "kind", "customAttributes", "vertices", "vectors", "patches", "maps", "steps"});
    auto object = std::make_unique<PatchObject>();
    PatchMesh& patch = object->patch;
    if (const json* vertices = Find(o, "vertices"))
        for (const Point3& p : Points(*vertices, place.Member("vertices")))
            patch.verts.push_back(PatchVert{p});
    if (const json* vectors = Find(o, "vectors"))
        for (const Point3& p : Points(*vectors, place.Member("vectors")))
            patch.vecs.push_back(PatchVec{p});
    const int nv = patch.getNumVerts(), nvec = patch.getNumVecs();
    if (const json* patches = Find(o, "patches")) {
        const Place pp = place.Member("patches");
        Array(*patches, pp);
        for (size_t i = 0; i < patches->size(); ++i) {
            const Place item = pp.Item(int(i));
            const json& p = Members((*patches)[i], item,
                                    {"type", "corners", "vectors", "interior", "smoothingGroup", "materialId"});
            Patch patchItem;
            patchItem.type = Optional<int>(p, "type", item, 1,
                                           [](const json& j, const Place& at) {
                                               return Enum(j, at, {"tri", "quad"});
                                           }) == 0
                                 ? PATCH_TRI
                                 : PATCH_QUAD;
            const size_t corners = size_t(patchItem.Corners());
            const auto indices = [&](const char* key, size_t count, int limit, int* out) {
                const Place kp = item.Member(key);
                const json& list = Array(Required(p, key, item), kp);
                if (list.size() != count)
                    Fail(kp, "a " + std::string(corners == 3 ? "triangular" : "quadrilateral") + " patch has " +
                                 std::to_string(count) + " of them");
                for (size_t k = 0; k < count; ++k)
                    out[k] = Index(list[k], kp.Item(int(k)), limit);
            };
            indices("corners", corners, nv, patchItem.v);
            indices("vectors", 2 * corners, nvec, patchItem.vec);
            indices("interior", corners, nvec, patchItem.interior);
            patchItem.smGroup =
                DWORD(Optional<int64_t>(p, "smoothingGroup", item, 0, [](const json& j, const Place& at) {
                    return Integer(j, at, 0, 0xFFFFFFFFll);
                }));
            patchItem.setMatID(MtlID(Optional<int64_t>(
                p, "materialId", item, 0, [](const json& j, const Place& at) { return Integer(j, at, 0, 0xFFFF); })));
            patch.patches.push_back(patchItem);
        }
    }
    const size_t np = patch.patches.size();
    Maps(o, place, "patches", [&](int channel, std::vector<UVVert> uvs, const json& map, const Place& item) {
        patch.setMapSupport(channel);
        PatchMap& target = patch.Map(channel);
        for (const UVVert& uv : uvs)
            target.tv.push_back(PatchTVert{uv});
        const Place pp = item.Member("patches");
        const json& patches = PerItem(Required(map, "patches", item), pp, np, "patch");
        target.tp.resize(np);
        for (size_t i = 0; i < np; ++i) {
            const Place ip = pp.Item(int(i));
            const size_t corners = size_t(patch.patches[i].Corners());
            if (!patches[i].is_array() || patches[i].size() != corners)
                Fail(ip, "expected " + std::to_string(corners) + " indices, one per corner of the patch");
            for (size_t k = 0; k < corners; ++k)
                target.tp[i].tv[k] = Index(patches[i][k], ip.Item(int(k)), int(target.tv.size()));
        }
    });
    patch.setMeshSteps(int(Optional<int64_t>(o, "steps", place, 5,
                                             [](const json& j, const Place& at) { return Integer(j, at, 0, 100); })));
    patch.buildLinkages();
    return scene.Adopt(std::move(object));
}

namespace {

// Point lists of a modifier: one point per point of the object.
std::vector<Point3> ObjectPoints(const json& j, const Place& place, int points)
{
    std::vector<Point3> list = Points(PerItem(j, place, size_t(points), "point of the object"), place);
    return list;
}

std::unique_ptr<Modifier> ReadMorpher(const json& m, const Place& place, int points)
{
    Members(m, place, {"kind", "name", "enabled", "channels"});
    auto morpher = std::make_unique<MorpherModifier>(Optional<std::string>(m, "name", place, "", String));
    const Place cp = place.Member("channels");
    const json& channels = Array(Required(m, "channels", place), cp);
    std::set<int> seen;
    for (size_t i = 0; i < channels.size(); ++i) {
        const Place item = cp.Item(int(i));
        const json& c = Members(channels[i], item, {"channel", "name", "weight", "target", "progressive"});
        const Place np = item.Member("channel");
        const int number = int(Integer(Required(c, "channel", item), np, 1, MORPHER_CHANNELS));
        if (!seen.insert(number).second)
            Fail(np, "channel " + std::to_string(number) + " is given twice");
        MorphChannel& channel = morpher->Channel(number);
        channel.SetUsed(true);
        channel.SetName(Optional<std::string>(c, "name", item, "", String));
        channel.SetTarget(ObjectPoints(Required(c, "target", item), item.Member("target"), points));
        if (const json* weight = Find(c, "weight")) {
            const Place wp = item.Member("weight");
            auto block = std::make_unique<IParamBlock>(1);
            if (weight->is_object()) {
                block->SetController(0, KeyedTrack(*weight, wp, KeyControl::Track::Float));
            } else {
                auto constant =
                    std::make_unique<KeyControl>(KeyControl::Track::Float, KeyControl::Interpolation::Bezier);
                HostKey k;
                k.value.x = Float(*weight, wp);
                constant->SetConstant(k);
                block->SetController(0, std::move(constant));
            }
            channel.SetWeightBlock(std::move(block));
        }
        if (const json* progressive = Find(c, "progressive")) {
            const Place pp = item.Member("progressive");
            Array(*progressive, pp);
            std::vector<MorphTarget> targets;
            for (size_t k = 0; k < progressive->size(); ++k) {
                const Place tp = pp.Item(int(k));
                const json& t = Members((*progressive)[k], tp, {"percent", "points"});
                MorphTarget target;
                const Place percentPlace = tp.Member("percent");
                target.percent = FloatIn(Required(t, "percent", tp), percentPlace, 0.0f, 100.0f);
                if (!targets.empty() && target.percent < targets.back().percent)
                    Fail(percentPlace, "progressive targets come in increasing percentages");
                target.points = ObjectPoints(Required(t, "points", tp), tp.Member("points"), points);
                targets.push_back(std::move(target));
            }
            channel.SetProgressiveTargets(std::move(targets));
        }
    }
    return morpher;
}

std::unique_ptr<Modifier> ReadSkin(const json& m, const Place& place, int points, const SceneLinks& links, INode* node)
{
    Members(m, place, {"kind", "name", "enabled", "bones", "initTM", "weights"});
    auto skin = std::make_unique<SkinModifier>(Optional<std::string>(m, "name", place, "", String));
    const Place bp = place.Member("bones");
    const json& bones = Array(Required(m, "bones", place), bp);
    std::vector<INode*> boneNodes;
    std::vector<Matrix3> initTMs;
    for (size_t i = 0; i < bones.size(); ++i) {
        const Place item = bp.Item(int(i));
        const json& b = Members(bones[i], item, {"node", "initTM"});
        INode* bone = links.NodeOf(Required(b, "node", item), item.Member("node"));
        for (const INode* seen : boneNodes)
            if (seen == bone)
                Fail(item.Member("node"), "node " + Quoted(bone->HostId()) + " is already a bone of the skin");
        boneNodes.push_back(bone);
        initTMs.push_back(Optional<Matrix3>(b, "initTM", item, bone->GetNodeTM(0), MatrixValue));
    }
    skin->SetBones(std::move(boneNodes), std::move(initTMs));
    skin->SetSkinInitTM(Optional<Matrix3>(m, "initTM", place, node ? node->GetNodeTM(0) : Matrix3(), MatrixValue));
    const Place wp = place.Member("weights");
    const json& weights = PerItem(Required(m, "weights", place), wp, size_t(points), "point of the object");
    skin->Weights().resize(weights.size());
    for (size_t v = 0; v < weights.size(); ++v) {
        const Place vp = wp.Item(int(v));
        const json& list = Array(weights[v], vp);
        for (size_t k = 0; k < list.size(); ++k) {
            const Place kp = vp.Item(int(k));
            if (!list[k].is_array() || list[k].size() != 2)
                Fail(kp, "expected [bone, weight]");
            SkinWeight w;
            w.bone = Index(list[k][0], kp.Item(0), skin->BoneCount());
            w.weight = Float(list[k][1], kp.Item(1));
            skin->Weights()[v].push_back(w);
        }
    }
    return skin;
}

std::unique_ptr<Modifier> ReadPhysique(const json& m, const Place& place, int points, const SceneLinks& links,
                                       INode* node)
{
    Members(m, place, {"kind", "name", "enabled", "initTM", "bones", "vertices"});
    auto physique = std::make_unique<PhysiqueModifier>(Optional<std::string>(m, "name", place, "", String));
    physique->SetNodeInitTM(Optional<Matrix3>(m, "initTM", place, node ? node->GetNodeTM(0) : Matrix3(), MatrixValue));
    if (const json* bones = Find(m, "bones")) {
        const Place bp = place.Member("bones");
        Array(*bones, bp);
        for (size_t i = 0; i < bones->size(); ++i) {
            const Place item = bp.Item(int(i));
            const json& b = Members((*bones)[i], item, {"node", "initTM"});
            INode* bone = links.NodeOf(Required(b, "node", item), item.Member("node"));
            if (physique->HasBoneInitTM(bone))
                Fail(item.Member("node"), "node " + Quoted(bone->HostId()) + " is given twice");
            physique->SetBoneInitTM(bone, MatrixValue(Required(b, "initTM", item), item.Member("initTM")));
        }
    }
    const Place vp = place.Member("vertices");
    const json& vertices = PerItem(Required(m, "vertices", place), vp, size_t(points), "point of the object");
    for (size_t v = 0; v < vertices.size(); ++v) {
        const Place item = vp.Item(int(v));
        const json& entry = Members(vertices[v], item, {"rigid", "blended"});
        PhysiqueVertex vertex;
        if (const json* rigid = Find(entry, "rigid")) {
            if (Find(entry, "blended"))
                Fail(item, "a vertex is rigid or blended, not both");
            vertex.nodes.push_back(links.NodeOf(*rigid, item.Member("rigid")));
            vertex.weights.push_back(1.0f);
        } else {
            const Place blendPlace = item.Member("blended");
            const json& blend = Array(Required(entry, "blended", item), blendPlace);
            vertex.type = RIGID_BLENDED_TYPE;
            for (size_t k = 0; k < blend.size(); ++k) {
                const Place kp = blendPlace.Item(int(k));
                if (!blend[k].is_array() || blend[k].size() != 2)
                    Fail(kp, "expected [node, weight]");
                vertex.nodes.push_back(links.NodeOf(blend[k][0], kp.Item(0)));
                vertex.weights.push_back(Float(blend[k][1], kp.Item(1)));
            }
        }
        physique->Vertices().push_back(std::move(vertex));
    }
    return physique;
}

std::unique_ptr<Modifier> ReadVertexAnimation(const json& m, const Place& place, int points)
{
    Members(m, place, {"kind", "name", "enabled", "keys"});
    auto animation = std::make_unique<VertexAnimationModifier>(Optional<std::string>(m, "name", place, "", String));
    const Place kp = place.Member("keys");
    const json& keys = Array(Required(m, "keys", place), kp);
    if (keys.empty())
        Fail(kp, "a vertex animation needs at least one key");
    std::vector<VertexAnimationKey> read;
    for (size_t i = 0; i < keys.size(); ++i) {
        const Place item = kp.Item(int(i));
        const json& k = Members(keys[i], item, {"time", "points"});
        VertexAnimationKey key;
        key.time = Time(Required(k, "time", item), item.Member("time"));
        if (!read.empty() && key.time <= read.back().time)
            Fail(item.Member("time"), "key times must increase");
        key.points = ObjectPoints(Required(k, "points", item), item.Member("points"), points);
        read.push_back(std::move(key));
    }
    animation->SetKeys(std::move(read));
    return animation;
}

} // namespace

void ReadModifierStack(const json& o, const Place& place, IDerivedObject& derived, HostScene& scene,
                       const SceneLinks& links, INode* node)
{
    Object* base = derived.FindBaseObject();
    const int points = base ? base->NumPoints() : 0;
    const json* modifiers = Find(o, "modifiers");
    if (!modifiers)
        return;
    const Place mp = place.Member("modifiers");
    Array(*modifiers, mp);
    for (size_t i = 0; i < modifiers->size(); ++i) {
        const Place item = mp.Item(int(i));
        const json& m = (*modifiers)[i];
        const int kind = Enum(Required(m, "kind", item), item.Member("kind"),
                              {"morpher", "skin", "physique", "vertexAnimation", "other"});
        std::unique_ptr<Modifier> modifier;
        switch (kind) {
        case 0: modifier = ReadMorpher(m, item, points); break;
        case 1: modifier = ReadSkin(m, item, points, links, node); break;
        case 2: modifier = ReadPhysique(m, item, points, links, node); break;
        case 3: modifier = ReadVertexAnimation(m, item, points); break;
        default: {
            Members(m, item, {"kind", "name", "enabled", "classId", "className"});
            const Class_ID classId = ClassIdValue(Required(m, "classId", item), item.Member("classId"));
            modifier = std::make_unique<OtherModifier>(classId, Optional<std::string>(m, "className", item, "", String),
                                                       Optional<std::string>(m, "name", item, "", String));
            break;
        }
        }
        if (!Optional<bool>(m, "enabled", item, true, Bool))
            modifier->SetAFlag(A_MOD_DISABLED);
        derived.AddModifierAtBottom(scene.Adopt(std::move(modifier)));
    }
}

} // namespace hostscene
