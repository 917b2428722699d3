#include "core/file/CKFileExtension.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

TEST(CKFileExtension, TheLeadingDotIsSkippedOnceAndTheTextCutToTheField)
{
    EXPECT_STREQ(CKFileExtension(".jpg").CStr(), "jpg");
    EXPECT_STREQ(CKShortFileExtension(".jpg").CStr(), "jpg");
    EXPECT_STREQ(CKFileExtension("..x").CStr(), ".x");
    EXPECT_STREQ(CKShortFileExtension("abcdef").CStr(), "abc");
    EXPECT_EQ(std::strlen(CKFileExtension(std::string(100, 'e').c_str()).CStr()), 67u);
    CKShortFileExtension s("abc");
    s.Set(nullptr);
    EXPECT_STREQ(s.CStr(), "");
    EXPECT_STREQ(CKFileExtension(nullptr).CStr(), "");
}
