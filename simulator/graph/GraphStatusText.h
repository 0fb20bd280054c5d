#pragma once
#include "DeviceIdentity.h"
#include "GraphSample.h"

#include <array>
#include <cstdint>
#include <string>

// The texts of the graph's status panel, in Latin-1 (the degree sign is 0xB0). Each value is
// split into sign, whole part and fraction so negative values print as a technician reads them.
namespace GraphStatusText {

std::string Date(const GraphSample &sample);
std::string Time(const GraphSample &sample);
// 'S' or 'W' when the degrees or the minutes are negative; both printed as magnitudes.
std::string Latitude(std::int16_t degrees, std::int32_t microMinutes);
std::string Longitude(std::int16_t degrees, std::int32_t microMinutes);
std::string Satellites(const GraphSample &sample);
std::string DgpsMode(const GraphSample &sample);
std::string Identity(const DeviceIdentity &device);
std::string Version(const DeviceIdentity &device);
std::string SerialNumber(const DeviceIdentity &device);

// The value of trace 0..5 in its own format.
std::string TraceValue(int trace, const GraphSample &sample);
// "LIN ", "LOG " or "off".
const char *TraceMode(bool on, bool log);

struct Banner {
    const char *text;
    std::uint32_t colour; // 0x00BBGGRR behind the text
};
// The steering mode's banner; text nullptr for an unknown mode.
Banner ModeBanner(std::uint8_t mode);

// One row of the controller's parameters: a label and a value on each side, empty where a row
// has none.
struct ParameterRow {
    std::string leftLabel, leftValue, rightLabel, rightValue;
};
std::array<ParameterRow, 12> Parameters(const GraphSample &sample);

} // namespace GraphStatusText
