#pragma once

#include "includes/CKTypes.h"

class CKMaterial;

// What a render context resolves a material to: the material to draw with
// (null: draw nothing with a material), the material it stands for, the
// shader data bound to it and the technique index (-1 for none).
struct CKMaterialBinding
{
    CKMaterial* Material = nullptr;
    CKMaterial* Source = nullptr;
    void* Shader = nullptr;
    int Technique = -1;
};
