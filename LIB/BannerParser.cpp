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

// Whether a platform name holding a 'D' begins with the word read so far followed by a 'D',
// so that this 'D' belongs to the name rather than ending the banner.
bool NameGoesOnWithD(std::string_view word) {
    for (std::string_view name : {"U6CD", "Drusk", "KTRPOND", "Q8BXNDURK"})
        if (name.size() > word.size() && name.substr(0, word.size()) == word && name[word.size()] == 'D')
            return true;
    return false;
}

} // namespace

void BannerRing::Clear() {
    ring.fill(0);
    write = 0;
    read = 0;
}

bool BannerRing::Add(std::uint8_t byte) {
    if (byte == 'D' && !NameGoesOnWithD(LastWord())) {
        Flatten();
        return true;
    }
    if (byte == 0)
        return false;
    ring[write] = static_cast<char>(byte);
    write = (write + 1) % Size;
    if (write == read)
        read = (read + 1) % Size;
    return false;
}

std::string BannerRing::LastWord() const {
    std::string word;
    for (std::size_t i = write; i != read;) {
        i = (i + Size - 1) % Size;
        if (IsBlank(ring[i]))
            break;
        word += ring[i];
    }
    return {word.rbegin(), word.rend()};
}

void BannerRing::Flatten() {
    std::array<char, Size> text{};
    std::size_t length = 0;
    for (std::size_t i = read; i != write; i = (i + 1) % Size)
        text[length++] = ring[i];
    ring = text; // zero-terminated: at most Size - 1 bytes are ever kept
    write = length;
    read = 0;
}

ParsedBanner ParseBanner(std::string_view text) {
    ParsedBanner parsed;
    const std::size_t marker = text.find("SerialLoad");
    if (marker == std::string_view::npos)
        return parsed;
    parsed.hasSerialLoad = true;
    parsed.fromSerialLoad = text.substr(marker);
    const std::size_t blank = text.find(' ', marker);
    if (blank == std::string_view::npos)
        return parsed;
    parsed.rest = text.substr(blank + 1);
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
