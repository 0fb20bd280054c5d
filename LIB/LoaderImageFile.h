#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The text form of a loader image: lines of up to 13 byte values, each "0x" and one or two hex
// digits, separated by commas, as in " 0x16, 0x55, 0xAA, 0x02,". The values of all lines,
// in order, are the image's record stream. Lines that hold no value (comments, blank lines)
// add nothing.
namespace loaderimage {

inline constexpr std::size_t MaxValuesPerLine = 13;
// Longer lines are read in pieces of this many characters, each scanned on its own.
inline constexpr std::size_t MaxLineLength = 255;

// A loader image and, when it cannot be used, why.
struct LoaderImage {
    std::vector<std::uint8_t> bytes;
    std::string problem;
};

// The values one line converts, left to right until the first that does not scan; returns
// how many went into values.
std::size_t ScanLine(std::string_view line, std::array<std::uint8_t, MaxValuesPerLine> &values);

// Collects the values of successive lines into an image of at most capacity bytes. An image
// that would grow past its capacity is refused whole rather than cut short.
class ImageTextReader {
public:
    explicit ImageTextReader(std::size_t capacity) : capacity(capacity) {}
    void AddLine(std::string_view line);
    bool Overflowed() const { return overflowed; }
    // The image, or a problem naming what (e.g. "Loader image file x.txt") when it overflowed.
    LoaderImage Finish(const std::string &what);

private:
    std::size_t capacity;
    bool overflowed = false;
    std::vector<std::uint8_t> bytes;
};

// Reads an image from text held in memory (a built-in image).
LoaderImage ParseImageText(std::string_view text, std::size_t capacity, const std::string &what);

// Loader image files are a few hundred KB of text; no real one comes near this.
inline constexpr std::size_t MaxImageFileBytes = 64u << 20;

// Reads an external loader image file, once and whole; only a regular file of at most
// MaxImageFileBytes is read. A file that cannot be used gives an empty image and the problem.
LoaderImage ReadImageFile(const std::string &path, std::size_t capacity);

} // namespace loaderimage
