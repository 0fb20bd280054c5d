#include "BannerParser.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

using banner::BannerRing;
using banner::ParseBanner;

namespace {

// Feeds bytes; returns the text of the last candidate a 'D' ended ("" when none did).
std::string Feed(BannerRing &ring, const std::string &bytes) {
    std::string last;
    for (char c : bytes)
        if (ring.Add(static_cast<std::uint8_t>(c)))
            last = std::string(ring.Text());
    return last;
}

} // namespace

TEST(BannerRing, PiecesMakeTheSameTextAsOne) {
    BannerRing whole, pieces;
    const std::string text = Feed(whole, "xxSerialLoad 2.1 USB0 ZJ7\r\nEND");
    Feed(pieces, "xxSerial");
    Feed(pieces, "Load 2.1 U");
    EXPECT_EQ(Feed(pieces, "SB0 ZJ7\r\nEND"), text);
}

TEST(BannerRing, TextStaysAndLaterBytesAreAppended) {
    BannerRing ring;
    EXPECT_EQ(Feed(ring, "abcD"), "abc");
    EXPECT_EQ(Feed(ring, "efD"), "abcef");
}

TEST(BannerRing, NulBytesAreDroppedAndOnlyTheLast127Kept) {
    BannerRing ring;
    EXPECT_EQ(Feed(ring, std::string("a\0b\0cD", 6)), "abc");
    ring.Clear();
    std::string many;
    for (int i = 0; i < 200; ++i)
        many += static_cast<char>('a' + i % 26);
    const std::string text = Feed(ring, many + "D");
    EXPECT_EQ(text.size(), 127u);
    EXPECT_EQ(text, many.substr(200 - 127));
    // And still 127 after the flattened text wraps once more.
    EXPECT_EQ(Feed(ring, many + "D"), many.substr(200 - 127));
}

TEST(BannerRing, PlatformNamesHoldingADAreReadWhole) {
    // A 'D' that the name goes on with belongs to it; the 'D' that ends the banner after it, right
    // after the name, after a blank or a line break, or in "END", ends it.
    const char *platforms[] = {"U6CD", "Drusk", "KTRPOND", "KTR557", "ZJ7", "GARVO9"};
    for (const std::string &lead : {std::string("\r\n"), std::string(200, 'x')})
        for (const char *platform : platforms)
            for (const char *ending : {"\r\nEN", "", " ", "\r\n"}) {
                BannerRing ring;
                const std::string banner = lead + "SerialLoad 3.10 COM1 " + platform + ending;
                const std::string text = Feed(ring, banner + "D");
                EXPECT_EQ(text, banner.substr(banner.size() - std::min<std::size_t>(banner.size(), 127)));
                EXPECT_EQ(ParseBanner(text).fields.platform, platform);
            }
    // A 'D' that no such name goes on with still ends the text at once.
    BannerRing ring;
    EXPECT_EQ(Feed(ring, "SerialLoad 1 COM1 U6CXD"), "SerialLoad 1 COM1 U6CX");
    ring.Clear();
    EXPECT_EQ(Feed(ring, "SerialLoad 1 COM1 KTRPONDD"), "SerialLoad 1 COM1 KTRPOND")
        << "a 'D' after the whole name ends it";
    ring.Clear();
    EXPECT_EQ(Feed(ring, "SerialLoad 1 COM1 Q8BXND"), "SerialLoad 1 COM1 Q8BXN")
        << "no platform goes on from Q8BXN";
    ring.Clear();
    EXPECT_EQ(Feed(ring, "SerialLoad 1 COM1 Dr\r\n"), "SerialLoad 1 COM1 ")
        << "a held 'D' that no name goes on from ends the banner";
}

TEST(BannerParse, FieldsAfterTheBlankThatFollowsSerialLoad) {
    const banner::ParsedBanner b = ParseBanner("\r\nnoise SerialLoad 1.02 COM1 KTR557\r\nEN");
    EXPECT_TRUE(b.hasSerialLoad);
    EXPECT_TRUE(b.complete);
    EXPECT_EQ(b.fromSerialLoad, "SerialLoad 1.02 COM1 KTR557\r\nEN");
    EXPECT_EQ(b.rest, "1.02 COM1 KTR557\r\nEN");
    EXPECT_EQ(b.fields.version, "1.02");
    EXPECT_EQ(b.fields.comDevice, "COM1");
    EXPECT_EQ(b.fields.platform, "KTR557");
    EXPECT_EQ(ParseBanner("SerialLoad 1 " + std::string(40, 'U') + " ZJ7").fields.comDevice,
              std::string(31, 'U'))
        << "a word longer than its field is cut";
}

TEST(BannerParse, BadBanners) {
    struct Case {
        const char *text;
        bool hasSerialLoad;
        bool complete;
    };
    const Case cases[] = {
        {"plain text from the card", false, false},
        {"serialload 1 COM1 ZJ7", false, false},
        {"SerialLoad", true, false},
        {"SerialLoad 1.0 COM1", true, false},
        {"SerialLoad\t1.0 COM1 ZJ7", true, false}, // the blank must be a space
        {"SerialLoad\t1.0 COM1 ZJ7 X", true, true},
    };
    for (const Case &c : cases) {
        const banner::ParsedBanner b = ParseBanner(c.text);
        EXPECT_EQ(b.hasSerialLoad, c.hasSerialLoad) << c.text;
        EXPECT_EQ(b.complete, c.complete) << c.text;
        if (!c.complete) {
            EXPECT_TRUE(b.fields.platform.empty()) << c.text;
        }
    }
}
