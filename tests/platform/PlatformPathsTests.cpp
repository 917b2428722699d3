#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PlatformPaths.h"
#include "tests/support/TestPaths.h"

TEST(PlatformPaths, NativePathTurnsBackslashesIntoSlashes)
{
    EXPECT_EQ(PlatformNativePath("c:\\dir\\f.txt"), "c:/dir/f.txt");
    EXPECT_EQ(PlatformNativePath(nullptr), "");
    // No path names nothing that exists, whether null or empty.
    EXPECT_FALSE(PlatformPathExists(nullptr));
    EXPECT_FALSE(PlatformPathExists(""));
}

TEST(PlatformPaths, ExecutablePathAndFolderAgree)
{
    std::string exe = PlatformGetExecutablePath();
    std::string dir = PlatformGetExecutableDir();
    ASSERT_FALSE(exe.empty());
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(exe.compare(0, dir.size(), dir), 0);
    EXPECT_EQ(exe.find('/', dir.size()), std::string::npos);
    // Read once and kept: a second call gives the same text.
    EXPECT_EQ(PlatformGetExecutablePath(), exe);
}

TEST(PlatformPaths, TempPathEndsWithASeparator)
{
    std::string tmp = PlatformGetTempPath();
    ASSERT_FALSE(tmp.empty());
    EXPECT_EQ(tmp.back(), '/');
    EXPECT_TRUE(PlatformPathExists(tmp.c_str()));
}

TEST(PlatformPaths, MakeDirectoryNeedsItsParentAndDeleteTreeRemovesEverything)
{
    TestTempDir dir;
    std::string a = dir.File("a");
    std::string deep = dir.File("x/y");
    EXPECT_FALSE(PlatformMakeDirectory(deep.c_str()));
    EXPECT_TRUE(PlatformMakeDirectory(a.c_str()));
    EXPECT_FALSE(PlatformMakeDirectory(a.c_str()));
    EXPECT_TRUE(PlatformMakeDirectory((a + "\\b").c_str()));
    std::ofstream(a + "/b/file.txt") << "x";
    EXPECT_EQ(PlatformGetFileMode((a + "/b/file.txt").c_str()) & S_IFMT, unsigned(S_IFREG));
    EXPECT_EQ(PlatformGetFileMode(a.c_str()) & S_IFMT, unsigned(S_IFDIR));
    EXPECT_TRUE(PlatformDeleteTree(a.c_str()));
    EXPECT_FALSE(PlatformPathExists(a.c_str()));
    EXPECT_FALSE(PlatformDeleteTree(a.c_str()));
    EXPECT_EQ(PlatformGetFileMode(a.c_str()), 0u);
    EXPECT_EQ(PlatformGetFileMode(""), 0u);
    EXPECT_EQ(PlatformGetFileMode(nullptr), 0u);
}

TEST(PlatformPaths, EnvironmentVariablesRoundTrip)
{
    std::string value;
    EXPECT_FALSE(PlatformGetEnv("ENGINE_PLATFORM_TEST_UNSET", value));
    EXPECT_TRUE(PlatformSetEnv("ENGINE_PLATFORM_TEST_VAR", "a:b"));
    EXPECT_TRUE(PlatformGetEnv("ENGINE_PLATFORM_TEST_VAR", value));
    EXPECT_EQ(value, "a:b");
    EXPECT_FALSE(PlatformSetEnv("", "x"));
}

TEST(PlatformPaths, CurrentDirectoryIsReadable)
{
    std::string cwd;
    ASSERT_TRUE(PlatformGetCurrentDirectory(cwd));
    EXPECT_FALSE(cwd.empty());

    // A folder removed under the process cannot be read as the current one.
    TestTempDir dir;
    const std::string gone = dir.File("cwd-removed");
    ASSERT_EQ(::mkdir(gone.c_str(), 0700), 0);
    ASSERT_EQ(::chdir(gone.c_str()), 0);
    ASSERT_EQ(::rmdir(gone.c_str()), 0);
    std::string none = "kept";
    EXPECT_FALSE(PlatformGetCurrentDirectory(none));
    EXPECT_EQ(none, "kept");
    ASSERT_EQ(::chdir(cwd.c_str()), 0);
}
