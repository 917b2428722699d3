#include "exporter/materials/MaterialConversion.h"

#include "core/context/CKContext.h"
#include "core/context/CKDefines.h"
#include "core/context/CKRenderManager.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKStructValueRef.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/geometry/TexmapTransform.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "exporter/userdata/CustomAttributes.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"
#include "render/context/CKEffectDescription.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKTexture.h"

#include <cstring>

namespace {

constexpr Class_ID kMultiLayerClassId(0x61dc0cd7, 0x13640af6);
// Material trees deeper than this are taken for loops.
constexpr int kMaxMaterialDepth = 32;

QxColor ToColor(const Color& c, float alpha)
{
    return QxColor(c.r, c.g, c.b, alpha);
}

} // namespace

const IParamBlock2* GetDxShaderParamBlock(Mtl* m)
{
    auto* core = dynamic_cast<IViewportShaderCore*>(GetCOREInterface(VIEWPORT_SHADER_CORE_INTERFACE));
    ReferenceTarget* manager = core && m ? core->GetViewportShaderManager(m) : nullptr;
    if (!manager)
        return nullptr;
    auto* first = dynamic_cast<IViewportShaderManager*>(manager->GetInterface(VIEWPORT_SHADER_MANAGER_INTERFACE));
    auto* second = dynamic_cast<IViewportShaderManager2*>(manager->GetInterface(VIEWPORT_SHADER_MANAGER_INTERFACE2));
    if (!first || !second || !second->IsEffectActive())
        return nullptr;
    ReferenceTarget* effect = first->GetActiveEffect();
    if (!effect || effect->ClassID() != DX_SHADER_EFFECT_CLASS_ID || !effect->GetInterface(DX_SHADER_EFFECT_INTERFACE))
        return nullptr;
    return effect->GetParamBlock(0);
}

int GetDxShaderIntParam(const IParamBlock2* block, int id, int fallback)
{
    int value = fallback;
    Interval valid;
    if (!block || !block->GetValue((ParamID) id, 0, value, valid))
        return fallback;
    return value;
}

const char* GetDxShaderBitmapName(const IParamBlock2* block, int id)
{
    PBBitmap* bitmap = nullptr;
    Interval valid;
    if (!block || !block->GetValue((ParamID) id, 0, bitmap, valid) || !bitmap)
        return nullptr;
    const char* name = bitmap->bi.Name();
    return name && *name ? name : nullptr;
}

void Max2Qdx::ExportMaterials()
{
    dxShaderBitmaps.Clear();
    walkedMaterials.Clear();
    generatedAlphas.Clear();
    for (CKBOOL& used : channelUsed)
        used = FALSE;
    if (!builder)
        return;
    if (forceAllUVs)
        for (int n = 1; n <= 8; ++n) {
            MaterialDesc desc;
            XString name;
            name.Format("Default Channel %d", n);
            builder->CreateMaterial(&desc, name.CStr(), (ExportKey) n);
        }
    for (int i = 0; i < sceneMaterials.Count(); ++i)
        ExportMaterial(sceneMaterials[i]);
}

CKMaterial* Max2Qdx::ExportMaterial(Mtl* m, int depth)
{
    if (!m || !builder || depth >= kMaxMaterialDepth)
        return nullptr;
    ReportPrintf(this, 1, "%s...", m->GetName().data());
    if (CKMaterial* done = builder->FindMaterial((ExportKey) m))
        return done;
    // Walked already (or being walked, a loop): what it makes is made.
    CKBOOL first = FALSE;
    walkedMaterials.FindOrInsert(m, TRUE, &first);
    if (!first)
        return nullptr;

    MaterialDesc desc;
    MultiMaterialRecord record;
    int alphaUsed = 0;
    const Class_ID cid = m->ClassID();
    if (AsStandardMaterial(m))
        ConvertMaterial(m, desc, alphaUsed);
    if (cid == BAKE_SHELL_CLASS_ID)
        ExportShellMaterial(m, desc, alphaUsed, depth);
    for (int i = 0; i < m->NumSubMtls(); ++i) {
        Mtl* sub = m->GetSubMtl(i);
        CKMaterial* made = sub ? ExportMaterial(sub, depth + 1) : nullptr;
        if (!made)
            continue;
        if (i == 0) {
            record.base = made;
            continue;
        }
        Texmap* diffuse = sub->GetSubTexmap(ID_DI);
        record.AddEntry(made, diffuse && diffuse->GetUVWSource() == UVWSRC_EXPLICIT ? diffuse->GetMapChannel() : -1);
    }
    if (cid == MULTI_CLASS_ID)
        return nullptr;
    if (cid == kMultiLayerClassId) {
        builder->multiMaterials.PushBack(record);
        return nullptr;
    }

    CKMaterial* material = builder->CreateMaterial(&desc, m->GetName().data(), (ExportKey) m);
    if (!material)
        return nullptr;
    material->SetTextureMinMode(CK_TEXFILTER_LINEARMIPLINEAR);
    if (desc.texture)
        desc.texture->UseMipmap(1);
    TexmapTransform t;
    if (GetTexmapTransform(m, t)) {
        if (t.uMirror && t.vMirror)
            material->SetTextureAddressMode(CK_TEXADDRESS_MIRROR);
        if (t.cropApply && (t.uOffset != 0.0f || t.vOffset != 0.0f || t.uScale != 1.0f || t.vScale != 1.0f))
            ReportPrintf(this, 1,
                         "\r\nCropping and (tiling or mirroring) are used on this texture\r\n and may generate "
                         "incorrect results in Keltrane\r\n");
    }
    ApplyMaterialProperties(material, m);
    ReportPrintf(this, 1, "Done\r\n");
    return material;
}

int Max2Qdx::ExportShellMaterial(Mtl* shell, MaterialDesc& desc, int& alphaUsed, int depth)
{
    (void) desc;
    (void) alphaUsed;
    const int count = shell ? shell->NumSubMtls() : 0;
    if (count < 2)
        return count;
    Mtl* original = shell->GetSubMtl(0);
    Mtl* baked = shell->GetSubMtl(1);
    StdMat2* bakedStandard = AsStandardMaterial(baked);
    if (bakedStandard && !bakedStandard->MapEnabled(ID_DI) && bakedStandard->MapEnabled(ID_SI) && original)
        ExportMaterial(original, depth + 1);
    const int shown = shell->VPDisplaySubMtl();
    if (baked && (shellMaterialExportBoth || shown == 1))
        ExportMaterial(baked, depth + 1);
    if (!shellMaterialExportBoth && shown != 0)
        return shown;
    if (original)
        ExportMaterial(original, depth + 1);
    return shown;
}

void Max2Qdx::ConvertMaterial(Mtl* m, MaterialDesc& d, int& alphaUsed)
{
    StdMat2* s = AsStandardMaterial(m);
    if (!s)
        return;
    const float transparency = s->GetXParency(0, FALSE);
    d.diffuse = ToColor(s->GetDiffuse(0), 1.0f - transparency);
    d.ambient = ToColor(s->GetAmbient(0), 1.0f);
    const Color specular = s->GetSpecular(0);
    const float strength = s->GetShinStr(0);
    d.specular = QxColor(specular.r * strength, specular.g * strength, specular.b * strength, 1.0f);
    d.power = s->GetShininess(0) * 100.0f;
    const float selfIllum = s->GetSelfIllum(0);
    d.emissive = QxColor(d.diffuse.r * selfIllum, d.diffuse.g * selfIllum, d.diffuse.b * selfIllum, d.diffuse.a);
    Shader* shader = s->SupportsShaders() ? s->GetShader() : nullptr;
    if (shader && shader->IsSelfIllumClrOn())
        d.emissive = ToColor(shader->GetSelfIllumClr(0), 1.0f);
    d.twoSided = s->GetTwoSided() ? 1 : 0;
    d.fillMode = s->GetWire() ? CK_FILL_WIREFRAME : CK_FILL_SOLID;
    d.shadeMode = s->GetShading() != 0 ? CK_SHADE_GOURAUD : CK_SHADE_FLAT;
    if (transparency != 0.0f) {
        d.alphaBlend = 1;
        d.sourceBlend = CK_BLEND_SRCALPHA;
        d.destBlend = CK_BLEND_INVSRCALPHA;
        d.zWrite = 0;
    }
    if (GetDxShaderParamBlock(m))
        ConvertDirectXShaderMaterial(m, d);
    else
        ConvertStandardMaterial(m, d, alphaUsed);
}

CKBOOL Max2Qdx::ConvertDirectXShaderMaterial(Mtl* m, MaterialDesc& d)
{
    const IParamBlock2* block = GetDxShaderParamBlock(m);
    if (!block || !builder)
        return TRUE;
    CKBOOL first = TRUE;
    const char* diffuse = GetDxShaderBitmapName(block, kDxDiffuseBitmap);
    if (GetDxShaderIntParam(block, kDxDiffuseOn, 0) && diffuse) {
        d.texture = builder->CreateTexture(diffuse, FileNamePart(diffuse).CStr(), 0);
        d.emissive = QxColor(1.0f, 1.0f, 1.0f, 1.0f);
        if (dxShaderBitmaps.FindPtr(XString(diffuse)))
            first = FALSE;
        else
            dxShaderBitmaps.Insert(XString(diffuse), m);
    }
    const char* lightmap = GetDxShaderBitmapName(block, kDxLightmapBitmap);
    if (GetDxShaderIntParam(block, kDxLightmapOn, 0) && lightmap) {
        MaterialDesc second;
        second.diffuse = second.ambient = second.emissive = QxColor(1.0f, 1.0f, 1.0f, 1.0f);
        second.specular = QxColor(0.0f, 0.0f, 0.0f, 1.0f);
        const XString name = FileNamePart(lightmap);
        second.texture = builder->CreateTexture(lightmap, name.CStr(), 0);
        second.textureBlendMode = CK_TEXBLEND_MODULATEALPHA;
        second.twoSided = d.twoSided;
        second.fillMode = d.fillMode;
        second.shadeMode = d.shadeMode;
        d.power = 0.0f;
        if (CKMaterial* material = builder->CreateMaterial(&second, name.CStr(), ~(ExportKey) m)) {
            material->SetTextureAddressMode(CK_TEXADDRESS_CLAMP);
            material->SetTextureMinMode(CK_TEXFILTER_LINEARMIPLINEAR);
            if (second.texture)
                second.texture->UseMipmap(1);
            ApplyMaterialProperties(material, m);
        }
    }
    return first;
}

CKMaterial* ExportBuilder::CreateMaterial(const MaterialDesc* desc, const char* name, ExportKey key)
{
    auto* material = static_cast<CKMaterial*>(Create(CKCID_MATERIAL, name));
    if (!material)
        return nullptr;
    if (desc) {
        material->SetDiffuse(desc->diffuse);
        material->SetSpecular(desc->specular);
        material->SetAmbient(desc->ambient);
        material->SetEmissive(desc->emissive);
        material->SetPower(desc->power);
        material->SetTexture0(desc->texture);
        material->SetTwoSided(desc->twoSided);
        material->SetFillMode(desc->fillMode);
        material->SetShadeMode(desc->shadeMode);
        material->EnableAlphaBlend(desc->alphaBlend);
        material->SetSourceBlend(desc->sourceBlend);
        material->SetDestBlend(desc->destBlend);
        material->EnablePerspectiveCorrection(desc->perspectiveCorrection);
        material->SetTextureMagMode(desc->textureMagMode);
        material->SetTextureMinMode(desc->textureMinMode);
        material->SetTextureBlendMode(desc->textureBlendMode);
        material->SetZFunc(desc->zFunc);
        material->EnableZWrite(desc->zWrite);
        ApplyMaterialEffect(*desc, material);
    }
    if (key)
        materials.Insert(key, material);
    return material;
}

int ExportBuilder::ApplyMaterialEffect(const MaterialDesc& desc, CKMaterial* material)
{
    CKRenderManager* manager = context && material ? context->GetRenderManager() : nullptr;
    if (!manager || desc.effectName.Length() == 0)
        return -1;
    int index = -1;
    for (int i = 0; i < manager->GetEffectCount() && index < 0; ++i) {
        const CKEffectDescription* effect = manager->GetEffectDescription(i);
        if (effect && effect->Name.Compare(desc.effectName) == 0)
            index = i;
    }
    if (index < 0)
        return -1;
    material->SetEffect(index);
    const CKEffectDescription* effect = manager->GetEffectDescription(index);
    const XString* slotNames[3] = {&effect->Tex1Description, &effect->Tex2Description, &effect->Tex3Description};
    for (int k = 1; k <= 3 && k <= effect->NeededTextures; ++k) {
        XString slot = *slotNames[k - 1];
        if (slot.Length() == 0)
            slot.Format("Texture %d", k);
        if (const XString* value = desc.effectParameters.FindPtr(slot))
            material->SetTexture(k, CreateTexture(nullptr, value->CStr(), 0));
    }
    CKParameter* parameter = material->GetEffectParameter();
    if (!parameter)
        return index;
    CKStructValueRef members(parameter);
    const auto* ids = static_cast<const CKBYTE*>(parameter->GetReadDataPtr(FALSE));
    const int count = ids ? members.GetMemberCount() : 0;
    for (int i = 0; i < count && 4 * (i + 1) <= parameter->GetDataSize(); ++i) {
        const XString* value = desc.effectParameters.FindPtr(XString(members.GetMemberName(i)));
        if (!value)
            continue;
        CK_ID id = 0;
        std::memcpy(&id, ids + 4 * i, sizeof id);
        CKObject* object = context->GetObject(id);
        if (object && CKIsChildClassOfObject(object, CKCID_PARAMETER))
            static_cast<CKParameter*>(object)->SetStringValue(value->CStr());
    }
    return index;
}
