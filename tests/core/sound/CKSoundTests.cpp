#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKVariableManager.h"
#include "core/file/CKFile.h"
#include "core/sound/CKMidiSound.h"
#include "core/sound/CKWaveSound.h"
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
    CKBOOL LockBuffer(void*, int offset, int size, void** p1, int* s1, void** p2, int* s2) override
    {
        *p1 = m_Buffer.data() + offset;
        *s1 = std::min(size, (int) m_Buffer.size() - offset);
        *p2 = nullptr;
        *s2 = 0;
        return TRUE;
    }
    void UnlockBuffer(void*, void*, int, void*, int) override {}
    void SetType(void*, int type) override { m_Type = type; }
    int GetType(void*) override { return m_Type; }
    void SetLoop(void*, CKBOOL) override {}
    int GetDefaultBufferLength() override { return 500; }

    CKWaveFormat m_Format;
    std::vector<CKBYTE> m_Buffer;
    int m_Type = 2;
    int m_Released = 0;
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
