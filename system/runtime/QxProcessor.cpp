#include "system/runtime/QxProcessor.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/PlatformCpu.h"
#include "platform/PlatformTime.h"
#include "system/runtime/QxTimingFactors.h"

namespace {

struct ProcessorInfo
{
    int type = 0;
    CKDWORD features = 0;
    int family = 0;
    int model = 0;
    int stepping = 0;
    int cpuType = 0;
    int measuredMhz = 0;
    int snappedMhz = 0;
    char name[64] = {};
    char description[128] = {};
};

ProcessorInfo g_Processor;

struct FrequencyBound
{
    int bound;
    int value;
};

// clang-format off
constexpr FrequencyBound kUsualFrequencies[] = {
    {69, 66},     {78, 75},     {93, 90},     {103, 100},   {124, 120},   {137, 133},
    {154, 150},   {170, 166},   {184, 180},   {204, 200},   {228, 225},   {237, 233},
    {256, 250},   {271, 266},   {281, 275},   {287, 285},   {304, 300},   {329, 325},
    {337, 333},   {352, 350},   {368, 366},   {377, 375},   {406, 400},   {431, 425},
    {456, 450},   {481, 475},   {506, 500},   {556, 550},   {606, 600},   {656, 650},
    {706, 700},   {737, 733},   {756, 750},   {771, 766},   {806, 800},   {837, 833},
    {856, 850},   {871, 866},   {906, 900},   {937, 933},   {956, 950},   {971, 966},
    {1009, 1000}, {1116, 1100}, {1216, 1200}, {1316, 1300}, {1416, 1400}, {1516, 1500},
};
// clang-format on

void CopyRegisterText(char* out, const uint32_t* regs, int count)
{
    for (int i = 0; i < count; ++i)
        std::memcpy(out + 4 * i, &regs[i], 4);
}

} // namespace

int QxSnapProcessorFrequency(int measuredMhz)
{
    if (measuredMhz <= 63)
        return measuredMhz;
    for (const FrequencyBound& row : kUsualFrequencies)
        if (measuredMhz < row.bound)
            return row.value;
    return measuredMhz;
}

int QxGetProcessorTypeId(bool amd3DNow, int family, int model, CKDWORD features)
{
    if (amd3DNow) {
        if (family == 5)
            return 3;
        if (family > 5)
            return 9;
        return -1;
    }
    switch (family) {
    case 5: return model == 4 ? 1 : 0;
    case 6:
        switch (model) {
        case 1: return 2;
        case 3: return 4;
        case 5: return 5;
        case 6: return 6;
        default: return (model > 6 && (features & QX_PROCESSOR_SSE)) ? 7 : -1;
        }
    case 15: return 10;
    default: return -1;
    }
}

const char* QxGetProcessorTypeName(int typeId)
{
    switch (typeId) {
    case 0: return "Pentium";
    case 1: return "Pentium MMX";
    case 2: return "Pentium Pro";
    case 3: return "AMD K6 3DNow";
    case 4: return "Pentium II (Model 3)";
    case 5: return "Pentium II (Xeon or Celeron Model 5)";
    case 6: return "Pentium II (Celeron Model 6)";
    case 7: return "Pentium III";
    case 9: return "AMD Athlon";
    case 10: return "Pentium IV";
    case -1: return "Unknown Processor";
    default: return "";
    }
}

void QxFormatProcessorDescription(char* out, size_t size, const char* name, int snappedMhz, int measuredMhz)
{
    if (!out || size == 0)
        return;
    if (!name)
        name = "";
    if (snappedMhz == measuredMhz) {
        if (snappedMhz < 1000)
            std::snprintf(out, size, "%s %d Mhz", name, snappedMhz);
        else
            std::snprintf(out, size, "%s %g Ghz", name, snappedMhz / 1000.0);
    } else if (snappedMhz < 1000)
        std::snprintf(out, size, "%s %d Mhz (Estimated:%d Mhz)", name, snappedMhz, measuredMhz);
    else
        std::snprintf(out, size, "%s %g Ghz (Estimated:%g Ghz)", name, snappedMhz / 1000.0, measuredMhz / 1000.0);
}

void QxComputeProcessorClock(CKDWORD counterTicks, CKDWORD ticksPerSecond, CKDWORD cycles, int* measuredMhz,
                             float* millisecondsPerCycle)
{
    int mhz = 0;
    float perCycle = 0.0f;
    if (counterTicks != 0 && ticksPerSecond != 0 && cycles != 0) {
        double seconds = static_cast<double>(counterTicks) / ticksPerSecond;
        perCycle = static_cast<float>(seconds * 1000.0 / cycles);
        double value = cycles / seconds / 1000000.0;
        // A 32-bit cycle count over a non-empty interval stays far below INT_MAX MHz.
        mhz = value < 2147483647.0 ? static_cast<int>(value) : 2147483647;
    }
    if (measuredMhz)
        *measuredMhz = mhz;
    if (millisecondsPerCycle)
        *millisecondsPerCycle = perCycle;
}

namespace {
// The clock is measured when first asked for (the description or the cycle
// factor), not at detection: the measurement sleeps and spins for about a
// millisecond and a half, and most programs (an export among them) never
// read the clock, yet every one of them asks for detection at start-up.
std::once_flag g_ClockMeasured;

void MeasureProcessorClock()
{
    // The thread's priority is not raised here: Linux grants that only to
    // privileged processes. The short sleep starts a fresh time slice as the
    // platform's 10 ms did: this scheduler gives one after any sleep.
    PlatformSleepMs(1);

    uint64_t frequency = PlatformCounterFrequency();
    CKDWORD frequency32 = static_cast<CKDWORD>(frequency);
    float millisecondsPerTick = frequency32 ? 1000.0f / static_cast<float>(frequency32) : 0.0f;

    PlatformReadCycleCounter();
    uint64_t t0 = PlatformQueryCounter();
    uint64_t c0 = PlatformReadCycleCounter();
    // Rounds that stay in a register (the empty asm keeps the compiler from
    // dropping them): the clock is what is measured, not the memory, and a
    // round through memory cost five times as much.
    for (CKDWORD i = 0; i < 500000; ++i)
        asm volatile("" : "+r"(i));
    uint64_t t1 = PlatformQueryCounter();
    uint64_t c1 = PlatformReadCycleCounter();

    float millisecondsPerCycle = 0.0f;
    QxComputeProcessorClock(static_cast<CKDWORD>(t1 - t0), frequency32, static_cast<CKDWORD>(c1 - c0),
                            &g_Processor.measuredMhz, &millisecondsPerCycle);
    g_Processor.snappedMhz = QxSnapProcessorFrequency(g_Processor.measuredMhz);
    QxFormatProcessorDescription(g_Processor.description, sizeof(g_Processor.description), g_Processor.name,
                                 g_Processor.snappedMhz, g_Processor.measuredMhz);
    if (QxClockMeasurementPending())
        QxSetTimingFactors(millisecondsPerTick, millisecondsPerCycle);
}

// Detection is asked for at every start but done when a value is first read:
// in a virtual machine each identification query traps to the host, and
// most programs (an export among them) never read one.
std::atomic<bool> g_DetectionAsked{false};
std::once_flag g_Identified;

void IdentifyProcessor()
{
    ProcessorInfo info;

    uint32_t regs[4];
    bool amd3DNow = false;
    bool haveBrand = false;
    if (PlatformCpuid(0, regs)) {
        char vendor[13] = {};
        const uint32_t order[3] = {regs[1], regs[3], regs[2]}; // EBX, EDX, ECX
        CopyRegisterText(vendor, order, 3);
        if (std::strcmp(vendor, "AuthenticAMD") == 0) {
            uint32_t ext[4];
            if (PlatformCpuid(0x80000000u, ext) && ext[0] != 0) {
                uint32_t maximum = ext[0];
                uint32_t flags[4];
                if (PlatformCpuid(0x80000001u, flags) && (flags[3] & 0x80000000u))
                    amd3DNow = true;
                if ((maximum & 0xF) > 3) {
                    char brand[49] = {};
                    for (uint32_t f = 0; f < 3; ++f) {
                        uint32_t part[4];
                        PlatformCpuid(0x80000002u + f, part);
                        CopyRegisterText(brand + 16 * f, part, 4);
                    }
                    std::snprintf(info.name, sizeof(info.name), "%s", brand);
                    haveBrand = true;
                }
            }
        }
        if (PlatformCpuid(1, regs)) {
            info.features = regs[3];
            info.stepping = regs[0] & 0xF;
            info.model = (regs[0] >> 4) & 0xF;
            info.family = (regs[0] >> 8) & 0xF;
            info.cpuType = (regs[0] >> 12) & 0x3;
        }
    }
    info.type = QxGetProcessorTypeId(amd3DNow, info.family, info.model, info.features);
    if (!haveBrand)
        std::snprintf(info.name, sizeof(info.name), "%s", QxGetProcessorTypeName(info.type));
    g_Processor = info;
}

// The identification, once, when detection was asked for; false before.
bool Identified()
{
    if (!g_DetectionAsked.load(std::memory_order_acquire))
        return false;
    std::call_once(g_Identified, IdentifyProcessor);
    return true;
}
} // namespace

void QxDetectProcessor()
{
    if (g_DetectionAsked.exchange(true, std::memory_order_acq_rel))
        return;
    QxSetClockMeasurement(&QxMeasureProcessorClockOnce);
}

void QxMeasureProcessorClockOnce()
{
    if (Identified())
        std::call_once(g_ClockMeasured, MeasureProcessorClock);
}

int QxGetProcessorType()
{
    return Identified() ? g_Processor.type : 0;
}

CKDWORD QxGetProcessorFeatures()
{
    return Identified() ? g_Processor.features : 0;
}

const char* QxGetProcessorDescription()
{
    QxMeasureProcessorClockOnce();
    return g_Processor.description;
}

bool QxProcessorHasAvx2()
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

void QxReadTimeStampCounter(uint64_t* place)
{
    if (place)
        *place = PlatformReadCycleCounter();
}
