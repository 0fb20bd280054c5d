#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What the second-stage engine knows about one device behind the link: the values the card's
// replies filled and the values a set-request is about to write.
struct DeviceDetails {
    // Device indexes run 0 to 14; every table indexed by one has room for all of them.
    static constexpr int Count = 15;

    std::string PSN = "0";
    std::string ESN = "0";
    std::string ESNModifier;
    std::string OSN;
    std::string HWVersion;
    std::string SWPlatform;
    std::array<std::string, Count> CardAppVersions;
    std::string HWPlatformType;
    int NumberOfCards = 1;
    // The capabilities block as the card sent it, its own two-byte size (least significant
    // first) included; empty until the first reply.
    std::vector<std::uint8_t> HWCapabilities;
    std::string MACText;
    std::array<std::uint8_t, 12> MACBytes{};
};
