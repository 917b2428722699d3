#include <gtest/gtest.h>

#include <string>

#include "system/math/QxMathWarning.h"
#include "tests/system/support/LogCapture.h"

TEST(QxMathWarning, NonConvergenceReachesTheLibraryLogAsAWarning)
{
    LogCapture capture;
    QxMathReportWarning("polar decomposition did not converge");
    ASSERT_EQ(LogCapture::Lines().size(), 1u);
    EXPECT_NE(LogCapture::Lines()[0].find("polar decomposition did not converge"), std::string::npos);
}
