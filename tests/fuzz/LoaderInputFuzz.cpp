// Fuzz entry for the readers of what the card and the loader files send us: the card banner
// (ring and parse) and the loader image text with the record walk over what it yields.
#include "BannerParser.h"
#include "BootRecords.h"
#include "BuiltInImages.h"
#include "LoaderImageFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

std::vector<std::string> FuzzSeeds() {
    // A built-in image both as its text and as the raw record stream it stands for.
    const std::vector<std::uint8_t> image = builtinimages::Load("SSL_ZJ7").bytes;
    std::string text = "// an image\n";
    for (std::size_t i = 0; i < image.size(); ++i) {
        char value[8];
        std::snprintf(value, sizeof value, " 0x%02X,", image[i]);
        text += value;
        if (i % 13 == 12)
            text += '\n';
    }
    return {"",
            "D",
            "\r\nSerialLoad 2.05 USB0 KTR557\r\nEND",
            "SerialLoad 1.0 COM1 U6CD\r\nEND",
            text,
            std::string(image.begin(), image.end())};
}

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
