#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XString.h"
#include "render/context/rasterizer/CKRasterizerTypes.h"

class CKRasterizer;
class CKRasterizerContext;

// What a driver can do.
struct CKRasterizerDriverCaps
{
    CKDWORD Family = 0; // the rasterizer family: 2D code offsets pixels on family 0
    int MaxTextureStages = CKRST_MAX_STAGES;
    CKDWORD CapsFlags = 0; // CKRST_CAPS_...
    int MaxVertexIndex = 0xFFFF;
    int MaxTextureWidth = 2048;
    int MaxTextureHeight = 2048;
    int MaxActiveLights = 8;
};

// One device of a rasterizer: its description, capabilities and the texture
// formats it offers; makes the contexts that draw.
class CKRasterizerDriver
{
public:
    explicit CKRasterizerDriver(CKRasterizer* owner) : m_Owner(owner) {}
    virtual ~CKRasterizerDriver();
    CKRasterizerDriver(const CKRasterizerDriver&) = delete;
    CKRasterizerDriver& operator=(const CKRasterizerDriver&) = delete;

    // A new context, to be given back with DestroyContext; null on failure.
    virtual CKRasterizerContext* CreateContext() = 0;
    virtual void DestroyContext(CKRasterizerContext* context);

    CKRasterizer* GetOwner() const { return m_Owner; }
    const char* GetDescription() const { return m_Description.CStr(); }
    const CKRasterizerDriverCaps& GetCaps() const { return m_Caps; }
    int GetTextureFormatCount() const { return m_TextureFormats.Size(); }
    // Null outside the range.
    const CKTextureDesc* GetTextureFormat(int index) const;

protected:
    CKRasterizer* m_Owner;
    XString m_Description;
    CKRasterizerDriverCaps m_Caps;
    XArray<CKTextureDesc*> m_TextureFormats; // owned

    // Publishes a format of the pixel-format table (QX_PIXELFORMAT).
    void AddTextureFormat(int pixelFormat);
};

// A rasterizer: a set of drivers, started once per render manager.
class CKRasterizer
{
public:
    CKRasterizer() = default;
    virtual ~CKRasterizer();
    CKRasterizer(const CKRasterizer&) = delete;
    CKRasterizer& operator=(const CKRasterizer&) = delete;

    int GetDriverCount() const { return m_Drivers.Size(); }
    // Null outside the range.
    CKRasterizerDriver* GetDriver(int index) const
    {
        return index >= 0 && index < m_Drivers.Size() ? m_Drivers[index] : nullptr;
    }

protected:
    XArray<CKRasterizerDriver*> m_Drivers; // owned
};

// Starts a rasterizer for the application window; null when it cannot run.
typedef CKRasterizer* (*CKRasterizerStartFunction)(void* appWindow);
