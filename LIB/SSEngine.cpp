// The second-stage engine's life: construction, the start of each run, the request start and
// the set-requests built on it.
#include "SSEngine.h"

#include "KTR3LoaderIntf.h"
#include "MessagePump.h"
#include "NamedMutex.h"

SSEngine::SSEngine(TLoaderInterface &owner) : loader(owner) {}

SSEngine::~SSEngine() {
    CloseFile();
}

void SSEngine::Start() {
    NewPayload = true;
    SecondStageStarted = false;
    TxSequence = 1;
    EngineState = SS_STATE_STARTUP;
    RxState = 9;
    ESNReceived = false;
    ESNModifierReceived = false;
    PSNReceived = false;
    ResetDone = false;
    NumberOfCardsReceived = false;
    CardAppVersionReceived = false;
    BufferFullWait = false;
    CardID = 0;
    DeviceID = 0;
    PacketTimeout = 60;
    BootCodeType = 1;
    RetryCount = 0;
    EntryAddress = 0;
    LowAddress = 0;
    HighAddress = 0;
    FirmwareImage.reset();
    FirmwarePosition = 0;
    ProgressMultiplier = 1;
    // A line handed back by the last run's parser belongs to that run's file.
    ParseStatus = 0;
    RequestFailed = false;
    BadFileLine = 0;
    RoomWaitActive = false;
    RefusedResend = false;
    PacketMutex = std::make_unique<platform::NamedMutex>("PacketMutex");
    for (::DeviceDetails &device : DeviceDetails) {
        device.PSN = "0";
        device.ESN = "0";
        device.NumberOfCards = 1;
    }
    MarkerFound.fill(false);
}

int SSEngine::RunRequest(std::uint8_t device, int state) {
    if (EngineState != SS_STATE_IDLE) {
        LogDebug("Engine not started...");
        return 0;
    }
    CardID = device;
    RequestFailed = false;
    RefusedResend = false;
    EngineState = state;
    while (!loader.IsAborted() && EngineState != SS_STATE_IDLE && EngineState != SS_STATE_DONE) {
        // A run that failed or ended under the request will never bring the engine back to idle.
        if (RequestFailed || loader.GetLoaderStage() != LOADER_SECOND_STAGE)
            return 0;
        platform::WaitForMessages();
    }
    return 1;
}

bool SSEngine::CanRunRequest() const {
    return EngineState == SS_STATE_IDLE && !loader.IsAborted() &&
           loader.GetLoaderStage() == LOADER_SECOND_STAGE;
}

int SSEngine::SetDebug() {
    if (!CanRunRequest())
        return 0;
    LogDebug("Setting Card Debug Level..");
    // A request that could not run (no link) did not set the card's level.
    const int ran = RunRequest(0, 23);
    if (ran && AckReceived)
        LogDebug("Card Debug Request Handled");
    return ran;
}

int SSEngine::SetDeviceID(int device) {
    if (!ValidDevice(device))
        return 0;
    DeviceID = static_cast<std::uint8_t>(device);
    return 1;
}

int SSEngine::StartSetRequest(int device, const char *before, int state, const char *after) {
    loader.SetDeviceID(device);
    if (!CanRunRequest())
        return 1;
    LogDebug(before);
    RunRequest(0, state);
    if (AckReceived)
        LogDebug(after);
    return 1;
}

int SSEngine::SetPSN(int device, const char *text) {
    if (!ValidDevice(device))
        return 0;
    DeviceDetails[device].PSN = text ? text : "";
    return StartSetRequest(device, "Setting PSN... ", 17, "Set PSN Request Handled");
}

int SSEngine::SetESNModifier(int device, const char *text) {
    if (!ValidDevice(device))
        return 0;
    DeviceDetails[device].ESNModifier = text ? text : "";
    return StartSetRequest(device, "Setting ESN Modifier... ", 67, "Set ESN Modifier Request Handled");
}

int SSEngine::SetHWVersion(int device, const char *text) {
    if (!ValidDevice(device))
        return 0;
    DeviceDetails[device].HWVersion = text ? text : "";
    return StartSetRequest(device, "Setting Hardware Version...", 41, "Set HW Version Request Handled");
}

int SSEngine::SetHWCapabilities(int device) {
    if (!ValidDevice(device))
        return 0;
    return StartSetRequest(device, "Setting Hardware Capabilities...", 45,
                           "Set HW Capabilities Request Handled");
}

void SSEngine::FreeHWCapabilities() {
    LogDebug("Freeing HW Capabilities Block");
    for (::DeviceDetails &device : DeviceDetails) {
        device.HWCapabilities.clear();
        device.HWCapabilities.shrink_to_fit();
    }
}

std::string SSEngine::CardPlatform() const {
    return loader.GetCardPlatform();
}

bool SSEngine::DebugOn() const {
    return loader.GetDebug() == 255;
}

void SSEngine::Log(const std::string &text) {
    loader.LogMessage(text);
}

void SSEngine::LogDebug(const std::string &text) {
    if (DebugOn())
        loader.LogMessage(text);
}
