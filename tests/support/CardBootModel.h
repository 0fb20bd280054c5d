#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

// A receiver card's boot chain as the program sees it over the serial line: optionally a boot
// ROM (stage 0) that takes a first-stage loader, then the first-stage loader that takes the
// second-stage loader. Fed with the bytes the program sends, it returns the bytes the card
// answers: a "SerialLoad" banner for a wake byte, 'Y' for a baud change and for every image
// record, and for NEXT DEVICE it passes the line on to the next card behind it. It keeps each
// received image byte for byte. A pseudo-terminal carries no breaks or rate changes, so the
// card wakes on the wake bytes that follow them. Once the second-stage image is in, later
// bytes go to a hand-over handler (a second-stage loader's model). Safe to feed from a peer's
// thread while a test reads it.
class CardBootModel {
public:
    // One card behind the link.
    struct Card {
        std::string platform = "KTR557";
        std::string comDevice = "COM1";
        std::string version = "2.05";
        // What follows the platform; its 'D' closes the banner for the program.
        std::string bannerEnding = "\r\nEND";
    };
    enum class Behaviour {
        Normal,
        Silent,          // never answers
        NoBaudChangeAck, // takes the baud change without 'Y'
        NoRecordAck,     // stops acknowledging after recordsAcknowledged image records
    };
    struct Config {
        std::vector<Card> cards{Card{}};
        // A boot ROM comes first: it answers wake byte 0x17 with this platform and takes the
        // first-stage loader before the first-stage loader answers 0x16.
        bool startsInBootROM = false;
        std::string bootROMPlatform = "GARVO9";
        std::string bootROMBannerEnding = "\r\nEND";
        Behaviour behaviour = Behaviour::Normal;
        int recordsAcknowledged = 0;
    };
    using Handler = std::function<std::string(const std::string &received)>;

    explicit CardBootModel(Config config);

    std::string Feed(const std::string &bytes);
    // Where bytes go once the second-stage image is in.
    void SetHandOver(Handler next);

    enum class Phase { BootROM, FirstStage, SecondStage };
    Phase GetPhase() const;
    bool Done() const { return GetPhase() == Phase::SecondStage; }
    // The records received by the boot ROM and by the first-stage loader, byte for byte.
    std::string FirstStageImage() const;
    std::string SecondStageImage() const;
    std::vector<std::uint32_t> BaudChanges() const;
    // Device ID of each baud change and each NEXT DEVICE, in order.
    std::vector<int> BaudChangeDevices() const;
    std::vector<int> NextDevices() const;
    int Banners() const;
    int CurrentCard() const;
    // Bytes that arrived after the hand-over while no handler was set.
    std::string AfterHandOver() const;

    // The banner a card sends.
    static std::string Banner(const std::string &version, const std::string &comDevice,
                              const std::string &platform, const std::string &ending = "\r\nEND");

private:
    std::string Process();
    std::string HandleRecord(const std::string &record);
    std::uint8_t WakeByte() const { return phase == Phase::BootROM ? 0x17 : 0x16; }

    mutable std::mutex lock;
    Config config;
    Phase phase;
    bool armed = true;
    int current = 0;
    std::string pending;
    std::string firstStageImage;
    std::string secondStageImage;
    std::vector<std::uint32_t> baudChanges;
    std::vector<int> baudChangeDevices;
    std::vector<int> nextDevices;
    int banners = 0;
    int recordsSeen = 0;
    Handler handOver;
    std::string afterHandOver;
};

} // namespace testsupport
