#include "platform/host/HostDump.h"

#include <cstdio>
#include <map>

#include "platform/host/CustAttrib.h"
#include "platform/host/GenCamera.h"
#include "platform/host/GenLight.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/KeyControl.h"
#include "platform/host/LookAtControl.h"
#include "platform/host/Mtl.h"
#include "platform/host/SplineShape.h"
#include "platform/host/StdFog.h"

namespace {

std::string Number(float f)
{
    if (f == 0.0f)
        f = 0.0f;
    char text[32];
    std::snprintf(text, sizeof(text), "%.6g", double(f));
    return text;
}

std::string Vec(const Point3& p)
{
    return Number(p.x) + " " + Number(p.y) + " " + Number(p.z);
}

std::string Col(const Color& c)
{
    return Vec(Point3(c));
}

std::string QuatText(const Quat& q)
{
    return Number(q.x) + " " + Number(q.y) + " " + Number(q.z) + " " + Number(q.w);
}

std::string Hex(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", v);
    return text;
}

std::string Quote(const std::string& s)
{
    std::string out = "\"";
    for (const unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char text[8];
                std::snprintf(text, sizeof(text), "\\x%02X", c);
                out += text;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

std::string ClassText(const Animatable& a)
{
    return Quote(a.ClassName()) + " (super " + Hex(a.SuperClassID()) + ", class " + Hex(a.ClassID().PartA()) + ":" +
           Hex(a.ClassID().PartB()) + ")";
}

std::string Id(const std::string& id)
{
    return "[" + id + "]";
}

std::string Matrix(const Matrix3& m)
{
    return "[" + Vec(m[0]) + "] [" + Vec(m[1]) + "] [" + Vec(m[2]) + "] [" + Vec(m[3]) + "]";
}

const char* Yes(bool b)
{
    return b ? "yes" : "no";
}

class Dumper
{
public:
    explicit Dumper(const HostScene& scene) : m_Scene(scene) {}

    std::string Run()
    {
        Settings();
        NamedSelections();
        Materials();
        Objects();
        Line(0, "nodes");
        // Depth first, without recursion: a scene file may chain nodes deep.
        const INode* root = m_Scene.GetRootNode();
        std::vector<std::pair<const INode*, int>> stack;
        for (int i = root->NumberOfChildren(); i-- > 0;)
            stack.emplace_back(root->GetChildNode(i), 1);
        while (!stack.empty()) {
            const auto [node, depth] = stack.back();
            stack.pop_back();
            Node(*node, depth);
            for (int i = node->NumberOfChildren(); i-- > 0;)
                stack.emplace_back(node->GetChildNode(i), depth + 1);
        }
        return m_Out;
    }

private:
    void Line(int depth, const std::string& text)
    {
        m_Out.append(size_t(depth) * 2, ' ');
        m_Out += text;
        m_Out += '\n';
    }

    void Settings()
    {
        const HostSceneSettings& s = m_Scene.Settings();
        static const char* const units[] = {"inches",      "feet",   "miles",     "millimeters",
                                            "centimeters", "meters", "kilometers"};
        Line(0, "scene");
        Line(1, "animation: " + std::to_string(s.animStart) + " to " + std::to_string(s.animEnd) + " ticks, " +
                    std::to_string(s.ticksPerFrame) + " ticks per frame");
        Line(1, std::string("units: ") + (s.unitType >= 0 && s.unitType <= 6 ? units[s.unitType] : "?") + ", scale " +
                    Number(s.unitScale));
        std::string dirs;
        for (const std::string& d : s.mapDirs)
            dirs += (dirs.empty() ? "" : ", ") + Quote(d);
        Line(1, "map folders: " + (dirs.empty() ? std::string("none") : dirs));
        Line(1, "scripts folder: " + Quote(s.scriptsDir));
        Line(1, "ambient: " + Col(s.ambient));
        Line(1, "background: " + Col(s.background));
        Line(1, "light tint: " + Col(s.lightTint) + ", level " + Number(s.lightLevel));
        const std::vector<Atmospheric*>& atmospherics = m_Scene.Atmospherics();
        for (size_t i = 0; i < atmospherics.size(); ++i) {
            const Atmospheric* a = atmospherics[i];
            std::string text = "atmospheric " + std::to_string(i) + ": ";
            if (!a) {
                Line(1, text + "none");
                continue;
            }
            text += Quote(a->GetName()) + " " + ClassText(*a);
            if (const StdFog* fog = dynamic_cast<const StdFog*>(a))
                text += std::string(fog->GetType() == 1 ? " layered" : " standard") + ", color " +
                        Col(fog->GetColor(0)) + ", fogs background " + Yes(fog->GetFogBG()) + ", near " +
                        Number(fog->GetNear(0)) + ", far " + Number(fog->GetFar(0)) + ", exponential " +
                        Yes(fog->GetParamBlock(0)->GetInt(FOG_EXPONENTIAL) != 0);
            Line(1, text);
        }
    }

    void NamedSelections()
    {
        Line(0, "named selections");
        for (const NamedSelectionSet& set : m_Scene.NamedSelectionSets()) {
            std::string text = Quote(set.name) + ":";
            for (const INode* n : set.nodes)
                text.append(" ").append(Id(n->HostId()));
            Line(1, text);
        }
    }

    void CustomAttributes(const Animatable& owner, int depth)
    {
        const ICustAttribContainer* container = owner.GetCustAttribContainer();
        if (!container)
            return;
        for (int i = 0; i < container->GetNumCustAttribs(); ++i) {
            const CustAttrib* ca = container->GetCustAttrib(i);
            Line(depth, "custom attribute " + Quote(ca->GetName()));
            for (int b = 0; b < ca->NumParamBlocks(); ++b) {
                const IParamBlock2* block = ca->GetParamBlock(b);
                const ParamBlockDesc2* desc = block->GetDesc();
                for (int p = 0; p < desc->Count(); ++p) {
                    const ParamDef& def = desc->GetParamDef(p);
                    const IParamBlock2::Entry* e = block->FindEntry(def.ID);
                    std::string value;
                    switch (def.type) {
                    case TYPE_INT: value = "int " + std::to_string(e->i); break;
                    case TYPE_BOOL: value = std::string("bool ") + (e->i ? "true" : "false"); break;
                    case TYPE_FLOAT: value = "float " + Number(e->f); break;
                    case TYPE_RGBA: value = "color " + Col(e->c); break;
                    case TYPE_STRING: value = "string " + Quote(e->s); break;
                    }
                    Line(depth + 1, "block " + std::to_string(b) + " parameter " + std::to_string(def.ID) + " " +
                                        Quote(def.int_name) + ": " + value);
                }
            }
        }
    }

    void Materials()
    {
        Line(0, "materials");
        for (const Mtl* m : Sorted<Mtl>())
            Material(*m, 1);
    }

    void Material(const Mtl& m, int depth)
    {
        Line(depth, Id(m.HostId()) + " " + Quote(m.GetName().str()) + " " + ClassText(m));
        for (int i = 0; i < m.NumSubMtls(); ++i) {
            const Mtl* sub = m.GetSubMtl(i);
            Line(depth + 1,
                 "sub-material " + std::to_string(i) + ": " + (sub ? Id(sub->HostId()) : std::string("none")));
        }
        CustomAttributes(m, depth + 1);
    }

    // The scene's items of one kind, in the order they were made.
    template <class T>
    std::vector<const T*> Sorted() const
    {
        std::vector<const T*> found;
        for (const std::unique_ptr<Animatable>& item : m_Scene.Items())
            if (const T* t = dynamic_cast<const T*>(item.get()))
                found.push_back(t);
        return found;
    }

    void Objects()
    {
        Line(0, "objects");
        for (const Object* o : Sorted<Object>()) {
            Line(1, Id(o->HostId()) + " " + ClassText(*o));
            if (const GenCamera* c = dynamic_cast<const GenCamera*>(o)) {
                const CameraState& s = c->State();
                Line(2, std::string("camera: targeted ") + Yes(c->IsTargeted()) + ", orthographic " + Yes(s.isOrtho) +
                            ", fov " + Number(s.fov) + ", target distance " + Number(s.tdist) + ", horizon " +
                            Yes(s.horzLine) + ", manual clip " + Yes(s.manualClip) + " " + Number(s.hither) + " to " +
                            Number(s.yon) + ", range " + Number(s.nearRange) + " to " + Number(s.farRange) +
                            ", environment " + Number(c->GetEnvRange(0, 0)) + " to " + Number(c->GetEnvRange(0, 1)));
            } else if (const GenLight* l = dynamic_cast<const GenLight*>(o)) {
                static const char* const types[] = {"omni", "spot", "directional", "ambient"};
                const LightState& s = l->State();
                Line(2, std::string("light: ") + types[s.type & 3] + ", targeted " + Yes(l->IsTargeted()) + ", color " +
                            Col(s.color) + ", multiplier " + Number(s.intens) + ", hotspot " + Number(s.hotsize) +
                            ", falloff " + Number(s.fallsize) + ", on " + Yes(s.on));
                Line(2, std::string("attenuation: near ") + Yes(s.useNearAtten) + " " + Number(s.nearAttenStart) +
                            " to " + Number(s.nearAttenEnd) + ", far " + Yes(s.useAtten) + " " + Number(s.attenStart) +
                            " to " + Number(s.attenEnd) + ", shape " + (s.shape ? "rectangle" : "circle") +
                            ", aspect " + Number(s.aspect) + ", overshoot " + Yes(s.overshoot) + ", shadow " +
                            Yes(s.shadow) + ", diffuse " + Yes(s.affectDiffuse) + ", specular " +
                            Yes(s.affectSpecular));
            } else if (const SplineShape* shape = dynamic_cast<const SplineShape*>(o)) {
                for (int i = 0; i < shape->shape.SplineCount(); ++i) {
                    const Spline3D* spline = shape->shape.GetSpline(i);
                    Line(2, "spline " + std::to_string(i) + (spline->Closed() ? ", closed" : ", open"));
                    static const char* const knots[] = {"auto", "corner", "bezier", "bezier corner"};
                    for (int k = 0; k < spline->KnotCount(); ++k)
                        Line(3, std::string(knots[spline->GetKnotType(k) & 3]) +
                                    (spline->GetLineType(k) == LTYPE_LINE ? " line" : " curve") + " at " +
                                    Vec(spline->GetKnotPoint(k)) + ", in " + Vec(spline->GetRelInVec(k)) + ", out " +
                                    Vec(spline->GetRelOutVec(k)));
                }
            }
            CustomAttributes(*o, 2);
        }
    }

    std::string Track(const char* name, const Control* c)
    {
        if (!c)
            return std::string(name) + " none";
        const KeyControl* k = dynamic_cast<const KeyControl*>(c);
        std::string text = std::string(name) + " " + Quote(c->ClassName());
        if (!k)
            return text;
        if (k->GetNumKeys() > 0)
            return text + " " + std::to_string(k->GetNumKeys()) + " keys from " + std::to_string(k->Key(0).time) +
                   " to " + std::to_string(k->Key(k->GetNumKeys() - 1).time);
        return text + " constant";
    }

    void Node(const INode& n, int depth)
    {
        std::string flags;
        if (n.Selected())
            flags += ", selected";
        if (n.IsHidden())
            flags += ", hidden";
        if (n.IsGroupHead())
            flags += ", group head";
        if (n.IsGroupMember())
            flags += ", group member";
        Line(depth, Id(n.HostId()) + " " + Quote(n.GetName()) + flags);
        const int d = depth + 1;
        if (const Object* o = n.GetObjectRef())
            Line(d, "object: " + Id(o->HostId()) + " " + ClassText(*o));
        if (const Control* c = n.GetTMController()) {
            Line(d, "transform: " + ClassText(*c));
            if (const LookAtControl* lookAt = dynamic_cast<const LookAtControl*>(c))
                Line(d + 1, Track("position", lookAt->GetPositionController()) + ", roll " + Number(lookAt->GetRoll()));
            else
                Line(d + 1, Track("position", c->GetPositionController()) + ", " +
                                Track("rotation", c->GetRotationController()) + ", " +
                                Track("scale", c->GetScaleController()));
        }
        const TimeValue t = m_Scene.Settings().animStart;
        Line(d, "world at " + std::to_string(t) + ": " + Matrix(n.GetNodeTM(t)));
        if (!n.GetObjectOffsetTM().IsIdentity())
            Line(d, "object offset: position " + Vec(n.GetObjOffsetPos()) + ", rotation " +
                        QuatText(n.GetObjOffsetRot()) + ", scale " + Vec(n.GetObjOffsetScale()));
        if (const INode* target = n.GetTarget())
            Line(d, "target: " + Id(target->HostId()) + " " + Quote(target->GetName()));
        if (const Mtl* m = n.GetMtl())
            Line(d, "material: " + Id(m->HostId()) + " " + Quote(m->GetName().str()));
        TSTR props;
        n.GetUserPropBuffer(props);
        if (!props.isNull())
            Line(d, "user properties: " + Quote(props.str()));
        if (const Object* o = n.GetObjectRef())
            if (o->GetCustAttribContainer() && o->GetCustAttribContainer()->GetNumCustAttribs() > 0)
                Line(d, "custom attributes: on its object");
    }

    const HostScene& m_Scene;
    std::string m_Out;
};

} // namespace

std::string DumpHostScene(const HostScene& scene)
{
    return Dumper(scene).Run();
}
