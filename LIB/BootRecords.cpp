#include "BootRecords.h"

#include <algorithm>

namespace bootrecords {
namespace {

void PutBigEndian(std::uint8_t *at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

} // namespace

std::uint32_t Checksum(std::span<const std::uint8_t> record) {
    std::uint32_t sum = 0;
    for (std::size_t i = AddressOffset; i < record.size(); ++i)
        sum += record[i];
    return sum;
}

BaudChange MakeBaudChange(const Header &templ, std::uint8_t deviceId, std::uint32_t baud) {
    BaudChange record{};
    std::copy(templ.begin(), templ.end(), record.begin());
    record[DeviceIdOffset] = deviceId;
    PutBigEndian(record.data() + HeaderSize, baud);
    PutBigEndian(record.data() + ChecksumOffset, Checksum(record));
    return record;
}

Header MakeNextDevice(const Header &templ, std::uint8_t deviceId) {
    Header record = templ;
    record[DeviceIdOffset] = deviceId;
    PutBigEndian(record.data() + ChecksumOffset, Checksum(record));
    return record;
}

std::uint16_t DataLength(std::span<const std::uint8_t> record) {
    if (record.size() < HeaderSize)
        return 0;
    return static_cast<std::uint16_t>(record[LengthOffset] << 8 | record[LengthOffset + 1]);
}

std::span<const std::uint8_t> RecordAt(std::span<const std::uint8_t> image, std::size_t offset) {
    if (offset > image.size() || image.size() - offset < HeaderSize)
        return {};
    const std::size_t size = HeaderSize + DataLength(image.subspan(offset, HeaderSize));
    if (image.size() - offset < size)
        return {};
    return image.subspan(offset, size);
}

std::string CheckImage(std::span<const std::uint8_t> image) {
    if (image.empty())
        return "The loader image is empty";
    std::size_t offset = 0;
    for (;;) {
        const std::span<const std::uint8_t> record = RecordAt(image, offset);
        if (record.empty()) {
            if (offset == image.size())
                return "The loader image has no closing record";
            return "The loader image record at byte " + std::to_string(offset) +
                   " runs past the end of the image";
        }
        if (DataLength(record) == 0)
            return {};
        offset += record.size();
    }
}

} // namespace bootrecords
