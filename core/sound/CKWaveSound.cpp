#include "core/sound/CKWaveSound.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKPathManager.h"
#include "core/context/CKPluginInfo.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "system/log/QxLogManager.h"

namespace {

constexpr int kSoundPaths = 2;
// Buffers are kept below this size whatever a reader announces.
constexpr int64_t kMaxBufferBytes = 1 << 28;

void SkipWords(CKStateChunk* chunk, int count)
{
    for (int i = 0; i < count; ++i)
        chunk->ReadInt();
}

void ReadCone(CKStateChunk* chunk, CKSoundCone& cone)
{
    cone.Inside = chunk->ReadFloat();
    cone.Outside = chunk->ReadFloat();
    cone.OutsideGain = chunk->ReadFloat();
}

void ReadDistance(CKStateChunk* chunk, CKSoundDistance& distance)
{
    distance.Min = chunk->ReadFloat();
    distance.Max = chunk->ReadFloat();
    distance.Mode = chunk->ReadDword();
}

const char* ExtensionOf(const char* name)
{
    const char* dot = name ? std::strrchr(name, '.') : nullptr;
    return dot ? dot + 1 : "";
}

} // namespace

CKWaveSound::CKWaveSound(CKContext* context, const char* name) : CKClass(context, name)
{
    if (m_Context)
        m_SoundManager = dynamic_cast<CKSoundManager*>(m_Context->GetManagerByGuid(SOUND_MANAGER_GUID));
}

CKWaveSound::~CKWaveSound()
{
    ReleaseSource();
}

void CKWaveSound::ReleaseSource()
{
    if (m_Source && m_SoundManager)
        m_SoundManager->ReleaseSource(m_Source);
    m_Source = nullptr;
    if (m_SoundReader)
        m_SoundReader->Release();
    m_SoundReader = nullptr;
    m_LeftBlock.Clear();
    m_Flags &= ~CKWAVESOUND_BLOCKLEFT;
}

void CKWaveSound::SetLoopMode(CKBOOL loop)
{
    if (loop)
        m_Flags |= CKWAVESOUND_LOOPED;
    else
        m_Flags &= ~CKWAVESOUND_LOOPED;
    if (m_Source && m_SoundManager && (!IsStreamed() || (m_Flags & CKWAVESOUND_ALLLOADED)))
        m_SoundManager->SetLoop(m_Source, loop);
}

void CKWaveSound::SetType(int type)
{
    m_Flags = (m_Flags & ~CKWAVESOUND_TYPEMASK) | ((CKDWORD) type & CKWAVESOUND_TYPEMASK);
    if (m_SoundManager && m_Source)
        m_SoundManager->SetType(m_Source, type);
}

int CKWaveSound::GetType() const
{
    return m_SoundManager ? m_SoundManager->GetType(m_Source) : 1;
}

// Wave data.

CKBOOL CKWaveSound::Fill(int offset, const CKBYTE* bytes, int size)
{
    void* parts[2] = {};
    int sizes[2] = {};
    if (!m_SoundManager->LockBuffer(m_Source, offset, size, &parts[0], &sizes[0], &parts[1], &sizes[1]))
        return FALSE;
    const CKBYTE silence = m_WaveFormat.BitsPerSample == 8 ? 128 : 0;
    int done = 0;
    for (int i = 0; i < 2; ++i) {
        const int n = std::max(0, std::min(sizes[i], size - done));
        if (!parts[i] || n == 0)
            continue;
        if (bytes)
            std::memcpy(parts[i], bytes + done, (size_t) n);
        else
            std::memset(parts[i], silence, (size_t) n);
        done += n;
    }
    m_SoundManager->UnlockBuffer(m_Source, parts[0], sizes[0], parts[1], sizes[1]);
    return TRUE;
}

void CKWaveSound::MakeBlankSound()
{
    m_WaveFormat = CKWaveFormat{};
    m_WaveFormat.FormatTag = 1; // PCM
    m_WaveFormat.Channels = 1;
    m_WaveFormat.SamplesPerSec = 22100;
    m_WaveFormat.AvgBytesPerSec = 22100;
    m_WaveFormat.BlockAlign = 1;
    m_WaveFormat.BitsPerSample = 8;
    const int64_t size = (int64_t) m_SoundManager->GetDefaultBufferLength() * m_WaveFormat.AvgBytesPerSec / 1000;
    m_BufferSize = (int) std::clamp<int64_t>(size, 1, kMaxBufferBytes);
    m_DataSize = m_BufferSize;
    m_Source = m_SoundManager->CreateSource(GetType(), m_WaveFormat, m_BufferSize, FALSE);
    if (m_Source)
        Fill(0, nullptr, m_BufferSize);
}

CKERROR CKWaveSound::ReadThroughReader()
{
    CKPluginManager* plugins = CKGetPluginManager();
    CKDataReader* found = plugins ? plugins->GetSoundReader(ExtensionOf(m_FileName.CStr())) : nullptr;
    CKSoundReader* reader = dynamic_cast<CKSoundReader*>(found);
    if (!reader) {
        if (found)
            found->Release();
        return CKErr::InvalidParameter;
    }
    CKERROR result = CKErr::InvalidParameter;
    try {
        if (reader->OpenFile(m_FileName.CStr()) == CKErr::Ok && reader->GetWaveFormat(m_WaveFormat) == CKErr::Ok) {
            m_Flags &= ~(CKWAVESOUND_BLOCKLEFT | CKWAVESOUND_ALLLOADED);
            int64_t dataSize = reader->GetDataSize();
            if (dataSize < 1)
                dataSize = (int64_t) ((double) m_State * m_WaveFormat.AvgBytesPerSec * 0.001);
            int64_t bufferSize = dataSize;
            if (IsStreamed())
                bufferSize = std::min<int64_t>(dataSize, (int64_t) (m_SoundManager->GetDefaultBufferLength() *
                                                                    m_WaveFormat.AvgBytesPerSec * 0.001));
            if (dataSize >= 1 && bufferSize >= 1 && bufferSize <= kMaxBufferBytes) {
                if (bufferSize >= dataSize)
                    m_Flags |= CKWAVESOUND_ALLLOADED;
                m_DataSize = (int) std::min<int64_t>(dataSize, INT32_MAX);
                m_BufferSize = (int) bufferSize;
                m_Source = m_SoundManager->CreateSource(GetType(), m_WaveFormat, m_BufferSize, IsStreamed());
                if (m_Source && IsStreamed() && !(m_Flags & CKWAVESOUND_ALLLOADED)) {
                    // The reader stays to refill the buffer as it plays.
                    m_SoundReader = std::exchange(reader, nullptr);
                    m_PlayedBytes = m_DecodedBytes = 0;
                    m_LastPlayPosition = PlayPosition();
                    m_StreamEnded = FALSE;
                    UpdateStream();
                    return CKErr::Ok;
                }
                int written = 0;
                while (m_Source && written < m_BufferSize && reader->Decode() == CKErr::Ok) {
                    const CKBYTE* block = nullptr;
                    int size = 0;
                    if (reader->GetDataBuffer(&block, &size) != CKErr::Ok || !block || size <= 0)
                        break;
                    size = std::min(size, m_BufferSize - written);
                    Fill(written, block, size);
                    written += size;
                }
                m_WritePosition = written % m_BufferSize;
                result = m_Source ? CKErr::Ok : CKErr::InvalidParameter;
            }
        }
    } catch (...) {
        QxGetLogManager()
            ->SetContext(CKGetLogSourceId(), QXLOG_ERROR, __LINE__, "CKWaveSound")
            ->Log("SoundReader Error : %s", m_FileName.CStr());
        result = CKErr::InvalidParameter;
    }
    if (reader)
        reader->Release();
    return result;
}

// Streaming.

int CKWaveSound::PlayPosition()
{
    if (!m_SoundManager || !m_Source || m_BufferSize <= 0)
        return 0;
    const int position = m_SoundManager->GetPlayPosition(m_Source) % m_BufferSize;
    return position < 0 ? position + m_BufferSize : position;
}

int CKWaveSound::GetDistanceFromCursor()
{
    if (!m_SoundManager || !m_Source || m_WritePosition < 0 || m_BufferSize <= 0)
        return 0;
    const int distance = m_WritePosition - PlayPosition();
    return distance < 1 ? distance + m_BufferSize : distance;
}

CKERROR CKWaveSound::WriteData(const CKBYTE* bytes, int count)
{
    if (!m_SoundManager || !m_Source || m_BufferSize <= 0)
        return CKErr::CannotWriteToFile;
    if (count <= 0)
        return count == 0 ? CKErr::Ok : CKErr::InvalidParameter;
    if (!bytes)
        return CKErr::InvalidParameter;
    if (count > m_BufferSize - GetDistanceFromCursor())
        return CKErr::InvalidSize;
    const int at = m_WritePosition < 0 ? PlayPosition() : m_WritePosition;
    if (!Fill(at, bytes, count))
        return CKErr::InvalidParameter;
    m_WritePosition = (int) (((int64_t) at + count) % m_BufferSize);
    return CKErr::Ok;
}

void CKWaveSound::FillSilenceAhead()
{
    const int free = m_BufferSize - GetDistanceFromCursor();
    if (free > 0)
        Fill(m_WritePosition < 0 ? PlayPosition() : m_WritePosition, nullptr, free);
}

void CKWaveSound::KeepBlock(const CKBYTE* bytes, int count)
{
    XArray<CKBYTE> kept(count);
    kept.Resize(count);
    std::memcpy(kept.Begin(), bytes, (size_t) count);
    m_LeftBlock.Swap(kept);
    m_Flags |= CKWAVESOUND_BLOCKLEFT;
}

void CKWaveSound::Refill()
{
    if (m_Flags & CKWAVESOUND_BLOCKLEFT) {
        const int count = m_LeftBlock.Size();
        const int now = std::min(count, m_BufferSize - GetDistanceFromCursor());
        if (now <= 0 || WriteData(m_LeftBlock.Begin(), now) != CKErr::Ok)
            return;
        m_DecodedBytes += now;
        if (now < count) {
            XArray<CKBYTE> rest = m_LeftBlock;
            KeepBlock(rest.Begin() + now, count - now);
            return;
        }
        m_LeftBlock.Clear();
        m_Flags &= ~CKWAVESOUND_BLOCKLEFT;
    }
    // A looping stream that ends again right after its rewind holds no data:
    // refilling stops rather than spinning.
    CKBOOL rewound = FALSE;
    for (;;) {
        const CKERROR decoded = m_SoundReader->Decode();
        if (decoded == CKErr::Ok) {
            const CKBYTE* block = nullptr;
            int size = 0;
            if (m_SoundReader->GetDataBuffer(&block, &size) != CKErr::Ok || !block || size <= 0)
                return;
            rewound = FALSE;
            // What does not fit waits; a block larger than the buffer is
            // written in pieces.
            const int now = std::max(0, std::min(size, m_BufferSize - GetDistanceFromCursor()));
            if (now > 0 && WriteData(block, now) != CKErr::Ok) {
                KeepBlock(block, size);
                return;
            }
            m_DecodedBytes += now;
            if (now < size) {
                KeepBlock(block + now, size - now);
                return;
            }
        } else if (decoded == CKSoundReader::EndOfData) {
            // The end of the data for now: silence over the rest of the
            // buffer, and a write position close behind the play position
            // moved a quarter of the buffer ahead.
            const int distance = GetDistanceFromCursor();
            FillSilenceAhead();
            if (distance < m_BufferSize / 10) {
                const int ahead = m_BufferSize / 4;
                m_WritePosition = (PlayPosition() + ahead) % m_BufferSize;
                m_DecodedBytes += ahead - distance;
            }
            return;
        } else if (decoded == CKSoundReader::EndOfStream && GetLoopMode() && !rewound) {
            m_SoundReader->Seek(0);
            rewound = TRUE;
        } else if (decoded == CKSoundReader::EndOfStream) {
            // The end of the stream: silence up to the play position.
            FillSilenceAhead();
            m_StreamEnded = TRUE;
            return;
        } else {
            return;
        }
    }
}

CKERROR CKWaveSound::UpdateStream()
{
    if (!m_SoundManager || !m_Source || !m_SoundReader)
        return CKErr::CannotWriteToFile;
    const int play = PlayPosition();
    int moved = play - m_LastPlayPosition;
    if (moved < 0)
        moved += m_BufferSize;
    m_PlayedBytes += moved;
    m_LastPlayPosition = play;
    try {
        if (!m_StreamEnded && m_DecodedBytes >= m_PlayedBytes)
            Refill();
        if (m_PlayedBytes > m_DecodedBytes && m_SoundManager->IsPlaying(m_Source))
            m_SoundManager->Stop(m_Source);
    } catch (...) {
        QxGetLogManager()
            ->SetContext(CKGetLogSourceId(), QXLOG_ERROR, __LINE__, "CKWaveSound")
            ->Log("SoundReader Error : %s", m_FileName.CStr());
    }
    return CKErr::Ok;
}

CKERROR CKWaveSound::LoadWaveData(CKBOOL report)
{
    if (!m_SoundManager)
        return CKErr::InvalidParameter;
    ReleaseSource();
    m_WritePosition = -1;
    CKWaveFormat format;
    m_Source = m_SoundManager->CreateSourceFromFile(m_FileName.CStr(), GetType(), IsStreamed(), format);
    if (m_Source) {
        m_WaveFormat = format;
        m_Flags |= CKWAVESOUND_ALLLOADED;
        return CKErr::Ok;
    }
    CKERROR result = ReadThroughReader();
    if (result != CKErr::Ok && report) {
        ReleaseSource();
        m_Context->OutputToConsoleExBeep("CKError : Failed to load sound file (%s), creating a default blank sound.",
                                         m_FileName.CStr());
        MakeBlankSound();
    }
    return result;
}

// Persistence.

CKStateChunk* CKWaveSound::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKSound::Save(file, flags);
    if (!file && !(flags & CK_STATESAVE_SOUNDSECTIONS)) {
        if (GetClassID() == CKCID_WAVESOUND)
            base->CloseChunk();
        return base;
    }
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_WAVESOUND, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    if (file || (flags & CK_STATESAVE_WAVSOUNDSTATE)) {
        chunk->WriteIdentifier(CK_STATESAVE_WAVSOUNDSTATE);
        chunk->WriteDword(m_State);
    }
    if (file || (flags & CK_STATESAVE_WAVSOUNDDATA)) {
        chunk->WriteIdentifier(CK_STATESAVE_WAVSOUNDDATA);
        chunk->WriteDword(m_Flags);
        chunk->WriteFloat(m_Properties[CKWAVESOUND_PROPERTY128]);
        chunk->WriteFloat(m_Factor);
        chunk->WriteFloat(m_Properties[CKWAVESOUND_PROPERTY256]);
        chunk->WriteFloat(m_Properties[CKWAVESOUND_PROPERTY64]);
        for (int i = 0; i < 3; ++i)
            chunk->WriteFloat(0.0f);
        chunk->WriteFloat(m_Cone.Inside);
        chunk->WriteFloat(m_Cone.Outside);
        chunk->WriteFloat(m_Cone.OutsideGain);
        chunk->WriteFloat(m_Distance.Min);
        chunk->WriteFloat(m_Distance.Max);
        chunk->WriteDword(m_Distance.Mode);
        chunk->WriteObjectID(m_AttachedObject);
        chunk->WriteVector(m_Vectors[1]);
        chunk->WriteVector(m_Vectors[2]);
        chunk->WriteInt(0);
    }
    if (GetClassID() == CKCID_WAVESOUND)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

void CKWaveSound::LoadDataSection(CKStateChunk* chunk)
{
    const int version = chunk->GetDataVersion();
    if (version < 2) {
        SkipWords(chunk, 8);
        SetLoopMode(chunk->ReadInt() != 0);
        SkipWords(chunk, 3 + 6 + 2);
        return;
    }
    m_Flags = chunk->ReadDword();
    LoadWaveData(version >= 3);
    m_Properties[CKWAVESOUND_PROPERTY128] = chunk->ReadFloat();
    if (version == 2)
        SkipWords(chunk, 2);
    m_Factor = chunk->ReadFloat();
    m_Properties[CKWAVESOUND_PROPERTY256] = chunk->ReadFloat();
    m_Properties[CKWAVESOUND_PROPERTY64] = chunk->ReadFloat();
    if (version == 2) {
        SkipWords(chunk, 1);
        if (GetType() == 1)
            return;
        SkipWords(chunk, 2);
    } else {
        SkipWords(chunk, 3);
    }
    CKSoundCone cone;
    ReadCone(chunk, cone);
    // Cones of data versions 3 to 9 are not applied.
    if (version == 2 || version >= 10)
        m_Cone = cone;
    ReadDistance(chunk, m_Distance);
    m_AttachedObject = chunk->ReadObjectID();
    chunk->ReadVector(m_Vectors[1]);
    chunk->ReadVector(m_Vectors[2]);
    chunk->ReadInt();
}

CKERROR CKWaveSound::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKSound::Load(chunk, file);
    if (chunk->SeekIdentifier(CK_STATESAVE_SOUNDOLDFILENAME)) {
        m_FileName = "";
        chunk->ReadStringInto(m_FileName);
        if (!file && m_Context->GetPathManager() && m_FileName.Length())
            m_Context->GetPathManager()->ResolveFileName(m_FileName, kSoundPaths);
    }
    if (chunk->SeekIdentifier(CK_STATESAVE_WAVSOUNDSTATE))
        m_State = chunk->ReadDword();
    if (chunk->SeekIdentifier(CK_STATESAVE_WAVSOUNDDATA))
        LoadDataSection(chunk);
    else
        LoadWaveData(FALSE);
    return CKErr::Ok;
}

// Object operations.

void CKWaveSound::CheckPostDeletion()
{
    CKSound::CheckPostDeletion();
    if (m_AttachedObject && !m_Context->GetObject(m_AttachedObject))
        m_AttachedObject = 0;
}

int CKWaveSound::GetMemoryOccupation()
{
    return CKSound::GetMemoryOccupation() + 140;
}

CKERROR CKWaveSound::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKSound::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    m_AttachedObject = context.RemapID(m_AttachedObject);
    return CKErr::Ok;
}

CKERROR CKWaveSound::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKBeObject::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_WAVESOUND))
        return CKErr::Ok;
    const CKWaveSound& from = static_cast<const CKWaveSound&>(source);
    m_FileName = from.m_FileName;
    m_SaveOption = from.m_SaveOption;
    m_SoundManager = from.m_SoundManager;
    m_AttachedObject = from.m_AttachedObject;
    for (int i = 0; i < 3; ++i)
        m_Vectors[i] = from.m_Vectors[i];
    m_WaveFormat = from.m_WaveFormat;
    SetType(from.GetType());
    m_Cone = from.m_Cone;
    m_Distance = from.m_Distance;
    LoadWaveData(TRUE);
    return CKErr::Ok;
}

void CKWaveSound::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x4BF74E5E, 0x45F409EF));
    CKClassNeedNotificationFrom(m_ClassID, CKCID_BEOBJECT);
}

const char* CKWaveSound::GetClassName()
{
    return "Wave Sound";
}
