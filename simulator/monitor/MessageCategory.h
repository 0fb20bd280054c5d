#pragma once
#include <array>
#include <cstdint>

// The class of a monitored line: it picks the line's colour, the monitor filter that shows it and
// the log filter that writes it.
enum class MessageCategory : std::uint8_t {
    Outgoing = 0,
    OutgoingPanel = 1, // a sent key line or display-on request
    Rfp = 2,
    Dgps = 3,
    LightBar = 4,
    Holvanek = 5,
    OtherSentence = 6,
    NonNmea = 7,
    Unclassified = 8, // never shown, never logged
};

// Colours are kept as the stored 0x00BBGGRR values (blue in the high byte).
struct MessageCategoryLook {
    std::uint32_t color;
    const char *legend;
};

inline constexpr std::array<MessageCategoryLook, 9> kMessageCategoryLooks{{
    {0x800080, "Out-Going Messages"},
    {0x008080, "Out RFP Messages"},
    {0xFF0000, "RFP Messages"},
    {0x000000, "DGPS Messages"},
    {0x000080, "Light Bar Messages"},
    {0x800000, "Holvanek Messages"},
    {0x808080, "Other Messages"},
    {0x008000, "Non-NMEA Messages"},
    {0x0000FF, ""},
}};

inline const MessageCategoryLook &LookOf(MessageCategory category) {
    return kMessageCategoryLooks[static_cast<std::size_t>(category) < kMessageCategoryLooks.size()
                                     ? static_cast<std::size_t>(category)
                                     : static_cast<std::size_t>(MessageCategory::Unclassified)];
}
