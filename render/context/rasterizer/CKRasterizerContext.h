#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "render/context/rasterizer/CKRasterizerTypes.h"
#include "system/math/QxBbox.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxRect.h"

class CKRasterizerDriver;
struct CKDrawPrimitiveData;

// A drawing device of a rasterizer driver. The base keeps what every device
// is given and can be asked again: transforms, viewport, render states,
// texture-stage states, lights, material, clip planes and the descriptions
// of its objects by index and kind; and it computes vertex transforms and
// box visibility from the transforms it holds. Derived contexts draw.
class CKRasterizerContext
{
public:
    explicit CKRasterizerContext(CKRasterizerDriver* driver);
    virtual ~CKRasterizerContext();
    CKRasterizerContext(const CKRasterizerContext&) = delete;
    CKRasterizerContext& operator=(const CKRasterizerContext&) = delete;

    CKRasterizerDriver* GetDriver() const { return m_Driver; }
    void* GetWindow() const { return m_Window; }
    int GetPosX() const { return m_PosX; }
    int GetPosY() const { return m_PosY; }
    int GetWidth() const { return m_Width; }
    int GetHeight() const { return m_Height; }

    // The device on a window rectangle; FALSE for an empty size.
    virtual CKBOOL Create(void* window, int x, int y, int width, int height, int bpp, CKBOOL fullscreen);
    virtual CKBOOL Resize(int x, int y, int width, int height);
    // Clears colour, depth and stencil (CKRST_CTXCLEAR_...) in the given
    // rectangles, or everywhere when rectCount is 0.
    virtual CKBOOL Clear(CKDWORD flags, CKDWORD color, float z, CKDWORD stencil, int rectCount,
                         const QxRect* rects) = 0;
    virtual CKBOOL BackToFront(CKBOOL vsync) = 0;
    virtual CKBOOL BeginScene() = 0;
    virtual CKBOOL EndScene() = 0;

    // State setters keep what they are given (FALSE outside the tables).
    virtual CKBOOL SetLight(CKDWORD index, const CKLightRecord& light);
    virtual CKBOOL EnableLight(CKDWORD index, CKBOOL enable);
    virtual CKBOOL SetMaterial(const CKMaterialData& material);
    virtual CKBOOL SetViewport(const CKViewportData& viewport);
    // type CKRST_TRANSFORM_...
    virtual CKBOOL SetTransform(CKDWORD type, const QxMatrix& matrix);
    virtual CKBOOL SetRenderState(CKDWORD state, CKDWORD value);
    virtual CKBOOL GetRenderState(CKDWORD state, CKDWORD* value);
    // Texture index 0 unbinds the stage.
    virtual CKBOOL SetTexture(CKDWORD texture, int stage);
    virtual CKBOOL SetTextureStageState(int stage, CKDWORD state, CKDWORD value);
    CKBOOL GetTextureStageState(int stage, CKDWORD state, CKDWORD* value);
    // Every stage unbound and back to its initial states.
    virtual void ResetTextureStages();
    virtual CKBOOL SetUserClipPlane(CKDWORD index, const float plane[4]);
    CKBOOL GetUserClipPlane(CKDWORD index, float plane[4]);

    virtual CKBOOL DrawPrimitive(int type, const CKWORD* indices, int indexCount, CKDrawPrimitiveData* data) = 0;
    virtual CKBOOL DrawPrimitiveWithDwordIndices(int type, const CKDWORD* indices, int indexCount,
                                                 CKDrawPrimitiveData* data) = 0;
    // A vertex buffer of its own, with 16-bit indices or none.
    virtual CKBOOL DrawPrimitiveVB(int type, CKDWORD vertexBuffer, CKDWORD startVertex, CKDWORD vertexCount,
                                   const CKWORD* indices = nullptr, int indexCount = 0) = 0;
    virtual CKBOOL DrawPrimitiveSharedVB(int type, CKDWORD vertexBuffer, CKDWORD startVertex, CKDWORD vertexCount,
                                         const CKWORD* indices, int indexCount) = 0;
    virtual CKBOOL DrawPrimitiveSharedVBWithDwordIndices(int type, CKDWORD vertexBuffer, CKDWORD startVertex,
                                                         CKDWORD vertexCount, const CKDWORD* indices,
                                                         int indexCount) = 0;
    virtual CKBOOL DrawPrimitiveSharedVBIB(int type, CKDWORD vertexBuffer, CKDWORD startVertex, CKDWORD indexBuffer,
                                           CKDWORD startIndex, int vertexCount, int indexCount) = 0;
    virtual CKBOOL DrawSprite(CKDWORD sprite, const QxRect& source, const QxRect& screen) = 0;

    // Objects by index (1 .. CKRST_MAX_OBJECTINDEX) and kind (CKRST_OBJ_...):
    // the description tells a texture or a sprite (CKTextureDesc), a vertex
    // buffer (CKVertexBufferDesc) or a shared buffer (CKSharedVBDesc,
    // CKSharedIBDesc). An object already at the index is replaced. TRUE when
    // made.
    virtual CKBOOL CreateObject(CKDWORD index, CKDWORD type, const void* desc) = 0;
    virtual CKBOOL DeleteObject(CKDWORD index, CKDWORD type);
    virtual CKBOOL LoadTexture(CKDWORD texture, const QxImageDesc& surface, int mipLevel = -1) = 0;
    // Copies the colour buffer (the source rectangle, all when null) into a
    // texture (at the destination rectangle, its origin when null).
    virtual CKBOOL CopyToTexture(CKDWORD texture, const QxRect* source, const QxRect* destination) = 0;
    virtual CKBOOL LockTexture(CKDWORD texture, QxImageDesc& surface, int mipLevel = 0, CKDWORD flags = 0) = 0;
    virtual CKBOOL UnlockTexture(CKDWORD texture, int mipLevel = 0) = 0;
    virtual CKBOOL LoadSprite(CKDWORD sprite, const QxImageDesc& surface) = 0;
    // Writable memory of vertices start .. start + count - 1; null outside
    // the buffer.
    virtual void* LockVertexBuffer(CKDWORD vertexBuffer, CKDWORD startVertex, CKDWORD vertexCount,
                                   CKDWORD flags = 0) = 0;
    virtual CKBOOL UnlockVertexBuffer(CKDWORD vertexBuffer) = 0;
    virtual void* LockSharedVB(CKDWORD index, CKDWORD startVertex, CKDWORD vertexCount, CKDWORD flags = 0) = 0;
    virtual CKBOOL UnlockSharedVB(CKDWORD index) = 0;
    virtual void* LockSharedIB(CKDWORD index, CKDWORD startIndex, CKDWORD indexCount, CKDWORD flags = 0) = 0;
    virtual CKBOOL UnlockSharedIB(CKDWORD index) = 0;
    // The colour buffer (buffer 1) of the rectangle as a 32-bit image: fills
    // the description, copies the pixels when its image pointer is set and
    // returns the byte size; 0 for another buffer or an empty rectangle.
    virtual int CopyToMemoryBuffer(const QxRect& rect, CKDWORD buffer, QxImageDesc& desc) = 0;

    // The kept descriptions; null when no object of that kind is there.
    CKTextureDesc* GetTextureData(CKDWORD texture) const;
    CKSpriteDesc* GetSpriteData(CKDWORD sprite) const;
    CKVertexBufferDesc* GetVertexBufferData(CKDWORD vertexBuffer) const;
    CKSharedVBDesc* GetSharedVBData(CKDWORD index) const;
    CKSharedIBDesc* GetSharedIBData(CKDWORD index) const;

    // Points through world, view and projection: clip-space and screen
    // positions (x, y in pixels of the viewport, z / w, 1 / w), clip codes
    // (QxClipCode bits) and the AND of them.
    void TransformVertices(int count, CKTransformData& data);
    // Where a box lies against the view: 0 outside (all corners beyond one
    // clip plane), 1 partly, 2 wholly inside. The box is in world space when
    // world is set, else in the current world transform's space. When
    // extents is given and the box is not outside, its screen rectangle is
    // merged into it.
    CKDWORD ComputeBoxVisibility(const QxBbox& box, CKBOOL world = FALSE, QxRect* extents = nullptr);

    const QxMatrix& GetWorldMatrix() const { return m_World; }
    const QxMatrix& GetViewMatrix() const { return m_View; }
    const QxMatrix& GetProjectionMatrix() const { return m_Projection; }
    const CKViewportData& GetViewport() const { return m_Viewport; }
    const CKMaterialData& GetMaterial() const { return m_Material; }
    // Null outside the table.
    const CKLightRecord* GetLight(CKDWORD index) const;
    CKBOOL IsLightEnabled(CKDWORD index) const;
    // The texture bound to a stage, 0 for none.
    CKDWORD GetTexture(int stage) const;

protected:
    static constexpr int kKinds = 5;
    // Slot of a kind in m_Objects, -1 for an unknown kind.
    static int KindSlot(CKDWORD type);
    // The description at index, of any derived type; null when none.
    CKRasterizerObjectDesc* GetObjectDesc(CKDWORD index, CKDWORD type) const;
    // Stores a description (deleting the one it replaces); FALSE and the
    // description deleted for a bad index or kind.
    CKBOOL SetObjectDesc(CKDWORD index, CKDWORD type, CKRasterizerObjectDesc* desc);
    // Deletes every description (a derived context that owns what they
    // point into calls it first).
    void ReleaseAllObjects();

    CKRasterizerDriver* m_Driver;
    void* m_Window = nullptr;
    int m_PosX = 0;
    int m_PosY = 0;
    int m_Width = 0;
    int m_Height = 0;
    int m_Bpp = 32;
    CKBOOL m_Fullscreen = FALSE;

private:
    void ComputeTotalMatrix(QxMatrix& total, CKBOOL world) const;

    QxMatrix m_World;
    QxMatrix m_View;
    QxMatrix m_Projection;
    CKViewportData m_Viewport;
    CKMaterialData m_Material;
    CKDWORD m_RenderStates[CKRST_RS_COUNT];
    CKDWORD m_StageStates[CKRST_MAX_STAGES][CKRST_TSS_COUNT];
    CKDWORD m_StageTextures[CKRST_MAX_STAGES];
    CKLightRecord m_Lights[CKRST_MAX_LIGHTS];
    CKBOOL m_LightEnabled[CKRST_MAX_LIGHTS];
    float m_ClipPlanes[CKRST_MAX_CLIPPLANES][4];
    XArray<CKRasterizerObjectDesc*> m_Objects[kKinds];
};

// Object indices above this are refused.
constexpr CKDWORD CKRST_MAX_OBJECTINDEX = 0xFFFFF;
