#include "LcdState.h"
#include "LcdFont.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string RowText(const LcdState &lcd, int row) {
    const auto codes = lcd.Row(row);
    return std::string(codes.begin(), codes.end());
}

// Instruction bytes go with data false, data bytes with data true.
void Data(LcdState &lcd, const std::string &bytes) {
    for (const char c : bytes)
        lcd.LcdWrite(true, static_cast<std::uint8_t>(c));
}

} // namespace

TEST(LcdState, StartsClearedWithTheCursorOnRowTwo) {
    LcdState lcd;
    EXPECT_EQ(RowText(lcd, 0), std::string(16, ' '));
    EXPECT_EQ(RowText(lcd, 1), std::string(16, ' '));
    EXPECT_FALSE(lcd.CursorOnRow1());
    EXPECT_EQ(lcd.CursorColumn(), 0);
    Data(lcd, "Hi");
    EXPECT_EQ(RowText(lcd, 1).substr(0, 2), "Hi");
}

TEST(LcdState, CursorInstructionsPlaceData) {
    LcdState lcd;
    lcd.LcdWrite(false, 0x80);
    Data(lcd, "AB");
    EXPECT_EQ(lcd.CodeAt(0), 'A');
    EXPECT_EQ(lcd.CodeAt(1), 'B');
    lcd.LcdWrite(false, 0xC5);
    Data(lcd, "X");
    EXPECT_EQ(lcd.CodeAt(16 + 5), 'X');

    // Twenty bytes from column 0: the last five all land in column 15.
    lcd.LcdWrite(false, 0x80);
    Data(lcd, "0123456789abcdefghij");
    EXPECT_EQ(RowText(lcd, 0), "0123456789abcdej");
    EXPECT_EQ(lcd.CursorColumn(), 15);

    lcd.LcdWrite(false, 0x01); // clear: data go to row 2 from column 0
    Data(lcd, "Z");
    EXPECT_EQ(RowText(lcd, 0), std::string(16, ' '));
    EXPECT_EQ(lcd.CodeAt(16), 'Z');

    lcd.LcdWrite(false, 0x20); // other instructions are ignored
    lcd.LcdWrite(false, 0x00);
    EXPECT_TRUE(lcd.IsDataMode());
    EXPECT_EQ(lcd.CursorColumn(), 1);
}

TEST(LcdState, UserGlyphsAreDefinedThenShown) {
    LcdState lcd;
    std::vector<std::pair<int, int>> drawn;
    lcd.SetDrawCell([&](int index, std::uint8_t code) { drawn.emplace_back(index, code); });
    lcd.LcdWrite(false, 0x48); // glyph memory at glyph 1
    EXPECT_FALSE(lcd.IsDataMode());
    EXPECT_EQ(lcd.GlyphAddress(), 8);
    const std::uint8_t rows[8] = {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F, 0x00};
    for (const std::uint8_t r : rows)
        lcd.LcdWrite(true, r);
    EXPECT_TRUE(drawn.empty()); // a glyph change redraws nothing by itself
    lcd.LcdWrite(false, 0x80);
    lcd.LcdWrite(true, 1);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0], std::make_pair(0, 1));
    EXPECT_EQ(lcd.GlyphRows(1)[0], 0x1F);
    EXPECT_EQ(lcd.GlyphRows(1)[6], 0x1F);

    // Glyph memory ends at 64 bytes; more data are dropped.
    lcd.LcdWrite(false, 0x7F);
    lcd.LcdWrite(true, 0x15);
    lcd.LcdWrite(true, 0x0A);
    EXPECT_EQ(lcd.GlyphAddress(), 64);
    EXPECT_EQ(lcd.GlyphRows(7)[7], 0x15);
}

TEST(LcdState, OnlyChangedCellsAreDrawn) {
    LcdState lcd;
    int draws = 0;
    lcd.SetDrawCell([&](int, std::uint8_t) { ++draws; });
    lcd.PutLcdChar(3, 'A');
    lcd.PutLcdChar(3, 'A');
    EXPECT_EQ(draws, 1);
    lcd.ClearLcd();
    EXPECT_EQ(draws, 2); // only the cell that held 'A'
}

TEST(LcdState, PutLcdCharReplacesWhatTheFontCannotShow) {
    LcdState lcd;
    lcd.PutLcdChar(3, 0x0A);
    EXPECT_EQ(lcd.CodeAt(3), '~');
    lcd.PutLcdChar(3, 0xB0);
    EXPECT_EQ(lcd.CodeAt(3), 0xB0);
    lcd.PutLcdChar(3, 0xE9);
    EXPECT_EQ(lcd.CodeAt(3), '~');
    lcd.PutLcdChar(4, 5); // a user glyph passes
    EXPECT_EQ(lcd.CodeAt(4), 5);
    lcd.PutLcdChar(20, 'B');
    EXPECT_EQ(lcd.CodeAt(20), 'B');
    const auto before0 = lcd.Row(0);
    const auto before1 = lcd.Row(1);
    lcd.PutLcdChar(40, 'A');
    lcd.PutLcdChar(32, 'A');
    EXPECT_EQ(lcd.Row(0), before0);
    EXPECT_EQ(lcd.Row(1), before1);
    EXPECT_EQ(lcd.CursorColumn(), 0); // the cursor does not move
}

TEST(LcdFont, ShapesWhereTheyShouldBe) {
    auto blank = [](const std::uint8_t *g) {
        for (int i = 0; i < 8; ++i)
            if (g[i] != 0)
                return false;
        return true;
    };
    EXPECT_EQ(LcdFont::Glyph(31), nullptr);
    EXPECT_TRUE(blank(LcdFont::Glyph(' ')));
    for (int code = 0x21; code <= 0x7F; ++code) {
        const std::uint8_t *g = LcdFont::Glyph(static_cast<std::uint8_t>(code));
        EXPECT_FALSE(blank(g)) << code;
        EXPECT_EQ(g[7], 0) << code; // the bottom row stays empty
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(g[i] & ~0x1F, 0) << code;
    }
    // The degree sign sits in the top left corner.
    const std::uint8_t *degree = LcdFont::Glyph(0xB0);
    EXPECT_EQ(degree[0], 0x1C);
    EXPECT_EQ(degree[4], 0);
    EXPECT_EQ(std::vector<std::uint8_t>(degree, degree + 8),
              std::vector<std::uint8_t>(LcdFont::Glyph(0xDF), LcdFont::Glyph(0xDF) + 8));
    EXPECT_TRUE(blank(LcdFont::Glyph(0xE9)));
    EXPECT_TRUE(blank(LcdFont::Glyph(0xFF)));
}
