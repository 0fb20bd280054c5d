#include "FieldDecoders.h"

namespace FieldDecoders {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigit(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Leading decimal digits from pos, accumulated unsigned so overflow wraps without undefined
// behaviour; pos ends on the first other character.
std::uint32_t Digits(std::string_view field, std::size_t &pos) {
    std::uint32_t value = 0;
    for (; pos < field.size() && IsDigit(field[pos]); ++pos)
        value = value * 10u + static_cast<std::uint32_t>(field[pos] - '0');
    return value;
}

// Optional sign, whole digits, then up to `places` fraction digits after a '.', as a fixed-point
// number in 1/10^places units, wrapped in 32 bits; further fraction digits are ignored (no
// rounding).
std::uint32_t FixedPointBits(std::string_view field, int places) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < field.size() && (field[pos] == '-' || field[pos] == '+'))
        negative = field[pos++] == '-';
    std::uint32_t value = Digits(field, pos);
    int taken = 0;
    if (pos < field.size() && field[pos] == '.') {
        ++pos;
        for (; taken < places && pos < field.size() && IsDigit(field[pos]); ++taken, ++pos)
            value = value * 10u + static_cast<std::uint32_t>(field[pos] - '0');
    }
    for (; taken < places; ++taken)
        value *= 10u;
    return negative ? 0u - value : value;
}

std::int16_t FixedPoint(std::string_view field, int places) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(FixedPointBits(field, places)));
}

} // namespace

std::uint8_t FieldToByte(std::string_view field) {
    std::size_t pos = 0;
    return static_cast<std::uint8_t>(Digits(field, pos));
}

std::int32_t FieldToInt(std::string_view field) {
    std::size_t pos = 0;
    return static_cast<std::int32_t>(Digits(field, pos));
}

std::uint8_t HexToByte(std::string_view field) {
    if (field.size() < 2)
        return 0;
    const int high = HexDigit(field[0]);
    const int low = HexDigit(field[1]);
    return high < 0 || low < 0 ? 0 : static_cast<std::uint8_t>(high * 16 + low);
}

std::uint8_t FieldToDeg2(std::string_view field) {
    if (field.size() < 2 || !IsDigit(field[0]) || !IsDigit(field[1]))
        return 0;
    return static_cast<std::uint8_t>((field[0] - '0') * 10 + (field[1] - '0'));
}

std::uint8_t FieldToDeg3(std::string_view field) {
    if (field.size() < 3 || !IsDigit(field[0]) || !IsDigit(field[1]) || !IsDigit(field[2]))
        return 0;
    return static_cast<std::uint8_t>((field[0] - '0') * 100 + (field[1] - '0') * 10 + (field[2] - '0'));
}

std::int32_t FieldToMicroMinutes(std::string_view field) {
    std::size_t pos = 0;
    // White space as the C locale knows it: blank, tab, and the line and page controls.
    while (pos < field.size() && (field[pos] == ' ' || (field[pos] >= '\t' && field[pos] <= '\r')))
        ++pos;
    std::uint32_t value = Digits(field, pos) * 1000000u;
    if (pos < field.size() && field[pos] == '.') {
        ++pos;
        std::uint32_t scale = 100000;
        for (; scale > 0 && pos < field.size() && IsDigit(field[pos]); ++pos, scale /= 10)
            value += static_cast<std::uint32_t>(field[pos] - '0') * scale;
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t FieldToSignedInt(std::string_view field) {
    return static_cast<std::int32_t>(FixedPointBits(field, 0));
}

std::int16_t FieldToShort(std::string_view field) {
    return FixedPoint(field, 0);
}

std::int16_t FieldToTenths(std::string_view field) {
    return FixedPoint(field, 1);
}

std::int16_t FieldToHundredths(std::string_view field) {
    return FixedPoint(field, 2);
}

} // namespace FieldDecoders
