#include "SSEngine.h"

#include "KTR3LoaderIntf.h"

SSEngine::SSEngine(TLoaderInterface &owner) : loader(owner) {}

SSEngine::~SSEngine() {
    CloseFile();
}

void SSEngine::Start() {
    EngineState = SS_STATE_STARTUP;
}

std::uint8_t SSEngine::Run() {
    // Until the packet link exists a second-stage run must fail rather than pretend.
    loader.LogMessage("Second stage loader link is not available.");
    return STAGE_FAILED;
}

void SSEngine::Receive(const std::uint8_t *, int) {}

void SSEngine::WaitSecondStageStart(bool) {}

bool SSEngine::IsStarted() const {
    return false;
}

int SSEngine::RunRequest(std::uint8_t, int) {
    if (EngineState != SS_STATE_IDLE) {
        if (loader.GetDebug() == 255)
            loader.LogMessage("Engine not started...");
        return 0;
    }
    return 0;
}

int SSEngine::SetDebug() {
    return RunRequest(0, 23);
}

void SSEngine::FreeHWCapabilities() {}

void SSEngine::CloseFile() {}

// Until the firmware file reader keeps its list of valid platforms, no platform is on it.
bool SSEngine::IsSWPlatformValid(const char *platform) { return !platform || !*platform; }
