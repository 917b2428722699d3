#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

// Fails the program when the scope it guards is still running after the
// limit: a loop that never ends (a bound that never comes) then fails its
// test at once instead of holding the whole run until CTest's timeout.
class TestDeadline
{
public:
    TestDeadline(std::chrono::seconds limit, std::string what) : m_What(std::move(what))
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "";
        m_Watch = std::thread([this, limit, name] {
            std::unique_lock<std::mutex> lock(m_Mutex);
            if (m_Done.wait_for(lock, limit, [this] { return m_Finished; }))
                return;
            std::fprintf(stderr, "[  FAILED  ] %s: %s did not end within %lld s\n", name.c_str(), m_What.c_str(),
                         (long long) limit.count());
            std::fflush(stderr);
            std::_Exit(1);
        });
    }
    ~TestDeadline()
    {
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Finished = true;
        }
        m_Done.notify_one();
        m_Watch.join();
    }
    TestDeadline(const TestDeadline&) = delete;
    TestDeadline& operator=(const TestDeadline&) = delete;

private:
    std::string m_What;
    std::mutex m_Mutex;
    std::condition_variable m_Done;
    bool m_Finished = false;
    std::thread m_Watch;
};
