#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sys/mman.h>
#include <vector>

#include "platform/PlatformTableMemory.h"

namespace {

constexpr size_t kMB = size_t(1) << 20;

struct AdviceRecord
{
    int calls = 0;
    void* address = nullptr;
    size_t length = 0;
    int answer = 0;
};
AdviceRecord g_Advice;

int RecordAdvice(void* address, size_t length)
{
    ++g_Advice.calls;
    g_Advice.address = address;
    g_Advice.length = length;
    return g_Advice.answer;
}

// Routes the advice through RecordAdvice for the test's length.
class AdviceScope
{
public:
    explicit AdviceScope(int answer)
    {
        g_Advice = AdviceRecord{};
        g_Advice.answer = answer;
        m_Previous = PlatformSetHugePageAdviceHook(RecordAdvice);
    }
    ~AdviceScope() { PlatformSetHugePageAdviceHook(m_Previous); }

private:
    PlatformHugePageAdviceHook m_Previous;
};

bool AllZero(const void* data, size_t bytes)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < bytes; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

TEST(PlatformTableMemory, GivesZeroedWritableStorageWhateverTheAdviceAnswers)
{
    struct Case
    {
        size_t bytes;
        int answer;     // the system's answer to the huge-page advice
        bool mapped;    // large enough to be mapped and advised
        size_t advised; // the length the advice covers
    };
    const Case cases[] = {
        {1, 0, false, 0},
        {4096, 0, false, 0},
        {2 * kMB - 1, 0, false, 0},
        {2 * kMB, 0, true, 2 * kMB},
        {2 * kMB, -1, true, 2 * kMB},
        {2 * kMB + 1, 0, true, 4 * kMB},
        {5 * kMB + 3, -1, true, 6 * kMB},
        {8 * kMB, -1, true, 8 * kMB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytes << " bytes, advice answered " << c.answer);
        AdviceScope scope(c.answer);
        PlatformTableMemory table;
        ASSERT_TRUE(table.Allocate(c.bytes));
        ASSERT_NE(table.Data(), nullptr);
        EXPECT_EQ(table.Size(), c.bytes);
        EXPECT_EQ(g_Advice.calls, c.mapped ? 1 : 0);
        EXPECT_EQ(table.HugePagesAdvised(), c.mapped && c.answer == 0);
        if (c.mapped) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(table.Data()) % PlatformTableMemory::kHugePage, 0u);
            EXPECT_EQ(g_Advice.address, table.Data());
            EXPECT_EQ(g_Advice.length, c.advised);
        }
        EXPECT_TRUE(AllZero(table.Data(), c.bytes));
        // Every byte is ours, up to the last one.
        std::memset(table.Data(), 0xA5, c.bytes);
        EXPECT_EQ(static_cast<unsigned char*>(table.Data())[c.bytes - 1], 0xA5);
        // A new allocation replaces the storage with zeros again.
        ASSERT_TRUE(table.Allocate(c.bytes));
        EXPECT_TRUE(AllZero(table.Data(), c.bytes));
        table.Free();
        EXPECT_EQ(table.Data(), nullptr);
        EXPECT_EQ(table.Size(), 0u);
        EXPECT_FALSE(table.HugePagesAdvised());
    }
}

// Whether the page holding address is mapped in this process.
bool Mapped(const void* address)
{
    const uintptr_t page = reinterpret_cast<uintptr_t>(address) & ~(uintptr_t) 4095;
    unsigned char resident = 0;
    return ::mincore(reinterpret_cast<void*>(page), 4096, &resident) == 0;
}

TEST(PlatformTableMemory, GivesBackTheSlackMappedToFindTheBoundary)
{
    // The slack after the table is always given back (the boundary is found
    // in a mapping one huge page longer than the table); freed, the table
    // is unmapped too.
    for (const size_t bytes : {2 * kMB, 3 * kMB + 5}) {
        for (const int answer : {0, -1}) {
            AdviceScope scope(answer);
            PlatformTableMemory table;
            ASSERT_TRUE(table.Allocate(bytes));
            const unsigned char* data = static_cast<const unsigned char*>(table.Data());
            const size_t length = (bytes + PlatformTableMemory::kHugePage - 1) & ~(PlatformTableMemory::kHugePage - 1);
            EXPECT_TRUE(Mapped(data));
            EXPECT_TRUE(Mapped(data + length - 1));
            EXPECT_FALSE(Mapped(data + length)) << bytes << " bytes";
            table.Free();
            EXPECT_FALSE(Mapped(data));
        }
    }
}

TEST(PlatformTableMemory, NothingAskedGivesNothingAndSwapTradesEverything)
{
    PlatformTableMemory empty;
    EXPECT_FALSE(empty.Allocate(0));
    EXPECT_EQ(empty.Data(), nullptr);
    EXPECT_EQ(empty.Size(), 0u);

    AdviceScope scope(0);
    PlatformTableMemory large;
    PlatformTableMemory small;
    ASSERT_TRUE(large.Allocate(3 * kMB));
    ASSERT_TRUE(small.Allocate(100));
    void* largeData = large.Data();
    void* smallData = small.Data();
    large.Swap(small);
    EXPECT_EQ(large.Data(), smallData);
    EXPECT_EQ(large.Size(), 100u);
    EXPECT_FALSE(large.HugePagesAdvised());
    EXPECT_EQ(small.Data(), largeData);
    EXPECT_EQ(small.Size(), 3 * kMB);
    EXPECT_TRUE(small.HugePagesAdvised());
    // Each frees what it now holds (a mapping freed as heap memory, or the
    // reverse, is caught by the sanitizers).
    large.Free();
    static_cast<unsigned char*>(small.Data())[3 * kMB - 1] = 1;
}

TEST(PlatformMapArray, GrowsInWholeAlignedHugePagesKeepingEveryByte)
{
    AdviceScope scope(0);
    EXPECT_EQ(PlatformMapArray(0), nullptr);
    EXPECT_EQ(PlatformRemapArray(nullptr, 4 * kMB, 8 * kMB), nullptr);
    size_t bytes = 4 * kMB + 12;
    auto* data = static_cast<unsigned char*>(PlatformMapArray(bytes));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % PlatformTableMemory::kHugePage, 0u);
    EXPECT_EQ(g_Advice.address, data);
    EXPECT_EQ(g_Advice.length, 6 * kMB);
    EXPECT_TRUE(AllZero(data, bytes));
    for (size_t i = 0; i < bytes; ++i)
        data[i] = (unsigned char) (i * 7 + 3);
    // Shrinking, or sizes that hold nothing, are refused and leave it as it is.
    EXPECT_EQ(PlatformRemapArray(data, bytes, 2 * kMB), nullptr);
    EXPECT_EQ(PlatformRemapArray(data, 0, 8 * kMB), nullptr);
    EXPECT_EQ(PlatformRemapArray(data, bytes, 0), nullptr);
    EXPECT_EQ(data[bytes - 1], (unsigned char) ((bytes - 1) * 7 + 3));
    // A mapping just after it makes the next growth move the pages; the one
    // after that may grow in place. Either way every byte stays and the new
    // ones read as zeros.
    void* blocker = ::mmap(data + 6 * kMB, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    for (const size_t next : {13 * kMB, 13 * kMB + 1, 40 * kMB}) {
        SCOPED_TRACE(testing::Message() << bytes << " to " << next << " bytes");
        auto* grown = static_cast<unsigned char*>(PlatformRemapArray(data, bytes, next));
        ASSERT_NE(grown, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(grown) % PlatformTableMemory::kHugePage, 0u);
        EXPECT_EQ(g_Advice.address, grown);
        EXPECT_EQ(g_Advice.length, (next + 2 * kMB - 1) & ~(2 * kMB - 1));
        size_t wrong = 0;
        for (size_t i = 0; i < bytes; ++i)
            wrong += grown[i] != (unsigned char) (i * 7 + 3);
        EXPECT_EQ(wrong, 0u);
        EXPECT_TRUE(AllZero(grown + bytes, next - bytes));
        EXPECT_TRUE(Mapped(grown + next - 1));
        for (size_t i = bytes; i < next; ++i)
            grown[i] = (unsigned char) (i * 7 + 3);
        data = grown;
        bytes = next;
    }
    if (blocker != MAP_FAILED)
        ::munmap(blocker, 4096);
    // A refused advice changes nothing.
    g_Advice.answer = -1;
    auto* refused = static_cast<unsigned char*>(PlatformMapArray(4 * kMB));
    ASSERT_NE(refused, nullptr);
    refused[4 * kMB - 1] = 1;
    PlatformUnmapArray(refused, 4 * kMB);
    PlatformUnmapArray(data, bytes);
    EXPECT_FALSE(Mapped(data));
    EXPECT_FALSE(Mapped(data + bytes - 1));
}

} // namespace
