#include "exporter/userdata/CustomAttributes.h"

#include <strings.h>

#include "exporter/builder/ExportBuilder.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/scene/NodeWalk.h"
#include "exporter/scene/SceneClasses.h"
#include "platform/host/CustAttrib.h"
#include "platform/host/INode.h"
#include "platform/host/Mtl.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"

namespace {

const char kMaterialBlock[] = "Keltrane_Mat_Props";
const char kObjectBlock[] = "Keltrane_Object_Props";

bool IsStandardMaterial(const Mtl* mtl)
{
    return mtl && mtl->SuperClassID() == MATERIAL_CLASS_ID && mtl->ClassID() == kStandardMaterialClass;
}

// One setting: the parameter, and what its value does.
template <class Target>
struct Setting
{
    const char* parameter;
    void (*apply)(Target* target, int value);
};

template <class Target, size_t N>
void ApplySettings(const Animatable* owner, const char* block, Target* target, const Setting<Target> (&settings)[N])
{
    for (const Setting<Target>& setting : settings) {
        int value = 0;
        if (GetCustomAttributeValue(owner, block, setting.parameter, value))
            setting.apply(target, value);
    }
}

const Setting<CKMaterial> kMaterialSettings[] = {
    {"matAlphaTest", [](CKMaterial* m, int v) { m->EnableAlphaTest(v); }},
    {"matAlphaFuncTestFunc", [](CKMaterial* m, int v) { m->SetAlphaFunc(MapCompareFunction(v)); }},
    {"matAlphaRefValue", [](CKMaterial* m, int v) { m->SetAlphaRef((CKBYTE) v); }},
    {"matAlphaBlend", [](CKMaterial* m, int v) { m->EnableAlphaBlend(v); }},
    {"matSrcBlend", [](CKMaterial* m, int v) { m->SetSourceBlend(MapBlendFactor(v)); }},
    {"matDestBlend", [](CKMaterial* m, int v) { m->SetDestBlend(MapBlendFactor(v)); }},
    {"matZBufferWrite", [](CKMaterial* m, int v) { m->EnableZWrite(v); }},
    {"matZFunc", [](CKMaterial* m, int v) { m->SetZFunc(MapCompareFunction(v)); }},
    {"matTextureBlend", [](CKMaterial* m, int v) { m->SetTextureBlendMode(MapTextureBlend(v)); }},
    {"matFilterMin", [](CKMaterial* m, int v) { m->SetTextureMinMode(MapMinFilter(v)); }},
    {"matFilterMag", [](CKMaterial* m, int v) { m->SetTextureMagMode(MapMagFilter(v)); }},
    {"matAddressMode", [](CKMaterial* m, int v) { m->SetTextureAddressMode(MapAddressMode(v)); }},
    {"matBorderColor", [](CKMaterial* m, int v) { m->SetTextureBorderColor((CKDWORD) v); }},
    {"matPerspCorrect", [](CKMaterial* m, int v) { m->EnablePerspectiveCorrection(v); }},
};

bool InRange(int value, int low, int high)
{
    return value >= low && value <= high;
}

} // namespace

bool GetCustomAttributeValue(const Animatable* owner, const char* blockName, const char* parameterName, int& value)
{
    ICustAttribContainer* container = owner ? owner->GetCustAttribContainer() : nullptr;
    if (!container || !blockName || !parameterName)
        return false;
    for (int i = 0; i < container->GetNumCustAttribs(); ++i) {
        CustAttrib* attrib = container->GetCustAttrib(i);
        if (!attrib || strcasecmp(attrib->GetName(), blockName) != 0)
            continue;
        IParamBlock2* block = attrib->GetParamBlock(0);
        if (!block)
            continue;
        const ParamBlockDesc2* desc = block->GetDesc();
        for (int p = 0; p < desc->Count(); ++p) {
            const ParamDef& def = desc->GetParamDef(p);
            if (strcasecmp(def.int_name.c_str(), parameterName) != 0)
                continue;
            int read = 0;
            Interval valid = FOREVER;
            if (block->GetValue(def.ID, 0, read, valid, 0)) {
                value = read;
                return true;
            }
        }
    }
    return false;
}

int MapBlendFactor(int value)
{
    return InRange(value, 1, 11) ? value : 1;
}

int MapCompareFunction(int value)
{
    return InRange(value, 1, 8) ? value : 7;
}

int MapTextureBlend(int value)
{
    if (value == 7)
        return 8;
    if (value == 8)
        return 7;
    return InRange(value, 1, 6) ? value : 4;
}

int MapMinFilter(int value)
{
    return InRange(value, 1, 7) ? value : 6;
}

int MapMagFilter(int value)
{
    if (value == 3)
        return 7;
    return InRange(value, 1, 2) ? value : 2;
}

int MapAddressMode(int value)
{
    return InRange(value, 1, 4) ? value : 1;
}

void ApplyMaterialProperties(CKMaterial* material, Mtl* mtl)
{
    if (material && IsStandardMaterial(mtl))
        ApplySettings(mtl, kMaterialBlock, material, kMaterialSettings);
}

void ApplyChannelProperties(CKMesh* mesh, int channel, Mtl* mtl)
{
    if (!mesh || !IsStandardMaterial(mtl))
        return;
    int value = 0;
    if (GetCustomAttributeValue(mtl, kMaterialBlock, "channelActive", value))
        mesh->ActivateChannel(channel, value);
    if (GetCustomAttributeValue(mtl, kMaterialBlock, "channelSrcBlend", value))
        mesh->SetChannelSourceBlend(channel, MapBlendFactor(value));
    if (GetCustomAttributeValue(mtl, kMaterialBlock, "channelDestBlend", value))
        mesh->SetChannelDestBlend(channel, MapBlendFactor(value));
    if (GetCustomAttributeValue(mtl, kMaterialBlock, "channelPrelit", value))
        mesh->LitChannel(channel, value == 0 ? TRUE : FALSE);
}

void ApplyObjectProperties(ExportBuilder* builder, INode* node)
{
    if (!builder || !node)
        return;
    CK3dEntity* entity = builder->FindEntity((ExportKey) node);
    Object* object = node->GetObjectRef();
    Object* base = object ? object->FindBaseObject() : nullptr;
    if (!entity || !base)
        return;
    int value = 0;
    if (GetCustomAttributeValue(base, kObjectBlock, "renderPriority", value))
        entity->SetZOrder(value);
    if (GetCustomAttributeValue(base, kObjectBlock, "scriptPriority", value))
        entity->SetPriority(value);
    if (GetCustomAttributeValue(base, kObjectBlock, "pickable", value))
        entity->SetPickable(value);
    if (GetCustomAttributeValue(base, kObjectBlock, "prelit", value))
        if (CKMesh* mesh = entity->GetCurrentMesh())
            mesh->SetLitMode(value != 0 ? 0 : 1);
}

int Max2Qdx::ExportObjectProperties(INode* start)
{
    if (asAnimation)
        return 1;
    return WalkExportedNodes(*this, start, [this](INode* node) {
        Object* object = node->EvalWorldState(0).obj;
        const SClass_ID super = object ? object->SuperClassID() : 0;
        if (super == GEOMOBJECT_CLASS_ID || super == SHAPE_CLASS_ID || super == HELPER_CLASS_ID)
            ApplyObjectProperties(builder, node);
    });
}
