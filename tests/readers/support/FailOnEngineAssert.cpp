#include <gtest/gtest.h>

#include "platform/PlatformAssert.h"

// The engine reports a broken precondition and carries on (an index outside
// an array reads a dummy element): a test that causes one by accident fails
// here. Tests that expect one capture it with AssertCapture.
namespace {

void FailOnEngineAssert(const char* expression, const char* file, int line)
{
    ADD_FAILURE_AT(file, line) << "engine assertion: " << expression;
}

const PlatformAssertHook g_Previous = PlatformSetAssertHook(FailOnEngineAssert);

} // namespace
