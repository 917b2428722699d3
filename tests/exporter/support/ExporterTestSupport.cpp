#include "tests/exporter/support/ExporterTestSupport.h"

#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/CKRenderEngine.h"

void EngineFixture::SetUp()
{
    ASSERT_EQ(CKStartUp(), 0);
    CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
    CKBuildClassHierarchyTable();
    ASSERT_EQ(CKCreateContext(&m_Context, nullptr), 0);
}

void EngineFixture::TearDown()
{
    if (m_Context) {
        EXPECT_EQ(CKCloseContext(m_Context), 0);
    }
    m_Context = nullptr;
    EXPECT_EQ(CKShutdown(), 0);
}
