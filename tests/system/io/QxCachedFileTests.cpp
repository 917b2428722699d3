#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <unistd.h>

#include "system/io/QxCachedFile.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/system/support/LogCapture.h"

namespace {
std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(rng() & 0xFF);
    return s;
}

} // namespace

class QxCachedFileDifferential : public ::testing::TestWithParam<CKDWORD>
{};

TEST_P(QxCachedFileDifferential, RandomReadsGiveTheBytesOfPread)
{
    const CKDWORD blockSize = GetParam();
    const size_t fileSize = 1 << 20;
    TestTempDir dir;
    std::string path = dir.File("big.bin");
    TestWriteFile(path, RandomBytes(fileSize, 7));
    int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);

    QxCachedFile file(blockSize);
    ASSERT_TRUE(file.Open(path.c_str(), QX_FILE_READ));
    EXPECT_EQ(file.GetSize(), fileSize);
    std::mt19937 rng(blockSize);
    std::vector<char> got(300000), want(300000);
    uint64_t compared = 0;
    for (int i = 0; i < 1500; ++i) {
        CKDWORD offset = rng() % (fileSize + 1000);
        CKDWORD size;
        switch (rng() % 4) {
        case 0: size = rng() % 16; break;
        case 1: size = rng() % (2 * blockSize + 1); break;
        case 2: size = rng() % 300000; break;
        default: size = blockSize * (rng() % 4) + (rng() % 3) - 1; break;
        }
        if (size > want.size())
            size = static_cast<CKDWORD>(want.size());
        // Half the time read on from where the last read stopped, else seek
        // there from one of the three origins.
        switch (rng() % 6) {
        case 0: ASSERT_TRUE(file.Seek(static_cast<int>(offset), QX_SEEK_BEGIN)); break;
        case 1: ASSERT_TRUE(file.Seek(static_cast<int>(offset - file.Tell()), QX_SEEK_CURRENT)); break;
        case 2: ASSERT_TRUE(file.Seek(static_cast<int>(offset - fileSize), QX_SEEK_END)); break;
        default: offset = file.Tell(); break;
        }
        ssize_t expected = ::pread(fd, want.data(), size, offset);
        ASSERT_GE(expected, 0);
        CKDWORD n = file.Read(got.data(), size);
        ASSERT_EQ(n, static_cast<CKDWORD>(expected)) << "offset " << offset << " size " << size;
        ASSERT_EQ(0, std::memcmp(got.data(), want.data(), n)) << "offset " << offset << " size " << size;
        ASSERT_EQ(file.Tell(), offset + n);
        compared += n;
    }
    EXPECT_GT(compared, 10000000u);
    ::close(fd);
}

TEST_P(QxCachedFileDifferential, MixedReadsAndWritesMatchAModel)
{
    const CKDWORD blockSize = GetParam();
    TestTempDir dir;
    std::string path = dir.File("mixed.bin");
    std::string model = RandomBytes(200000, 11);
    TestWriteFile(path, model);
    {
        QxCachedFile file(blockSize);
        ASSERT_TRUE(file.Open(path.c_str(), QX_FILE_READWRITE));
        std::mt19937 rng(blockSize + 1);
        std::vector<char> got(70000);
        for (int i = 0; i < 2000; ++i) {
            CKDWORD offset = rng() % (static_cast<CKDWORD>(model.size()) + 100);
            CKDWORD size = rng() % 3 ? rng() % 600 : rng() % 70000;
            file.Seek(static_cast<int>(offset), QX_SEEK_BEGIN);
            if (rng() % 4 == 0 && offset <= model.size()) {
                std::string bytes = RandomBytes(size, rng());
                ASSERT_EQ(file.Write(bytes.data(), size), size);
                if (model.size() < offset + size)
                    model.resize(offset + size);
                model.replace(offset, size, bytes);
            } else {
                CKDWORD n = file.Read(got.data(), size);
                CKDWORD expected = offset >= model.size() ? 0 : std::min<CKDWORD>(size, model.size() - offset);
                ASSERT_EQ(n, expected) << "offset " << offset << " size " << size;
                if (n > 0) {
                    ASSERT_EQ(std::string(got.data(), n), model.substr(offset, n)) << "offset " << offset;
                }
            }
        }
    }
    EXPECT_EQ(TestReadFile(path), model);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, QxCachedFileDifferential, ::testing::Values(512u, 4096u, 65536u));

class QxCachedFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Bytes = RandomBytes(20000, 3);
        m_Path = m_Dir.File("f.bin");
        TestWriteFile(m_Path, m_Bytes);
    }
    TestTempDir m_Dir;
    std::string m_Path;
    std::string m_Bytes;
};

TEST_F(QxCachedFileTest, TheCachedBlockIsTheLastOneReadAndAWriteIntoItDropsIt)
{
    std::vector<char> buffer(8200);
    for (bool warm : {false, true}) {
        TestWriteFile(m_Path, m_Bytes);
        QxCachedFile file(4096);
        ASSERT_TRUE(file.Open(m_Path.c_str(), QX_FILE_READWRITE));
        EXPECT_EQ(file.GetCachedBlockStart(), QxCachedFile::kNothingCached);
        if (warm) {
            file.Read(buffer.data(), 1);
            EXPECT_EQ(file.GetCachedBlockStart(), 0u);
        }
        // A long read ends in the same state whether its first block was cached or not.
        file.Seek(100, QX_SEEK_BEGIN);
        EXPECT_EQ(file.Read(buffer.data(), 8200), 8200u);
        EXPECT_EQ(std::string(buffer.data(), 8200), m_Bytes.substr(100, 8200));
        EXPECT_EQ(file.GetCachedBlockStart(), 8192u);
        file.Seek(4090, QX_SEEK_BEGIN);
        EXPECT_EQ(file.Read(buffer.data(), 10), 10u);
        EXPECT_EQ(file.GetCachedBlockStart(), 4096u);
        file.Seek(100, QX_SEEK_BEGIN);
        file.Write("ab", 2);
        EXPECT_EQ(file.GetCachedBlockStart(), 4096u) << "a write elsewhere keeps the block";
        file.Seek(5004, QX_SEEK_BEGIN);
        EXPECT_EQ(file.Write("WXYZ", 4), 4u);
        EXPECT_EQ(file.GetCachedBlockStart(), QxCachedFile::kNothingCached);
        file.Seek(5000, QX_SEEK_BEGIN);
        EXPECT_EQ(file.Read(buffer.data(), 12), 12u);
        EXPECT_EQ(std::string(buffer.data(), 12), m_Bytes.substr(5000, 4) + "WXYZ" + m_Bytes.substr(5008, 4));
    }
}

TEST_F(QxCachedFileTest, UncachedCallsWarnAndReopeningForgetsTheCache)
{
    LogCapture capture;
    TestWriteFile(m_Path, "line one\nline two\n");
    QxCachedFile file(4);
    ASSERT_TRUE(file.Open(m_Path.c_str(), QX_FILE_READ));
    char buffer[32];
    file.Read(buffer, 5);
    ASSERT_TRUE(file.GetString(buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "one\n");
    EXPECT_EQ(file.Tell(), 9u);
    EXPECT_EQ(file.ReadItems(buffer, 4, 2), 2u);
    EXPECT_EQ(std::string(buffer, 8), "line two");
    file.Flush();
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"[QxMath] [WARNING] : GetString : Not Cached\n",
                                                         "[QxMath] [WARNING] : ReadItems : Not Cached\n",
                                                         "[QxMath] [WARNING] : Flush : Not Cached\n"}));
    // Reopening forgets the cache.
    QxCachedFile reopened(4096);
    ASSERT_TRUE(reopened.Open(m_Path.c_str(), QX_FILE_READ));
    reopened.Seek(10, QX_SEEK_BEGIN);
    reopened.Read(buffer, 8);
    TestWriteFile(m_Dir.File("g.bin"), "other file");
    ASSERT_TRUE(reopened.Open(m_Dir.File("g.bin").c_str(), QX_FILE_READ));
    EXPECT_EQ(reopened.Tell(), 0u);
    EXPECT_EQ(reopened.GetCachedBlockStart(), QxCachedFile::kNothingCached);
    EXPECT_EQ(reopened.Read(buffer, 8), 8u);
    EXPECT_EQ(std::string(buffer, 8), "other fi");
    EXPECT_TRUE(reopened.Close());
    EXPECT_EQ(reopened.Read(buffer, 8), 0u);
}
