#include "tests/render/mesh/MaterialTestSupport.h"

#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/object/CKObjectIDList.h"
#include "readers/png/PngReaderPlugin.h"

void MaterialFixture::SetUp()
{
    RenderFixture::SetUp();
    CKGetPluginManager()->RegisterPlugin(0, CKGetPngPluginInfo(0), nullptr, &CKGetPngReader);
    CKGetPluginManager()->AddStaticDll("PNG Reader", 1);
}

void MaterialFixture::TearDown()
{
    if (m_Fresh) {
        EXPECT_EQ(CKCloseContext(m_Fresh), 0);
    }
    m_Fresh = nullptr;
    RenderFixture::TearDown();
}

CKContext* MaterialFixture::Fresh()
{
    if (!m_Fresh) {
        EXPECT_EQ(CKCreateContext(&m_Fresh, nullptr), 0);
    }
    return m_Fresh;
}

std::string MaterialFixture::SaveAndLoad(const std::vector<CKObject*>& objects)
{
    std::string path = m_Dir.File("saved.qdx");
    CKFile* file = m_Context->CreateCKFile();
    EXPECT_EQ(file->StartSave(path.c_str()), CKErr::Ok);
    for (CKObject* object : objects)
        file->SaveObject(object);
    EXPECT_EQ(file->EndSave(), CKErr::Ok);
    m_Context->DeleteCKFile(file);

    CKFile* in = Fresh()->CreateCKFile();
    CKObjectIDList list;
    EXPECT_EQ(in->Load(path.c_str(), &list), CKErr::Ok);
    Fresh()->DeleteCKFile(in);
    return path;
}

CKStateChunk* SectionChunk(CK_CLASSID cid, CKDWORD identifier, const std::vector<CKDWORD>& words)
{
    CKStateChunk* chunk = CKCreateStateChunk(cid, nullptr);
    chunk->StartWrite();
    chunk->WriteIdentifier(identifier);
    for (CKDWORD w : words)
        chunk->WriteDword(w);
    chunk->CloseChunk();
    return chunk;
}

std::vector<CKDWORD> SectionWords(CKObject* object, CKDWORD identifier, int count)
{
    std::vector<CKDWORD> words;
    CKStateChunk* chunk = CKSaveObjectState(object);
    if (!chunk)
        return words;
    chunk->StartRead();
    int size = chunk->SeekIdentifierAndReturnSize(identifier);
    for (int i = 0; i < count && i < size / 4; ++i)
        words.push_back(chunk->ReadDword());
    CKDeleteStateChunk(chunk);
    return words;
}
