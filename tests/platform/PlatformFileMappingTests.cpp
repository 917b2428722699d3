#include <gtest/gtest.h>

#include <fstream>

#include "platform/PlatformFileMapping.h"
#include "tests/support/TestPaths.h"

namespace {
void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}
} // namespace

TEST(PlatformFileMapping, MapsTheWholeFileReadOnly)
{
    TestTempDir dir;
    std::string bytes("abc\0def", 7);
    WriteBytes(dir.File("f.bin"), bytes);
    PlatformFileMapping map;
    EXPECT_EQ(map.Open(dir.File("f.bin").c_str()), PlatformFileMapping::Mapped);
    ASSERT_NE(map.Data(), nullptr);
    EXPECT_EQ(map.Size(), 7u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(map.Data()), map.Size()), bytes);
}

TEST(PlatformFileMapping, AnEmptyFileMapsAsAnEmptyView)
{
    TestTempDir dir;
    WriteBytes(dir.File("empty"), "");
    PlatformFileMapping map;
    EXPECT_EQ(map.Open(dir.File("empty").c_str()), PlatformFileMapping::Mapped);
    EXPECT_NE(map.Data(), nullptr);
    EXPECT_EQ(map.Size(), 0u);
}

TEST(PlatformFileMapping, MissingFilesFoldersAndNullAreNotOpened)
{
    TestTempDir dir;
    PlatformFileMapping map;
    EXPECT_EQ(map.Open(dir.File("missing").c_str()), PlatformFileMapping::NotOpened);
    EXPECT_EQ(map.Data(), nullptr);
    EXPECT_EQ(map.Size(), 0u);
    EXPECT_EQ(map.Open(dir.Path().c_str()), PlatformFileMapping::NotOpened);
    EXPECT_EQ(map.Open(nullptr), PlatformFileMapping::NotOpened);
}

TEST(PlatformFileMapping, AcceptsBackslashSeparatorsAndReopens)
{
    TestTempDir dir;
    WriteBytes(dir.File("a.bin"), "12");
    WriteBytes(dir.File("b.bin"), "345");
    std::string back = dir.Path() + "\\b.bin";
    PlatformFileMapping map;
    ASSERT_EQ(map.Open(dir.File("a.bin").c_str()), PlatformFileMapping::Mapped);
    ASSERT_EQ(map.Open(back.c_str()), PlatformFileMapping::Mapped);
    EXPECT_EQ(map.Size(), 3u);
    map.Close();
    EXPECT_EQ(map.GetState(), PlatformFileMapping::NotOpened);
    EXPECT_EQ(map.Data(), nullptr);
}
