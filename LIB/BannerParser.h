#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The card's "SerialLoad" banner, as the boot ROM and the first-stage loader send it.
namespace banner {

// Collects received bytes while the engine searches for a card. Every byte but 'D' and NUL is
// kept; the ring holds the last 127. A 'D' ends a banner candidate: the bytes kept so far
// become one text, oldest first, to which later bytes are appended. A 'D' that continues the
// word read so far into a platform name holding a 'D' ("U6C" + 'D') is kept as part of it.
class BannerRing {
public:
    static constexpr std::size_t Size = 128;

    void Clear();
    // Adds one byte; true when it was the 'D' that ends a candidate (then see Text()).
    bool Add(std::uint8_t byte);
    // The text made by the last 'D'; valid until the next Add or Clear.
    std::string_view Text() const { return {ring.data(), write}; }

private:
    void Flatten();
    // The bytes since the last blank.
    std::string LastWord() const;

    std::array<char, Size> ring{};
    std::size_t write = 0;
    std::size_t read = 0;
};

// Field widths of the banner words (characters, without the terminator).
inline constexpr std::size_t VersionLength = 127;
inline constexpr std::size_t COMDeviceLength = 31;
inline constexpr std::size_t PlatformLength = 127;

struct BannerFields {
    std::string version;
    std::string comDevice;
    std::string platform;
};

// What a banner candidate holds.
struct ParsedBanner {
    bool hasSerialLoad = false;
    std::string_view fromSerialLoad; // the text from "SerialLoad" on
    std::string_view rest;           // after the first blank that follows "SerialLoad"
    bool complete = false;           // three words were read
    BannerFields fields;             // cut to their widths
};

// Looks for "SerialLoad" and, after the first blank that follows it, three blank-separated
// words: version, COM device and platform. Words longer than their fields are cut.
ParsedBanner ParseBanner(std::string_view text);

} // namespace banner
