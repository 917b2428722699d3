#include "exporter/geometry/TexmapTransform.h"

#include "exporter/materials/MaterialConversion.h"
#include "platform/host/Mesh.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"

int GetTexmapTransform(Mtl* material, TexmapTransform& t)
{
    StdMat2* standard = AsStandardMaterial(material);
    BitmapTex* bitmap = AsBitmapTexture(standard ? standard->GetSubTexmap(ID_DI) : nullptr);
    if (!bitmap)
        return 0;
    const StdUVGen* uv = bitmap->GetTheUVGen();
    const int tiling = uv ? uv->GetTextureTiling() : 0;
    t.uTile = (tiling & U_WRAP) ? 1 : 0;
    t.vTile = (tiling & V_WRAP) ? 1 : 0;
    t.uMirror = (tiling & U_MIRROR) ? 1 : 0;
    t.vMirror = (tiling & V_MIRROR) ? 1 : 0;
    if (uv) {
        t.uOffset = uv->GetUOffs(0);
        t.vOffset = uv->GetVOffs(0);
        t.uScale = uv->GetUScl(0);
        t.vScale = uv->GetVScl(0);
        t.angle = uv->GetAng(0);
    }
    if (const IParamBlock2* block = bitmap->GetParamBlock(0)) {
        t.cropApply = block->GetInt(BMTEX_APPLY, 0);
        t.cropU = block->GetFloat(BMTEX_CLIPU, 0);
        t.cropV = block->GetFloat(BMTEX_CLIPV, 0);
        t.cropWidth = block->GetFloat(BMTEX_CLIPW, 0);
        t.cropHeight = block->GetFloat(BMTEX_CLIPH, 0);
    }
    return 1;
}

namespace {

inline bool IsNaN(float f)
{
    return f != f;
}

} // namespace

void ApplyTexmapTransform(float& u, float& v, const TexmapTransform& t, CKBOOL apply)
{
    v = 1.0f - v;
    if (!apply)
        return;
    if (t.cropApply) {
        if (!IsNaN(t.cropWidth) && !IsNaN(t.cropU))
            u = t.cropWidth * u + t.cropU;
        if (!IsNaN(t.cropHeight) && !IsNaN(t.cropV))
            v = t.cropHeight * v + t.cropV;
    }
    u = (u - 0.5f) * t.uScale + 0.5f - t.uOffset;
    v = (v - 0.5f) * t.vScale + 0.5f + t.vOffset;
}

void MakeFaceMapCoordinates(const Face& face, float uvs[3][2])
{
    static const int hidden[8] = {0, 1, 0, 2, 0, 1, 0, 2};
    static const int turnsA[8] = {2, 0, 2, 0, 2, 1, 2, 0};
    static const int turnsB[8] = {0, 0, 0, 1, 0, 2, 0, 1};
    static const float triangleA[3][2] = {{0, 0}, {1, 1}, {1, 0}};
    static const float triangleB[3][2] = {{0, 1}, {1, 1}, {0, 0}};
    const int e = (int) (face.flags & 7);
    const int h = hidden[e];
    const int previous = (h + 2) % 3;
    const bool useB = face.v[previous] >= face.v[h];
    const float(*base)[2] = useB ? triangleB : triangleA;
    const int n = (2 - h + (useB ? turnsB[e] : turnsA[e])) % 3;
    for (int k = 0; k < 3; ++k) {
        uvs[k][0] = base[(n + k) % 3][0];
        uvs[k][1] = base[(n + k) % 3][1];
    }
}
