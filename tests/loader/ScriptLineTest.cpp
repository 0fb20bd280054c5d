#include "LoaderScriptLine.h"

#include <climits>
#include <gtest/gtest.h>

// How lines split into keyword and argument is tested through the window (LoaderScriptTest).
TEST(ScriptLine, ArgumentsToIntegersFollowAtolRules) {
    EXPECT_EQ(ScriptArgToInt("100"), 100);
    EXPECT_EQ(ScriptArgToInt("  42abc"), 42);
    EXPECT_EQ(ScriptArgToInt("-7"), -7);
    EXPECT_EQ(ScriptArgToInt("+3"), 3);
    EXPECT_EQ(ScriptArgToInt("abc"), 0);
    EXPECT_EQ(ScriptArgToInt(""), 0);
    EXPECT_EQ(ScriptArgToInt("\t 255"), 255);
    // Out of range saturates instead of wrapping to the other sign.
    EXPECT_EQ(ScriptArgToInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ScriptArgToInt("-99999999999"), INT_MIN);
    EXPECT_EQ(ScriptArgToInt("-2147483648"), INT_MIN);
}
