#pragma once

#include <string>

#include <gtest/gtest.h>

// The project's root and the shared data folder beside it
// (ENGINE_SHARED_DATA overrides the latter).
std::string TestSourceDir();
std::string TestSharedDataDir();

// Why the shared data folder cannot be read, "" when it can: the folder
// looked for and how to point at another.
std::string TestSharedDataMissing();

// Skips the current test, giving the reason, when the shared data folder is
// missing.
#define SKIP_WITHOUT_SHARED_DATA()                                                                                     \
    do {                                                                                                               \
        const std::string missing_ = TestSharedDataMissing();                                                          \
        if (!missing_.empty())                                                                                         \
            GTEST_SKIP() << missing_;                                                                                  \
    } while (0)

// A fresh empty folder for one test, removed when the object dies.
class TestTempDir
{
public:
    TestTempDir();
    ~TestTempDir();
    TestTempDir(const TestTempDir&) = delete;
    TestTempDir& operator=(const TestTempDir&) = delete;

    const std::string& Path() const { return m_Path; }
    std::string File(const std::string& name) const { return m_Path + "/" + name; }

private:
    std::string m_Path;
};
