#include <cmath>

#include "exporter/builder/ExportBuilder.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "platform/host/Interface.h"
#include "platform/host/StdFog.h"
#include "render/objects/CKCamera.h"

namespace {

// Fog modes of the engine.
constexpr CKDWORD kFogNone = 0;
constexpr CKDWORD kFogExponential = 1;
constexpr CKDWORD kFogLinear = 3;
// The layered kind of the standard fog.
constexpr int kLayeredFog = 1;

QxColor EngineColor(const Point3& c)
{
    return QxColor(c.x, c.y, c.z, 1.0f);
}

} // namespace

void Max2Qdx::ExportEnvironment()
{
    EnvironmentSettings& env = builder->environment;
    Interval valid;
    env.fogMode = kFogNone;
    env.ambientColor = EngineColor(maxInterface->GetAmbient(0, valid));
    env.backgroundColor = EngineColor(maxInterface->GetBackGround(0, valid));
    env.lightTint = EngineColor(maxInterface->GetLightTint(0, valid));
    env.lightLevel = maxInterface->GetLightLevel(0, valid);
    for (int i = 0; i < maxInterface->NumAtmospheric(); ++i) {
        // Only the standard fog is read: another effect has none of its
        // values.
        Atmospheric* effect = maxInterface->GetAtmospheric(i);
        auto* fog = effect && effect->ClassID() == FOG_CLASS_ID ? dynamic_cast<StdFog*>(effect) : nullptr;
        if (!fog || fog->GetType() == kLayeredFog)
            continue;
        const Color color = fog->GetColor(0);
        env.fogColor = QxColor(color.r, color.g, color.b, 1.0f);
        if (fog->GetFogBG())
            env.backgroundColor = env.fogColor;
        env.fogStart = fog->GetNear(0);
        env.fogEnd = fog->GetFar(0);
        env.fogDensity = 0.0f;
        IParamBlock2* block = fog->GetParamBlock(0);
        env.fogMode = block && block->GetInt(FOG_EXPONENTIAL) != 0 ? kFogExponential : kFogLinear;
    }
}

int Max2Qdx::ApplyStartingCamera(CKCamera* camera, float envNear, float envFar)
{
    EnvironmentSettings& env = builder->environment;
    env.startingCamera = camera;
    if (env.fogMode == kFogNone)
        return 0;
    const float n = env.fogStart;
    const float f = env.fogEnd;
    // Equal ranges, or a fog as thick at both ends, give no line to fit.
    if (envFar == envNear || f == n) {
        ReportPrintf(this, 1, "Warning : the fog of %s cannot be fitted to its range: raw values kept\r\n",
                     camera ? camera->GetName() : "");
        return 1;
    }
    const float a = (f - n) / (envFar - envNear);
    const float b = n - envNear * a;
    const float start = -b / a;
    const float end = (1.0f - b) / a;
    if (!std::isfinite(start) || !std::isfinite(end)) {
        ReportPrintf(this, 1, "Warning : the fog of %s cannot be fitted to its range: raw values kept\r\n",
                     camera ? camera->GetName() : "");
        return 1;
    }
    env.fogStart = start;
    env.fogEnd = end;
    if (env.fogMode == kFogExponential) {
        const float sum = env.fogEnd + env.fogStart;
        if (sum == 0.0f) {
            ReportPrintf(this, 1, "Warning : the exponential fog of %s has no density\r\n",
                         camera ? camera->GetName() : "");
            return 1;
        }
        env.fogDensity = std::log(5.436563491821289f) / (sum * 0.18393972516059875f);
    }
    return 1;
}
