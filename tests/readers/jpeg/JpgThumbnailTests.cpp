// The engine file's thumbnail written through the real JPEG writer: a JPEG
// image the reader decodes back at the thumbnail size, then the trailer.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "core/bitmap/CKBitmapReader.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFileThumbnail.h"
#include "includes/CKByteOrder.h"
#include "readers/jpeg/JpgReaderPlugin.h"
#include "tests/support/TestPaths.h"
#include "tools/testdata/RgbaImage.h"

TEST(JpgThumbnail, TheThumbnailIsARealJpegOfTheThumbnailSizeFollowedByTheTrailer)
{
    ASSERT_EQ(CKStartUp(), 0);
    CKGetPluginManager()->RegisterPlugin(0, CKGetJpgPluginInfo(0), nullptr, &CKGetJpgReader);
    CKGetPluginManager()->AddStaticDll("JPG Reader", 1);

    std::vector<CKDWORD> pixels(320 * 240);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            pixels[(size_t) y * 320 + x] = 0xFF000000u | (CKDWORD) (x * 255 / 319) << 16 | (CKDWORD) (y * 255 / 239);
    QxImageDesc image = QxMakeImageDesc32(320, 240);
    image.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    int width = 0, height = 0;
    CKThumbnailSize(image.Width, image.Height, width, height);
    ASSERT_EQ(width, 128);
    ASSERT_EQ(height, 96);

    TestTempDir dir;
    std::string path = dir.File("zkthumbnail.jpg");
    ASSERT_TRUE(CKWriteThumbnail(path.c_str(), image, width, height));
    const std::vector<uint8_t> bytes = LoadFileBytes(path);
    ASSERT_GT(bytes.size(), 20u + 4u);
    const CKBYTE* trailer = bytes.data() + bytes.size() - 20;
    CKDWORD jpegSize = LoadLE32(trailer + 8);
    EXPECT_EQ(LoadLE32(trailer + 0), 96u);
    EXPECT_EQ(LoadLE32(trailer + 4), 128u);
    EXPECT_EQ(jpegSize, bytes.size() - 20);
    EXPECT_EQ(LoadLE32(trailer + 12), 0x53800EA4u);
    EXPECT_EQ(LoadLE32(trailer + 16), 0x65D47D2Du);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_EQ(bytes[jpegSize - 2], 0xFF);
    EXPECT_EQ(bytes[jpegSize - 1], 0xD9);

    CKBitmapReader* reader = static_cast<CKBitmapReader*>(CKGetJpgReader(0));
    CKBitmapProperties* decoded = nullptr;
    ASSERT_EQ(reader->ReadMemory(bytes.data(), jpegSize, &decoded), 0);
    EXPECT_EQ(decoded->m_Format.Width, 128);
    EXPECT_EQ(decoded->m_Format.Height, 96);
    reader->ReleaseMemory(decoded->m_Data);
    reader->Release();
    EXPECT_EQ(CKShutdown(), 0);
}
