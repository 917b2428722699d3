#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/PlatformPaths.h"
#include "system/io/CKPathMaker.h"
#include "system/io/CKPathSplitter.h"
#include "system/io/QxPaths.h"
#include "tests/support/TestPaths.h"
#include "tests/system/support/LogCapture.h"

namespace {
const char kSplitterError[] =
    "[QxMath] [ERROR] : Possible Buffer Overrun avoided in CKPathSplitter : filename is larger than _MAX_PATH\n";
const char kMakerError[] =
    "[QxMath] [ERROR] : Possible Buffer Overrun avoided in PathMaker : arguments are too larges\n";

struct SplitCase
{
    std::string path;
    std::string drive, dir, name, ext;
};

std::vector<SplitCase> SplitCases()
{
    std::string folder259 = "/" + std::string(257, 'd') + "/";
    std::string file259 = "/x/" + std::string(252, 'f') + ".ext";
    return {
        {"c:\\dir\\file.txt", "c:", "\\dir\\", "file", ".txt"},
        {"c:\\a\\b\\", "c:", "\\a\\b\\", "", ""},
        {"c:\\", "c:", "\\", "", ""},
        {"c:", "c:", "", "", ""},
        {"c:file.txt", "c:", "", "file", ".txt"},
        {"c:.ext", "c:", "", "", ".ext"},
        {"1:odd", "1:", "", "odd", ""},
        {":x", "", "", ":x", ""},
        {"\\\\server\\share\\a.b", "", "\\\\server\\share\\", "a", ".b"},
        {"\\", "", "\\", "", ""},
        {"/", "", "/", "", ""},
        {"", "", "", "", ""},
        {"file", "", "", "file", ""},
        {"file.", "", "", "file", "."},
        {"trailing.dot.", "", "", "trailing.dot", "."},
        {".bashrc", "", "", "", ".bashrc"},
        {"..", "", "", ".", "."},
        {"./a", "", "./", "a", ""},
        {"../x/y.tar.gz", "", "../x/", "y.tar", ".gz"},
        {"a.b.c", "", "", "a.b", ".c"},
        {"a.b/c", "", "a.b/", "c", ""},
        {"a.b\\c.d.e", "", "a.b\\", "c.d", ".e"},
        {"dir/", "", "dir/", "", ""},
        {"mixed/sep\\name.ext", "", "mixed/sep\\", "name", ".ext"},
        {"/home/user/.config/", "", "/home/user/.config/", "", ""},
        {"/home/user/.config", "", "/home/user/", "", ".config"},
        {"name with spaces.jpg", "", "", "name with spaces", ".jpg"},
        {"file://c:/x.jpg", "", "file://c:/", "x", ".jpg"},
        {folder259, "", folder259, "", ""},
        {file259, "", "/x/", std::string(252, 'f'), ".ext"},
    };
}

} // namespace

TEST(CKPathSplitter, SplitsWindowsAndLinuxPaths)
{
    LogCapture capture;
    std::vector<SplitCase> cases = SplitCases();
    for (const SplitCase& c : cases) {
        ASSERT_LT(c.path.size(), 260u);
        CKPathSplitter split(c.path.c_str());
        EXPECT_EQ(split.GetDrive(), c.drive) << c.path;
        EXPECT_EQ(split.GetDir(), c.dir) << c.path;
        EXPECT_EQ(split.GetName(), c.name) << c.path;
        EXPECT_EQ(split.GetExtension(), c.ext) << c.path;
        // Made again from its parts, the path comes back whole (the maker
        // counts every part, empty ones included, with one more character).
        if (c.path.size() + 4 >= 260)
            continue;
        CKPathMaker made(split.GetDrive(), split.GetDir(), split.GetName(), split.GetExtension());
        EXPECT_EQ(made.GetFileName(), c.path) << c.path;
    }
    EXPECT_TRUE(capture.Lines().empty());
}

TEST(CKPathSplitter, RefusesPathsOf260CharactersOrMore)
{
    LogCapture capture;
    for (size_t length : {260u, 300u, 5000u}) {
        std::string path = "c:\\" + std::string(length - 7, 'a') + ".txt";
        ASSERT_EQ(path.size(), length);
        CKPathSplitter split(path.c_str());
        EXPECT_STREQ(split.GetDrive(), "");
        EXPECT_STREQ(split.GetDir(), "");
        EXPECT_STREQ(split.GetName(), "");
        EXPECT_STREQ(split.GetExtension(), "");
    }
    ASSERT_EQ(capture.Lines().size(), 3u);
    EXPECT_EQ(capture.Lines()[0], kSplitterError);
    CKPathSplitter none(nullptr);
    EXPECT_STREQ(none.GetName(), "");
    EXPECT_EQ(capture.Lines().size(), 3u);
}

TEST(CKPathMaker, JoinsPartsWithTheSeparatorsTheyLackAndRefusesWhatCountsTo260)
{
    LogCapture capture;
    struct MakeCase
    {
        const char *drive, *dir, *name, *ext;
        std::string expected;
    };
    const std::vector<MakeCase> cases = {
        {"c:", "\\dir\\", "file", ".txt", "c:\\dir\\file.txt"},
        {"c", "dir", "file", "txt", "c:dir/file.txt"},
        {"cde", nullptr, "f", nullptr, "c:f"},
        {nullptr, "/usr/lib", "libm", ".so", "/usr/lib/libm.so"},
        {nullptr, nullptr, "name", nullptr, "name"},
        {"", "", "", "", ""},
        {nullptr, nullptr, nullptr, nullptr, ""},
        {nullptr, "a/", nullptr, "ext", "a/.ext"},
        {nullptr, "dir\\", "x", nullptr, "dir\\x"},
        {nullptr, "d", nullptr, nullptr, "d/"},
    };
    for (const MakeCase& c : cases) {
        CKPathMaker made(c.drive, c.dir, c.name, c.ext);
        EXPECT_EQ(made.GetFileName(), c.expected);
    }
    EXPECT_TRUE(capture.Lines().empty());
    // Parts that count to 260 are refused with one error line each.
    std::string dir250(250, 'd');
    // "c:" 3 + 251 + "x" 2 + ".t" 3 = 259: made.
    CKPathMaker fits("c:", dir250.c_str(), "x", ".t");
    EXPECT_EQ(std::string(fits.GetFileName()), "c:" + dir250 + "/x.t");
    // One more character: 260.
    CKPathMaker over("c:", dir250.c_str(), "xy", ".t");
    EXPECT_STREQ(over.GetFileName(), "");
    // Empty parts still count one each.
    std::string dir256(256, 'd');
    CKPathMaker empties("", dir256.c_str(), "", "");
    EXPECT_STREQ(empties.GetFileName(), "");
    CKPathMaker nulls(nullptr, dir256.c_str(), nullptr, nullptr);
    EXPECT_EQ(std::string(nulls.GetFileName()), dir256 + "/");
    std::string huge(100000, 'h');
    CKPathMaker hugeName(nullptr, nullptr, huge.c_str(), nullptr);
    EXPECT_STREQ(hugeName.GetFileName(), "");
    ASSERT_EQ(capture.Lines().size(), 3u);
    for (const std::string& line : capture.Lines())
        EXPECT_EQ(line, kMakerError);
}

TEST(QxConcatPath, AddsASeparatorOnlyWhenNeededAndRefusesWhatDoesNotFit)
{
    struct Case
    {
        const char *first, *second;
        size_t size;
        CKBOOL ok;
        const char* joined;
    };
    const Case cases[] = {
        {"a/", "b", 32, 1, "a/b"},     {"a", "b", 32, 1, "a/b"}, {"a\\", "b", 32, 1, "a\\b"}, {"", "b", 32, 1, "b"},
        {nullptr, nullptr, 32, 1, ""}, {"a", "", 32, 1, "a/"},   {"ab", "cd", 6, 1, "ab/cd"}, {"ab", "cde", 6, 0, ""},
    };
    for (const Case& c : cases) {
        char out[32] = "junk";
        EXPECT_EQ(QxConcatPath(out, c.size, c.first, c.second), c.ok) << c.joined;
        EXPECT_STREQ(out, c.joined);
    }
    char out[4];
    EXPECT_EQ(QxConcatPath(nullptr, 10, "a", "b"), 0);
    EXPECT_EQ(QxConcatPath(out, 0, "a", "b"), 0);
    // The destination may also be the first part.
    char joined[16] = "dir";
    EXPECT_EQ(QxConcatPath(joined, sizeof(joined), joined, "file"), 1);
    EXPECT_STREQ(joined, "dir/file");
}

TEST(QxCreateDirectories, CreatesEveryFolderBeforeTheLastSeparatorAndDeleteRemovesThem)
{
    TestTempDir dir;
    EXPECT_TRUE(QxCreateDirectories(dir.File("a/b\\c/file.txt").c_str()));
    EXPECT_TRUE(PlatformPathExists(dir.File("a/b/c").c_str()));
    EXPECT_FALSE(PlatformPathExists(dir.File("a/b/c/file.txt").c_str()));
    EXPECT_TRUE(QxCreateDirectories(dir.File("a/b/c/file.txt").c_str())); // all there already
    EXPECT_TRUE(QxCreateDirectories(dir.File("x//y/").c_str()));
    EXPECT_TRUE(PlatformPathExists(dir.File("x/y").c_str()));
    std::ofstream(dir.File("blocker")) << "file";
    EXPECT_FALSE(QxCreateDirectories(dir.File("blocker/sub/f").c_str()));
    EXPECT_FALSE(QxCreateDirectories(nullptr));
    std::ofstream(dir.File("a/b/f.txt")) << "x";
    EXPECT_TRUE(QxDeleteDirectory(dir.File("a").c_str()));
    EXPECT_FALSE(PlatformPathExists(dir.File("a").c_str()));
    EXPECT_FALSE(QxDeleteDirectory(dir.File("a").c_str()));
    EXPECT_FALSE(QxDeleteDirectory(nullptr));
    EXPECT_TRUE(QxMakeDirectory(dir.File("a").c_str()));
    EXPECT_FALSE(QxMakeDirectory(dir.File("a").c_str()));
    // A relative path creates its first folder too.
    char saved[260];
    ASSERT_NE(QxGetCurrentDirectory(saved), nullptr);
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    const CKBOOL created = QxCreateDirectories("ab/c/file");
    const bool exists = PlatformPathExists("ab/c");
    ASSERT_EQ(::chdir(saved), 0);
    EXPECT_TRUE(created);
    EXPECT_TRUE(exists);
}

TEST(QxAddDirectoryToPath, PutsTheFolderInFrontOfTheWholePathAndTempPathIsTheSystems)
{
    std::string saved;
    bool had = PlatformGetEnv("PATH", saved);
    std::string longPath(10000, 'p'); // longer than any fixed buffer
    setenv("PATH", longPath.c_str(), 1);
    EXPECT_TRUE(QxAddDirectoryToPath("/opt/engine"));
    std::string now;
    ASSERT_TRUE(PlatformGetEnv("PATH", now));
    EXPECT_EQ(now, "/opt/engine:" + longPath);
    unsetenv("PATH");
    EXPECT_TRUE(QxAddDirectoryToPath("/opt/engine"));
    ASSERT_TRUE(PlatformGetEnv("PATH", now));
    EXPECT_EQ(now, "/opt/engine");
    EXPECT_FALSE(QxAddDirectoryToPath(""));
    EXPECT_FALSE(QxAddDirectoryToPath(nullptr));
    if (had)
        setenv("PATH", saved.c_str(), 1);
    // The temporary folder is the system's, with a separator.
    had = PlatformGetEnv("TMPDIR", saved);
    setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_STREQ(QxGetTempPath().CStr(), "/var/tmp/");
    setenv("TMPDIR", ("/" + std::string(600, 't')).c_str(), 1);
    EXPECT_STREQ(QxGetTempPath().CStr(), "");
    unsetenv("TMPDIR");
    EXPECT_STREQ(QxGetTempPath().CStr(), "/tmp/");
    if (had)
        setenv("TMPDIR", saved.c_str(), 1);
}

TEST(QxGetModuleFileName, CutsToTheBufferAndTerminatesAndTheFolderIsTheWorkingOne)
{
    char full[4096], small[5];
    ASSERT_GT(QxGetModuleFileName(nullptr, full, sizeof(full)), 0);
    EXPECT_EQ(std::string(full), PlatformGetExecutablePath());
    EXPECT_EQ(QxGetModuleFileName(nullptr, small, sizeof(small)), 4);
    EXPECT_EQ(std::string(small), std::string(full, 4));
    EXPECT_EQ(QxGetModuleFileName(nullptr, small, 0), 0);
    EXPECT_NE(QxGetModuleHandle(nullptr), nullptr);
    char buffer[260];
    ASSERT_NE(QxGetCurrentDirectory(buffer), nullptr);
    ASSERT_NE(::getcwd(full, sizeof(full)), nullptr);
    EXPECT_STREQ(buffer, full);
    EXPECT_EQ(QxGetCurrentDirectory(nullptr), nullptr);
}
