#include "platform/host/HostDump.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <type_traits>

#include "platform/host/CustAttrib.h"
#include "platform/host/GenCamera.h"
#include "platform/host/GenLight.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/KeyControl.h"
#include "platform/host/LookAtControl.h"
#include "platform/host/Modifier.h"
#include "platform/host/Morpher.h"
#include "platform/host/Mtl.h"
#include "platform/host/PatchMesh.h"
#include "platform/host/Physique.h"
#include "platform/host/SkinModifier.h"
#include "platform/host/SplineShape.h"
#include "platform/host/StdFog.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"
#include "platform/host/TriObject.h"
#include "platform/host/VertexAnimation.h"

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

// A short fingerprint of bulk data (FNV-1a over its bytes), so that a dump
// shows any change to a mesh without listing it.
class Checksum
{
public:
    template <class T>
    Checksum& Add(const T& value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        for (const unsigned char b : bytes)
            m_Hash = (m_Hash ^ b) * 16777619u;
        return *this;
    }
    Checksum& Add(const Point3& p) { return Add(p.x).Add(p.y).Add(p.z); }
    Checksum& Add(const Quat& q) { return Add(q.x).Add(q.y).Add(q.z).Add(q.w); }
    Checksum& Add(const Matrix3& m)
    {
        for (int i = 0; i < 4; ++i)
            Add(m[i]);
        return *this;
    }
    std::string Text() const { return "checksum " + Hex(m_Hash); }

private:
    uint32_t m_Hash = 2166136261u;
};

std::string KeysText(const KeyControl& k)
{
    if (k.NumKeys() == 0) {
        const HostKey& c = k.Constant();
        return k.GetTrack() == KeyControl::Track::Rotation ? "constant " + QuatText(c.rotation)
               : k.GetTrack() == KeyControl::Track::Float  ? "constant " + Number(c.value.x)
                                                           : "constant " + Vec(c.value);
    }
    Checksum sum;
    for (int i = 0; i < k.NumKeys(); ++i) {
        const HostKey& key = k.Key(i);
        sum.Add(key.time).Add(key.flags).Add(key.value).Add(key.rotation).Add(key.angleAxis.axis);
        sum.Add(key.angleAxis.angle).Add(key.inTan).Add(key.outTan).Add(key.tens).Add(key.cont).Add(key.bias);
        sum.Add(key.easeIn).Add(key.easeOut);
    }
    return std::to_string(k.NumKeys()) + " keys from " + std::to_string(k.Key(0).time) + " to " +
           std::to_string(k.Key(k.NumKeys() - 1).time) + ", " + sum.Text();
}

class Dumper
{
public:
    explicit Dumper(const HostScene& scene) : m_Scene(scene) {}

    std::string Run()
    {
        Settings();
        NamedSelections();
        Texmaps();
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
        for (const std::string& warning : m_Scene.Warnings())
            Line(1, "warning: " + warning);
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

    void Block(const IParamBlock2& block, int b, int depth)
    {
        const ParamBlockDesc2* desc = block.GetDesc();
        for (int p = 0; p < desc->Count(); ++p) {
            const ParamDef& def = desc->GetParamDef(p);
            const IParamBlock2::Entry* e = block.FindEntry(def.ID);
            std::string value;
            switch (def.type) {
            case TYPE_INT: value = "int " + std::to_string(e->i); break;
            case TYPE_BOOL: value = std::string("bool ") + (e->i ? "true" : "false"); break;
            case TYPE_FLOAT: value = "float " + Number(e->f); break;
            case TYPE_RGBA: value = "color " + Col(e->c); break;
            case TYPE_STRING: value = "string " + Quote(e->s); break;
            case TYPE_BITMAP: value = "bitmap " + Quote(e->bitmap.bi.Name()); break;
            }
            Line(depth, "block " + std::to_string(b) + " parameter " + std::to_string(def.ID) + " " +
                            Quote(def.int_name) + ": " + value);
        }
    }

    void Texmaps()
    {
        static const char* const sources[] = {"explicit", "object", "vertex colour", "world"};
        Line(0, "texture maps");
        for (const Texmap* t : Sorted<Texmap>()) {
            Line(1, Id(t->HostId()) + " " + Quote(t->GetName().str()) + " " + ClassText(*t));
            if (const BitmapTex* b = dynamic_cast<const BitmapTex*>(t)) {
                const IParamBlock2* crop = b->GetParamBlock(0);
                // Files the scene wrote itself go by their place in its own
                // folder, which changes from run to run.
                std::string file = b->GetMapName();
                for (const std::string& folder : m_Scene.TemporaryFolders())
                    if (file.rfind(folder + "/", 0) == 0)
                        file = "(embedded)" + file.substr(folder.size());
                // How a model's importer found the file its material names.
                const std::string found =
                    b->FoundBy().empty() ? "" : " (named " + Quote(b->WrittenName()) + ", " + b->FoundBy() + ")";
                Line(2, "file " + Quote(file) + found + ", crop " + Yes(crop->GetInt(BMTEX_APPLY) != 0) + " " +
                            Number(crop->GetFloat(BMTEX_CLIPU)) + " " + Number(crop->GetFloat(BMTEX_CLIPV)) + " " +
                            Number(crop->GetFloat(BMTEX_CLIPW)) + " " + Number(crop->GetFloat(BMTEX_CLIPH)));
            }
            const StdUVGen& uv = *t->GetTheUVGen();
            const int tiling = uv.GetTextureTiling();
            Line(2, "map channel " + std::to_string(uv.GetMapChannel()) + ", source " + sources[uv.GetUVWSource() & 3] +
                        ", offset " + Number(uv.GetUOffs(0)) + " " + Number(uv.GetVOffs(0)) + ", tiling " +
                        Number(uv.GetUScl(0)) + " " + Number(uv.GetVScl(0)) + ", angle " + Number(uv.GetAng(0)) +
                        ", tile " + Yes(tiling & U_WRAP) + " " + Yes(tiling & V_WRAP) + ", mirror " +
                        Yes(tiling & U_MIRROR) + " " + Yes(tiling & V_MIRROR));
        }
    }

    void Standard(const StdMat2& m, int depth)
    {
        static const char* const shadings[] = {"constant", "Phong", "metal", "Blinn"};
        static const char* const slots[] = {
            "ambient", "diffuse",       "specular", "shininess",  "shininess strength", "self-illumination",
            "opacity", "filter colour", "bump",     "reflection", "refraction",         "displacement"};
        Line(depth, "ambient " + Col(m.GetAmbient(0)) + ", diffuse " + Col(m.GetDiffuse(0)) + ", specular " +
                        Col(m.GetSpecular(0)));
        Line(depth, "shininess " + Number(m.GetShininess(0)) + ", strength " + Number(m.GetShinStr(0)) +
                        ", self-illumination " + Number(m.GetSelfIllum(0)) + ", transparency " +
                        Number(m.GetXParency(0)) + ", shading " + shadings[m.GetShading() & 3] + ", two-sided " +
                        Yes(m.GetTwoSided()) + ", wire " + Yes(m.GetWire()) + ", face map " + Yes(m.GetFaceMap()));
        const Shader* shader = m.GetShader();
        Line(depth, "shader " + Quote(shader->ClassName()) + ": self-illumination colour " +
                        Yes(shader->IsSelfIllumClrOn()) + " " + Col(shader->GetSelfIllumClr(0)));
        for (int i = 0; i < STD_NUM_MAPS; ++i) {
            const Texmap* map = m.GetSubTexmap(i);
            if (!map && !m.MapEnabled(i))
                continue;
            Line(depth, std::string("map ") + slots[i] + ": " + (map ? Id(map->HostId()) : std::string("none")) +
                            ", enabled " + Yes(m.MapEnabled(i)) + ", amount " + Number(m.GetTexmapAmt(i, 0)));
        }
        if (const ViewportShaderManager* viewport = m.GetViewportShader()) {
            Line(depth, "viewport shader " + ClassText(*viewport->Effect()) + ", active " + Yes(viewport->Active()));
            Block(*viewport->Effect()->GetParamBlock(0), 0, depth + 1);
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
            for (int b = 0; b < ca->NumParamBlocks(); ++b)
                Block(*ca->GetParamBlock(b), b, depth + 1);
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
        if (const StdMat2* standard = dynamic_cast<const StdMat2*>(&m))
            Standard(*standard, depth + 1);
        if (m.VPDisplaySubMtl() >= 0)
            Line(depth + 1, "viewport sub-material " + std::to_string(m.VPDisplaySubMtl()));
        for (int b = 0; b < m.NumParamBlocks(); ++b)
            Block(*m.GetParamBlock(b), b, depth + 1);
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
            Geometry(*o, 2);
            CustomAttributes(*o, 2);
        }
    }

    void MeshText(const Mesh& mesh, int depth)
    {
        Checksum geometry, faces;
        for (const Point3& p : mesh.verts)
            geometry.Add(p);
        DWORD groups = 0;
        int lowId = 0xFFFF, highId = 0;
        for (const Face& f : mesh.faces) {
            faces.Add(f.v[0]).Add(f.v[1]).Add(f.v[2]).Add(f.smGroup).Add(f.flags);
            groups |= f.smGroup;
            lowId = std::min(lowId, int(f.getMatID()));
            highId = std::max(highId, int(f.getMatID()));
        }
        Line(depth,
             "mesh: " + std::to_string(mesh.getNumVerts()) + " vertices " + geometry.Text() + ", " +
                 std::to_string(mesh.getNumFaces()) + " faces " + faces.Text() + ", smoothing groups " + Hex(groups) +
                 (mesh.getNumFaces() ? ", material ids " + std::to_string(lowId) + " to " + std::to_string(highId)
                                     : std::string()));
        for (int mp = -NUM_HIDDENMAPS; mp < MAX_MESHMAPS; ++mp) {
            if (!mesh.mapSupport(mp))
                continue;
            const MeshMap& map = mesh.Map(mp);
            Checksum sum;
            for (const UVVert& v : map.tv)
                sum.Add(v);
            for (const TVFace& f : map.tf)
                sum.Add(f.t[0]).Add(f.t[1]).Add(f.t[2]);
            Line(depth + 1, "map " + std::to_string(mp) + ": " + std::to_string(map.getNumVerts()) + " vertices, " +
                                std::to_string(map.getNumFaces()) + " faces, " + sum.Text());
        }
        if (const MeshNormalSpec* spec = mesh.GetSpecifiedNormals()) {
            Checksum sum;
            for (const Point3& n : spec->normals)
                sum.Add(n);
            for (const MeshNormalFace& f : spec->faces)
                sum.Add(f.mNormalID[0]).Add(f.mNormalID[1]).Add(f.mNormalID[2]);
            Line(depth + 1, "specified normals: " + std::to_string(spec->GetNumNormals()) + " normals, " +
                                std::to_string(spec->GetNumFaces()) + " faces, " + sum.Text());
        }
        Mesh& editable = const_cast<Mesh&>(mesh);
        if (const float* weights = editable.vertexFloat(VDATA_WEIGHT)) {
            Checksum sum;
            for (int i = 0; i < mesh.getNumVerts(); ++i)
                sum.Add(weights[i]);
            Line(depth + 1, "vertex weights: " + sum.Text());
        }
    }

    void PatchText(const PatchMesh& patch, int depth)
    {
        Checksum points, patches;
        for (const PatchVert& v : patch.verts)
            points.Add(v.p);
        for (const PatchVec& v : patch.vecs)
            points.Add(v.p);
        int tri = 0;
        for (const Patch& p : patch.patches) {
            tri += p.type == PATCH_TRI ? 1 : 0;
            patches.Add(p.type).Add(p.v).Add(p.vec).Add(p.interior).Add(p.edge).Add(p.smGroup).Add(p.flags);
        }
        Line(depth, "patch: " + std::to_string(patch.getNumVerts()) + " vertices and " +
                        std::to_string(patch.getNumVecs()) + " vectors " + points.Text() + ", " +
                        std::to_string(patch.getNumPatches()) + " patches (" + std::to_string(tri) + " triangular) " +
                        patches.Text() + ", " + std::to_string(patch.getNumEdges()) + " edges, " +
                        std::to_string(patch.getMeshSteps()) + " steps");
        for (int mp = -NUM_HIDDENMAPS; mp < MAX_MESHMAPS; ++mp) {
            if (!patch.getMapSupport(mp))
                continue;
            PatchMap& map = const_cast<PatchMesh&>(patch).Map(mp);
            Checksum sum;
            for (const PatchTVert& v : map.tv)
                sum.Add(v.p);
            for (const TVPatch& p : map.tp)
                sum.Add(p.tv);
            Line(depth + 1, "map " + std::to_string(mp) + ": " + std::to_string(map.tv.size()) + " vertices, " +
                                std::to_string(map.tp.size()) + " patches, " + sum.Text());
        }
    }

    void ModifierText(const Modifier& m, int index, int depth)
    {
        Line(depth, "modifier " + std::to_string(index) + ": " + Quote(m.GetName()) + " " + ClassText(m) +
                        (m.IsEnabled() ? ", enabled" : ", disabled"));
        if (const MorpherModifier* morpher = dynamic_cast<const MorpherModifier*>(&m)) {
            for (int c = 1; c <= MORPHER_CHANNELS; ++c) {
                const MorphChannel& channel = morpher->Channel(c);
                if (!channel.IsUsed())
                    continue;
                Checksum sum;
                for (const Point3& p : channel.Target())
                    sum.Add(p);
                std::string percents;
                for (const MorphTarget& t : channel.ProgressiveTargets()) {
                    percents += ' ';
                    percents += Number(t.percent);
                    for (const Point3& p : t.points)
                        sum.Add(p);
                }
                const Control* weight = channel.GetWeightBlock()->GetController(0);
                const KeyControl* keys = dynamic_cast<const KeyControl*>(weight);
                Line(depth + 1, "channel " + std::to_string(c) + " " + Quote(channel.GetName()) + ": weight " +
                                    (weight ? Quote(weight->ClassName()) : std::string("none")) +
                                    (keys ? std::string(" ") + KeysText(*keys) : std::string()) + ", targets at" +
                                    percents + " 100, " + sum.Text());
            }
        } else if (const SkinModifier* skin = dynamic_cast<const SkinModifier*>(&m)) {
            std::string bones;
            Checksum sum;
            for (size_t b = 0; b < skin->Bones().size(); ++b) {
                bones += " " + (skin->Bones()[b] ? Id(skin->Bones()[b]->HostId()) : std::string("none"));
                sum.Add(skin->BoneInitTMs()[b]);
            }
            sum.Add(skin->SkinInitTM());
            for (const std::vector<SkinWeight>& weights : skin->Weights()) {
                sum.Add(int(weights.size()));
                for (const SkinWeight& w : weights)
                    sum.Add(w.bone).Add(w.weight);
            }
            Line(depth + 1, "bones" + bones + "; " + std::to_string(skin->Weights().size()) + " points, " + sum.Text());
        } else if (const PhysiqueModifier* physique = dynamic_cast<const PhysiqueModifier*>(&m)) {
            int rigid = 0, blended = 0;
            Checksum sum;
            sum.Add(physique->NodeInitTM());
            for (const PhysiqueVertex& v : physique->Vertices()) {
                rigid += v.type == RIGID_TYPE ? 1 : 0;
                blended += v.type == RIGID_BLENDED_TYPE ? 1 : 0;
                sum.Add(v.type);
                for (size_t k = 0; k < v.nodes.size(); ++k) {
                    for (const char c : v.nodes[k] ? v.nodes[k]->HostId() : std::string())
                        sum.Add(c);
                    sum.Add(k < v.weights.size() ? v.weights[k] : 0.0f);
                }
            }
            Line(depth + 1, std::to_string(physique->Vertices().size()) + " points (" + std::to_string(rigid) +
                                " rigid, " + std::to_string(blended) + " blended), " + sum.Text());
        } else if (const VertexAnimationModifier* animation = dynamic_cast<const VertexAnimationModifier*>(&m)) {
            Checksum sum;
            for (const VertexAnimationKey& k : animation->Keys()) {
                sum.Add(k.time);
                for (const Point3& p : k.points)
                    sum.Add(p);
            }
            const auto& keys = animation->Keys();
            Line(depth + 1, std::to_string(keys.size()) + " keys" +
                                (keys.empty() ? std::string()
                                              : " from " + std::to_string(keys.front().time) + " to " +
                                                    std::to_string(keys.back().time)) +
                                ", " + sum.Text());
        }
    }

    void Geometry(const Object& o, int depth)
    {
        if (const TriObject* tri = dynamic_cast<const TriObject*>(&o))
            MeshText(tri->mesh, depth);
        else if (const PatchObject* patch = dynamic_cast<const PatchObject*>(&o))
            PatchText(patch->patch, depth);
        else if (const IDerivedObject* derived = dynamic_cast<const IDerivedObject*>(&o)) {
            const Object* base = derived->GetObjRef();
            Line(depth, "base: " + (base ? Id(base->HostId()) + " " + ClassText(*base) : std::string("none")));
            for (int i = 0; i < derived->NumModifiers(); ++i)
                ModifierText(*derived->GetModifier(i), i, depth);
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
        if (k->NumKeys() > 0)
            return text + " " + std::to_string(k->NumKeys()) + " keys from " + std::to_string(k->Key(0).time) + " to " +
                   std::to_string(k->Key(k->NumKeys() - 1).time);
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
        if (n.GetCVertMode())
            flags += ", shows vertex colours";
        Line(depth, Id(n.HostId()) + " " + Quote(n.GetName()) + flags);
        const int d = depth + 1;
        if (const Object* o = n.GetObjectRef())
            Line(d, "object: " + Id(o->HostId()) + " " + ClassText(*o));
        if (dynamic_cast<const IDerivedObject*>(n.GetObjectRef())) {
            // What the stack makes of the object at the start.
            const TimeValue start = m_Scene.Settings().animStart;
            Object* result = const_cast<INode&>(n).EvalWorldState(start).obj;
            Checksum sum;
            const int points = result ? result->NumPoints() : 0;
            for (int i = 0; i < points; ++i)
                sum.Add(result->GetPoint(i));
            Line(d, "evaluated at " + std::to_string(start) + ": " + std::to_string(points) + " points, " + sum.Text());
        }
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
