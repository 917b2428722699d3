#include "tests/render/support/Render2dTestSupport.h"

#include "core/context/CKRenderManager.h"
#include "core/file/CKFile.h"
#include "core/object/CKObjectIDList.h"

void Render2dFixture::SetUp()
{
    RenderFixture::SetUp();
    m_RC = NewRecordingContext(320, 240);
    ASSERT_NE(m_RC, nullptr);
    ASSERT_EQ(m_Context->GetMainRenderContext(), m_RC);
}

void Render2dFixture::TearDown()
{
    for (CKContext* context : m_Others)
        EXPECT_EQ(CKCloseContext(context), 0);
    m_Others.clear();
    RenderFixture::TearDown();
}

RCK2dEntity* Render2dFixture::New2d(const char* name, const QxRect& rect, CK2dEntity* parent, CK_CLASSID cid)
{
    RCK2dEntity* entity = static_cast<RCK2dEntity*>(m_Context->CreateObject(cid, name));
    if (!entity)
        return nullptr;
    entity->SetParent(parent);
    entity->SetRect(rect);
    return entity;
}

CKContext* Render2dFixture::NewContext()
{
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0 || !context)
        return nullptr;
    m_Others.push_back(context);
    QxIntRect rect{0, 0, 320, 240};
    if (CKRenderManager* manager = context->GetRenderManager())
        manager->CreateRenderContext(nullptr, 1, &rect);
    return context;
}

void Render2dFixture::SaveAndLoad(const std::vector<CKObject*>& objects, CKContext* context)
{
    const std::string path = m_Dir.File("round.qdx");
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(path.c_str()), 0);
    for (CKObject* object : objects)
        file->SaveObject(object);
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);
    CKFile* in = context->CreateCKFile();
    CKObjectIDList list;
    EXPECT_EQ(in->Load(path.c_str(), &list), 0);
    context->DeleteCKFile(in);
}
