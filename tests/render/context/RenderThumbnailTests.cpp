// A file saved while the context has a main render context carries a
// thumbnail of its view: a JPEG the JPEG reader decodes, and its trailer.
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/bitmap/CKBitmapReader.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKVariableManager.h"
#include "core/file/CKFile.h"
#include "includes/CKByteOrder.h"
#include "readers/jpeg/JpgReaderPlugin.h"
#include "tests/render/support/RenderTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

class RenderThumbnail : public RenderFixture
{
protected:
    void SetUp() override
    {
        RenderFixture::SetUp();
        CKGetPluginManager()->RegisterPlugin(0, CKGetJpgPluginInfo(0), nullptr, &CKGetJpgReader);
        CKGetPluginManager()->AddStaticDll("JPG Reader", 1);
    }
    std::vector<CKBYTE> Save(const std::string& path)
    {
        CKFile* file = m_Context->CreateCKFile();
        EXPECT_EQ(file->StartSave(path.c_str()), CKErr::Ok);
        file->SaveObject(New<TestEntity>("saved"));
        EXPECT_EQ(file->EndSave(), CKErr::Ok);
        m_Context->DeleteCKFile(file);
        std::ifstream in(path, std::ios::binary);
        return std::vector<CKBYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
};

TEST_F(RenderThumbnail, ASavedFileCarriesAThumbnailTheJpegReaderDecodes)
{
    RCKRenderContext* rc = NewRecordingContext(320, 200);
    ASSERT_EQ(m_Context->GetMainRenderContext(), rc);
    rc->Render();
    TestTempDir dir;
    std::vector<CKBYTE> bytes = Save(dir.File("scene.qdx"));
    ASSERT_GT(bytes.size(), 64u + 20u);
    // The thumbnail is the last included file: JPEG bytes, then the trailer.
    const CKBYTE* trailer = bytes.data() + bytes.size() - 20;
    EXPECT_EQ(LoadLE32(trailer + 0), 80u) << "height: 128 x 200 / 320";
    EXPECT_EQ(LoadLE32(trailer + 4), 128u) << "width";
    EXPECT_EQ(LoadLE32(trailer + 12), 0x53800EA4u);
    EXPECT_EQ(LoadLE32(trailer + 16), 0x65D47D2Du);
    CKDWORD length = LoadLE32(trailer + 8);
    ASSERT_LT(length, bytes.size() - 20);
    const CKBYTE* jpeg = trailer - length;
    CKBitmapReader* reader = static_cast<CKBitmapReader*>(CKGetJpgReader(0));
    CKBitmapProperties* decoded = nullptr;
    ASSERT_EQ(reader->ReadMemory(jpeg, (int) length, &decoded), 0);
    EXPECT_EQ(decoded->m_Format.Width, 128);
    EXPECT_EQ(decoded->m_Format.Height, 80);
    CKDWORD pixel = 0;
    std::memcpy(&pixel, decoded->m_Data, 4);
    EXPECT_LT(pixel & 0xFFFFFF, 0x101010u) << "the black background of the view";
    reader->ReleaseMemory(decoded->m_Data);
    reader->Release();
}

TEST_F(RenderThumbnail, AnAntialiasedDeviceIsRebuiltPlainForTheCaptureAndAfter)
{
    RCKRenderContext* rc = NewRecordingContext(64, 64);
    CKVariableManager* variables = m_Context->GetVariableManager();
    ASSERT_TRUE(variables->SetValue("CK2_3D/Antialias", 2));
    TestTempDir dir;
    TestEntity* watched = New<TestEntity>("watched");
    watched->SetPosition(0, 0, 10);
    rc->AddObject(watched);
    std::vector<CKBYTE> bytes = Save(dir.File("scene.qdx"));
    EXPECT_EQ(LoadLE32(bytes.data() + bytes.size() - 20), 128u);
    int antialias = 0;
    variables->GetValue("CK2_3D/Antialias", &antialias);
    EXPECT_EQ(antialias, 2) << "set back after the capture";
    EXPECT_EQ(RenderEvents(), (std::vector<std::string>{"draw watched", "draw watched"}))
        << "one frame for the capture, one after";
    EXPECT_STREQ(Recorder(rc)->GetCalls()[0].CStr(), "Create(0,0,64,64)") << "the device was made again";
}

TEST_F(RenderThumbnail, WithoutAMainRenderContextThereIsNone)
{
    TestTempDir dir;
    std::vector<CKBYTE> bytes = Save(dir.File("scene.qdx"));
    EXPECT_NE(LoadLE32(bytes.data() + bytes.size() - 8), 0x53800EA4u);
}

} // namespace
