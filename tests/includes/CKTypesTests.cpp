#include <gtest/gtest.h>

#include "includes/CKTypes.h"

TEST(CKGUID, OrdersByTheFirstWordThenTheSecondAndNeverBeforeItself)
{
    const CKGUID ordered[] = {CKGUID(0, 0), CKGUID(1, 2), CKGUID(1, 3), CKGUID(2, 0), CKGUID(0xFFFFFFFF, 1)};
    for (const CKGUID& a : ordered)
        for (const CKGUID& b : ordered) {
            EXPECT_EQ(a < b, &a < &b) << a.d1 << "," << a.d2 << " against " << b.d1 << "," << b.d2;
            EXPECT_EQ(a == b, &a == &b);
        }
    EXPECT_FALSE(CKGUID(0, 0).IsValid());
    EXPECT_TRUE(CKGUID(0, 1).IsValid());
}
