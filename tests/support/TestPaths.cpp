#include "tests/support/TestPaths.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

std::string TestSourceDir()
{
    return ENGINE_SOURCE_DIR;
}

std::string TestSharedDataDir()
{
    if (const char* env = std::getenv("ENGINE_SHARED_DATA"))
        return env;
    return std::string(ENGINE_SOURCE_DIR) + "/../shared/data";
}

std::string TestSharedDataMissing()
{
    const std::string dir = TestSharedDataDir();
    std::error_code ec;
    if (std::filesystem::is_directory(dir + "/images", ec))
        return "";
    return "needs the shared data folder, not found at " + std::filesystem::path(dir).lexically_normal().string() +
           " (set ENGINE_SHARED_DATA)";
}

TestTempDir::TestTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "engine-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_Path = pattern;
}

TestTempDir::~TestTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_Path, ec);
}
