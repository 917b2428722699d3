#pragma once

#include "core/context/CKBaseManager.h"
#include "system/math/QxRect.h"

class CKRenderContext;
struct CKEffectDescription;

// The render library's manager (GUID RENDER_MANAGER_GUID): it owns the
// render contexts of one context. The render library implements it; the
// core only destroys the render contexts when the context is destroyed.
class CKRenderManager : public CKBaseManager
{
public:
    using CKBaseManager::CKBaseManager;

    virtual int GetRenderContextCount() = 0;
    // Null outside 0 .. count - 1.
    virtual CKRenderContext* GetRenderContext(int index) = 0;
    // A render context on the window through the render driver of that
    // index, of the rectangle's size (the whole window when null); null when
    // the driver does not exist or refuses.
    virtual CKRenderContext* CreateRenderContext(void* window, int driver = 0, const QxIntRect* rect = nullptr) = 0;
    // -18 for a render context of another manager.
    virtual CKERROR DestroyRenderContext(CKRenderContext* context) = 0;

    // Render drivers of every rasterizer started, in rasterizer order.
    virtual int GetRenderDriverCount() = 0;
    // Null outside the range.
    virtual const char* GetRenderDriverDescription(int driver) = 0;

    // Effects a material may use; index 0 is "no effect".
    virtual int GetEffectCount() = 0;
    // Null outside the range.
    virtual const CKEffectDescription* GetEffectDescription(int index) = 0;
};
