#pragma once

#include "core/object/CKObject.h"
#include "system/image/QxImageDesc.h"
#include "system/math/Qx2DVector.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxRect.h"

class CKRenderContext;
class CKRenderObject;
class CK2dEntity;
class CK3dEntity;
class CKCamera;
class CKMaterial;
class CKTexture;
class CKRasterizerContext;
struct CKDrawPrimitiveData;
struct CKMaterialBinding;

// Render options word (the "Render Options" flags): what Render does.
enum : CKDWORD
{
    CK_RENDER_BACKGROUNDSPRITES = 0x1,
    CK_RENDER_FOREGROUNDSPRITES = 0x2,
    CK_RENDER_USECAMERARATIO = 0x8,
    CK_RENDER_CLEARZ = 0x10,
    CK_RENDER_CLEARBACK = 0x20,
    CK_RENDER_CLEARSTENCIL = 0x40,
    CK_RENDER_DOBACKTOFRONT = 0x80,
    CK_RENDER_CLEARVIEWPORT = 0x100,
    CK_RENDER_WAITVBL = 0x200,
    CK_RENDER_SKIPDRAWSCENE = 0x400,
    CK_RENDER_SKIP3D = 0x1000,
    CK_RENDER_HINTRENDERATTRIBTEX = 0x40000,
    // What a new render context does: sprites, clears and the swap.
    CK_RENDER_DEFAULTSETTINGS = 0xF3,
};

// Buffers DumpToMemory can read.
enum : CKDWORD
{
    CK_RENDERBUFFER_COLOR = 1,
};

// A render context's own pre- or post-render callback.
typedef void (*CK_RENDERCALLBACK)(CKRenderContext* context, void* argument);

// The core part of a render context (class 12): its drawing operations come
// from the render library's implementation. The first render context of a
// context becomes its main one. Render contexts are never saved.
class CKRenderContext : public CKClass<CKRenderContext, CKObject, CKCID_RENDERCONTEXT>
{
public:
    CKRenderContext(CKContext* context, const char* name = nullptr);
    ~CKRenderContext() override;

    // What it draws: 3D entities, cameras and lights are added to its
    // scene; 2D entities are drawn through the 2D roots.
    virtual void AddObject(CKRenderObject* object) = 0;
    virtual void RemoveObject(CKRenderObject* object) = 0;
    virtual CKBOOL IsObjectAttached(CKRenderObject* object) = 0;
    virtual void DetachAll() = 0;

    // One frame: flags 0 takes the current render options.
    virtual CKERROR Render(CKDWORD flags = 0) = 0;
    // Clears what the flags ask (CK_RENDER_CLEAR...), 0 meaning the current
    // options.
    virtual CKERROR Clear(CKDWORD flags = 0, CKDWORD stencil = 0) = 0;
    // The scene without clearing or swapping.
    virtual CKERROR DrawScene(CKDWORD flags = 0) = 0;
    // Shows the frame; a non-zero flag waits for the vertical blank.
    virtual CKERROR BackToFront(CKDWORD flags = 0) = 0;
    virtual CKDWORD GetCurrentRenderOptions() = 0;
    virtual void SetCurrentRenderOptions(CKDWORD options) = 0;
    // Called at every Render before / after the scene; a temporary callback
    // runs once. A pair already present is not added again.
    virtual void AddPreRenderCallBack(CK_RENDERCALLBACK function, void* argument, CKBOOL temporary = FALSE) = 0;
    virtual void RemovePreRenderCallBack(CK_RENDERCALLBACK function, void* argument) = 0;
    virtual void AddPostRenderCallBack(CK_RENDERCALLBACK function, void* argument, CKBOOL temporary = FALSE) = 0;
    virtual void RemovePostRenderCallBack(CK_RENDERCALLBACK function, void* argument) = 0;

    // The view rectangle, relative to the window.
    virtual void GetViewRect(QxRect& rect) = 0;
    virtual void SetViewRect(const QxRect& rect) = 0;
    // The window rectangle: (0, 0, width, height), or where the window lies
    // on the screen when screenRelative is set.
    virtual void GetWindowRect(QxRect& rect, CKBOOL screenRelative = FALSE) = 0;
    virtual int GetWidth() = 0;
    virtual int GetHeight() = 0;
    // New window rectangle; the view follows. -1 when the device refuses.
    virtual CKERROR Resize(int x, int y, int width, int height) = 0;

    // Another render driver of the render manager; -1 keeps the driver and
    // rebuilds the device. -18 for a driver that does not exist.
    virtual CKERROR ChangeDriver(int driver) = 0;
    virtual int GetDriverIndex() = 0;
    virtual CKRasterizerContext* GetRasterizerContext() = 0;
    // Reads a buffer (CK_RENDERBUFFER_...) of the rectangle (the view when
    // null) as a 32-bit image: fills the description and returns the byte
    // size; copies the pixels when the description's image pointer is set.
    // 0 for another buffer or without a device.
    virtual int DumpToMemory(const QxRect* rect, CKDWORD buffer, QxImageDesc& desc) = 0;

    // The camera the context looks through, or null.
    virtual void AttachViewpointToCamera(CKCamera* camera) = 0;
    virtual void DetachViewpointFromCamera() = 0;
    virtual CKCamera* GetAttachedCamera() = 0;
    // The context's viewpoint entity: the attached camera, else its own.
    virtual CK3dEntity* GetViewpoint() = 0;

    // Render state pass-throughs (Direct3D 9 numbering).
    virtual CKBOOL SetState(CKDWORD state, CKDWORD value) = 0;
    virtual CKDWORD GetState(CKDWORD state) = 0;
    // Makes the texture current on a stage; null unbinds the stage.
    virtual CKBOOL SetTexture(CKTexture* texture, CKBOOL clamped = FALSE, int stage = 0) = 0;
    virtual CKBOOL SetTextureStageState(int stage, CKDWORD state, CKDWORD value) = 0;
    virtual void SetWorldTransformationMatrix(const QxMatrix& matrix) = 0;
    virtual void SetProjectionTransformationMatrix(const QxMatrix& matrix) = 0;
    virtual void SetViewTransformationMatrix(const QxMatrix& matrix) = 0;
    virtual const QxMatrix& GetWorldTransformationMatrix() = 0;
    virtual const QxMatrix& GetProjectionTransformationMatrix() = 0;
    virtual const QxMatrix& GetViewTransformationMatrix() = 0;
    // Loads the entity's world matrix as world transform (identity for null).
    virtual void DrawWithEntityTransform(CK3dEntity* entity) = 0;

    // The context's own draw record sized for vertexCount vertices of the
    // format (CKRST_DP_... flags); valid until the next request.
    virtual CKDrawPrimitiveData* GetDrawPrimitiveStructure(CKDWORD flags, int vertexCount) = 0;
    // The context's own 16-bit index buffer of count entries.
    virtual CKWORD* GetDrawPrimitiveIndices(int count) = 0;
    // Draws through the rasterizer context: indices may be null.
    virtual CKBOOL DrawPrimitive(int type, CKWORD* indices, int indexCount, CKDrawPrimitiveData* data) = 0;

    // The foreground root, or the background root for a non-zero flag.
    virtual CK2dEntity* Get2dRoot(CKBOOL background) = 0;
    // The topmost 2D entity under the point, foreground before background.
    virtual CK2dEntity* Pick2D(const Qx2DVector& point) = 0;

    // The material to draw with in place of material (null: none), with
    // where it comes from and its shader binding.
    virtual CKMaterial* ResolveOverriddenRendering(CKMaterial* material, CKMaterialBinding& binding) = 0;
};
