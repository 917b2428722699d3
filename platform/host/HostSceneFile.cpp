#include "platform/host/HostSceneFile.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "platform/PlatformPaths.h"
#include "platform/host/CustAttrib.h"
#include "platform/host/GenCamera.h"
#include "platform/host/GenLight.h"
#include "platform/host/HostScene.h"
#include "platform/host/HostSceneJson.h"
#include "platform/host/HostSceneReaders.h"
#include "platform/host/INode.h"
#include "platform/host/KeyControl.h"
#include "platform/host/LookAtControl.h"
#include "platform/host/Modifier.h"
#include "platform/host/Mtl.h"
#include "platform/host/PatchMesh.h"
#include "platform/host/SplineShape.h"
#include "platform/host/StdFog.h"
#include "platform/host/Texmap.h"
#include "platform/host/TriObject.h"

using namespace hostscene;

namespace {

// Deeper nesting than the format ever needs is refused before parsing.
constexpr int kMaxDepth = 32;

// Checks nesting depth (outside strings) before the parser sees the text.
bool TooDeep(const char* bytes, size_t size)
{
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth)
                return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

// Builds the document as nlohmann's own builder does, refusing a member
// given twice in one object, and follows the parser to name places: the
// place of a duplicate member, or of the value the parser stopped in.
class CheckedDocument
{
public:
    explicit CheckedDocument(json& result) : m_Builder(result, true) {}

    bool null() { return Value(m_Builder.null()); }
    bool boolean(bool v) { return Value(m_Builder.boolean(v)); }
    bool number_integer(json::number_integer_t v) { return Value(m_Builder.number_integer(v)); }
    bool number_unsigned(json::number_unsigned_t v) { return Value(m_Builder.number_unsigned(v)); }
    bool number_float(json::number_float_t v, const json::string_t& text)
    {
        return Value(m_Builder.number_float(v, text));
    }
    bool string(json::string_t& v) { return Value(m_Builder.string(v)); }
    bool binary(json::binary_t& v) { return Value(m_Builder.binary(v)); }
    bool start_object(std::size_t size)
    {
        m_Frames.push_back(Frame{false, 0, {}, {}});
        return m_Builder.start_object(size);
    }
    bool key(json::string_t& k)
    {
        Frame& f = m_Frames.back();
        for (const std::string& seen : f.keys)
            if (seen == k)
                throw SceneFileError{PlaceText(false), "duplicate member " + Quoted(k)};
        f.keys.push_back(k);
        f.key = k;
        return m_Builder.key(k);
    }
    bool end_object()
    {
        m_Frames.pop_back();
        return Value(m_Builder.end_object());
    }
    bool start_array(std::size_t size)
    {
        m_Frames.push_back(Frame{true, 0, {}, {}});
        return m_Builder.start_array(size);
    }
    bool end_array()
    {
        m_Frames.pop_back();
        return Value(m_Builder.end_array());
    }
    template <class Exception>
    bool parse_error(std::size_t position, const std::string& token, const Exception& e)
    {
        return m_Builder.parse_error(position, token, e);
    }

    // Where the parser is: the container it reads, or (withLast) the value
    // within it.
    std::string PlaceText(bool withLast) const
    {
        std::string text;
        for (size_t i = 0; i + (withLast ? 0 : 1) < m_Frames.size(); ++i) {
            const Frame& f = m_Frames[i];
            if (f.array)
                text += "[" + std::to_string(f.index) + "]";
            else
                text += (text.empty() ? "" : ".") + f.key;
        }
        return text;
    }

private:
    struct Frame
    {
        bool array;
        int index;
        std::string key;
        std::vector<std::string> keys;
    };

    // A value ended: the next one in an array has the next index.
    bool Value(bool result)
    {
        if (!m_Frames.empty() && m_Frames.back().array)
            ++m_Frames.back().index;
        return result;
    }

    nlohmann::detail::json_sax_dom_parser<json> m_Builder;
    std::vector<Frame> m_Frames;
};

// What an id names.
struct IdEntry
{
    enum class Kind
    {
        Material,
        Object,
        Node,
        Texmap
    } kind;
    int index;
};

const char* KindName(IdEntry::Kind kind)
{
    switch (kind) {
    case IdEntry::Kind::Material: return "a material";
    case IdEntry::Kind::Object: return "an object";
    case IdEntry::Kind::Node: return "a node";
    case IdEntry::Kind::Texmap: return "a texture map";
    }
    return "";
}

class SceneReader final : public SceneLinks
{
public:
    explicit SceneReader(HostScene& scene) : m_Scene(scene) {}

    Object* ObjectOf(const json& j, const Place& place) const override
    {
        return m_Objects[size_t(Lookup(j, place, IdEntry::Kind::Object))];
    }
    INode* NodeOf(const json& j, const Place& place) const override
    {
        return m_Nodes[size_t(Lookup(j, place, IdEntry::Kind::Node))];
    }
    Texmap* TexmapOf(const json& j, const Place& place) const override
    {
        return m_Texmaps[size_t(Lookup(j, place, IdEntry::Kind::Texmap))];
    }

    void Read(const json& root)
    {
        const Place top;
        Members(root, top,
                {"format", "version", "scene", "texmaps", "materials", "objects", "nodes", "namedSelections"});
        const std::string format = String(Required(root, "format", top), top.Member("format"));
        if (format != kHostSceneFormat)
            Fail(top.Member("format"), Quoted(format) + " is not " + Quoted(kHostSceneFormat));
        const Place versionPlace = top.Member("version");
        const int64_t version = Integer(Required(root, "version", top), versionPlace, 1, 1 << 30);
        if (version > kHostSceneVersion)
            Fail(versionPlace, "version " + std::to_string(version) + " is newer than this program reads (" +
                                   std::to_string(kHostSceneVersion) + ")");

        static const json none = json::array();
        const json* texmaps = Find(root, "texmaps");
        const json* materials = Find(root, "materials");
        const json* objects = Find(root, "objects");
        const json* nodes = Find(root, "nodes");
        const json& texmapList = Array(texmaps ? *texmaps : none, top.Member("texmaps"));
        const json& materialList = Array(materials ? *materials : none, top.Member("materials"));
        const json& objectList = Array(objects ? *objects : none, top.Member("objects"));
        const json& nodeList = Array(nodes ? *nodes : none, top.Member("nodes"));
        CollectIds(texmapList, top.Member("texmaps"), IdEntry::Kind::Texmap);
        CollectIds(materialList, top.Member("materials"), IdEntry::Kind::Material);
        CollectIds(objectList, top.Member("objects"), IdEntry::Kind::Object);
        CollectIds(nodeList, top.Member("nodes"), IdEntry::Kind::Node);

        ReadTexmaps(texmapList, top.Member("texmaps"));
        ReadMaterials(materialList, top.Member("materials"));
        ReadObjects(objectList, top.Member("objects"));
        ReadNodes(nodeList, top.Member("nodes"));
        ReadStacks(objectList, top.Member("objects"));
        if (const json* settings = Find(root, "scene"))
            ReadSettings(*settings, top.Member("scene"));
        if (const json* sets = Find(root, "namedSelections"))
            ReadNamedSelections(*sets, top.Member("namedSelections"));
    }

private:
    void CollectIds(const json& list, const Place& place, IdEntry::Kind kind)
    {
        for (size_t i = 0; i < list.size(); ++i) {
            const Place item = place.Item(int(i));
            if (!list[i].is_object())
                WrongType(item, list[i], "an object");
            const std::string id = String(Required(list[i], "id", item), item.Member("id"));
            if (id.empty())
                Fail(item.Member("id"), "an id must not be empty");
            const auto found = m_Ids.find(id);
            if (found != m_Ids.end())
                Fail(item.Member("id"),
                     "duplicate id " + Quoted(id) + " (already " + KindName(found->second.kind) + ")");
            m_Ids.emplace(id, IdEntry{kind, int(i)});
        }
    }

    int Lookup(const json& j, const Place& place, IdEntry::Kind kind) const
    {
        const std::string id = String(j, place);
        const auto found = m_Ids.find(id);
        if (found == m_Ids.end())
            Fail(place, "unknown id " + Quoted(id));
        if (found->second.kind != kind)
            Fail(place, Quoted(id) + " is " + KindName(found->second.kind) + ", not " + KindName(kind));
        return found->second.index;
    }

    void ReadCustomAttributes(const json& j, const Place& place, Animatable& owner)
    {
        Array(j, place);
        ICustAttribContainer* container = owner.AllocCustAttribContainer();
        for (size_t i = 0; i < j.size(); ++i) {
            const Place item = place.Item(int(i));
            const json& ca = Members(j[i], item, {"name", "blocks"});
            auto attrib = std::make_unique<CustAttrib>(String(Required(ca, "name", item), item.Member("name")));
            if (const json* blocks = Find(ca, "blocks")) {
                const Place blocksPlace = item.Member("blocks");
                Array(*blocks, blocksPlace);
                for (size_t b = 0; b < blocks->size(); ++b)
                    ParamBlock((*blocks)[b], blocksPlace.Item(int(b)), *attrib->AddParamBlock(), false);
            }
            container->AppendCustAttrib(m_Scene.Adopt(std::move(attrib)));
        }
    }

    void ReadTexmaps(const json& list, const Place& place)
    {
        for (size_t i = 0; i < list.size(); ++i) {
            Texmap* map = ReadTexmap(list[i], place.Item(int(i)), m_Scene);
            map->SetHostId(list[i]["id"].get<std::string>());
            m_Texmaps.push_back(map);
        }
    }

    void ReadMaterials(const json& list, const Place& place)
    {
        for (size_t i = 0; i < list.size(); ++i) {
            const Place item = place.Item(int(i));
            const json& m = list[i];
            const int kind = Optional<int>(m, "kind", item, 0, [](const json& j, const Place& p) {
                return Enum(j, p, {"standard", "multi", "shell"});
            });
            Mtl* mtl = ReadMaterial(m, item, kind, m_Scene, *this);
            mtl->SetHostId(list[i]["id"].get<std::string>());
            if (const json* cas = Find(m, "customAttributes"))
                ReadCustomAttributes(*cas, item.Member("customAttributes"), *mtl);
            m_Materials.push_back(mtl);
        }
        // Sub-materials may name materials listed later; a material may not
        // hold itself, even through others.
        for (size_t i = 0; i < list.size(); ++i) {
            const json* subs = Find(list[i], "subMaterials");
            if (!subs)
                continue;
            const Place item = place.Item(int(i));
            const Place subsPlace = item.Member("subMaterials");
            Array(*subs, subsPlace);
            std::vector<Mtl*> slots;
            for (size_t s = 0; s < subs->size(); ++s) {
                const json& sub = (*subs)[s];
                slots.push_back(
                    sub.is_null() ? nullptr
                                  : m_Materials[size_t(Lookup(sub, subsPlace.Item(int(s)), IdEntry::Kind::Material))]);
            }
            m_Materials[i]->SetSubMtls(std::move(slots));
        }
        std::vector<int> state(m_Materials.size(), 0);
        for (size_t i = 0; i < m_Materials.size(); ++i)
            CheckMaterialLoop(int(i), state, place);
    }

    // Depth first without recursion: material chains may be long.
    void CheckMaterialLoop(int first, std::vector<int>& state, const Place& place)
    {
        std::vector<std::pair<int, int>> stack{{first, 0}};
        while (!stack.empty()) {
            auto& [i, sub] = stack.back();
            const Mtl* m = m_Materials[size_t(i)];
            if (sub == 0) {
                if (state[size_t(i)] == 2) {
                    stack.pop_back();
                    continue;
                }
                if (state[size_t(i)] == 1)
                    Fail(place.Item(i).Member("subMaterials"), "material " + Quoted(m->HostId()) + " contains itself");
                state[size_t(i)] = 1;
            }
            if (sub >= m->NumSubMtls()) {
                state[size_t(i)] = 2;
                stack.pop_back();
                continue;
            }
            const Mtl* next = m->GetSubMtl(sub++);
            if (next)
                stack.emplace_back(m_Ids[next->HostId()].index, 0);
        }
    }

    void ReadObjects(const json& list, const Place& place)
    {
        for (size_t i = 0; i < list.size(); ++i) {
            const Place item = place.Item(int(i));
            const json& o = list[i];
            const int kind =
                Enum(Required(o, "kind", item), item.Member("kind"),
                     {"geometry", "camera", "light", "shape", "helper", "target", "other", "mesh", "patch", "derived"});
            Object* object = nullptr;
            switch (kind) {
            case 0: object = ReadPlainObject(o, item, GEOMOBJECT_CLASS_ID, Class_ID(0x10, 0), "Box"); break;
            case 1: object = ReadCamera(o, item); break;
            case 2: object = ReadLight(o, item); break;
            case 3: object = ReadShape(o, item); break;
            case 4: object = ReadPlainObject(o, item, HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy"); break;
            case 5: object = ReadPlainObject(o, item, GEOMOBJECT_CLASS_ID, TARGET_CLASS_ID, "Target"); break;
            case 6: object = ReadPlainObject(o, item, 0, Class_ID(), ""); break;
            case 7: object = ReadMeshObject(o, item, m_Scene); break;
            case 8: object = ReadPatchObject(o, item, m_Scene); break;
            default: {
                // Its base and modifiers come once every object and node exists.
                Members(o, item, {"id", "kind", "base", "modifiers", "customAttributes"});
                object = m_Scene.Adopt(std::make_unique<IDerivedObject>());
                break;
            }
            }
            object->SetHostId(o["id"].get<std::string>());
            if (const json* cas = Find(o, "customAttributes"))
                ReadCustomAttributes(*cas, item.Member("customAttributes"), *object);
            m_Objects.push_back(object);
        }
    }

    Object* ReadPlainObject(const json& o, const Place& place, SClass_ID superClass, Class_ID classId,
                            const char* className)
    {
        const bool other = superClass == 0;
        if (other) {
            Members(o, place, {"id", "kind", "superClassId", "classId", "className", "customAttributes"});
            superClass = Hex(Required(o, "superClassId", place), place.Member("superClassId"));
            classId = ClassIdValue(Required(o, "classId", place), place.Member("classId"));
        } else {
            Members(o, place, {"id", "kind", "classId", "className", "customAttributes"});
            classId = Optional<Class_ID>(o, "classId", place, classId, ClassIdValue);
        }
        const std::string name = Optional<std::string>(o, "className", place, className, String);
        return m_Scene.Adopt(std::make_unique<::Object>(superClass, classId, name));
    }

    Object* ReadCamera(const json& o, const Place& place)
    {
        Members(o, place,
                {"id", "kind", "customAttributes", "targeted", "orthographic", "fov", "targetDistance", "horizon",
                 "manualClip", "hither", "yon", "nearRange", "farRange", "envNear", "envFar"});
        const bool targeted = Optional<bool>(o, "targeted", place, false, Bool);
        auto camera = std::make_unique<GenCamera>(targeted);
        CameraState& s = camera->State();
        s.isOrtho = Optional<bool>(o, "orthographic", place, false, Bool);
        s.fov = OptionalIn(o, "fov", place, s.fov, 1e-6f, 3.1415925f);
        s.tdist = OptionalIn(o, "targetDistance", place, s.tdist, 0.0f, 1e30f);
        s.horzLine = Optional<bool>(o, "horizon", place, false, Bool);
        s.manualClip = Optional<bool>(o, "manualClip", place, false, Bool);
        s.hither = OptionalIn(o, "hither", place, s.hither, 0.0f, 1e30f);
        s.yon = OptionalIn(o, "yon", place, s.yon, 0.0f, 1e30f);
        s.nearRange = OptionalIn(o, "nearRange", place, s.nearRange, 0.0f, 1e30f);
        s.farRange = OptionalIn(o, "farRange", place, s.farRange, 0.0f, 1e30f);
        const float envNear = OptionalIn(o, "envNear", place, 0.0f, 0.0f, 1e30f);
        const float envFar = OptionalIn(o, "envFar", place, 1000.0f, 0.0f, 1e30f);
        camera->SetEnvRange(envNear, envFar);
        return m_Scene.Adopt(std::move(camera));
    }

    Object* ReadLight(const json& o, const Place& place)
    {
        Members(o, place,
                {"id",         "kind",       "customAttributes", "type",          "targeted",       "color",
                 "multiplier", "hotspot",    "falloff",          "useNearAtten",  "nearAttenStart", "nearAttenEnd",
                 "useAtten",   "attenStart", "attenEnd",         "shape",         "aspect",         "overshoot",
                 "shadow",     "on",         "affectDiffuse",    "affectSpecular"});
        const int type = Optional<int>(o, "type", place, OMNI_LGT, [](const json& j, const Place& p) {
            return Enum(j, p, {"omni", "spot", "directional", "ambient"});
        });
        const bool targeted = Optional<bool>(o, "targeted", place, false, Bool);
        if (targeted && type != SPOT_LGT && type != DIRECT_LGT)
            Fail(place.Member("targeted"), "only spot and directional lights have a target");
        auto light = std::make_unique<GenLight>(type, targeted);
        LightState& s = light->State();
        s.color = Optional<Color>(o, "color", place, s.color, ColorValue);
        s.intens = Optional<float>(o, "multiplier", place, s.intens, Float);
        s.hotsize = OptionalIn(o, "hotspot", place, s.hotsize, 0.0f, 180.0f);
        s.fallsize = OptionalIn(o, "falloff", place, s.fallsize, 0.0f, 180.0f);
        s.useNearAtten = Optional<bool>(o, "useNearAtten", place, false, Bool);
        s.nearAttenStart = OptionalIn(o, "nearAttenStart", place, s.nearAttenStart, 0.0f, 1e30f);
        s.nearAttenEnd = OptionalIn(o, "nearAttenEnd", place, s.nearAttenEnd, 0.0f, 1e30f);
        s.useAtten = Optional<bool>(o, "useAtten", place, false, Bool);
        s.attenStart = OptionalIn(o, "attenStart", place, s.attenStart, 0.0f, 1e30f);
        s.attenEnd = OptionalIn(o, "attenEnd", place, s.attenEnd, 0.0f, 1e30f);
        s.shape = Optional<int>(o, "shape", place, 0, [](const json& j, const Place& p) {
            return Enum(j, p, {"circle", "rectangle"});
        });
        s.aspect = OptionalIn(o, "aspect", place, s.aspect, 1e-6f, 1e30f);
        s.overshoot = Optional<bool>(o, "overshoot", place, false, Bool);
        s.shadow = Optional<bool>(o, "shadow", place, false, Bool);
        s.on = Optional<bool>(o, "on", place, true, Bool);
        s.affectDiffuse = Optional<bool>(o, "affectDiffuse", place, true, Bool);
        s.affectSpecular = Optional<bool>(o, "affectSpecular", place, true, Bool);
        return m_Scene.Adopt(std::move(light));
    }

    Object* ReadShape(const json& o, const Place& place)
    {
        Members(o, place, {"id", "kind", "customAttributes", "classId", "className", "splines"});
        const Class_ID classId = Optional<Class_ID>(o, "classId", place, SPLINESHAPE_CLASS_ID, ClassIdValue);
        const std::string className = Optional<std::string>(o, "className", place, "Editable Spline", String);
        auto shape = std::make_unique<SplineShape>(classId, className);
        if (const json* splines = Find(o, "splines")) {
            const Place splinesPlace = place.Member("splines");
            Array(*splines, splinesPlace);
            for (size_t i = 0; i < splines->size(); ++i) {
                const Place item = splinesPlace.Item(int(i));
                const json& s = Members((*splines)[i], item, {"closed", "knots"});
                Spline3D* spline = shape->shape.NewSpline();
                spline->SetClosed(Optional<bool>(s, "closed", item, false, Bool));
                const Place knotsPlace = item.Member("knots");
                const json& knots = Array(Required(s, "knots", item), knotsPlace);
                for (size_t k = 0; k < knots.size(); ++k) {
                    const Place kp = knotsPlace.Item(int(k));
                    const json& knot = Members(knots[k], kp, {"point", "in", "out", "type", "line"});
                    const Point3 point = Vector(Required(knot, "point", kp), kp.Member("point"));
                    const Point3 in = Optional<Point3>(knot, "in", kp, Point3(), Vector);
                    const Point3 out = Optional<Point3>(knot, "out", kp, Point3(), Vector);
                    const int type = Optional<int>(knot, "type", kp, KTYPE_CORNER, [](const json& j, const Place& p) {
                        return Enum(j, p, {"auto", "corner", "bezier", "bezierCorner"});
                    });
                    const int line = Optional<int>(knot, "line", kp, LTYPE_CURVE, [](const json& j, const Place& p) {
                        return Enum(j, p, {"curve", "line"});
                    });
                    spline->AddKnot(SplineKnot(type, line, point, point + in, point + out));
                }
            }
        }
        return m_Scene.Adopt(std::move(shape));
    }

    // A track: a constant or {"interpolation", "keys", "classId", "className"}.
    Control* ReadTrack(const json* j, const Place& place, KeyControl::Track track)
    {
        if (!j || j->is_array()) {
            auto control = std::make_unique<KeyControl>(track, track == KeyControl::Track::Rotation
                                                                   ? KeyControl::Interpolation::TCB
                                                                   : KeyControl::Interpolation::Bezier);
            HostKey constant = control->Constant();
            if (j) {
                if (track == KeyControl::Track::Rotation)
                    constant.rotation = Rotation(*j, place);
                else
                    constant.value = Vector(*j, place);
            }
            control->SetConstant(constant);
            return m_Scene.Adopt(std::move(control));
        }
        return m_Scene.Adopt(KeyedTrack(*j, place, track));
    }

    // The bases and modifiers of the derived objects: bases first (a base may
    // be a derived object listed later, never in a loop), then each stack,
    // whose modifiers may name nodes.
    void ReadStacks(const json& list, const Place& place)
    {
        for (size_t i = 0; i < list.size(); ++i) {
            IDerivedObject* derived = dynamic_cast<IDerivedObject*>(m_Objects[i]);
            if (!derived)
                continue;
            const Place item = place.Item(int(i));
            const Place bp = item.Member("base");
            Object* base = ObjectOf(Required(list[i], "base", item), bp);
            size_t steps = 0;
            for (Object* up = base; IDerivedObject* d = dynamic_cast<IDerivedObject*>(up); up = d->GetObjRef())
                if (d == derived || ++steps > list.size())
                    Fail(bp, "the bases of object " + Quoted(derived->HostId()) + " make a loop");
            derived->ReferenceObject(base);
        }
        for (size_t i = 0; i < list.size(); ++i) {
            IDerivedObject* derived = dynamic_cast<IDerivedObject*>(m_Objects[i]);
            if (!derived)
                continue;
            INode* first = nullptr;
            for (INode* n : m_Nodes)
                if (n->GetObjectRef() == derived) {
                    first = n;
                    break;
                }
            derived->SetEvalNode(first);
            ReadModifierStack(list[i], place.Item(int(i)), *derived, m_Scene, *this, first);
        }
    }

    void ReadNodes(const json& list, const Place& place)
    {
        // Every node first, detached; then the hierarchy, in file order.
        for (size_t i = 0; i < list.size(); ++i) {
            const Place item = place.Item(int(i));
            const json& n =
                Members(list[i], item,
                        {"id", "name", "parent", "object", "material", "target", "selected", "hidden", "groupHead",
                         "groupMember", "userProperties", "transform", "objectOffset", "showVertexColors"});
            INode* node = m_Scene.AddDetachedNode(String(Required(n, "name", item), item.Member("name")));
            node->SetHostId(n["id"].get<std::string>());
            node->SetSelected(Optional<bool>(n, "selected", item, false, Bool));
            node->Hide(Optional<bool>(n, "hidden", item, false, Bool));
            node->SetGroupHead(Optional<bool>(n, "groupHead", item, false, Bool));
            node->SetGroupMember(Optional<bool>(n, "groupMember", item, false, Bool));
            node->SetUserPropBuffer(Optional<std::string>(n, "userProperties", item, "", String));
            node->SetCVertMode(Optional<bool>(n, "showVertexColors", item, false, Bool) ? 1 : 0);
            if (const json* object = Find(n, "object"); object && !object->is_null())
                node->SetObjectRef(m_Objects[size_t(Lookup(*object, item.Member("object"), IdEntry::Kind::Object))]);
            if (const json* material = Find(n, "material"); material && !material->is_null())
                node->SetMtl(m_Materials[size_t(Lookup(*material, item.Member("material"), IdEntry::Kind::Material))]);
            if (const json* offset = Find(n, "objectOffset")) {
                const Place op = item.Member("objectOffset");
                Members(*offset, op, {"position", "rotation", "scale"});
                node->SetObjOffsetPos(Optional<Point3>(*offset, "position", op, Point3(), Vector));
                node->SetObjOffsetRot(Optional<Quat>(*offset, "rotation", op, Quat(), Rotation));
                node->SetObjOffsetScale(Optional<Point3>(*offset, "scale", op, Point3(1.0f, 1.0f, 1.0f), Vector));
            }
            m_Nodes.push_back(node);
        }
        for (size_t i = 0; i < list.size(); ++i) {
            const Place item = place.Item(int(i));
            if (const json* target = Find(list[i], "target"); target && !target->is_null()) {
                const int t = Lookup(*target, item.Member("target"), IdEntry::Kind::Node);
                if (t == int(i))
                    Fail(item.Member("target"), "a node cannot be its own target");
                m_Nodes[i]->SetTarget(m_Nodes[size_t(t)]);
            }
            const json* transform = Find(list[i], "transform");
            m_Nodes[i]->SetTMController(ReadTransform(transform, item.Member("transform"), *m_Nodes[i]));
        }
        std::vector<int> parents(list.size(), -1);
        for (size_t i = 0; i < list.size(); ++i)
            if (const json* parent = Find(list[i], "parent"); parent && !parent->is_null())
                parents[i] = Lookup(*parent, place.Item(int(i)).Member("parent"), IdEntry::Kind::Node);
        for (size_t i = 0; i < list.size(); ++i) {
            // Walking up from a node must reach the root within as many steps
            // as there are nodes.
            int up = parents[i];
            for (size_t steps = 0; up >= 0; ++steps) {
                if (up == int(i) || steps > list.size())
                    Fail(place.Item(int(i)).Member("parent"),
                         "the parents of node " + Quoted(m_Nodes[i]->HostId()) + " make a loop");
                up = parents[size_t(up)];
            }
        }
        for (size_t i = 0; i < list.size(); ++i)
            m_Nodes[i]->AttachTo(parents[i] >= 0 ? m_Nodes[size_t(parents[i])] : m_Scene.GetRootNode());
        CheckLookAtLoops(place);
    }

    // A node's transform needs its parent's and, under a look-at controller,
    // its target's: those dependencies must not loop.
    void CheckLookAtLoops(const Place& place)
    {
        std::map<const INode*, int> index;
        for (size_t i = 0; i < m_Nodes.size(); ++i)
            index[m_Nodes[i]] = int(i);
        std::vector<int> state(m_Nodes.size(), 0);
        for (size_t i = 0; i < m_Nodes.size(); ++i)
            Visit(int(i), state, index, place);
    }

    void Visit(int i, std::vector<int>& state, const std::map<const INode*, int>& index, const Place& place)
    {
        // An explicit stack: a long chain of parents must not overflow ours.
        std::vector<std::pair<int, int>> stack{{i, 0}};
        while (!stack.empty()) {
            auto& [n, step] = stack.back();
            if (step == 0) {
                if (state[size_t(n)] == 2) {
                    stack.pop_back();
                    continue;
                }
                if (state[size_t(n)] == 1)
                    Fail(place.Item(n).Member("target"),
                         "node " + Quoted(m_Nodes[size_t(n)]->HostId()) + " looks at a target that depends on it");
                state[size_t(n)] = 1;
            }
            const INode* node = m_Nodes[size_t(n)];
            const INode* next = nullptr;
            if (step == 0)
                next = node->GetParentNode();
            else if (step == 1 && dynamic_cast<const LookAtControl*>(node->GetTMController()))
                next = node->GetTarget();
            if (step >= 2) {
                state[size_t(n)] = 2;
                stack.pop_back();
                continue;
            }
            ++step;
            const auto found = next ? index.find(next) : index.end();
            if (found != index.end())
                stack.push_back({found->second, 0});
        }
    }

    Control* ReadTransform(const json* j, const Place& place, INode& node)
    {
        static const json none = json::object();
        const json& t =
            Members(j ? *j : none, place, {"position", "rotation", "scale", "lookAt", "classId", "className"});
        Control* position = ReadTrack(Find(t, "position"), place.Member("position"), KeyControl::Track::Position);
        if (const json* lookAt = Find(t, "lookAt")) {
            const Place lp = place.Member("lookAt");
            Members(*lookAt, lp, {"roll"});
            if (Find(t, "rotation") || Find(t, "scale") || Find(t, "classId"))
                Fail(lp, "a look-at transform has only a position and a roll");
            if (!node.GetTarget())
                Fail(lp, "a look-at transform needs the node's target");
            const float roll = Optional<float>(*lookAt, "roll", lp, 0.0f, Float);
            return m_Scene.Adopt(std::make_unique<LookAtControl>(position, node.GetTarget(), roll));
        }
        Control* rotation = ReadTrack(Find(t, "rotation"), place.Member("rotation"), KeyControl::Track::Rotation);
        Control* scale = ReadTrack(Find(t, "scale"), place.Member("scale"), KeyControl::Track::Scale);
        const Class_ID classId = Optional<Class_ID>(t, "classId", place, PRS_CONTROL_CLASS_ID, ClassIdValue);
        const std::string className = Optional<std::string>(t, "className", place, "Position/Rotation/Scale", String);
        // A transform controller of another class (a Biped's) evaluates the
        // same way but shows no keys in its parts.
        if (classId != PRS_CONTROL_CLASS_ID)
            for (Control* part : {position, rotation, scale})
                if (KeyControl* keys = dynamic_cast<KeyControl*>(part))
                    keys->SetKeyInterface(false);
        return m_Scene.Adopt(std::make_unique<PRSControl>(position, rotation, scale, classId, className));
    }

    void ReadSettings(const json& s, const Place& place)
    {
        Members(s, place, {"animation", "units", "mapDirs", "scriptsDir", "environment"});
        HostSceneSettings& settings = m_Scene.Settings();
        if (const json* animation = Find(s, "animation")) {
            const Place ap = place.Member("animation");
            Members(*animation, ap, {"start", "end", "ticksPerFrame"});
            settings.animStart = Optional<TimeValue>(*animation, "start", ap, settings.animStart, Time);
            settings.animEnd = Optional<TimeValue>(*animation, "end", ap, settings.animEnd, Time);
            if (settings.animEnd < settings.animStart)
                Fail(ap.Member("end"), "the animation ends before it starts");
            if (const json* tpf = Find(*animation, "ticksPerFrame"))
                settings.ticksPerFrame = int(Integer(*tpf, ap.Member("ticksPerFrame"), 1, TIME_TICKSPERSEC));
        }
        if (const json* units = Find(s, "units")) {
            const Place up = place.Member("units");
            Members(*units, up, {"type", "scale"});
            settings.unitType = Optional<int>(*units, "type", up, settings.unitType, [](const json& j, const Place& p) {
                return Enum(j, p, {"inches", "feet", "miles", "millimeters", "centimeters", "meters", "kilometers"});
            });
            settings.unitScale = OptionalIn(*units, "scale", up, settings.unitScale, 1e-30f, 1e30f);
        }
        if (const json* dirs = Find(s, "mapDirs")) {
            const Place dp = place.Member("mapDirs");
            Array(*dirs, dp);
            for (size_t i = 0; i < dirs->size(); ++i)
                settings.mapDirs.push_back(String((*dirs)[i], dp.Item(int(i))));
        }
        settings.scriptsDir = Optional<std::string>(s, "scriptsDir", place, settings.scriptsDir, String);
        if (const json* environment = Find(s, "environment"))
            ReadEnvironment(*environment, place.Member("environment"));
    }

    void ReadEnvironment(const json& e, const Place& place)
    {
        Members(e, place, {"ambient", "background", "lightTint", "lightLevel", "atmospherics"});
        HostSceneSettings& settings = m_Scene.Settings();
        settings.ambient = Optional<Color>(e, "ambient", place, settings.ambient, ColorValue);
        settings.background = Optional<Color>(e, "background", place, settings.background, ColorValue);
        settings.lightTint = Optional<Color>(e, "lightTint", place, settings.lightTint, ColorValue);
        settings.lightLevel = Optional<float>(e, "lightLevel", place, settings.lightLevel, Float);
        const json* list = Find(e, "atmospherics");
        if (!list)
            return;
        const Place lp = place.Member("atmospherics");
        Array(*list, lp);
        for (size_t i = 0; i < list->size(); ++i) {
            const Place item = lp.Item(int(i));
            const json& a = (*list)[i];
            const int kind = Enum(Required(a, "kind", item), item.Member("kind"), {"fog", "other"});
            if (kind == 0) {
                Members(a, item, {"kind", "name", "type", "color", "fogBackground", "near", "far", "exponential"});
                auto fog = std::make_unique<StdFog>(Optional<std::string>(a, "name", item, "Fog", String));
                fog->SetType(Optional<int>(a, "type", item, 0, [](const json& j, const Place& p) {
                    return Enum(j, p, {"standard", "layered"});
                }));
                fog->SetColor(Optional<Color>(a, "color", item, fog->GetColor(0), ColorValue));
                fog->SetFogBG(Optional<bool>(a, "fogBackground", item, true, Bool));
                fog->SetRange(OptionalIn(a, "near", item, 0.0f, 0.0f, 1.0f),
                              OptionalIn(a, "far", item, 1.0f, 0.0f, 1.0f));
                fog->SetExponential(Optional<bool>(a, "exponential", item, false, Bool));
                m_Scene.Atmospherics().push_back(m_Scene.Adopt(std::move(fog)));
            } else {
                Members(a, item, {"kind", "name", "classId", "className"});
                const Class_ID classId = ClassIdValue(Required(a, "classId", item), item.Member("classId"));
                if (classId == FOG_CLASS_ID)
                    Fail(item.Member("classId"), "the standard fog is given with kind \"fog\"");
                m_Scene.Atmospherics().push_back(m_Scene.Adopt(
                    std::make_unique<Atmospheric>(classId, Optional<std::string>(a, "className", item, "", String),
                                                  Optional<std::string>(a, "name", item, "", String))));
            }
        }
    }

    void ReadNamedSelections(const json& list, const Place& place)
    {
        Array(list, place);
        for (size_t i = 0; i < list.size(); ++i) {
            const Place item = place.Item(int(i));
            const json& s = Members(list[i], item, {"name", "nodes"});
            NamedSelectionSet set;
            set.name = String(Required(s, "name", item), item.Member("name"));
            if (set.name.empty())
                Fail(item.Member("name"), "a named selection needs a name");
            const Place np = item.Member("nodes");
            const json& nodes = Array(Required(s, "nodes", item), np);
            for (size_t k = 0; k < nodes.size(); ++k) {
                INode* node = m_Nodes[size_t(Lookup(nodes[k], np.Item(int(k)), IdEntry::Kind::Node))];
                for (INode* seen : set.nodes)
                    if (seen == node)
                        Fail(np.Item(int(k)), "node " + Quoted(node->HostId()) + " is already in the set");
                set.nodes.push_back(node);
            }
            m_Scene.NamedSelectionSets().push_back(std::move(set));
        }
    }

    HostScene& m_Scene;
    std::map<std::string, IdEntry> m_Ids;
    std::vector<Mtl*> m_Materials;
    std::vector<Object*> m_Objects;
    std::vector<INode*> m_Nodes;
    std::vector<Texmap*> m_Texmaps;
};

// nlohmann's message without its "[json.exception...] " prefix.
std::string ParseMessage(const char* what)
{
    const char* text = std::strstr(what, "] ");
    return text ? text + 2 : what;
}

} // namespace

bool ReadHostScene(const char* bytes, size_t size, const std::string& fileName, HostScene& scene, std::string& error)
{
    if (TooDeep(bytes, size)) {
        error = fileName + ": nested deeper than " + std::to_string(kMaxDepth) + " levels";
        return false;
    }
    json root;
    CheckedDocument check(root);
    try {
        json::sax_parse(bytes, bytes + size, &check);
        SceneReader(scene).Read(root);
        return true;
    } catch (const SceneFileError& e) {
        error = fileName + ": " + (e.place.empty() ? "" : e.place + ": ") + e.what;
    } catch (const json::parse_error& e) {
        error = fileName + ": not a JSON text: " + ParseMessage(e.what());
    } catch (const json::exception& e) {
        const std::string place = check.PlaceText(true);
        error = fileName + ": " + (place.empty() ? "" : place + ": ") + ParseMessage(e.what());
    }
    return false;
}

bool LoadHostSceneFile(const std::string& path, HostScene& scene, std::string& error)
{
    FILE* file = PlatformOpenFile(path.c_str(), "rb");
    if (!file) {
        error = path + ": cannot be opened";
        return false;
    }
    std::string bytes;
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        bytes.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = path + ": cannot be read";
        return false;
    }
    // Bitmaps are looked for beside the file too.
    const size_t slash = path.find_last_of("/\\");
    scene.Settings().sceneDir = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    return ReadHostScene(bytes.data(), bytes.size(), path, scene, error);
}
