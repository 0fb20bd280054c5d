#include "SentenceParser.h"
#include "SerialPort.h"

#include "PseudoTerminal.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Feeds bytes and returns the state after each one.
std::vector<int> Feed(SentenceParser &parser, const std::string &bytes) {
    std::vector<int> states;
    for (const char c : bytes)
        states.push_back(parser.FeedByte(static_cast<std::uint8_t>(c)));
    return states;
}

struct LineCase {
    const char *name;
    std::string bytes; // one line, ended by CR (the LF follows separately)
    int stateAtCr;
    std::string text;
    int fieldCount;
};

class ParserLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(ParserLines, CompleteAsExpected) {
    const LineCase &c = GetParam();
    SentenceParser parser;
    const auto states = Feed(parser, c.bytes + "\r");
    EXPECT_EQ(states.back(), c.stateAtCr);
    EXPECT_EQ(parser.GetText(), c.text);
    EXPECT_EQ(parser.GetFieldCount(), c.fieldCount);
    EXPECT_EQ(parser.FeedByte('\n'), SentenceParser::Idle); // the LF of CR LF only resets
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParserLines,
    ::testing::Values(LineCase{"Plain", "$PQVZS,CLR", 3, "$PQVZS,CLR", 2},
                      LineCase{"MatchingChecksum", "$PQVZS,CLR*2F", 3, "$PQVZS,CLR", 2},
                      LineCase{"LowerCaseChecksum", "$PQVZK,A*2b", 3, "$PQVZK,A", 2},
                      LineCase{"WrongChecksumIsRaw", "$PQVZS,CLR*00", 4, "$PQVZS,CLR*00", 0},
                      LineCase{"NonHexAfterStarIsRaw", "$PQVZS,CLR*G1", 4, "$PQVZS,CLR*G1", 0},
                      LineCase{"DollarAloneIsEmptyName", "$", 3, "$", 1},
                      LineCase{"FourDigitsKeepLastTwo", "$A*1234", 4, "$A*1234", 0},
                      LineCase{"OnlyLastTwoDigitsCount", "$A*1241", 3, "$A", 1},
                      LineCase{"TextBeforeDollarDropped", "xy$PQVZS,CLR", 3, "$PQVZS,CLR", 2},
                      LineCase{"DollarInsideBodyIsText", "$A,B$C", 3, "$A,B$C", 2},
                      LineCase{"PlainText", "[Ok] OK", 4, "[Ok] OK", 0},
                      LineCase{"ControlByteShownAsDot",
                               std::string("AB\x01"
                                           "C"),
                               4, "AB.C", 0},
                      LineCase{"DegreeSignShown", std::string("10\xB0"), 4, std::string("10\xB0"), 0},
                      LineCase{"EmptyFields", "$N,,,", 3, "$N,,,", 4}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SentenceParser, ChecksumCountsWhatLiesBetweenDollarAndStar) {
    // "PQVZS,CLR": the XOR of its bytes is 0x2F.
    SentenceParser parser;
    const auto states = Feed(parser, "$PQVZS,CLR*2F\r");
    EXPECT_EQ(states.back(), 3);
    EXPECT_STREQ(parser.GetField(0), "PQVZS");
    EXPECT_STREQ(parser.GetField(1), "CLR");
    EXPECT_EQ(parser.GetField(2), nullptr);
}

TEST(SentenceParser, FieldsAndNumbers) {
    SentenceParser parser;
    Feed(parser, "$PQVZR,HNX,SET1,-12x,,99999,7,8,-2147483649\r");
    ASSERT_EQ(parser.GetFieldCount(), 9);
    EXPECT_EQ(parser.GetFieldInt16(3), -12);
    EXPECT_EQ(parser.GetFieldInt16(4), 0);
    EXPECT_EQ(parser.GetFieldInt16(5), static_cast<std::int16_t>(99999 & 0xFFFF)); // wraps in 16 bits
    EXPECT_EQ(parser.GetFieldInt32(20), 0);                                        // missing field
    EXPECT_STREQ(parser.GetField(7), "8");
    EXPECT_STREQ(parser.GetField(6), "7");          // a field before the one looked up last
    EXPECT_EQ(parser.GetFieldInt32(8), 2147483647); // wraps without undefined behaviour
    char small[4];
    EXPECT_EQ(parser.CopyField(small, sizeof small, 2), 4u);
    EXPECT_STREQ(small, "SET"); // cut to the destination, terminated
    EXPECT_EQ(parser.GetFieldLength(1), 3u);
}

TEST(SentenceParser, LongLinesAreCutAtTheBufferLimits) {
    SentenceParser parser;
    const auto states = Feed(parser, std::string(700, 'a') + "\r");
    EXPECT_EQ(states.back(), 4);
    EXPECT_EQ(parser.GetText().size(), 599u);

    // A sentence with more than 255 fields keeps counting them (regression: a one-byte count wrapped).
    std::string many = "$N";
    for (int i = 0; i < 280; ++i)
        many += ",1";
    Feed(parser, many + "\r");
    EXPECT_EQ(parser.GetFieldCount(), 281);
    EXPECT_STREQ(parser.GetField(279), "1");
    EXPECT_EQ(parser.GetFieldLength(280), 1u);

    // Field text beyond the limit is not stored; such fields read as empty, never past the buffer.
    Feed(parser, "$N," + std::string(650, 'b') + ",X\r");
    EXPECT_EQ(parser.GetFieldCount(), 3);
    EXPECT_EQ(parser.GetFieldLength(2), 0u);
    EXPECT_LE(parser.GetFieldLength(1), 598u);
}

TEST(SentenceParser, BadLineCountFollowsNoise) {
    SentenceParser parser;
    Feed(parser, "\n");
    for (int i = 0; i < 5; ++i)
        Feed(parser, "x\x01y\r\n");
    EXPECT_EQ(parser.GetBadLineCount(), 5u);
    Feed(parser, "clean\r\n");
    EXPECT_EQ(parser.GetBadLineCount(), 0u);
    for (int i = 0; i < 5; ++i)
        Feed(parser, "\x02\x03\r\n");
    EXPECT_EQ(parser.GetBadLineCount(), 5u);
    Feed(parser, "$PQVZS,CLR\r\n");
    EXPECT_EQ(parser.GetBadLineCount(), 0u);
}

TEST(SentenceParser, EmptyLinesCompleteNothing) {
    SentenceParser parser;
    for (const int s : Feed(parser, "\r\n\r\n\n\r"))
        EXPECT_EQ(s, 0);
}

TEST(SentenceParser, ParseStringClassifiesText) {
    SentenceParser parser;
    EXPECT_EQ(parser.ParseString("$PQVZK,6"), 3);
    EXPECT_STREQ(parser.GetField(1), "6");
    EXPECT_EQ(parser.ParseString("hello"), 4);
    EXPECT_EQ(parser.ParseString(""), 0);
    EXPECT_EQ(parser.ParseString(nullptr), 0);
}

TEST(SentenceParser, SendStopsAtTheFirstUnprintableByte) {
    testsupport::PseudoTerminal pty;
    testsupport::ScopedComMapping map(57, pty.DevicePath());
    SerialPort port;
    ASSERT_TRUE(port.OpenPort(57, 115200));
    SentenceParser::Send(port, "ABC\xE9"
                               "DEF");
    EXPECT_EQ(pty.Read(500, 3), "ABC");
    SentenceParser::SendLine(port, "ABC\xE9"
                                   "DEF");
    EXPECT_EQ(pty.Read(500, 5), "ABC\r\n");
    SentenceParser::SendLine(port, nullptr);
    EXPECT_EQ(pty.Read(100, 1), "");
    port.ClosePort();
}

} // namespace
