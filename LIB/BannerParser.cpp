#include "BannerParser.h"

namespace banner {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One word as "%s" reads it: blanks skipped, then everything up to the next blank.
std::string_view NextWord(std::string_view &text) {
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    std::size_t end = start;
    while (end < text.size() && !IsBlank(text[end]))
        ++end;
    const std::string_view word = text.substr(start, end - start);
    text.remove_prefix(end);
    return word;
}

// Platform names that hold a 'D', which would otherwise end the banner inside the name.
constexpr std::string_view namesHoldingD[] = {"U6CD", "Drusk", "KTRPOND"};

// The words of a banner: what follows the first blank after "SerialLoad".
std::optional<std::string_view> BannerWords(std::string_view text) {
    const std::size_t marker = text.find("SerialLoad");
    if (marker == std::string_view::npos)
        return std::nullopt;
    const std::size_t blank = text.find(' ', marker);
    if (blank == std::string_view::npos)
        return std::nullopt;
    return text.substr(blank + 1);
}

} // namespace

void BannerRing::Clear() {
    ring.fill(0);
    write = 0;
    read = 0;
    textLength = 0;
    heldName = {};
}

bool BannerRing::Add(std::uint8_t byte) {
    if (byte == 0)
        return false;
    const char c = static_cast<char>(byte);
    if (!heldName.empty())
        return AddAfterHeldD(c);
    if (c != 'D') {
        Store(c);
        return false;
    }
    const std::string kept = Contents();
    if (const std::optional<std::string_view> word = PlatformWordSoFar(kept)) {
        for (std::string_view name : namesHoldingD) {
            if (name.size() <= word->size() || !name.starts_with(*word) || name[word->size()] != 'D')
                continue;
            if (name.size() == word->size() + 1) {
                Store(c);
            } else {
                heldName = name;
                heldFrom = word->size();
                heldMatched = 1;
            }
            return false;
        }
    }
    Flatten();
    return true;
}

bool BannerRing::AddAfterHeldD(char c) {
    const std::size_t next = heldFrom + heldMatched;
    if (heldName[next] == c) {
        if (++heldMatched == heldName.size() - heldFrom) {
            for (char n : heldName.substr(heldFrom))
                Store(n);
            heldName = {};
        }
        return false;
    }
    // The held 'D' ended the banner after all; what followed it comes after that text.
    const std::string_view after = heldName.substr(heldFrom + 1, heldMatched - 1);
    heldName = {};
    Flatten();
    for (char n : after)
        Add(static_cast<std::uint8_t>(n));
    Add(static_cast<std::uint8_t>(c)); // a later candidate, if this makes one, replaces the text
    return true;
}

void BannerRing::Store(char c) {
    ring[write] = c;
    write = (write + 1) % Size;
    if (write == read)
        read = (read + 1) % Size;
}

std::string BannerRing::Contents() const {
    std::string text;
    for (std::size_t i = read; i != write; i = (i + 1) % Size)
        text += ring[i];
    return text;
}

void BannerRing::Flatten() {
    std::array<char, Size> text{};
    std::size_t length = 0;
    for (std::size_t i = read; i != write; i = (i + 1) % Size)
        text[length++] = ring[i];
    ring = text; // zero-terminated: at most Size - 1 bytes are ever kept
    write = length;
    read = 0;
    textLength = length;
}

std::optional<std::string_view> PlatformWordSoFar(std::string_view text) {
    const std::optional<std::string_view> words = BannerWords(text);
    if (!words)
        return std::nullopt;
    std::string_view rest = *words;
    for (int index = 0; index < 3; ++index) {
        std::size_t start = 0;
        while (start < rest.size() && IsBlank(rest[start]))
            ++start;
        // Between words: only the blanks after the second word lead up to the platform word.
        if (start == rest.size())
            return index == 2 ? std::optional<std::string_view>(rest.substr(start)) : std::nullopt;
        std::size_t end = start;
        while (end < rest.size() && !IsBlank(rest[end]))
            ++end;
        if (end == rest.size())
            return index == 2 ? std::optional<std::string_view>(rest.substr(start)) : std::nullopt;
        rest.remove_prefix(end);
    }
    return std::nullopt;
}

ParsedBanner ParseBanner(std::string_view text) {
    ParsedBanner parsed;
    const std::size_t marker = text.find("SerialLoad");
    if (marker == std::string_view::npos)
        return parsed;
    parsed.hasSerialLoad = true;
    parsed.fromSerialLoad = text.substr(marker);
    const std::optional<std::string_view> rest = BannerWords(text);
    if (!rest)
        return parsed;
    parsed.rest = *rest;
    std::string_view words = parsed.rest;
    const std::string_view version = NextWord(words);
    const std::string_view comDevice = NextWord(words);
    const std::string_view platform = NextWord(words);
    if (platform.empty())
        return parsed;
    parsed.complete = true;
    parsed.fields.version = std::string(version.substr(0, VersionLength));
    parsed.fields.comDevice = std::string(comDevice.substr(0, COMDeviceLength));
    parsed.fields.platform = std::string(platform.substr(0, PlatformLength));
    return parsed;
}

} // namespace banner
