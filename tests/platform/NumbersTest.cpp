#include "Numbers.h"

#include <gtest/gtest.h>

using platform::ParseNumber;

TEST(Numbers, OnlyAPlainDecimalInItsRangeIsANumber) {
    EXPECT_EQ(ParseNumber(" 42 ", 0, 255), 42);
    EXPECT_EQ(ParseNumber("+7", 0, 255), 7);
    EXPECT_EQ(ParseNumber("-1", -1, 255), -1);
    EXPECT_EQ(ParseNumber("255", 0, 255), 255);
    for (const char *text : {"", " ", "256", "-1", "abc", "1e3", "3.5", "12abc", "+-1", "0x10",
                             "99999999999999999999", "4294967297"})
        EXPECT_FALSE(ParseNumber(text, 0, 255).has_value()) << text;
}
