#include "platform/host/GenLight.h"

namespace {

struct LightClass
{
    Class_ID id;
    const char* name;
};

LightClass ClassOf(int type, bool targeted)
{
    switch (type) {
    case SPOT_LGT:
        return targeted ? LightClass{SPOT_LIGHT_CLASS_ID, "Target Spot"}
                        : LightClass{FSPOT_LIGHT_CLASS_ID, "Free Spot"};
    case DIRECT_LGT:
        return targeted ? LightClass{TDIR_LIGHT_CLASS_ID, "Target Direct"}
                        : LightClass{DIR_LIGHT_CLASS_ID, "Free Direct"};
    case AMBIENT_LGT: return {AMBIENT_LIGHT_CLASS_ID, "Ambient"};
    default: return {OMNI_LIGHT_CLASS_ID, "Omni"};
    }
}

} // namespace

GenLight::GenLight(int type, bool targeted)
    : LightObject(LIGHT_CLASS_ID, ClassOf(type, targeted).id, ClassOf(type, targeted).name), m_Targeted(targeted)
{
    m_State.type = type;
}

int GenLight::EvalLightState(TimeValue, Interval&, LightState* ls)
{
    if (!ls)
        return 0;
    *ls = m_State;
    return 1;
}
