#include "core/behavior/CKTimeManager.h"

#include <cmath>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"

namespace {

// Value 6 (the minimum delta) came after the first five.
constexpr int kSizeWithMinimum = 21;

// A rate is kept with its period (1000 / rate): both must be finite, so an
// infinite rate (a period of 0) and one so small that its period overflows
// are refused like 0 and NaN.
bool IsUsableRate(float fps)
{
    return fps > 0.0f && std::isfinite(fps) && std::isfinite(1000.0f / fps);
}

} // namespace

CKTimeManager::CKTimeManager(CKContext* context) : CKBaseManager(context, TIME_MANAGER_GUID, "Time Manager")
{
    m_LastTime = m_CurrentTime = ReadClock();
    m_Context->RegisterNewManager(this);
}

CKTimeManager::~CKTimeManager() {}

float CKTimeManager::ReadClock()
{
    return m_Clock ? m_Clock(m_ClockData) : m_AbsoluteTimer.Current();
}

void CKTimeManager::SetClock(Clock clock, void* data)
{
    m_Clock = clock;
    m_ClockData = data;
}

void CKTimeManager::SetFrameRateLimit(float fps)
{
    if (!IsUsableRate(fps))
        return;
    m_FrameRateLimit = fps;
    m_FramePeriod = 1000.0f / fps;
}

void CKTimeManager::SetBehavioralRateLimit(float fps)
{
    if (!IsUsableRate(fps))
        return;
    m_BehavioralRateLimit = fps;
    m_BehavioralPeriod = 1000.0f / fps;
}

void CKTimeManager::SetMinimumDeltaTime(float ms)
{
    if (ms > 0.0f && std::isfinite(ms))
        m_MinimumDeltaTime = ms;
}

void CKTimeManager::SetMaximumDeltaTime(float ms)
{
    if (ms > 0.0f && std::isfinite(ms))
        m_MaximumDeltaTime = ms;
}

CKERROR CKTimeManager::PreProcess()
{
    m_Context->CloseProfileFrame();
    if (m_Paused)
        return CKErr::Paused;
    ++m_MainTickCount;
    m_LastTime = m_CurrentTime;
    m_CurrentTime = ReadClock();
    float delta = m_CurrentTime - m_LastTime;
    m_RawDeltaTime = delta;
    if (m_MinimumDeltaTime > delta)
        delta = m_MinimumDeltaTime;
    if (delta > m_MaximumDeltaTime)
        delta = m_MaximumDeltaTime;
    m_DeltaTime = delta * m_TimeScale;
    m_PlayTime += m_DeltaTime;
    return CKErr::Ok;
}

CKERROR CKTimeManager::OnCKReset()
{
    m_Paused = TRUE;
    m_LastTime = m_CurrentTime = ReadClock();
    m_PlayTime = 0.0f;
    return CKErr::Ok;
}

CKERROR CKTimeManager::OnCKPause()
{
    m_Paused = TRUE;
    m_CurrentTime = ReadClock();
    return CKErr::Ok;
}

CKERROR CKTimeManager::OnCKPlay()
{
    m_Paused = FALSE;
    m_LastTime = m_CurrentTime = ReadClock();
    return CKErr::Ok;
}

CKStateChunk* CKTimeManager::SaveData(CKFile* file)
{
    const XArray<int>* levels = file ? file->GetIndexByClass(CKCID_LEVEL) : nullptr;
    if (!levels || levels->IsEmpty())
        return nullptr;
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_OBJECT, file);
    chunk->StartWrite();
    chunk->WriteIdentifier(CK_STATESAVE_TIMEMANAGER);
    chunk->WriteFloat(m_FrameRateLimit);
    chunk->WriteFloat(m_BehavioralRateLimit);
    chunk->WriteFloat(1000.0f / m_MaximumDeltaTime);
    chunk->WriteFloat(m_TimeScale);
    chunk->WriteDword(m_LimitOptions);
    chunk->WriteFloat(m_MinimumDeltaTime);
    chunk->CloseChunk();
    return chunk;
}

CKERROR CKTimeManager::LoadData(CKStateChunk* chunk, CKFile* file)
{
    (void) file;
    if (!chunk)
        return CKErr::InvalidParameter;
    chunk->StartRead();
    int size = chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_TIMEMANAGER);
    if (size < 1)
        return CKErr::Ok;
    SetFrameRateLimit(chunk->ReadFloat());
    SetBehavioralRateLimit(chunk->ReadFloat());
    // The maximum is stored as a rate: one that is 0 or not finite gives no
    // period.
    float maximumRate = chunk->ReadFloat();
    if (maximumRate != 0.0f && std::isfinite(maximumRate))
        SetMaximumDeltaTime(1000.0f / maximumRate);
    m_TimeScale = chunk->ReadFloat();
    m_LimitOptions = chunk->ReadDword();
    if (size >= kSizeWithMinimum)
        SetMinimumDeltaTime(chunk->ReadFloat());
    return CKErr::Ok;
}
