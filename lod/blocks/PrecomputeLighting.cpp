// "Precompute Lighting": the target lights of the scene evaluated at every
// vertex of the current mesh into its colours, which a pre-lit mesh draws.
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/context/CKContext.h"
#include "core/context/CKRenderContext.h"
#include "core/scene/CKScene.h"
#include "lod/blocks/BlockParameters.h"
#include "lod/blocks/MeshBlockSupport.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKLight.h"
#include "system/math/QxColor.h"
#include "system/math/QxMatrix.h"

namespace {

// One light as the lighting of a vertex uses it.
struct LightRecord
{
    QxVector WorldPosition;
    QxVector LocalPosition; // in the target's frame; normalised for type 4
    QxVector WorldDirection;
    QxVector TowardsLight; // type 1: the light's origin in the target's frame; else its direction there, negated
    QxVector Half;         // with a specular light only
    float Range = 0.0f;
    float InverseRange = 0.0f; // 0 for a range of 0, which lights nothing
    float Color[3] = {0.0f, 0.0f, 0.0f};
    float Attenuation[3] = {0.0f, 0.0f, 0.0f}; // constant, linear, quadratic
    float FallOffShape = 0.0f;
    float CosOuter = 0.0f;
    float CosInner = 0.0f;
    float InverseSpread = 0.0f; // 1 / (cos inner - cos outer), 0 when both are equal
    CKDWORD Specular = 0;
    CKDWORD Type = 0;
};

// What a material group adds to its lit vertices.
struct MaterialTerms
{
    float Base[4];
    QxColor Diffuse;
    QxColor Specular;
    float Power;
};

QxVector WorldPositionOf(CK3dEntity* entity)
{
    QxVector p;
    entity->GetPosition(&p, nullptr);
    return p;
}

std::vector<LightRecord> GatherLights(CKContext* context, CKScene* scene, CK3dEntity* target, const QxVector& eye,
                                      CKBOOL specular)
{
    std::vector<LightRecord> lights;
    const QxVector targetPosition = WorldPositionOf(target);
    const float targetRadius = target->GetRadius();
    const QxVector eyeDirection = QxNormalize(eye);
    const int count = context->GetObjectsCountByClassID(CKCID_TARGETLIGHT);
    const CK_ID* ids = context->GetObjectsListByClassID(CKCID_TARGETLIGHT);
    for (int i = 0; i < count && ids; ++i) {
        CKObject* object = context->GetObject(ids[i]);
        if (!object || object->GetClassID() != CKCID_TARGETLIGHT)
            continue;
        auto* light = static_cast<CKLight*>(object);
        if (!scene->IsObjectActive(light) || !light->IsVisible())
            continue;
        LightRecord r;
        r.Type = light->GetType();
        r.Range = light->GetRange();
        r.WorldPosition = WorldPositionOf(light);
        if ((r.Type == CK_LIGHT_POINT || r.Type == CK_LIGHT_SPOT) &&
            QxMagnitude(targetPosition - r.WorldPosition) - targetRadius > r.Range)
            continue;
        r.InverseRange = r.Range != 0.0f ? 1.0f / r.Range : 0.0f;
        target->InverseTransform(&r.LocalPosition, &r.WorldPosition, nullptr);
        if (r.Type == 4)
            r.LocalPosition.Normalize();
        const QxMatrix& world = light->GetWorldMatrix();
        r.WorldDirection = QxNormalize(QxVector(world[2][0], world[2][1], world[2][2]));
        if (r.Type == CK_LIGHT_POINT) {
            r.TowardsLight = r.LocalPosition;
        } else {
            target->InverseTransformVector(&r.TowardsLight, &r.WorldDirection, nullptr);
            r.TowardsLight = -r.TowardsLight;
        }
        const QxColor& color = light->GetColor();
        r.Color[0] = color.r;
        r.Color[1] = color.g;
        r.Color[2] = color.b;
        r.Attenuation[0] = light->GetConstantAttenuation();
        r.Attenuation[1] = light->GetLinearAttenuation();
        r.Attenuation[2] = light->GetQuadraticAttenuation();
        if (r.Type == CK_LIGHT_SPOT) {
            r.FallOffShape = light->GetFallOffShape();
            r.CosOuter = std::cos(light->GetFallOff() * 0.5f);
            r.CosInner = std::cos(light->GetHotSpot() * 0.5f);
            const float spread = r.CosInner - r.CosOuter;
            r.InverseSpread = spread != 0.0f ? 1.0f / spread : 0.0f;
        }
        r.Specular = specular ? light->GetSpecularFlag() : 0;
        if (r.Specular)
            r.Half = QxNormalize(eyeDirection + r.TowardsLight);
        lights.push_back(r);
    }
    return lights;
}

MaterialTerms TermsOf(CKMaterial* material, CKDWORD sceneAmbient)
{
    const QxColor ambient(sceneAmbient);
    const QxColor& a = material->GetAmbient();
    const QxColor& e = material->GetEmissive();
    MaterialTerms t;
    t.Base[0] = a.r * ambient.r + e.r;
    t.Base[1] = a.g * ambient.g + e.g;
    t.Base[2] = a.b * ambient.b + e.b;
    t.Base[3] = a.a * ambient.a + e.a;
    t.Diffuse = material->GetDiffuse();
    t.Specular = material->GetSpecular();
    t.Power = material->GetPower();
    return t;
}

float Clamp01(float v)
{
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

// The colour of one vertex (position and normal in the mesh's frame).
CKDWORD LightVertex(const std::vector<LightRecord>& lights, const MaterialTerms& m, const QxVector& p,
                    const QxVector& n)
{
    float diffuse[3] = {0.0f, 0.0f, 0.0f};
    float specular[3] = {0.0f, 0.0f, 0.0f};
    for (const LightRecord& light : lights) {
        float d = 0.0f;
        float w = 1.0f;
        if (light.Type == CK_LIGHT_POINT || light.Type == CK_LIGHT_SPOT) {
            const QxVector l = light.LocalPosition - p;
            const float dist = QxMagnitude(l);
            // Out of range, or at the light itself: no light, no highlight.
            if (!(dist < light.Range) || dist == 0.0f) {
                w = 0.0f;
            } else {
                const float a = (light.Range - dist) * light.InverseRange;
                const float att = light.Attenuation[0] + light.Attenuation[1] * a + light.Attenuation[2] * a * a;
                const QxVector toLight = l * (1.0f / dist);
                if (light.Type == CK_LIGHT_POINT) {
                    d = att * QxDotProduct(n, toLight);
                } else {
                    const float c = QxDotProduct(toLight, light.TowardsLight);
                    if (c <= light.CosOuter) {
                        w = 0.0f;
                    } else {
                        const float spot = c >= light.CosInner ? 1.0f : (c - light.CosOuter) * light.InverseSpread;
                        w = att * spot;
                        d = w * QxDotProduct(n, toLight);
                    }
                }
            }
        } else if (light.Type == CK_LIGHT_DIRECTIONAL) {
            d = QxDotProduct(n, light.TowardsLight);
        } else if (light.Type == 4) {
            d = QxDotProduct(n, light.LocalPosition);
        } else {
            w = 0.0f;
        }
        if (d > 0.0f)
            for (int k = 0; k < 3; ++k)
                diffuse[k] += light.Color[k] * d;
        if (light.Specular && m.Power != 0.0f) {
            const float h = QxDotProduct(light.Half, n);
            if (h > 0.0f && w > 0.0f) {
                const float s = m.Power == 1.0f ? h : std::pow(h, m.Power);
                for (int k = 0; k < 3; ++k)
                    specular[k] += light.Color[k] * (s * w);
            }
        }
    }
    const QxColor c(Clamp01(diffuse[0] * m.Diffuse.r + m.Base[0] + specular[0] * m.Specular.r),
                    Clamp01(diffuse[1] * m.Diffuse.g + m.Base[1] + specular[1] * m.Specular.g),
                    Clamp01(diffuse[2] * m.Diffuse.b + m.Base[2] + specular[2] * m.Specular.b), Clamp01(m.Diffuse.a));
    return c.GetARGB();
}

} // namespace

int PrecomputeLighting(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    PassThrough(behavior);
    CK3dEntity* target = TargetEntity(behavior);
    CKMesh* mesh = target ? target->GetCurrentMesh() : nullptr;
    CKScene* scene = RestoreScene(context);
    if (!mesh || !scene || !context.Context || !context.CurrentRenderContext)
        return CKBR_OWNERERROR;
    CKBOOL specular = FALSE;
    ReadInputParameter(behavior, 0, specular);
    // Without a viewpoint the eye stands at the world's origin.
    CK3dEntity* viewpoint = context.CurrentRenderContext->GetViewpoint();
    const QxVector eye = viewpoint ? WorldPositionOf(viewpoint) : QxVector();
    const std::vector<LightRecord> lights = GatherLights(context.Context, scene, target, eye, specular);

    VectorSpan positions = MeshPositions(mesh);
    VectorSpan normals = MeshNormals(mesh);
    CKDWORD colorStride = 0;
    CKDWORD specularStride = 0;
    CKBYTE* colors = static_cast<CKBYTE*>(mesh->GetColorsPtr(&colorStride, -1));
    CKBYTE* speculars = static_cast<CKBYTE*>(mesh->GetSpecularColorsPtr(&specularStride));
    const int vertices = positions.Count < normals.Count ? positions.Count : normals.Count;
    if (colors && speculars && vertices > 0) {
        const CKDWORD ambient = scene->GetAmbientLightColor();
        // Which group last lit a vertex: each is lit once per group.
        std::vector<int> litBy((size_t) vertices, -1);
        std::vector<uint32_t> listed;
        const int faces = mesh->GetFaceCount();
        for (int g = 0; g < mesh->GetMaterialCount(); ++g) {
            CKMaterial* material = mesh->GetMaterial(g);
            if (!material)
                continue;
            const MaterialTerms terms = TermsOf(material, ambient);
            listed.clear();
            for (int f = 0; f < faces; ++f) {
                if (mesh->GetFaceMaterial(f) != material)
                    continue;
                int corner[3];
                mesh->GetFaceVertexIndex(f, corner[0], corner[1], corner[2]);
                for (int v : corner)
                    if (v >= 0 && v < vertices && litBy[(size_t) v] != g) {
                        litBy[(size_t) v] = g;
                        listed.push_back((uint32_t) v);
                    }
            }
            for (uint32_t v : listed) {
                *reinterpret_cast<CKDWORD*>(colors + (size_t) v * colorStride) =
                    LightVertex(lights, terms, positions[(int) v], normals[(int) v]);
                *reinterpret_cast<CKDWORD*>(speculars + (size_t) v * specularStride) = 0;
            }
        }
    }
    if (mesh->GetLitMode() != 0)
        mesh->SetLitMode(0);
    mesh->ColorChanged();
    return CKBR_OK;
}
