#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Boot records: the download format spoken by a card's boot ROM and its first-stage loader.
// A record is a 16-byte header (multi-byte fields big-endian) and its data; the card answers
// each record it accepts with 'Y'. A loader image is a stream of records laid end to end, data
// records first and a closing record of data length 0 last.
namespace bootrecords {

inline constexpr std::size_t HeaderSize = 16;
inline constexpr std::size_t BaudChangeSize = HeaderSize + 4;

inline constexpr std::uint8_t Stage0WakeByte = 0x17;
inline constexpr std::uint8_t FirstStageWakeByte = 0x16;
inline constexpr std::uint8_t Acknowledge = 'Y';

// Header fields.
inline constexpr std::size_t SequenceOffset = 4;
inline constexpr std::size_t TypeOffset = 5;
inline constexpr std::size_t LengthOffset = 6;
inline constexpr std::size_t ChecksumOffset = 8;
inline constexpr std::size_t AddressOffset = 12;
inline constexpr std::size_t DeviceIdOffset = 15;

enum RecordType : std::uint8_t {
    DataRecord = 1,
    EntryRecord = 2,
    BaudChangeRecord = 4,
    NextDeviceRecord = 5
};

using Header = std::array<std::uint8_t, HeaderSize>;
using BaudChange = std::array<std::uint8_t, BaudChangeSize>;

// The fixed templates, before the sender fills in device ID, baud rate and checksum.
inline constexpr Header FirstStageBaudChangeTemplate{0x16, 0x55, 0xAA, 0x02, 0x00, 0x04, 0x00, 0x04,
                                                     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline constexpr Header FirstStageStartRecord{0x16, 0x55, 0xAA, 0x02, 0x01, 0x02, 0x00, 0x00,
                                              0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline constexpr Header FirstStageNextDeviceTemplate{0x16, 0x55, 0xAA, 0x02, 0x00, 0x05, 0x00, 0x00,
                                                     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline constexpr Header Stage0BaudChangeTemplate{0x17, 0x55, 0xAA, 0x02, 0x00, 0x04, 0x00, 0x04,
                                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline constexpr Header Stage0StartRecord{0x17, 0x55, 0xAA, 0x02, 0x01, 0x02, 0x00, 0x00,
                                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline constexpr Header Stage0NextDeviceTemplate{0x17, 0x55, 0xAA, 0x02, 0x00, 0x05, 0x00, 0x00,
                                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

// The templates of one stage.
struct RecordTemplates {
    const Header &baudChange;
    const Header &startRecord;
    const Header &nextDevice;
};
inline constexpr RecordTemplates FirstStageTemplates{FirstStageBaudChangeTemplate, FirstStageStartRecord,
                                                     FirstStageNextDeviceTemplate};
inline constexpr RecordTemplates Stage0Templates{Stage0BaudChangeTemplate, Stage0StartRecord,
                                                 Stage0NextDeviceTemplate};

// The 32-bit sum of the bytes from the address field to the end of the record; the header
// bytes 0-11 never count. A record shorter than its header sums what it has.
std::uint32_t Checksum(std::span<const std::uint8_t> record);

// A baud-change record: the template with the device ID, the rate and the checksum filled in.
BaudChange MakeBaudChange(const Header &templ, std::uint8_t deviceId, std::uint32_t baud);

// A NEXT DEVICE record for the given device.
Header MakeNextDevice(const Header &templ, std::uint8_t deviceId);

// The data length a record's header announces.
std::uint16_t DataLength(std::span<const std::uint8_t> record);

// The whole record that starts at offset, or an empty span when its header or its data would
// run past the end of the image.
std::span<const std::uint8_t> RecordAt(std::span<const std::uint8_t> image, std::size_t offset);

// Walks a loader image the way a download will: empty when every record up to and including
// the first one of data length 0 lies inside the image, else what is wrong with it.
std::string CheckImage(std::span<const std::uint8_t> image);

} // namespace bootrecords
