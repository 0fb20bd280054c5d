// Fuzz entry for the readers of what the card and the loader files send us: the card banner
// (ring and parse) and the loader image text with the record walk over what it yields.
#include "BannerParser.h"
#include "BootRecords.h"
#include "LoaderImageFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    banner::BannerRing ring;
    for (std::size_t i = 0; i < size; ++i) {
        if (!ring.Add(data[i]))
            continue;
        const std::string_view text = ring.Text();
        if (text.size() >= banner::BannerRing::Size)
            std::abort();
        const banner::ParsedBanner parsed = banner::ParseBanner(text);
        if (parsed.fields.version.size() > banner::VersionLength ||
            parsed.fields.comDevice.size() > banner::COMDeviceLength ||
            parsed.fields.platform.size() > banner::PlatformLength)
            std::abort();
    }

    // A small capacity so that refusing an overlong image is exercised too.
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const loaderimage::LoaderImage image = loaderimage::ParseImageText(text, 512, "fuzz");
    if (image.bytes.size() > 512 || (!image.problem.empty() && !image.bytes.empty()))
        std::abort();
    // The same walk as a download: every record it yields lies inside the image.
    const std::span<const std::uint8_t> bytes(data, size);
    for (const std::span<const std::uint8_t> candidate :
         {std::span<const std::uint8_t>(image.bytes), bytes}) {
        const bool good = bootrecords::CheckImage(candidate).empty();
        std::size_t offset = 0;
        for (;;) {
            const std::span<const std::uint8_t> record = bootrecords::RecordAt(candidate, offset);
            if (record.empty())
                break;
            if (record.data() < candidate.data() ||
                record.data() + record.size() > candidate.data() + candidate.size())
                std::abort();
            offset += record.size();
            if (bootrecords::DataLength(record) == 0)
                break;
        }
        if (good && offset == 0)
            std::abort();
    }
    return 0;
}
