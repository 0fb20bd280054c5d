#pragma once
#include <cstdint>

// The display controller's built-in character set for codes 32 to 255.
class LcdFont {
public:
    // The 8 row bytes of a built-in glyph, or nullptr for codes below 32 (the user glyphs).
    static const std::uint8_t *Glyph(std::uint8_t code);
};
