#pragma once

#include <cstdint>

#include "core/sound/CKSound.h"
#include "core/sound/CKSoundManager.h"
#include "includes/XArray.h"
#include "system/math/QxVector.h"

// Bits of a wave sound's flags word.
enum : CKDWORD
{
    CKWAVESOUND_TYPEMASK = 0x7,
    CKWAVESOUND_LOOPED = 0x8,
    CKWAVESOUND_STREAMED = 0x2000,
    CKWAVESOUND_BLOCKLEFT = 0x4000, // a decoded block waits to be written
    CKWAVESOUND_ALLLOADED = 0x8000, // the buffer holds the whole data
};

// Indices of the source properties a wave sound keeps (their mask bits 16,
// 32, 64, 128 and 256 in the manager's record).
enum
{
    CKWAVESOUND_PROPERTY16,
    CKWAVESOUND_PROPERTY32,
    CKWAVESOUND_PROPERTY64,
    CKWAVESOUND_PROPERTY128,
    CKWAVESOUND_PROPERTY256,
};

struct CKSoundCone
{
    float Inside = 360.0f;
    float Outside = 360.0f;
    float OutsideGain = 0.0f;
};

struct CKSoundDistance
{
    float Min = 10.0f;
    float Max = 20.0f;
    CKDWORD Mode = 0;
};

// A sound played from wave data through the sound manager. Without one
// (this system has none) it keeps its file, settings and every saved value
// and loads no data.
class CKWaveSound : public CKClass<CKWaveSound, CKSound, CKCID_WAVESOUND>
{
public:
    explicit CKWaveSound(CKContext* context, const char* name = nullptr);
    // Releases the source.
    ~CKWaveSound() override;

    CKDWORD GetFlags() const { return m_Flags; }
    void SetLoopMode(CKBOOL loop);
    CKBOOL GetLoopMode() const { return (m_Flags & CKWAVESOUND_LOOPED) != 0; }
    CKBOOL IsStreamed() const { return (m_Flags & CKWAVESOUND_STREAMED) != 0; }
    // Type 0 to 7.
    void SetType(int type);
    // The manager's type of the source; 1 without one.
    int GetType() const;
    const CKWaveFormat& GetWaveFormat() const { return m_WaveFormat; }
    int GetBufferSize() const { return m_BufferSize; }
    CK_ID GetAttachedObject() const { return m_AttachedObject; }
    void SetAttachedObject(CK_ID id) { m_AttachedObject = id; }
    CKDWORD GetState() const { return m_State; }
    void SetState(CKDWORD state) { m_State = state; }
    float GetProperty(int index) const { return m_Properties[index]; }
    void SetProperty(int index, float value) { m_Properties[index] = value; }
    float GetFactor() const { return m_Factor; }
    void SetFactor(float value) { m_Factor = value; }
    const CKSoundCone& GetCone() const { return m_Cone; }
    void SetCone(const CKSoundCone& cone) { m_Cone = cone; }
    const CKSoundDistance& GetDistance() const { return m_Distance; }
    void SetDistance(const CKSoundDistance& distance) { m_Distance = distance; }
    // The three vectors (index 0 to 2).
    const QxVector& GetVector(int index) const { return m_Vectors[index]; }
    void SetVector(int index, const QxVector& v) { m_Vectors[index] = v; }

    // Loads the data of the file (-1 without a sound manager). With report,
    // a file that cannot be read gives a console line and a blank sound. A
    // streamed sound whose data outgrow its buffer keeps its reader and is
    // refilled by UpdateStream.
    CKERROR LoadWaveData(CKBOOL report);
    CKBOOL HasSource() const { return m_Source != nullptr; }

    // Writes count bytes into the source's circular buffer at the write
    // position (the play position before anything is written), in two parts
    // when it wraps, and moves the write position past them. -50 without a
    // manager or source, -1 for null bytes or a buffer that cannot be
    // locked, -3 when the bytes would pass the play position.
    CKERROR WriteData(const CKBYTE* bytes, int count);
    // Bytes written ahead of the play position: the write position minus the
    // play position, plus the buffer size when that is below 1 (a buffer
    // written up to the play position is full). 0 without a source or
    // before anything is written.
    int GetDistanceFromCursor();
    // Refills a streamed sound's buffer from its reader as far as it has
    // room: a block left over from the last call first, then block after
    // block; at the end of the stream a looping sound starts again and
    // another gets silence and is refilled no more. A sound that played
    // past its data is stopped. -50 without a source or reader.
    CKERROR UpdateStream();

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPostDeletion() override;
    int GetMemoryOccupation() override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    static void Register();
    static const char* GetClassName();

private:
    // Releases the source and the streaming reader.
    void ReleaseSource();
    // Reads the file through a sound reader into a new source.
    CKERROR ReadThroughReader();
    // The manager's play position, inside the buffer.
    int PlayPosition();
    // Decodes and writes blocks while the buffer has room (UpdateStream).
    void Refill();
    // Silence from the write position up to the play position; the write
    // position stays.
    void FillSilenceAhead();
    // Keeps the unwritten part of a block for the next refill.
    void KeepBlock(const CKBYTE* bytes, int count);
    void MakeBlankSound();
    // Writes bytes (or silence for null) at offset into the source.
    CKBOOL Fill(int offset, const CKBYTE* bytes, int size);
    void LoadDataSection(CKStateChunk* chunk);

    CKSoundManager* m_SoundManager = nullptr;
    void* m_Source = nullptr;
    CKDWORD m_Flags = 1;
    CK_ID m_AttachedObject = 0;
    QxVector m_Vectors[3] = {};
    float m_Factor = 1.0f;
    float m_Properties[5] = {1.0f, 1.0f, 1.0f, 0.5f, 0.0f};
    CKSoundCone m_Cone;
    CKSoundDistance m_Distance;
    int m_WritePosition = -1;
    int m_BufferSize = 0;
    int m_DataSize = 0;
    CKDWORD m_State = 0;
    CKWaveFormat m_WaveFormat;
    // Streaming: the reader in use, the bytes played and decoded since the
    // buffer was made, the play position seen last, the block that did not
    // fit, and whether refilling stopped at the end of the stream.
    CKSoundReader* m_SoundReader = nullptr;
    int64_t m_PlayedBytes = 0;
    int64_t m_DecodedBytes = 0;
    int m_LastPlayPosition = 0;
    XArray<CKBYTE> m_LeftBlock;
    CKBOOL m_StreamEnded = FALSE;
};
