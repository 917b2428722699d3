#include "tests/core/support/TestBitmapReader.h"

#include <cstring>

#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "tests/support/TestFiles.h"

TestReaderLog& TestReaders()
{
    static TestReaderLog log;
    return log;
}

CKPluginInfo& TestReaderInfo(const char* extension)
{
    static CKPluginInfo infos[] = {
        {CKGUID(0x51, 0x52), "tst", "Test reader", "test", "", 1, nullptr, nullptr, CKPLUGIN_BITMAP_READER},
        {CKGUID(0x61, 0x62), "tga", "Test tga", "test", "", 1, nullptr, nullptr, CKPLUGIN_BITMAP_READER},
        {CKGUID(0x71, 0x72), "t16", "Test 565", "test", "", 1, nullptr, nullptr, CKPLUGIN_BITMAP_READER},
        {CKGUID(0x81, 0x82), "tmv", "Test movie", "test", "", 1, nullptr, nullptr, CKPLUGIN_MOVIE_READER}};
    for (CKPluginInfo& info : infos)
        if (std::strcmp(extension, info.m_Extension) == 0)
            return info;
    return infos[0];
}

TestBitmapReader::TestBitmapReader(const char* extension)
    : m_Extension(extension), m_Bits(std::strcmp(extension, "t16") == 0 ? 16 : 32)
{
    m_Properties.m_ReaderGuid = TestReaderInfo(extension).m_GUID;
    m_Properties.m_Ext.Set(extension);
}

void TestBitmapReader::Release()
{
    ++TestReaders().Released;
    delete this;
}

std::vector<CKBYTE> TestBitmapReader::Encode(int width, int height, const void* pixels) const
{
    std::vector<CKBYTE> bytes(8 + (size_t) width * height * m_Bits / 8);
    std::memcpy(bytes.data(), &width, 4);
    std::memcpy(bytes.data() + 4, &height, 4);
    std::memcpy(bytes.data() + 8, pixels, bytes.size() - 8);
    return bytes;
}

int TestBitmapReader::ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out)
{
    int w = 0, h = 0;
    if (size >= 8) {
        std::memcpy(&w, memory, 4);
        std::memcpy(&h, static_cast<const CKBYTE*>(memory) + 4, 4);
    }
    if (!CKIsValidImageSize(w, h) || size != 8 + (CKDWORD) (w * h * m_Bits / 8))
        return 3;
    CKReaderFree(m_Properties.m_Data);
    QxImageDesc& d = m_Properties.m_Format;
    d = QxMakeImageDesc32(w, h);
    if (m_Bits == 16) {
        d.BitsPerPixel = 16;
        d.BytesPerLine = w * 2;
        d.RedMask = 0xF800;
        d.GreenMask = 0x07E0;
        d.BlueMask = 0x001F;
        d.AlphaMask = 0;
    }
    m_Properties.m_Data = CKReaderAllocate(size - 8);
    std::memcpy(m_Properties.m_Data, static_cast<const CKBYTE*>(memory) + 8, size - 8);
    *out = &m_Properties;
    return 0;
}

int TestBitmapReader::ReadFile(const char* name, CKBitmapProperties** out)
{
    const std::string bytes = TestReadFile(name);
    return bytes.empty() ? 2 : ReadMemory(bytes.data(), (CKDWORD) bytes.size(), out);
}

int TestBitmapReader::SaveMemory(void** out, const CKBitmapProperties* p)
{
    TestReaders().LastSaved = p->m_Format;
    const QxImageDesc& f = p->m_Format;
    const int line = f.Width * f.BitsPerPixel / 8, size = 8 + line * f.Height;
    CKBYTE* block = static_cast<CKBYTE*>(CKReaderAllocate((size_t) size));
    std::memcpy(block, &f.Width, 4);
    std::memcpy(block + 4, &f.Height, 4);
    for (int y = 0; y < f.Height; ++y)
        std::memcpy(block + 8 + y * line, static_cast<CKBYTE*>(p->m_Data) + y * f.BytesPerLine, (size_t) line);
    *out = block;
    return size;
}

int TestBitmapReader::SaveFile(const char* name, const CKBitmapProperties* properties)
{
    void* block = nullptr;
    int size = SaveMemory(&block, properties);
    TestWriteFile(name, std::string(static_cast<const char*>(block), (size_t) size));
    CKReaderFree(block);
    return TestReaders().SaveResult;
}

void TestBitmapReader::ReleaseMemory(void* memory)
{
    if (memory == m_Properties.m_Data)
        m_Properties.m_Data = nullptr;
    CKReaderFree(memory);
}

void TestMovieReader::Release()
{
    ++TestReaders().Released;
    delete this;
}

int TestMovieReader::OpenFile(const char* name)
{
    m_Open = std::strstr(name, "broken") == nullptr;
    return m_Open ? 0 : 3;
}

int TestMovieReader::ReadFrame(int frame, CKBitmapProperties** out)
{
    if (!m_Open || frame < 0 || frame >= kFrames)
        return 1;
    const int pitch = (kWidth * 3 + 3) & ~3;
    m_Frame.assign((size_t) pitch * kHeight, 0xEE);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            CKDWORD p = Pixel(frame, x, y);
            std::memcpy(m_Frame.data() + (size_t) (kHeight - 1 - y) * pitch + 3 * x, &p, 3);
        }
    QxImageDesc& d = m_Properties.m_Format;
    d = QxImageDesc();
    d.Width = kWidth;
    d.Height = kHeight;
    d.BitsPerPixel = 24;
    d.BytesPerLine = pitch;
    d.SetDefaultMasks();
    m_Properties.m_Data = m_Frame.data();
    *out = &m_Properties;
    return 0;
}

void RegisterTestReaders()
{
    CKPluginManager* pm = CKGetPluginManager();
    pm->RegisterPlugin(0, &TestReaderInfo("tst"), nullptr,
                       [](int) -> CKDataReader* { return new TestBitmapReader("tst"); });
    pm->RegisterPlugin(1, &TestReaderInfo("tga"), nullptr,
                       [](int) -> CKDataReader* { return new TestBitmapReader("tga"); });
    pm->RegisterPlugin(2, &TestReaderInfo("t16"), nullptr,
                       [](int) -> CKDataReader* { return new TestBitmapReader("t16"); });
    pm->RegisterPlugin(3, &TestReaderInfo("tmv"), nullptr, [](int) -> CKDataReader* { return new TestMovieReader; });
    pm->AddStaticDll("test readers", 4);
    TestReaders() = TestReaderLog();
}
