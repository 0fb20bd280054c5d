#include "CardBootModel.h"

namespace testsupport {
namespace {

constexpr std::size_t headerSize = 16;
// Nothing the program sends is larger; noise beyond it is dropped rather than kept.
constexpr std::size_t maxPending = headerSize + 0xFFFF;

std::uint32_t BigEndian(const std::string &bytes, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i)
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

} // namespace

CardBootModel::CardBootModel(Config c)
    : config(std::move(c)), phase(config.startsInBootROM ? Phase::BootROM : Phase::FirstStage) {}

std::string CardBootModel::Banner(const std::string &version, const std::string &comDevice,
                                  const std::string &platform, const std::string &ending) {
    return "\r\nSerialLoad " + version + " " + comDevice + " " + platform + ending;
}

std::string CardBootModel::Feed(const std::string &bytes) {
    Handler next;
    std::string forward;
    std::string reply;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (phase == Phase::SecondStage) {
            forward = bytes;
        } else if (config.behaviour != Behaviour::Silent) {
            pending += bytes;
            if (pending.size() > maxPending)
                pending.erase(0, pending.size() - maxPending);
            reply = Process();
            if (phase == Phase::SecondStage) {
                forward = pending; // bytes behind the last record belong to the next loader
                pending.clear();
            }
        }
        if (!forward.empty()) {
            next = handOver;
            if (!next)
                afterHandOver += forward;
        }
    }
    if (next && !forward.empty())
        reply += next(forward);
    return reply;
}

std::string CardBootModel::Process() {
    std::string reply;
    const char wake = static_cast<char>(WakeByte());
    while (!pending.empty() && phase != Phase::SecondStage) {
        if (pending[0] != wake) {
            pending.erase(0, 1); // breaks' leftovers, the reset command, the other stage's bytes
            continue;
        }
        if (armed) {
            armed = false;
            ++banners;
            pending.erase(0, 1);
            if (phase == Phase::BootROM) {
                reply += Banner("1.00", "COM1", config.bootROMPlatform, config.bootROMBannerEnding);
            } else if (current < static_cast<int>(config.cards.size())) {
                const Card &card = config.cards[static_cast<std::size_t>(current)];
                reply += Banner(card.version, card.comDevice, card.platform, card.bannerEnding);
            }
            continue;
        }
        if (pending.size() < 2)
            break;
        if (pending[1] != '\x55') {
            pending.erase(0, 1);
            continue;
        }
        if (pending.size() < headerSize)
            break;
        const std::size_t size = headerSize + BigEndian(pending, 6, 2);
        if (pending.size() < size)
            break;
        const std::string record = pending.substr(0, size);
        pending.erase(0, size);
        reply += HandleRecord(record);
    }
    return reply;
}

std::string CardBootModel::HandleRecord(const std::string &record) {
    const int type = static_cast<std::uint8_t>(record[5]);
    const int device = static_cast<std::uint8_t>(record[15]);
    switch (type) {
    case 4:
        baudChanges.push_back(BigEndian(record, 16, 4));
        baudChangeDevices.push_back(device);
        if (device != 0) {
            // The card in front hands the line to the device it was told; that one answers next.
            if (device < static_cast<int>(config.cards.size()))
                current = device;
            armed = true;
        }
        return config.behaviour == Behaviour::NoBaudChangeAck ? "" : "Y";
    case 5:
        nextDevices.push_back(device);
        current = device == 0 ? current + 1 : device;
        armed = true;
        return "";
    case 1:
    case 2: {
        (phase == Phase::BootROM ? firstStageImage : secondStageImage) += record;
        ++recordsSeen;
        if (config.behaviour == Behaviour::NoRecordAck && recordsSeen > config.recordsAcknowledged)
            return "";
        if (type == 2) {
            if (phase == Phase::BootROM) {
                // The first-stage loader now runs and looks for its own wake byte.
                phase = Phase::FirstStage;
                armed = true;
                current = 0;
                recordsSeen = 0;
            } else {
                phase = Phase::SecondStage;
            }
        }
        return "Y";
    }
    default:
        return "";
    }
}

void CardBootModel::SetHandOver(Handler next) {
    std::lock_guard<std::mutex> guard(lock);
    handOver = std::move(next);
}

CardBootModel::Phase CardBootModel::GetPhase() const {
    std::lock_guard<std::mutex> guard(lock);
    return phase;
}

std::string CardBootModel::FirstStageImage() const {
    std::lock_guard<std::mutex> guard(lock);
    return firstStageImage;
}

std::string CardBootModel::SecondStageImage() const {
    std::lock_guard<std::mutex> guard(lock);
    return secondStageImage;
}

std::vector<std::uint32_t> CardBootModel::BaudChanges() const {
    std::lock_guard<std::mutex> guard(lock);
    return baudChanges;
}

std::vector<int> CardBootModel::BaudChangeDevices() const {
    std::lock_guard<std::mutex> guard(lock);
    return baudChangeDevices;
}

std::vector<int> CardBootModel::NextDevices() const {
    std::lock_guard<std::mutex> guard(lock);
    return nextDevices;
}

int CardBootModel::Banners() const {
    std::lock_guard<std::mutex> guard(lock);
    return banners;
}

int CardBootModel::CurrentCard() const {
    std::lock_guard<std::mutex> guard(lock);
    return current;
}

std::string CardBootModel::AfterHandOver() const {
    std::lock_guard<std::mutex> guard(lock);
    return afterHandOver;
}

} // namespace testsupport
