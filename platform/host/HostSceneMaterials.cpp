#include "platform/host/HostScene.h"
#include "platform/host/HostSceneReaders.h"
#include "platform/host/Mesh.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"

namespace hostscene {

namespace {

// Two numbers (u, v).
void Pair(const json& j, const Place& place, float* out)
{
    Floats(j, place, out, 2);
}

// Two booleans (u, v).
void Flags(const json& j, const Place& place, bool* out)
{
    if (!j.is_array() || j.size() != 2)
        Fail(place, "expected an array of two booleans (u, v)");
    out[0] = Bool(j[0], place.Item(0));
    out[1] = Bool(j[1], place.Item(1));
}

const char* const kSlots[] = {"ambient",          "diffuse",     "specular",    "shininess", "shininessStrength",
                              "selfIllumination", "opacity",     "filterColor", "bump",      "reflection",
                              "refraction",       "displacement"};

void ReadStandard(const json& m, const Place& place, StdMat2& mtl, const SceneLinks& links)
{
    mtl.SetAmbient(Optional<Color>(m, "ambient", place, mtl.GetAmbient(0), ColorValue));
    mtl.SetDiffuse(Optional<Color>(m, "diffuse", place, mtl.GetDiffuse(0), ColorValue));
    mtl.SetSpecular(Optional<Color>(m, "specular", place, mtl.GetSpecular(0), ColorValue));
    mtl.SetShininess(OptionalIn(m, "shininess", place, mtl.GetShininess(0), 0.0f, 10.0f));
    mtl.SetShinStr(OptionalIn(m, "shininessStrength", place, mtl.GetShinStr(0), 0.0f, 10.0f));
    mtl.SetSelfIllum(OptionalIn(m, "selfIllumination", place, mtl.GetSelfIllum(0), 0.0f, 1.0f));
    mtl.SetXParency(OptionalIn(m, "transparency", place, mtl.GetXParency(0), 0.0f, 1.0f));
    mtl.SetTwoSided(Optional<bool>(m, "twoSided", place, false, Bool));
    mtl.SetWire(Optional<bool>(m, "wire", place, false, Bool));
    mtl.SetFaceMap(Optional<bool>(m, "faceMap", place, false, Bool));
    mtl.SetShading(Optional<int>(m, "shading", place, SHADE_BLINN, [](const json& j, const Place& p) {
        return Enum(j, p, {"constant", "phong", "metal", "blinn"});
    }));
    if (const json* shader = Find(m, "shader")) {
        const Place sp = place.Member("shader");
        Members(*shader, sp, {"selfIllumColorOn", "selfIllumColor"});
        mtl.GetShader()->SetSelfIllumClrOn(Optional<bool>(*shader, "selfIllumColorOn", sp, false, Bool));
        mtl.GetShader()->SetSelfIllumClr(Optional<Color>(*shader, "selfIllumColor", sp, Color(), ColorValue));
    }
    if (const json* maps = Find(m, "maps")) {
        const Place mp = place.Member("maps");
        Members(*maps, mp,
                {kSlots[0], kSlots[1], kSlots[2], kSlots[3], kSlots[4], kSlots[5], kSlots[6], kSlots[7], kSlots[8],
                 kSlots[9], kSlots[10], kSlots[11]});
        for (int slot = 0; slot < STD_NUM_MAPS; ++slot) {
            const json* entry = Find(*maps, kSlots[slot]);
            if (!entry)
                continue;
            const Place ep = mp.Member(kSlots[slot]);
            Members(*entry, ep, {"texmap", "enabled", "amount"});
            const json& texmap = Required(*entry, "texmap", ep);
            Texmap* map = texmap.is_null() ? nullptr : links.TexmapOf(texmap, ep.Member("texmap"));
            mtl.SetSubTexmap(slot, map, Optional<bool>(*entry, "enabled", ep, map != nullptr, Bool),
                             OptionalIn(*entry, "amount", ep, 1.0f, 0.0f, 1.0f));
        }
    }
    if (const json* viewport = Find(m, "viewportShader")) {
        const Place vp = place.Member("viewportShader");
        Members(*viewport, vp, {"classId", "className", "active", "parameters"});
        const Class_ID classId = Optional<Class_ID>(*viewport, "classId", vp, DX_SHADER_EFFECT_CLASS_ID, ClassIdValue);
        auto effect = std::make_unique<ViewportEffect>(
            classId, Optional<std::string>(*viewport, "className", vp,
                                           classId == DX_SHADER_EFFECT_CLASS_ID ? "DirectX Shader" : "", String));
        if (const json* parameters = Find(*viewport, "parameters"))
            ParamBlock(*parameters, vp.Member("parameters"), *effect->GetParamBlock(0), true);
        mtl.SetViewportShader(std::make_unique<ViewportShaderManager>(
            std::move(effect), Optional<bool>(*viewport, "active", vp, true, Bool)));
    }
}

} // namespace

Texmap* ReadTexmap(const json& t, const Place& place, HostScene& scene)
{
    const int kind = Optional<int>(t, "kind", place, 0, [](const json& j, const Place& p) {
        return Enum(j, p, {"bitmap", "other"});
    });
    std::unique_ptr<Texmap> map;
    const std::string name = Optional<std::string>(t, "name", place, "", String);
    if (kind == 0) {
        Members(t, place,
                {"id", "kind", "name", "file", "mapChannel", "uvwSource", "offset", "tiling", "angle", "tile", "mirror",
                 "crop"});
        auto bitmap = std::make_unique<BitmapTex>(name);
        bitmap->SetMapName(Optional<std::string>(t, "file", place, "", String).c_str());
        if (const json* crop = Find(t, "crop")) {
            const Place cp = place.Member("crop");
            Members(*crop, cp, {"apply", "u", "v", "w", "h"});
            bitmap->SetCrop(Optional<bool>(*crop, "apply", cp, false, Bool),
                            OptionalIn(*crop, "u", cp, 0.0f, 0.0f, 1.0f), OptionalIn(*crop, "v", cp, 0.0f, 0.0f, 1.0f),
                            OptionalIn(*crop, "w", cp, 1.0f, 0.0f, 1.0f), OptionalIn(*crop, "h", cp, 1.0f, 0.0f, 1.0f));
        }
        map = std::move(bitmap);
    } else {
        Members(t, place,
                {"id", "kind", "name", "classId", "className", "mapChannel", "uvwSource", "offset", "tiling", "angle",
                 "tile", "mirror"});
        const Class_ID classId = ClassIdValue(Required(t, "classId", place), place.Member("classId"));
        if (classId == BMTEX_CLASS_ID)
            Fail(place.Member("classId"), "a bitmap texture is given with kind \"bitmap\"");
        map = std::make_unique<Texmap>(classId, Optional<std::string>(t, "className", place, "", String), name);
    }
    StdUVGen& uv = *map->GetTheUVGen();
    uv.SetMapChannel(int(Optional<int64_t>(
        t, "mapChannel", place, 1, [](const json& j, const Place& p) { return Integer(j, p, 1, MAX_MESHMAPS - 1); })));
    uv.SetUVWSource(Optional<int>(t, "uvwSource", place, UVWSRC_EXPLICIT, [](const json& j, const Place& p) {
        return Enum(j, p, {"explicit", "object", "vertexColor", "world"});
    }));
    float pair[2];
    if (const json* offset = Find(t, "offset")) {
        Pair(*offset, place.Member("offset"), pair);
        uv.SetUOffs(pair[0]);
        uv.SetVOffs(pair[1]);
    }
    if (const json* tiling = Find(t, "tiling")) {
        Pair(*tiling, place.Member("tiling"), pair);
        uv.SetUScl(pair[0]);
        uv.SetVScl(pair[1]);
    }
    uv.SetAng(Optional<float>(t, "angle", place, 0.0f, Float));
    bool tile[2] = {true, true}, mirror[2] = {false, false};
    if (const json* j = Find(t, "tile"))
        Flags(*j, place.Member("tile"), tile);
    if (const json* j = Find(t, "mirror"))
        Flags(*j, place.Member("mirror"), mirror);
    uv.SetTextureTiling((tile[0] ? U_WRAP : 0) | (tile[1] ? V_WRAP : 0) | (mirror[0] ? U_MIRROR : 0) |
                        (mirror[1] ? V_MIRROR : 0));
    return scene.Adopt(std::move(map));
}

Mtl* ReadMaterial(const json& m, const Place& place, int kind, HostScene& scene, const SceneLinks& links)
{
    static const Class_ID ids[] = {DMTL_CLASS_ID, MULTI_CLASS_ID, BAKE_SHELL_CLASS_ID};
    static const char* const names[] = {"Standard", "Multi/Sub-Object", "Shell Material"};
    if (kind == 0)
        Members(m, place,
                {"id",
                 "name",
                 "kind",
                 "classId",
                 "className",
                 "subMaterials",
                 "customAttributes",
                 "ambient",
                 "diffuse",
                 "specular",
                 "shininess",
                 "shininessStrength",
                 "selfIllumination",
                 "transparency",
                 "twoSided",
                 "wire",
                 "faceMap",
                 "shading",
                 "shader",
                 "maps",
                 "viewportShader"});
    else if (kind == 2)
        Members(
            m, place,
            {"id", "name", "kind", "classId", "className", "subMaterials", "customAttributes", "viewport", "render"});
    else
        Members(m, place, {"id", "name", "kind", "classId", "className", "subMaterials", "customAttributes"});
    const Class_ID classId = Optional<Class_ID>(m, "classId", place, ids[kind], ClassIdValue);
    const std::string className = Optional<std::string>(m, "className", place, names[kind], String);
    const std::string name = Optional<std::string>(m, "name", place, "", String);
    std::unique_ptr<Mtl> mtl;
    if (kind == 0) {
        auto standard = std::make_unique<StdMat2>(name, classId, className);
        ReadStandard(m, place, *standard, links);
        mtl = std::move(standard);
    } else {
        mtl = std::make_unique<Mtl>(classId, className, name);
    }
    if (kind == 2) {
        mtl->SetVPDisplaySubMtl(int(Optional<int64_t>(
            m, "viewport", place, 0, [](const json& j, const Place& p) { return Integer(j, p, 0, 1); })));
        if (const json* render = Find(m, "render")) {
            IParamBlock2::Entry e;
            e.def.ID = 0;
            e.def.int_name = "renderMtlIndex";
            e.def.type = TYPE_INT;
            e.i = int(Integer(*render, place.Member("render"), 0, 1));
            mtl->AddParamBlock()->AddParam(e);
        }
    }
    return scene.Adopt(std::move(mtl));
}

} // namespace hostscene
