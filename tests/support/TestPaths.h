#pragma once

#include <string>

// The project's root and the shared data folder beside it
// (ENGINE_SHARED_DATA overrides the latter).
std::string TestSourceDir();
std::string TestSharedDataDir();

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
