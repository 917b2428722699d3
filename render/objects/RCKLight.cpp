#include "render/objects/RCKLight.h"

#include "core/object/CKClassRegistry.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/objects/CKClassChunk.h"

RCKLight::RCKLight(CKContext* context, const char* name) : CKLight(context, name)
{
    CKLightData& light = m_Record.Light;
    light.Type = CK_LIGHT_POINT;
    light.Diffuse = QxColor(1.0f, 1.0f, 1.0f, 1.0f);
    light.Ambient = QxColor(0.0f, 0.0f, 0.0f, 1.0f);
    light.Range = 5000.0f;
    light.Falloff = 1.0f;
    light.InnerSpotCone = 0.69813174f;
    light.OuterSpotCone = 0.7853982f;
    RCKRenderManager* manager = RenderManager();
    if (manager && manager->GetSettings().DX5LightingModel) {
        light.Attenuation0 = 1.0f;
        light.Attenuation1 = 0.0f;
    } else {
        light.Attenuation0 = 0.5f;
        light.Attenuation1 = 0.02f;
    }
}

void RCKLight::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x4B6D412F, 0x5D1E1416));
}

void RCKLight::Active(CKBOOL active)
{
    m_LightFlags = active ? (m_LightFlags | CK_LIGHT_ACTIVE) : (m_LightFlags & ~(CKDWORD) CK_LIGHT_ACTIVE);
}

void RCKLight::SetSpecularFlag(CKBOOL specular)
{
    m_LightFlags = specular ? (m_LightFlags | CK_LIGHT_SPECULAR) : (m_LightFlags & ~(CKDWORD) CK_LIGHT_SPECULAR);
}

CKBOOL RCKLight::Setup(CKRasterizerContext* rasterizer, int index)
{
    CKLightData& light = m_Record.Light;
    if (!rasterizer || !IsVisible())
        return FALSE;
    if (light.Type != CK_LIGHT_DIRECTIONAL && light.Attenuation0 + light.Attenuation1 + light.Attenuation2 < 1e-5f)
        return FALSE;
    if (!(m_LightFlags & CK_LIGHT_ACTIVE))
        return FALSE;
    const QxMatrix& world = GetWorldMatrix();
    light.Position = QxVector(world[3][0], world[3][1], world[3][2]);
    light.Direction = QxVector(world[2][0], world[2][1], world[2][2]);
    const QxColor diffuse = light.Diffuse;
    if (m_LightFlags & CK_LIGHT_SPECULAR)
        light.Specular = QxColor(diffuse.r * m_Power, diffuse.g * m_Power, diffuse.b * m_Power, diffuse.a * m_Power);
    else
        light.Specular = QxColor(0.0f, 0.0f, 0.0f, 1.0f);
    RCKRenderManager* manager = RenderManager();
    m_Record.LightingModel = manager ? (CKDWORD) manager->GetSettings().DX5LightingModel : 0u;
    // The power scales only what the rasterizer gets.
    if (m_Power != 1.0f)
        light.Diffuse = QxColor(diffuse.r * m_Power, diffuse.g * m_Power, diffuse.b * m_Power, diffuse.a * m_Power);
    rasterizer->SetLight((CKDWORD) index, m_Record);
    light.Diffuse = diffuse;
    rasterizer->EnableLight((CKDWORD) index, TRUE);
    return TRUE;
}

int RCKLight::GetMemoryOccupation()
{
    return RCK3dEntity::GetMemoryOccupation() + (int) sizeof(CKLightRecord) + 8;
}

CKERROR RCKLight::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = RCK3dEntity::Copy(source, context);
    if (error == CKErr::Ok && CKIsChildClassOfObject(&source, CKCID_LIGHT)) {
        const RCKLight& from = static_cast<const RCKLight&>(source);
        m_Record = from.m_Record;
        m_LightFlags = from.m_LightFlags;
        m_Power = from.m_Power;
    }
    return error;
}

CKStateChunk* RCKLight::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKLight::m_ClassID, RCK3dEntity::Save(file, flags), file, flags,
                            CK_STATESAVE_LIGHTONLY, [&](CKStateChunk& chunk) {
                                const CKLightData& light = m_Record.Light;
                                if (flags & CK_STATESAVE_LIGHTDATA) {
                                    chunk.WriteIdentifier(CK_STATESAVE_LIGHTDATA);
                                    chunk.WriteDword(m_LightFlags | (light.Type & 0xFF));
                                    chunk.WriteDword(light.Diffuse.GetARGB() | 0xFF000000u);
                                    chunk.WriteFloat(light.Attenuation0);
                                    chunk.WriteFloat(light.Attenuation1);
                                    chunk.WriteFloat(light.Attenuation2);
                                    chunk.WriteFloat(light.Range);
                                    if (light.Type == CK_LIGHT_SPOT) {
                                        chunk.WriteFloat(light.OuterSpotCone);
                                        chunk.WriteFloat(light.InnerSpotCone);
                                        chunk.WriteFloat(light.Falloff);
                                    }
                                }
                                if ((flags & CK_STATESAVE_LIGHTPOWER) && m_Power != 1.0f) {
                                    chunk.WriteIdentifier(CK_STATESAVE_LIGHTPOWER);
                                    chunk.WriteFloat(m_Power);
                                }
                            });
}

CKERROR RCKLight::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return RCK3dEntity::Load(chunk, file); },
        [&](CKStateChunk& c) {
            CKLightData& light = m_Record.Light;
            if (c.GetDataVersion() >= CK_LIGHT_PACKEDVERSION) {
                if (c.SeekIdentifier(CK_STATESAVE_LIGHTDATA)) {
                    CKDWORD word = c.ReadDword();
                    light.Type = word & 0xFF;
                    m_LightFlags = word & ~0xFFu;
                    light.Diffuse = QxColor(c.ReadDword());
                    light.Attenuation0 = c.ReadFloat();
                    light.Attenuation1 = c.ReadFloat();
                    light.Attenuation2 = c.ReadFloat();
                    light.Range = c.ReadFloat();
                    if (light.Type == CK_LIGHT_SPOT) {
                        light.OuterSpotCone = c.ReadFloat();
                        light.InnerSpotCone = c.ReadFloat();
                        light.Falloff = c.ReadFloat();
                    }
                }
                m_Power = c.SeekIdentifier(CK_STATESAVE_LIGHTPOWER) ? c.ReadFloat() : 1.0f;
            } else if (c.SeekIdentifier(CK_STATESAVE_LIGHTDATA)) {
                light.Type = c.ReadDword();
                light.Diffuse.r = c.ReadFloat();
                light.Diffuse.g = c.ReadFloat();
                light.Diffuse.b = c.ReadFloat();
                c.ReadFloat();
                Active(c.ReadDword() != 0);
                SetSpecularFlag(c.ReadDword() != 0);
                light.Attenuation0 = c.ReadFloat();
                light.Attenuation1 = c.ReadFloat();
                light.Attenuation2 = c.ReadFloat();
                light.Range = c.ReadFloat();
                light.OuterSpotCone = c.ReadFloat();
                light.InnerSpotCone = c.ReadFloat();
                light.Falloff = c.ReadFloat();
                m_Power = 1.0f;
            }
            if (light.Type < CK_LIGHT_POINT || light.Type > CK_LIGHT_DIRECTIONAL)
                light.Type = CK_LIGHT_POINT;
        });
}
