#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The card's "SerialLoad" banner, as the boot ROM and the first-stage loader send it.
namespace banner {

// Collects received bytes while the engine searches for a card. Every byte but 'D' and NUL is
// kept; the ring holds the last 127. A 'D' ends a banner candidate: the bytes kept so far
// become one text, oldest first, to which later bytes are appended. Only while the platform word
// of a banner is being read may a 'D' belong to it instead: when it completes a platform name
// holding a 'D' ("U6C" + 'D') it is kept at once; when it may begin one ("Drusk") it is held
// until the bytes after it either spell the name or show that it ended the banner.
class BannerRing {
public:
    static constexpr std::size_t Size = 128;

    void Clear();
    // Adds one byte; true when it was the 'D' that ends a candidate (then see Text()).
    bool Add(std::uint8_t byte);
    // The text made by the last 'D'; valid until the next Add or Clear.
    std::string_view Text() const { return {ring.data(), textLength}; }

private:
    void Store(char c);
    // The held 'D' was followed by c.
    bool AddAfterHeldD(char c);
    void Flatten();
    // The bytes kept, oldest first.
    std::string Contents() const;

    std::array<char, Size> ring{};
    std::size_t write = 0;
    std::size_t read = 0;
    std::size_t textLength = 0;
    // While a 'D' is held: the platform name it may begin, the part of it that stood before the
    // 'D' and how much of it has arrived since.
    std::string_view heldName;
    std::size_t heldFrom = 0;
    std::size_t heldMatched = 0;
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

// When the text ends while the banner's platform word (the third after the first blank that
// follows "SerialLoad") is being read, or in the blanks just before it: the part read so far.
std::optional<std::string_view> PlatformWordSoFar(std::string_view text);

// Looks for "SerialLoad" and, after the first blank that follows it, three blank-separated
// words: version, COM device and platform. Words longer than their fields are cut.
ParsedBanner ParseBanner(std::string_view text);

} // namespace banner
