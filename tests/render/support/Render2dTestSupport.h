#pragma once

#include <vector>

#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/RCK2dEntity.h"
#include "tests/render/support/RenderTestSupport.h"
#include "tests/support/TestPaths.h"

// The render fixture with a 320 x 240 recording render context (the main
// one, with its 2D roots).
class Render2dFixture : public RenderFixture
{
protected:
    void SetUp() override;

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
