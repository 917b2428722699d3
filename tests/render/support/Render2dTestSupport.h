#pragma once

#include <vector>

#include "render/mesh/CKTexture.h"
#include "render/objects/RCK2dEntity.h"
#include "tests/render/support/RenderTestSupport.h"
#include "tests/support/TestPaths.h"

// A texture of 32-bit ARGB pixels held by the test.
class Test2dTexture : public CKClass<Test2dTexture, CKTexture, 0>
{
public:
    using CKClass::CKClass;
    CKBOOL SetAsCurrent(CKRenderContext*, CKBOOL, int) override { return TRUE; }
    int GetWidth() override { return m_Width; }
    int GetHeight() override { return m_Height; }
    CKDWORD GetPixel(int x, int y, int) override
    {
        return x >= 0 && y >= 0 && x < m_Width && y < m_Height ? m_Pixels[(size_t) (y * m_Width + x)] : 0;
    }
    static const char* GetClassName() { return "Test 2D Texture"; }

    int m_Width = 0;
    int m_Height = 0;
    std::vector<CKDWORD> m_Pixels;
};

// A material with a diffuse colour, an optional texture and alpha test.
class Test2dMaterial : public CKClass<Test2dMaterial, CKMaterial, 0>
{
public:
    using CKClass::CKClass;
    CKBOOL SetAsCurrent(CKRenderContext*, CKBOOL, int) override
    {
        ++m_SetAsCurrent;
        return TRUE;
    }
    const QxColor& GetDiffuse() override { return m_Diffuse; }
    CKTexture* GetTexture(int stage) override { return stage == 0 ? m_Texture : nullptr; }
    int GetEffect() override { return m_Effect; }
    CKBOOL AlphaTestEnabled() override { return m_AlphaTest; }
    int GetAlphaFunc() override { return m_AlphaFunc; }
    CKBYTE GetAlphaRef() override { return m_AlphaRef; }
    static const char* GetClassName() { return "Test 2D Material"; }

    QxColor m_Diffuse = QxColor(1.0f, 1.0f, 1.0f, 1.0f);
    CKTexture* m_Texture = nullptr;
    int m_Effect = 0;
    CKBOOL m_AlphaTest = FALSE;
    int m_AlphaFunc = 5;
    CKBYTE m_AlphaRef = 0;
    int m_SetAsCurrent = 0;
};

// The render fixture with a 320 x 240 recording render context (the main
// one, with its 2D roots) and the test material and texture classes.
class Render2dFixture : public RenderFixture
{
protected:
    void SetUp() override;
    void RegisterMoreClasses() override;

    // A 2D entity (class 27 or a derived class) under the parent (a root
    // when null), with that screen rectangle.
    RCK2dEntity* New2d(const char* name, const QxRect& rect, CK2dEntity* parent = nullptr,
                       CK_CLASSID cid = CKCID_2DENTITY);
    // Another context of the same engine, with its own recording render
    // context; closed by TearDown.
    CKContext* NewContext();
    // Saves the objects of m_Context into a file and loads it into context.
    void SaveAndLoad(const std::vector<CKObject*>& objects, CKContext* context);

    void TearDown() override;

    RCKRenderContext* m_RC = nullptr;
    std::vector<CKContext*> m_Others;
    TestTempDir m_Dir;
};
