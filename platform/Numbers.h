#pragma once

#include <optional>
#include <string_view>

namespace platform {

// A plain decimal as a person types it: blanks around it, an optional sign, then digits and
// nothing else, read wide. Anything else (a fraction, an exponent, trailing text) and a number
// outside [min, max] give nothing, never a wrapped or cut value.
std::optional<long long> ParseNumber(std::string_view text, long long min, long long max);

} // namespace platform
