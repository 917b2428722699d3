#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKVariableManager.h"
#include "core/file/CKFile.h"
#include "core/sound/CKMidiSound.h"
#include "core/sound/CKWaveSound.h"
#include "platform/PlatformDebugOutput.h"
#include "tests/core/scene/SceneTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

// A sound manager that cannot play files itself and keeps one buffer.
class FakeSoundManager : public CKSoundManager
{
public:
    explicit FakeSoundManager(CKContext* context) : CKSoundManager(context) { context->RegisterNewManager(this); }
    void* CreateSourceFromFile(const char*, int, CKBOOL, CKWaveFormat&) override { return nullptr; }
    void* CreateSource(int, const CKWaveFormat& format, int size, CKBOOL) override
    {
        m_Format = format;
        m_Buffer.assign((size_t) size, 0x55);
        return &m_Buffer;
    }
    void ReleaseSource(void*) override { ++m_Released; }
    // A circular buffer: a lock that passes the end goes on at the start.
    CKBOOL LockBuffer(void*, int offset, int size, void** p1, int* s1, void** p2, int* s2) override
    {
        ++m_Locks;
        if (m_LockFails || offset < 0 || offset >= (int) m_Buffer.size() || size > (int) m_Buffer.size())
            return FALSE;
        *p1 = m_Buffer.data() + offset;
        *s1 = std::min(size, (int) m_Buffer.size() - offset);
        *p2 = *s1 < size ? m_Buffer.data() : nullptr;
        *s2 = size - *s1;
        return TRUE;
    }
    void UnlockBuffer(void*, void*, int, void*, int) override {}
    void SetType(void*, int type) override { m_Type = type; }
    int GetType(void*) override { return m_Type; }
    void SetLoop(void* source, CKBOOL loop) override { m_Loops.emplace_back(source, loop); }
    int GetDefaultBufferLength() override { return m_BufferLength; }
    int GetPlayPosition(void*) override { return m_Play; }
    CKBOOL IsPlaying(void*) override { return m_Playing; }
    void Stop(void*) override
    {
        m_Playing = FALSE;
        ++m_Stops;
    }

    CKWaveFormat m_Format;
    std::vector<CKBYTE> m_Buffer;
    int m_Type = 2;
    int m_Released = 0;
    int m_BufferLength = 500;
    int m_Play = 0;
    CKBOOL m_Playing = FALSE;
    int m_Stops = 0;
    int m_Locks = 0;
    bool m_LockFails = false;
    std::vector<std::pair<void*, CKBOOL>> m_Loops;
};

// A sound reader of ".wav" files: 8-bit mono at 1000 bytes a second, giving
// the blocks it holds (block k filled with the byte k + 1), then its end.
class FakeSoundReader : public CKSoundReader
{
public:
    struct Script
    {
        std::vector<int> Blocks;   // sizes
        int Announced = 5000;      // the data size it claims
        CKERROR End = EndOfStream; // after the last block
        bool Throws = false;
        int Seeks = 0;
        int Released = 0;
    };
    static Script& Play()
    {
        static Script script;
        return script;
    }
    static CKPluginInfo& Info()
    {
        static CKPluginInfo info{CKGUID(0x50D, 1), "wav",   "Test sound reader",  "test", "", 1,
                                 nullptr,          nullptr, CKPLUGIN_SOUND_READER};
        return info;
    }
    static CKDataReader* Make(int) { return new FakeSoundReader; }

    void Release() override
    {
        ++Play().Released;
        delete this;
    }
    CKPluginInfo* GetReaderInfo() override { return &Info(); }
    CKERROR OpenFile(const char*) override { return CKErr::Ok; }
    CKERROR ReadMemory(const void*, int) override { return CKErr::InvalidParameter; }
    CKERROR GetWaveFormat(CKWaveFormat& format) override
    {
        format = CKWaveFormat{1, 1, 1000, 1000, 1, 8, 0};
        return CKErr::Ok;
    }
    int GetDataSize() override { return Play().Announced; }
    int GetDuration() override { return Play().Announced; }
    CKERROR Decode() override
    {
        if (Play().Throws)
            throw 1;
        if (m_Next >= Play().Blocks.size())
            return Play().End;
        m_Block.assign((size_t) Play().Blocks[m_Next], (CKBYTE) (m_Next + 1));
        ++m_Next;
        return CKErr::Ok;
    }
    CKERROR GetDataBuffer(const CKBYTE** data, int* size) override
    {
        *data = m_Block.data();
        *size = (int) m_Block.size();
        return CKErr::Ok;
    }
    CKERROR Seek(int position) override
    {
        ++Play().Seeks;
        m_Next = (size_t) position;
        return CKErr::Ok;
    }

private:
    size_t m_Next = 0;
    std::vector<CKBYTE> m_Block;
};

class SoundTest : public SceneFixture
{
protected:
    CKWaveSound* NewWave(CKContext* context = nullptr)
    {
        return static_cast<CKWaveSound*>((context ? context : m_Context)->CreateObject(CKCID_WAVESOUND, "Wave"));
    }

    // Every value a wave sound saves, as text.
    static std::string Picture(CKContext* context, CKWaveSound* s)
    {
        std::string text = std::string(s->GetSoundFileName() ? s->GetSoundFileName() : "(none)") + " " +
                           std::to_string(s->GetSaveOptions()) + " " + std::to_string(s->GetFlags()) + " " +
                           std::to_string(s->GetState()) + " " + std::to_string(s->GetFactor());
        for (int p : {CKWAVESOUND_PROPERTY64, CKWAVESOUND_PROPERTY128, CKWAVESOUND_PROPERTY256})
            text += " " + std::to_string(s->GetProperty(p));
        text += " cone " + std::to_string(s->GetCone().Inside) + " " + std::to_string(s->GetCone().Outside) + " " +
                std::to_string(s->GetCone().OutsideGain);
        text += " distance " + std::to_string(s->GetDistance().Min) + " " + std::to_string(s->GetDistance().Max) + " " +
                std::to_string(s->GetDistance().Mode);
        CKObject* attached = context->GetObject(s->GetAttachedObject());
        text += std::string(" attached ") + (attached ? attached->GetName() : "(none)");
        for (int v = 1; v < 3; ++v)
            text += " " + std::to_string(s->GetVector(v).x) + "," + std::to_string(s->GetVector(v).z);
        return text;
    }

    CKWaveSound* Filled(CKBeObject* attached)
    {
        CKWaveSound* sound = NewWave();
        sound->SetSoundFileName("engine.wav");
        sound->SetSaveOptions(CKSOUND_EXTERNAL);
        sound->SetLoopMode(TRUE);
        sound->SetType(5);
        sound->SetState(1200);
        sound->SetFactor(0.75f);
        sound->SetProperty(CKWAVESOUND_PROPERTY64, 0.25f);
        sound->SetProperty(CKWAVESOUND_PROPERTY128, 2.0f);
        sound->SetProperty(CKWAVESOUND_PROPERTY256, 0.125f);
        sound->SetCone({90.0f, 180.0f, 0.5f});
        sound->SetDistance({2.0f, 40.0f, 1});
        sound->SetAttachedObject(attached->GetID());
        sound->SetVector(1, QxVector(1, 2, 3));
        sound->SetVector(2, QxVector(4, 5, 6));
        return sound;
    }

    // A wave-sound chunk whose data section is laid out for data version.
    static CKStateChunk* OldChunk(int version, const std::vector<CKDWORD>& words)
    {
        CKStateChunk* chunk = CKCreateStateChunk(CKCID_WAVESOUND);
        chunk->StartWrite();
        chunk->SetDataVersion(version);
        chunk->WriteIdentifier(CK_STATESAVE_SOUNDFILENAME);
        chunk->WriteInt(1);
        chunk->WriteString("old.wav");
        chunk->WriteIdentifier(CK_STATESAVE_WAVSOUNDDATA);
        for (CKDWORD w : words)
            chunk->WriteDword(w);
        chunk->CloseChunk();
        return chunk;
    }
};

CKDWORD F(float f)
{
    return std::bit_cast<CKDWORD>(f);
}

// Wave sounds read through the fake reader into a fake manager's 500-byte
// buffer (500 ms at 1000 bytes a second).
class StreamTest : public SoundTest
{
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        FakeSoundReader::Play() = FakeSoundReader::Script();
        CKGetPluginManager()->RegisterPlugin(0, &FakeSoundReader::Info(), nullptr, &FakeSoundReader::Make);
        CKGetPluginManager()->AddStaticDll("fake sound reader", 1);
        m_Manager = new FakeSoundManager(m_Context);
    }

    // A sound of "old.wav" loaded with this flags word (0x2000: streamed,
    // 8: looping), which loads its data.
    CKWaveSound* Loaded(CKDWORD flags)
    {
        CKStateChunk* chunk = OldChunk(
            10, {flags, F(1), F(1), F(1), F(1), 0, 0, 0, F(360), F(360), 0, F(10), F(20), 0, 0, 0, 0, 0, 0, 0, 0, 0});
        CKWaveSound* sound = NewWave();
        sound->Load(chunk, nullptr);
        CKDeleteStateChunk(chunk);
        return sound;
    }

    // The buffer's bytes from..to as runs "value x count".
    std::string Runs(int from, int to) const
    {
        std::string out;
        for (int i = from; i < to;) {
            int j = i;
            while (j < to && m_Manager->m_Buffer[(size_t) j] == m_Manager->m_Buffer[(size_t) i])
                ++j;
            out += (out.empty() ? "" : " ") + std::to_string(m_Manager->m_Buffer[(size_t) i]) + "x" +
                   std::to_string(j - i);
            i = j;
        }
        return out;
    }

    FakeSoundManager* m_Manager = nullptr;
};

} // namespace

TEST_F(SoundTest, WithoutASoundManagerEverySavedValueComesBackThroughAFileAndAChunk)
{
    CKBeObject* target = NewBeObject("Target");
    CKWaveSound* sound = Filled(target);
    EXPECT_EQ(sound->GetType(), 1) << "without a manager";
    EXPECT_EQ(sound->LoadWaveData(TRUE), CKErr::InvalidParameter);
    const std::string expected = Picture(m_Context, sound);

    TestTempDir dir;
    const std::string path = dir.File("sound.qbx");
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(path.c_str()), 0);
    file->SaveObject(sound);
    file->SaveObject(target);
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);
    CKContext* other = NewContext();
    ASSERT_EQ(LoadFile(other, path), 0);
    auto* loaded = static_cast<CKWaveSound*>(other->GetObjectByNameAndClass("Wave", CKCID_WAVESOUND));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Picture(other, loaded), expected);
    EXPECT_FALSE(loaded->HasSource());

    CKStateChunk* chunk = CKSaveObjectState(sound);
    CKWaveSound* copy = NewWave();
    ASSERT_EQ(copy->Load(chunk, nullptr), CKErr::Ok);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(Picture(m_Context, copy), expected);

    // Saved to memory without the section flags, only the name and option.
    chunk = CKSaveObjectState(sound, 0xFFFF);
    CKWaveSound* plain = NewWave();
    plain->Load(chunk, nullptr);
    CKDeleteStateChunk(chunk);
    EXPECT_STREQ(plain->GetSoundFileName(), "engine.wav");
    EXPECT_EQ(plain->GetFlags(), 1u);
}

TEST_F(SoundTest, TheThreeOlderDataLayoutsAreReadByHand)
{
    // Version 1: an int, seven skipped, the loop flag, then 11 words.
    std::vector<CKDWORD> v1 = {9, 0, 0, 0, 0, 0, 0, 0, 1};
    v1.resize(v1.size() + 11, 0);
    CKStateChunk* chunk = OldChunk(1, v1);
    CKWaveSound* sound = NewWave();
    sound->Load(chunk, nullptr);
    CKDeleteStateChunk(chunk);
    EXPECT_TRUE(sound->GetLoopMode());
    EXPECT_STREQ(sound->GetSoundFileName(), "old.wav");

    // Version 2 without a manager: the type reads as 1, so the rest is skipped.
    chunk = OldChunk(2, {0x2001, F(3), 0, 0, F(0.5f), F(4), F(5), 0, 0, 0, F(1), F(2), F(3), F(7), F(8), 1});
    sound = NewWave();
    sound->Load(chunk, nullptr);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(sound->GetFlags(), 0x2001u);
    EXPECT_TRUE(sound->IsStreamed());
    EXPECT_EQ(sound->GetProperty(CKWAVESOUND_PROPERTY128), 3.0f);
    EXPECT_EQ(sound->GetFactor(), 0.5f);
    EXPECT_EQ(sound->GetProperty(CKWAVESOUND_PROPERTY256), 4.0f);
    EXPECT_EQ(sound->GetProperty(CKWAVESOUND_PROPERTY64), 5.0f);
    EXPECT_EQ(sound->GetCone().Inside, 360.0f);

    // Version 3: the cone is read but not applied before version 10.
    chunk = OldChunk(3, {0x9,  F(3), F(0.5f), F(4), F(5), 0,    0,    0,    F(1), F(2), F(3),
                         F(7), F(8), 1,       0,    F(1), F(2), F(3), F(4), F(5), F(6), 0});
    sound = NewWave();
    sound->Load(chunk, nullptr);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(sound->GetCone().Inside, 360.0f);
    EXPECT_EQ(sound->GetDistance().Max, 8.0f);
    EXPECT_EQ(sound->GetDistance().Mode, 1u);
    EXPECT_EQ(sound->GetVector(2).z, 6.0f);
    EXPECT_EQ(sound->Load(nullptr, nullptr), CKErr::InvalidParameter);
}

TEST_F(SoundTest, AFailedReadWithTheManagerGivesTheBlankSound)
{
    auto* manager = new FakeSoundManager(m_Context);
    CKWaveSound* sound = NewWave();
    sound->SetSoundFileName("missing.wav");
    EXPECT_EQ(sound->LoadWaveData(FALSE), CKErr::InvalidParameter);
    EXPECT_FALSE(sound->HasSource()) << "without reporting, no blank sound";
    EXPECT_EQ(sound->LoadWaveData(TRUE), CKErr::InvalidParameter);
    ASSERT_TRUE(sound->HasSource());
    EXPECT_EQ(manager->m_Format.SamplesPerSec, 22100u);
    EXPECT_EQ(manager->m_Format.AvgBytesPerSec, 22100u);
    EXPECT_EQ(manager->m_Format.Channels, 1);
    EXPECT_EQ(manager->m_Format.BitsPerSample, 8);
    EXPECT_EQ(manager->m_Format.BlockAlign, 1);
    EXPECT_EQ(manager->m_Buffer.size(), 11050u) << "500 ms";
    EXPECT_EQ(std::count(manager->m_Buffer.begin(), manager->m_Buffer.end(), 128), 11050);
    EXPECT_EQ(sound->GetType(), 2) << "the manager's type";
    m_Context->DestroyObject(sound);
    EXPECT_EQ(manager->m_Released, 1);
}

TEST_F(SoundTest, TheContextOptionIncludesTheFileOnlyInAFile)
{
    TestTempDir dir;
    const std::string wav = dir.File("horn.wav");
    WriteWholeFile(wav, std::vector<CKBYTE>(4000, 'w'));
    CKWaveSound* sound = NewWave();
    sound->SetSoundFileName(wav.c_str());
    auto saveSize = [&](int option) {
        m_Context->SetGlobalSoundsSaveOptions(option);
        CKFile* file = m_Context->CreateCKFile();
        const std::string path = dir.File("sound" + std::to_string(option) + ".qbx");
        EXPECT_EQ(file->StartSave(path.c_str()), 0);
        file->SaveObject(sound);
        EXPECT_EQ(file->EndSave(), 0);
        m_Context->DeleteCKFile(file);
        return ReadWholeFile(path).size();
    };
    const size_t referred = saveSize(CKSOUND_EXTERNAL);
    EXPECT_GT(saveSize(CKSOUND_INCLUDED), referred + 4000) << "the sound file goes inside";
    CKStateChunk* chunk = CKSaveObjectState(sound);
    EXPECT_LT(chunk->GetDataSize(), 1000) << "a chunk in memory holds only the name";
    CKDeleteStateChunk(chunk);
    m_Context->SetGlobalSoundsSaveOptions(CKSOUND_EXTERNAL);
}

TEST_F(SoundTest, AMidiSoundKeepsItsNameWithoutAMidiManager)
{
    auto* midi = static_cast<CKMidiSound*>(m_Context->CreateObject(CKCID_MIDISOUND, "Tune"));
    EXPECT_EQ(midi->SetSoundFileName("tune.mid"), CKErr::NotInitialized);
    EXPECT_STREQ(midi->GetSoundFileName(), "tune.mid");
    midi->SetSaveOptions(CKSOUND_INCLUDED);
    CKStateChunk* chunk = CKSaveObjectState(midi);
    auto* loaded = static_cast<CKMidiSound*>(m_Context->CreateObject(CKCID_MIDISOUND, "Loaded"));
    ASSERT_EQ(loaded->Load(chunk, nullptr), CKErr::Ok);
    CKDeleteStateChunk(chunk);
    EXPECT_STREQ(loaded->GetSoundFileName(), "tune.mid");
    EXPECT_EQ(loaded->GetSaveOptions(), CKSOUND_INCLUDED);
}

TEST_F(StreamTest, WriteDataGoesRoundTheBufferAndNeverPassesThePlayPosition)
{
    CKWaveSound* sound = Loaded(0x2000);
    FakeSoundReader::Play().Blocks.clear();
    // A sound without a source, or without a manager, writes nothing.
    const CKBYTE bytes[600] = {};
    CKWaveSound* bare = NewWave();
    EXPECT_EQ(bare->WriteData(bytes, 10), CKErr::CannotWriteToFile);
    EXPECT_EQ(bare->GetDistanceFromCursor(), 0);
    EXPECT_EQ(bare->UpdateStream(), CKErr::CannotWriteToFile);

    // An empty stream: silence, and nothing written yet.
    ASSERT_TRUE(sound->HasSource());
    ASSERT_EQ(sound->GetBufferSize(), 500);
    EXPECT_EQ(sound->GetDistanceFromCursor(), 0);
    EXPECT_EQ(Runs(0, 500), "128x500");
    std::vector<CKBYTE> ones(400, 1), twos(200, 2);
    EXPECT_EQ(sound->WriteData(nullptr, 4), CKErr::InvalidParameter);
    EXPECT_EQ(sound->WriteData(ones.data(), 0), CKErr::Ok);
    EXPECT_EQ(sound->WriteData(bytes, 501), CKErr::InvalidSize);
    ASSERT_EQ(sound->WriteData(ones.data(), 400), CKErr::Ok);
    EXPECT_EQ(sound->GetDistanceFromCursor(), 400);
    EXPECT_EQ(sound->WriteData(twos.data(), 101), CKErr::InvalidSize) << "it would pass the play position";
    m_Manager->m_Play = 300;
    EXPECT_EQ(sound->GetDistanceFromCursor(), 100);
    ASSERT_EQ(sound->WriteData(twos.data(), 200), CKErr::Ok) << "100 bytes to the end, 100 from the start";
    EXPECT_EQ(Runs(0, 500), "2x100 1x300 2x100");
    EXPECT_EQ(sound->GetDistanceFromCursor(), 300);
    ASSERT_EQ(sound->WriteData(twos.data(), 200), CKErr::Ok) << "up to the play position";
    EXPECT_EQ(sound->GetDistanceFromCursor(), 500) << "a buffer written up to the play position is full";
    EXPECT_EQ(sound->WriteData(twos.data(), 1), CKErr::InvalidSize);
    m_Manager->m_Play = 350;
    m_Manager->m_LockFails = true;
    EXPECT_EQ(sound->WriteData(twos.data(), 10), CKErr::InvalidParameter);
    EXPECT_EQ(sound->GetDistanceFromCursor(), 450) << "a failed write moves nothing";
}

TEST_F(StreamTest, AStreamedSoundIsRefilledAsItPlaysAndKeepsTheBlockThatDoesNotFit)
{
    FakeSoundReader::Play().Blocks.assign(25, 200);
    CKWaveSound* sound = Loaded(0x2000);
    ASSERT_TRUE(sound->HasSource());
    EXPECT_EQ(Runs(0, 500), "1x200 2x200 3x100");
    EXPECT_TRUE(sound->GetFlags() & CKWAVESOUND_BLOCKLEFT) << "the rest of block 3 waits";
    EXPECT_FALSE(sound->GetFlags() & CKWAVESOUND_ALLLOADED);
    EXPECT_EQ(sound->GetDistanceFromCursor(), 500);

    m_Manager->m_Play = 300;
    ASSERT_EQ(sound->UpdateStream(), CKErr::Ok);
    EXPECT_EQ(Runs(0, 500), "3x100 4x200 2x100 3x100") << "the rest of block 3, then block 4";
    m_Manager->m_Play = 450;
    ASSERT_EQ(sound->UpdateStream(), CKErr::Ok);
    EXPECT_EQ(Runs(0, 500), "3x100 4x200 5x150 3x50") << "as much of block 5 as fits";
    m_Manager->m_Play = 100;
    ASSERT_EQ(sound->UpdateStream(), CKErr::Ok);
    EXPECT_EQ(Runs(0, 500), "6x100 4x200 5x200");
    EXPECT_EQ(FakeSoundReader::Play().Released, 0) << "the reader stays while the sound streams";
    m_Context->DestroyObject(sound);
    EXPECT_EQ(FakeSoundReader::Play().Released, 1);

    // A sound whose data fit its buffer reads them at once and lets its
    // reader go.
    FakeSoundReader::Play().Announced = 400;
    FakeSoundReader::Play().Blocks.assign(2, 200);
    sound = Loaded(0x2000);
    EXPECT_TRUE(sound->GetFlags() & CKWAVESOUND_ALLLOADED);
    EXPECT_EQ(Runs(0, 400), "1x200 2x200");
    EXPECT_EQ(FakeSoundReader::Play().Released, 2);
    EXPECT_EQ(sound->UpdateStream(), CKErr::CannotWriteToFile);
}

TEST_F(StreamTest, TheEndOfTheStreamStopsANonLoopingSoundOnceItPlayedItsDataAndRewindsALoopingOne)
{
    FakeSoundReader::Play().Blocks.assign(3, 100);
    CKWaveSound* sound = Loaded(0x2000);
    EXPECT_EQ(Runs(0, 500), "1x100 2x100 3x100 128x200") << "silence up to the play position";
    m_Manager->m_Playing = TRUE;
    m_Manager->m_Play = 250;
    ASSERT_EQ(sound->UpdateStream(), CKErr::Ok);
    EXPECT_EQ(m_Manager->m_Stops, 0);
    EXPECT_EQ(Runs(0, 500), "1x100 2x100 3x100 128x200") << "no refill after the end";
    m_Manager->m_Play = 301;
    ASSERT_EQ(sound->UpdateStream(), CKErr::Ok);
    EXPECT_EQ(m_Manager->m_Stops, 1) << "it played past its data";
    EXPECT_FALSE(m_Manager->m_Playing);

    // Looping: the reader starts again and the buffer fills up.
    m_Manager->m_Play = 0;
    sound = Loaded(0x2008);
    EXPECT_EQ(Runs(0, 500), "1x100 2x100 3x100 1x100 2x100");
    EXPECT_EQ(FakeSoundReader::Play().Seeks, 1);
    EXPECT_TRUE(sound->GetFlags() & CKWAVESOUND_BLOCKLEFT) << "block 3 waits";

    // A looping stream with no data at all ends instead of spinning.
    FakeSoundReader::Play().Blocks.clear();
    FakeSoundReader::Play().Seeks = 0;
    sound = Loaded(0x2008);
    EXPECT_EQ(FakeSoundReader::Play().Seeks, 1);
    EXPECT_EQ(Runs(0, 500), "128x500");
}

TEST_F(StreamTest, AtTheEndOfTheDataForNowTheWritePositionKeepsAheadOfThePlayPosition)
{
    FakeSoundReader::Play().Blocks = {100};
    FakeSoundReader::Play().End = CKSoundReader::EndOfData;
    CKWaveSound* sound = Loaded(0x2000);
    EXPECT_EQ(Runs(0, 500), "1x100 128x400");
    EXPECT_EQ(sound->GetDistanceFromCursor(), 100) << "a tenth of the buffer ahead or more: it stays";
    m_Manager->m_Play = 60;
    m_Manager->m_Playing = TRUE;
    ASSERT_EQ(sound->UpdateStream(), CKErr::Ok);
    EXPECT_EQ(sound->GetDistanceFromCursor(), 125) << "40 bytes ahead: moved a quarter of the buffer ahead";
    EXPECT_EQ(m_Manager->m_Stops, 0) << "the silence moved over counts as data";

    // A reader that throws is reported and changes nothing.
    FakeSoundReader::Play().Throws = true;
    m_Manager->m_Play = 100;
    static std::vector<std::string> lines;
    lines.clear();
    const PlatformDebugOutputHook previous =
        PlatformSetDebugOutputHook([](const char* text) { lines.emplace_back(text); });
    EXPECT_EQ(sound->UpdateStream(), CKErr::Ok);
    PlatformSetDebugOutputHook(previous);
    EXPECT_EQ(sound->GetDistanceFromCursor(), 85);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("SoundReader Error : old.wav"), std::string::npos) << lines[0];
}

TEST_F(StreamTest, OnlyASourceHoldingAllItsDataLoopsByItself)
{
    FakeSoundReader::Play().Blocks.assign(25, 200);
    CKWaveSound* streamed = Loaded(0x2000);
    ASSERT_TRUE(streamed->HasSource());
    m_Manager->m_Loops.clear();
    streamed->SetLoopMode(TRUE);
    EXPECT_TRUE(streamed->GetLoopMode());
    EXPECT_TRUE(m_Manager->m_Loops.empty()) << "a stream loops by rewinding its reader";

    // Data that fit the buffer, streamed or not, loop in the source.
    FakeSoundReader::Play().Announced = 400;
    FakeSoundReader::Play().Blocks.assign(2, 200);
    for (CKDWORD flags : {0x2000u, 0u}) {
        CKWaveSound* whole = Loaded(flags);
        ASSERT_TRUE(whole->HasSource());
        m_Manager->m_Loops.clear();
        whole->SetLoopMode(TRUE);
        whole->SetLoopMode(FALSE);
        const std::vector<std::pair<void*, CKBOOL>> expected = {{&m_Manager->m_Buffer, TRUE},
                                                                {&m_Manager->m_Buffer, FALSE}};
        EXPECT_EQ(m_Manager->m_Loops, expected) << flags;
    }

    // Without a source there is nothing to tell.
    m_Manager->m_Loops.clear();
    NewWave()->SetLoopMode(TRUE);
    EXPECT_TRUE(m_Manager->m_Loops.empty());
}
