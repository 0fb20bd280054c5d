#include "LcdState.h"

#include "LcdFont.h"

LcdState::LcdState() {
    for (auto &shadow : shadows)
        shadow.fill(255); // the first refresh draws every cell
    ClearLcd();
}

std::uint8_t LcdState::CodeAt(int position) const {
    if (position < 0 || position >= kCells)
        return 0;
    return rows[position / kColumns][position % kColumns];
}

const std::uint8_t *LcdState::GlyphRows(std::uint8_t code) const {
    if (code < 8)
        return glyphMemory.data() + code * 8;
    return LcdFont::Glyph(code);
}

void LcdState::ClearLcd() {
    for (auto &row : rows)
        row.fill(' ');
    RefreshRow(0);
    RefreshRow(1);
    // The controller leaves the cursor on the second row after a clear.
    row1Flag = false;
    cursorColumn = 0;
}

void LcdState::RefreshRow(int row) {
    for (int column = 0; column < kColumns; ++column) {
        const std::uint8_t code = rows[row][column];
        if (code == shadows[row][column])
            continue;
        shadows[row][column] = code;
        if (drawCell)
            drawCell(row * kColumns + column, code);
    }
}

void LcdState::LcdWrite(bool data, std::uint8_t b) {
    if (!data) {
        if (b == 0x01) {
            ClearLcd();
        } else if ((b & 0xC0) == 0x40) {
            dataMode = false;
            glyphAddress = b & 0x3F;
        } else if (b & 0x80) {
            dataMode = true;
            cursorColumn = b & 0x0F;
            row1Flag = (b & 0x40) == 0;
        }
        return;
    }
    if (dataMode) {
        if (cursorColumn < kColumns) {
            const int row = row1Flag ? 0 : 1;
            rows[row][cursorColumn] = b;
            RefreshRow(row);
            // The column then stays at 15, so further data overwrite the last cell.
            if (cursorColumn < kColumns - 1)
                ++cursorColumn;
        }
    } else if (glyphAddress < kGlyphMemory) {
        // A new glyph shows in a cell only when that cell's code next changes.
        glyphMemory[glyphAddress++] = b;
    }
}

void LcdState::PutLcdChar(int position, std::uint8_t code) {
    if (position < 0 || position >= kCells)
        return;
    if (code >= 8 && !(code >= 0x20 && code <= 0x7E) && code != 0xB0)
        code = '~';
    const int row = position / kColumns;
    rows[row][position % kColumns] = code;
    RefreshRow(row);
}
