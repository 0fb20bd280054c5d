#include "BootStageEngine.h"

#include "Clock.h"
#include "KTR3LoaderIntf.h"
#include "MessagePump.h"
#include "Registry.h"
#include "TpclMyCommStats.h"

#include <QTimer>
#include <cstdio>
#include <utility>

using platform::TraceLogState;

namespace {

const QString registryKey = QStringLiteral("SOFTWARE\\Zandrel Inc.\\Quorvel");

// Long enough for the reset command at 9600 baud; a port that never drains must not hang the run.
constexpr int outputDrainMs = 2000;
// How often a port that does not exist yet is looked for: soon enough for a receiver being
// powered up, without spending the processor on it.
constexpr int portRetryMs = 250;
// What the next loader says before the next stage takes the line is short (its sign-on); this
// bounds what noise could pile up meanwhile.
constexpr std::size_t bytesAfterStageLimit = 4096;

} // namespace

BootStageEngine::BootStageEngine(TLoaderInterface &owner, const Traits &stageTraits)
    : loader(owner), traits(stageTraits) {
    platform::Registry registry;
    if (registry.OpenKey(registryKey, false)) {
        bool internalUse = false;
        try {
            internalUse = registry.ReadBool(QStringLiteral("InternalUse"));
        } catch (const platform::ERegistryException &) {
        }
        if (internalUse) {
            try {
                const bool use = registry.ReadBool(QString::fromLatin1(traits.useFileValue));
                externalFilePath = registry.ReadString(QString::fromLatin1(traits.fileValue)).toStdString();
                externalFile = use;
            } catch (const platform::ERegistryException &) {
                externalFile = false;
            }
            // The second break never waits longer than the whole search may take.
            QString note;
            breakSpacing = registry.ReadHeldInteger(QStringLiteral("Break Spacing MS"), breakSpacing, 0,
                                                    timeoutSeconds * 1000, note);
            breakSpacingNote = note.toStdString();
        }
    }
    if (externalFile) {
        LoadImageFile();
        if (!externalImage.problem.empty()) {
            // The run that needs the image fails with this line; it is also said once the program is
            // up (nobody listens yet), naming the setting to mend.
            externalImage.problem += " (" + std::string(traits.fileValue) + ")";
            QTimer::singleShot(0, &loader,
                               [&owner = loader, line = externalImage.problem] { owner.LogMessage(line); });
        }
    }
}

BootStageEngine::~BootStageEngine() = default;

void BootStageEngine::LoadImageFile() {
    externalImage = loaderimage::ReadImageFile(externalFilePath, traits.externalCapacity);
}

void BootStageEngine::Log(const std::string &text) {
    loader.LogMessage(text);
}

std::string BootStageEngine::ProgramDirectory() const {
    const std::string path = loader.GetExePath();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool BootStageEngine::BannerIsUSBDevice() const {
    return bannerFields.comDevice.find("USB") != std::string::npos;
}

// ---- Timer side ------------------------------------------------------------------------------

void BootStageEngine::StartRun() {
    stageDone = 0;
    cardAccepted = false;
    waitingForPort = false;
    bytesAfterStage.clear();
    lastRecordLength = 0;
    imageOffset = 0;
    if (loader.GetLogging())
        loader.pclMyComPort->SetLogging(TraceLogState::On);
    receiveState = EXPECT_BANNER;
    state = OPEN_PORT;
}

std::uint8_t BootStageEngine::RunStep() {
    loader.pclMyTimer->stop();
    platform::ProcessMessages();
    platform::ComPort &port = *loader.pclMyComPort;

    switch (state) {
    case OPEN_PORT:
        return OpenPortStep();
    case FIRST_BREAK:
        port.FlushInBuffer();
        port.FlushOutBuffer();
        port.SendBreak(4, false);
        lastEvent = platform::Now();
        state = SECOND_BREAK;
        break;
    case SECOND_BREAK:
        ShowSearchCountdown();
        if (now - lastEvent > breakSpacing / 1000) {
            port.SendBreak(4, false);
            port.FlushInBuffer();
            state = RESET_COMMAND;
        }
        break;
    case RESET_COMMAND:
        ShowSearchCountdown();
        if (now - lastEvent > 4.0) {
            port.PutString("\r\n");
            port.PutString("\runlogall\rreset 1\r");
            WaitOutputEmpty();
            state = SEARCHING;
        }
        break;
    case CONNECT_RATE_WAKE:
        if (CheckTimeout("Card not Found"))
            return STAGE_FAILED;
        port.SetBaud(loader.GetConnectrate());
        WaitOutputEmpty();
        port.SetBaud(9600);
        state = SEARCHING;
        break;
    case SEARCHING:
        ShowSearchCountdown();
        if (CheckTimeout("Card not found!"))
            return STAGE_FAILED;
        if (port.OutBuffFree() > 0)
            port.PutChar(static_cast<char>(traits.wakeByte));
        break;
    case SEND_BAUD_CHANGE:
        SendBaudChange();
        if (loader.GetLogging())
            port.SetLogging(TraceLogState::On);
        lastEvent = platform::Now();
        Log("Changing baud rate");
        state = WAIT_BAUD_CHANGE_ACK;
        break;
    case WAIT_BAUD_CHANGE_ACK:
        if (CheckTimeout("Timeout waiting for baud rate change"))
            return STAGE_FAILED;
        break;
    case CHANGE_BAUD:
        ChangeBaudStep();
        break;
    case SEND_RECORD:
        return SendImageStep();
    case WAIT_RECORD_ACK:
        return FinishStep();
    default:
        break;
    }
    return STAGE_CONTINUE;
}

void BootStageEngine::ResetSearchClock() {
    ring.Clear();
    now = platform::Now();
    lastEvent = now;
    lastCountdown = now;
    searchDeadline = now + timeoutSeconds;
}

std::uint8_t BootStageEngine::OpenPortStep() {
    ResetSearchClock();
    loader.pclMyTimer->setInterval(10);
    platform::ComPort &port = *loader.pclMyComPort;
    if (!port.IsOpen()) {
        port.SetComNumber(loader.GetComPort());
        port.SetBaud(9600);
        const std::string logName = loader.GetStageLogDirectory() + traits.logFileName;
        std::remove(logName.c_str());
        port.SetLogName(QString::fromStdString(logName));
        port.SetTracing(loader.GetTracing() ? TraceLogState::On : TraceLogState::Off);
        try {
            port.Open();
        } catch (const platform::EBadId &) {
            // A USB receiver that is still switched off has no port yet: try again shortly.
            loader.pclMyTimer->setInterval(portRetryMs);
            if (!waitingForPort) {
                waitingForPort = true;
                loader.NotifyStart();
                Log("Waiting for COM Port - Power up receiver...");
            }
            platform::ProcessMessages();
            return STAGE_CONTINUE;
        }
        waitingForPort = false;
    }
    ShowSearchCountdown();
    state = loader.GetConnectrate() != 0 ? CONNECT_RATE_WAKE : FIRST_BREAK;
    return STAGE_CONTINUE;
}

void BootStageEngine::ChangeBaudStep() {
    platform::ComPort &port = *loader.pclMyComPort;
    if (loader.GetLogging()) {
        port.SetLogging(TraceLogState::Append);
        port.SetLogging(TraceLogState::On);
    }
    if (loader.GetTracing())
        port.SetTracing(TraceLogState::On);
    port.SetBaud(loader.GetBaudrate());
    Log("baud rate changed");
    if (BannerIsUSBDevice())
        loader.WaitForUSBPort(20);
    if (SearchAgainAfterBaudChange()) {
        receiveState = EXPECT_BANNER;
        state = SEARCHING;
        ResetSearchClock();
    } else {
        Log("Initializing download");
        state = SEND_RECORD;
    }
}

std::uint8_t BootStageEngine::FinishStep() {
    if (CheckTimeout("Timeout waiting for acknowledgment"))
        return STAGE_FAILED;
    if (!stageDone)
        return STAGE_CONTINUE;
    platform::ComPort &port = *loader.pclMyComPort;
    if (loader.GetLogging()) {
        port.SetLogging(TraceLogState::Append);
        port.SetLogging(TraceLogState::On);
    }
    if (BannerIsUSBDevice()) {
        // The card's USB port goes away while the new loader starts.
        Log("Closing USB COM Port");
        platform::Sleep(500);
        port.Close();
        platform::Sleep(1000);
        Log("Opening USB COM Port... ");
        loader.WaitForUSBPort(2);
        port.Open();
        Log("USB COM Port now open...");
    }
    return STAGE_DONE;
}

void BootStageEngine::WaitOutputEmpty() {
    loader.pclMyComPort->DrainOutput(outputDrainMs);
}

bool BootStageEngine::CheckTimeout(const char *message) {
    now = platform::Now();
    if (now - lastEvent <= timeoutSeconds)
        return false;
    Log(message);
    loader.pclMyComPort->Close();
    return true;
}

std::uint8_t BootStageEngine::FailStage(const std::string &message) {
    Log(message);
    loader.pclMyComPort->Close();
    return STAGE_FAILED;
}

void BootStageEngine::ShowSearchCountdown() {
    now = platform::Now();
    if (now - lastCountdown <= 0.9)
        return;
    if (CountdownClearsLog())
        loader.NotifyStart();
    lastCountdown = now;
    char line[96];
    std::snprintf(line, sizeof line, "Searching for card ... timeout in: %0.0f secs.  Power the unit ON now",
                  searchDeadline - lastCountdown + 1);
    Log(line);
}

// ---- Records ---------------------------------------------------------------------------------

void BootStageEngine::SendNextDevice(int deviceId) {
    const bootrecords::Header record =
        bootrecords::MakeNextDevice(traits.templates->nextDevice, static_cast<std::uint8_t>(deviceId));
    loader.LogDebug("Should have sent NEXT DEVICE Packet");
    loader.pclMyComPort->PutBlock(record.data(), record.size());
    loader.GetCommStats().CountPacketTX();
}

void BootStageEngine::SendBaudChangeRecord(int deviceId) {
    const bootrecords::BaudChange record =
        bootrecords::MakeBaudChange(traits.templates->baudChange, static_cast<std::uint8_t>(deviceId),
                                    static_cast<std::uint32_t>(loader.GetBaudrate()));
    loader.pclMyComPort->PutBlock(record.data(), record.size());
    loader.GetCommStats().CountPacketTX();
}

bool BootStageEngine::SendNextRecord(const loaderimage::LoaderImage &image) {
    if (imageOffset == 0) {
        // Check the whole walk before the first byte goes out, so a bad image sends nothing.
        const std::string problem =
            image.problem.empty() ? bootrecords::CheckImage(image.bytes) : image.problem;
        if (!problem.empty()) {
            Log(problem);
            return false;
        }
    }
    const std::span<const std::uint8_t> record = bootrecords::RecordAt(image.bytes, imageOffset);
    if (record.empty()) {
        Log("The loader image record at byte " + std::to_string(imageOffset) +
            " runs past the end of the image");
        return false;
    }
    lastRecordLength = bootrecords::DataLength(record);
    loader.GetCommStats().CountPacketTX();
    loader.pclMyComPort->PutBlock(record.data(), record.size());
    imageOffset += record.size();
    return true;
}

// ---- Receive side ----------------------------------------------------------------------------

void BootStageEngine::AcceptCard() {
    cardAccepted = true;
    loader.pclMyComPort->SetNotificationLevel(8);
    receiveState = EXPECT_BAUD_CHANGE_ACK;
    state = SEND_BAUD_CHANGE;
}

void BootStageEngine::RestartSearch() {
    receiveState = EXPECT_BANNER;
    state = OPEN_PORT;
}

std::vector<std::uint8_t> BootStageEngine::TakeBytesAfterStage() {
    return std::exchange(bytesAfterStage, {});
}

void BootStageEngine::ReceiveBytes(const std::uint8_t *bytes, int count) {
    for (int i = 0; i < count; ++i) {
        const std::uint8_t byte = bytes[i];
        if (stageDone) {
            if (bytesAfterStage.size() == bytesAfterStageLimit)
                bytesAfterStage.erase(bytesAfterStage.begin());
            bytesAfterStage.push_back(byte);
            continue;
        }
        switch (receiveState) {
        case EXPECT_BANNER:
            if (ring.Add(byte))
                BannerCandidate();
            break;
        case EXPECT_BAUD_CHANGE_ACK:
            if (byte == bootrecords::Acknowledge) {
                loader.GetCommStats().CountACK();
                receiveState = EXPECT_RECORD_ACK;
                state = CHANGE_BAUD;
            }
            break;
        case EXPECT_RECORD_ACK:
            if (byte == bootrecords::Acknowledge) {
                loader.GetCommStats().CountACK();
                loader.SetProgress(static_cast<int>(imageOffset / 4096));
                if (lastRecordLength != 0) {
                    lastEvent = platform::Now();
                    state = SEND_RECORD;
                } else {
                    Log(traits.doneMessage);
                    stageDone = 1;
                }
            }
            break;
        default:
            break;
        }
    }
}

void BootStageEngine::BannerCandidate() {
    const banner::ParsedBanner parsed = banner::ParseBanner(ring.Text());
    if (!parsed.hasSerialLoad)
        return;
    // Fields from an earlier banner must not survive a banner that lacks them.
    bannerFields = {};
    loader.LogDebug(std::string(parsed.fromSerialLoad));
    // Without its three words the text names no card: keep searching.
    if (!parsed.complete)
        return;
    bannerFields = parsed.fields;
    Log("Card Detected");
    Log(std::string(parsed.rest));
    Log("Found platform: " + bannerFields.platform);
    Log("Expecting platform: " + loader.expectedPlatform);
    BannerReceived();
}
