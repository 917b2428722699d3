#pragma once

#include "core/context/CKBaseManager.h"
#include "system/runtime/QxTimeProfiler.h"

// Chunk identifier of the time manager's limits.
constexpr CKDWORD CK_STATESAVE_TIMEMANAGER = 128;

// The engine clock: counts processing passes, measures the real time between
// them, clamps that delta between a minimum and a maximum, scales it and
// adds it up. It starts paused. The frame-rate and behavioural-rate limits
// and the limit options are only kept, saved (with files that hold a level)
// and loaded; nothing waits on them.
class CKTimeManager : public CKBaseManager
{
public:
    // Milliseconds since some fixed start; the clock reads time through it.
    typedef float (*Clock)(void* data);

    explicit CKTimeManager(CKContext* context);
    ~CKTimeManager() override;

    // Null for no chunk: the file holds no level.
    CKStateChunk* SaveData(CKFile* file) override;
    // -1 for a null chunk.
    CKERROR LoadData(CKStateChunk* chunk, CKFile* file) override;
    // One pass of the clock; -54 while paused (nothing moves then).
    CKERROR PreProcess() override;
    CKERROR OnCKReset() override;
    CKERROR OnCKPause() override;
    CKERROR OnCKPlay() override;
    CKDWORD GetValidFunctionsMask() override { return 0x4324; }
    // PreProcess runs before every other manager's.
    int GetFunctionPriority(CKDWORD function) override { return function == CKMANAGER_FUNC_PreProcess ? 30000 : 0; }
    CKBOOL IsPaused() const { return m_Paused; }

    // Each refuses a value that is not above 0 (NaN too); the rates also
    // set their periods (1000 / value).
    void SetFrameRateLimit(float fps);
    void SetBehavioralRateLimit(float fps);
    void SetMinimumDeltaTime(float ms);
    void SetMaximumDeltaTime(float ms);
    float GetFrameRateLimit() const { return m_FrameRateLimit; }
    float GetBehavioralRateLimit() const { return m_BehavioralRateLimit; }
    float GetMinimumDeltaTime() const { return m_MinimumDeltaTime; }
    float GetMaximumDeltaTime() const { return m_MaximumDeltaTime; }
    float GetFramePeriod() const { return m_FramePeriod; }
    float GetBehavioralPeriod() const { return m_BehavioralPeriod; }
    void SetTimeScaleFactor(float scale) { m_TimeScale = scale; }
    float GetTimeScaleFactor() const { return m_TimeScale; }
    void SetLimitOptions(CKDWORD options) { m_LimitOptions = options; }
    CKDWORD GetLimitOptions() const { return m_LimitOptions; }

    CKDWORD GetMainTickCount() const { return m_MainTickCount; }
    float GetTime() const { return m_CurrentTime; }
    float GetLastDeltaTime() const { return m_DeltaTime; }
    float GetLastDeltaTimeFree() const { return m_RawDeltaTime; }
    float GetAbsoluteTime() { return ReadClock(); }
    float GetPlayTime() const { return m_PlayTime; }

    // Replaces the high-resolution timer (null restores it); the times the
    // clock holds are not touched.
    void SetClock(Clock clock, void* data);

private:
    float ReadClock();

    CKDWORD m_MainTickCount = 0;
    float m_LastTime = 0.0f;
    float m_CurrentTime = 0.0f;
    float m_PlayTime = 0.0f;
    float m_DeltaTime = 0.0f;
    float m_FrameRateLimit = 60.0f;
    float m_BehavioralRateLimit = 60.0f;
    float m_MaximumDeltaTime = 200.0f;
    float m_MinimumDeltaTime = 1.0f;
    CKDWORD m_LimitOptions = 0x11;
    float m_FramePeriod = 1000.0f / 60.0f;
    float m_BehavioralPeriod = 1000.0f / 60.0f;
    CKBOOL m_Paused = TRUE;
    float m_TimeScale = 1.0f;
    QxTimeProfiler m_AbsoluteTimer;
    Clock m_Clock = nullptr;
    void* m_ClockData = nullptr;
    float m_RawDeltaTime = 0.0f;
};
