#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "tests/system/support/GlobalStateRows.h"

// The engine's shut-down resets the system library's states too, including
// what a context used while it lived.
TEST(EngineGlobals, SystemStatesAreFreshAfterEachRestartOfTheEngine)
{
    auto start = [] { ASSERT_EQ(CKStartUp(), 0); };
    auto run = [] {
        CKContext* context = nullptr;
        ASSERT_EQ(CKCreateContext(&context, nullptr, nullptr), 0);
        EXPECT_EQ(CKCloseContext(context), 0);
    };
    ExpectFreshAfterRestarts(
        start, run, [] { EXPECT_EQ(CKShutdown(), 0); }, 3);
}
