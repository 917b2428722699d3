#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "system/runtime/QxProcessor.h"
#include "system/runtime/QxTimingFactors.h"

namespace {
std::string Describe(int typeId, int snapped, int measured)
{
    char out[128];
    QxFormatProcessorDescription(out, sizeof(out), QxGetProcessorTypeName(typeId), snapped, measured);
    return out;
}
} // namespace

TEST(QxProcessor, MeasuredFrequenciesSnapToTheUsualOnes)
{
    const int cases[][2] = {{2394, 2394}, {960, 966}, {997, 1000},  {500, 500},   {506, 550}, {63, 63},
                            {64, 66},     {69, 75},   {1515, 1500}, {1516, 1516}, {0, 0},     {-5, -5}};
    for (const auto& c : cases)
        EXPECT_EQ(QxSnapProcessorFrequency(c[0]), c[1]) << c[0];
}

TEST(QxProcessor, DescriptionsAndClocksForInjectedMeasurements)
{
    EXPECT_EQ(Describe(10, QxSnapProcessorFrequency(2394), 2394), "Pentium IV 2.394 Ghz");
    EXPECT_EQ(Describe(7, QxSnapProcessorFrequency(960), 960), "Pentium III 966 Mhz (Estimated:960 Mhz)");
    EXPECT_EQ(Describe(10, QxSnapProcessorFrequency(997), 997), "Pentium IV 1 Ghz (Estimated:0.997 Ghz)");
    EXPECT_EQ(Describe(0, QxSnapProcessorFrequency(500), 500), "Pentium 500 Mhz");
    EXPECT_EQ(Describe(9, QxSnapProcessorFrequency(1405), 1405), "AMD Athlon 1.4 Ghz (Estimated:1.405 Ghz)");
    EXPECT_EQ(Describe(-1, 3000, 3000), "Unknown Processor 3 Ghz");
    char small[8];
    QxFormatProcessorDescription(small, sizeof(small), "Pentium", 500, 500);
    EXPECT_STREQ(small, "Pentium");
    // No room writes nothing: no buffer at all, or a buffer of size 0.
    QxFormatProcessorDescription(nullptr, sizeof(small), "Pentium", 500, 500);
    QxFormatProcessorDescription(small, 0, "Athlon", 500, 500);
    EXPECT_STREQ(small, "Pentium");
    // The clock from counter and cycles guards empty intervals.
    int mhz = -1;
    float perCycle = -1.0f;
    QxComputeProcessorClock(1000000000u, 1000000000u, 2394000000u, &mhz, &perCycle);
    EXPECT_EQ(mhz, 2394);
    EXPECT_FLOAT_EQ(perCycle, 1000.0f / 2394000000.0f);
    QxComputeProcessorClock(0, 1000000000u, 100, &mhz, &perCycle);
    EXPECT_EQ(mhz, 0);
    EXPECT_EQ(perCycle, 0.0f);
    QxComputeProcessorClock(10, 0, 100, &mhz, &perCycle);
    EXPECT_EQ(mhz, 0);
    QxComputeProcessorClock(10, 1000, 0, &mhz, &perCycle);
    EXPECT_EQ(mhz, 0);
    EXPECT_EQ(perCycle, 0.0f);
    QxComputeProcessorClock(1, 0xFFFFFFFFu, 0xFFFFFFFFu, &mhz, &perCycle);
    EXPECT_EQ(mhz, 2147483647); // absurd, but no overflow
}

TEST(QxProcessor, TypeIdsFromFamilyModelAndFeatures)
{
    // AMD, family, model, features, type id.
    const int sse = int(QX_PROCESSOR_SSE);
    const int cases[][5] = {{0, 6, 8, 0, -1},   {0, 6, 8, sse, 7}, {0, 5, 4, 0, 1},  {0, 5, 2, 0, 0},
                            {0, 6, 1, 0, 2},    {0, 6, 3, 0, 4},   {0, 6, 5, 0, 5},  {0, 6, 6, sse, 6},
                            {0, 6, 2, sse, -1}, {0, 15, 0, 0, 10}, {0, 4, 0, 0, -1}, {1, 5, 8, 0, 3},
                            {1, 6, 0, 0, 9},    {1, 15, 0, 0, 9},  {1, 4, 0, 0, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(QxGetProcessorTypeId(c[0] != 0, c[1], c[2], CKDWORD(c[3])), c[4]) << c[1] << " " << c[2];
    EXPECT_STREQ(QxGetProcessorTypeName(-1), "Unknown Processor");
    EXPECT_STREQ(QxGetProcessorTypeName(7), "Pentium III");
    EXPECT_STREQ(QxGetProcessorTypeName(5), "Pentium II (Xeon or Celeron Model 5)");
    EXPECT_STREQ(QxGetProcessorTypeName(8), "");
}

TEST(QxProcessor, DetectionRunsOnceAndAgreesWithItself)
{
    QxDetectProcessor();
    std::string description = QxGetProcessorDescription();
    int type = QxGetProcessorType();
    CKDWORD features = QxGetProcessorFeatures();
    float perCycle = QxGetMillisecondsPerCycle();
    EXPECT_FALSE(description.empty());
    EXPECT_NE(description.find("hz"), std::string::npos);
#if defined(__x86_64__)
    EXPECT_TRUE(features & QX_PROCESSOR_SSE);
    EXPECT_TRUE(features & QX_PROCESSOR_MMX);
    EXPECT_GT(perCycle, 0.0f);
#endif
    QxDetectProcessor();
    EXPECT_EQ(QxGetProcessorDescription(), description);
    EXPECT_EQ(QxGetProcessorType(), type);
    EXPECT_EQ(QxGetProcessorFeatures(), features);
    EXPECT_EQ(QxGetMillisecondsPerCycle(), perCycle);
    uint64_t a = 0, b = 0;
    QxReadTimeStampCounter(&a);
    QxReadTimeStampCounter(&b);
    EXPECT_GE(b, a);
    QxReadTimeStampCounter(nullptr);
}

namespace {
int g_FakeMeasurements = 0;
void FakeClockMeasurement()
{
    ++g_FakeMeasurements;
    QxSetTimingFactors(QxGetMillisecondsPerTick(), 0.5f);
}
} // namespace

TEST(QxProcessor, TheClockIsMeasuredOnFirstReadUnlessSetBefore)
{
    const float tick = QxGetMillisecondsPerTick();
    const float cycle = QxGetMillisecondsPerCycle();
    QxSetClockMeasurement(&FakeClockMeasurement);
    EXPECT_TRUE(QxClockMeasurementPending());
    EXPECT_EQ(QxGetMillisecondsPerCycle(), 0.5f);
    EXPECT_EQ(QxGetMillisecondsPerCycle(), 0.5f);
    EXPECT_EQ(g_FakeMeasurements, 1);
    EXPECT_FALSE(QxClockMeasurementPending());

    QxSetClockMeasurement(&FakeClockMeasurement);
    QxSetTimingFactors(tick, 0.25f);
    EXPECT_FALSE(QxClockMeasurementPending());
    EXPECT_EQ(QxGetMillisecondsPerCycle(), 0.25f);
    EXPECT_EQ(g_FakeMeasurements, 1);
    QxSetTimingFactors(tick, cycle);
}

TEST(QxProcessor, DetectionLeavesNoMeasurementPendingOnceTheClockIsRead)
{
    QxDetectProcessor();
    const float perCycle = QxGetMillisecondsPerCycle();
    EXPECT_FALSE(QxClockMeasurementPending());
#if defined(__x86_64__)
    EXPECT_GT(perCycle, 0.0f);
#endif
    // A later description does not measure again over the factors read.
    EXPECT_NE(std::string(QxGetProcessorDescription()).find("hz"), std::string::npos);
    EXPECT_EQ(QxGetMillisecondsPerCycle(), perCycle);
}
