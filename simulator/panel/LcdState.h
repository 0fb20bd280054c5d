#pragma once
#include <array>
#include <cstdint>
#include <functional>

// The device's two-line, 16-character display controller as the simulator emulates it:
// instruction bytes (clear, user-glyph address, cursor) and data bytes (characters at the
// cursor or rows of the eight 5 x 8 user glyphs). Drawing is left to the owner, which is told
// which cells changed.
class LcdState {
public:
    static constexpr int kColumns = 16;
    static constexpr int kCells = 32;
    static constexpr int kGlyphMemory = 64;

    // Draws one cell; called only for cells whose code changed since they were last drawn.
    using DrawCell = std::function<void(int index, std::uint8_t code)>;

    LcdState();

    void SetDrawCell(DrawCell draw) { drawCell = std::move(draw); }

    void LcdWrite(bool data, std::uint8_t byte);
    void PutLcdChar(int position, std::uint8_t code);
    void ClearLcd();
    void RefreshLcdRow1() { RefreshRow(0); }
    void RefreshLcdRow2() { RefreshRow(1); }

    // Code shown at a position 0..31 (0..15 row 1, 16..31 row 2).
    std::uint8_t CodeAt(int position) const;
    // The 8 dot rows for a code: glyph memory for 0..7, the font from 32, nullptr for 8..31.
    const std::uint8_t *GlyphRows(std::uint8_t code) const;
    bool CursorOnRow1() const { return row1Flag; }
    int CursorColumn() const { return cursorColumn; }
    bool IsDataMode() const { return dataMode; }
    int GlyphAddress() const { return glyphAddress; }
    // The rows as text, for tests and diagnostics.
    std::array<std::uint8_t, kColumns> Row(int row) const { return rows[row]; }

private:
    void RefreshRow(int row);

    bool row1Flag = false;
    std::uint8_t cursorColumn = 0;
    std::array<std::array<std::uint8_t, kColumns>, 2> rows{};
    std::array<std::array<std::uint8_t, kColumns>, 2> shadows{};
    std::uint8_t glyphAddress = 0;
    bool dataMode = true;
    std::array<std::uint8_t, kGlyphMemory> glyphMemory{};
    DrawCell drawCell;
};
