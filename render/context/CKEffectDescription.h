#pragma once

#include "includes/CKTypes.h"
#include "includes/XString.h"

// A material effect the render manager offers: its name, how many textures
// it takes beside the material's own and the names of those slots (empty
// when unnamed, shown as "Texture 1" to "Texture 3"), and the structure of
// its parameter: a type GUID and its members as "Name:Type" texts joined by
// commas (types are parameter type names).
struct CKEffectDescription
{
    XString Name;
    XString Summary;
    int NeededTextures = 0;
    XString Tex1Description;
    XString Tex2Description;
    XString Tex3Description;
    CKGUID ParameterType;
    XString ParameterDescription;
};
