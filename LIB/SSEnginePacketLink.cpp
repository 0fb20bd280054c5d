// The second-stage packet link: host frames out, card frames in, with their CRC, the
// acknowledgements and the replies that fill the device records.
#include "SSEngine.h"

#include "CRC32.h"
#include "Clock.h"
#include "KTR3LoaderIntf.h"
#include "NamedMutex.h"
#include "SSEngineText.h"
#include "TpclMyCommStats.h"

#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

// Receive parser states: 0-8 read a card frame, 9-16 watch for the sign-on.
enum RxStates : int {
    RX_START = 0,
    RX_SYNC2 = 1,
    RX_ADDRESS = 2,
    RX_LENGTH_HIGH = 3,
    RX_LENGTH_LOW = 4,
    RX_SEQUENCE_HIGH = 5,
    RX_SEQUENCE_LOW = 6,
    RX_PAYLOAD = 7,
    RX_CRC = 8,
    RX_SERLOAD_1 = 9,
    RX_SERLOAD_8 = 16,
};

constexpr char signOn[] = "SERLOAD2";

} // namespace

using ssengine::Format;

void SSEngine::SendPacket(std::uint8_t address, int length, const std::uint8_t *payload) {
    platform::NamedMutexLock hold(PacketMutex.get());
    std::uint8_t frame[FrameBufferSize];
    const int payloadLength = std::clamp(length, 0, FrameBufferSize - FrameHeaderSize - FrameCRCSize);
    int n = 0;
    frame[n++] = 0x3C;
    frame[n++] = 0xC3;
    frame[n++] = address;
    frame[n++] = static_cast<std::uint8_t>(payloadLength >> 8);
    frame[n++] = static_cast<std::uint8_t>(payloadLength);
    if (address == 0x81) {
        frame[n++] = static_cast<std::uint8_t>(TxSequence >> 8);
        frame[n++] = static_cast<std::uint8_t>(TxSequence);
        ++TxSequence;
    } else {
        frame[n++] = static_cast<std::uint8_t>(LastRxSequence >> 8);
        frame[n++] = static_cast<std::uint8_t>(LastRxSequence);
    }
    if (payloadLength > 0)
        std::copy_n(payload, payloadLength, frame + n);
    n += payloadLength;
    const std::uint32_t crc = CRC32().Update(static_cast<std::size_t>(n), 0xFFFFFFFFu, frame);
    frame[n++] = static_cast<std::uint8_t>(crc >> 24);
    frame[n++] = static_cast<std::uint8_t>(crc >> 16);
    frame[n++] = static_cast<std::uint8_t>(crc >> 8);
    frame[n++] = static_cast<std::uint8_t>(crc);
    loader.pclMyComPort->PutBlock(frame, static_cast<std::size_t>(n));
    loader.GetCommStats().CountPacketTX();
}

void SSEngine::Receive(const std::uint8_t *bytes, int count) {
    for (int i = 0; i < count; ++i)
        ReceiveByte(bytes[i]);
}

void SSEngine::WaitSecondStageStart(bool startupSupport) {
    if (startupSupport) {
        LogDebug("Waiting for Second Stage Loader on Card to Start...");
        RxState = RX_SERLOAD_1;
    } else {
        LogDebug("Second Stage Startup Support - NOT AVAILABLE!");
        platform::Sleep(1000);
        RxState = RX_START;
    }
}

void SSEngine::SignOnByte(std::uint8_t byte) {
    const int index = RxState - RX_SERLOAD_1; // 0 for the 'S', 7 for the '2'
    if (DebugOn())
        Log(Format("RX_SERLOAD_%d: %c 0x(%0x)", index + 1, byte, byte));
    if (index == 0) {
        if (byte == 'S') {
            RxBuffer[0] = byte;
            RxState = RX_SERLOAD_1 + 1;
        } else if (DebugOn()) {
            Log(Format("RX_SERLOAD_1 - Skipping Unexpected Character... : %c 0x(%0x)", byte, byte));
        }
        return;
    }
    if (index == 1) {
        // After an 'S' only an 'E' goes on; another 'S' may begin the word again.
        if (byte == 'E')
            RxState = RX_SERLOAD_1 + 2;
        else if (byte != 'S')
            RxState = RX_SERLOAD_1;
        return;
    }
    // From the third letter on, foreign bytes are line noise and leave the match where it is.
    if (byte != static_cast<std::uint8_t>(signOn[index]))
        return;
    if (RxState < RX_SERLOAD_8) {
        ++RxState;
        return;
    }
    SecondStageStarted = true;
    RxState = RX_START;
    LogDebug("Found SERLOAD2");
}

// The length check keeps a frame inside the buffer; this keeps every write there regardless.
void SSEngine::StoreRxByte(std::uint8_t byte) {
    if (RxCount < RxBufferSize)
        RxBuffer[RxCount++] = byte;
}

void SSEngine::ReceiveByte(std::uint8_t byte) {
    if (RxState >= RX_SERLOAD_1 && RxState <= RX_SERLOAD_8) {
        SignOnByte(byte);
        return;
    }
    switch (RxState) {
    case RX_START:
        if (byte == 0x5A) {
            RxCount = 0;
            StoreRxByte(byte);
            RxState = RX_SYNC2;
        }
        break;
    case RX_SYNC2:
        if (byte == 0xA5) {
            StoreRxByte(byte);
            RxState = RX_ADDRESS;
        } else if (byte == 0x5A) {
            RxCount = 0;
            StoreRxByte(byte);
        } else {
            RxState = RX_START;
        }
        break;
    case RX_ADDRESS:
        StoreRxByte(byte);
        RxState = RX_LENGTH_HIGH;
        break;
    case RX_LENGTH_HIGH:
        StoreRxByte(byte);
        RxLength = static_cast<std::uint16_t>(byte << 8);
        RxState = RX_LENGTH_LOW;
        break;
    case RX_LENGTH_LOW:
        StoreRxByte(byte);
        RxLength = static_cast<std::uint16_t>(RxLength | byte);
        RxRemaining = RxLength;
        // A frame the buffer cannot hold is abandoned rather than read past its end.
        RxState = RxLength > MaxRxPayload ? RX_START : RX_SEQUENCE_HIGH;
        break;
    case RX_SEQUENCE_HIGH:
        StoreRxByte(byte);
        LastRxSequence = static_cast<std::uint16_t>(byte << 8);
        RxState = RX_SEQUENCE_LOW;
        break;
    case RX_SEQUENCE_LOW:
        StoreRxByte(byte);
        LastRxSequence = static_cast<std::uint16_t>(LastRxSequence | byte);
        if (RxRemaining > 0) {
            RxState = RX_PAYLOAD;
        } else {
            // An empty frame carries no reply code; it is read to its CRC and dropped.
            RxCRC = 0;
            RxRemaining = FrameCRCSize;
            RxState = RX_CRC;
        }
        break;
    case RX_PAYLOAD:
        StoreRxByte(byte);
        if (--RxRemaining == 0) {
            RxCRC = 0;
            RxRemaining = FrameCRCSize;
            RxState = RX_CRC;
        }
        break;
    case RX_CRC:
        StoreRxByte(byte);
        RxCRC = (RxCRC << 8) | byte;
        if (--RxRemaining == 0)
            FrameComplete();
        break;
    default:
        RxState = RX_START;
        break;
    }
}

void SSEngine::FrameComplete() {
    RxState = RX_START;
    loader.GetCommStats().CountPacketRX();
    const std::uint32_t crc =
        CRC32().Update(static_cast<std::size_t>(RxCount - FrameCRCSize), 0xFFFFFFFFu, RxBuffer.data());
    if (crc != RxCRC) {
        Log("Bad ACK CRC. Retrying...");
        if (DebugOn() && loader.GetLogging())
            loader.pclMyComPort->SetLogging(platform::TraceLogState::Append);
        return;
    }
    if (RxLength == 0)
        return;
    const std::uint8_t *payload = RxBuffer.data() + FrameHeaderSize;
    if (RxBuffer[2] & 0x80)
        HandleDataReply(payload, RxLength);
    else
        HandleAcknowledgement(payload[0]);
}

void SSEngine::HandleAcknowledgement(std::uint8_t code) {
    switch (code) {
    case 1:
        loader.GetCommStats().CountACK();
        AckReceived = true;
        if (BufferFullWait) {
            SetInterval(1);
            BufferFullWait = false;
        }
        if (EngineState == 14) {
            loader.SetProgress(static_cast<std::int16_t>(GetFilePositionBlocks() * ProgressMultiplier));
            // The next payload may go at once; waiting for the tick would idle the line.
            loader.StepSoon();
        }
        break;
    case 2:
    case 3:
        if (code == 2)
            loader.GetCommStats().CountNAKBuffFull();
        else
            loader.GetCommStats().CountNAKInvalid();
        // With no request under way (the run over, ending, or not begun) there is nothing to send
        // again and nothing to wait for: a late refusal must not follow the run's last line.
        if (EngineState == SS_STATE_IDLE || EngineState == SS_STATE_STARTUP || EngineState == SS_STATE_DONE ||
            EngineState == SS_STATE_SHUTDOWN)
            break;
        ResendState(EngineState);
        --TxSequence;
        loader.pclMyTimer->stop();
        loader.pclMyTimer->setInterval(2000);
        loader.pclMyTimer->start();
        if (code == 2)
            Log("Buffer full - waiting...");
        BufferFullWait = true;
        break;
    default:
        break;
    }
}

std::string SSEngine::TextAt(const std::uint8_t *payload, int length, int start) const {
    if (start >= length)
        return {};
    const std::uint8_t *begin = payload + start;
    const std::uint8_t *end = std::find(begin, payload + length, 0);
    return std::string(begin, end);
}

void SSEngine::AcknowledgeReply() {
    if (loader.pclMyComPort->OutBuffFree() < MinOutRoom)
        return;
    const std::uint8_t ack = 0x01;
    SendPacket(0x01, 1, &ack);
}

void SSEngine::HandleDataReply(const std::uint8_t *payload, int length) {
    const std::uint8_t code = payload[0];
    // Most replies name their device in byte 1; a reply without it, or naming a device outside
    // the table, is dropped unflagged so that the request's retry recovers.
    const bool hasDevice = length >= 2 && ValidDevice(payload[1]);
    // A few replies are filed under the engine's current device, whatever byte 1 names.
    const bool hasDeviceByte = length >= 2;
    const int d = length >= 2 ? payload[1] : 0;
    auto text = [&](int start) { return TextAt(payload, length, start); };

    switch (code) {
    case 0: {
        if (length < 5)
            return;
        const std::uint32_t error = payload[1] | (payload[2] << 8) | (payload[3] << 16) |
                                    (static_cast<std::uint32_t>(payload[4]) << 24);
        Log(Format("Error: Code %08x: %s", error, text(5).c_str()));
        loader.Abort();
        EngineState = SS_STATE_IDLE;
        return;
    }
    case 2:
        ResetDone = true;
        break;
    case 6:
        if (!hasDeviceByte)
            return;
        CurrentDevice().ESN = text(2);
        ESNReceived = true;
        break;
    case 8:
        if (!hasDevice)
            return;
        DeviceDetails[d].PSN = text(2);
        PSNReceived = true;
        break;
    case 10:
        if (!hasDeviceByte)
            return;
        CardHWVersion = text(2);
        HWVersionReceived = true;
        break;
    case 12:
        SSLPVersion = text(1);
        SSLPVersionReceived = true;
        break;
    case 14:
        if (length < 3)
            return;
        Log(text(3));
        return;
    case 27:
        if (length < 3)
            return;
        BootCodeType = payload[2];
        BootCodeTypeReceived = true;
        break;
    case 29:
        if (length < 2 || d >= MarkerCount)
            return;
        MarkerFound[d] = true;
        LogDebug("Marker Found");
        return;
    case 33:
        if (!hasDevice)
            return;
        DeviceDetails[d].OSN = text(2);
        OSNReceived = true;
        break;
    case 38: {
        if (!hasDevice || length < 4)
            return;
        const int size = std::max(2, payload[2] | (payload[3] << 8));
        // The block must lie inside the payload; it then also fits a set-request.
        if (2 + size > length) {
            LogDebug("Hmmm... blew a gasket!  HW_Capabilities too large");
            return;
        }
        std::vector<std::uint8_t> &block = DeviceDetails[d].HWCapabilities;
        if (block.empty())
            LogDebug("Allocating HW Capabilities Block");
        block.assign(payload + 2, payload + 2 + size);
        HWCapabilitiesReceived = true;
        break;
    }
    case 40:
        if (!hasDevice)
            return;
        DeviceDetails[d].SWPlatform = text(2);
        SWPlatformReceived = true;
        break;
    case 46:
        if (!hasDevice || length < 3)
            return;
        DeviceDetails[d].NumberOfCards = payload[2];
        NumberOfCardsReceived = true;
        break;
    case 55:
        if (!hasDevice)
            return;
        DeviceDetails[d].ESNModifier = text(2);
        ESNModifierReceived = true;
        break;
    case 61:
        if (!hasDevice)
            return;
        DeviceDetails[d].HWPlatformType = text(2);
        HWPlatformTypeReceived = true;
        break;
    case 64:
        if (!hasDeviceByte)
            return;
        DeviceDetails[0].CardAppVersions[DeviceID] = text(2);
        CardAppVersionReceived = true;
        break;
    case 71: {
        if (!hasDevice || length < 8)
            return;
        ::DeviceDetails &device = DeviceDetails[d];
        std::copy_n(payload + 2, 6, device.MACBytes.begin());
        if (device.MACBytes[0] == 0xFF) {
            device.MACText.clear();
        } else {
            const std::uint8_t *m = device.MACBytes.data();
            device.MACText =
                Format("%-0.2X-%-0.2X-%-0.2X-%-0.2X-%-0.2X-%-0.2X", m[0], m[1], m[2], m[3], m[4], m[5]);
        }
        MACReceived = true;
        break;
    }
    default:
        return;
    }
    AcknowledgeReply();
}
