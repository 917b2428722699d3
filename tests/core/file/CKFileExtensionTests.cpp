#include "core/file/CKFileExtension.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

TEST(CKFileExtension, LeadingDotIsSkippedOnce)
{
    EXPECT_STREQ(CKFileExtension(".jpg").CStr(), "jpg");
    EXPECT_STREQ(CKShortFileExtension(".jpg").CStr(), "jpg");
    EXPECT_STREQ(CKFileExtension("..x").CStr(), ".x");
}

TEST(CKFileExtension, TextIsCutToTheField)
{
    EXPECT_STREQ(CKShortFileExtension("abcdef").CStr(), "abc");
    const std::string longText(100, 'e');
    CKFileExtension ext(longText.c_str());
    EXPECT_EQ(std::strlen(ext.CStr()), 67u);
}

TEST(CKFileExtension, NullGivesAnEmptyText)
{
    CKShortFileExtension s("abc");
    s.Set(nullptr);
    EXPECT_STREQ(s.CStr(), "");
    EXPECT_STREQ(CKFileExtension(nullptr).CStr(), "");
}
