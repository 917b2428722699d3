// "Invert Winding", "Change Referential", "Vertex Translate" and "Texture
// Displace".
#include <cmath>
#include <cstdint>

#include "core/object/CKClassRegistry.h"
#include "includes/CKByteOrder.h"
#include "lod/blocks/BlockParameters.h"
#include "lod/blocks/MeshBlockSupport.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK3dEntity.h"
#include "system/image/QxImageDesc.h"
#include "system/math/Qx2DVector.h"
#include "system/math/QxFloatToInt.h"

int InvertWinding(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    PassThrough(behavior);
    CKObject* target = behavior->GetTarget();
    if (!CKIsChildClassOfObject(target, CKCID_MESH))
        return CKBR_OWNERERROR;
    static_cast<CKMesh*>(target)->InverseWinding();
    return CKBR_OK;
}

int ChangeReferential(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    PassThrough(behavior);
    CK3dEntity* entity = TargetEntity(behavior);
    if (!entity)
        return CKBR_OWNERERROR;
    auto* referential = static_cast<CK3dEntity*>(InputObjectOfClass(behavior, 0, CKCID_3DENTITY));
    entity->ApplyTransformToMeshes(referential);
    return CKBR_OK;
}

int VertexTranslate(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CK3dEntity* entity = TargetEntity(behavior);
    CKMesh* mesh = entity ? entity->GetCurrentMesh() : nullptr;
    if (!mesh)
        return CKBR_OWNERERROR;
    if (!behavior->IsInputActive(1)) {
        QxVector vector(0.0f, 0.0f, 0.0f);
        ReadInputParameter(behavior, 2, vector);
        int start = 0;
        int count = 1;
        ReadInputParameter(behavior, 0, start);
        ReadInputParameter(behavior, 1, count);
        auto* referential = static_cast<CK3dEntity*>(InputObjectOfClass(behavior, 3, CKCID_3DENTITY));
        if (referential != entity) {
            QxVector local;
            entity->InverseTransformVector(&local, &vector, referential);
            vector = local;
        }
        VectorSpan positions = ModifierPositions(mesh);
        // Computed in 64 bits: start + count must not wrap past the check.
        const int64_t end = (int64_t) start + count;
        if (start < 0 || count < 0 || end > positions.Count) {
            BlockConsoleMessage(behavior, "Bad vertices number...");
            return CKBR_PARAMETERERROR;
        }
        for (int i = start; i < (int) end; ++i)
            positions[i] += vector;
        behavior->ActivateInput(0, FALSE);
    } else {
        if (behavior->GetVersion() >= kSceneRestoreVersion) {
            RestoreFromInitialState(RestoreScene(context), mesh);
        } else if (RestoreFromSavedPositions(behavior, 0, mesh) < 0) {
            return CKBR_OK;
        }
        behavior->ActivateInput(1, FALSE);
    }
    mesh->ModifierVertexMove(TRUE, FALSE);
    behavior->ActivateOutput(0, TRUE);
    return CKBR_OK;
}

namespace {

// The parameters of "Texture Displace" as its version reads them.
struct DisplaceSettings
{
    float Scales[4] = {0.0f, 0.0f, 0.0f, 0.0f}; // red, green, blue, alpha
    Qx2DVector Corners[2] = {Qx2DVector(0.0f, 0.0f), Qx2DVector(-1.0f, -1.0f)};
    CKBOOL ResetMesh = FALSE;
    CKBOOL NormalRecalculation = TRUE;
    CKBOOL Displace3D = FALSE;
};

DisplaceSettings ReadDisplaceSettings(CKBehavior* behavior)
{
    DisplaceSettings s;
    const CKDWORD version = behavior->GetVersion();
    if (version == 0x10000) {
        float scale = 0.0f;
        int component = 0;
        ReadInputParameter(behavior, 1, scale);
        ReadInputParameter(behavior, 2, component);
        if (component >= 0 && component < 3)
            s.Scales[component] = scale;
        ReadInputParameter(behavior, 3, s.Corners[0]);
        ReadInputParameter(behavior, 4, s.Corners[1]);
    } else if (version == 0x20000 || version == 0x30000) {
        for (int i = 0; i < 4; ++i)
            ReadInputParameter(behavior, 1 + i, s.Scales[i]);
        ReadInputParameter(behavior, 5, s.Corners[0]);
        ReadInputParameter(behavior, 6, s.Corners[1]);
        if (version == 0x30000) {
            ReadInputParameter(behavior, 7, s.ResetMesh);
            ReadInputParameter(behavior, 8, s.NormalRecalculation);
            ReadLocalParameter(behavior, 0, s.Displace3D);
        }
    }
    return s;
}

// A corner coordinate brought into [0, size] as repeated additions or
// subtractions of the size would bring it, in one step (a huge or infinite
// value must not loop); not a number gives 0.
float WrapCoordinate(float v, float size)
{
    if (!std::isfinite(v))
        return 0.0f;
    if (v < 0.0f) {
        v = std::fmod(v, size);
        if (v < 0.0f)
            v += size;
    } else if (v > size) {
        v = std::fmod(v, size);
        if (v == 0.0f)
            v = size;
    }
    return v;
}

// The fractional part of a texture coordinate, in [0, 1].
float Fraction(float t)
{
    float f = t - std::trunc(t);
    return f < 0.0f ? f + 1.0f : f;
}

int ClampIndex(float value, int size)
{
    int i = QxTruncToInt(value);
    return i < 0 ? 0 : (i >= size ? size - 1 : i);
}

} // namespace

int TextureDisplace(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CKMesh* mesh = TargetMesh(behavior);
    if (!mesh)
        return CKBR_OWNERERROR;
    auto* texture = static_cast<CKTexture*>(InputObjectOfClass(behavior, 0, CKCID_TEXTURE));
    QxImageDesc image;
    if (!texture || !texture->GetImageDesc(image))
        return CKBR_OK;
    const int width = image.Width;
    const int height = image.Height;
    // Rows are addressed by the image's own pitch, which must hold a row.
    if (image.BitsPerPixel != 32 || width <= 0 || height <= 0 || image.BytesPerLine < 4 * width)
        return CKBR_OK;
    const CKBYTE* pixels = texture->LockSurfacePtr(-1);
    if (!pixels)
        return CKBR_OK;
    const DisplaceSettings s = ReadDisplaceSettings(behavior);
    if (s.ResetMesh && !CKIsChildClassOfObject(mesh, CKCID_PATCHMESH)) {
        RestoreFromInitialState(RestoreScene(context), mesh);
        if (s.Displace3D)
            mesh->BuildNormals();
    }
    // Fetched after the restore, which may have moved the arrays.
    CKDWORD uvStride = 0;
    const CKBYTE* uvs = static_cast<const CKBYTE*>(mesh->GetTextureCoordinatesPtr(&uvStride, -1));
    VectorSpan positions = MeshPositions(mesh);
    VectorSpan normals = MeshNormals(mesh);
    if (!uvs || uvStride < sizeof(Qx2DVector) || positions.Empty() || normals.Empty())
        return CKBR_OK;

    float u[2];
    float v[2];
    for (int k = 0; k < 2; ++k) {
        u[k] = WrapCoordinate(s.Corners[k].x, (float) width);
        v[k] = WrapCoordinate(s.Corners[k].y, (float) height);
    }
    const float originU = u[0] < u[1] ? u[0] : u[1];
    const float originV = v[0] < v[1] ? v[0] : v[1];
    const float extentU = (u[0] < u[1] ? u[1] : u[0]) - originU;
    const float extentV = (v[0] < v[1] ? v[1] : v[0]) - originV;
    const int count = positions.Count < normals.Count ? positions.Count : normals.Count;
    for (int i = 0; i < count; ++i) {
        const Qx2DVector& uv = *reinterpret_cast<const Qx2DVector*>(uvs + (size_t) i * uvStride);
        const int column = ClampIndex(Fraction(uv.x) * extentU + originU, width);
        const int row = ClampIndex(Fraction(uv.y) * extentV + originV, height);
        const CKDWORD texel = LoadLE32(pixels + (size_t) row * (size_t) image.BytesPerLine + 4 * (size_t) column);
        const float d = (float) ((texel >> 16) & 0xFF) * s.Scales[0] + (float) ((texel >> 8) & 0xFF) * s.Scales[1] +
                        (float) (texel & 0xFF) * s.Scales[2] + (float) (texel >> 24) * s.Scales[3];
        QxVector& p = positions[i];
        if (s.Displace3D)
            p += normals[i] * d;
        else
            p.y = d;
    }
    if (s.NormalRecalculation)
        mesh->BuildNormals();
    mesh->VertexMove();
    PassThrough(behavior);
    return CKBR_OK;
}
