// The shader manager lookup: absent in a plain context, found by its GUID
// when a plug-in registers one, ignored when the GUID holds another kind of
// manager.
#include "render/mesh/CKShaderManager.h"
#include "tests/render/support/RenderTestSupport.h"

namespace {

using ShaderManager = RenderFixture;

class TestShaderManager : public CKShaderManager
{
public:
    TestShaderManager(CKContext* context, int mode)
        : CKShaderManager(context, SHADER_MANAGER_GUID, "Shaders"), m_Mode(mode)
    {
        context->RegisterNewManager(this);
    }
    int GetTangentMode() override { return m_Mode; }
    void BeginShaderSection() override {}
    void EndShaderSection() override {}

private:
    int m_Mode;
};

class OtherManager : public CKBaseManager
{
public:
    explicit OtherManager(CKContext* context) : CKBaseManager(context, SHADER_MANAGER_GUID, "Other")
    {
        context->RegisterNewManager(this);
    }
};

TEST_F(ShaderManager, WithoutAManagerTangentsAreComputedPerCorner)
{
    EXPECT_EQ(CKGetShaderManager(m_Context), nullptr);
    EXPECT_FALSE(CKAccumulateTangents(m_Context));
    EXPECT_FALSE(CKAccumulateTangents(nullptr));
}

TEST_F(ShaderManager, ARegisteredManagerChoosesTheTangentMethod)
{
    for (int mode : {0, 1}) {
        TestShaderManager manager(m_Context, mode);
        EXPECT_EQ(CKGetShaderManager(m_Context), &manager);
        EXPECT_EQ(CKAccumulateTangents(m_Context), mode == 0 ? TRUE : FALSE) << "mode " << mode;
    }
    OtherManager other(m_Context);
    EXPECT_EQ(CKGetShaderManager(m_Context), nullptr) << "the GUID holds another kind of manager";
}

} // namespace
