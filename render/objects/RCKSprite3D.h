#pragma once

#include "render/objects/CKPickResult.h"
#include "render/objects/CKSprite3D.h"

class RCKRenderContext;

// The chunk identifier of the 3D sprite's section.
constexpr CKDWORD CK_STATESAVE_SPRITE3DDATA = 0x400000;
constexpr CKDWORD CK_STATESAVE_SPRITE3DONLY = 0xFC00000;

// Ray-test flags.
enum : CKDWORD
{
    CK_PICK_SEGMENT = 0x1,     // a plane behind the start is not hit
    CK_PICK_IGNOREALPHA = 0x2, // the material's alpha test is not asked
};

// The vertex format word of the sprite's quad in the batching key.
constexpr CKDWORD CK_SPRITE3D_BATCHFORMAT = 0x1C2;

// The render library's 3D sprite: a material, an orientation mode, the
// rectangle's offset and its texture rectangle; the size is the local box.
class RCKSprite3D : public CKSprite3D
{
public:
    // Size 2 by 2, centred: box (-1, -1, 0)..(1, 1, 0).
    explicit RCKSprite3D(CKContext* context, const char* name = nullptr);

    static CKObject* CreateInstance(CKContext* context) { return new RCKSprite3D(context); }
    static const char* GetClassName() { return "3D Sprite"; }
    static void Register();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

    // CKObject
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPreDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CKRenderObject
    CKBOOL IsToBeRendered() override;
    CKBOOL IsToBeRenderedLast() override;

    // CK3dEntity
    CKBOOL Render(CKRenderContext* context, CKDWORD flags) override;

    // CKSprite3D
    void SetMaterial(CKMaterial* material) override { m_Material = material; }
    CKMaterial* GetMaterial() override { return m_Material; }
    void SetSize(const Qx2DVector& size) override;
    void GetSize(Qx2DVector& size) override;
    void SetOffset(const Qx2DVector& offset) override;
    void GetOffset(Qx2DVector& offset) override { offset = m_Offset; }
    void SetUVMapping(const QxRect& rect) override { m_UVMapping = rect; }
    void GetUVMapping(QxRect& rect) override { rect = m_UVMapping; }
    void SetMode(int mode) override { m_Mode = mode; }
    int GetMode() override { return m_Mode; }

    // Turns the sprite towards the context's viewpoint, as its mode says,
    // then tests its box against the view (render flags: the low byte asks
    // for screen extents, 0x100 says the world matrix is loaded).
    CKBOOL IsInViewFrustrum(CKRenderContext* context, CKDWORD flags) override;
    // The segment start..end (in the referential's frame) against the
    // quad; the result, when given, gets the hit point, the texture
    // coordinates there and the distance along the segment.
    CKBOOL RayIntersection(const QxVector* start, const QxVector* end, CKPickResult* result, CK3dEntity* referential,
                           CKDWORD flags = 0) override;
    // With world set, the world box follows the local one when out of date.
    void UpdateBox(CKBOOL world = TRUE) override;
    // The box is the rectangle: nothing to set.
    CKBOOL SetBoundingBox(const QxBbox*, CKBOOL = FALSE) override { return TRUE; }
    void UpdateOrientation(CKRenderContext* context);

private:
    void SetBox(const Qx2DVector& halfSize);
    // The immediate draw: a fan of four vertices in world space.
    void Draw(RCKRenderContext* context, CKMaterial* material);

    CKMaterial* m_Material = nullptr;
    int m_Mode = CKSPRITE3D_BILLBOARD;
    Qx2DVector m_Offset;
    QxRect m_UVMapping{0.0f, 0.0f, 1.0f, 1.0f};
};
