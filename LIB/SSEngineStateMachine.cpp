// The second-stage state machine: one step per timer tick, a request state that sends each
// request and a waiting state that watches for its reply, its time-out and its retries.
#include "SSEngine.h"

#include "Clock.h"
#include "KTR3LoaderIntf.h"
#include "SSEngineText.h"

#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

// What a request state does when the output buffer lacks room: wait for the next tick, or
// shorten the interval to 1 ms first. (Retrying in the same tick could spin forever on a port
// that does not drain, so no request does that.)
enum class NoRoom { NextTick, NextTickFast };

enum class PayloadKind { CodeOnly, Device, DebugLevel, PacketTimeout, Marker, Special };

struct Request {
    int state;
    std::uint8_t code;
    PayloadKind payload;
    int intervalMs; // 0: keep the interval in force
    NoRoom noRoom;
    bool SSEngine::*reply; // nullptr: the ACK alone completes the request
    bool idleWaitsForTick; // once complete, the idle step waits for the next tick
};

constexpr Request requests[] = {
    {0, 11, PayloadKind::CodeOnly, 0, NoRoom::NextTick, &SSEngine::SSLPVersionReceived, false},
    {2, 9, PayloadKind::Device, 0, NoRoom::NextTick, &SSEngine::HWVersionReceived, false},
    {6, 5, PayloadKind::Device, 0, NoRoom::NextTick, &SSEngine::ESNReceived, false},
    {8, 7, PayloadKind::Device, 10, NoRoom::NextTick, &SSEngine::PSNReceived, false},
    {10, 22, PayloadKind::Special, 0, NoRoom::NextTick, nullptr, false},
    {17, 18, PayloadKind::Special, 0, NoRoom::NextTickFast, nullptr, true},
    {21, 1, PayloadKind::CodeOnly, 0, NoRoom::NextTickFast, &SSEngine::ResetDone, true},
    {23, 13, PayloadKind::DebugLevel, 0, NoRoom::NextTickFast, nullptr, false},
    {27, 26, PayloadKind::Device, 0, NoRoom::NextTick, &SSEngine::BootCodeTypeReceived, false},
    {31, 28, PayloadKind::Marker, 0, NoRoom::NextTickFast, nullptr, true},
    {35, 31, PayloadKind::PacketTimeout, 0, NoRoom::NextTickFast, nullptr, false},
    {37, 32, PayloadKind::Device, 10, NoRoom::NextTick, &SSEngine::OSNReceived, false},
    {39, 34, PayloadKind::Special, 0, NoRoom::NextTickFast, nullptr, true},
    {41, 35, PayloadKind::Special, 0, NoRoom::NextTickFast, nullptr, true},
    {43, 36, PayloadKind::Device, 10, NoRoom::NextTick, &SSEngine::HWCapabilitiesReceived, false},
    {45, 37, PayloadKind::Special, 0, NoRoom::NextTickFast, nullptr, true},
    {47, 39, PayloadKind::Device, 10, NoRoom::NextTick, &SSEngine::SWPlatformReceived, false},
    {53, 45, PayloadKind::Device, 10, NoRoom::NextTick, &SSEngine::NumberOfCardsReceived, false},
    {55, 63, PayloadKind::Device, 10, NoRoom::NextTick, &SSEngine::CardAppVersionReceived, false},
    {59, 60, PayloadKind::Device, 10, NoRoom::NextTick, &SSEngine::HWPlatformTypeReceived, false},
    {63, 59, PayloadKind::Special, 0, NoRoom::NextTickFast, nullptr, true},
    {65, 54, PayloadKind::Device, 0, NoRoom::NextTick, &SSEngine::ESNModifierReceived, false},
    {67, 53, PayloadKind::Special, 0, NoRoom::NextTickFast, nullptr, true},
    {73, 70, PayloadKind::Device, 10, NoRoom::NextTick, &SSEngine::MACReceived, false},
    {75, 69, PayloadKind::Special, 0, NoRoom::NextTickFast, nullptr, true},
};

const Request *FindRequest(int state) {
    for (const Request &r : requests)
        if (r.state == state)
            return &r;
    return nullptr;
}

} // namespace

using ssengine::Format;

std::uint8_t SSEngine::Run() {
    loader.pclMyTimer->stop();
    // Refusals (buffer full, NAK) that lasted a whole time-out count as that time-out here, before
    // the request goes out again: the resend is then the retry, with a time-out of its own. Counted
    // after the resend instead, the same step would send it once more, and with ACKs not matched to
    // their frames a late ACK for the one would be taken for the other.
    if (RefusedResend && platform::Now() - RequestTime > RequestTimeoutSeconds &&
        GiveUpOrRetry(EngineState, false)) {
        RequestFailed = true;
        return STAGE_FAILED;
    }
    std::uint8_t result = STAGE_CONTINUE;
    switch (EngineState) {
    case 12:
        result = FillPayloadStep();
        break;
    case 13:
        result = SendPayloadStep();
        break;
    case 14:
        result = PayloadAckStep();
        break;
    case 15:
        result = SendEntryPointStep();
        break;
    case 16:
        result = EntryPointAckStep();
        break;
    case SS_STATE_IDLE:
    case SS_STATE_SHUTDOWN:
        SetInterval(1);
        result = STAGE_CONTINUE;
        break;
    case SS_STATE_STARTUP:
        result = StartupStep();
        break;
    case SS_STATE_DONE:
        result = DoneStep();
        break;
    default:
        if (FindRequest(EngineState))
            result = RequestStep(EngineState);
        else if (FindRequest(EngineState - 1))
            result = WaitStep(EngineState - 1);
        break;
    }
    if (result == STAGE_FAILED)
        RequestFailed = true;
    return result;
}

bool SSEngine::HasRoom(int bytes) {
    // A frame larger than the whole output buffer goes out once the buffer is empty.
    return loader.pclMyComPort->OutBuffFree() >= std::min(bytes, loader.pclMyComPort->GetOutSize());
}

std::uint8_t SSEngine::WaitForRoom(int state) {
    const double now = platform::Now();
    if (!RoomWaitActive) {
        RoomWaitActive = true;
        RoomWaitStart = now;
        return STAGE_CONTINUE;
    }
    if (now - RoomWaitStart <= RequestTimeoutSeconds)
        return STAGE_CONTINUE;
    // A port that takes nothing for a whole time-out counts as a request that got no answer.
    RoomWaitStart = now;
    return GiveUpOrRetry(state, false) ? STAGE_FAILED : STAGE_CONTINUE;
}

void SSEngine::Sent(int nextState) {
    RoomWaitActive = false;
    // A resend the card asked for keeps the time-out of the send it repeats.
    if (!RefusedResend)
        RequestTime = platform::Now();
    RefusedResend = false;
    EngineState = nextState;
}

std::uint8_t SSEngine::RequestStep(int state) {
    const Request &r = *FindRequest(state);
    if (r.intervalMs > 0)
        SetInterval(r.intervalMs);

    switch (state) {
    case 10:
        return EraseStep();
    case 17:
        return SetTextStep(state, r.code, CurrentDevice().PSN);
    case 39:
        return SetTextStep(state, r.code, CurrentDevice().OSN);
    case 41:
        return SetTextStep(state, r.code, CurrentDevice().HWVersion);
    case 45:
        return SetHWCapabilitiesStep();
    case 63:
        return SetTextStep(state, r.code, CurrentDevice().HWPlatformType);
    case 67:
        return SetTextStep(state, r.code, CurrentDevice().ESNModifier);
    case 75:
        return SetMACStep();
    default:
        break;
    }

    if (!HasRoom(MinOutRoom)) {
        if (r.noRoom == NoRoom::NextTickFast)
            SetInterval(1);
        return WaitForRoom(state);
    }
    AckReceived = false;
    if (r.reply)
        this->*r.reply = false;
    int length = 1;
    TxPayload[0] = r.code;
    switch (r.payload) {
    case PayloadKind::Device:
        TxPayload[length++] = DeviceID;
        break;
    case PayloadKind::DebugLevel:
        TxPayload[length++] = static_cast<std::uint8_t>(loader.GetDebug());
        break;
    case PayloadKind::PacketTimeout:
        TxPayload[length++] = static_cast<std::uint8_t>(PacketTimeout);
        break;
    case PayloadKind::Marker:
        TxPayload[length++] = 0;
        break;
    default:
        break;
    }
    const std::uint8_t address =
        r.payload == PayloadKind::Marker ? 0x81 : static_cast<std::uint8_t>(0x80 | (CardID & 0x7F));
    SendPacket(address, length, TxPayload.data());
    Sent(state + 1);
    return STAGE_AGAIN;
}

std::uint8_t SSEngine::WaitStep(int state) {
    const Request &r = *FindRequest(state);
    if (AckReceived && (!r.reply || this->*r.reply)) {
        EngineState = SS_STATE_IDLE;
        RetryCount = 0;
        return r.idleWaitsForTick ? STAGE_CONTINUE : STAGE_AGAIN;
    }
    if (CheckTimeout(state)) {
        if (state == 21)
            Log("Timeout waiting for SEND_RESET ACK");
        return STAGE_FAILED;
    }
    if (state == 23 || state == 35)
        SetInterval(1);
    return STAGE_CONTINUE;
}

int SSEngine::CheckTimeout(int state) {
    if (platform::Now() - RequestTime <= RequestTimeoutSeconds)
        return 0;
    return GiveUpOrRetry(state, true) ? 1 : 0;
}

bool SSEngine::GiveUpOrRetry(int state, bool resent) {
    Log(Format("Timeout on state: %d", state));
    if (RetryCount++ < 2) {
        Log("Retrying...");
        EngineState = state;
        RefusedResend = false;
        // A resent Set Marker frame carries the sequence number it had the first time.
        if (resent)
            --TxSequence;
        return false;
    }
    Log("Loader Abort");
    EngineState = SS_STATE_STARTUP;
    loader.NotifyAbortRequest(2);
    loader.Abort();
    return true;
}

void SSEngine::ResendState(int state) {
    switch (state) {
    case 7:
    case 9:
    case 11:
    case 14:
    case 22:
    case 24:
        EngineState = state - 1;
        RefusedResend = true;
        break;
    default:
        break;
    }
}

SSEngine::ErasePlan SSEngine::PlanErase() const {
    const bool zqx = CardPlatform() == "zqx5";
    if (loader.BootCodeLoad)
        return {1, true, !zqx, false};
    if (loader.ResetNVM)
        return {3, !zqx, !zqx, false};
    if (loader.ResetData)
        return {5, true, true, true};
    return {static_cast<std::uint8_t>(zqx ? 2 : 4), true, !zqx, !zqx};
}

bool SSEngine::ReadFileForErase(const ErasePlan &plan) {
    OpenFile();
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    // A file that programming would stop at a bad line, that holds nothing to program, or that is
    // gone or unreadable, is refused before anything is erased; so is one whose header no longer
    // says what the run was decided by (another file copied over it since it was opened).
    int refusal = ScanAddressRange(low, high);
    if (FirmwareImage && CheckedFileName == loader.fileName && HeaderOf(*FirmwareImage) != CheckedHeader)
        refusal = FileChanged;
    const char *name = loader.fileName.c_str();
    switch (refusal) {
    case 0:
        if (plan.takesRange) {
            LowAddress = low;
            HighAddress = high;
        }
        return true;
    case FileUnreadable:
        Log(Format("Cannot read file %s - nothing erased or programmed", name));
        break;
    case FileWithoutData:
        Log(Format("File %s has no data records - nothing erased or programmed", name));
        break;
    case FileChanged:
        Log(Format("File %s has changed since it was opened - nothing erased or programmed", name));
        break;
    default:
        Log(Format("BAD line %d in hex file - nothing erased or programmed", refusal));
        break;
    }
    BadFileLine = refusal;
    CloseFile();
    return false;
}

bool SSEngine::PrepareErase() {
    if (!CanRunRequest())
        return false;
    BadFileLine = 0;
    const ErasePlan plan = PlanErase();
    if (plan.readsFile)
        return ReadFileForErase(plan);
    // Programming after an erase that reads no file must not find the file of an earlier one.
    FirmwareImage.reset();
    FirmwarePosition = 0;
    return true;
}

std::uint8_t SSEngine::EraseStep() {
    if (!HasRoom(23))
        return WaitForRoom(10);
    const ErasePlan plan = PlanErase();
    // The file PrepareErase() read, or an earlier send of this erase; the erase state started on
    // its own reads it here.
    if (plan.readsFile && !FirmwareImage && !ReadFileForErase(plan)) {
        EngineState = SS_STATE_IDLE;
        return STAGE_AGAIN;
    }
    AckReceived = false;
    std::fill_n(TxPayload.begin(), 12, std::uint8_t{0});
    TxPayload[0] = 22;
    TxPayload[1] = DeviceID;
    TxPayload[2] = plan.mode;
    if (loader.BootCodeLoad)
        Log("Downloading Boot...");
    else if (!loader.ResetNVM && !loader.ResetData)
        Log("Downloading...");
    if (plan.mode == 5)
        TxPayload[11] = loader.DataBlock;
    if (plan.sendsRange) {
        for (int i = 0; i < 4; ++i) {
            TxPayload[3 + i] = static_cast<std::uint8_t>(LowAddress >> (24 - 8 * i));
            TxPayload[7 + i] = static_cast<std::uint8_t>(HighAddress >> (24 - 8 * i));
        }
    }
    if (DebugOn()) {
        Log(Format("ERASE_COMPONENT - ucSSCardID: %d", CardID));
        Log(Format("ERASE_COMPONENT - ucSSComponentID: %d", DeviceID));
    }
    SendPacket(static_cast<std::uint8_t>(0x80 | (DeviceID & 0x7F)), 12, TxPayload.data());
    Sent(11);
    return STAGE_AGAIN;
}

std::uint8_t SSEngine::SetTextStep(int state, std::uint8_t code, const std::string &text) {
    if (!HasRoom(MinOutRoom)) {
        SetInterval(1);
        return WaitForRoom(state);
    }
    AckReceived = false;
    const int length = static_cast<int>(text.size()) + 3;
    if (length > TxPayloadSize) {
        Log("Value too long to send, cannot write.");
        EngineState = SS_STATE_IDLE;
        return STAGE_AGAIN;
    }
    TxPayload[0] = code;
    TxPayload[1] = DeviceID;
    std::copy(text.begin(), text.end(), TxPayload.begin() + 2);
    TxPayload[2 + text.size()] = 0;
    SendPacket(static_cast<std::uint8_t>(0x80 | (CardID & 0x7F)), length, TxPayload.data());
    Sent(state + 1);
    return STAGE_AGAIN;
}

std::uint8_t SSEngine::SetHWCapabilitiesStep() {
    if (!HasRoom(MinOutRoom)) {
        SetInterval(1);
        return WaitForRoom(45);
    }
    AckReceived = false;
    EngineState = SS_STATE_IDLE;
    const std::vector<std::uint8_t> &block = CurrentDevice().HWCapabilities;
    if (block.size() < 2)
        return STAGE_AGAIN;
    // The block's own size field says how much of it to send; never more than it holds.
    const int size = std::min<int>(block[0] | (block[1] << 8), static_cast<int>(block.size()));
    if (size == 0)
        return STAGE_AGAIN;
    if (size + 2 > TxPayloadSize) {
        Log("Value too long to send, cannot write.");
        return STAGE_AGAIN;
    }
    TxPayload[0] = 37;
    TxPayload[1] = DeviceID;
    std::copy_n(block.begin(), size, TxPayload.begin() + 2);
    SendPacket(static_cast<std::uint8_t>(0x80 | (CardID & 0x7F)), size + 2, TxPayload.data());
    Sent(46);
    return STAGE_AGAIN;
}

std::uint8_t SSEngine::SetMACStep() {
    if (!HasRoom(MinOutRoom)) {
        SetInterval(1);
        return WaitForRoom(75);
    }
    AckReceived = false;
    ::DeviceDetails &device = CurrentDevice();
    unsigned char *m = device.MACBytes.data();
    const char *text = device.MACText.c_str();
    int read =
        std::sscanf(text, "%2hhx-%2hhx-%2hhx-%2hhx-%2hhx-%2hhx", &m[0], &m[1], &m[2], &m[3], &m[4], &m[5]);
    if (read != 6)
        read = std::sscanf(text, "%2hhx:%2hhx:%2hhx:%2hhx:%2hhx:%2hhx", &m[0], &m[1], &m[2], &m[3], &m[4],
                           &m[5]);
    if (read != 6) {
        Log("Invalid MAC specified, cannot write.");
        EngineState = SS_STATE_IDLE;
        return STAGE_AGAIN;
    }
    TxPayload[0] = 69;
    TxPayload[1] = DeviceID;
    std::copy_n(m, 6, TxPayload.begin() + 2);
    TxPayload[8] = 0;
    SendPacket(static_cast<std::uint8_t>(0x80 | (CardID & 0x7F)), 9, TxPayload.data());
    Sent(76);
    return STAGE_AGAIN;
}

std::uint8_t SSEngine::FillPayloadStep() {
    PayloadLength = 0;
    if (loader.GetLogging()) {
        loader.pclMyComPort->SetLogging(platform::TraceLogState::Append);
        loader.pclMyComPort->SetLogging(platform::TraceLogState::On);
    }
    if (!FirmwareImage) {
        Log("opening file failed!");
        return STAGE_FAILED;
    }
    const bool zqx = CardPlatform() == "zqx5";
    auto parse = [&](const char *line) { return zqx ? ParseSRecordZqx(line) : ParseSRecord(line); };
    int status = 1;
    if (ParseStatus == 2)
        status = parse(LineBuffer.data());
    while (status == 1) {
        bool tooLong = false;
        if (!ReadLine(*FirmwareImage, FirmwarePosition, LineBuffer, tooLong)) {
            status = 4;
            break;
        }
        status = tooLong ? 0 : parse(LineBuffer.data());
    }
    ParseStatus = static_cast<std::uint8_t>(status);
    if (status == 0) {
        Log("Abort download...BAD checksum in hex file");
        return STAGE_FAILED;
    }
    if (PayloadLength > 0) {
        EngineState = 13;
    } else {
        AckReceived = true;
        EngineState = 14;
    }
    return STAGE_AGAIN;
}

std::uint8_t SSEngine::SendPayloadStep() {
    if (!HasRoom(PayloadLength + 13))
        return WaitForRoom(13);
    NewPayload = true;
    AckReceived = false;
    TxPayload[1] = DeviceID;
    SendPacket(static_cast<std::uint8_t>(0x80 | (CardID & 0x7F)), PayloadLength, TxPayload.data());
    Sent(14);
    return STAGE_AGAIN;
}

std::uint8_t SSEngine::PayloadAckStep() {
    if (!AckReceived)
        return CheckTimeout(13) ? STAGE_FAILED : STAGE_CONTINUE;
    RetryCount = 0;
    if (ParseStatus != 4) {
        EngineState = 12;
    } else if (CardPlatform() == "zqx5") {
        if (DeviceID == 3)
            EngineState = 31;
        else if (GetFileApplicationType() == "APP")
            EngineState = 15;
        else
            EngineState = SS_STATE_IDLE;
    } else {
        EngineState = SS_STATE_IDLE;
    }
    return STAGE_AGAIN;
}

std::uint8_t SSEngine::SendEntryPointStep() {
    LogDebug("Sending Entry Point");
    if (!HasRoom(MinOutRoom)) {
        SetInterval(1);
        return WaitForRoom(15);
    }
    TxPayload[0] = 17;
    for (int i = 0; i < 4; ++i)
        TxPayload[1 + i] = static_cast<std::uint8_t>(EntryAddress >> (24 - 8 * i));
    AckReceived = false;
    SendPacket(static_cast<std::uint8_t>(0x80 | (CardID & 0x7F)), 5, TxPayload.data());
    Sent(16);
    return STAGE_AGAIN;
}

std::uint8_t SSEngine::EntryPointAckStep() {
    if (AckReceived) {
        RetryCount = 0;
        EngineState = SS_STATE_IDLE;
        return STAGE_AGAIN;
    }
    if (CheckTimeout(15))
        return STAGE_FAILED;
    SetInterval(1);
    return STAGE_CONTINUE;
}

std::uint8_t SSEngine::StartupStep() {
    EngineState = SS_STATE_IDLE;
    if (loader.GetLogging()) {
        loader.pclMyComPort->SetLogging(platform::TraceLogState::Append);
        loader.pclMyComPort->SetLogName(QString::fromStdString(loader.GetStageLogDirectory() + "Stage2.Log"));
        loader.pclMyComPort->SetLogging(platform::TraceLogState::On);
    }
    platform::Sleep(3000);
    loader.NotifyComplete(0);
    loader.pclMyTimer->setInterval(1);
    loader.pclMyTimer->start();
    return STAGE_CONTINUE;
}

std::uint8_t SSEngine::DoneStep() {
    if (loader.DisplayVersions)
        Log("Versions Received");
    else if (loader.ResetNVM)
        Log("NVM Reset Successfully");
    else
        Log("Card Downloaded Successfully");
    loader.BringApplicationToFront();
    return STAGE_DONE;
}

void SSEngine::SetInterval(int milliseconds) {
    loader.pclMyTimer->setInterval(milliseconds);
}
