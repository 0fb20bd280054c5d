#include "S0Engine.h"

#include "KTR3LoaderIntf.h"

S0Engine::S0Engine(TLoaderInterface &owner) : loader(owner) {}

S0Engine::~S0Engine() = default;

void S0Engine::Start() {}

std::uint8_t S0Engine::Run() {
    // Until the boot ROM download exists a stage-0 run must fail rather than pretend.
    loader.LogMessage("Stage 0 loader is not available.");
    return STAGE_FAILED;
}

void S0Engine::Receive(const std::uint8_t *, int) {}

int S0Engine::GetImageBlocks() const {
    return 0;
}

bool S0Engine::IsUSBDevice() const {
    return false;
}
