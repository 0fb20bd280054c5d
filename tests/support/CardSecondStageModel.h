#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace testsupport {

// Frame helpers shared by the stand-in and the tests.
std::uint32_t PacketCRC(const std::string &bytes);
// A card frame (5A A5 ...); corrupt flips the CRC so the host must drop it.
std::string CardFrame(std::uint8_t address, std::uint16_t sequence, const std::string &payload,
                      bool corrupt = false);
// A host frame (3C C3 ...), as the program should send it.
std::string LoaderFrame(std::uint8_t address, std::uint16_t sequence, const std::string &payload);
// "3C C3 01" -> the three bytes.
std::string HexBytes(const std::string &text);
std::string ToHex(const std::string &bytes);

// The card's second-stage loader as a protocol model: fed with the bytes the program sends,
// it returns the bytes the card answers. It acknowledges every request, answers the ones that
// ask for data, keeps the identity the set-requests write, and keeps a memory per device that
// erase and program-data requests change. Faults (a corrupted CRC, buffer full, NAK, a dropped
// reply) can be queued one by one or drawn at random from a seed, so a run is reproducible.
// Thread-safe: a PtyPeer thread feeds it while the test reads it.
class CardSecondStageModel {
public:
    enum class Fault { None, CorruptCRC, BufferFull, NAK, DropReply };

    struct Device {
        std::string psn = "PSN-0001";
        std::string esn = "ESN-0001";
        std::string esnModifier = "MOD-1";
        std::string osn = "OSN-0001";
        std::string hwVersion = "HW-3.1";
        std::string swPlatform = "KTR557";
        std::string hwPlatformType = "TYPE-A";
        std::string appVersion = "APP 1.2.3";
        int numberOfCards = 1;
        std::vector<std::uint8_t> hwCapabilities{6, 0, 0xAA, 0xBB, 0xCC, 0xDD};
        std::array<std::uint8_t, 6> mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
        std::uint8_t bootCodeType = 1;
        std::map<std::uint32_t, std::uint8_t> memory;
    };

    struct Request {
        std::uint8_t address = 0;
        std::uint16_t sequence = 0;
        std::string payload;
        Fault fault = Fault::None;
    };

    struct Erase {
        int device = 0;
        int mode = 0;
        std::uint32_t start = 0;
        std::uint32_t end = 0;
        int block = 0;
    };

    explicit CardSecondStageModel(std::uint32_t seed = 1);

    static std::string SignOn() { return "SERLOAD2"; }

    // Takes bytes as they arrive (frames may be split anywhere) and returns the answer.
    std::string Feed(const std::string &bytes);

    // The next request frame with this request code (any code for -1) gets this fault; queued
    // faults apply in order.
    void QueueFault(Fault fault, int requestCode = -1);
    // Every request frame gets a fault with this probability, drawn from the seed.
    void SetRandomFaults(double probability);
    // Requests with this code are answered by the error reply instead.
    void SetErrorReply(std::uint8_t requestCode, std::uint32_t errorCode, const std::string &text);

    // Reading and changing the card's state; hold Lock() while the peer may be feeding. The
    // program data the card has acknowledged is in `memory` by then.
    std::unique_lock<std::mutex> Lock();
    std::array<Device, 15> devices;
    std::string sslpVersion = "SSLP 2.07";
    std::uint32_t entryAddress = 0;
    std::uint8_t packetTimeout = 0;
    std::uint8_t debugLevel = 0;
    std::vector<Request> requests;
    std::vector<Erase> erases;
    std::vector<Fault> faultsApplied;
    int hostAcks = 0;
    int badHostFrames = 0;

private:
    // Program data the card acknowledged but has not written yet.
    struct PendingWrite {
        Device *device;
        std::uint32_t address;
        std::string data;
    };
    void WritePending();
    void HandleFrame(const std::string &frame);
    void Answer(const Request &request);
    Fault NextFault(std::uint8_t requestCode);
    std::string Reply(std::uint8_t address, const std::string &payload, bool corrupt);
    static std::string Text(const std::string &text) { return text + std::string(1, '\0'); }

    std::mutex mutex;
    std::vector<PendingWrite> pending;
    std::string input;
    std::string output;
    std::uint16_t sequence = 0;
    std::mt19937 random;
    double faultProbability = 0;
    std::vector<std::pair<int, Fault>> queued;
    std::map<std::uint8_t, std::pair<std::uint32_t, std::string>> errorReplies;
};

} // namespace testsupport
