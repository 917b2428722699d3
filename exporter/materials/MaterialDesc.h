#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XHashTable.h"
#include "includes/XString.h"
#include "render/mesh/CKMaterialModes.h"
#include "system/math/QxColor.h"

class CKMaterial;
class CKTexture;

// What an engine material is made from (ExportBuilder::CreateMaterial):
// colours, power, texture, an effect with its parameters as texts, and the
// render states, each with the engine's default.
struct MaterialDesc
{
    QxColor diffuse{0.7f, 0.7f, 0.7f, 1.0f};
    QxColor specular{0.0f, 0.0f, 0.0f, 1.0f};
    QxColor ambient{0.0f, 0.0f, 0.0f, 1.0f};
    QxColor emissive{0.0f, 0.0f, 0.0f, 1.0f};
    float power = 0.0f;
    CKTexture* texture = nullptr;
    // The effect's name and its parameters, name to value text.
    XString effectName;
    XHashTable<XString, XString> effectParameters;
    int twoSided = 0;
    int fillMode = CK_FILL_SOLID;
    int shadeMode = CK_SHADE_GOURAUD;
    int alphaBlend = 0;
    int sourceBlend = CK_BLEND_ONE;
    int destBlend = CK_BLEND_ZERO;
    int perspectiveCorrection = 1;
    int textureMinMode = CK_TEXFILTER_LINEAR;
    int textureMagMode = CK_TEXFILTER_LINEAR;
    int textureBlendMode = CK_TEXBLEND_MODULATEALPHA;
    int zFunc = CK_CMP_LESSEQUAL;
    int zWrite = 1;
};

// One further sub-material of a material with extra channels.
struct MultiMaterialChannel
{
    CKMaterial* material = nullptr;
    int active = 1;
    int lit = 1;
    int sourceBlend = CK_BLEND_SRCALPHA;
    int destBlend = CK_BLEND_INVSRCALPHA;
    // The map channel of the sub-material's diffuse map; -1 when it takes
    // no explicit channel.
    int uvSource = -1;
};

// A base engine material (sub-material 0's) and its further sub-materials'.
struct MultiMaterialRecord
{
    CKMaterial* base = nullptr;
    XArray<MultiMaterialChannel> channels;

    // Appends an entry; a null material is refused (FALSE).
    CKBOOL AddEntry(CKMaterial* material, int uvSource)
    {
        if (!material)
            return FALSE;
        MultiMaterialChannel entry;
        entry.material = material;
        entry.uvSource = uvSource;
        channels.PushBack(entry);
        return TRUE;
    }
};
