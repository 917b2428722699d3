#pragma once

#include <string>
#include <vector>

#include "core/bitmap/CKBitmapReader.h"
#include "core/bitmap/CKMovieReader.h"
#include "core/context/CKPluginInfo.h"

// Readers for tests, found through the plug-in manager. The bitmap readers
// "tst" and "tga" keep 32-bit ARGB images, "t16" 16-bit RGB 565 ones; their
// encoded form (in memory and in files) is the width, the height, then the
// packed pixels. The movie reader "tmv" opens any name without "broken".

// What the test readers saw and are told to do.
struct TestReaderLog
{
    int Released = 0;
    bool AlphaSaved = true;
    int SaveResult = 1;    // what SaveFile returns after writing
    QxImageDesc LastSaved; // the description SaveFile or SaveMemory was given
    QxImageDesc LastAsked; // the description SetBitmapDefaultProperties was given
};
TestReaderLog& TestReaders();

CKPluginInfo& TestReaderInfo(const char* extension);

class TestBitmapReader : public CKBitmapReader
{
public:
    explicit TestBitmapReader(const char* extension);
    ~TestBitmapReader() override { CKReaderFree(m_Properties.m_Data); }
    void Release() override;
    CKPluginInfo* GetReaderInfo() override { return &TestReaderInfo(m_Extension); }
    CKDWORD GetFlags() override { return 15; }
    CKBOOL IsAlphaSaved(const CKBitmapProperties*) override { return TestReaders().AlphaSaved; }
    void GetBitmapDefaultProperties(CKBitmapProperties** out) override { *out = &m_Properties; }
    void SetBitmapDefaultProperties(const CKBitmapProperties* p) override { TestReaders().LastAsked = p->m_Format; }
    int ReadFile(const char* name, CKBitmapProperties** out) override;
    int ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out) override;
    int SaveFile(const char* name, const CKBitmapProperties* properties) override;
    int SaveMemory(void** out, const CKBitmapProperties* properties) override;
    void ReleaseMemory(void* memory) override;

    // The encoded form of pixels in this reader's layout.
    std::vector<CKBYTE> Encode(int width, int height, const void* pixels) const;

    const char* m_Extension;
    int m_Bits;
    CKBitmapProperties m_Properties;
};

// 17 frames of 5 x 3 pixels, 24 bits, bottom-up lines padded to 4 bytes.
class TestMovieReader : public CKMovieReader
{
public:
    static constexpr int kFrames = 17, kWidth = 5, kHeight = 3;
    // Frame k's pixel (x, y), y counted from the top line.
    static CKDWORD Pixel(int frame, int x, int y)
    {
        return 0xFF000000u | (CKDWORD) (y * 10 << 16 | x * 10 << 8 | frame);
    }

    void Release() override;
    CKPluginInfo* GetReaderInfo() override { return &TestReaderInfo("tmv"); }
    int GetMovieFrameCount() override { return m_Open ? kFrames : 0; }
    int GetMovieLength() override { return m_Open ? kFrames * 40 : 0; }
    int OpenFile(const char* name) override;
    int ReadFrame(int frame, CKBitmapProperties** out) override;

    bool m_Open = false;
    std::vector<CKBYTE> m_Frame;
    CKBitmapProperties m_Properties;
};

// Registers "tst", "tga", "t16" as bitmap readers and "tmv" as a movie
// reader with the plug-in manager (after CKStartUp), and clears the log.
void RegisterTestReaders();
