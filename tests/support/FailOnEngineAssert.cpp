#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "platform/PlatformAssert.h"
#include "tests/support/AssertCapture.h"

// Linked into every test program. The engine reports a broken precondition
// and carries on (an index outside an array reads a dummy element), so a
// test that causes one by accident would pass unless the report fails it
// here. A test that provokes one on purpose says so with an AssertCapture,
// which takes the reports while it lives.
namespace {

void FailOnEngineAssert(const char* expression, const char* file, int line)
{
    ADD_FAILURE_AT(file, line) << "engine assertion: " << expression;
}

const PlatformAssertHook g_Previous = PlatformSetAssertHook(FailOnEngineAssert);

} // namespace

// One suite per program (ENGINE_ASSERT_SUITE names it after the program), so
// that each program shows it fails on an assertion nobody expected.
TEST(ENGINE_ASSERT_SUITE, AnUnexpectedEngineAssertionFailsTheTestAndAnExpectedOneDoesNot)
{
    EXPECT_NONFATAL_FAILURE(PlatformReportAssert("index < size", "Array.h", 7), "engine assertion: index < size");
    AssertCapture expected;
    PlatformReportAssert("index < size", "Array.h", 7);
    EXPECT_EQ(expected.Texts(), std::vector<std::string>{"index < size"});
}
