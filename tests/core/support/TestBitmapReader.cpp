#include "tests/core/support/TestBitmapReader.h"

#include <cstdio>
#include <cstring>

#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"

TestReaderLog& TestReaders()
{
    static TestReaderLog log;
    return log;
}

CKPluginInfo& TestReaderInfo(const char* extension)
{
    static CKPluginInfo tst(CKGUID(0x51, 0x52), "tst", "Test reader", "test", "", 1, nullptr, nullptr,
                            CKPLUGIN_BITMAP_READER);
    static CKPluginInfo tga(CKGUID(0x61, 0x62), "tga", "Test tga", "test", "", 1, nullptr, nullptr,
                            CKPLUGIN_BITMAP_READER);
    static CKPluginInfo t16(CKGUID(0x71, 0x72), "t16", "Test 565", "test", "", 1, nullptr, nullptr,
                            CKPLUGIN_BITMAP_READER);
    static CKPluginInfo tmv(CKGUID(0x81, 0x82), "tmv", "Test movie", "test", "", 1, nullptr, nullptr,
                            CKPLUGIN_MOVIE_READER);
    if (std::strcmp(extension, "tga") == 0)
        return tga;
    if (std::strcmp(extension, "t16") == 0)
        return t16;
    if (std::strcmp(extension, "tmv") == 0)
        return tmv;
    return tst;
}

TestBitmapReader::TestBitmapReader(const char* extension)
    : m_Extension(extension), m_Bits(std::strcmp(extension, "t16") == 0 ? 16 : 32)
{
    m_Properties.m_ReaderGuid = TestReaderInfo(extension).m_GUID;
    m_Properties.m_Ext.Set(extension);
    m_Properties.m_Size = CK_BITMAPPROPERTIES_BASESIZE + 4;
    m_Properties.m_Words[0] = 7;
}

TestBitmapReader::~TestBitmapReader()
{
    CKReaderFree(m_Properties.m_Data);
}

void TestBitmapReader::Release()
{
    ++TestReaders().Released;
    delete this;
}

void TestBitmapReader::SetBitmapDefaultProperties(const CKBitmapProperties* properties)
{
    TestReaders().LastAsked = properties->m_Format;
}

QxImageDesc TestBitmapReader::Layout(int width, int height) const
{
    QxImageDesc d = QxMakeImageDesc32(width, height);
    if (m_Bits == 16) {
        d.BitsPerPixel = 16;
        d.BytesPerLine = width * 2;
        d.RedMask = 0xF800;
        d.GreenMask = 0x07E0;
        d.BlueMask = 0x001F;
        d.AlphaMask = 0;
    }
    return d;
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
    if (size < 8)
        return 2;
    int w, h;
    std::memcpy(&w, memory, 4);
    std::memcpy(&h, static_cast<const CKBYTE*>(memory) + 4, 4);
    if (!CKIsValidImageSize(w, h) || size != 8 + (CKDWORD) (w * h * m_Bits / 8))
        return 3;
    CKReaderFree(m_Properties.m_Data);
    m_Properties.m_Format = Layout(w, h);
    m_Properties.m_Data = CKReaderAllocate(size - 8);
    std::memcpy(m_Properties.m_Data, static_cast<const CKBYTE*>(memory) + 8, size - 8);
    *out = &m_Properties;
    return 0;
}

int TestBitmapReader::ReadFile(const char* name, CKBitmapProperties** out)
{
    FILE* f = std::fopen(name, "rb");
    if (!f)
        return 2;
    std::vector<CKBYTE> bytes;
    CKBYTE buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return ReadMemory(bytes.data(), (CKDWORD) bytes.size(), out);
}

int TestBitmapReader::SaveMemory(void** out, const CKBitmapProperties* p)
{
    TestReaders().LastSaved = p->m_Format;
    const QxImageDesc& f = p->m_Format;
    int w = f.Width, h = f.Height, line = w * f.BitsPerPixel / 8;
    CKBYTE* block = static_cast<CKBYTE*>(CKReaderAllocate(8 + (size_t) line * h));
    std::memcpy(block, &w, 4);
    std::memcpy(block + 4, &h, 4);
    for (int y = 0; y < h; ++y)
        std::memcpy(block + 8 + y * line, static_cast<CKBYTE*>(p->m_Data) + y * f.BytesPerLine, (size_t) line);
    *out = block;
    return 8 + line * h;
}

int TestBitmapReader::SaveFile(const char* name, const CKBitmapProperties* properties)
{
    void* block = nullptr;
    int size = SaveMemory(&block, properties);
    FILE* f = std::fopen(name, "wb");
    if (f) {
        std::fwrite(block, 1, (size_t) size, f);
        std::fclose(f);
    }
    CKReaderFree(block);
    return f ? TestReaders().SaveResult : 0;
}

void TestBitmapReader::ReleaseMemory(void* memory)
{
    if (memory == m_Properties.m_Data)
        m_Properties.m_Data = nullptr;
    CKReaderFree(memory);
}

TestMovieReader::TestMovieReader()
{
    m_Properties.m_ReaderGuid = TestReaderInfo("tmv").m_GUID;
    m_Properties.m_Ext.Set("tmv");
}

void TestMovieReader::Release()
{
    ++TestReaders().Released;
    delete this;
}

int TestMovieReader::OpenFile(const char* name)
{
    TestReaders().LastOpened = name;
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
            CKBYTE* at = m_Frame.data() + (size_t) (kHeight - 1 - y) * pitch + 3 * x;
            at[0] = (CKBYTE) p;
            at[1] = (CKBYTE) (p >> 8);
            at[2] = (CKBYTE) (p >> 16);
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

namespace {

CKDataReader* MakeTst(int)
{
    return new TestBitmapReader("tst");
}
CKDataReader* MakeTga(int)
{
    return new TestBitmapReader("tga");
}
CKDataReader* MakeT16(int)
{
    return new TestBitmapReader("t16");
}
CKDataReader* MakeTmv(int)
{
    return new TestMovieReader;
}

} // namespace

void RegisterTestReaders()
{
    CKPluginManager* pm = CKGetPluginManager();
    pm->RegisterPlugin(0, &TestReaderInfo("tst"), nullptr, MakeTst);
    pm->RegisterPlugin(1, &TestReaderInfo("tga"), nullptr, MakeTga);
    pm->RegisterPlugin(2, &TestReaderInfo("t16"), nullptr, MakeT16);
    pm->RegisterPlugin(3, &TestReaderInfo("tmv"), nullptr, MakeTmv);
    pm->AddStaticDll("test readers", 4);
    TestReaders() = TestReaderLog();
}
