#include "LoaderImageFile.h"

#include "WholeFile.h"

#include <algorithm>

namespace loaderimage {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::size_t ScanLine(std::string_view line, std::array<std::uint8_t, MaxValuesPerLine> &values) {
    std::size_t pos = 0;
    std::size_t count = 0;
    auto skipBlanks = [&] {
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
    };
    auto match = [&](char c) {
        if (pos < line.size() && line[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    };
    while (count < MaxValuesPerLine) {
        skipBlanks();
        if (!match('0') || !match('x'))
            break;
        skipBlanks();
        int digits = 0;
        unsigned value = 0;
        while (digits < 2 && pos < line.size() && HexValue(line[pos]) >= 0) {
            value = value * 16 + static_cast<unsigned>(HexValue(line[pos]));
            ++pos;
            ++digits;
        }
        if (digits == 0)
            break;
        values[count++] = static_cast<std::uint8_t>(value);
        if (!match(','))
            break;
    }
    return count;
}

void ImageTextReader::AddLine(std::string_view line) {
    if (overflowed)
        return;
    std::array<std::uint8_t, MaxValuesPerLine> values{};
    const std::size_t n = ScanLine(line, values);
    if (n > capacity - bytes.size()) {
        overflowed = true;
        bytes.clear();
        return;
    }
    bytes.insert(bytes.end(), values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n));
}

LoaderImage ImageTextReader::Finish(const std::string &what) {
    LoaderImage image;
    if (overflowed)
        image.problem = what + " holds more than " + std::to_string(capacity) + " bytes and was refused";
    else
        image.bytes = std::move(bytes);
    bytes.clear();
    return image;
}

LoaderImage ParseImageText(std::string_view text, std::size_t capacity, const std::string &what) {
    ImageTextReader reader(capacity);
    while (!text.empty() && !reader.Overflowed()) {
        // Pieces as a line reader of MaxLineLength characters hands them out.
        std::size_t length = std::min(text.size(), MaxLineLength);
        const std::size_t newline = text.substr(0, length).find('\n');
        if (newline != std::string_view::npos)
            length = newline + 1;
        std::string_view piece = text.substr(0, length);
        // Nothing after a NUL byte can scan.
        piece = piece.substr(0, piece.find('\0'));
        reader.AddLine(piece);
        text.remove_prefix(length);
    }
    return reader.Finish(what);
}

LoaderImage ReadImageFile(const std::string &path, std::size_t capacity) {
    // A named pipe would hold the program before its window is up, an endless device would fill
    // its memory: neither is read.
    std::string text;
    LoaderImage image;
    switch (platform::ReadWholeFile(path, text, MaxImageFileBytes)) {
    case platform::ReadOutcome::Read:
        return ParseImageText(text, capacity, "Loader image file " + path);
    case platform::ReadOutcome::OpenFailed:
        image.problem = "Unable to open loader image file " + path;
        break;
    case platform::ReadOutcome::NotRegular:
        image.problem = "Loader image file " + path + " is not a regular file and was refused";
        break;
    case platform::ReadOutcome::TooLarge:
        image.problem = "Loader image file " + path + " is larger than " + std::to_string(MaxImageFileBytes) +
                        " bytes and was refused";
        break;
    case platform::ReadOutcome::ReadFailed:
        // What was read of it must not reach the card.
        image.problem = "Unable to read loader image file " + path;
        break;
    }
    return image;
}

} // namespace loaderimage
