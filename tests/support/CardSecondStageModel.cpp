#include "CardSecondStageModel.h"

#include "CRC32.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace testsupport {
namespace {

std::string Frame(std::uint8_t sync1, std::uint8_t sync2, std::uint8_t address, std::uint16_t sequence,
                  const std::string &payload, bool corrupt) {
    std::string f;
    f += static_cast<char>(sync1);
    f += static_cast<char>(sync2);
    f += static_cast<char>(address);
    f += static_cast<char>(payload.size() >> 8);
    f += static_cast<char>(payload.size() & 0xFF);
    f += static_cast<char>(sequence >> 8);
    f += static_cast<char>(sequence & 0xFF);
    f += payload;
    std::uint32_t crc = PacketCRC(f);
    if (corrupt)
        crc ^= 0x00010000u;
    for (int shift = 24; shift >= 0; shift -= 8)
        f += static_cast<char>((crc >> shift) & 0xFF);
    return f;
}

std::uint8_t Byte(const std::string &s, std::size_t i) {
    return i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0;
}

std::uint32_t BigEndian32(const std::string &s, std::size_t at) {
    return static_cast<std::uint32_t>(Byte(s, at)) << 24 | Byte(s, at + 1) << 16 | Byte(s, at + 2) << 8 |
           Byte(s, at + 3);
}

std::string CText(const std::string &payload, std::size_t at) {
    if (at >= payload.size())
        return {};
    const auto end = payload.find('\0', at);
    return payload.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

} // namespace

std::uint32_t PacketCRC(const std::string &bytes) {
    return CRC32().Update(bytes.size(), 0xFFFFFFFFu, reinterpret_cast<const std::uint8_t *>(bytes.data()));
}

std::string CardFrame(std::uint8_t address, std::uint16_t sequence, const std::string &payload,
                      bool corrupt) {
    return Frame(0x5A, 0xA5, address, sequence, payload, corrupt);
}

std::string LoaderFrame(std::uint8_t address, std::uint16_t sequence, const std::string &payload) {
    return Frame(0x3C, 0xC3, address, sequence, payload, false);
}

std::string HexBytes(const std::string &text) {
    std::istringstream in(text);
    std::string out;
    std::string word;
    while (in >> word)
        out += static_cast<char>(std::stoi(word, nullptr, 16));
    return out;
}

std::string ToHex(const std::string &bytes) {
    std::string out;
    char b[4];
    for (unsigned char c : bytes) {
        std::snprintf(b, sizeof b, "%02X ", c);
        out += b;
    }
    if (!out.empty())
        out.pop_back();
    return out;
}

CardSecondStageModel::CardSecondStageModel(std::uint32_t seed) : random(seed) {}

void CardSecondStageModel::QueueFault(Fault fault, int requestCode) {
    std::lock_guard<std::mutex> guard(mutex);
    queued.emplace_back(requestCode, fault);
}

void CardSecondStageModel::SetRandomFaults(double probability) {
    std::lock_guard<std::mutex> guard(mutex);
    faultProbability = probability;
}

void CardSecondStageModel::SetErrorReply(std::uint8_t requestCode, std::uint32_t errorCode,
                                         const std::string &text) {
    std::lock_guard<std::mutex> guard(mutex);
    errorReplies[requestCode] = {errorCode, text};
}

std::unique_lock<std::mutex> CardSecondStageModel::Lock() {
    std::unique_lock<std::mutex> hold(mutex);
    WritePending();
    return hold;
}

void CardSecondStageModel::WritePending() {
    for (const PendingWrite &write : pending)
        for (std::size_t i = 0; i < write.data.size(); ++i)
            write.device->memory[write.address + static_cast<std::uint32_t>(i)] =
                static_cast<std::uint8_t>(write.data[i]);
    pending.clear();
}

std::string CardSecondStageModel::Feed(const std::string &bytes) {
    std::lock_guard<std::mutex> guard(mutex);
    // Like a card with a payload buffer: it acknowledges program data once the payload is in
    // and writes it while the next bytes arrive, so writing a megabyte does not hold the line.
    WritePending();
    input += bytes;
    output.clear();
    for (;;) {
        const auto sync = input.find("\x3C\xC3");
        if (sync == std::string::npos) {
            // Keep a trailing 3C: its C3 may be in the next batch.
            input = (!input.empty() && Byte(input, input.size() - 1) == 0x3C) ? input.substr(input.size() - 1)
                                                                              : "";
            break;
        }
        input.erase(0, sync);
        if (input.size() < 7)
            break;
        const std::size_t length = Byte(input, 3) << 8 | Byte(input, 4);
        if (input.size() < 7 + length + 4)
            break;
        std::string frame = input.substr(0, 7 + length + 4);
        const std::uint32_t crc = BigEndian32(frame, 7 + length);
        if (crc != PacketCRC(frame.substr(0, 7 + length))) {
            ++badHostFrames;
            input.erase(0, 1); // not a frame after all: look for the next sync
            continue;
        }
        input.erase(0, frame.size());
        HandleFrame(frame);
    }
    return output;
}

CardSecondStageModel::Fault CardSecondStageModel::NextFault(std::uint8_t requestCode) {
    for (auto q = queued.begin(); q != queued.end(); ++q) {
        if (q->first < 0 || q->first == requestCode) {
            const Fault f = q->second;
            queued.erase(q);
            return f;
        }
    }
    if (faultProbability <= 0)
        return Fault::None;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (chance(random) >= faultProbability)
        return Fault::None;
    std::uniform_int_distribution<int> kind(1, 4);
    return static_cast<Fault>(kind(random));
}

std::string CardSecondStageModel::Reply(std::uint8_t address, const std::string &payload, bool corrupt) {
    return CardFrame(address, ++sequence, payload, corrupt);
}

void CardSecondStageModel::HandleFrame(const std::string &frame) {
    Request request;
    request.address = Byte(frame, 2);
    request.sequence = static_cast<std::uint16_t>(Byte(frame, 5) << 8 | Byte(frame, 6));
    request.payload = frame.substr(7, frame.size() - 11);
    if (request.address == 0x01) {
        ++hostAcks; // the host acknowledging one of our data replies
        return;
    }
    if (request.payload.empty())
        return;
    request.fault = NextFault(Byte(request.payload, 0));
    requests.push_back(request);
    faultsApplied.push_back(request.fault);
    switch (request.fault) {
    case Fault::BufferFull:
        output += Reply(0x00, std::string(1, '\x02'), false);
        return;
    case Fault::NAK:
        output += Reply(0x00, std::string(1, '\x03'), false);
        return;
    default:
        break;
    }
    Answer(request);
}

void CardSecondStageModel::Answer(const Request &request) {
    const std::string &p = request.payload;
    const std::uint8_t code = Byte(p, 0);
    const std::uint8_t d = Byte(p, 1);
    const bool drop = request.fault == Fault::DropReply;
    const bool corrupt = request.fault == Fault::CorruptCRC;

    if (auto e = errorReplies.find(code); e != errorReplies.end()) {
        std::string payload(1, '\0');
        for (int i = 0; i < 4; ++i)
            payload += static_cast<char>((e->second.first >> (8 * i)) & 0xFF);
        payload += Text(e->second.second);
        if (!drop)
            output += Reply(0x80, payload, corrupt);
        return;
    }

    Device *device = d < devices.size() ? &devices[d] : nullptr;
    auto withDevice = [&](std::uint8_t replyCode, const std::string &data) {
        return std::string(1, static_cast<char>(replyCode)) + static_cast<char>(d) + data;
    };
    std::string data; // the data reply, if the request has one
    switch (code) {
    case 1:
        data = std::string("\x02\x00", 2);
        break;
    case 5:
        data = withDevice(6, Text(device ? device->esn : ""));
        break;
    case 7:
        data = withDevice(8, Text(device ? device->psn : ""));
        break;
    case 9:
        data = withDevice(10, Text(device ? device->hwVersion : ""));
        break;
    case 11:
        data = std::string(1, 12) + Text(sslpVersion);
        break;
    case 13:
        debugLevel = d;
        data = std::string("\x0E\x00\x00", 3) + Text("card debug level set");
        break;
    case 17:
        entryAddress = BigEndian32(p, 1);
        break;
    case 18:
        if (device)
            device->psn = CText(p, 2);
        break;
    case 21:
    case 30: {
        // Program data: the standard payload has a 10-byte header, the other an 8-byte one.
        const bool standard = code == 30;
        const std::size_t header = standard ? 10 : 8;
        const std::uint32_t address = BigEndian32(p, standard ? 4 : 2);
        const std::size_t length = Byte(p, header - 2) << 8 | Byte(p, header - 1);
        if (device && header + length == p.size())
            pending.push_back({device, address, p.substr(header)});
        break;
    }
    case 22: {
        WritePending();
        Erase erase{d, Byte(p, 2), BigEndian32(p, 3), BigEndian32(p, 7), Byte(p, 11)};
        erases.push_back(erase);
        if (device) {
            if (erase.mode == 4 || erase.mode == 5)
                device->memory.erase(device->memory.lower_bound(erase.start),
                                     device->memory.lower_bound(erase.end));
            else
                device->memory.clear();
        }
        break;
    }
    case 26:
        data = withDevice(27, std::string(1, static_cast<char>(device ? device->bootCodeType : 0)));
        break;
    case 28:
        data = std::string("\x1D\x00", 2);
        break;
    case 31:
        packetTimeout = d;
        break;
    case 32:
        data = withDevice(33, Text(device ? device->osn : ""));
        break;
    case 34:
        if (device)
            device->osn = CText(p, 2);
        break;
    case 35:
        if (device)
            device->hwVersion = CText(p, 2);
        break;
    case 36:
        if (device)
            data = withDevice(38, std::string(device->hwCapabilities.begin(), device->hwCapabilities.end()));
        break;
    case 37:
        if (device)
            device->hwCapabilities.assign(p.begin() + 2, p.end());
        break;
    case 39:
        data = withDevice(40, Text(device ? device->swPlatform : ""));
        break;
    case 45:
        data = withDevice(46, std::string(1, static_cast<char>(device ? device->numberOfCards : 0)));
        break;
    case 53:
        if (device)
            device->esnModifier = CText(p, 2);
        break;
    case 54:
        data = withDevice(55, Text(device ? device->esnModifier : ""));
        break;
    case 59:
        if (device)
            device->hwPlatformType = CText(p, 2);
        break;
    case 60:
        data = withDevice(61, Text(device ? device->hwPlatformType : ""));
        break;
    case 63:
        data = withDevice(64, Text(device ? device->appVersion : ""));
        break;
    case 69:
        if (device && p.size() >= 8)
            std::copy_n(p.begin() + 2, 6, device->mac.begin());
        break;
    case 70:
        if (device)
            data = withDevice(71, std::string(device->mac.begin(), device->mac.end()));
        break;
    default: {
        std::string payload =
            std::string(1, '\0') + std::string("\x01\x00\x00\x00", 4) + Text("Unknown request");
        if (!drop)
            output += Reply(0x80, payload, corrupt);
        return;
    }
    }
    if (drop)
        return;
    // The acknowledgement first, then the data; a corrupted CRC hits the frame the host needs last.
    output += Reply(0x00, std::string(1, '\x01'), corrupt && data.empty());
    if (!data.empty())
        output += Reply(0x80, data, corrupt);
}

} // namespace testsupport
