#include "render/mesh/RCKMaterial.h"

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKRenderContext.h"
#include "core/context/CKRenderManager.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/parameter/CKParameterLocal.h"
#include "render/context/CKEffectDescription.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/mesh/CKTexture.h"
#include "system/log/QxLogManager.h"

namespace {

constexpr CKDWORD kTexturesOption = 1;

} // namespace

RCKMaterial::RCKMaterial(CKContext* context, const char* name) : CKMaterial(context, name)
{
    m_Data.Diffuse = QxColor(0.7f, 0.7f, 0.7f, 1.0f);
    m_Data.Ambient = QxColor(0.3f, 0.3f, 0.3f, 1.0f);
    m_Data.Specular = QxColor(0.5f, 0.5f, 0.5f, 1.0f);
    m_Data.Emissive = QxColor(0.0f, 0.0f, 0.0f, 1.0f);
    m_Data.SpecularPower = 0.0f;
}

RCKMaterial::~RCKMaterial()
{
    // A context that clears or closes releases every object itself.
    if (m_Context && !m_Context->IsInClearAll() && !m_Context->IsInDestruction())
        DestroyEffectParameter();
}

void RCKMaterial::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x55AB12CD, 0x22AE6A8B));
    // A texture being deleted leaves the stages that show it.
    CKClassNeedNotificationFrom(m_ClassID, CKTexture::m_ClassID);
}

const char* RCKMaterial::GetDependencies(int index, int)
{
    return index == 0 ? "Textures" : nullptr;
}

int RCKMaterial::GetDependenciesCount(int mode)
{
    return mode == CK_DEPENDENCIES_COPY || mode == CK_DEPENDENCIES_DELETE || mode == CK_DEPENDENCIES_SAVE ? 1 : 0;
}

void RCKMaterial::Changed(bool transparency)
{
    CKRenderGlobals& globals = CKGetRenderGlobals();
    m_Stamp = ++globals.m_ChangeStamp;
    if (transparency)
        globals.m_TransparencyChanged = TRUE;
}

void RCKMaterial::SetFlag(CKDWORD flag, CKBOOL on, bool transparency)
{
    CKDWORD flags = on ? (m_Flags | flag) : (m_Flags & ~flag);
    if (flags == m_Flags)
        return;
    m_Flags = flags;
    Changed(transparency);
}

void RCKMaterial::SetValue(int& field, int value, bool transparency)
{
    if (field == value)
        return;
    field = value;
    Changed(transparency);
}

void RCKMaterial::SetColor(QxColor& field, const QxColor& value)
{
    if (field == value)
        return;
    field = value;
    Changed(false);
}

void RCKMaterial::SetPower(float power)
{
    if (m_Data.SpecularPower == power)
        return;
    m_Data.SpecularPower = power;
    Changed(false);
}

void RCKMaterial::SetTextureBorderColor(CKDWORD color)
{
    if (m_TextureBorderColor == color)
        return;
    m_TextureBorderColor = color;
    Changed(false);
}

CKTexture* RCKMaterial::GetTexture(int stage)
{
    return stage >= 0 && stage < CKMATERIAL_STAGES ? m_Textures[stage] : nullptr;
}

void RCKMaterial::SetTexture(int stage, CKTexture* texture)
{
    if (stage < 0 || stage >= CKMATERIAL_STAGES || m_Textures[stage] == texture)
        return;
    m_Textures[stage] = texture;
    Changed(false);
}

CKBOOL RCKMaterial::IsAlphaTransparent()
{
    return AlphaBlendEnabled() && !(m_SourceBlend == CK_BLEND_ONE && m_DestBlend == CK_BLEND_ZERO);
}

CKBOOL RCKMaterial::SetEffect(int effect)
{
    if (effect < 0 || effect > CKMATERIAL_MAXEFFECT)
        return FALSE;
    if (effect == GetEffect())
        return TRUE;
    m_Flags = (m_Flags & ~CKMATERIAL_EFFECTMASK) | ((CKDWORD) effect << CKMATERIAL_EFFECTSHIFT);
    ReplaceEffectParameter(effect);
    Changed(false);
    return TRUE;
}

CKParameter* RCKMaterial::GetEffectParameter()
{
    CKObject* object = m_EffectParameter && m_Context ? m_Context->GetObject(m_EffectParameter) : nullptr;
    return object && CKIsChildClassOf(object->GetClassID(), CKCID_PARAMETER) ? static_cast<CKParameter*>(object)
                                                                             : nullptr;
}

void RCKMaterial::DestroyEffectParameter()
{
    CKObject* parameter = GetEffectParameter();
    m_EffectParameter = 0;
    if (parameter && !parameter->IsToBeDeleted())
        m_Context->DestroyObject(parameter);
}

void RCKMaterial::ReplaceEffectParameter(int effect)
{
    DestroyEffectParameter();
    CKRenderManager* manager = m_Context ? m_Context->GetRenderManager() : nullptr;
    const CKEffectDescription* description = manager && effect ? manager->GetEffectDescription(effect) : nullptr;
    if (!description || !description->ParameterType.IsValid())
        return;
    CKParameterLocal* parameter =
        static_cast<CKParameterLocal*>(m_Context->CreateObject(CKCID_PARAMETERLOCAL, description->Name.CStr()));
    if (!parameter)
        return;
    parameter->SetGUID(description->ParameterType);
    parameter->SetOwner(this);
    m_EffectParameter = parameter->GetID();
}

void RCKMaterial::SetStageStates(CKRenderContext* context, int stage)
{
    context->SetTextureStageState(stage, CKRST_TSS_TEXTUREMAPBLEND, (CKDWORD) m_TextureBlendMode);
    context->SetTextureStageState(stage, CKRST_TSS_MINFILTER, (CKDWORD) m_TextureMinMode);
    context->SetTextureStageState(stage, CKRST_TSS_MAGFILTER, (CKDWORD) m_TextureMagMode);
    context->SetTextureStageState(stage, CKRST_TSS_ADDRESSU, (CKDWORD) m_TextureAddressMode);
    context->SetTextureStageState(stage, CKRST_TSS_ADDRESSV, (CKDWORD) m_TextureAddressMode);
    if (m_TextureAddressMode == CK_TEXADDRESS_BORDER)
        context->SetTextureStageState(stage, CKRST_TSS_BORDERCOLOR, m_TextureBorderColor);
}

CKBOOL RCKMaterial::SetAsCurrent(CKRenderContext* context, CKBOOL lit, int stage)
{
    CKRasterizerContext* rst = context ? context->GetRasterizerContext() : nullptr;
    if (!rst || stage < 0 || stage >= CKRST_MAX_STAGES)
        return FALSE;
    if (stage == 0) {
        if (lit) {
            rst->SetMaterial(m_Data);
            const QxColor& s = m_Data.Specular;
            bool specular = m_Data.SpecularPower > 0.0f && (s.r != 0.0f || s.g != 0.0f || s.b != 0.0f);
            rst->SetRenderState(CKRST_RS_SPECULARENABLE, specular ? 1 : 0);
        }
        rst->SetRenderState(CKRST_RS_CULLMODE, IsTwoSided() ? CKRST_CULL_NONE : CKRST_CULL_CCW);
        rst->SetRenderState(CKRST_RS_SHADEMODE, (CKDWORD) m_ShadeMode);
        rst->SetRenderState(CKRST_RS_ZWRITEENABLE, ZWriteEnabled() ? 1 : 0);
        rst->SetRenderState(CKRST_RS_ZFUNC, (CKDWORD) m_ZFunc);
        rst->SetRenderState(CKRST_RS_TEXTUREPERSPECTIVE, PerspectiveCorrectionEnabled() ? 1 : 0);
        if (m_FillMode == CK_FILL_ONLYZ) {
            // Depth only: solid faces whose colour the blending discards.
            rst->SetRenderState(CKRST_RS_FILLMODE, CK_FILL_SOLID);
            rst->SetRenderState(CKRST_RS_ALPHABLENDENABLE, 1);
            rst->SetRenderState(CKRST_RS_SRCBLEND, CK_BLEND_ZERO);
            rst->SetRenderState(CKRST_RS_DESTBLEND, CK_BLEND_ONE);
        } else {
            rst->SetRenderState(CKRST_RS_FILLMODE, (CKDWORD) m_FillMode);
            rst->SetRenderState(CKRST_RS_ALPHABLENDENABLE, AlphaBlendEnabled() ? 1 : 0);
            if (AlphaBlendEnabled()) {
                rst->SetRenderState(CKRST_RS_SRCBLEND, (CKDWORD) m_SourceBlend);
                rst->SetRenderState(CKRST_RS_DESTBLEND, (CKDWORD) m_DestBlend);
            }
        }
        rst->SetRenderState(CKRST_RS_ALPHATESTENABLE, AlphaTestEnabled() ? 1 : 0);
        if (AlphaTestEnabled()) {
            rst->SetRenderState(CKRST_RS_ALPHAFUNC, (CKDWORD) m_AlphaFunc);
            rst->SetRenderState(CKRST_RS_ALPHAREF, (CKDWORD) m_AlphaRef);
        }
    }
    context->SetTexture(m_Textures[0], FALSE, stage);
    if (m_Textures[0])
        SetStageStates(context, stage);
    if (stage == 0 && GetEffect() != 0)
        for (int k = 1; k < CKMATERIAL_STAGES && k < CKRST_MAX_STAGES; ++k)
            if (m_Textures[k])
                context->SetTexture(m_Textures[k], FALSE, k);
    return TRUE;
}

// Persistence.

void RCKMaterial::PreSave(CKFile* file, CKDWORD flags)
{
    CKMaterial::PreSave(file, flags);
    if (!file)
        return;
    for (CKTexture* texture : m_Textures)
        if (texture)
            file->SaveObject(texture, flags);
    if (CKObject* parameter = GetEffectParameter())
        file->SaveObject(parameter, flags);
}

CKStateChunk* RCKMaterial::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKMaterial::Save(file, flags);
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_MATERIAL, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);

    chunk->WriteIdentifier(CK_STATESAVE_MATERIALDATA);
    chunk->WriteDword(CK_MATERIAL_LAYOUT_VERSION);
    for (const QxColor* c : {&m_Data.Diffuse, &m_Data.Ambient, &m_Data.Specular, &m_Data.Emissive}) {
        chunk->WriteFloat(c->r);
        chunk->WriteFloat(c->g);
        chunk->WriteFloat(c->b);
        chunk->WriteFloat(c->a);
    }
    chunk->WriteFloat(m_Data.SpecularPower);
    chunk->WriteDword(m_Flags);
    chunk->WriteInt(m_TextureBlendMode);
    chunk->WriteInt(m_TextureMinMode);
    chunk->WriteInt(m_TextureMagMode);
    chunk->WriteInt(m_TextureAddressMode);
    chunk->WriteDword(m_TextureBorderColor);
    chunk->WriteInt(m_SourceBlend);
    chunk->WriteInt(m_DestBlend);
    chunk->WriteInt(m_AlphaFunc);
    chunk->WriteInt(m_AlphaRef);
    chunk->WriteInt(m_ZFunc);
    chunk->WriteInt(m_FillMode);
    chunk->WriteInt(m_ShadeMode);
    for (CKTexture* texture : m_Textures)
        chunk->WriteObject(texture);
    chunk->WriteObject(GetEffectParameter());

    if (GetClassID() == CKCID_MATERIAL)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR RCKMaterial::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKERROR result = CKMaterial::Load(chunk, file);
    if (chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_MATERIALDATA) < 0)
        return result;

    CKDWORD version = chunk->ReadDword();
    if (version > CK_MATERIAL_LAYOUT_VERSION) {
        CKRenderLog(QXLOG_ERROR, __LINE__, "RCKMaterial",
                    "Material %s: section version %u is newer than this engine's %u; not loaded",
                    GetName() ? GetName() : "", (unsigned) version, (unsigned) CK_MATERIAL_LAYOUT_VERSION);
        CKNoteLoadRefusal(this, "section version %u is newer than this engine's %u", (unsigned) version,
                          (unsigned) CK_MATERIAL_LAYOUT_VERSION);
        return CKErr::InvalidFile;
    }
    // Everything is read first: a short section changes nothing.
    CKMaterialData data;
    for (QxColor* c : {&data.Diffuse, &data.Ambient, &data.Specular, &data.Emissive}) {
        c->r = chunk->ReadFloat();
        c->g = chunk->ReadFloat();
        c->b = chunk->ReadFloat();
        c->a = chunk->ReadFloat();
    }
    data.SpecularPower = chunk->ReadFloat();
    CKDWORD flags = chunk->ReadDword();
    int values[12];
    for (int& v : values)
        v = chunk->ReadInt();
    CKObject* textures[CKMATERIAL_STAGES];
    for (CKObject*& t : textures)
        t = chunk->ReadObject(m_Context);
    CKObject* parameter = chunk->ReadObject(m_Context);
    if (chunk->GetReadError() != CKErr::Ok) {
        CKRenderLog(QXLOG_ERROR, __LINE__, "RCKMaterial", "Material %s: its section is cut short; not loaded",
                    GetName() ? GetName() : "");
        CKNoteLoadRefusal(this, "its section is cut short");
        return CKErr::InvalidFile;
    }

    m_Data = data;
    m_Flags = flags;
    m_TextureBlendMode = values[0];
    m_TextureMinMode = values[1];
    m_TextureMagMode = values[2];
    m_TextureAddressMode = values[3];
    m_TextureBorderColor = (CKDWORD) values[4];
    m_SourceBlend = values[5];
    m_DestBlend = values[6];
    m_AlphaFunc = values[7];
    m_AlphaRef = values[8] & 0xFF;
    m_ZFunc = values[9];
    m_FillMode = values[10];
    m_ShadeMode = values[11];
    for (int i = 0; i < CKMATERIAL_STAGES; ++i)
        m_Textures[i] =
            CKIsChildClassOfObject(textures[i], CKCID_TEXTURE) ? static_cast<CKTexture*>(textures[i]) : nullptr;
    CK_ID parameterId = parameter && (CKIsChildClassOfObject(parameter, CKCID_PARAMETER) ||
                                      CKIsChildClassOfObject(parameter, CKCID_PARAMETERIN))
                            ? parameter->GetID()
                            : 0;
    if (parameterId != m_EffectParameter) {
        DestroyEffectParameter();
        m_EffectParameter = parameterId;
    }
    Changed(true);
    return result;
}

// Objects it refers to.

void RCKMaterial::CheckPreDeletion()
{
    CKMaterial::CheckPreDeletion();
    bool changed = false;
    for (CKTexture*& texture : m_Textures)
        if (texture && texture->IsToBeDeleted()) {
            texture = nullptr;
            changed = true;
        }
    if (changed)
        Changed(false);
}

int RCKMaterial::GetMemoryOccupation()
{
    return CKMaterial::GetMemoryOccupation() + (int) (sizeof(RCKMaterial) - sizeof(CKMaterial));
}

CKBOOL RCKMaterial::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (object) {
        for (CKTexture* texture : m_Textures)
            if (texture == object)
                return TRUE;
        if (m_EffectParameter && object->GetID() == m_EffectParameter)
            return TRUE;
    }
    return CKMaterial::IsObjectUsed(object, cid);
}

CKERROR RCKMaterial::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = CKMaterial::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    if (context.GetClassDependencies(CKCID_MATERIAL) & kTexturesOption)
        for (CKTexture* texture : m_Textures)
            if (texture)
                texture->PrepareDependencies(context, TRUE);
    // The effect parameter is the material's own: it goes wherever the
    // material goes.
    if (CKObject* parameter = GetEffectParameter())
        parameter->PrepareDependencies(context, TRUE);
    return CKErr::Ok;
}

CKERROR RCKMaterial::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKMaterial::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    for (CKTexture*& texture : m_Textures) {
        CKObject* image = context.Remap(texture);
        texture = CKIsChildClassOfObject(image, CKCID_TEXTURE) ? static_cast<CKTexture*>(image) : nullptr;
    }
    m_EffectParameter = context.RemapID(m_EffectParameter);
    return CKErr::Ok;
}

CKERROR RCKMaterial::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKMaterial::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_MATERIAL))
        return CKErr::Ok;
    RCKMaterial& from = static_cast<RCKMaterial&>(source);
    m_Data = from.m_Data;
    for (int i = 0; i < CKMATERIAL_STAGES; ++i)
        m_Textures[i] = from.m_Textures[i];
    m_Flags = from.m_Flags;
    m_TextureBlendMode = from.m_TextureBlendMode;
    m_TextureMinMode = from.m_TextureMinMode;
    m_TextureMagMode = from.m_TextureMagMode;
    m_TextureAddressMode = from.m_TextureAddressMode;
    m_TextureBorderColor = from.m_TextureBorderColor;
    m_SourceBlend = from.m_SourceBlend;
    m_DestBlend = from.m_DestBlend;
    m_AlphaFunc = from.m_AlphaFunc;
    m_AlphaRef = from.m_AlphaRef;
    m_ZFunc = from.m_ZFunc;
    m_FillMode = from.m_FillMode;
    m_ShadeMode = from.m_ShadeMode;
    // The source's parameter until the remapping names its copy.
    m_EffectParameter = from.m_EffectParameter;
    Changed(true);
    return CKErr::Ok;
}
