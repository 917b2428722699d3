#include "tools/info/EngineFileInfo.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <vector>

#include "core/attribute/CKAttributeManager.h"
#include "core/behavior/CKBehavior.h"
#include "core/context/CKContext.h"
#include "core/context/CKError.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectIDList.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/scene/CKGroup.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "exporter/driver/DriverState.h"
#include "exporter/driver/PluginRegistration.h"
#include "platform/PlatformPaths.h"
#include "render/animation/CKAnimController.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/animation/CKSkin.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKCurve.h"
#include "render/objects/CKCurvePoint.h"
#include "render/objects/CKLight.h"
#include "tools/info/EngineTotals.h"

namespace {

void Append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void Append(std::string& out, const char* format, ...)
{
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    out += line;
}

// -0 prints as 0: the sign of a zero says nothing of the scene.
float Clean(float v)
{
    return v == 0.0f ? 0.0f : v;
}

const char* NameOf(const CKObject* object)
{
    return object && object->GetName() ? object->GetName() : "";
}

std::string Vector(const QxVector& v)
{
    char text[96];
    std::snprintf(text, sizeof(text), "(%.6g, %.6g, %.6g)", Clean(v.x), Clean(v.y), Clean(v.z));
    return text;
}

// A parameter's value as its text form.
std::string ValueText(CKParameter* parameter)
{
    if (!parameter)
        return "";
    int size = parameter->GetStringValue(nullptr, 0);
    if (size <= 0)
        return "";
    std::vector<char> buffer((size_t) size + 1, '\0');
    parameter->GetStringValue(buffer.data(), size + 1);
    return buffer.data();
}

void DumpScene(std::string& out, CKScene* scene)
{
    if (!scene)
        return;
    Append(out, "  ambient 0x%08X background 0x%08X\n", scene->GetAmbientLightColor(), scene->GetBackgroundColor());
    Append(out, "  fog mode %u color 0x%08X start %.6g end %.6g density %.6g\n", scene->GetFogMode(),
           scene->GetFogColor(), scene->GetFogStart(), scene->GetFogEnd(), scene->GetFogDensity());
    Append(out, "  starting camera \"%s\"\n", NameOf(scene->GetStartingCamera()));
}

void DumpEntity(std::string& out, CK3dEntity* entity)
{
    Append(out, "  parent \"%s\"\n", NameOf(entity->GetParent()));
    const QxMatrix& m = entity->GetWorldMatrix();
    for (int row = 0; row < 4; ++row)
        Append(out, "  world %.6g %.6g %.6g %.6g\n", Clean(m[row][0]), Clean(m[row][1]), Clean(m[row][2]),
               Clean(m[row][3]));
    Append(out, "  visible %d zorder %d pickable %d\n", entity->IsVisible() ? 1 : 0, entity->GetZOrder(),
           entity->IsPickable() ? 1 : 0);
    if (CKMesh* mesh = entity->GetCurrentMesh()) {
        Append(out, "  mesh \"%s\" of %d\n", NameOf(mesh), entity->GetMeshCount());
        for (int i = 0; i < mesh->GetBlendShapeCount(); ++i)
            Append(out, "  blend weight %d %.6g\n", i, entity->GetBlendShapeWeight(i));
    }
    if (CKSkin* skin = entity->GetSkin()) {
        Append(out, "  skin vertices %d normals %d bones %d\n", skin->GetVertexCount(), skin->GetNormalCount(),
               skin->GetBoneCount());
        for (int b = 0; b < skin->GetBoneCount(); ++b)
            Append(out, "  skin bone \"%s\"\n", NameOf(skin->GetBoneData(b)->GetBone()));
        // Influences of the first vertex, as a sample of the weights.
        if (CKSkinVertexData* v = skin->GetVertexCount() > 0 ? skin->GetVertexData(0) : nullptr)
            for (int j = 0; j < v->GetBoneCount(); ++j)
                Append(out, "  skin vertex 0 bone %d weight %.6g\n", v->GetBone(j), v->GetWeight(j));
    }
}

// A controller: its type code, length, keys and the times of its first and
// last key.
void DumpController(std::string& out, const char* what, CKAnimController* controller)
{
    if (!controller)
        return;
    const int keys = controller->GetKeyCount();
    const float first = keys > 0 ? controller->GetKey(0)->TimeStep : 0.0f;
    const float last = keys > 0 ? controller->GetKey(keys - 1)->TimeStep : 0.0f;
    Append(out, "  %s type 0x%08X length %.6g keys %d from %.6g to %.6g\n", what, controller->GetType(),
           controller->GetLength(), keys, first, last);
}

void DumpObjectAnimation(std::string& out, CKObjectAnimation* animation)
{
    Append(out, "  entity \"%s\" length %.6g shares \"%s\"\n", NameOf(animation->Get3dEntity()), animation->GetLength(),
           NameOf(animation->GetDataOwner()));
    DumpController(out, "position", animation->GetPositionController());
    DumpController(out, "rotation", animation->GetRotationController());
    DumpController(out, "scale", animation->GetScaleController());
    DumpController(out, "scale axis", animation->GetScaleAxisController());
    DumpController(out, "morph", animation->GetMorphController());
    if (CKMorphController* morph = animation->GetMorphController())
        Append(out, "  morph vertices %d normals %d\n", morph->GetMorphVertexCount(), morph->HasNormals() ? 1 : 0);
    for (int i = 0; i < animation->GetNamedControllerCount(); ++i) {
        const CKAnimControllerEntry* entry = animation->GetNamedControllerEntry(i);
        const std::string what = std::string("float \"") + (entry ? entry->Name.CStr() : "") + "\"";
        DumpController(out, what.c_str(), animation->GetNamedController(i));
    }
}

std::string Color(const QxColor& c)
{
    char text[96];
    std::snprintf(text, sizeof(text), "(%.6g, %.6g, %.6g, %.6g)", Clean(c.r), Clean(c.g), Clean(c.b), Clean(c.a));
    return text;
}

// Meshes of more vertices than this are told by their counts and box only.
constexpr int kListedVertices = 64;

void DumpMesh(std::string& out, CKMesh* mesh)
{
    const int vertexCount = mesh->GetVertexCount(), faceCount = mesh->GetFaceCount();
    Append(out, "  vertices %d faces %d lit %d channels %d blend shapes %d weights %d\n", vertexCount, faceCount,
           mesh->GetLitMode(), mesh->GetChannelCount(), mesh->GetBlendShapeCount(), mesh->GetVertexWeightsCount());
    for (int c = 0; c < mesh->GetChannelCount(); ++c)
        Append(out, "  channel %d material \"%s\" type %d blend %d %d\n", c, NameOf(mesh->GetChannelMaterial(c)),
               mesh->GetChannelType(c), mesh->GetChannelSourceBlend(c), mesh->GetChannelDestBlend(c));
    for (int i = 0; i < mesh->GetBlendShapeCount(); ++i)
        Append(out, "  blend shape \"%s\"\n", mesh->GetBlendShapeName(i).CStr());
    if (vertexCount > kListedVertices) {
        const QxBbox& box = mesh->GetLocalBox();
        Append(out, "  box %s %s\n", Vector(box.Min).c_str(), Vector(box.Max).c_str());
        return;
    }
    for (int v = 0; v < vertexCount; ++v) {
        QxVector p, n;
        float u = 0.0f, w = 0.0f;
        mesh->GetVertexPosition(v, &p);
        mesh->GetVertexNormal(v, &n);
        mesh->GetVertexTextureCoordinates(v, &u, &w);
        Append(out, "  v %d %s n %s uv (%.6g, %.6g) color 0x%08X\n", v, Vector(p).c_str(), Vector(n).c_str(), Clean(u),
               Clean(w), mesh->GetVertexColor(v));
        for (int c = 0; c < mesh->GetChannelCount(); ++c) {
            float values[4] = {};
            mesh->GetChannelData(v, c, values);
            Append(out, "    channel %d (%.6g, %.6g, %.6g, %.6g)\n", c, Clean(values[0]), Clean(values[1]),
                   Clean(values[2]), Clean(values[3]));
        }
    }
    for (int f = 0; f < faceCount; ++f) {
        int a = 0, b = 0, c = 0;
        mesh->GetFaceVertexIndex(f, a, b, c);
        Append(out, "  f %d %d %d %d \"%s\"\n", f, a, b, c, NameOf(mesh->GetFaceMaterial(f)));
    }
}

void DumpPatchMesh(std::string& out, CKPatchMesh* mesh)
{
    Append(out, "  control points %d vectors %d edges %d patches %d steps %d\n", mesh->GetVertCount(),
           mesh->GetVecCount(), mesh->GetEdgeCount(), mesh->GetPatchCount(), mesh->GetIterationCount());
    for (int i = 0; i < mesh->GetVertCount() && i < kListedVertices; ++i) {
        QxVector p;
        mesh->GetVert(i, &p);
        Append(out, "  point %d %s\n", i, Vector(p).c_str());
    }
    for (int i = 0; i < mesh->GetEdgeCount() && i < kListedVertices; ++i) {
        CKPatchEdge e;
        mesh->GetEdge(i, &e);
        Append(out, "  edge %d %d %d %d %d patches %d %d\n", i, e.startVertex, e.startVector, e.endVector, e.endVertex,
               e.patch1, e.patch2);
    }
    for (int i = 0; i < mesh->GetPatchCount() && i < kListedVertices; ++i) {
        CKPatch p;
        mesh->GetPatch(i, &p);
        Append(out, "  patch %d type %d corners %d %d %d %d material \"%s\"\n", i, p.type, p.v[0], p.v[1], p.v[2],
               p.v[3], NameOf(mesh->GetPatchMaterial(i)));
    }
    for (int c = -1; c < mesh->GetChannelCount(); ++c) {
        const int vertices = mesh->GetTextureVertexCount(c);
        Append(out, "  texture channel %d patches %d vertices %d\n", c, mesh->GetTexturePatchCount(c), vertices);
        for (int i = 0; i < vertices && i < kListedVertices; ++i) {
            float u = 0.0f, v = 0.0f;
            mesh->GetTextureVertex(i, &u, &v, c);
            Append(out, "    uv %d (%.6g, %.6g)\n", i, Clean(u), Clean(v));
        }
    }
}

void DumpMaterial(std::string& out, CKMaterial* m)
{
    Append(out, "  diffuse %s specular %s\n", Color(m->GetDiffuse()).c_str(), Color(m->GetSpecular()).c_str());
    Append(out, "  ambient %s emissive %s power %.6g\n", Color(m->GetAmbient()).c_str(),
           Color(m->GetEmissive()).c_str(), m->GetPower());
    Append(out, "  texture \"%s\" blend mode %d min %d mag %d address %d\n", NameOf(m->GetTexture()),
           m->GetTextureBlendMode(), m->GetTextureMinMode(), m->GetTextureMagMode(), m->GetTextureAddressMode());
    Append(out, "  two sided %d fill %d shade %d alpha blend %d src %d dest %d zwrite %d zfunc %d\n",
           m->IsTwoSided() ? 1 : 0, m->GetFillMode(), m->GetShadeMode(), m->AlphaBlendEnabled() ? 1 : 0,
           m->GetSourceBlend(), m->GetDestBlend(), m->ZWriteEnabled() ? 1 : 0, m->GetZFunc());
    if (m->GetEffect() != 0) {
        Append(out, "  effect %d textures \"%s\" \"%s\" \"%s\" parameter \"%s\"\n", m->GetEffect(),
               NameOf(m->GetTexture(1)), NameOf(m->GetTexture(2)), NameOf(m->GetTexture(3)),
               ValueText(m->GetEffectParameter()).c_str());
    }
}

void DumpTexture(std::string& out, CKTexture* t)
{
    const char* file = t->GetSlotFileName(0);
    Append(out, "  size %dx%d file \"%s\" pixel 0x%08X\n", t->GetWidth(), t->GetHeight(), file ? file : "",
           t->GetPixel(0, 0));
}

void DumpBeObject(std::string& out, CKContext* context, CKBeObject* object)
{
    if (object->GetPriority() != 0)
        Append(out, "  priority %d\n", object->GetPriority());
    for (int i = 0; i < object->GetScriptCount(); ++i)
        Append(out, "  script \"%s\"\n", NameOf(object->GetScript(i)));
    CKAttributeManager* attributes = context->GetAttributeManager();
    for (int i = 0; i < object->GetAttributeCount(); ++i) {
        int type = object->GetAttributeType(i);
        Append(out, "  attribute \"%s\" = \"%s\"\n", attributes->GetAttributeNameByType(type),
               ValueText(object->GetAttributeParameter(type)).c_str());
    }
}

void DumpClassFields(std::string& out, CKContext* context, CKObject* object)
{
    if (CKIsChildClassOfObject(object, CKCID_LEVEL)) {
        DumpScene(out, static_cast<CKLevel*>(object)->GetLevelScene());
    } else if (CKIsChildClassOfObject(object, CKCID_GROUP)) {
        auto* group = static_cast<CKGroup*>(object);
        for (int i = 0; i < group->GetObjectCount(); ++i)
            Append(out, "  member \"%s\"\n", NameOf(group->GetObject(i)));
    } else if (CKIsChildClassOfObject(object, CKCID_BEHAVIOR)) {
        auto* behavior = static_cast<CKBehavior*>(object);
        Append(out, "  owner \"%s\"\n", NameOf(behavior->GetOwner()));
        for (int i = 0; i < behavior->GetLocalParameterCount(); ++i) {
            CKParameterLocal* local = behavior->GetLocalParameter(i);
            Append(out, "  local \"%s\" = \"%s\"\n", NameOf(local), ValueText(local).c_str());
        }
    }
    if (CKIsChildClassOfObject(object, CKCID_3DENTITY))
        DumpEntity(out, static_cast<CK3dEntity*>(object));
    if (CKIsChildClassOfObject(object, CKCID_PATCHMESH))
        DumpPatchMesh(out, static_cast<CKPatchMesh*>(object));
    else if (CKIsChildClassOfObject(object, CKCID_MESH))
        DumpMesh(out, static_cast<CKMesh*>(object));
    if (CKIsChildClassOfObject(object, CKCID_MATERIAL))
        DumpMaterial(out, static_cast<CKMaterial*>(object));
    if (CKIsChildClassOfObject(object, CKCID_TEXTURE))
        DumpTexture(out, static_cast<CKTexture*>(object));
    if (CKIsChildClassOfObject(object, CKCID_CAMERA)) {
        auto* camera = static_cast<CKCamera*>(object);
        Append(out, "  front %.6g back %.6g fov %.6g target \"%s\"\n", camera->GetFrontPlane(), camera->GetBackPlane(),
               camera->GetFov(), NameOf(camera->GetTarget()));
    }
    if (CKIsChildClassOfObject(object, CKCID_LIGHT)) {
        auto* light = static_cast<CKLight*>(object);
        const QxColor& c = light->GetColor();
        Append(out, "  type %u color %.6g %.6g %.6g %.6g range %.6g\n", light->GetType(), c.r, c.g, c.b, c.a,
               light->GetRange());
        Append(out, "  hotspot %.6g falloff %.6g specular %d active %d target \"%s\"\n", light->GetHotSpot(),
               light->GetFallOff(), light->GetSpecularFlag() ? 1 : 0, light->GetActivity() ? 1 : 0,
               NameOf(light->GetTarget()));
        Append(out, "  attenuation %.6g %.6g %.6g\n", light->GetConstantAttenuation(), light->GetLinearAttenuation(),
               light->GetQuadraticAttenuation());
    }
    if (CKIsChildClassOfObject(object, CKCID_CURVE)) {
        auto* curve = static_cast<CKCurve*>(object);
        Append(out, "  open %d points %d\n", curve->IsOpen(), curve->GetControlPointCount());
    }
    if (CKIsChildClassOfObject(object, CKCID_CURVEPOINT)) {
        auto* point = static_cast<CKCurvePoint*>(object);
        QxVector in, outTangent;
        point->GetTangents(&in, &outTangent);
        Append(out, "  curve \"%s\" tcb %d linear %d in %s out %s\n", NameOf(point->GetCurve()), point->IsTCB() ? 1 : 0,
               point->IsLinear(), Vector(in).c_str(), Vector(outTangent).c_str());
    }
    if (CKIsChildClassOfObject(object, CKCID_OBJECTANIMATION))
        DumpObjectAnimation(out, static_cast<CKObjectAnimation*>(object));
    if (CKIsChildClassOfObject(object, CKCID_KEYEDANIMATION)) {
        auto* keyed = static_cast<CKKeyedAnimation*>(object);
        for (int i = 0; i < keyed->GetAnimationCount(); ++i)
            Append(out, "  animation \"%s\"\n", NameOf(keyed->GetAnimation(i)));
    }
    if (CKIsChildClassOfObject(object, CKCID_BEOBJECT))
        DumpBeObject(out, context, static_cast<CKBeObject*>(object));
}

} // namespace

std::string SummarizeEngineObjects(CKContext* context, CKObjectIDList& objects)
{
    std::vector<CK_CLASSID> order;
    std::map<CK_CLASSID, std::vector<std::string>> names;
    for (objects.Reset(); !objects.EndOfList(); objects.Next()) {
        CKObject* object = objects.GetCurrentObject(context);
        if (!object)
            continue;
        CK_CLASSID cid = object->GetClassID();
        if (!names.count(cid))
            order.push_back(cid);
        names[cid].push_back(NameOf(object));
    }
    std::string out;
    for (CK_CLASSID cid : order) {
        Append(out, "%s (%d)\n", CKClassIDToString(cid), (int) names[cid].size());
        for (const std::string& name : names[cid])
            Append(out, "  \"%s\"\n", name.c_str());
    }
    return out;
}

std::string DumpEngineObjects(CKContext* context, CKObjectIDList& objects)
{
    std::string out;
    Append(out, "objects %d\n", objects.GetCount());
    for (objects.Reset(); !objects.EndOfList(); objects.Next()) {
        CKObject* object = objects.GetCurrentObject(context);
        if (!object)
            continue;
        Append(out, "%s \"%s\"\n", CKClassIDToString(object->GetClassID()), NameOf(object));
        DumpClassFields(out, context, object);
    }
    return out;
}

std::string ListRefusedObjects(const CKFile& file)
{
    std::string out;
    if (file.GetRefusalCount() == 0)
        return out;
    Append(out, "refused (%d)\n", file.GetRefusalCount());
    for (int i = 0; i < file.GetRefusalCount(); ++i) {
        const CKFileRefusal* refusal = file.GetRefusal(i);
        const char* cls = CKClassIDToString(refusal->m_ClassID);
        Append(out, "  %s \"%s\": %s\n", cls ? cls : "", refusal->m_Name.CStr(), refusal->m_Text.CStr());
    }
    return out;
}

bool DescribeEngineFile(const char* path, bool dump, std::string& text, int* refused)
{
    if (refused)
        *refused = 0;
    // The engine's error for a file that is not there says nothing of it.
    if (!PlatformPathExists(path)) {
        text = "no such file";
        return false;
    }
    // The engine may be running already (the exporter's tests): its state is
    // left as found. The linked plug-ins are registered once, as the export
    // driver does, so that both know of each other's registration.
    const bool started = CKGetContextCount() == 0 && CKGetStartPath()[0] == '\0';
    if (started)
        CKStartUp();
    ExportDriverState& driver = GetExportDriverState();
    if (!driver.pluginsRegistered) {
        RegisterLinkedPlugins(CKGetPluginManager());
        driver.pluginsRegistered = TRUE;
    }
    CKContext* context = nullptr;
    CKERROR error = CKCreateContext(&context, nullptr, nullptr);
    if (error == CKErr::Ok) {
        CKObjectIDList objects;
        CKFile* file = context->CreateCKFile();
        error = file->Load(path, &objects, 0);
        if (error == CKErr::Ok) {
            text = dump
                       ? DumpEngineObjects(context, objects)
                       : SummarizeEngineObjects(context, objects) +
                             "totals: " + EngineTotalsText(CountEngineTotals(LoadedFileObjects(context, *file))) + "\n";
            text += ListRefusedObjects(*file);
            if (refused)
                *refused = file->GetRefusalCount();
        }
        context->DeleteCKFile(file);
        CKCloseContext(context);
    }
    if (started) {
        CKShutdown();
        driver.pluginsRegistered = FALSE;
    }
    if (error != CKErr::Ok)
        text = CKErrorToString(error);
    return error == CKErr::Ok;
}
