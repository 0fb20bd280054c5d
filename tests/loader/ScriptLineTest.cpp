#include "LoaderScriptLine.h"

#include <gtest/gtest.h>

TEST(ScriptLine, KeywordAndArgument) {
    struct Case {
        const char *line;
        ScriptKeyword keyword;
        const char *word;
        const char *argument;
    };
    const Case cases[] = {
        {"DELAY 100", ScriptKeyword::DELAY, "DELAY", "100"},
        {"delay 100\r\n", ScriptKeyword::DELAY, "delay", "100"},
        {"DeLaY 100\n", ScriptKeyword::DELAY, "DeLaY", "100"},
        {"MESSAGE Hello, world", ScriptKeyword::MESSAGE, "MESSAGE", "Hello, world"},
        // A line that begins with a blank has the whole rest, keyword included, as its argument.
        {"  MESSAGE hi", ScriptKeyword::MESSAGE, "MESSAGE", " MESSAGE hi"},
        // A tab separates the keyword but does not start the argument.
        {"PWRPORT\t3", ScriptKeyword::PWRPORT, "PWRPORT", ""},
        {"\tQUIT", ScriptKeyword::QUIT, "QUIT", ""},
        {"CLEANUP", ScriptKeyword::CLEANUP, "CLEANUP", ""},
        {"REM anything at all", ScriptKeyword::None, "REM", "anything at all"},
        {"LOADX file.hex", ScriptKeyword::None, "LOADX", "file.hex"},
        {"COM 3 57600", ScriptKeyword::COM, "COM", "3 57600"},
    };
    for (const Case &c : cases) {
        const ScriptLine line = SplitScriptLine(c.line);
        EXPECT_FALSE(line.empty) << c.line;
        EXPECT_EQ(line.keyword, c.keyword) << c.line;
        EXPECT_EQ(line.word, c.word) << c.line;
        EXPECT_EQ(line.argument, c.argument) << c.line;
    }
}

TEST(ScriptLine, EmptyLinesAndOverlongWords) {
    EXPECT_TRUE(SplitScriptLine("").empty);
    EXPECT_TRUE(SplitScriptLine("\n").empty);
    EXPECT_TRUE(SplitScriptLine("\r\n").empty);
    // A first word longer than the keyword field is simply no keyword, whatever it starts with.
    const ScriptLine longWord = SplitScriptLine("QUIT" + std::string(60, 'X') + " now");
    EXPECT_EQ(longWord.keyword, ScriptKeyword::None);
    // A long line stays one line: its tail is its argument, not a command of its own.
    const ScriptLine longLine = SplitScriptLine("MESSAGE " + std::string(300, 'a') + " QUIT");
    EXPECT_EQ(longLine.keyword, ScriptKeyword::MESSAGE);
    EXPECT_EQ(longLine.argument.size(), 305u);
}

TEST(ScriptLine, ArgumentsToIntegersFollowAtolRules) {
    EXPECT_EQ(ScriptArgToInt("100"), 100);
    EXPECT_EQ(ScriptArgToInt("  42abc"), 42);
    EXPECT_EQ(ScriptArgToInt("-7"), -7);
    EXPECT_EQ(ScriptArgToInt("+3"), 3);
    EXPECT_EQ(ScriptArgToInt("abc"), 0);
    EXPECT_EQ(ScriptArgToInt(""), 0);
    EXPECT_EQ(ScriptArgToInt("\t 255"), 255);
    EXPECT_GT(ScriptArgToInt("99999999999999999999"), 0) << "saturates instead of overflowing";
}
