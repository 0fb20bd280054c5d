#include "FSEngine.h"

#include "KTR3LoaderIntf.h"

FSEngine::FSEngine(TLoaderInterface &owner) : loader(owner) {}

FSEngine::~FSEngine() = default;

void FSEngine::Start() {}

std::uint8_t FSEngine::Run() {
    // Until the first-stage download exists a run must fail rather than pretend.
    loader.LogMessage("First stage loader is not available.");
    return STAGE_FAILED;
}

void FSEngine::Receive(const std::uint8_t *, int) {}

int FSEngine::GetImageBlocks() const {
    return 0;
}

int FSEngine::GetBlocksSent() const {
    return 0;
}

bool FSEngine::GetSecondStageStartupSupport() const {
    return false;
}

bool FSEngine::IsUSBDevice() const {
    return cardCOMDevice.find("USB") != std::string::npos;
}
