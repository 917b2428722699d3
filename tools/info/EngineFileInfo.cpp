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
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKCurve.h"
#include "render/objects/CKCurvePoint.h"
#include "render/objects/CKLight.h"

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

bool DescribeEngineFile(const char* path, bool dump, std::string& text)
{
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
        context->DeleteCKFile(file);
        if (error == CKErr::Ok)
            text = dump ? DumpEngineObjects(context, objects) : SummarizeEngineObjects(context, objects);
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
