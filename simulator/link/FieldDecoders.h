#pragma once
#include <cstdint>
#include <string_view>

// Decoders for the text fields of received sentences. Each reads only inside the field it is
// given; a missing or short field decodes as 0. Integer results wrap in their width.
namespace FieldDecoders {

std::uint8_t FieldToByte(std::string_view field);
std::int32_t FieldToInt(std::string_view field);
// An optional '-' or '+' and the decimal digits after it; anything further is ignored.
std::int32_t FieldToSignedInt(std::string_view field);
std::uint8_t HexToByte(std::string_view field);
std::uint8_t FieldToDeg2(std::string_view field);
std::uint8_t FieldToDeg3(std::string_view field);
std::int32_t FieldToMicroMinutes(std::string_view field);
std::int16_t FieldToShort(std::string_view field);
std::int16_t FieldToTenths(std::string_view field);
std::int16_t FieldToHundredths(std::string_view field);

} // namespace FieldDecoders
